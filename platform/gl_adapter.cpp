// The adapter object of this machine: every SDL display is an adapter, HAL is
// the OpenGL device, REF and SW do not exist. Capabilities and format checks
// come from a probe of the OpenGL implementation made once per process through
// a hidden window and an OpenGL 3.3 core context.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/device.h"
#include "platform/device_internal.h"
#include "platform/gl_formats.h"
#include "platform/gl_internal.h"
#include "platform/window.h"
#include "platform/window_sdl.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace glapi;

// --- the probe -------------------------------------------------------------------

const GlCaps::BufferFormat* GlCaps::Color(D3DFORMAT format) const {
    for (const BufferFormat& f : color)
        if (f.format == format && f.usable) return &f;
    return nullptr;
}

const GlCaps::BufferFormat* GlCaps::Depth(D3DFORMAT format) const {
    for (const BufferFormat& f : depth)
        if (f.format == format && f.usable) return &f;
    return nullptr;
}

void GlRequestCoreContext() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
}

namespace {

bool VideoUp() { return PlatformInitVideo(); }

void DrainErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Allocates a renderbuffer of the format with the sample count; true when
// the implementation gives exactly that count (0: single sample).
bool RenderbufferWorks(GLuint rb, GLenum format, int samples) {
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    DrainErrors();
    if (samples == 0)
        glRenderbufferStorage(GL_RENDERBUFFER, format, 4, 4);
    else
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, 4, 4);
    if (glGetError() != GL_NO_ERROR) return false;
    GLint got = -1;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &got);
    return got == samples;
}

uint32_t SampleMask(GLuint rb, GLenum format, int maxSamples) {
    uint32_t mask = 0;
    for (int n = 2; n <= std::min(16, maxSamples); ++n)
        if (RenderbufferWorks(rb, format, n)) mask |= 1u << n;
    return mask;
}

void ProbeFormats(GlCaps* caps) {
    GLuint fbo = 0, rb = 0, colorRb = 0, tex = 0;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &rb);
    glGenRenderbuffers(1, &colorRb);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);

    for (int i = 0; i < 6; ++i) {
        GlCaps::BufferFormat& f = caps->color[i];
        f.format = kGlBackBufferFormats[i];
        const GLenum gl = GlColorBufferFormat(f.format);
        if (gl == GL_RGB565 && !caps->es2Compatibility) continue;
        if (!RenderbufferWorks(rb, gl, 0)) continue;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
        f.usable = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        if (f.usable) f.sampleMask = SampleMask(rb, gl, caps->maxSamples);
    }

    // Depth formats, with an ordinary colour buffer beside them.
    RenderbufferWorks(colorRb, GL_RGBA8, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRb);
    for (int i = 0; i < 4; ++i) {
        GlCaps::BufferFormat& f = caps->depth[i];
        f.format = kGlDepthFormats[i];
        int depthBits = 0, stencilBits = 0;
        const GLenum gl = GlDepthBufferFormat(f.format, &depthBits, &stencilBits);
        if (!RenderbufferWorks(rb, gl, 0)) continue;
        GLint gotDepth = 0, gotStencil = 0;
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_DEPTH_SIZE, &gotDepth);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_STENCIL_SIZE, &gotStencil);
        // A format is offered only when GL gives the bits it promises (D32
        // needs a true 32-bit depth buffer).
        const bool bitsOk = depthBits == 32 ? gotDepth == 32 : gotDepth >= depthBits;
        if (!bitsOk || gotStencil < stencilBits) continue;
        const GLenum attach = stencilBits ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attach, GL_RENDERBUFFER, rb);
        f.usable = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attach, GL_RENDERBUFFER, 0);
        if (f.usable) f.sampleMask = SampleMask(rb, gl, caps->maxSamples);
    }
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);

    // Texture formats that can be drawn into (and so blended after the pixel
    // shader).
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    static const D3DFORMAT kCandidates[] = {
        D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8,  D3DFMT_R5G6B5,
        D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A2R10G10B10, D3DFMT_A2B10G10R10,
        D3DFMT_G16R16,   D3DFMT_A16B16G16R16, D3DFMT_R16F, D3DFMT_G16R16F,   D3DFMT_A16B16G16R16F,
        D3DFMT_R32F,     D3DFMT_G32R32F,  D3DFMT_A32B32G32R32F,
    };
    for (D3DFORMAT format : kCandidates) {
        const GlTextureFormat* f = GlTextureFormatOf(format);
        if (!f || !f->renderTarget) continue;
        DrainErrors();
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(f->internalFormat), 4, 4, 0, f->clientFormat, f->clientType,
                     nullptr);
        if (glGetError() != GL_NO_ERROR) continue;
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) caps->blendableTextures.push_back(format);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    }

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &tex);
    glDeleteRenderbuffers(1, &rb);
    glDeleteRenderbuffers(1, &colorRb);
    glDeleteFramebuffers(1, &fbo);
    DrainErrors();
}

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds: the leak check runs while the GL driver is still loaded.
// The driver keeps memory for the life of the process, reachable from its
// own globals; once SDL unloads the driver at exit, that memory would be
// reported as leaked from frames no one can name.
void LeakCheckWhileDriverLoaded() { __lsan_do_leak_check(); }
#endif

GlCaps RunProbe() {
    GlCaps caps;
    if (!VideoUp()) {
        caps.failure = std::string("no display: ") + SDL_GetError();
        return caps;
    }
#if defined(__SANITIZE_ADDRESS__)
    // Registered after the video system's own exit handler, so it runs first.
    std::atexit(&LeakCheckWhileDriverLoaded);
#endif
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();

    GlRequestCoreContext();
    SDL_Window* window =
        SDL_CreateWindow("Trevolia probe", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        caps.failure = std::string("no OpenGL window: ") + SDL_GetError();
        return caps;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        caps.failure = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
        SDL_DestroyWindow(window);
        return caps;
    }
    const char* missing = nullptr;
    if (!GlLoadFunctions(&missing)) {
        caps.failure = std::string("OpenGL entry point missing: ") + (missing ? missing : "?");
    } else {
        auto text = [](GLenum name) {
            const char* s = reinterpret_cast<const char*>(glGetString(name));
            return std::string(s ? s : "");
        };
        caps.renderer = text(GL_RENDERER);
        caps.vendor = text(GL_VENDOR);
        caps.version = text(GL_VERSION);
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &caps.maxTextureSize);
        glGetIntegerv(GL_MAX_SAMPLES, &caps.maxSamples);
        glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &caps.maxTextureUnits);
        GLint major = 0, minor = 0;
        glGetIntegerv(GL_MAJOR_VERSION, &major);
        glGetIntegerv(GL_MINOR_VERSION, &minor);
        const int version = major * 10 + minor;
        caps.debugGroups = (version >= 43 || GlHasExtension("GL_KHR_debug")) && glPushDebugGroup && glPopDebugGroup;
        caps.es2Compatibility = version >= 41 || GlHasExtension("GL_ARB_ES2_compatibility");
        caps.bufferStorage = (version >= 44 || GlHasExtension("GL_ARB_buffer_storage")) && glBufferStorage;
        if (GlHasExtension("GL_EXT_texture_filter_anisotropic") || GlHasExtension("GL_ARB_texture_filter_anisotropic"))
            glGetFloatv(0x84FF /* GL_MAX_TEXTURE_MAX_ANISOTROPY */, &caps.maxAnisotropy);
        ProbeFormats(&caps);
        caps.ok = caps.Color(D3DFMT_A8R8G8B8) != nullptr || caps.Color(D3DFMT_X8R8G8B8) != nullptr;
        if (!caps.ok) caps.failure = "no 32-bit colour buffer";
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return caps;
}

}  // namespace

const GlCaps& GlProbeCaps() {
    static GlCaps caps = RunProbe();
    return caps;
}

int GlSampleCount(const GlCaps::BufferFormat& format, D3DMULTISAMPLE_TYPE type, DWORD quality) {
    if (type == D3DMULTISAMPLE_NONE) return quality == 0 ? 1 : 0;
    if (type == D3DMULTISAMPLE_NONMASKABLE) {
        // Quality q is the q-th sample count the format supports.
        DWORD index = 0;
        for (int n = 2; n <= 16; ++n)
            if (format.sampleMask & (1u << n)) {
                if (index == quality) return n;
                ++index;
            }
        return 0;
    }
    if (quality != 0 || type > D3DMULTISAMPLE_16_SAMPLES) return 0;
    return (format.sampleMask & (1u << type)) ? static_cast<int>(type) : 0;
}

DWORD GlQualityLevels(const GlCaps::BufferFormat& format, D3DMULTISAMPLE_TYPE type) {
    if (type == D3DMULTISAMPLE_NONE) return 1;
    if (type == D3DMULTISAMPLE_NONMASKABLE) {
        DWORD n = 0;
        for (int s = 2; s <= 16; ++s)
            if (format.sampleMask & (1u << s)) ++n;
        return n;
    }
    if (type > D3DMULTISAMPLE_16_SAMPLES) return 0;
    return (format.sampleMask & (1u << type)) ? 1 : 0;
}

// --- displays -----------------------------------------------------------------------

namespace {

// The device format of an SDL display format (unknown for formats a display
// mode of this device cannot have).
D3DFORMAT DisplayFormatOf(Uint32 sdlFormat) {
    if (SDL_ISPIXELFORMAT_INDEXED(sdlFormat) || SDL_ISPIXELFORMAT_FOURCC(sdlFormat)) return D3DFMT_UNKNOWN;
    switch (sdlFormat) {
        case SDL_PIXELFORMAT_RGB565:
        case SDL_PIXELFORMAT_BGR565:
            return D3DFMT_R5G6B5;
        case SDL_PIXELFORMAT_RGB555:
        case SDL_PIXELFORMAT_BGR555:
        case SDL_PIXELFORMAT_ARGB1555:
        case SDL_PIXELFORMAT_ABGR1555:
        case SDL_PIXELFORMAT_RGBA5551:
        case SDL_PIXELFORMAT_BGRA5551:
            return D3DFMT_X1R5G5B5;
        case SDL_PIXELFORMAT_ARGB2101010:
            return D3DFMT_A2R10G10B10;
        default:
            break;
    }
    // Every other 24- and 32-bit layout is 8 bits per channel.
    const int bits = SDL_BITSPERPIXEL(sdlFormat);
    if (bits == 24 || bits == 32) return D3DFMT_X8R8G8B8;
    return D3DFMT_UNKNOWN;
}

struct DisplayInfo {
    int index = 0;
    std::string name;
    std::vector<D3DDISPLAYMODE> modes;
};

D3DDISPLAYMODE ModeOf(const SDL_DisplayMode& m) {
    D3DFORMAT format = DisplayFormatOf(m.format);
    if (format == D3DFMT_UNKNOWN) format = D3DFMT_X8R8G8B8;
    return {static_cast<UINT>(m.w), static_cast<UINT>(m.h), static_cast<UINT>(std::max(0, m.refresh_rate)), format};
}

bool SameMode(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate && a.Format == b.Format;
}

std::vector<DisplayInfo> ReadDisplays() {
    std::vector<DisplayInfo> displays;
    const int count = SDL_GetNumVideoDisplays();
    for (int d = 0; d < count; ++d) {
        DisplayInfo info;
        info.index = d;
        const char* name = SDL_GetDisplayName(d);
        info.name = name ? name : "";
        auto add = [&info](const D3DDISPLAYMODE& mode) {
            for (const auto& m : info.modes)
                if (SameMode(m, mode)) return;
            info.modes.push_back(mode);
        };
        const int modes = SDL_GetNumDisplayModes(d);
        for (int i = 0; i < modes; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(d, i, &m) == 0 && DisplayFormatOf(m.format) != D3DFMT_UNKNOWN) add(ModeOf(m));
        }
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(d, &desktop) == 0) add(ModeOf(desktop));
        displays.push_back(std::move(info));
    }
    return displays;
}

template <size_t N>
void CopyText(char (&dest)[N], const std::string& source) {
    const size_t n = std::min(N - 1, source.size());
    std::memcpy(dest, source.data(), n);
    dest[n] = '\0';
}

bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 ||
           format == D3DFMT_A2R10G10B10;
}

class SystemD3D final : public IDirect3D9 {
public:
    SystemD3D(const GlCaps& caps, std::vector<DisplayInfo> displays) : m_caps(caps), m_displays(std::move(displays)) {}

    UINT GetAdapterCount() override { return static_cast<UINT>(m_displays.size()); }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
        if (adapter >= m_displays.size() || !id) return D3DERR_INVALIDCALL;
        std::memset(id, 0, sizeof(*id));
        CopyText(id->Driver, m_caps.vendor + " OpenGL " + m_caps.version);
        CopyText(id->Description, m_caps.renderer);
        // Unique per display: the number first (the name may be cut).
        char name[32];
        std::snprintf(name, sizeof(name), "DISPLAY%u %s", adapter + 1, m_displays[adapter].name.c_str());
        CopyText(id->DeviceName, name);
        return S_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        if (adapter >= m_displays.size()) return 0;
        const auto& modes = m_displays[adapter].modes;
        return static_cast<UINT>(
            std::count_if(modes.begin(), modes.end(), [format](const D3DDISPLAYMODE& m) { return m.Format == format; }));
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override {
        if (adapter >= m_displays.size() || !out) return D3DERR_INVALIDCALL;
        for (const D3DDISPLAYMODE& m : m_displays[adapter].modes) {
            if (m.Format != format) continue;
            if (mode-- == 0) {
                *out = m;
                return S_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override {
        if (adapter >= m_displays.size() || !out) return D3DERR_INVALIDCALL;
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(m_displays[adapter].index, &m) != 0) return D3DERR_NOTAVAILABLE;
        *out = ModeOf(m);
        return S_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override {
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        // Full screen needs display modes of the format; any back buffer
        // this device can draw into is shown in any mode (it is copied to
        // the window on present).
        if (!windowed && GetAdapterModeCount(adapter, adapterFormat) == 0) return D3DERR_NOTAVAILABLE;
        return m_caps.Color(backBufferFormat) ? S_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        bool ok = false;
        const bool blendable = std::find(m_caps.blendableTextures.begin(), m_caps.blendableTextures.end(),
                                         checkFormat) != m_caps.blendableTextures.end();
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            ok = resourceType == D3DRTYPE_SURFACE && m_caps.Depth(checkFormat) != nullptr;
        } else if (resourceType == D3DRTYPE_TEXTURE) {
            ok = GlTextureFormatOf(checkFormat) != nullptr;
            if (usage & (D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING | D3DUSAGE_RENDERTARGET)) ok = ok && blendable;
        } else if (resourceType == D3DRTYPE_SURFACE) {
            ok = (usage & D3DUSAGE_RENDERTARGET) ? m_caps.Color(checkFormat) != nullptr
                                                 : devcore::FormatBytesPerPixel(checkFormat) != 0;
            if (usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) ok = ok && blendable;
        }
        return ok ? S_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD* qualityLevels) override {
        if (qualityLevels) *qualityLevels = 0;
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        const GlCaps::BufferFormat* f = m_caps.Color(surfaceFormat);
        if (!f) f = m_caps.Depth(surfaceFormat);
        if (!f) return D3DERR_NOTAVAILABLE;
        const DWORD levels = GlQualityLevels(*f, multiSample);
        if (levels == 0) return D3DERR_NOTAVAILABLE;
        if (qualityLevels) *qualityLevels = levels;
        return S_OK;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override {
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        // Framebuffer objects combine any colour buffer with any depth buffer.
        return (m_caps.Color(renderTargetFormat) || GlTextureFormatOf(renderTargetFormat)) &&
                       m_caps.Depth(depthStencilFormat)
                   ? S_OK
                   : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (!caps) return D3DERR_INVALIDCALL;
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        *caps = Caps(adapter);
        return S_OK;
    }

    HMONITOR GetAdapterMonitor(UINT adapter) override {
        if (adapter >= m_displays.size()) return nullptr;
        return PlatformMonitorOfDisplay(m_displays[adapter].index);
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (!params) return D3DERR_INVALIDCALL;
        HRESULT hr = CheckAdapterAndType(adapter, type);
        if (FAILED(hr)) return hr;
        const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                          D3DCREATE_MIXED_VERTEXPROCESSING);
        if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
            vp != D3DCREATE_MIXED_VERTEXPROCESSING)
            return D3DERR_INVALIDCALL;

        devcore::DeviceSetup setup;
        setup.d3d = this;
        setup.adapter = adapter;
        setup.type = type;
        setup.focusWindow = focusWindow;
        setup.behaviorFlags = behaviorFlags;
        setup.caps = Caps(adapter);
        D3DDISPLAYMODE desktop{};
        GetAdapterDisplayMode(adapter, &desktop);
        setup.desktopFormat = desktop.Format;

        D3DPRESENT_PARAMETERS pp;
        hr = devcore::ResolvePresentParameters(*params, focusWindow, setup.desktopFormat, &pp);
        if (FAILED(hr)) return hr;
        HWND windowHandle = pp.hDeviceWindow ? pp.hDeviceWindow : focusWindow;
        SDL_Window* window = windowHandle ? PlatformSdlWindow(windowHandle) : nullptr;
        if (!window) return D3DERR_INVALIDCALL;
        hr = CreateGlDevice(setup, window, m_displays[adapter].index, pp, device);
        if (SUCCEEDED(hr)) *params = pp;
        return hr;
    }

private:
    HRESULT CheckAdapterAndType(UINT adapter, D3DDEVTYPE type) const {
        if (adapter >= m_displays.size()) return D3DERR_INVALIDCALL;
        return type == D3DDEVTYPE_HAL ? S_OK : D3DERR_NOTAVAILABLE;
    }

    D3DCAPS9 Caps(UINT adapter) const {
        D3DCAPS9 caps{};
        caps.DeviceType = D3DDEVTYPE_HAL;
        caps.AdapterOrdinal = adapter;
        caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
        caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
        caps.CursorCaps = D3DCURSORCAPS_COLOR;
        caps.MaxTextureWidth = static_cast<DWORD>(m_caps.maxTextureSize);
        caps.MaxTextureHeight = static_cast<DWORD>(m_caps.maxTextureSize);
        caps.MaxAnisotropy = static_cast<DWORD>(m_caps.maxAnisotropy);
        caps.MaxTextureBlendStages = 1;  // the built-in shader honours stage 0
        caps.MaxSimultaneousTextures = static_cast<DWORD>(std::min(m_caps.maxTextureUnits, devcore::kSamplers));
        caps.MaxActiveLights = 0;
        caps.MaxPrimitiveCount = 0xFFFFFF;
        caps.MaxVertexIndex = 0xFFFFFF;
        caps.MaxStreams = devcore::kStreams;
        caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
        caps.MaxVertexShaderConst = 256;
        caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
        caps.NumSimultaneousRTs = 1;
        return caps;
    }

    const GlCaps& m_caps;
    std::vector<DisplayInfo> m_displays;
};

}  // namespace

IDirect3D9* CreateSystemDirect3D() {
    const GlCaps& caps = GlProbeCaps();
    if (!caps.ok) {
        std::fprintf(stderr, "3-D device: %s\n", caps.failure.c_str());
        return nullptr;
    }
    std::vector<DisplayInfo> displays = ReadDisplays();
    if (displays.empty()) return nullptr;
    return new (std::nothrow) SystemD3D(caps, std::move(displays));
}
