// Application state that the head-up display shows and the cube model
// resets: the two text lines and whether the credit lines are shown.
#pragma once

#include <cstdint>

// Length of each head-up-display text buffer, terminator included.
constexpr int32_t kHudTextLength = 120;

// The time line ("time: ...") and the moves line ("moves: ..."), formatted by
// every frame render; ResetGameState clears them.
extern wchar_t g_strTimeText[kHudTextLength];
extern wchar_t g_strMovesText[kHudTextLength];

// The three credit lines are drawn while this is true. The space key toggles
// it; ResetGameState clears it.
extern bool g_bShowCredits;
