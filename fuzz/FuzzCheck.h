#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A violation aborts, which libFuzzer reports as a crash with
// the input saved, and which fails the replay program.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (false)
