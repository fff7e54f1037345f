#include "Script.h"

#include <windows.h>

std::vector<std::string> SplitScriptLine(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::string word;
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                close = line.size();
            }
            word = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = line.find_first_of(" \t\r", i);
            if (end == std::string::npos) {
                end = line.size();
            }
            word = line.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<std::string> ScriptLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        lines.push_back(line.substr(first));
    }
    return lines;
}

std::string ScriptTextToAnsi(const std::string& text) {
    bool ascii = true;
    for (unsigned char c : text) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        return text;
    }
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return text;  // not UTF-8: taken as Shift_JIS already
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &ansi[0], ansiLength, nullptr, nullptr);
    return ansi;
}

std::string PlainMenuText(const std::string& text) {
    std::string plain = text.substr(0, text.find('\t'));
    if (plain.size() >= 3 && plain.compare(plain.size() - 3, 3, "...") == 0) {
        plain.erase(plain.size() - 3);
    }
    if (plain.size() >= 4 && plain[plain.size() - 4] == '(' && plain[plain.size() - 3] == '&' &&
        plain.back() == ')') {
        plain.erase(plain.size() - 4);
    }
    std::string out;
    for (char c : plain) {
        if (c != '&') {
            out += c;
        }
    }
    return out;
}
