// Every committed fuzz input (the seed corpora and the inputs that once broke
// something) runs through its target's checks here, so that each of them stays a
// regression test without the fuzzer.
#include <dirent.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzChecks.h"

namespace {

typedef std::string (*Check)(const uint8_t*, std::size_t);

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                files.push_back(folder + "/" + name);
            }
        }
        closedir(dir);
    }
    return files;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Target {
    const char* folder;
    Check check;
    std::size_t minimumInputs;  // a corpus that went missing must not pass quietly
};

}  // namespace

TEST(CorpusReplay, EveryCommittedInputKeepsEveryProperty) {
    const Target targets[] = {
        {"header_decode", fuzzcheck::HeaderDecode, 10},
        {"pop3_reply", fuzzcheck::Pop3Reply, 10},
        {"digest_walk", fuzzcheck::DigestWalk, 10},
        {"paths_text", fuzzcheck::PathsAndText, 5},
        {"subject_extract", fuzzcheck::SubjectExtract, 5},
    };
    for (const Target& target : targets) {
        std::vector<std::string> files = FilesIn(std::string(PIKUNO_FUZZ_CORPUS) + "/" + target.folder);
        std::vector<std::string> regressions =
            FilesIn(std::string(PIKUNO_FUZZ_CORPUS) + "/../regressions/" + target.folder);
        EXPECT_GE(files.size(), target.minimumInputs) << target.folder;
        files.insert(files.end(), regressions.begin(), regressions.end());
        for (const std::string& file : files) {
            std::string input = ReadWhole(file);
            EXPECT_EQ("", target.check(reinterpret_cast<const uint8_t*>(input.data()), input.size())) << file;
        }
    }
}
