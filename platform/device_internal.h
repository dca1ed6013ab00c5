// Entry points between the parts of the device layer.
#pragma once

#include "platform/device.h"

// The adapter object of the selected script (null when none is selected).
IDirect3D9* CreateScriptedDirect3D();
// The adapter object of this machine's displays (null when there is no
// display or no OpenGL 3.3).
IDirect3D9* CreateSystemDirect3D();
