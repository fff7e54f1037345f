#include "SelectionLayout.h"

#include <windows.h>

#include "BoundedText.h"

namespace {

const char kSection[] = "Selection";
constexpr int32_t kLargest = 10000;

int32_t ReadSize(const char* path, const char* key) {
    const int32_t value = static_cast<int32_t>(GetPrivateProfileIntA(kSection, key, 0, path));
    return value >= 1 && value <= kLargest ? value : 0;
}

void WriteSize(const char* path, const char* key, int32_t value) {
    char number[16];
    text::Format(number, sizeof number, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(kSection, key, number, path);
}

void ColumnKey(int index, char* key, std::size_t size) {
    text::Format(key, size, "Column%d", index);
}

}  // namespace

SelectionLayout ReadSelectionLayout(const char* pikunoIniPath) {
    SelectionLayout layout = {};
    if (!pikunoIniPath || pikunoIniPath[0] == '\0') {
        return layout;
    }
    layout.width = ReadSize(pikunoIniPath, "Width");
    layout.height = ReadSize(pikunoIniPath, "Height");
    for (int i = 0; i < kSelectionLayoutColumns; ++i) {
        char key[16];
        ColumnKey(i, key, sizeof key);
        layout.columns[i] = ReadSize(pikunoIniPath, key);
    }
    return layout;
}

void WriteSelectionLayout(const char* pikunoIniPath, const SelectionLayout& layout) {
    if (!pikunoIniPath || pikunoIniPath[0] == '\0') {
        return;
    }
    WriteSize(pikunoIniPath, "Width", layout.width);
    WriteSize(pikunoIniPath, "Height", layout.height);
    for (int i = 0; i < kSelectionLayoutColumns; ++i) {
        char key[16];
        ColumnKey(i, key, sizeof key);
        WriteSize(pikunoIniPath, key, layout.columns[i]);
    }
}
