// Between the OpenGL adapter object and the OpenGL device.
#pragma once

#include <string>
#include <vector>

#include "platform/device_core.h"
#include "platform/gl_api.h"

struct SDL_Window;

// What this machine's OpenGL offers, found once per process through a hidden
// window and context.
struct GlCaps {
    bool ok = false;
    std::string failure;  // why not, when !ok
    std::string renderer, vendor, version;
    int maxTextureSize = 0;
    int maxSamples = 0;
    int maxTextureUnits = 0;
    float maxAnisotropy = 1.0f;
    bool debugGroups = false;  // KHR_debug
    bool es2Compatibility = false;
    bool bufferStorage = false;  // ARB_buffer_storage: persistently mapped buffers

    struct BufferFormat {
        D3DFORMAT format = D3DFMT_UNKNOWN;
        bool usable = false;
        uint32_t sampleMask = 0;  // bit n: exactly n samples work
    };
    BufferFormat color[6];  // kGlBackBufferFormats
    BufferFormat depth[4];  // kGlDepthFormats
    std::vector<D3DFORMAT> blendableTextures;

    const BufferFormat* Color(D3DFORMAT format) const;
    const BufferFormat* Depth(D3DFORMAT format) const;
};

// Runs the probe at the first call (SDL video must be up); later calls return
// the same record.
const GlCaps& GlProbeCaps();

// Requests an OpenGL 3.3 core context for the next context creation.
void GlRequestCoreContext();

// The sample count of a multisample type and quality on a buffer format (0:
// not supported; 1 for no multisampling).
int GlSampleCount(const GlCaps::BufferFormat& format, D3DMULTISAMPLE_TYPE type, DWORD quality);
// The quality levels of a multisample type on a buffer format (0: none).
DWORD GlQualityLevels(const GlCaps::BufferFormat& format, D3DMULTISAMPLE_TYPE type);

// Creates the OpenGL device on the SDL window of the (resolved) present
// parameters.
HRESULT CreateGlDevice(const devcore::DeviceSetup& setup, SDL_Window* window, int display,
                       const D3DPRESENT_PARAMETERS& pp, IDirect3DDevice9** device);
