#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a crash to libFuzzer: it saves the input that led
// here, and the message says which promise the reader broke.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
