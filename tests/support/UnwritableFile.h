#pragma once
// A file that the system will not write while this object holds it. A read-only
// attribute does not stop a program that Wine runs as root, so the file is made
// unwritable the ways that hold under Wine as on Windows: held open by "another
// program" without write sharing (with kUnwritableContent in it), or a directory
// standing at its path.

#include <string>

#include "WinHandles.h"

enum class WriteFault { HeldOpen, Directory };

extern const char kUnwritableContent[];

class UnwritableFile {
public:
    UnwritableFile(const std::string& path, WriteFault fault);
    ~UnwritableFile();  // released, and the file or directory removed
    UnwritableFile(const UnwritableFile&) = delete;
    UnwritableFile& operator=(const UnwritableFile&) = delete;

    bool Made() const { return made_; }
    // Still what it was made as: the directory, or the file with its content.
    bool Unchanged() const;
    // The other program lets go (the held file stays; the directory goes): the
    // path can be written again.
    void Release();

private:
    std::string path_;
    WriteFault fault_;
    UniqueFileHandle holder_;
    bool made_ = false;
};
