// DialUp and HangUp against the stand-in rasapi32.dll beside the test program
// (WINEDLLOVERRIDES=rasapi32=n,b), which records every call in a shared block.

#include "DialUp.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ProgramFolder.h"
#include "RasStandInState.h"

namespace {

HRASCONN MakeHandle(uintptr_t value) {
    return reinterpret_cast<HRASCONN>(value);
}

uint64_t HandleValue(HRASCONN handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

class DialUpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        state_ = ProgramRasStandInState();
        ASSERT_NE(nullptr, state_);
        HMODULE ras = LoadLibraryA("rasapi32.dll");
        standInLoaded_ = ras && GetProcAddress(ras, "RasStandInMarker");
        if (ras) {
            FreeLibrary(ras);
        }
    }

    void SetUp() override {
        ASSERT_TRUE(standInLoaded_) << "rasapi32.dll is not the stand-in: run with WINEDLLOVERRIDES=rasapi32=n,b";
        ASSERT_NE(nullptr, state_);
        std::memset(state_, 0, sizeof *state_);
        gDialUpConnection = nullptr;
        ASSERT_EQ(nullptr, GetModuleHandleA("rasapi32.dll")) << "a test left the library loaded";
    }

    void TearDown() override { gDialUpConnection = nullptr; }

    static bool LibraryLoaded() { return GetModuleHandleA("rasapi32.dll") != nullptr; }

    // Loads one of the stand-ins that lack a function; while it is loaded,
    // LoadLibraryA("rasapi32.dll") returns it.
    static HMODULE LoadVariant(const char* variant) {
        std::string path = ProgramFolder() + "rasvariants\\" + variant + "\\rasapi32.dll";
        return LoadLibraryA(path.c_str());
    }

    static void ScriptCredentials(const char* user, const char* password) {
        text::Copy(state_->storedUserName, sizeof state_->storedUserName, user);
        text::Copy(state_->storedPassword, sizeof state_->storedPassword, password);
    }

    static RasStandInState* state_;
    static bool standInLoaded_;
};

RasStandInState* DialUpTest::state_ = nullptr;
bool DialUpTest::standInLoaded_ = false;

TEST_F(DialUpTest, RecordIsTheShortOne) {
    EXPECT_EQ(1052u, offsetof(RASDIALPARAMSA, dwSubEntry));
}

TEST_F(DialUpTest, SuccessfulDialPassesStoredCredentialsAndKeepsHandle) {
    ScriptCredentials("taro", "himitsu");
    state_->dialHandle = 0x4321;
    EXPECT_TRUE(DialUp("Provider"));
    EXPECT_EQ(0x4321u, HandleValue(gDialUpConnection));
    EXPECT_FALSE(LibraryLoaded()) << "the library is released after dialling";
    EXPECT_EQ(1, state_->processAttaches);
    EXPECT_EQ(1, state_->processDetaches);

    ASSERT_EQ(2, state_->callCount);
    const RasRecordedCall& get = state_->calls[0];
    EXPECT_EQ(kRasCallGetEntryDialParams, get.kind);
    EXPECT_FALSE(get.phoneBookGiven);
    EXPECT_TRUE(get.passwordFlagGiven);
    EXPECT_EQ(offsetof(RASDIALPARAMSA, dwSubEntry), get.params.dwSize);
    EXPECT_STREQ("Provider", get.params.szEntryName);
    EXPECT_STREQ("", get.params.szUserName);
    EXPECT_STREQ("", get.params.szPassword);
    EXPECT_STREQ("", get.params.szPhoneNumber);

    const RasRecordedCall& dial = state_->calls[1];
    EXPECT_EQ(kRasCallDial, dial.kind);
    EXPECT_FALSE(dial.extensionsGiven);
    EXPECT_FALSE(dial.phoneBookGiven);
    EXPECT_FALSE(dial.notifierGiven);
    EXPECT_EQ(0u, dial.notifierType);
    EXPECT_EQ(get.paramsAddress, dial.paramsAddress);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&gDialUpConnection), dial.handleAddress);
    EXPECT_EQ(0u, dial.handleIn);
    EXPECT_EQ(offsetof(RASDIALPARAMSA, dwSubEntry), dial.params.dwSize);
    EXPECT_STREQ("Provider", dial.params.szEntryName);
    EXPECT_STREQ("", dial.params.szPhoneNumber);
    EXPECT_STREQ("*", dial.params.szCallbackNumber);
    EXPECT_STREQ("*", dial.params.szDomain);
    EXPECT_STREQ("taro", dial.params.szUserName);
    EXPECT_STREQ("himitsu", dial.params.szPassword);
}

TEST_F(DialUpTest, DialFieldsAreSetAgainAfterTheEntryLookup) {
    // RAS may hand back the entry's own texts; the dial uses the name given, the
    // entry's stored number, and "*" for the callback number and the domain.
    state_->scribble = 1;
    ScriptCredentials("user", "pw");
    state_->dialHandle = 7;
    EXPECT_TRUE(DialUp("ダイヤルアップ接続"));
    ASSERT_EQ(2, state_->callCount);
    const RASDIALPARAMSA& params = state_->calls[1].params;
    EXPECT_STREQ("ダイヤルアップ接続", params.szEntryName);
    EXPECT_STREQ("", params.szPhoneNumber);
    EXPECT_STREQ("*", params.szCallbackNumber);
    EXPECT_STREQ("*", params.szDomain);
    EXPECT_STREQ("user", params.szUserName);
}

TEST_F(DialUpTest, FailedEntryLookupStillDials) {
    state_->getParamsResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    state_->dialResult = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    EXPECT_FALSE(DialUp("Missing"));
    ASSERT_EQ(2, state_->callCount);
    EXPECT_EQ(kRasCallDial, state_->calls[1].kind);
    EXPECT_STREQ("", state_->calls[1].params.szUserName);
    EXPECT_EQ(nullptr, gDialUpConnection);
    EXPECT_FALSE(LibraryLoaded());
}

TEST_F(DialUpTest, FailedDialHangsUpAReturnedHandle) {
    struct Case {
        DWORD result;
        uintptr_t handle;  // what RasDialA returns through its pointer; 0 leaves it alone
    } cases[] = {
        {ERROR_LINE_BUSY, 0},
        {ERROR_LINE_BUSY, 0x99},
        {ERROR_AUTHENTICATION_FAILURE, 0xabcd},
        {ERROR_NO_CARRIER, 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::memset(state_, 0, sizeof *state_);
        gDialUpConnection = nullptr;
        state_->dialResult = cases[i].result;
        state_->dialHandle = cases[i].handle;
        EXPECT_FALSE(DialUp("Provider")) << "case " << i;
        EXPECT_EQ(nullptr, gDialUpConnection) << "case " << i;
        EXPECT_FALSE(LibraryLoaded()) << "case " << i;
        if (cases[i].handle == 0) {
            EXPECT_EQ(2, state_->callCount) << "case " << i << ": nothing to hang up";
        } else {
            ASSERT_EQ(3, state_->callCount) << "case " << i;
            EXPECT_EQ(kRasCallHangUp, state_->calls[2].kind) << "case " << i;
            EXPECT_EQ(cases[i].handle, state_->calls[2].handleIn) << "case " << i;
        }
        EXPECT_EQ(state_->processAttaches, state_->processDetaches) << "case " << i;
    }
}

TEST_F(DialUpTest, EntryNameLengths) {
    struct Case {
        std::string name;
        bool dialled;
    } cases[] = {
        {std::string(RAS_MaxEntryName, 'e'), true},       // exactly fills the field
        {std::string(RAS_MaxEntryName + 1, 'e'), false},  // would be cut to another name
        {std::string(1023, 'e'), false},
        {"", true},  // RAS itself judges an empty name
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::memset(state_, 0, sizeof *state_);
        state_->dialHandle = 5;
        gDialUpConnection = nullptr;
        EXPECT_EQ(cases[i].dialled, DialUp(cases[i].name.c_str())) << "case " << i;
        if (cases[i].dialled) {
            ASSERT_EQ(2, state_->callCount) << "case " << i;
            EXPECT_EQ(cases[i].name, state_->calls[1].params.szEntryName) << "case " << i;
        } else {
            EXPECT_EQ(0, state_->processAttaches) << "case " << i << ": refused before loading";
            EXPECT_EQ(nullptr, gDialUpConnection) << "case " << i;
        }
    }
    std::memset(state_, 0, sizeof *state_);
    EXPECT_FALSE(DialUp(nullptr));
    EXPECT_EQ(0, state_->processAttaches);
}

TEST_F(DialUpTest, HangUpWithoutHandleDoesNotLoadTheLibrary) {
    HangUp();
    EXPECT_EQ(0, state_->processAttaches);
    EXPECT_EQ(0, state_->callCount);
}

TEST_F(DialUpTest, HangUpAfterDialThenSecondHangUpDoesNothing) {
    state_->dialHandle = 0x777;
    ASSERT_TRUE(DialUp("Provider"));
    // As when the POP3 login fails right after the dial: the line is dropped at once.
    HangUp();
    EXPECT_EQ(nullptr, gDialUpConnection);
    ASSERT_EQ(3, state_->callCount);
    EXPECT_EQ(kRasCallHangUp, state_->calls[2].kind);
    EXPECT_EQ(0x777u, state_->calls[2].handleIn);
    EXPECT_FALSE(LibraryLoaded());
    EXPECT_EQ(2, state_->processAttaches);
    EXPECT_EQ(2, state_->processDetaches);

    HangUp();
    EXPECT_EQ(3, state_->callCount);
    EXPECT_EQ(2, state_->processAttaches);
}

TEST_F(DialUpTest, HangUpClearsHandleWhateverRasAnswers) {
    // RasHangUpA's result is not waited on; the handle is gone either way.
    state_->hangUpResult = ERROR_INVALID_HANDLE;
    gDialUpConnection = MakeHandle(0x31);
    HangUp();
    EXPECT_EQ(nullptr, gDialUpConnection);
    ASSERT_EQ(1, state_->callCount);
    EXPECT_EQ(0x31u, state_->calls[0].handleIn);
}

TEST_F(DialUpTest, MissingDialFunctionsFailAndReleaseTheLibrary) {
    const char* variants[] = {"nodial", "noparams"};
    for (const char* variant : variants) {
        std::memset(state_, 0, sizeof *state_);
        gDialUpConnection = nullptr;
        HMODULE held = LoadVariant(variant);
        ASSERT_NE(nullptr, held) << variant;
        EXPECT_FALSE(DialUp("Provider")) << variant;
        EXPECT_EQ(0, state_->callCount) << variant << ": nothing is called with half a library";
        EXPECT_EQ(nullptr, gDialUpConnection) << variant;
        FreeLibrary(held);
        EXPECT_FALSE(LibraryLoaded()) << variant << ": DialUp kept a reference";
    }
}

TEST_F(DialUpTest, MissingHangUpFunctionLeavesHandleSet) {
    HMODULE held = LoadVariant("nohangup");
    ASSERT_NE(nullptr, held);

    // A failed dial that returned a handle cannot hang it up: the handle stays.
    state_->dialResult = ERROR_LINE_BUSY;
    state_->dialHandle = 0x55;
    EXPECT_FALSE(DialUp("Provider"));
    EXPECT_EQ(0x55u, HandleValue(gDialUpConnection));
    EXPECT_EQ(2, state_->callCount);

    // HangUp treats the missing function like a missing library.
    HangUp();
    EXPECT_EQ(0x55u, HandleValue(gDialUpConnection));
    EXPECT_EQ(2, state_->callCount);

    FreeLibrary(held);
    EXPECT_FALSE(LibraryLoaded()) << "DialUp or HangUp kept a reference";
}

// Run by a ctest entry of its own with the library disabled (rasapi32=).
TEST(DialUpWithoutRas, DialFailsAndHangUpKeepsHandle) {
    const char* disabled = std::getenv("PIKUNO_RAS_DISABLED");
    if (!disabled || std::strcmp(disabled, "1") != 0) {
        GTEST_SKIP() << "needs rasapi32 disabled (ctest entry test_dialup_without_ras)";
    }
    ASSERT_EQ(nullptr, LoadLibraryA("rasapi32.dll"));
    gDialUpConnection = nullptr;
    EXPECT_FALSE(DialUp("Provider"));
    EXPECT_EQ(nullptr, gDialUpConnection);
    gDialUpConnection = MakeHandle(0x12);
    HangUp();
    EXPECT_EQ(0x12u, HandleValue(gDialUpConnection));
    gDialUpConnection = nullptr;
}

}  // namespace
