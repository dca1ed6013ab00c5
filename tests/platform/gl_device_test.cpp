// The OpenGL device on a hidden window: what is drawn is read back and
// checked pixel by pixel (top-left origin), the adapter object answers
// truthfully for the OpenGL underneath, and a steady frame allocates nothing.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/gl_device.h"
#include "platform/window.h"
#include "platform/window_sdl.h"
#include "support/allocation_counter.h"
#include "support/hidden_device.h"

namespace {

using test_support::MakeHiddenWindow;
using test_support::ResizeHiddenWindow;

struct TlVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Rgba {
    uint8_t r, g, b, a;
};

class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformUseScriptedSystem(nullptr);
        window = MakeHiddenWindow(64, 48);
        ASSERT_NE(window, nullptr);
        RECT client;
        ASSERT_TRUE(GetClientRect(window, &client));
        ASSERT_EQ(client.right, 64);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d) GTEST_SKIP() << "no OpenGL 3.3 on this display";
    }
    void TearDown() override {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        if (window) DestroyWindow(window);
    }

    D3DPRESENT_PARAMETERS Params(UINT w, UINT h) { return test_support::WindowedPresentParameters(w, h, window); }

    HRESULT Create(D3DPRESENT_PARAMETERS* pp) {
        return d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, pp, &device);
    }
    void Create(UINT w = 64, UINT h = 48) {
        D3DPRESENT_PARAMETERS pp = Params(w, h);
        ASSERT_EQ(Create(&pp), S_OK);
    }

    void Read() {
        ASSERT_EQ(device->ReadBackBuffer(&pixels, &width, &height), S_OK);
        ASSERT_EQ(pixels.size(), size_t(width) * height * 4);
    }
    Rgba At(UINT x, UINT y) const {
        const uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    void ExpectPixel(UINT x, UINT y, Rgba want, int tolerance = 2) const {
        const Rgba got = At(x, y);
        EXPECT_NEAR(got.r, want.r, tolerance) << "red at " << x << "," << y;
        EXPECT_NEAR(got.g, want.g, tolerance) << "green at " << x << "," << y;
        EXPECT_NEAR(got.b, want.b, tolerance) << "blue at " << x << "," << y;
    }
    int CountPixels(Rgba want) const {
        int n = 0;
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                const Rgba p = At(x, y);
                n += p.r == want.r && p.g == want.g && p.b == want.b;
            }
        return n;
    }

    // Clears colour and depth (the depth buffer starts undefined).
    void ClearAll(D3DCOLOR color) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0), S_OK);
    }

    // A pre-transformed quad from (x0, y0) to (x1, y1) as a fan TL, TR, BR, BL
    // (clockwise on screen).
    void Quad(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.5f) {
        const TlVertex v[4] = {{x0, y0, z, 1, color, 0, 0},
                               {x1, y0, z, 1, color, 1, 0},
                               {x1, y1, z, 1, color, 1, 1},
                               {x0, y1, z, 1, color, 0, 1}};
        ASSERT_EQ(device->SetFVF(kTlFvf), S_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(TlVertex)), S_OK);
    }

    // Stage 0 as the GUI sets it for sprites (texture x diffuse) or for
    // plain coloured quads (diffuse only).
    void StageModulate() {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    void StageDiffuse() {
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    IDirect3DTexture9* Texture(UINT w, UINT h, const std::vector<uint32_t>& texels,
                               D3DFORMAT format = D3DFMT_A8R8G8B8) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &tex, nullptr), S_OK);
        if (!tex) return nullptr;
        D3DLOCKED_RECT lr;
        EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), S_OK);
        for (UINT y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &texels[y * w], w * 4);
        EXPECT_EQ(tex->UnlockRect(0), S_OK);
        return tex;
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::vector<uint8_t> pixels;
    UINT width = 0, height = 0;
};

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};

TEST_F(GlDeviceTest, ClearFillsTheBackBuffer) {
    Create();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF336699, 1.0f, 0),
              S_OK);
    Read();
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 48u);
    EXPECT_EQ(CountPixels({0x33, 0x66, 0x99, 255}), 64 * 48);
    EXPECT_EQ(At(0, 0).a, 255);  // X8R8G8B8 reads opaque
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(GlDeviceTest, ClearIsLimitedToViewportAndRects) {
    Create();
    ClearAll(0xFF000000);
    D3DVIEWPORT9 vp = {10, 4, 20, 12, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), S_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    // A rectangle reaching out of the viewport is cut to it.
    const D3DRECT rect = {0, 0, 15, 8};
    device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    Read();
    ExpectPixel(10, 4, kGreen);
    ExpectPixel(14, 7, kGreen);
    ExpectPixel(15, 7, kRed);
    ExpectPixel(14, 8, kRed);
    ExpectPixel(29, 15, kRed);
    ExpectPixel(30, 15, kBlack);
    ExpectPixel(29, 16, kBlack);
    ExpectPixel(9, 4, kBlack);
    ExpectPixel(10, 3, kBlack);
    EXPECT_EQ(CountPixels(kRed) + CountPixels(kGreen), 20 * 12);
}

TEST_F(GlDeviceTest, PretransformedQuadLandsAtTopLeftPixels) {
    Create();
    ClearAll(0xFF000000);
    ASSERT_EQ(device->BeginScene(), S_OK);
    StageDiffuse();
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    Quad(4, 2, 12, 6, 0xFF00FF00);
    ASSERT_EQ(device->EndScene(), S_OK);
    Read();
    // Exactly the 8 x 4 pixels from (4, 2), counted from the top-left.
    EXPECT_EQ(CountPixels(kGreen), 8 * 4);
    ExpectPixel(4, 2, kGreen);
    ExpectPixel(11, 5, kGreen);
    ExpectPixel(3, 2, kBlack);
    ExpectPixel(4, 1, kBlack);
    ExpectPixel(12, 5, kBlack);
    ExpectPixel(11, 6, kBlack);
}

TEST_F(GlDeviceTest, TexturedQuadModulatesTextureAndColour) {
    Create();
    // Texel rows are top-down: red, green on the first row; blue, white below.
    IDirect3DTexture9* tex = Texture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(tex, nullptr);
    ClearAll(0xFF000000);
    ASSERT_EQ(device->BeginScene(), S_OK);
    device->SetTexture(0, tex);
    StageModulate();
    Quad(0, 0, 2, 2, 0xFF808080);  // one texel per pixel, half brightness
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Quad(10, 0, 12, 2, 0xFF808080);  // texture only
    StageDiffuse();
    Quad(20, 0, 22, 2, 0xFF808080);  // colour only
    device->EndScene();
    Read();
    ExpectPixel(0, 0, {128, 0, 0, 255});
    ExpectPixel(1, 0, {0, 128, 0, 255});
    ExpectPixel(0, 1, {0, 0, 128, 255});
    ExpectPixel(1, 1, {128, 128, 128, 255});
    ExpectPixel(10, 0, kRed);
    ExpectPixel(11, 1, {255, 255, 255, 255});
    ExpectPixel(21, 1, {128, 128, 128, 255});
    tex->Release();
}

TEST_F(GlDeviceTest, AlphaBlendingAndOpaqueX8Textures) {
    Create();
    ClearAll(0xFFFFFFFF);
    ASSERT_EQ(device->BeginScene(), S_OK);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    StageDiffuse();
    Quad(0, 0, 8, 8, 0x80FF0000);
    // The alpha of an X8R8G8B8 texture reads 1 whatever its memory holds.
    IDirect3DTexture9* tex = Texture(1, 1, {0x000000FF}, D3DFMT_X8R8G8B8);
    device->SetTexture(0, tex);
    StageModulate();
    Quad(10, 0, 18, 8, 0xFFFFFFFF);
    device->EndScene();
    Read();
    ExpectPixel(4, 4, {255, 127, 127, 255}, 3);
    ExpectPixel(14, 4, kBlue);
    tex->Release();
}

TEST_F(GlDeviceTest, AlphaTestDiscards) {
    Create();
    ClearAll(0xFF000000);
    device->BeginScene();
    StageDiffuse();
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    Quad(0, 0, 4, 4, 0x80FF0000);  // alpha equal to the reference: discarded
    Quad(8, 0, 12, 4, 0x81FF0000);
    device->EndScene();
    Read();
    ExpectPixel(1, 1, kBlack);
    ExpectPixel(9, 1, kRed);
}

TEST_F(GlDeviceTest, WireframeAndSolidFillDiffer) {
    Create();
    auto drawTriangle = [&](DWORD fill) {
        ClearAll(0xFF000000);
        device->BeginScene();
        device->SetRenderState(D3DRS_FILLMODE, fill);
        StageDiffuse();
        const TlVertex v[3] = {{4, 4, 0.5f, 1, 0xFFFF0000, 0, 0},
                               {60, 4, 0.5f, 1, 0xFFFF0000, 0, 0},
                               {4, 44, 0.5f, 1, 0xFFFF0000, 0, 0}};
        device->SetFVF(kTlFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)), S_OK);
        device->EndScene();
        Read();
    };
    drawTriangle(D3DFILL_SOLID);
    const int solid = CountPixels(kRed);
    ExpectPixel(15, 15, kRed);
    drawTriangle(D3DFILL_WIREFRAME);
    const int wire = CountPixels(kRed);
    ExpectPixel(15, 15, kBlack);  // the inside stays empty
    EXPECT_GT(solid, 1000);
    EXPECT_GT(wire, 100);
    EXPECT_LT(wire, solid / 3);
}

TEST_F(GlDeviceTest, CullModeIsWindingOnScreen) {
    Create();
    ClearAll(0xFF000000);
    device->BeginScene();
    StageDiffuse();
    device->SetFVF(kTlFvf);
    // Clockwise on screen (kept by the default D3DCULL_CCW) and counter-clockwise.
    const TlVertex cw[3] = {{0, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                            {20, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                            {0, 20, 0.5f, 1, 0xFFFF0000, 0, 0}};
    const TlVertex ccw[3] = {{30, 0, 0.5f, 1, 0xFF00FF00, 0, 0},
                             {30, 20, 0.5f, 1, 0xFF00FF00, 0, 0},
                             {50, 0, 0.5f, 1, 0xFF00FF00, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TlVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TlVertex));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    const TlVertex cw2[3] = {{0, 25, 0.5f, 1, 0xFF0000FF, 0, 0},
                             {20, 25, 0.5f, 1, 0xFF0000FF, 0, 0},
                             {0, 45, 0.5f, 1, 0xFF0000FF, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw2, sizeof(TlVertex));
    device->EndScene();
    Read();
    ExpectPixel(3, 3, kRed);
    ExpectPixel(33, 3, kBlack);
    ExpectPixel(3, 28, kBlack);
}

TEST_F(GlDeviceTest, DepthTestAndWrite) {
    Create();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    StageDiffuse();
    Quad(0, 0, 16, 16, 0xFFFF0000, 0.2f);
    Quad(0, 0, 16, 16, 0xFF00FF00, 0.8f);  // behind: hidden
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    Quad(20, 0, 36, 16, 0xFF0000FF, 0.3f);  // drawn but leaves no depth
    Quad(20, 0, 36, 16, 0xFF00FF00, 0.6f);
    device->EndScene();
    Read();
    ExpectPixel(8, 8, kRed);
    ExpectPixel(28, 8, kGreen);
}

TEST_F(GlDeviceTest, ResetToAnotherSizeKeepsManagedTextures) {
    Create();
    IDirect3DTexture9* tex = Texture(2, 1, {0xFF0000FF, 0xFFFF0000});
    ASSERT_NE(tex, nullptr);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    D3DPRESENT_PARAMETERS pp = Params(80, 60);
    ASSERT_EQ(device->Reset(&pp), S_OK);
    D3DSURFACE_DESC desc;
    device->GetBackBufferDesc(&desc);
    EXPECT_EQ(desc.Width, 80u);
    EXPECT_EQ(desc.Height, 60u);
    ClearAll(0xFF000000);
    device->BeginScene();
    device->SetTexture(0, tex);
    StageModulate();
    Quad(70, 50, 80, 60, 0xFFFFFFFF);  // the new bottom-right corner; fill is solid again
    device->EndScene();
    Read();
    EXPECT_EQ(width, 80u);
    EXPECT_EQ(height, 60u);
    ExpectPixel(72, 55, kBlue);
    ExpectPixel(77, 55, kRed);
    EXPECT_EQ(CountPixels(kBlue), 50);
    tex->Release();
}

TEST_F(GlDeviceTest, ZeroSizesTakeTheClientSize) {
    ResizeHiddenWindow(window, 100, 70);
    D3DPRESENT_PARAMETERS pp = Params(0, 0);
    ASSERT_EQ(Create(&pp), S_OK);
    EXPECT_EQ(pp.BackBufferWidth, 100u);
    EXPECT_EQ(pp.BackBufferHeight, 70u);
    ResizeHiddenWindow(window, 120, 90);
    D3DPRESENT_PARAMETERS again = Params(0, 0);
    ASSERT_EQ(device->Reset(&again), S_OK);
    EXPECT_EQ(again.BackBufferWidth, 120u);
    EXPECT_EQ(again.BackBufferHeight, 90u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    Read();
    EXPECT_EQ(width, 120u);
    EXPECT_EQ(CountPixels(kGreen), 120 * 90);
}

TEST_F(GlDeviceTest, MultisampledBackBufferPresentsAndReadsBack) {
    DWORD levels = 0;
    D3DMULTISAMPLE_TYPE type = D3DMULTISAMPLE_NONE;
    for (auto t : {D3DMULTISAMPLE_4_SAMPLES, D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_8_SAMPLES})
        if (SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, t, &levels)) &&
            SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D24S8, TRUE, t, nullptr))) {
            type = t;
            break;
        }
    if (type == D3DMULTISAMPLE_NONE) GTEST_SKIP() << "this OpenGL offers no multisampling";
    EXPECT_EQ(levels, 1u);
    D3DPRESENT_PARAMETERS pp = Params(64, 48);
    pp.MultiSampleType = type;
    ASSERT_EQ(Create(&pp), S_OK);
    D3DSURFACE_DESC desc;
    device->GetBackBufferDesc(&desc);
    EXPECT_EQ(desc.MultiSampleType, type);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    StageDiffuse();
    const TlVertex v[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                           {64, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                           {0, 48, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
    device->SetFVF(kTlFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex));
    device->EndScene();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    Read();
    ExpectPixel(5, 5, {255, 255, 255, 255});
    ExpectPixel(60, 44, kBlack);
    // The slanted edge has partly covered pixels: grey values appear.
    int partial = 0;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) partial += At(x, y).r > 20 && At(x, y).r < 235;
    EXPECT_GT(partial, 10);

    // A quality beyond the levels is refused.
    D3DPRESENT_PARAMETERS bad = Params(64, 48);
    bad.MultiSampleType = type;
    bad.MultiSampleQuality = levels;
    EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, UserProgramDrawsMeshesInDeviceClipSpace) {
    Create();
    ASSERT_TRUE(GlMakeCurrent(device));
    const std::string vs = std::string(kGlVertexPrologue) +
                           "in vec3 in_Position;\nin vec4 in_Color;\nout vec4 v_color;\n"
                           "uniform mat4 g_m;\n"
                           "void main() { gl_Position = vec4(in_Position, 1.0) * g_m; v_color = in_Color; }\n" +
                           kGlVertexEpilogue;
    const std::string fs = std::string(kGlFragmentPrologue) +
                           "in vec4 v_color;\nout vec4 out_Color;\nvoid main() { out_Color = v_color; }\n";
    std::string log;
    GLuint program = GlBuildProgram(vs.c_str(), fs.c_str(), &log);
    ASSERT_NE(program, 0u) << log;
    // A row-vector translation by (0.5, 0, 0): the fourth row holds it.
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1};
    ASSERT_TRUE(GlUseProgram(device, program));
    glapi::glUniformMatrix4fv(glapi::glGetUniformLocation(program, "g_m"), 1, GL_TRUE, m);

    struct V {
        float x, y, z;
        D3DCOLOR c;
    };
    // Quad 1 in the upper half (y up), depth 0.5. Quad 2 behind the near
    // plane (depth < 0): clipped away.
    const V verts[8] = {{-1, 0.2f, 0.5f, 0xFFFF0000}, {0, 0.2f, 0.5f, 0xFFFF0000},  {0, 1, 0.5f, 0xFFFF0000},
                        {-1, 1, 0.5f, 0xFFFF0000},    {-1, -1, -0.2f, 0xFF00FF00}, {0, -1, -0.2f, 0xFF00FF00},
                        {0, -0.2f, -0.2f, 0xFF00FF00}, {-1, -0.2f, -0.2f, 0xFF00FF00}};
    const WORD indices[12] = {0, 2, 1, 0, 3, 2, 4, 6, 5, 4, 7, 6};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof(verts), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                                        nullptr),
              S_OK);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, verts, sizeof(verts));
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices, sizeof(indices));
    ib->Unlock();
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), S_OK);

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    device->SetVertexDeclaration(decl);
    device->SetStreamSource(0, vb, 0, sizeof(V));
    device->SetIndices(ib);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4), D3DERR_INVALIDCALL);  // no program
    GlSetUserProgram(device, program);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4), S_OK);
    device->EndScene();
    GlSetUserProgram(device, 0);
    Read();
    // x from -0.5 to 0.5 (16..48), y from 1 down to 0.2 (rows 0..19).
    ExpectPixel(20, 2, kRed);
    ExpectPixel(47, 18, kRed);
    ExpectPixel(12, 2, kBlack);
    ExpectPixel(20, 21, kBlack);
    EXPECT_EQ(CountPixels(kGreen), 0);
    EXPECT_EQ(CountPixels(kRed), 32 * 19);

    decl->Release();
    vb->Release();
    ib->Release();
    GlMakeCurrent(device);
    glapi::glDeleteProgram(program);
}

TEST_F(GlDeviceTest, StateBlocksTakeEffectOnDrawing) {
    Create();
    IDirect3DStateBlock9* block = nullptr;
    StageDiffuse();
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), S_OK);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    ClearAll(0xFF000000);  // clearing ignores the mask
    device->BeginScene();
    Quad(0, 0, 8, 8, 0xFFFF0000);
    block->Apply();
    Quad(10, 0, 18, 8, 0xFFFF0000);
    device->EndScene();
    Read();
    ExpectPixel(4, 4, kBlack);
    ExpectPixel(14, 4, kRed);
    block->Release();
}

TEST_F(GlDeviceTest, ReferencesCursorAndMarkers) {
    Create();
    IDirect3DSurface9* image = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &image, nullptr), S_OK);
    D3DLOCKED_RECT lr;
    image->LockRect(&lr, nullptr, 0);
    std::memset(lr.pBits, 0xFF, 16 * lr.Pitch);
    image->UnlockRect();
    // SDL's offscreen driver (no display) has no cursors; a real one does.
    const HRESULT cursor = device->SetCursorProperties(1, 1, image);
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") != 0) {
        EXPECT_EQ(cursor, S_OK);
    }
    EXPECT_EQ(device->ShowCursor(TRUE), FALSE);
    EXPECT_EQ(device->ShowCursor(FALSE), TRUE);
    device->AddRef();
    EXPECT_EQ(device->Release(), 2u);  // the surface holds the device
    image->Release();

    const int first = D3DPERF_BeginEvent(0xFFC86464, L"HUD / Stats");
    if (first >= 0) {
        EXPECT_EQ(D3DPERF_BeginEvent(0, L"inner"), first + 1);
        EXPECT_EQ(D3DPERF_EndEvent(), first + 1);
        EXPECT_EQ(D3DPERF_EndEvent(), first);
    } else {
        EXPECT_EQ(D3DPERF_EndEvent(), -1);
    }
}

TEST_F(GlDeviceTest, DeviceOutlivingItsWindowFailsSafely) {
    Create();
    DestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), S_OK);
    tex->Release();
}

TEST_F(GlDeviceTest, AdapterAnswersForThisOpenGL) {
    ASSERT_GE(d3d->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), S_OK);
    EXPECT_GT(std::strlen(id.Description), 0u);
    EXPECT_EQ(std::strncmp(id.DeviceName, "DISPLAY1", 8), 0);
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), S_OK);
    EXPECT_GT(desktop.Width, 0u);
    // The desktop mode is among the modes of its format.
    bool found = false;
    const UINT n = d3d->GetAdapterModeCount(0, desktop.Format);
    for (UINT i = 0; i < n; ++i) {
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d->EnumAdapterModes(0, desktop.Format, i, &m), S_OK);
        found |= m.Width == desktop.Width && m.Height == desktop.Height;
    }
    EXPECT_TRUE(found);

    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), S_OK);
    EXPECT_EQ(caps.DevCaps & (D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE),
              D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(3, 0));
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(3, 0));
    EXPECT_TRUE(caps.PresentationIntervals & D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_TRUE(caps.PresentationIntervals & D3DPRESENT_INTERVAL_ONE);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS pp = Params(1, 1);
    IDirect3DDevice9* ref = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &ref),
              D3DERR_NOTAVAILABLE);

    struct Check {
        const char* what;
        HRESULT got;
        HRESULT want;
    };
    const D3DFORMAT x8 = D3DFMT_X8R8G8B8;
    const Check checks[] = {
        {"windowed X8", d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, x8, x8, TRUE), S_OK},
        {"windowed A8", d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, x8, D3DFMT_A8R8G8B8, TRUE), S_OK},
        {"REF type", d3d->CheckDeviceType(0, D3DDEVTYPE_REF, x8, x8, TRUE), D3DERR_NOTAVAILABLE},
        {"depth back buffer", d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, x8, D3DFMT_D16, TRUE), D3DERR_NOTAVAILABLE},
        {"A8 adapter format", d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, x8, TRUE), D3DERR_NOTAVAILABLE},
        {"blend A8R8G8B8", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), S_OK},
        {"blend X8R8G8B8", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, x8), S_OK},
        {"blend L8", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_L8), D3DERR_NOTAVAILABLE},
        {"texture DXT1", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1), D3DERR_NOTAVAILABLE},
        {"depth D16", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16), S_OK},
        {"depth D24S8", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8), S_OK},
        {"depth D15S1", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D15S1), D3DERR_NOTAVAILABLE},
        {"depth D24X4S4", d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24X4S4), D3DERR_NOTAVAILABLE},
        {"match D24X8", d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, x8, x8, D3DFMT_D24X8), S_OK},
        {"no multisampling", d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, x8, TRUE, D3DMULTISAMPLE_NONE, nullptr), S_OK},
        {"no adapter 99", d3d->CheckDeviceType(99, D3DDEVTYPE_HAL, x8, x8, TRUE), D3DERR_INVALIDCALL},
    };
    for (const Check& c : checks) EXPECT_EQ(c.got, c.want) << c.what;

    // Non-maskable multisampling has one quality level per sample count.
    DWORD nonMaskable = 0;
    const HRESULT hr =
        d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, x8, TRUE, D3DMULTISAMPLE_NONMASKABLE, &nonMaskable);
    DWORD counted = 0;
    for (int t = 2; t <= 16; ++t)
        counted += SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, x8, TRUE,
                                                             static_cast<D3DMULTISAMPLE_TYPE>(t), nullptr));
    EXPECT_EQ(nonMaskable, counted);
    EXPECT_EQ(SUCCEEDED(hr), counted > 0);
}

// Each texture format reaches the shader with the device's channel values.
TEST_F(GlDeviceTest, TextureFormatsSampleAsTheirNamesSay) {
    D3DPRESENT_PARAMETERS pp = Params(64, 48);
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;  // to see the alpha written
    ASSERT_EQ(Create(&pp), S_OK);
    struct Case {
        D3DFORMAT format;
        uint32_t texel;
        Rgba want;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x80FF4020, {255, 64, 32, 128}},
        {D3DFMT_X8R8G8B8, 0x00FF4020, {255, 64, 32, 255}},
        {D3DFMT_A8B8G8R8, 0x802040FF, {255, 64, 32, 128}},
        {D3DFMT_R5G6B5, 0x07E0, {0, 255, 0, 255}},
        {D3DFMT_A1R5G5B5, 0x801F, {0, 0, 255, 255}},
        {D3DFMT_A1R5G5B5, 0x7C00, {255, 0, 0, 0}},
        {D3DFMT_X1R5G5B5, 0x7C00, {255, 0, 0, 255}},
        {D3DFMT_A4R4G4B4, 0x8F00, {255, 0, 0, 136}},
        {D3DFMT_A2R10G10B10, 0xFFF00000, {255, 0, 0, 255}},
        {D3DFMT_A8, 0x80, {0, 0, 0, 128}},
        {D3DFMT_L8, 0x80, {128, 128, 128, 255}},
        {D3DFMT_A8L8, 0x4080, {128, 128, 128, 64}},
    };
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    device->BeginScene();
    std::vector<IDirect3DTexture9*> textures;
    float x = 0;
    for (const Case& c : cases) {
        IDirect3DTexture9* tex = nullptr;
        ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, c.format, D3DPOOL_MANAGED, &tex, nullptr), S_OK) << c.format;
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), S_OK);
        D3DSURFACE_DESC desc;
        tex->GetLevelDesc(0, &desc);
        const UINT bytes = c.format == D3DFMT_A8 || c.format == D3DFMT_L8 ? 1
                           : (c.format == D3DFMT_R5G6B5 || c.format == D3DFMT_A1R5G5B5 ||
                              c.format == D3DFMT_X1R5G5B5 || c.format == D3DFMT_A4R4G4B4 || c.format == D3DFMT_A8L8)
                               ? 2
                               : 4;
        std::memcpy(lr.pBits, &c.texel, bytes);
        tex->UnlockRect(0);
        device->SetTexture(0, tex);
        Quad(x, 0, x + 4, 4, 0xFFFFFFFF);
        x += 5;
        textures.push_back(tex);
    }
    device->EndScene();
    Read();
    x = 0;
    for (const Case& c : cases) {
        const Rgba got = At(static_cast<UINT>(x) + 2, 2);
        EXPECT_NEAR(got.r, c.want.r, 2) << "format " << c.format;
        EXPECT_NEAR(got.g, c.want.g, 2) << "format " << c.format;
        EXPECT_NEAR(got.b, c.want.b, 2) << "format " << c.format;
        EXPECT_NEAR(got.a, c.want.a, 2) << "format " << c.format;
        x += 5;
    }
    for (auto* t : textures) t->Release();
    IDirect3DTexture9* none = nullptr;
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &none, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, FullScreenAndBack) {
    Create();
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), S_OK);
    D3DPRESENT_PARAMETERS full = Params(desktop.Width, desktop.Height);
    full.Windowed = FALSE;
    full.BackBufferFormat = desktop.Format;
    full.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    ASSERT_EQ(device->Reset(&full), S_OK);
    SDL_Window* sdl = PlatformSdlWindow(window);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
    ClearAll(0xFF0000FF);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    Read();
    EXPECT_EQ(width, desktop.Width);
    ExpectPixel(width - 1, height - 1, kBlue);
    D3DPRESENT_PARAMETERS windowed = Params(64, 48);
    ASSERT_EQ(device->Reset(&windowed), S_OK);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
    // Full screen needs a size.
    D3DPRESENT_PARAMETERS noSize = Params(0, 0);
    noSize.Windowed = FALSE;
    EXPECT_EQ(device->Reset(&noSize), D3DERR_INVALIDCALL);
}

// After the first frames, a frame of the kind the program draws (clear,
// state changes, a state block round trip, drawing from memory and from
// buffers, markers, present) allocates nothing in the layer.
TEST_F(GlDeviceTest, FramesAllocateNothing) {
    Create();
    IDirect3DTexture9* tex = Texture(2, 2, {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF});
    IDirect3DStateBlock9* block = nullptr;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), S_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(TlVertex), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
    void* bits = nullptr;
    vb->Lock(0, 0, &bits, 0);
    std::memset(bits, 0, 4 * sizeof(TlVertex));
    vb->Unlock();
    auto frame = [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF424B79, 1.0f, 0);
        device->BeginScene();
        block->Capture();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        D3DPERF_BeginEvent(0xFFC86464, L"HUD / Stats");
        for (int i = 0; i < 10; ++i) {
            if (i & 1) {
                StageModulate();
                device->SetTexture(0, tex);
            } else {
                StageDiffuse();
            }
            Quad(static_cast<float>(i * 5), 0, static_cast<float>(i * 5 + 4), 4, 0xFF808080);
        }
        D3DPERF_EndEvent();
        device->SetFVF(kTlFvf);
        device->SetStreamSource(0, vb, 0, sizeof(TlVertex));
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
        block->Apply();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int i = 0; i < 3; ++i) frame();
    long allocations = 0;
    {
        test_support::AllocationCounter counter;
        for (int i = 0; i < 20; ++i) frame();
        allocations = counter.Count();
    }
    EXPECT_EQ(allocations, 0);
    vb->Release();
    block->Release();
    tex->Release();
}

}  // namespace
