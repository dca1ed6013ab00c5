// The ten solving sequences: fixed series of panel turns played one after
// another, each driven by the completion of the previous turn.
//
// Sequence n (1 ... 10, picture command 800 + n) has a step counter,
// g_nSeqStep[n - 1]: 0 while idle, else the number of its turns already
// started (the counter returns to 0 when the last turn starts). Each turn is
// a panel turn, mapped through the view of the frame in which it starts.
// When a turn completes, one fixed priority order of (sequence, step) rules
// decides which running sequence advances; at most one does.
#pragma once

#include <cstdint>

#include "app/turn_animation.h"

// Picture command of sequence n (1 ... 10): its step counter := 1, the panel
// turn of its first caption (which does not start while a turn animates), and
// one move counted whether or not the turn started. Any other n does nothing.
void StartSequence(int32_t n);

// Called by the frame move when a quarter turn completes, after its commit:
// clears every running flag, then advances the first running sequence of the
// priority order by one step (its counter, its next panel turn, one move).
void OnTurnFinished();
