#include "MailboxPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "BoundedText.h"
#include "FakeHost.h"

namespace {

// 260 bytes for the path and a guard behind them, all pre-filled.
struct GuardedPath {
    static const std::size_t kGuard = 40;
    char bytes[kPathBufferSize + kGuard];
    GuardedPath() { std::memset(bytes, 0xcc, sizeof bytes); }
    bool GuardIntact() const {
        for (std::size_t i = kPathBufferSize; i < sizeof bytes; ++i) {
            if (bytes[i] != static_cast<char>(0xcc)) {
                return false;
            }
        }
        return true;
    }
};

struct PieceCase {
    const char* piece1;
    const char* piece2;
    const char* piece3;
    const char* piece4;
    const char* expected;
};

TEST(BuildMailboxPath, SeparatorsOnlyAfterAGivenPiece) {
    FakeHost host;
    FakeHost::mailbox = "C:\\Mail\\";
    const PieceCase cases[] = {
        {nullptr, nullptr, nullptr, nullptr, "C:\\Mail\\"},
        {"a", nullptr, nullptr, nullptr, "C:\\Mail\\a"},
        {nullptr, "b", nullptr, nullptr, "C:\\Mail\\b"},
        {"a", "b", nullptr, nullptr, "C:\\Mail\\a\\b"},
        {nullptr, nullptr, "c", nullptr, "C:\\Mail\\c"},
        {"a", nullptr, "c", nullptr, "C:\\Mail\\a\\c"},
        {nullptr, "b", "c", nullptr, "C:\\Mail\\b\\c"},
        {"a", "b", "c", nullptr, "C:\\Mail\\a\\b\\c"},
        {nullptr, nullptr, nullptr, "d", "C:\\Mail\\d"},
        {"a", nullptr, nullptr, "d", "C:\\Mail\\ad"},
        {nullptr, "b", nullptr, "d", "C:\\Mail\\bd"},
        {"a", "b", nullptr, "d", "C:\\Mail\\a\\bd"},
        {nullptr, nullptr, "c", "d", "C:\\Mail\\cd"},
        {"a", nullptr, "c", "d", "C:\\Mail\\a\\cd"},
        {nullptr, "b", "c", "d", "C:\\Mail\\b\\cd"},
        {"a", "b", "c", "d", "C:\\Mail\\a\\b\\cd"},
        {"Pikuno.ini", nullptr, nullptr, nullptr, "C:\\Mail\\Pikuno.ini"},
        {"Account1", "inbox.box", "00000001", ".qnl", "C:\\Mail\\Account1\\inbox.box\\00000001.qnl"},
        {"", "", nullptr, nullptr, "C:\\Mail\\\\"},  // empty pieces count as given
        // Shift_JIS pieces pass unchanged, trail bytes 0x5C included ("表", "ソ").
        {"\x95\x5c", nullptr, "\x83\x5c", nullptr, "C:\\Mail\\\x95\x5c\\\x83\x5c"},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const PieceCase& c = cases[i];
        GuardedPath path;
        EXPECT_EQ(path.bytes, BuildMailboxPath(path.bytes, c.piece1, c.piece2, c.piece3, c.piece4)) << "case " << i;
        EXPECT_STREQ(c.expected, path.bytes) << "case " << i;
        EXPECT_TRUE(path.GuardIntact()) << "case " << i;
    }
}

TEST(BuildMailboxPath, NullBufferDoesNothing) {
    FakeHost host;
    EXPECT_EQ(nullptr, BuildMailboxPath(nullptr, "Pikuno.ini", "b", "c", "d"));
    EXPECT_EQ(0, FakeHost::mailboxCalls);
}

// A path that does not fit is refused whole: a cut path would name another file.
TEST(BuildMailboxPath, OverlongPathsAreRefusedWithinTheBuffer) {
    FakeHost host;
    const std::string mailbox = "C:\\" + std::string(246, 'm') + "\\";  // 250 bytes
    const std::string longPiece(300, 'x');
    struct LengthCase {
        std::string mailbox;
        const char* piece1;
        const char* piece2;
        const char* piece3;
        const char* piece4;
        std::size_t expectedLength;  // 0: refused
    };
    const LengthCase cases[] = {
        {mailbox, "123456789", nullptr, nullptr, nullptr, 259},  // exact fit
        {mailbox, "1234567890", nullptr, nullptr, nullptr, 0},   // one byte too long
        {mailbox, "1234", "678", nullptr, nullptr, 258},
        {mailbox, "1234", "6789", nullptr, nullptr, 259},        // the separator counts
        {mailbox, "1234", "67890", nullptr, nullptr, 0},
        {mailbox, nullptr, nullptr, "12345678", "9", 259},
        {mailbox, nullptr, nullptr, "12345678", "90", 0},
        {mailbox, "1", "2", "3", longPiece.c_str(), 0},
        {std::string(259, 'm'), nullptr, nullptr, nullptr, nullptr, 259},
        {std::string(260, 'm'), nullptr, nullptr, nullptr, nullptr, 0},  // the host's own string
        {std::string(1000, 'm'), "Pikuno.ini", nullptr, nullptr, nullptr, 0},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const LengthCase& c = cases[i];
        FakeHost::mailbox = c.mailbox;
        GuardedPath path;
        char* result = BuildMailboxPath(path.bytes, c.piece1, c.piece2, c.piece3, c.piece4);
        EXPECT_TRUE(path.GuardIntact()) << "case " << i;
        if (c.expectedLength == 0) {
            EXPECT_EQ(nullptr, result) << "case " << i;
            EXPECT_EQ('\0', path.bytes[0]) << "case " << i;
        } else {
            EXPECT_EQ(path.bytes, result) << "case " << i;
            EXPECT_EQ(c.expectedLength, std::strlen(path.bytes)) << "case " << i;
            EXPECT_EQ(0, std::strncmp(path.bytes, c.mailbox.c_str(), std::min<std::size_t>(c.mailbox.size(), 259)))
                << "case " << i;
        }
    }
}

}  // namespace
