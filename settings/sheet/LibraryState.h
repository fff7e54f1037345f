#pragma once
// What the settings library holds between SetUp's start and the next call: its own
// module (resources, file name) and the two strings SetUp was given.

#include <windows.h>

#include <cstddef>

void SetLibraryModule(HINSTANCE module);
// The module the resources come from (the library itself once loaded).
HINSTANCE LibraryModule();

// Stores copies; a null argument is stored as "".
void StoreSetUpArguments(const char* mailboxDir, const char* accountPath);
const char* MailboxDirectory();
const char* AccountPath();

// The library's file name without folder and extension ("Pikunoset"): the title of
// its message boxes.
void LibraryTitle(char* buffer, std::size_t bufferSize);
