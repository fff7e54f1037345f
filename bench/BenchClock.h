#pragma once
// The two clocks every benchmark reads: wall time from the performance counter and
// the processor time a thread has used. Figures only; nothing is asserted on them.

#include <windows.h>

namespace bench {

// Seconds since an arbitrary start, from the performance counter.
inline double WallSeconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Kernel plus user time of `thread` in seconds; 0 when it cannot be read.
inline double ThreadCpuSeconds(HANDLE thread = GetCurrentThread()) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        return 0;
    }
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace bench
