// Costs of the helper library with the program's data on this machine's
// OpenGL: loading the 26 cubelet meshes as the mesh class does (load, optimise
// in place, convert to the scene layout), drawing a frame of 26 cubelets x 7
// subsets through the scene effect, and 20 lines of head-up-display text
// through a font, without and with a shared sprite. Draw benchmarks finish
// the GPU work in every iteration: real time is the whole cost, CPU time the
// calling thread's part.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl_device.h"
#include "platform/system.h"
#include "support/hidden_device.h"
#include "support/scene_data.h"
#include "tools/datagen/cubelet.h"

namespace {

using test_support::DataPath;
using test_support::LoadSceneMesh;

std::wstring CubeletPath(int k) { return DataPath(datagen::CubeletFileName(datagen::CubeletCodes()[k])); }

// A hidden 640 x 480 window with a device, in a scene.
struct Bench : test_support::HiddenDevice {
    Bench() : HiddenDevice(640, 480) {
        if (device) device->BeginScene();
    }
    ~Bench() {
        if (device) device->EndScene();
    }
};

void BM_LoadCubeletMeshes(benchmark::State& state) {
    Bench b;
    if (!b.device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    size_t faces = 0;
    for (auto _ : state) {
        faces = 0;
        for (int k = 0; k < 26; ++k) {
            ID3DXMesh* mesh = nullptr;
            if (FAILED(LoadSceneMesh(b.device, CubeletPath(k), &mesh, nullptr))) {
                state.SkipWithError("a cubelet did not load (is the Data folder built?)");
                return;
            }
            faces += mesh->GetNumFaces();
            mesh->Release();
        }
    }
    state.counters["faces_per_mesh"] = double(faces) / 26.0;
}
BENCHMARK(BM_LoadCubeletMeshes)->Unit(benchmark::kMillisecond);

void BM_FrameOf26CubeletsThroughTheEffect(benchmark::State& state) {
    Bench b;
    if (!b.device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    ID3DXMesh* meshes[26] = {};
    std::vector<D3DMATERIAL9> materials[26];
    for (int k = 0; k < 26; ++k)
        if (FAILED(LoadSceneMesh(b.device, CubeletPath(k), &meshes[k], &materials[k]))) {
            state.SkipWithError("a cubelet did not load");
            return;
        }
    ID3DXEffect* effect = nullptr;
    if (FAILED(D3DXCreateEffectFromFile(b.device, DataPath("shadowmap.fx").c_str(), nullptr, nullptr,
                                        D3DXFX_NOT_CLONEABLE, nullptr, &effect, nullptr))) {
        state.SkipWithError("shadowmap.fx did not compile");
        return;
    }
    IDirect3DTexture9* white = nullptr;
    b.device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &white, nullptr);
    D3DXMATRIX view, proj, viewProj, identity;
    const D3DXVECTOR3 eye(4, 4, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 640.0f / 480.0f, 0.1f, 1000.0f);
    viewProj = view * proj;
    D3DXMatrixIdentity(&identity);
    const D3DXVECTOR4 light(0, 0, -0.7f, 0), grey(0.9f, 0.9f, 0.9f, 1);
    long subsets = 0;
    for (auto _ : state) {
        b.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF424B79, 1.0f, 0);
        effect->SetTechnique("RenderScene");
        effect->SetMatrix("g_mProj", &viewProj);
        UINT passes = 0;
        effect->Begin(&passes, 0);
        for (UINT p = 0; p < passes; ++p) {
            effect->BeginPass(p);
            effect->SetVector("g_vLightDir", &light);
            effect->SetVector("g_vLightDiffuse", &grey);
            effect->SetVector("g_vLightAmbient", &grey);
            for (int k = 0; k < 26; ++k) {
                effect->SetMatrix("g_mWorldView", &identity);
                for (DWORD j = 0; j < materials[k].size(); ++j) {
                    const D3DCOLORVALUE& d = materials[k][j].Diffuse;
                    const D3DXVECTOR4 colour(0.9f * d.r, 0.9f * d.g, 0.9f * d.b, d.a);
                    effect->SetVector("g_vMaterial", &colour);
                    effect->SetTexture("g_txScene", white);
                    effect->CommitChanges();
                    meshes[k]->DrawSubset(j);
                    ++subsets;
                }
            }
            effect->EndPass();
        }
        effect->End();
        b.Finish();
    }
    state.counters["subsets_per_frame"] = benchmark::Counter(double(subsets), benchmark::Counter::kAvgIterations);
    white->Release();
    effect->Release();
    for (ID3DXMesh* m : meshes) m->Release();
}
BENCHMARK(BM_FrameOf26CubeletsThroughTheEffect)->Unit(benchmark::kMillisecond);

// 20 lines of 20 characters: range(0) = 1 draws them through one sprite,
// 0 lets the font draw each line with its own.
void BM_TwentyLinesOfText(benchmark::State& state) {
    Bench b;
    if (!b.device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    ID3DXFont* font = nullptr;
    ID3DXSprite* sprite = nullptr;
    if (FAILED(D3DXCreateFont(b.device, 480 / 16, 640 / 80, FW_BOLD, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Comic Sans MS", &font)) ||
        FAILED(D3DXCreateSprite(b.device, &sprite))) {
        state.SkipWithError("no font");
        return;
    }
    const bool shared = state.range(0) != 0;
    const wchar_t* lines[2] = {L"time: 1h 2min 5s   ", L"moves: 1234 abcdefg"};
    for (auto _ : state) {
        if (shared) sprite->Begin(D3DXSPRITE_ALPHABLEND);
        for (int i = 0; i < 20; ++i) {
            RECT r = {10, 10 + 22 * i, 1, 1};
            font->DrawTextW(shared ? sprite : nullptr, lines[i & 1], -1, &r, DT_NOCLIP, 0xFF6464FF);
        }
        if (shared) sprite->End();
        b.Finish();
    }
    sprite->Release();
    font->Release();
}
BENCHMARK(BM_TwentyLinesOfText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
