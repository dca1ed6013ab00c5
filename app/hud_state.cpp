#include "app/hud_state.h"

wchar_t g_strTimeText[kHudTextLength];
wchar_t g_strMovesText[kHudTextLength];
bool g_bShowCredits = false;
