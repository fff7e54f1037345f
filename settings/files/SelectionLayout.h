#pragma once
// The selection dialog's size and column widths as the user left them, kept in
// section [Selection] of Pikuno.ini (mailbox directory), so that the next
// dialog opens as the last one closed. Only the profile functions touch it.

#include <cstdint>

constexpr int kSelectionLayoutColumns = 5;

struct SelectionLayout {
    int32_t width;   // window size in pixels; 0 when never saved
    int32_t height;
    int32_t columns[kSelectionLayoutColumns];  // by column index, pixels; 0 when never saved
};

// Keys Width, Height, Column0 to Column4; a missing file or key reads as 0, and
// so does a value outside 1 to 10000.
SelectionLayout ReadSelectionLayout(const char* pikunoIniPath);
// A file that cannot be written keeps what it held: the next dialog opens as
// the one before, and nothing else depends on it, so nobody is told.
void WriteSelectionLayout(const char* pikunoIniPath, const SelectionLayout& layout);
