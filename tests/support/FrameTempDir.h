#pragma once
// A fresh directory under the temporary folder for one test, removed with all its
// contents at the end.

#include <string>

class FrameTempDir {
public:
    FrameTempDir();
    ~FrameTempDir();
    FrameTempDir(const FrameTempDir&) = delete;
    FrameTempDir& operator=(const FrameTempDir&) = delete;

    // The directory, ending in a backslash.
    const std::string& Path() const { return path_; }
    // Creates a subdirectory (relative to Path()); returns its path with a backslash.
    std::string MakeDir(const std::string& relative) const;
    // Writes a file (relative to Path()) holding text.
    bool WriteFile(const std::string& relative, const std::string& text) const;

private:
    std::string path_;
};

// Removes a directory tree; true when it is gone.
bool FrameRemoveTree(const std::string& directory);
