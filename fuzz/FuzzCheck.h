// An invariant of a fuzz target: a broken one aborts, and libFuzzer keeps the
// input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define QVC_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// For the checks themselves: their comparisons are no paths of the code under
// test, and tracing them would cost most of each run.
#define QVC_FUZZ_CHECKER __attribute__((no_sanitize("coverage")))
