// The runtime library's pseudo-random generator.
//
// One 32-bit state per thread, initially 1. Each draw sets
// state := state * 214013 + 2531011 (modulo 2^32) and returns
// (state >> 16) & 32767, a value 0 ... RAND_MAX_CRT. The program never seeds it,
// so its sequence is the same in every run.
#pragma once

#include <cstdint>

constexpr int RAND_MAX_CRT = 32767;

int CrtRand();
// Sets the calling thread's state (the runtime's seeding call).
void CrtSrand(uint32_t seed);
