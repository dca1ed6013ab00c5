#include "common/fwshared.h"

#include <cstdio>
#include <cstdlib>

void FWAssertFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s(%d): Assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}
