#pragma once
// A fresh folder under the temporary folder for one test, removed with all it
// holds when the object goes.

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in a backslash.
    const std::string& Path() const { return path_; }
    // Creates a folder (relative to Path(), its parents first); returns its path
    // with a backslash.
    std::string MakeFolder(const std::string& relative) const;
    // Files relative to Path().
    bool WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;  // "" when missing
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
};

// Removes a folder with everything in it, read-only files too; true when it is gone.
bool RemoveTree(const std::string& folder);
