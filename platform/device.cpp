// The entry of the device layer: the adapter object of the script or of the
// system, and the performance markers.
#include "platform/device.h"

#include "platform/device_internal.h"

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    if (PlatformUsingScriptedSystem()) return CreateScriptedDirect3D();
    return CreateSystemDirect3D();
}
