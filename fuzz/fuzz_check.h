#pragma once

// An invariant of a fuzz target: a broken one stops the run with its name,
// so the fuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
