#pragma once
// Whole files as bytes: what a test writes before a run and reads back after it.

#include <string>

// The whole file; false (and *bytes empty) when it cannot be opened. Others may
// have the file open for reading or writing meanwhile.
bool ReadFileBytes(const std::string& path, std::string* bytes);
// The same, empty when the file cannot be opened.
std::string ReadFileBytes(const std::string& path);
// Replaces the file with bytes; true when every byte was written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
