#pragma once
// Whole small files in and out, for the host's uidl file and our record of
// set-aside messages. A replacement is written beside the file, flushed, and
// then put in its place in one step, so that a crash or a full disk leaves the
// old file or the new one, never a mixture.

#include <string>

enum class FileRead { kRead, kMissing, kFailed };

// Files larger than this are not read (neither file comes near it).
constexpr unsigned long kLargestReadFile = 64ul * 1024 * 1024;

// The whole file into bytes. kMissing (bytes empty) when there is no such file;
// kFailed when it exists but cannot be read whole (held without read sharing,
// a folder, larger than kLargestReadFile).
FileRead ReadWholeSmallFile(const char* path, std::string* bytes);

// Replaces path with bytes: a file path + kReplacementSuffix written, flushed
// and moved over path (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
// False when path is read-only or any step fails (path held open without delete
// sharing, a full disk); path is then as it was and the replacement removed.
bool ReplaceFileCrashSafe(const char* path, const std::string& bytes);

// The suffix of the replacement's name.
extern const char kReplacementSuffix[];
