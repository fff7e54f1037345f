#pragma once
// The one failure rule where the system calls our code: an export, a command
// callback the host calls, a window or dialog procedure. Below those edges the
// code is free to use the standard library's strings and containers, which
// report a shortage of memory by throwing; an exception that unwound into the
// host or into the system's dialog manager would end the host process (through
// std::terminate under a noexcept export, or as an unknown exception in the
// caller's frames). CallGuarded runs the body and turns any exception into the
// edge's own failure result.

#include <utility>

// Runs body and returns its result; when it throws (std::bad_alloc or anything
// else), returns fallback instead. The fallback is the result the caller takes
// for "nothing was done": each edge names its own.
template <typename Result, typename Body>
Result CallGuarded(Result fallback, Body&& body) noexcept {
    try {
        return static_cast<Result>(std::forward<Body>(body)());
    } catch (...) {  // std::bad_alloc above all, but whatever it was
        return fallback;
    }
}

// For an edge with no result: a failed body has simply done less.
template <typename Body>
void CallGuardedVoid(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}
