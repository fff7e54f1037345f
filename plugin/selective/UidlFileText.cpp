#include "UidlFileText.h"

namespace {

// Calls take(content, line) for every line of bytes: content without its line
// end, line with it.
template <typename Take>
void ForEachLine(const std::string& bytes, Take take) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        std::size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
        std::size_t end = lf == std::string::npos ? bytes.size() : lf;
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        take(bytes.substr(start, end - start), start, next - start);
        start = next;
    }
}

}  // namespace

std::unordered_set<std::string> UidlFileEntries(const std::string& bytes) {
    std::unordered_set<std::string> entries;
    ForEachLine(bytes, [&](const std::string& content, std::size_t, std::size_t) {
        if (!content.empty()) {
            entries.insert(content);
        }
    });
    return entries;
}

std::string RewriteUidlFileText(const std::string& bytes, const std::unordered_set<std::string>& remove,
                                const std::vector<std::string>& append) {
    std::string kept;
    kept.reserve(bytes.size());
    ForEachLine(bytes, [&](const std::string& content, std::size_t start, std::size_t length) {
        if (content.empty() || remove.count(content) == 0) {
            kept.append(bytes, start, length);
        }
    });
    if (!append.empty() && !kept.empty() && kept.back() != '\n') {
        kept += '\n';
    }
    for (const std::string& uidl : append) {
        kept += uidl;
        kept += '\n';
    }
    return kept;
}
