#include "platform/clock.h"

#include <time.h>

namespace {

constexpr int64_t kSystemFrequency = 1000000000;  // nanoseconds

int64_t SystemCounter() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kSystemFrequency + ts.tv_nsec;
}

PlatformCounterFn g_counter = &SystemCounter;
int64_t g_frequency = kSystemFrequency;

}  // namespace

int64_t PlatformCounter() { return g_counter(); }

int64_t PlatformCounterFrequency() { return g_frequency; }

void PlatformSetCounterSource(PlatformCounterFn counter, int64_t frequency) {
    if (counter == nullptr || frequency <= 0) {
        g_counter = &SystemCounter;
        g_frequency = kSystemFrequency;
    } else {
        g_counter = counter;
        g_frequency = frequency;
    }
}

void Sleep(uint32_t milliseconds) {
    timespec req;
    req.tv_sec = milliseconds / 1000;
    req.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&req, &req) != 0) {
        // interrupted by a signal: sleep the rest
    }
}
