#include "BoundaryGuard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <limits>
#include <new>
#include <stdexcept>
#include <string>

namespace {

// Bodies as the edges have them, each failing in its own way, with the result
// the edge must give back.
struct GuardCase {
    const char* name;
    int (*body)();
    int expected;
};

int Succeeds() { return 1; }
int ThrowsBadAlloc() { throw std::bad_alloc(); }
// A real shortage: an allocation no heap can serve. A quarter of the address space
// can be had in a 32-bit process, so ask for all of it but a page.
int AllocatesTooMuch() {
    // Read at run time, so that the compiler does not refuse the size it can see.
    volatile std::size_t size = std::numeric_limits<std::size_t>::max() - 4096;
    void* block = ::operator new(size);
    ::operator delete(block);
    return 1;
}
int ThrowsRuntimeError() { throw std::runtime_error("broken"); }
int ThrowsSomethingElse() { throw 42; }
int ThrowsAfterWorkDone() {
    std::string text(100, 'x');
    text.at(200) = 'y';  // std::out_of_range
    return 1;
}

TEST(BoundaryGuard, AnyExceptionBecomesTheFallback) {
    static_assert(noexcept(CallGuarded(0, Succeeds)), "an edge's guard must not throw");
    static_assert(noexcept(CallGuardedVoid(Succeeds)), "an edge's guard must not throw");
    const GuardCase cases[] = {
        {"success", Succeeds, 1},
        {"bad_alloc", ThrowsBadAlloc, -7},
        {"allocation that fails", AllocatesTooMuch, -7},
        {"runtime_error", ThrowsRuntimeError, -7},
        {"not an exception class", ThrowsSomethingElse, -7},
        {"out_of_range", ThrowsAfterWorkDone, -7},
    };
    for (const GuardCase& c : cases) {
        EXPECT_EQ(c.expected, CallGuarded(-7, c.body)) << c.name;
    }
}

TEST(BoundaryGuard, EdgeResultsOfTheirKind) {
    // A filter that failed must answer "keep the mail on the server" (0), a
    // dialog procedure "not handled" (FALSE), a name export its constant.
    EXPECT_EQ(0, CallGuarded<int>(0, []() -> int { throw std::bad_alloc(); }));
    EXPECT_EQ(FALSE, CallGuarded<INT_PTR>(FALSE, []() -> INT_PTR { throw std::bad_alloc(); }));
    const char* name = CallGuarded<const char*>("Pikuno", []() -> const char* { throw std::bad_alloc(); });
    EXPECT_STREQ("Pikuno", name);
    EXPECT_EQ(TRUE, CallGuarded<INT_PTR>(FALSE, [] { return TRUE; })) << "a handled message stays handled";
}

TEST(BoundaryGuard, VoidBodyRunsUntilItFails) {
    int steps = 0;
    CallGuardedVoid([&] {
        ++steps;
        throw std::bad_alloc();
    });
    EXPECT_EQ(1, steps);
    CallGuardedVoid([&] { steps += 10; });
    EXPECT_EQ(11, steps);
}

}  // namespace
