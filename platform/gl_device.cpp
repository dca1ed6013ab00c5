// The 3-D device on OpenGL 3.3 core.
//
// Design
// - One OpenGL context per device, created on the device window (an SDL
//   window made with SDL_WINDOW_OPENGL). Every entry point that touches GL
//   makes the context current first (cheap when it already is). When the
//   window is destroyed before the device, GL calls stop; the context's
//   objects go with the context.
// - The back buffer is a framebuffer object: a colour renderbuffer of the
//   back-buffer format and the sample count of the multisample type, plus a
//   depth(-stencil) renderbuffer when automatic depth-stencil is on. Present
//   resolves a multisampled buffer into a single-sample one, copies it to the
//   window's default framebuffer (stretched when the sizes differ, as a
//   windowed present does) and swaps with the presentation interval
//   (IMMEDIATE: 0, anything else: 1; a refused interval is not fatal). Reset
//   rebuilds the framebuffer; the context, and so every texture and buffer,
//   survives. Full screen puts the window in SDL full-screen mode at the
//   closest display mode; windowed parameters restore it.
// - Screen-space conventions are handled here, once: the framebuffer keeps
//   OpenGL's orientation (row 0 at the bottom) and is copied to the window
//   unflipped, so clip-space y up is the top of the window and winding as seen
//   on screen is the same in both worlds. What the caller gives in top-left
//   pixel coordinates (viewport, clear rectangles, pre-transformed vertices)
//   is converted here; ReadBackBuffer returns rows top-down. Clip depth 0..1 is
//   converted to OpenGL's -w..w by the vertex epilogue of every program (the
//   built-in one included). Texture rows are uploaded top-down, so texture
//   coordinates need no change.
// - State is applied lazily: Set* calls only record (device_core) and mark
//   what changed; before a draw the changed render states are turned into GL
//   state, each compared with a shadow of what GL holds, so nothing is set
//   twice and nothing is queried. Sampler states live in one GL sampler
//   object per sampler slot.
// - Pre-transformed vertices (D3DFVF_XYZRHW / POSITIONT) are drawn by one
//   built-in program that evaluates texture stage 0 (SELECTARG1, SELECTARG2,
//   MODULATE, MODULATE2X/4X, ADD of TEXTURE, DIFFUSE and CURRENT, with
//   COMPLEMENT and ALPHAREPLICATE; DISABLE passes the diffuse colour) and the
//   alpha test; a flat-shading variant serves D3DSHADE_FLAT. On their way
//   into the stream buffer they are converted to one fixed 32-byte layout
//   that also carries stage 0's setup, so the GUI's alternation between
//   coloured quads and textured sprites changes no GL state (each such change
//   costs software renderers about 20 us a draw). Pre-transformed vertices in
//   vertex buffers are converted the same way from the buffer's memory copy.
//   Everything else is drawn with the user program set through gl_device.h.
// - Drawing from memory copies into a streaming vertex buffer: persistently
//   mapped and fenced per half where ARB_buffer_storage exists, otherwise
//   mapped unsynchronised at a moving offset and orphaned when full. The frame
//   loop allocates nothing and waits for the GPU only if it laps the ring.
// - Textures keep their texels in memory (device_core); UnlockRect uploads the
//   locked rectangle at once. Vertex and index buffers upload the locked range
//   on Unlock.
#include "platform/gl_device.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/device_core.h"
#include "platform/gl_formats.h"
#include "platform/gl_internal.h"

using namespace glapi;
using devcore::BufferData;
using devcore::CoreDevice;
using devcore::DeviceSetup;
using devcore::kSamplers;
using devcore::kSamplerStates;
using devcore::SurfaceImpl;
using devcore::TextureImpl;
using devcore::VertexDeclImpl;

const char kGlFragmentPrologue[] = "#version 330 core\n";
const char kGlVertexPrologue[] = "#version 330 core\n#define main trevolia_vertex_main\n";
const char kGlVertexEpilogue[] =
    "\n#undef main\n"
    "void main() {\n"
    "    trevolia_vertex_main();\n"
    "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n"
    "}\n";

void GlBindStandardLocations(GLuint program) {
    glBindAttribLocation(program, kGlAttribPosition, "in_Position");
    glBindAttribLocation(program, kGlAttribNormal, "in_Normal");
    glBindAttribLocation(program, kGlAttribTexCoord0, "in_TexCoord0");
    glBindAttribLocation(program, kGlAttribColor, "in_Color");
    glBindAttribLocation(program, kGlAttribTangent, "in_Tangent");
    glBindAttribLocation(program, kGlAttribBinormal, "in_Binormal");
    glBindAttribLocation(program, kGlAttribTexCoord1, "in_TexCoord1");
    glBindFragDataLocation(program, 0, "out_Color");
}

namespace {

// The info log of a shader or program, through the matching pair of calls
// (glGetShaderiv / glGetShaderInfoLog or glGetProgramiv / glGetProgramInfoLog).
template <class GetIv, class GetLog>
std::string InfoLog(GLuint object, GetIv getIv, GetLog getLog) {
    GLint length = 0;
    getIv(object, GL_INFO_LOG_LENGTH, &length);
    std::string text(static_cast<size_t>(std::max(length, 1)), '\0');
    getLog(object, length, nullptr, text.data());
    return std::string(text.c_str());
}

GLuint CompileShader(GLenum stage, const char* source, std::string* log) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        if (log)
            *log = (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") +
                   InfoLog(shader, glGetShaderiv, glGetShaderInfoLog);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

GLuint GlBuildProgram(const char* vertexSource, const char* fragmentSource, std::string* log) {
    GLuint vs = CompileShader(GL_VERTEX_SHADER, vertexSource, log);
    if (!vs) return 0;
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!fs) {
        glDeleteShader(vs);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    GlBindStandardLocations(program);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        if (log) *log = "link: " + InfoLog(program, glGetProgramiv, glGetProgramInfoLog);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

namespace {

// --- the built-in program of pre-transformed vertices ----------------------------

// Pre-transformed vertices are converted to this layout on their way into
// the stream buffer; `stage` carries texture stage 0's setup, so consecutive
// draws with different setups change no GL state.
struct BuiltinVertex {
    float x, y, z, rhw;  // pixels from the top-left, depth, 1/w
    uint32_t color;      // 0xAARRGGBB
    float u, v;
    uint32_t stage;  // colour op, arg 1, arg 2, alpha op, arg 1, arg 2 (4, 6, 6, 4, 6, 6 bits)
};
static_assert(sizeof(BuiltinVertex) == 32, "the built-in vertex is 32 bytes");
constexpr GLuint kBuiltinStageLocation = 7;  // the attribute after the standard ones (see the shader)
static_assert(kBuiltinStageLocation == kGlAttribCount, "the stage input follows the standard inputs");

const char kBuiltinVertex[] = R"(
in vec4 in_Position;   // x, y in pixels from the top-left, z, 1/w
in vec4 in_Color;
in vec2 in_TexCoord0;
layout(location = 7) in uint in_Stage;
uniform vec4 u_viewport;  // x, y, width, height in pixels from the top-left
out vec2 v_texCoord;
flat out uint v_stage;
#ifdef FLAT
flat out vec4 v_color;
#else
out vec4 v_color;
#endif
void main() {
    float w = in_Position.w > 0.0 ? 1.0 / in_Position.w : 1.0;
    vec2 ndc = vec2((in_Position.x - u_viewport.x) / u_viewport.z * 2.0 - 1.0,
                    1.0 - (in_Position.y - u_viewport.y) / u_viewport.w * 2.0);
    gl_Position = vec4(ndc * w, in_Position.z * w, w);
    v_color = in_Color;
    v_texCoord = in_TexCoord0;
    v_stage = in_Stage;
}
)";

const char kBuiltinFragment[] = R"(
uniform sampler2D u_texture;
uniform ivec2 u_alphaTest;   // function (8: always), reference 0..255
in vec2 v_texCoord;
flat in uint v_stage;
#ifdef FLAT
flat in vec4 v_color;
#else
in vec4 v_color;
#endif
out vec4 out_Color;

vec4 Arg(int a, vec4 tex) {
    int sel = a & 7;
    vec4 v = sel == 2 ? tex : (sel == 0 || sel == 1) ? v_color : (sel == 4 || sel == 5) ? vec4(0.0) : vec4(1.0);
    if ((a & 0x20) != 0) v = vec4(v.a);
    if ((a & 0x10) != 0) v = vec4(1.0) - v;
    return v;
}

vec4 Op(int op, int arg1, int arg2, vec4 tex) {
    if (op == 1) return v_color;
    vec4 a1 = Arg(arg1, tex);
    vec4 a2 = Arg(arg2, tex);
    if (op == 2) return a1;
    if (op == 3) return a2;
    if (op == 5) return clamp(a1 * a2 * 2.0, 0.0, 1.0);
    if (op == 6) return clamp(a1 * a2 * 4.0, 0.0, 1.0);
    if (op == 7) return clamp(a1 + a2, 0.0, 1.0);
    return a1 * a2;
}

bool Passes(int func, int a, int ref) {
    if (func == 1) return false;
    if (func == 2) return a < ref;
    if (func == 3) return a == ref;
    if (func == 4) return a <= ref;
    if (func == 5) return a > ref;
    if (func == 6) return a != ref;
    if (func == 7) return a >= ref;
    return true;
}

void main() {
    int colorOp = int(v_stage & 15u);
    int alphaOp = int((v_stage >> 16) & 15u);
    vec4 tex = texture(u_texture, v_texCoord);
    vec4 color = Op(colorOp, int((v_stage >> 4) & 63u), int((v_stage >> 10) & 63u), tex);
    vec4 alpha = colorOp == 1 ? v_color : Op(alphaOp, int((v_stage >> 20) & 63u), int((v_stage >> 26) & 63u), tex);
    out_Color = vec4(color.rgb, alpha.a);
    if (u_alphaTest.x != 8 && !Passes(u_alphaTest.x, int(out_Color.a * 255.0 + 0.5), u_alphaTest.y)) discard;
}
)";

struct BuiltinProgram {
    GLuint program = 0;
    GLint viewport = -1, alphaTest = -1;
    // Values last given to the program.
    float lastViewport[4] = {-1, -1, -1, -1};
    GLint lastTest[2] = {-1, -1};
};

// Where the parts of a pre-transformed vertex are in the caller's layout.
struct TlLayout {
    bool valid = false;
    UINT position = 0;
    int color = -1;  // offset, -1 when absent
    int texCoord = -1;
    int texCoordFloats = 0;
};

TlLayout TlLayoutOf(const std::vector<D3DVERTEXELEMENT9>& elements) {
    TlLayout layout;
    bool position = false;
    for (const D3DVERTEXELEMENT9& e : elements) {
        if (e.Stream != 0) continue;
        if (e.Usage == D3DDECLUSAGE_POSITIONT && e.UsageIndex == 0 && e.Type == D3DDECLTYPE_FLOAT4) {
            layout.position = e.Offset;
            position = true;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.UsageIndex == 0 && e.Type == D3DDECLTYPE_D3DCOLOR) {
            layout.color = e.Offset;
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.UsageIndex == 0 && e.Type <= D3DDECLTYPE_FLOAT4) {
            layout.texCoord = e.Offset;
            layout.texCoordFloats = e.Type == D3DDECLTYPE_FLOAT1 ? 1 : 2;
        }
    }
    layout.valid = position;
    return layout;
}

// Stage 0's setup packed as the built-in vertex carries it.
uint32_t PackStage(const DWORD* t) {
    auto op = [](DWORD v) -> uint32_t { return v >= 1 && v <= 7 ? v : D3DTOP_MODULATE; };
    auto arg = [](DWORD v) -> uint32_t { return v & 0x3F; };
    return op(t[D3DTSS_COLOROP]) | arg(t[D3DTSS_COLORARG1]) << 4 | arg(t[D3DTSS_COLORARG2]) << 10 |
           op(t[D3DTSS_ALPHAOP]) << 16 | arg(t[D3DTSS_ALPHAARG1]) << 20 | arg(t[D3DTSS_ALPHAARG2]) << 26;
}

void ConvertTlVertex(const uint8_t* src, const TlLayout& layout, uint32_t stage, BuiltinVertex* dst) {
    std::memcpy(&dst->x, src + layout.position, 16);
    if (layout.color >= 0)
        std::memcpy(&dst->color, src + layout.color, 4);
    else
        dst->color = 0xFFFFFFFFu;
    dst->u = dst->v = 0.0f;
    if (layout.texCoord >= 0) std::memcpy(&dst->u, src + layout.texCoord, 4 * static_cast<size_t>(layout.texCoordFloats));
    dst->stage = stage;
}

GLenum BlendFactor(DWORD v) {
    switch (v) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
        case 11: return GL_SRC_ALPHA_SATURATE;
        default: return GL_ONE;
    }
}

GLenum BlendOp(DWORD v) {
    switch (v) {
        case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
        case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
        case D3DBLENDOP_MIN: return GL_MIN;
        case D3DBLENDOP_MAX: return GL_MAX;
        default: return GL_FUNC_ADD;
    }
}

GLenum CompareFunc(DWORD v) {
    switch (v) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_LESSEQUAL: return GL_LEQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

GLenum AddressMode(DWORD v) {
    switch (v) {
        case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
        case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
        case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
        case 5: return GL_CLAMP_TO_EDGE;  // mirror once
        default: return GL_REPEAT;
    }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
        case D3DPT_POINTLIST: return GL_POINTS;
        case D3DPT_LINELIST: return GL_LINES;
        case D3DPT_LINESTRIP: return GL_LINE_STRIP;
        case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
        case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
        default: return GL_TRIANGLES;
    }
}

int AttribLocation(BYTE usage, BYTE index) {
    switch (usage) {
        case D3DDECLUSAGE_POSITION:
        case D3DDECLUSAGE_POSITIONT: return index == 0 ? static_cast<int>(kGlAttribPosition) : -1;
        case D3DDECLUSAGE_NORMAL: return index == 0 ? static_cast<int>(kGlAttribNormal) : -1;
        case D3DDECLUSAGE_TEXCOORD:
            return index == 0 ? static_cast<int>(kGlAttribTexCoord0) : index == 1 ? static_cast<int>(kGlAttribTexCoord1) : -1;
        case D3DDECLUSAGE_COLOR: return index == 0 ? static_cast<int>(kGlAttribColor) : -1;
        case D3DDECLUSAGE_TANGENT: return index == 0 ? static_cast<int>(kGlAttribTangent) : -1;
        case D3DDECLUSAGE_BINORMAL: return index == 0 ? static_cast<int>(kGlAttribBinormal) : -1;
        default: return -1;
    }
}

constexpr size_t kStreamBufferSize = 4u << 20;

class GlDevice;
GlDevice* g_markerDevice = nullptr;  // the device performance markers go to

class GlDevice final : public CoreDevice {
public:
    GlDevice(const DeviceSetup& setup, SDL_Window* window, int display)
        : CoreDevice(setup), m_caps(GlProbeCaps()), m_window(window), m_windowId(SDL_GetWindowID(window)),
          m_display(display) {
        m_fvfElements.reserve(16);
    }

    HRESULT Init(const D3DPRESENT_PARAMETERS& pp);

    ~GlDevice() override {
        if (m_cursor) {
            if (SDL_GetCursor() == m_cursor) SDL_SetCursor(SDL_GetDefaultCursor());
            SDL_FreeCursor(m_cursor);
        }
        if (m_fullScreen && WindowAlive()) SDL_SetWindowFullscreen(m_window, 0);
        if (m_context) {
            if (MakeCurrent()) {
                DeleteBackBuffer();
                glBindVertexArray(0);
                glDeleteVertexArrays(1, &m_vao);
                glDeleteVertexArrays(1, &m_builtinVao);
                DeleteStreamBuffer();
                glDeleteTextures(1, &m_white);
                glDeleteSamplers(kSamplers, m_samplers);
                for (auto& b : m_builtin) glDeleteProgram(b.program);
            }
            SDL_GL_DeleteContext(m_context);
        }
        if (g_markerDevice == this) g_markerDevice = nullptr;
    }

    // --- IDirect3DDevice9 ---
    HRESULT TestCooperativeLevel() override {
        if (!WindowAlive()) return D3DERR_DEVICELOST;
        return m_lost ? D3DERR_DEVICENOTRESET : S_OK;
    }

    HRESULT ReadBackBuffer(std::vector<uint8_t>* rgba, UINT* width, UINT* height) override;

    // --- for gl_device.h ---
    bool MakeCurrent() {
        if (SDL_GL_GetCurrentContext() != m_context) {
            if (!WindowAlive() || SDL_GL_MakeCurrent(m_window, m_context) != 0) return false;
        }
        g_markerDevice = this;
        return true;
    }
    GLuint TextureName(TextureImpl* texture) { return texture->backendName; }
    void SetUserProgram(GLuint program) { m_userProgram = program; }
    bool UseProgramNow(GLuint program) {
        if (!MakeCurrent()) return false;
        UseProgram(program);
        return true;
    }
    void Invalidate() {
        m_shadow = Shadow{};
        m_rsDirty = m_vpDirty = m_inputDirty = true;
        m_input = Input::Unknown;
        m_sampDirty = 0xFFFF;
        if (MakeCurrent()) {
            for (int i = 0; i < kSamplers; ++i) glBindSampler(static_cast<GLuint>(i), m_samplers[i]);
        }
    }

    // Performance markers.
    int PushMarker(const wchar_t* name);
    int PopMarker();

protected:
    HRESULT DoReset(const D3DPRESENT_PARAMETERS& pp) override;
    HRESULT DoPresent() override;
    HRESULT DoBeginScene() override { return S_OK; }
    HRESULT DoClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT DoDraw(D3DPRIMITIVETYPE type, UINT vertexCount, UINT startVertex) override;
    HRESULT DoDrawIndexed(D3DPRIMITIVETYPE type, INT baseVertex, UINT indexCount, UINT startIndex) override;
    HRESULT DoDrawUP(D3DPRIMITIVETYPE type, UINT vertexCount, const void* vertices, UINT stride) override;
    HRESULT DoSetCursorImage(UINT hotX, UINT hotY, const SurfaceImpl& image) override;
    void DoShowCursor(bool show) override;
    void DoCursorPosition(int, int) override {
        // The device cursor is the system pointer, which already follows the
        // mouse; the position is only recorded.
    }

    void OnRenderState(D3DRENDERSTATETYPE, DWORD) override { m_rsDirty = true; }
    void OnSamplerState(DWORD sampler) override { m_sampDirty |= 1u << sampler; }
    void OnViewport() override { m_vpDirty = true; }
    void OnVertexInput() override {
        m_inputDirty = true;
        m_tlLayoutDirty = true;
        if (State().fvf != m_fvf) {
            m_fvf = State().fvf;
            UINT stride = 0;
            if (m_fvf == 0 || !devcore::FvfToElements(m_fvf, &m_fvfElements, &stride)) m_fvfElements.clear();
        }
    }
    void OnAllState() override {
        m_rsDirty = m_vpDirty = true;
        m_sampDirty = 0xFFFF;
        OnVertexInput();
    }
    bool CanCreateTexture(D3DFORMAT format) override { return GlTextureFormatOf(format) != nullptr; }
    void OnTextureCreated(TextureImpl* texture) override;
    void OnTextureUnlocked(TextureImpl* texture, UINT level) override;
    void OnTextureDestroyed(TextureImpl* texture) override;
    void OnBufferCreated(BufferData* buffer) override;
    void OnBufferUnlocked(BufferData* buffer, bool indexBuffer) override;
    void OnBufferDestroyed(BufferData* buffer) override;

private:
    // What GL holds (values that cannot occur mean "unknown").
    struct Shadow {
        GLuint program = ~0u;
        GLuint vao = ~0u;
        GLuint drawFbo = ~0u;
        GLuint arrayBuffer = ~0u;
        GLuint elementBuffer = ~0u;
        GLuint activeUnit = ~0u;
        GLuint texture[kSamplers];
        int blend = -1;
        GLenum blendSrc = 0, blendDst = 0, blendSrcA = 0, blendDstA = 0, blendEq = 0, blendEqA = 0;
        int depthTest = -1, depthWrite = -1;
        GLenum depthFunc = 0;
        int cull = -1;
        GLenum frontFace = 0;
        GLenum polygonMode = 0;
        int colorMask = -1;
        int scissor = -1;
        GLint viewport[4] = {-1, -1, -1, -1};
        float depthRange[2] = {-1, -1};
        uint32_t enabledAttribs = 0;
        bool attribsKnown = false;
        Shadow() { std::fill(std::begin(texture), std::end(texture), ~0u); }
    };

    bool WindowAlive() const { return SDL_GetWindowFromID(m_windowId) == m_window; }
    bool Ready() { return !m_lost && MakeCurrent(); }

    bool BuildBackBuffer(const D3DPRESENT_PARAMETERS& pp);
    void DeleteBackBuffer();
    void ApplyWindowMode(const D3DPRESENT_PARAMETERS& pp);
    void ApplySwapInterval(const D3DPRESENT_PARAMETERS& pp) {
        // Not every system lets the interval be chosen; drawing goes on.
        SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    }
    bool BuildBuiltinPrograms();

    void BindDrawFbo(GLuint fbo) {
        if (m_shadow.drawFbo != fbo) {
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
            m_shadow.drawFbo = fbo;
        }
    }
    void UseProgram(GLuint program) {
        if (m_shadow.program != program) {
            glUseProgram(program);
            m_shadow.program = program;
        }
    }
    void BindVao(GLuint vao) {
        if (m_shadow.vao != vao) {
            glBindVertexArray(vao);
            m_shadow.vao = vao;
            m_shadow.elementBuffer = ~0u;  // element buffers are part of a vertex array
        }
    }
    void BindArrayBuffer(GLuint buffer) {
        if (m_shadow.arrayBuffer != buffer) {
            glBindBuffer(GL_ARRAY_BUFFER, buffer);
            m_shadow.arrayBuffer = buffer;
        }
    }
    void BindTexture(GLuint unit, GLuint texture) {
        if (m_shadow.texture[unit] == texture) return;
        if (m_shadow.activeUnit != unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            m_shadow.activeUnit = unit;
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        m_shadow.texture[unit] = texture;
    }
    void SetScissor(bool on) {
        if (m_shadow.scissor != static_cast<int>(on)) {
            on ? glEnable(GL_SCISSOR_TEST) : glDisable(GL_SCISSOR_TEST);
            m_shadow.scissor = on;
        }
    }
    void SetColorMask(int mask) {
        if (m_shadow.colorMask != mask) {
            glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
            m_shadow.colorMask = mask;
        }
    }
    void SetDepthWrite(bool on) {
        if (m_shadow.depthWrite != static_cast<int>(on)) {
            glDepthMask(on ? GL_TRUE : GL_FALSE);
            m_shadow.depthWrite = on;
        }
    }

    void ApplyRenderStates();
    void ApplyViewport();
    void ApplySamplers();
    // Points the vertex attributes at the current streams (or at the stream
    // buffer for drawing from memory).
    void ApplyVertexInput(const std::vector<D3DVERTEXELEMENT9>& elements, bool fromMemory, size_t memoryOffset,
                          UINT memoryStride);
    const std::vector<D3DVERTEXELEMENT9>* Elements() const {
        if (State().decl) return &State().decl->Elements();
        return m_fvf ? &m_fvfElements : nullptr;
    }
    static bool Pretransformed(const std::vector<D3DVERTEXELEMENT9>& elements) {
        for (const auto& e : elements)
            if (e.Usage == D3DDECLUSAGE_POSITIONT) return true;
        return false;
    }
    // Common preparation of every draw; false when nothing can be drawn.
    HRESULT PrepareDraw(bool pretransformed);
    // Space for `size` bytes in the stream buffer at a multiple of `stride`:
    // the pointer to write to, and in *offset where it lands. EndStream
    // makes the bytes visible to GL.
    uint8_t* BeginStream(size_t size, size_t stride, size_t* offset);
    void EndStream(size_t offset, size_t size);
    // Draws pre-transformed vertices read from `source` (stride apart; an index
    // list when `indices` is given) with the built-in program.
    HRESULT DrawPretransformed(D3DPRIMITIVETYPE type, UINT vertexCount, const uint8_t* source, UINT stride,
                               size_t sourceSize, const devcore::IndexBufferImpl* indices, UINT startIndex,
                               INT baseVertex);
    const TlLayout& CurrentTlLayout() {
        if (m_tlLayoutDirty) {
            const auto* elements = Elements();
            m_tlLayout = elements ? TlLayoutOf(*elements) : TlLayout{};
            m_tlLayoutDirty = false;
        }
        return m_tlLayout;
    }
    void CreateStreamBuffer();
    void DeleteStreamBuffer();
    void EnterHalf(int half);
    void LeaveHalf(int half);

    const GlCaps& m_caps;
    SDL_Window* m_window;
    Uint32 m_windowId;
    int m_display;
    SDL_GLContext m_context = nullptr;
    bool m_lost = false;
    bool m_fullScreen = false;

    // Back buffer.
    GLuint m_fbo = 0, m_colorRb = 0, m_depthRb = 0;
    GLuint m_resolveFbo = 0, m_resolveRb = 0;
    int m_samples = 1;
    bool m_hasDepth = false;

    // Drawing.
    GLuint m_vao = 0;         // vertex arrays of user-program draws
    GLuint m_builtinVao = 0;  // the built-in layout in the stream buffer
    GLuint m_stream = 0;
    size_t m_streamSize = kStreamBufferSize;
    size_t m_streamPos = 0;
    uint8_t* m_streamMap = nullptr;  // persistent mapping of the stream buffer, if any
    GLsync m_halfFence[2] = {};
    std::vector<uint8_t> m_staging;  // vertices on their way into an unmapped stream buffer
    bool m_stagingOrphans = false;
    TlLayout m_tlLayout;
    bool m_tlLayoutDirty = true;
    GLuint m_white = 0;
    GLuint m_samplers[kSamplers] = {};
    DWORD m_appliedSampler[kSamplers][kSamplerStates] = {};
    BuiltinProgram m_builtin[2];  // smooth, flat
    GLuint m_userProgram = 0;

    Shadow m_shadow;
    bool m_rsDirty = true, m_vpDirty = true, m_inputDirty = true;
    enum class Input { Unknown, Streams, Memory };
    Input m_input = Input::Unknown;  // where the attribute pointers point
    UINT m_memoryStride = 0;
    uint32_t m_sampDirty = 0xFFFF;
    DWORD m_fvf = 0;
    std::vector<D3DVERTEXELEMENT9> m_fvfElements;

    SDL_Cursor* m_cursor = nullptr;
    int m_markerDepth = 0;
};

HRESULT GlDevice::Init(const D3DPRESENT_PARAMETERS& pp) {
    GlRequestCoreContext();
    m_context = SDL_GL_CreateContext(m_window);
    if (!m_context) {
        std::fprintf(stderr, "3-D device: no OpenGL 3.3 core context: %s\n", SDL_GetError());
        return D3DERR_NOTAVAILABLE;
    }
    if (!MakeCurrent() || !GlLoadFunctions(nullptr)) return D3DERR_NOTAVAILABLE;
    if (!BuildBuiltinPrograms()) return D3DERR_DRIVERINTERNALERROR;

    glGenVertexArrays(1, &m_vao);
    glGenVertexArrays(1, &m_builtinVao);
    m_staging.reserve(64 * 1024);
    CreateStreamBuffer();
    glGenSamplers(kSamplers, m_samplers);
    for (int i = 0; i < kSamplers; ++i) glBindSampler(static_cast<GLuint>(i), m_samplers[i]);

    const uint32_t white = 0xFFFFFFFFu;
    glGenTextures(1, &m_white);
    BindTexture(0, m_white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glCullFace(GL_BACK);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex

    if (!BuildBackBuffer(pp)) return D3DERR_INVALIDCALL;
    ApplyWindowMode(pp);
    ApplySwapInterval(pp);
    InitPresentParameters(pp);
    return S_OK;
}

bool GlDevice::BuildBuiltinPrograms() {
    for (int flat = 0; flat < 2; ++flat) {
        std::string vs = std::string(kGlVertexPrologue) + (flat ? "#define FLAT\n" : "") + kBuiltinVertex +
                         kGlVertexEpilogue;
        std::string fs = std::string(kGlFragmentPrologue) + (flat ? "#define FLAT\n" : "") + kBuiltinFragment;
        std::string log;
        BuiltinProgram& b = m_builtin[flat];
        b.program = GlBuildProgram(vs.c_str(), fs.c_str(), &log);
        if (!b.program) {
            std::fprintf(stderr, "3-D device: built-in shader: %s\n", log.c_str());
            return false;
        }
        b.viewport = glGetUniformLocation(b.program, "u_viewport");
        b.alphaTest = glGetUniformLocation(b.program, "u_alphaTest");
        UseProgram(b.program);
        glUniform1i(glGetUniformLocation(b.program, "u_texture"), 0);
    }
    return true;
}

bool GlDevice::BuildBackBuffer(const D3DPRESENT_PARAMETERS& pp) {
    const GlCaps::BufferFormat* color = m_caps.Color(pp.BackBufferFormat);
    if (!color) return false;
    const int samples = GlSampleCount(*color, pp.MultiSampleType, pp.MultiSampleQuality);
    if (samples == 0) return false;
    const GlCaps::BufferFormat* depth = nullptr;
    if (pp.EnableAutoDepthStencil) {
        depth = m_caps.Depth(pp.AutoDepthStencilFormat);
        if (!depth) return false;
        if (samples > 1 && !(depth->sampleMask & (1u << samples))) return false;
    }
    const GLsizei w = static_cast<GLsizei>(pp.BackBufferWidth), h = static_cast<GLsizei>(pp.BackBufferHeight);
    if (w > m_caps.maxTextureSize || h > m_caps.maxTextureSize) return false;

    DeleteBackBuffer();
    const GLenum colorFormat = GlColorBufferFormat(pp.BackBufferFormat);
    auto storage = [samples, w, h](GLenum format) {
        if (samples > 1)
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, w, h);
        else
            glRenderbufferStorage(GL_RENDERBUFFER, format, w, h);
    };
    glGenFramebuffers(1, &m_fbo);
    BindDrawFbo(m_fbo);
    glGenRenderbuffers(1, &m_colorRb);
    glBindRenderbuffer(GL_RENDERBUFFER, m_colorRb);
    storage(colorFormat);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorRb);
    m_hasDepth = depth != nullptr;
    if (depth) {
        int depthBits = 0, stencilBits = 0;
        const GLenum depthFormat = GlDepthBufferFormat(pp.AutoDepthStencilFormat, &depthBits, &stencilBits);
        glGenRenderbuffers(1, &m_depthRb);
        glBindRenderbuffer(GL_RENDERBUFFER, m_depthRb);
        storage(depthFormat);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, stencilBits ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, m_depthRb);
    }
    bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && samples > 1) {
        glGenFramebuffers(1, &m_resolveFbo);
        BindDrawFbo(m_resolveFbo);
        glGenRenderbuffers(1, &m_resolveRb);
        glBindRenderbuffer(GL_RENDERBUFFER, m_resolveRb);
        glRenderbufferStorage(GL_RENDERBUFFER, colorFormat, w, h);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_resolveRb);
        complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindDrawFbo(m_fbo);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    m_samples = samples;
    if (!complete) {
        DeleteBackBuffer();
        return false;
    }
    return true;
}

void GlDevice::DeleteBackBuffer() {
    if (m_shadow.drawFbo == m_fbo || m_shadow.drawFbo == m_resolveFbo) BindDrawFbo(0);
    glDeleteFramebuffers(1, &m_fbo);
    glDeleteFramebuffers(1, &m_resolveFbo);
    glDeleteRenderbuffers(1, &m_colorRb);
    glDeleteRenderbuffers(1, &m_depthRb);
    glDeleteRenderbuffers(1, &m_resolveRb);
    m_fbo = m_resolveFbo = m_colorRb = m_depthRb = m_resolveRb = 0;
}

void GlDevice::ApplyWindowMode(const D3DPRESENT_PARAMETERS& pp) {
    if (!pp.Windowed) {
        SDL_DisplayMode want{};
        want.w = static_cast<int>(pp.BackBufferWidth);
        want.h = static_cast<int>(pp.BackBufferHeight);
        want.refresh_rate = static_cast<int>(pp.FullScreen_RefreshRateInHz);
        SDL_DisplayMode closest;
        if (SDL_GetWindowDisplayIndex(m_window) != m_display)
            SDL_SetWindowPosition(m_window, SDL_WINDOWPOS_CENTERED_DISPLAY(m_display),
                                  SDL_WINDOWPOS_CENTERED_DISPLAY(m_display));
        if (SDL_GetClosestDisplayMode(m_display, &want, &closest)) SDL_SetWindowDisplayMode(m_window, &closest);
        if (SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN) == 0) m_fullScreen = true;
    } else if (m_fullScreen) {
        SDL_SetWindowFullscreen(m_window, 0);
        m_fullScreen = false;
    }
}

HRESULT GlDevice::DoReset(const D3DPRESENT_PARAMETERS& pp) {
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    // Parameters this device cannot honour are refused before anything changes.
    const GlCaps::BufferFormat* color = m_caps.Color(pp.BackBufferFormat);
    if (!color || GlSampleCount(*color, pp.MultiSampleType, pp.MultiSampleQuality) == 0 ||
        (pp.EnableAutoDepthStencil && !m_caps.Depth(pp.AutoDepthStencilFormat)))
        return D3DERR_INVALIDCALL;
    if (m_markerDepth > 0) {
        while (m_markerDepth > 0) PopMarker();
    }
    if (!BuildBackBuffer(pp)) {
        // The old buffer is gone: the device stays lost until a reset works.
        m_lost = true;
        return D3DERR_INVALIDCALL;
    }
    m_lost = false;
    ApplyWindowMode(pp);
    ApplySwapInterval(pp);
    m_shadow.viewport[0] = -1;
    return S_OK;
}

HRESULT GlDevice::DoPresent() {
    if (m_lost || !MakeCurrent()) return D3DERR_DEVICELOST;
    const GLint w = static_cast<GLint>(m_pp.BackBufferWidth), h = static_cast<GLint>(m_pp.BackBufferHeight);
    SetScissor(false);  // blits are clipped by the scissor test
    GLuint source = m_fbo;
    if (m_samples > 1) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
        BindDrawFbo(m_resolveFbo);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        source = m_resolveFbo;
    }
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(m_window, &dw, &dh);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    BindDrawFbo(0);
    SetColorMask(0xF);
    const GLenum filter = (dw == w && dh == h) ? GL_NEAREST : GL_LINEAR;
    glBlitFramebuffer(0, 0, w, h, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT, filter);
    SDL_GL_SwapWindow(m_window);
    BindDrawFbo(m_fbo);
    return S_OK;
}

HRESULT GlDevice::ReadBackBuffer(std::vector<uint8_t>* rgba, UINT* width, UINT* height) {
    if (!rgba || !width || !height) return D3DERR_INVALIDCALL;
    if (!Ready()) return D3DERR_DEVICELOST;
    const GLint w = static_cast<GLint>(m_pp.BackBufferWidth), h = static_cast<GLint>(m_pp.BackBufferHeight);
    SetScissor(false);
    GLuint source = m_fbo;
    if (m_samples > 1) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
        BindDrawFbo(m_resolveFbo);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        BindDrawFbo(m_fbo);
        source = m_resolveFbo;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    rgba->resize(static_cast<size_t>(w) * h * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
    // OpenGL's rows run bottom-up; the caller gets them top-down.
    const size_t row = static_cast<size_t>(w) * 4;
    for (GLint y = 0; y < h / 2; ++y)
        std::swap_ranges(rgba->begin() + static_cast<std::ptrdiff_t>(y * row),
                         rgba->begin() + static_cast<std::ptrdiff_t>((y + 1) * row),
                         rgba->begin() + static_cast<std::ptrdiff_t>((h - 1 - y) * row));
    *width = static_cast<UINT>(w);
    *height = static_cast<UINT>(h);
    return S_OK;
}

HRESULT GlDevice::DoClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if (!Ready()) return S_OK;
    BindDrawFbo(m_fbo);
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        SetColorMask(0xF);
        glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f, static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                     static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>(color >> 24) / 255.0f);
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        mask |= GL_DEPTH_BUFFER_BIT;
        SetDepthWrite(true);
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
    }
    if (flags & D3DCLEAR_STENCIL) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
    }
    if (mask == 0) return S_OK;
    // Clearing is limited to the viewport (and to the rectangles, if given).
    const D3DVIEWPORT9& vp = State().viewport;
    const LONG vx1 = static_cast<LONG>(vp.X), vy1 = static_cast<LONG>(vp.Y);
    const LONG vx2 = vx1 + static_cast<LONG>(vp.Width), vy2 = vy1 + static_cast<LONG>(vp.Height);
    const LONG bh = static_cast<LONG>(m_pp.BackBufferHeight);
    const D3DRECT whole = {vx1, vy1, vx2, vy2};
    const DWORD n = count ? count : 1;
    const D3DRECT* list = count ? rects : &whole;
    SetScissor(true);
    for (DWORD i = 0; i < n; ++i) {
        const LONG x1 = std::max(list[i].x1, vx1), y1 = std::max(list[i].y1, vy1);
        const LONG x2 = std::min(list[i].x2, vx2), y2 = std::min(list[i].y2, vy2);
        if (x2 <= x1 || y2 <= y1) continue;
        glScissor(x1, bh - y2, x2 - x1, y2 - y1);
        glClear(mask);
    }
    SetScissor(false);
    return S_OK;
}

void GlDevice::ApplyRenderStates() {
    m_rsDirty = false;
    const DWORD* rs = State().rs;
    const bool blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    if (m_shadow.blend != static_cast<int>(blend)) {
        blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        m_shadow.blend = blend;
    }
    if (blend) {
        auto factors = [](DWORD src, DWORD dst, GLenum* s, GLenum* d) {
            if (src == 12) {  // both source alpha
                *s = GL_SRC_ALPHA;
                *d = GL_ONE_MINUS_SRC_ALPHA;
            } else if (src == 13) {  // both inverse source alpha
                *s = GL_ONE_MINUS_SRC_ALPHA;
                *d = GL_SRC_ALPHA;
            } else {
                *s = BlendFactor(src);
                *d = BlendFactor(dst);
            }
        };
        GLenum src, dst, srcA, dstA;
        factors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
        GLenum eq = BlendOp(rs[D3DRS_BLENDOP]), eqA = eq;
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
            factors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcA, &dstA);
            eqA = BlendOp(rs[D3DRS_BLENDOPALPHA]);
        } else {
            srcA = src;
            dstA = dst;
        }
        if (m_shadow.blendSrc != src || m_shadow.blendDst != dst || m_shadow.blendSrcA != srcA ||
            m_shadow.blendDstA != dstA) {
            glBlendFuncSeparate(src, dst, srcA, dstA);
            m_shadow.blendSrc = src;
            m_shadow.blendDst = dst;
            m_shadow.blendSrcA = srcA;
            m_shadow.blendDstA = dstA;
        }
        if (m_shadow.blendEq != eq || m_shadow.blendEqA != eqA) {
            glBlendEquationSeparate(eq, eqA);
            m_shadow.blendEq = eq;
            m_shadow.blendEqA = eqA;
        }
    }
    const bool depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && m_hasDepth;
    if (m_shadow.depthTest != static_cast<int>(depthTest)) {
        depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        m_shadow.depthTest = depthTest;
    }
    if (depthTest) {
        const GLenum func = CompareFunc(rs[D3DRS_ZFUNC]);
        if (m_shadow.depthFunc != func) {
            glDepthFunc(func);
            m_shadow.depthFunc = func;
        }
    }
    SetDepthWrite(rs[D3DRS_ZWRITEENABLE] != FALSE);
    const DWORD cullMode = rs[D3DRS_CULLMODE];
    const bool cull = cullMode == D3DCULL_CW || cullMode == D3DCULL_CCW;
    if (m_shadow.cull != static_cast<int>(cull)) {
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        m_shadow.cull = cull;
    }
    if (cull) {
        // The back face is the one culled: for D3DCULL_CCW the front winding
        // is clockwise (as seen on screen, which is also GL's view).
        const GLenum front = cullMode == D3DCULL_CCW ? GL_CW : GL_CCW;
        if (m_shadow.frontFace != front) {
            glFrontFace(front);
            m_shadow.frontFace = front;
        }
    }
    const DWORD fill = rs[D3DRS_FILLMODE];
    const GLenum polygon = fill == D3DFILL_WIREFRAME ? GL_LINE : fill == D3DFILL_POINT ? GL_POINT : GL_FILL;
    if (m_shadow.polygonMode != polygon) {
        glPolygonMode(GL_FRONT_AND_BACK, polygon);
        m_shadow.polygonMode = polygon;
    }
    SetColorMask(static_cast<int>(rs[D3DRS_COLORWRITEENABLE] & 0xF));
    // Fog, lighting, stencil and scissor states are kept but draw nothing
    // different: there is no fixed-function pipeline and no scissor rectangle.
}

void GlDevice::ApplyViewport() {
    m_vpDirty = false;
    const D3DVIEWPORT9& vp = State().viewport;
    const GLint v[4] = {static_cast<GLint>(vp.X),
                        static_cast<GLint>(m_pp.BackBufferHeight) - static_cast<GLint>(vp.Y + vp.Height),
                        static_cast<GLint>(vp.Width), static_cast<GLint>(vp.Height)};
    if (!std::equal(v, v + 4, m_shadow.viewport)) {
        glViewport(v[0], v[1], v[2], v[3]);
        std::copy(v, v + 4, m_shadow.viewport);
    }
    if (m_shadow.depthRange[0] != vp.MinZ || m_shadow.depthRange[1] != vp.MaxZ) {
        glDepthRange(vp.MinZ, vp.MaxZ);
        m_shadow.depthRange[0] = vp.MinZ;
        m_shadow.depthRange[1] = vp.MaxZ;
    }
}

void GlDevice::ApplySamplers() {
    const uint32_t dirty = m_sampDirty;
    m_sampDirty = 0;
    for (int i = 0; i < kSamplers; ++i) {
        if (!(dirty & (1u << i))) continue;
        const DWORD* s = State().samp[i];
        DWORD* applied = m_appliedSampler[i];
        const GLuint sampler = m_samplers[i];
        const bool first = applied[0] == 0;  // slot 0 is unused by the device: marks "never applied"
        if (first || applied[D3DSAMP_MINFILTER] != s[D3DSAMP_MINFILTER] ||
            applied[D3DSAMP_MIPFILTER] != s[D3DSAMP_MIPFILTER] || applied[D3DSAMP_MAGFILTER] != s[D3DSAMP_MAGFILTER] ||
            applied[10] != s[10]) {
            const bool linearMin = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
            GLenum min;
            switch (s[D3DSAMP_MIPFILTER]) {
                case D3DTEXF_POINT: min = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
                case D3DTEXF_NONE: min = linearMin ? GL_LINEAR : GL_NEAREST; break;
                default: min = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
            }
            glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min));
            glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                                s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
            if (m_caps.maxAnisotropy > 1.0f) {
                const bool aniso = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
                const float amount = aniso ? std::clamp(static_cast<float>(s[10]), 1.0f, m_caps.maxAnisotropy) : 1.0f;
                glSamplerParameterf(sampler, 0x84FE /* GL_TEXTURE_MAX_ANISOTROPY */, amount);
            }
        }
        if (first || applied[D3DSAMP_ADDRESSU] != s[D3DSAMP_ADDRESSU] ||
            applied[D3DSAMP_ADDRESSV] != s[D3DSAMP_ADDRESSV] || applied[D3DSAMP_ADDRESSW] != s[D3DSAMP_ADDRESSW]) {
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSU])));
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSV])));
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, static_cast<GLint>(AddressMode(s[D3DSAMP_ADDRESSW])));
        }
        if (first || applied[D3DSAMP_BORDERCOLOR] != s[D3DSAMP_BORDERCOLOR]) {
            const DWORD c = s[D3DSAMP_BORDERCOLOR];
            const float border[4] = {static_cast<float>((c >> 16) & 0xFF) / 255.0f,
                                     static_cast<float>((c >> 8) & 0xFF) / 255.0f, static_cast<float>(c & 0xFF) / 255.0f,
                                     static_cast<float>(c >> 24) / 255.0f};
            glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
        }
        std::copy(s, s + kSamplerStates, applied);
        applied[0] = 1;
    }
}

void GlDevice::ApplyVertexInput(const std::vector<D3DVERTEXELEMENT9>& elements, bool fromMemory, size_t memoryOffset,
                                UINT memoryStride) {
    uint32_t enabled = 0;
    for (const D3DVERTEXELEMENT9& e : elements) {
        const int location = AttribLocation(e.Usage, e.UsageIndex);
        if (location < 0 || (enabled & (1u << location))) continue;
        GLuint buffer;
        size_t offset;
        GLsizei stride;
        if (fromMemory) {
            if (e.Stream != 0) continue;
            buffer = m_stream;
            offset = memoryOffset + e.Offset;
            stride = static_cast<GLsizei>(memoryStride);
        } else {
            const devcore::StreamBinding& s = State().streams[e.Stream];
            if (!s.vb) continue;
            buffer = s.vb->data.backendName;
            offset = s.offset + e.Offset;
            stride = static_cast<GLsizei>(s.stride);
        }
        BindArrayBuffer(buffer);
        const void* pointer = reinterpret_cast<const void*>(offset);
        const GLuint loc = static_cast<GLuint>(location);
        switch (e.Type) {
            case D3DDECLTYPE_FLOAT1:
            case D3DDECLTYPE_FLOAT2:
            case D3DDECLTYPE_FLOAT3:
            case D3DDECLTYPE_FLOAT4:
                glVertexAttribPointer(loc, e.Type - D3DDECLTYPE_FLOAT1 + 1, GL_FLOAT, GL_FALSE, stride, pointer);
                break;
            case D3DDECLTYPE_D3DCOLOR:
                glVertexAttribPointer(loc, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, pointer);
                break;
            case D3DDECLTYPE_UBYTE4:
                glVertexAttribPointer(loc, 4, GL_UNSIGNED_BYTE, GL_FALSE, stride, pointer);
                break;
            case D3DDECLTYPE_UBYTE4N:
                glVertexAttribPointer(loc, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, pointer);
                break;
            case D3DDECLTYPE_SHORT2:
                glVertexAttribPointer(loc, 2, GL_SHORT, GL_FALSE, stride, pointer);
                break;
            case D3DDECLTYPE_SHORT4:
                glVertexAttribPointer(loc, 4, GL_SHORT, GL_FALSE, stride, pointer);
                break;
            default:
                continue;
        }
        enabled |= 1u << location;
    }
    for (int i = 0; i < kGlAttribCount; ++i) {
        const uint32_t bit = 1u << i;
        if (!m_shadow.attribsKnown || (enabled & bit) != (m_shadow.enabledAttribs & bit)) {
            (enabled & bit) ? glEnableVertexAttribArray(static_cast<GLuint>(i))
                            : glDisableVertexAttribArray(static_cast<GLuint>(i));
        }
    }
    m_shadow.enabledAttribs = enabled;
    m_shadow.attribsKnown = true;
    // Vertices without a colour are opaque white.
    if (!(enabled & (1u << kGlAttribColor))) glVertexAttrib4f(kGlAttribColor, 1.0f, 1.0f, 1.0f, 1.0f);
}

HRESULT GlDevice::PrepareDraw(bool pretransformed) {
    BindDrawFbo(m_fbo);
    if (m_rsDirty) ApplyRenderStates();
    if (m_vpDirty) ApplyViewport();
    if (m_sampDirty) ApplySamplers();
    const devcore::DeviceState& st = State();
    if (pretransformed) {
        BuiltinProgram& b = m_builtin[st.rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? 1 : 0];
        UseProgram(b.program);
        const D3DVIEWPORT9& vp = st.viewport;
        const float viewport[4] = {static_cast<float>(vp.X), static_cast<float>(vp.Y),
                                   static_cast<float>(std::max(1u, vp.Width)), static_cast<float>(std::max(1u, vp.Height))};
        if (!std::equal(viewport, viewport + 4, b.lastViewport)) {
            glUniform4fv(b.viewport, 1, viewport);
            std::copy(viewport, viewport + 4, b.lastViewport);
        }
        const GLint test[2] = {st.rs[D3DRS_ALPHATESTENABLE] ? static_cast<GLint>(st.rs[D3DRS_ALPHAFUNC]) : 8,
                               static_cast<GLint>(st.rs[D3DRS_ALPHAREF] & 0xFF)};
        if (!std::equal(test, test + 2, b.lastTest)) {
            glUniform2iv(b.alphaTest, 1, test);
            std::copy(test, test + 2, b.lastTest);
        }
        BindTexture(0, st.tex[0] && st.tex[0]->backendName ? st.tex[0]->backendName : m_white);
    } else {
        if (!m_userProgram) return D3DERR_INVALIDCALL;
        UseProgram(m_userProgram);
        for (int i = 0; i < kSamplers; ++i) BindTexture(static_cast<GLuint>(i), st.tex[i] ? st.tex[i]->backendName : 0);
    }
    return S_OK;
}

void GlDevice::CreateStreamBuffer() {
    glGenBuffers(1, &m_stream);
    BindArrayBuffer(m_stream);
    m_streamPos = 0;
    bool mapped = false;
    if (m_caps.bufferStorage) {
        const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
        glBufferStorage(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_streamSize), nullptr, flags);
        m_streamMap = static_cast<uint8_t*>(
            glMapBufferRange(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(m_streamSize), flags));
        mapped = m_streamMap != nullptr;
        if (!mapped) {
            glDeleteBuffers(1, &m_stream);
            glGenBuffers(1, &m_stream);
            m_shadow.arrayBuffer = ~0u;
            BindArrayBuffer(m_stream);
        }
    }
    if (!mapped) glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_streamSize), nullptr, GL_STREAM_DRAW);

    // The built-in layout never changes: its vertex array points into the
    // stream buffer once.
    BindVao(m_builtinVao);
    constexpr GLsizei stride = sizeof(BuiltinVertex);
    glVertexAttribPointer(kGlAttribPosition, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(BuiltinVertex, x)));
    glVertexAttribPointer(kGlAttribColor, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(BuiltinVertex, color)));
    glVertexAttribPointer(kGlAttribTexCoord0, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(BuiltinVertex, u)));
    glVertexAttribIPointer(kBuiltinStageLocation, 1, GL_UNSIGNED_INT, stride,
                           reinterpret_cast<const void*>(offsetof(BuiltinVertex, stage)));
    for (GLuint location : {kGlAttribPosition, kGlAttribColor, kGlAttribTexCoord0, kBuiltinStageLocation})
        glEnableVertexAttribArray(location);
}

void GlDevice::DeleteStreamBuffer() {
    for (GLsync& fence : m_halfFence) {
        if (fence) glDeleteSync(fence);
        fence = nullptr;
    }
    if (m_streamMap) {
        BindArrayBuffer(m_stream);
        glUnmapBuffer(GL_ARRAY_BUFFER);
        m_streamMap = nullptr;
    }
    if (m_shadow.arrayBuffer == m_stream) m_shadow.arrayBuffer = ~0u;
    glDeleteBuffers(1, &m_stream);
    m_stream = 0;
    m_input = Input::Unknown;  // attribute pointers named the old buffer
}

// Entering half `half` of the persistent ring: the draws that read it on the
// previous lap were all issued before the fence set when it was left.
void GlDevice::EnterHalf(int half) {
    GLsync& fence = m_halfFence[half];
    if (!fence) return;
    glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, ~GLuint64(0));
    glDeleteSync(fence);
    fence = nullptr;
}

void GlDevice::LeaveHalf(int half) {
    if (m_halfFence[half]) glDeleteSync(m_halfFence[half]);
    m_halfFence[half] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

uint8_t* GlDevice::BeginStream(size_t size, size_t stride, size_t* offset) {
    if (m_streamMap) {
        // Writes go straight into the persistently mapped ring: no GL call,
        // so nothing already drawn this frame is disturbed.
        const size_t half = m_streamSize / 2;
        if (size + stride > half) {
            DeleteStreamBuffer();
            m_streamSize = 2 * (size + stride) + m_streamSize;
            CreateStreamBuffer();
        }
        const size_t halfNow = m_streamSize / 2;
        size_t pos = (m_streamPos + stride - 1) / stride * stride;
        if (pos + size > m_streamSize) {
            LeaveHalf(1);
            EnterHalf(0);
            pos = 0;
        } else if (pos < halfNow && pos + size > halfNow) {
            LeaveHalf(0);
            EnterHalf(1);
            pos = (halfNow + stride - 1) / stride * stride;
        }
        m_streamPos = pos + size;
        *offset = pos;
        return m_streamMap + pos;
    }
    if (size > m_streamSize) {
        BindArrayBuffer(m_stream);
        m_streamSize = std::max(size, 2 * m_streamSize);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_streamSize), nullptr, GL_STREAM_DRAW);
        m_streamPos = 0;
    }
    // Whole vertices from the start of the buffer: the attribute pointers stay
    // at offset 0 and each draw starts at a vertex index.
    size_t pos = (m_streamPos + stride - 1) / stride * stride;
    m_stagingOrphans = pos + size > m_streamSize;
    if (m_stagingOrphans) pos = 0;
    if (m_staging.size() < size) m_staging.resize(size);  // only for a draw larger than any before
    m_streamPos = pos + size;
    *offset = pos;
    return m_staging.data();
}

void GlDevice::EndStream(size_t offset, size_t size) {
    if (m_streamMap) return;
    BindArrayBuffer(m_stream);
    // Unsynchronised writes behind what earlier draws use; at the end of the
    // buffer, fresh storage (the draws still using the old one keep it).
    const GLbitfield access = m_stagingOrphans ? (GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT)
                                               : (GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT |
                                                  GL_MAP_INVALIDATE_RANGE_BIT);
    void* target =
        glMapBufferRange(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), access);
    if (target) {
        std::memcpy(target, m_staging.data(), size);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size),
                        m_staging.data());
    }
}

HRESULT GlDevice::DrawPretransformed(D3DPRIMITIVETYPE type, UINT vertexCount, const uint8_t* source, UINT stride,
                                     size_t sourceSize, const devcore::IndexBufferImpl* indices, UINT startIndex,
                                     INT baseVertex) {
    const TlLayout& layout = CurrentTlLayout();
    if (!layout.valid) return D3DERR_INVALIDCALL;
    HRESULT hr = PrepareDraw(true);
    if (FAILED(hr)) return hr;
    const uint32_t stage = PackStage(State().tss[0]);
    size_t offset = 0;
    auto* out = reinterpret_cast<BuiltinVertex*>(
        BeginStream(static_cast<size_t>(vertexCount) * sizeof(BuiltinVertex), sizeof(BuiltinVertex), &offset));
    if (!indices) {
        for (UINT i = 0; i < vertexCount; ++i) ConvertTlVertex(source + static_cast<size_t>(i) * stride, layout, stage, &out[i]);
    } else {
        // Indexed pre-transformed vertices are expanded in index order.
        const bool wide = indices->format == D3DFMT_INDEX32;
        const uint8_t* list = indices->data.Bits() + static_cast<size_t>(startIndex) * (wide ? 4 : 2);
        for (UINT i = 0; i < vertexCount; ++i) {
            uint32_t index;
            if (wide) {
                std::memcpy(&index, list + 4 * static_cast<size_t>(i), 4);
            } else {
                uint16_t narrow;
                std::memcpy(&narrow, list + 2 * static_cast<size_t>(i), 2);
                index = narrow;
            }
            const int64_t vertex = static_cast<int64_t>(index) + baseVertex;
            if (vertex < 0 || static_cast<uint64_t>(vertex + 1) * stride > sourceSize) {
                std::memset(&out[i], 0, sizeof(BuiltinVertex));  // outside the buffer: a degenerate vertex
                continue;
            }
            ConvertTlVertex(source + static_cast<size_t>(vertex) * stride, layout, stage, &out[i]);
        }
    }
    EndStream(offset, static_cast<size_t>(vertexCount) * sizeof(BuiltinVertex));
    BindVao(m_builtinVao);
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(offset / sizeof(BuiltinVertex)),
                 static_cast<GLsizei>(vertexCount));
    return S_OK;
}

HRESULT GlDevice::DoDrawUP(D3DPRIMITIVETYPE type, UINT vertexCount, const void* vertices, UINT stride) {
    if (!Ready()) return S_OK;
    const auto* elements = Elements();
    if (!elements) return D3DERR_INVALIDCALL;
    const size_t size = static_cast<size_t>(vertexCount) * stride;
    if (Pretransformed(*elements))
        return DrawPretransformed(type, vertexCount, static_cast<const uint8_t*>(vertices), stride, size, nullptr, 0, 0);
    HRESULT hr = PrepareDraw(false);
    if (FAILED(hr)) return hr;
    size_t offset = 0;
    std::memcpy(BeginStream(size, stride, &offset), vertices, size);
    EndStream(offset, size);
    BindVao(m_vao);
    // Re-pointing attributes is costly for some drivers: they stay pointed at
    // the stream buffer while the layout and stride stay the same.
    if (m_inputDirty || m_input != Input::Memory || m_memoryStride != stride) {
        ApplyVertexInput(*elements, true, 0, stride);
        m_input = Input::Memory;
        m_memoryStride = stride;
        m_inputDirty = false;
    }
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(offset / stride), static_cast<GLsizei>(vertexCount));
    return S_OK;
}

HRESULT GlDevice::DoDraw(D3DPRIMITIVETYPE type, UINT vertexCount, UINT startVertex) {
    if (!Ready()) return S_OK;
    const auto* elements = Elements();
    if (!elements) return D3DERR_INVALIDCALL;
    if (Pretransformed(*elements)) {
        const devcore::StreamBinding& s0 = State().streams[0];
        if (s0.stride == 0) return D3DERR_INVALIDCALL;
        const uint8_t* base = s0.vb->data.Bits() + s0.offset;
        return DrawPretransformed(type, vertexCount, base + static_cast<size_t>(startVertex) * s0.stride, s0.stride,
                                  s0.vb->data.Size() - s0.offset, nullptr, 0, 0);
    }
    HRESULT hr = PrepareDraw(false);
    if (FAILED(hr)) return hr;
    BindVao(m_vao);
    if (m_inputDirty || m_input != Input::Streams) {
        ApplyVertexInput(*elements, false, 0, 0);
        m_input = Input::Streams;
        m_inputDirty = false;
    }
    glDrawArrays(PrimitiveMode(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount));
    return S_OK;
}

HRESULT GlDevice::DoDrawIndexed(D3DPRIMITIVETYPE type, INT baseVertex, UINT indexCount, UINT startIndex) {
    if (!Ready()) return S_OK;
    const auto* elements = Elements();
    if (!elements) return D3DERR_INVALIDCALL;
    const devcore::IndexBufferImpl* ib = State().indices;
    if (Pretransformed(*elements)) {
        const devcore::StreamBinding& s0 = State().streams[0];
        if (s0.stride == 0 || s0.offset > s0.vb->data.Size()) return D3DERR_INVALIDCALL;
        return DrawPretransformed(type, indexCount, s0.vb->data.Bits() + s0.offset, s0.stride,
                                  s0.vb->data.Size() - s0.offset, ib, startIndex, baseVertex);
    }
    HRESULT hr = PrepareDraw(false);
    if (FAILED(hr)) return hr;
    BindVao(m_vao);
    if (m_inputDirty || m_input != Input::Streams) {
        ApplyVertexInput(*elements, false, 0, 0);
        m_input = Input::Streams;
        m_inputDirty = false;
    }
    if (m_shadow.elementBuffer != ib->data.backendName) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->data.backendName);
        m_shadow.elementBuffer = ib->data.backendName;
    }
    const bool wide = ib->format == D3DFMT_INDEX32;
    const size_t offset = static_cast<size_t>(startIndex) * (wide ? 4 : 2);
    glDrawElementsBaseVertex(PrimitiveMode(type), static_cast<GLsizei>(indexCount),
                             wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(offset),
                             baseVertex);
    return S_OK;
}

// --- resources ------------------------------------------------------------------------

void GlDevice::OnTextureCreated(TextureImpl* texture) {
    if (texture->Pool() == D3DPOOL_SYSTEMMEM || texture->Pool() == D3DPOOL_SCRATCH) return;
    if (!MakeCurrent()) return;
    const GlTextureFormat* f = GlTextureFormatOf(texture->Format());
    GLuint name = 0;
    glGenTextures(1, &name);
    texture->backendName = name;
    BindTexture(m_shadow.activeUnit == ~0u ? 0 : m_shadow.activeUnit, name);
    const bool autogen = (texture->Usage() & D3DUSAGE_AUTOGENMIPMAP) != 0;
    if (!autogen) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(texture->Levels().size() - 1));
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, f->swizzle);
    GLint level = 0;
    for (const devcore::TextureLevel& lv : texture->Levels()) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexImage2D(GL_TEXTURE_2D, level++, static_cast<GLint>(f->internalFormat), static_cast<GLsizei>(lv.width),
                     static_cast<GLsizei>(lv.height), 0, f->clientFormat, f->clientType, lv.bits.data());
    }
    if (autogen) glGenerateMipmap(GL_TEXTURE_2D);
    texture->backendDirtyLevels = 0;
}

void GlDevice::OnTextureUnlocked(TextureImpl* texture, UINT level) {
    if (!texture->backendName || !MakeCurrent()) return;
    const GlTextureFormat* f = GlTextureFormatOf(texture->Format());
    const devcore::TextureLevel& lv = texture->Levels()[level];
    const RECT& r = lv.lockedRect;
    BindTexture(m_shadow.activeUnit == ~0u ? 0 : m_shadow.activeUnit, texture->backendName);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(lv.width));
    const uint8_t* first = lv.bits.data() + static_cast<size_t>(r.top) * lv.pitch +
                           static_cast<size_t>(r.left) * texture->BytesPerPixel();
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), r.left, r.top, r.right - r.left, r.bottom - r.top,
                    f->clientFormat, f->clientType, first);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (level == 0 && (texture->Usage() & D3DUSAGE_AUTOGENMIPMAP)) glGenerateMipmap(GL_TEXTURE_2D);
    texture->backendDirtyLevels &= ~(1u << std::min(level, 31u));
}

void GlDevice::OnTextureDestroyed(TextureImpl* texture) {
    if (!texture->backendName) return;
    if (MakeCurrent()) {
        for (auto& t : m_shadow.texture)
            if (t == texture->backendName) t = ~0u;
        glDeleteTextures(1, &texture->backendName);
    }
    texture->backendName = 0;
}

void GlDevice::OnBufferCreated(BufferData* buffer) {
    if (!MakeCurrent()) return;
    glGenBuffers(1, &buffer->backendName);
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer->backendName);
    glBufferData(GL_COPY_WRITE_BUFFER, buffer->Size(), buffer->Bits(),
                 (buffer->Usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    buffer->dirtyBegin = buffer->dirtyEnd = 0;
}

void GlDevice::OnBufferUnlocked(BufferData* buffer, bool) {
    if (!buffer->backendName || buffer->dirtyBegin >= buffer->dirtyEnd || !MakeCurrent()) return;
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer->backendName);
    if (buffer->discardOnUpload) {
        glBufferData(GL_COPY_WRITE_BUFFER, buffer->Size(), buffer->Bits(),
                     (buffer->Usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, buffer->dirtyBegin, buffer->dirtyEnd - buffer->dirtyBegin,
                        buffer->Bits() + buffer->dirtyBegin);
    }
    buffer->dirtyBegin = buffer->dirtyEnd = 0;
    buffer->discardOnUpload = false;
}

void GlDevice::OnBufferDestroyed(BufferData* buffer) {
    if (!buffer->backendName) return;
    if (MakeCurrent()) {
        if (m_shadow.arrayBuffer == buffer->backendName) m_shadow.arrayBuffer = ~0u;
        if (m_shadow.elementBuffer == buffer->backendName) m_shadow.elementBuffer = ~0u;
        glDeleteBuffers(1, &buffer->backendName);
    }
    buffer->backendName = 0;
}

// --- cursor and markers ------------------------------------------------------------------

HRESULT GlDevice::DoSetCursorImage(UINT hotX, UINT hotY, const SurfaceImpl& image) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t*>(image.Bits()), static_cast<int>(image.Width()), static_cast<int>(image.Height()), 32,
        static_cast<int>(image.Pitch()), SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return E_FAIL;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, static_cast<int>(hotX), static_cast<int>(hotY));
    SDL_FreeSurface(surface);
    if (!cursor) return E_FAIL;
    const bool active = m_cursor && SDL_GetCursor() == m_cursor;
    if (active || CursorShown()) SDL_SetCursor(cursor);
    if (m_cursor) SDL_FreeCursor(m_cursor);
    m_cursor = cursor;
    return S_OK;
}

void GlDevice::DoShowCursor(bool show) {
    if (show) {
        if (m_cursor) SDL_SetCursor(m_cursor);
        SDL_ShowCursor(SDL_ENABLE);
    } else {
        SDL_ShowCursor(SDL_DISABLE);
        if (m_cursor && SDL_GetCursor() == m_cursor) SDL_SetCursor(SDL_GetDefaultCursor());
    }
}

int GlDevice::PushMarker(const wchar_t* name) {
    if (!m_caps.debugGroups || m_markerDepth >= 64 || !MakeCurrent()) return -1;
    char text[256];
    size_t n = 0;
    for (; name && *name && n + 4 < sizeof(text); ++name) {
        const uint32_t c = static_cast<uint32_t>(*name);
        if (c < 0x80) {
            text[n++] = static_cast<char>(c);
        } else if (c < 0x800) {
            text[n++] = static_cast<char>(0xC0 | (c >> 6));
            text[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text[n++] = static_cast<char>(0xE0 | (c >> 12));
            text[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text[n++] = static_cast<char>(0xF0 | ((c >> 18) & 0x07));
            text[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            text[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    text[n] = '\0';
    glPushDebugGroup(GL_DEBUG_SOURCE_APPLICATION, 0, -1, text);
    return m_markerDepth++;
}

int GlDevice::PopMarker() {
    if (m_markerDepth == 0 || !MakeCurrent()) return -1;
    glPopDebugGroup();
    return --m_markerDepth;
}

GlDevice* AsGlDevice(IDirect3DDevice9* device) { return dynamic_cast<GlDevice*>(device); }

}  // namespace

HRESULT CreateGlDevice(const DeviceSetup& setup, SDL_Window* window, int display, const D3DPRESENT_PARAMETERS& pp,
                       IDirect3DDevice9** device) {
    const GlCaps& caps = GlProbeCaps();
    const GlCaps::BufferFormat* color = caps.Color(pp.BackBufferFormat);
    if (!color || GlSampleCount(*color, pp.MultiSampleType, pp.MultiSampleQuality) == 0) return D3DERR_INVALIDCALL;
    if (pp.EnableAutoDepthStencil) {
        const GlCaps::BufferFormat* depth = caps.Depth(pp.AutoDepthStencilFormat);
        const int samples = GlSampleCount(*color, pp.MultiSampleType, pp.MultiSampleQuality);
        if (!depth || (samples > 1 && !(depth->sampleMask & (1u << samples)))) return D3DERR_INVALIDCALL;
    }
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return D3DERR_NOTAVAILABLE;
    auto* d = new (std::nothrow) GlDevice(setup, window, display);
    if (!d) return E_OUTOFMEMORY;
    HRESULT hr = d->Init(pp);
    if (FAILED(hr)) {
        d->Release();
        return hr;
    }
    *device = d;
    return S_OK;
}

bool GlIsDevice(IDirect3DDevice9* device) { return AsGlDevice(device) != nullptr; }

bool GlMakeCurrent(IDirect3DDevice9* device) {
    GlDevice* d = AsGlDevice(device);
    return d && d->MakeCurrent();
}

GLuint GlTextureName(IDirect3DBaseTexture9* texture) {
    auto* t = dynamic_cast<TextureImpl*>(texture);
    if (!t) return 0;
    GlDevice* d = AsGlDevice(t->Owner());
    return d ? d->TextureName(t) : 0;
}

void GlSetUserProgram(IDirect3DDevice9* device, GLuint program) {
    if (GlDevice* d = AsGlDevice(device)) d->SetUserProgram(program);
}

bool GlUseProgram(IDirect3DDevice9* device, GLuint program) {
    GlDevice* d = AsGlDevice(device);
    return d && d->UseProgramNow(program);
}

void GlInvalidateState(IDirect3DDevice9* device) {
    if (GlDevice* d = AsGlDevice(device)) d->Invalidate();
}

int D3DPERF_BeginEvent(D3DCOLOR, const wchar_t* name) {
    return g_markerDevice ? g_markerDevice->PushMarker(name) : -1;
}

int D3DPERF_EndEvent() { return g_markerDevice ? g_markerDevice->PopMarker() : -1; }
