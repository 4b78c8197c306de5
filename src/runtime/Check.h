// Always-on checks for programmer errors: a broken invariant aborts with its reason.
#pragma once

#include <cstdio>
#include <cstdlib>

#define VESKA_CHECK(cond, why)                                                           \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "VESKA_CHECK failed at %s:%d: %s (%s)\n", __FILE__,     \
                         __LINE__, #cond, why);                                          \
            std::abort();                                                                \
        }                                                                                \
    } while (false)
