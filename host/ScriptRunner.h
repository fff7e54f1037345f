#pragma once
// The non-interactive mode: runs script commands one by one inside the folder
// window's message loop (each step is a posted message, so anything the plug-in
// posts meanwhile, such as the receive command, is handled before the next step).
// Modal windows are handled by the dialog driver thread.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class MainWindow;

class ScriptRunner {
public:
    ScriptRunner(MainWindow& window, std::vector<std::string> lines)
        : window_(window), lines_(std::move(lines)) {}

    // Posts the first step.
    void Start();

private:
    void Step();
    // Runs one command; false when it failed (the run then ends with status 1).
    bool Run(const std::vector<std::string>& words);
    void Finish(int status);
    bool Menu(const std::string& text, bool folderMenu);
    void PrintMenu(HMENU menu, const std::string& path);
    bool Select(const std::vector<std::string>& words);
    bool Arm(const std::vector<std::string>& words);
    void ListFolder(const std::string& folder);
    void PrintFile(const std::string& path);

    MainWindow& window_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
    bool finished_ = false;
};
