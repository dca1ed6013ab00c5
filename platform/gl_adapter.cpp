// The adapter object of this machine (OpenGL over SDL displays).
#include "platform/device.h"
#include "platform/device_internal.h"

IDirect3D9* CreateSystemDirect3D() { return nullptr; }

int D3DPERF_BeginEvent(D3DCOLOR, const wchar_t*) { return -1; }
int D3DPERF_EndEvent() { return -1; }
