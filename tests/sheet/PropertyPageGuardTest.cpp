#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "PropertyPage.h"

namespace {

// A page whose handlers fail the way a page that allocates does when memory
// runs out; the dialog procedure is called as the dialog manager calls it.
class FailingPage : public CPropertyPage {
public:
    FailingPage() : CPropertyPage(1) {}
    bool failInitialize = false;
    bool failCommand = false;
    int commands = 0;

protected:
    bool ExchangeValues(bool) override { return true; }
    void OnInitialize() override {
        if (failInitialize) {
            throw std::bad_alloc();
        }
    }
    void OnCommand(int, int, HWND) override {
        ++commands;
        if (failCommand) {
            throw std::runtime_error("no room");
        }
    }
};

TEST(PropertyPageGuard, FailedHandlerReturnsNotHandledAndThePageGoesOn) {
    const struct {
        const char* name;
        bool failInitialize;
        bool failCommand;
        INT_PTR initResult;  // TRUE: the system sets the focus
        INT_PTR commandResult;
    } cases[] = {
        {"nothing fails", false, false, TRUE, TRUE},
        {"WM_INITDIALOG fails", true, false, FALSE, TRUE},
        {"WM_COMMAND fails", false, true, TRUE, FALSE},
    };
    for (const auto& c : cases) {
        HWND window = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window) << c.name;
        FailingPage page;
        page.failInitialize = c.failInitialize;
        page.failCommand = c.failCommand;
        PROPSHEETPAGEA description;
        page.Describe(GetModuleHandleA(nullptr), &description);
        DLGPROC proc = description.pfnDlgProc;

        EXPECT_EQ(c.initResult, proc(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&description))) << c.name;
        EXPECT_EQ(window, page.Window()) << c.name << ": the page lost its window";
        EXPECT_EQ(c.commandResult, proc(window, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), 0)) << c.name;
        EXPECT_EQ(c.commandResult, proc(window, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), 0))
            << c.name << ": a second message after the failure";
        EXPECT_EQ(2, page.commands) << c.name;

        proc(window, WM_NCDESTROY, 0, 0);
        EXPECT_EQ(nullptr, page.Window()) << c.name;
        DestroyWindow(window);
    }
}

}  // namespace
