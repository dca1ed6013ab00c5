// Bringing the cube and the game state back to a known point: the game-state
// reset, the Reset command and the Mix command.
//
// Move counter rules: g_nMoves changes only by the turn and picture commands
// of the application (+1 each, whether or not a turn started), by each step
// of a solving sequence (+1, sequencer.h), and back to 0 by ResetGameState and
// MixCube. The clock is the global timer's application time; ResetCube and
// MixCube restart it.
#pragma once

#include <cstdint>

// Random quarter turns applied by one mix.
constexpr int32_t kMixDraws = 1000;
// The speed slider's value that matches kDefaultTurnSpeed.
constexpr int32_t kDefaultSpeedSliderValue = 50;

// Clears the head-up-display texts, every angle, every sequence, the busy and
// running flags, the credits and the move counter; sets the speed to 3.0 and
// the speed slider to 50 (through g_CubeModelHooks); points every pose slot at
// its own pose. A running turn is abandoned without its commit. Leaves the
// face materials, the initial colours, codes, offsets, world matrices and the
// clock alone.
void ResetGameState();

// The Reset command: every cubelet's faces from g_InitialMaterials,
// ResetGameState, and a restart of the global timer.
void ResetCube();

// The Mix command: kMixDraws draws of the runtime's random generator, each
// committing the quarter turn MixTurnForDraw(r) at once unless that is 18;
// then g_nMoves := 0 and a restart of the global timer. A running turn and a
// running sequence go on. Allocates nothing.
void MixCube();

// The model turn of a random draw r (0 ... 32767): trunc(r * 1 / 32767 * 18)
// in float arithmetic in that order, which is floor(18 r / 32767): 0 ... 17,
// and 18 (no turn) only for r = 32767.
int32_t MixTurnForDraw(int32_t r);
