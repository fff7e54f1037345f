#pragma once
// What the host prints in its non-interactive mode: lines to standard output (and to
// a file when asked), from the window thread and the dialog driver thread alike.
// Texts are written as the bytes they are (Shift_JIS), or converted to UTF-8 for a
// terminal.

#include <mutex>
#include <string>

class Report {
public:
    void SetFile(const std::string& path);
    void SetUtf8(bool utf8) { utf8_ = utf8; }
    void Line(const std::string& line);
    // Marks the run as failed and prints the reason.
    void Fail(const std::string& line);
    bool Failed() const;

    // "91 49 91 F0" for the bytes of a text.
    static std::string Hex(const std::string& bytes);

private:
    mutable std::mutex mutex_;
    std::string filePath_;
    bool utf8_ = false;
    bool failed_ = false;
};

extern Report gReport;
