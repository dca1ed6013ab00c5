// The generated data through the helper library, as the program reads it:
// every cubelet mesh loads with its face materials in slot order and lies in
// its cell, both effects compile on this machine's OpenGL with every
// parameter the program sets, every picture and the built-in control image
// load at their sizes, and a whole frame (26 cubelets x 7 subsets through the
// scene effect, the head-up display's text, a sprite) draws the cube and
// allocates nothing once warm. With TREVOLIA_SCREENSHOT set to a file name,
// that frame is also written there as a PNG for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/default_control_image.h"
#include "platform/d3dx.h"
#include "platform/system.h"
#include "support/allocation_counter.h"
#include "support/d3dx_fixture.h"
#include "support/scene_data.h"
#include "tools/datagen/cubelet.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_SIMD
#include <stb/stb_image_write.h>

namespace {

using test_support::DataPath;

D3DMATERIAL9 Expected(int code, int j) {
    const datagen::XMaterial m = datagen::CubeletMaterial(code, j);
    D3DMATERIAL9 out{};
    out.Diffuse = {m.r, m.g, m.b, m.a};
    out.Specular = {m.sr, m.sg, m.sb, 1.0f};
    out.Emissive = {m.er, m.eg, m.eb, 1.0f};
    out.Power = m.power;
    return out;
}

// Loads a cubelet as the mesh class does.
HRESULT LoadCubelet(IDirect3DDevice9* device, int code, ID3DXMesh** scene, std::vector<D3DMATERIAL9>* materials) {
    return test_support::LoadSceneMesh(device, DataPath(datagen::CubeletFileName(code)), scene, materials);
}

using CubeletData = ScriptedHelpersTest;

TEST_F(CubeletData, EveryMeshLoadsWithItsFaceMaterialsInSlotOrderInsideItsCell) {
    for (int code : datagen::CubeletCodes()) {
        SCOPED_TRACE(code);
        ID3DXMesh* mesh = nullptr;
        std::vector<D3DMATERIAL9> materials;
        ASSERT_EQ(LoadCubelet(device, code, &mesh, &materials), S_OK);
        ASSERT_GE(materials.size(), 6u);
        ASSERT_EQ(materials.size(), 7u);
        for (int j = 0; j < 7; ++j) {
            EXPECT_EQ(materials[j], Expected(code, j)) << "material " << j;
            // Read against the table itself: outward slots wear their
            // face's colour, inward ones the body's.
            const datagen::XMaterial& want =
                j < 6 && datagen::SlotIsOutward(code, j) ? datagen::FaceMaterial(j) : datagen::BodyMaterial();
            EXPECT_EQ(materials[j].Diffuse, (D3DCOLORVALUE{want.r, want.g, want.b, want.a})) << "material " << j;
        }
        // One subset per material, each with faces, and the scene layout.
        DWORD entries = 0;
        mesh->GetAttributeTable(nullptr, &entries);
        ASSERT_EQ(entries, 7u);
        std::vector<D3DXATTRIBUTERANGE> table(entries);
        mesh->GetAttributeTable(table.data(), &entries);
        for (DWORD j = 0; j < entries; ++j) {
            EXPECT_EQ(table[j].AttribId, j);
            EXPECT_GT(table[j].FaceCount, 0u);
        }
        EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
        // The bounding box lies in the cell, and so do the normals' lengths.
        const std::array<int, 3> cell = datagen::CubeletCell(code);
        float* v = nullptr;
        ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v)), S_OK);
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (DWORD i = 0; i < mesh->GetNumVertices(); ++i, v += 8)
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
                EXPECT_NEAR(v[3] * v[3] + v[4] * v[4] + v[5] * v[5], 1.0f, 1e-3f);
            }
        mesh->UnlockVertexBuffer();
        for (int k = 0; k < 3; ++k) {
            EXPECT_GE(lo[k], cell[k] - 0.5f) << "axis " << k;
            EXPECT_LE(hi[k], cell[k] + 0.5f) << "axis " << k;
            EXPECT_GT(hi[k] - lo[k], 0.9f) << "axis " << k;
        }
        mesh->Release();
    }
}

TEST_F(CubeletData, EveryPictureAndTheBuiltInImageLoadAtTheirSizes) {
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(n);
        const std::wstring path = DataPath("Bild" + std::to_string(n) + ".bmp");
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileEx(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                              D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr,
                                              &texture),
                  S_OK);
        EXPECT_EQ(info.Width, 128u);
        EXPECT_EQ(info.Height, 128u);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Width, 128u);
        EXPECT_EQ(desc.Height, 128u);
        texture->Release();
    }
    ASSERT_EQ(FWDefaultControlImageDdsSize(), 262272u);
    D3DXIMAGE_INFO info{};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, FWDefaultControlImageDds(),
                                                  UINT(FWDefaultControlImageDdsSize()), D3DX_DEFAULT, D3DX_DEFAULT, 1,
                                                  0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  &info, nullptr, &texture),
              S_OK);
    EXPECT_EQ(info.Width, 256u);
    EXPECT_EQ(info.Height, 256u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Width, 256u);
    texture->Release();
}

// The scene as the program draws it (Part of the frame: cubelets, HUD text, a
// GUI sprite).
struct Scene {
    ID3DXMesh* meshes[26] = {};
    std::vector<D3DMATERIAL9> materials[26];
    ID3DXEffect* scene = nullptr;
    ID3DXEffect* model = nullptr;
    IDirect3DTexture9* white = nullptr;
    IDirect3DTexture9* controls = nullptr;
    ID3DXFont* hud = nullptr;
    ID3DXFont* credits = nullptr;
    ID3DXSprite* sprite = nullptr;
    D3DXMATRIX worldViewProjection;

    HRESULT Load(IDirect3DDevice9* device, int w, int h) {
        for (int k = 0; k < 26; ++k) {
            HRESULT hr = LoadCubelet(device, datagen::CubeletCodes()[k], &meshes[k], &materials[k]);
            if (FAILED(hr)) return hr;
        }
        HRESULT hr = D3DXCreateEffectFromFile(device, DataPath("shadowmap.fx").c_str(), nullptr, nullptr,
                                              D3DXFX_NOT_CLONEABLE, nullptr, &scene, nullptr);
        if (SUCCEEDED(hr))
            hr = D3DXCreateEffectFromFile(device, DataPath("Vexaloid.fx").c_str(), nullptr, nullptr,
                                          D3DXFX_NOT_CLONEABLE, nullptr, &model, nullptr);
        if (SUCCEEDED(hr)) hr = device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &white, nullptr);
        if (SUCCEEDED(hr)) {
            D3DLOCKED_RECT lr;
            white->LockRect(0, &lr, nullptr, 0);
            *static_cast<uint32_t*>(lr.pBits) = 0xFFFFFFFF;
            white->UnlockRect(0);
            hr = D3DXCreateTextureFromFileInMemoryEx(device, FWDefaultControlImageDds(),
                                                     UINT(FWDefaultControlImageDdsSize()), D3DX_DEFAULT, D3DX_DEFAULT,
                                                     1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                     0, nullptr, nullptr, &controls);
        }
        if (SUCCEEDED(hr))
            hr = D3DXCreateFont(device, h / 8, UINT(w / 40), FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS", &hud);
        if (SUCCEEDED(hr))
            hr = D3DXCreateFont(device, h / 16, UINT(w / 80), FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS", &credits);
        if (SUCCEEDED(hr)) hr = D3DXCreateSprite(device, &sprite);
        D3DXMATRIX world, view, proj;
        D3DXMatrixRotationY(&world, 0.25f);
        const D3DXVECTOR3 eye(4, 4, -10), at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, float(w) / float(h), 0.1f, 1000.0f);
        worldViewProjection = world * view * proj;
        return hr;
    }
    void Release() {
        for (ID3DXMesh*& m : meshes) SAFE_RELEASE(m);
        SAFE_RELEASE(scene);
        SAFE_RELEASE(model);
        SAFE_RELEASE(white);
        SAFE_RELEASE(controls);
        SAFE_RELEASE(hud);
        SAFE_RELEASE(credits);
        SAFE_RELEASE(sprite);
    }
    // One frame; the count of failed calls.
    int Render(IDirect3DDevice9* device, int w, int h) {
        int failures = 0;
        auto check = [&failures](HRESULT hr) { failures += FAILED(hr); };
        check(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(0, 66, 75, 121), 1.0f, 0));
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        check(model->SetTechnique("RenderScene"));
        check(model->SetMatrix("g_mWorldViewProjection", &worldViewProjection));
        check(model->SetMatrix("g_mWorld", &identity));
        check(scene->SetTechnique("RenderScene"));
        check(scene->SetMatrix("g_mProj", &worldViewProjection));
        UINT passes = 0;
        check(scene->Begin(&passes, 0));
        const D3DXVECTOR4 up(0, 1, 0, 0), light(0, 0, -0.7f, 0), diffuse(0.9f, 0.9f, 0.9f, 1),
            ambient(0.9f, 0.9f, 0.9f, 1);
        for (UINT p = 0; p < passes; ++p) {
            check(scene->BeginPass(p));
            check(scene->SetVector("g_vLightDir", &up));
            check(scene->SetVector("g_vLightDiffuse", &diffuse));
            check(scene->SetVector("g_vLightAmbient", &ambient));
            check(scene->SetVector("g_vLightDir", &light));
            for (int k = 0; k < 26; ++k) {
                check(scene->SetMatrix("g_mWorldView", &identity));
                for (DWORD j = 0; j < materials[k].size(); ++j) {
                    const D3DCOLORVALUE& d = materials[k][j].Diffuse;
                    const D3DXVECTOR4 colour(0.9f * d.r, 0.9f * d.g, 0.9f * d.b, d.a);
                    check(scene->SetVector("g_vMaterial", &colour));
                    check(scene->SetTexture("g_txScene", white));
                    check(scene->CommitChanges());
                    check(meshes[k]->DrawSubset(j));
                }
            }
            check(scene->EndPass());
        }
        check(scene->End());
        // The head-up display: two lines without a sprite.
        RECT time = {w * 20 / 1024, h * 5 / 768, 1, 1}, moves = {w * 20 / 1024, h * 80 / 768, 1, 1};
        failures += hud->DrawTextW(nullptr, L"time: 7.3s", -1, &time, DT_NOCLIP, 0xFF6464FF) == 0;
        failures += hud->DrawTextW(nullptr, L"moves: 12", -1, &moves, DT_NOCLIP, 0xFF64FF64) == 0;
        RECT credit = {w * 400 / 1024, h * 5 / 768, 1, 1};
        failures += credits->DrawTextW(nullptr, L"Trevolia", -1, &credit, DT_NOCLIP, 0xFF6464FF) == 0;
        // A control panel button as the dialog draws it: a stretched element
        // and its centred caption through the one sprite.
        check(sprite->Begin(D3DXSPRITE_ALPHABLEND));
        D3DXMATRIX scale;
        D3DXMatrixScaling(&scale, 60.0f / 136.0f, 30.0f / 54.0f, 1.0f);
        check(sprite->SetTransform(&scale));
        const RECT face = {0, 0, 136, 54};
        const D3DXVECTOR3 at(float(w - 70) / (60.0f / 136.0f), float(h - 40) / (30.0f / 54.0f), 0);
        check(sprite->Draw(controls, &face, nullptr, &at, 0xC8FFFFFF));
        check(sprite->SetTransform(&identity));
        RECT caption = {w - 70, h - 40, w - 10, h - 10};
        failures += credits->DrawTextW(sprite, L"r1", -1, &caption, DT_CENTER | DT_VCENTER, 0xFF000000) == 0;
        check(sprite->End());
        return failures;
    }
};

using SceneData = GlHelpersTest;

TEST_F(SceneData, BothEffectsCompileWithEveryParameterTheProgramSets) {
    struct Case {
        const char* file;
        std::vector<const char*> matrices, vectors, textures;
    } const cases[] = {
        {"shadowmap.fx",
         {"g_mProj", "g_mWorldView"},
         {"g_vLightDir", "g_vLightDiffuse", "g_vLightAmbient", "g_vMaterial"},
         {"g_txScene"}},
        {"Vexaloid.fx", {"g_mWorldViewProjection", "g_mWorld"}, {}, {}},
    };
    IDirect3DTexture9* white = nullptr;
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &white, nullptr), S_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* errors = nullptr;
        const HRESULT hr = D3DXCreateEffectFromFile(device, DataPath(c.file).c_str(), nullptr, nullptr,
                                                    D3DXFX_NOT_CLONEABLE | D3DXSHADER_DEBUG, nullptr, &effect, &errors);
        ASSERT_EQ(hr, S_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        ASSERT_EQ(effect->SetTechnique("RenderScene"), S_OK);
        D3DXMATRIX m;
        D3DXMatrixIdentity(&m);
        const D3DXVECTOR4 v(0.5f, 0.5f, 0.5f, 1);
        for (const char* name : c.matrices) EXPECT_EQ(effect->SetMatrix(name, &m), S_OK) << name;
        for (const char* name : c.vectors) EXPECT_EQ(effect->SetVector(name, &v), S_OK) << name;
        for (const char* name : c.textures) EXPECT_EQ(effect->SetTexture(name, white), S_OK) << name;
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
        EXPECT_GE(passes, 1u);
        for (UINT p = 0; p < passes; ++p) {
            EXPECT_EQ(effect->BeginPass(p), S_OK);
            EXPECT_EQ(effect->EndPass(), S_OK);
        }
        EXPECT_EQ(effect->End(), S_OK);
        effect->Release();
    }
    white->Release();
}

TEST_F(SceneData, AFrameDrawsTheCubeAndTheTextAndAllocatesNothingOnceWarm) {
    Scene scene;
    ASSERT_EQ(scene.Load(device, kWidth, kHeight), S_OK);
    EXPECT_EQ(scene.Render(device, kWidth, kHeight), 0);  // warm: glyphs, buffers, programs
    long allocations = 0;
    int failures = 0;
    {
        test_support::AllocationCounter counter;
        ::operator delete(::operator new(16));
        allocations = counter.Count();
    }
    ASSERT_EQ(allocations, 1) << "the counting allocator is in place";
    {
        test_support::AllocationCounter counter;
        failures = scene.Render(device, kWidth, kHeight);
        allocations = counter.Count();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(allocations, 0) << "allocations in one frame";
    Read();
    // The cube stands in the middle, showing its front (green), right side
    // (red) and top (white) stickers on the blue-grey background.
    const Rgb background{66, 75, 121};
    int green = 0, red = 0, white = 0, middle = 0;
    for (int y = 0; y < int(height); ++y)
        for (int x = 0; x < int(width); ++x) {
            const Rgb p = At(x, y);
            green += p.g > p.r + 50 && p.g > p.b + 30;
            red += p.r > p.g + 80 && p.r > p.b + 80;
            white += std::min({p.r, p.g, p.b}) > 170;
            if (x >= 65 && x < 95 && y >= 45 && y < 75) middle += !Near(p, background, 6);
        }
    EXPECT_GT(green, 150);
    EXPECT_GT(red, 150);
    EXPECT_GT(white, 100);
    EXPECT_EQ(middle, 30 * 30);
    // The time line's light blue at the top left.
    int hudInk = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) hudInk += Near(At(x, y), {100, 100, 255}, 40);
    EXPECT_GT(hudInk, 10);
    scene.Release();
}

// Not a check: the picture of a frame at the program's default size, for a
// person to look at (TREVOLIA_SCREENSHOT=file.png).
class ScreenshotData : public GlHelpersTest {};

TEST_F(ScreenshotData, WritesTheFrameWhenAsked) {
    const char* file = std::getenv("TREVOLIA_SCREENSHOT");
    if (!file || !*file) GTEST_SKIP() << "TREVOLIA_SCREENSHOT is not set";
    ASSERT_EQ(device->EndScene(), S_OK);
    D3DPRESENT_PARAMETERS pp{};
    device->GetPresentParameters(&pp);
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    ASSERT_EQ(device->Reset(&pp), S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    Scene scene;
    ASSERT_EQ(scene.Load(device, 640, 480), S_OK);
    EXPECT_EQ(scene.Render(device, 640, 480), 0);
    Read();
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    EXPECT_NE(stbi_write_png(file, int(width), int(height), 4, pixels.data(), int(width) * 4), 0);
    scene.Release();
}

}  // namespace
