// The monotonic tick source under every clock of the program, and sleeping.
#pragma once

#include <cstdint>

// Current tick count: monotonic, 64-bit, counting at PlatformCounterFrequency()
// ticks per second.
int64_t PlatformCounter();
// Ticks per second of PlatformCounter(); fixed for the life of the process.
int64_t PlatformCounterFrequency();

// Tests replace the tick source to make time deterministic. A null function
// restores the system's monotonic clock. The frequency of a replacement
// source is given with it.
using PlatformCounterFn = int64_t (*)();
void PlatformSetCounterSource(PlatformCounterFn counter, int64_t frequency);

// Suspends the calling thread for at least the given number of milliseconds.
void Sleep(uint32_t milliseconds);
