// Hooks for the framework's tests. The framework state is one record per
// process; a test starts from a clean one with FWTestResetState().
#pragma once

#include "common/fw.h"

// Shuts the framework down (device callbacks run, the window closes, the
// adapter object is released), drops the pending messages, and replaces the
// state record by a fresh one with every default; the global timer is put
// back to its never-started state and the hooks below are cleared.
void FWTestResetState();

// Receives every text the framework sends to the debugger output (it is
// still sent there too). Null removes the hook.
void FWTestSetDebugOutputHook(void (*hook)(const wchar_t* text));

// Replaces the creation of the adapter object (for example by one that
// returns null, as a system without the drawing library would). Null
// returns to Direct3DCreate9.
void FWTestSetDirect3DCreateHook(IDirect3D9* (*create)(UINT sdkVersion));

// Makes FWInit check the helper library against these versions instead of
// the ones this build was made with (to reach FWERR_INCORRECTVERSION).
void FWTestSetBuiltForVersions(UINT d3dSdkVersion, UINT helperSdkVersion);
