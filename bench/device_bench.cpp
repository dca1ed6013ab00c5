// Costs of the 3-D device on this machine's OpenGL (Mesa's llvmpipe under
// xvfb-run or without a display): clear + present of a 640 x 480 back buffer,
// and 200 small draw calls, both of the GUI's kind (pre-transformed quads
// from memory, alternating coloured and textured) and of the mesh kind
// (indexed, from buffers, with a user program). Draw benchmarks finish the
// GPU work in every iteration, so real time is the whole cost and CPU time
// the part spent in the calling thread.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "platform/device.h"
#include "platform/gl_device.h"
#include "support/hidden_device.h"
#include "support/scene_layout.h"

namespace {

struct TlVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

using test_support::HiddenDevice;

void BM_ClearPresent640x480(benchmark::State& state) {
    HiddenDevice f(640, 480);
    if (!f.device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    D3DCOLOR color = 0xFF000000;
    for (auto _ : state) {
        f.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color++, 1.0f, 0);
        f.device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    f.Finish();
}
BENCHMARK(BM_ClearPresent640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The GUI's kind: blended quads from memory, every other one textured.
void BM_200PretransformedQuads(benchmark::State& state) {
    HiddenDevice f(640, 480);
    if (!f.device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    IDirect3DDevice9* d = f.device;
    IDirect3DTexture9* tex = nullptr;
    d->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetTexture(0, tex);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    for (auto _ : state) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        d->BeginScene();
        for (int i = 0; i < 200; ++i) {
            const float x = static_cast<float>((i % 20) * 30), y = static_cast<float>((i / 20) * 30);
            const TlVertex v[4] = {{x, y, 0.5f, 1, 0xC0FF8040, 0, 0},
                                   {x + 24, y, 0.5f, 1, 0xC0FF8040, 1, 0},
                                   {x + 24, y + 24, 0.5f, 1, 0xC0FF8040, 1, 1},
                                   {x, y + 24, 0.5f, 1, 0xC0FF8040, 0, 1}};
            d->SetTextureStageState(0, D3DTSS_COLOROP, (i & 1) ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
            d->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(TlVertex));
        }
        d->EndScene();
        f.Finish();
    }
    state.SetItemsProcessed(state.iterations() * 200);
    tex->Release();
}
BENCHMARK(BM_200PretransformedQuads)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The mesh kind: a 12-triangle cube drawn 200 times from buffers with a user
// program, a matrix set between draws.
void BM_200IndexedMeshDraws(benchmark::State& state) {
    HiddenDevice f(640, 480);
    if (!f.device || !GlMakeCurrent(f.device)) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    IDirect3DDevice9* d = f.device;
    const std::string vs = std::string(kGlVertexPrologue) +
                           "in vec3 in_Position;\nin vec3 in_Normal;\nuniform mat4 g_m;\nout vec3 v_n;\n"
                           "void main() { gl_Position = vec4(in_Position, 1.0) * g_m; v_n = in_Normal; }\n" +
                           kGlVertexEpilogue;
    const std::string fs = std::string(kGlFragmentPrologue) +
                           "in vec3 v_n;\nout vec4 out_Color;\nvoid main() { out_Color = vec4(abs(v_n), 1.0); }\n";
    std::string log;
    const GLuint program = GlBuildProgram(vs.c_str(), fs.c_str(), &log);
    if (!program) {
        state.SkipWithError(log.c_str());
        return;
    }
    const GLint matrix = glapi::glGetUniformLocation(program, "g_m");
    struct V {
        float p[3], n[3], t[2];
    } verts[24];
    WORD indices[36];
    for (int face = 0; face < 6; ++face) {
        const int axis = face / 2;
        const float s = (face & 1) ? 1.0f : -1.0f;
        for (int k = 0; k < 4; ++k) {
            V& v = verts[face * 4 + k];
            const float a = (k == 1 || k == 2) ? 0.1f : -0.1f, b = (k >= 2) ? 0.1f : -0.1f;
            v.p[axis] = 0.1f * s;
            v.p[(axis + 1) % 3] = a;
            v.p[(axis + 2) % 3] = b;
            v.n[0] = v.n[1] = v.n[2] = 0;
            v.n[axis] = s;
            v.t[0] = a;
            v.t[1] = b;
        }
        const WORD quad[6] = {0, 1, 2, 0, 2, 3};
        for (int k = 0; k < 6; ++k) indices[face * 6 + k] = static_cast<WORD>(face * 4 + quad[k]);
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    d->CreateVertexBuffer(sizeof(verts), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr);
    d->CreateIndexBuffer(sizeof(indices), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
    void* bits = nullptr;
    vb->Lock(0, 0, &bits, 0);
    std::memcpy(bits, verts, sizeof(verts));
    vb->Unlock();
    ib->Lock(0, 0, &bits, 0);
    std::memcpy(bits, indices, sizeof(indices));
    ib->Unlock();
    IDirect3DVertexDeclaration9* decl = nullptr;
    d->CreateVertexDeclaration(test_support::kSceneDecl, &decl);
    d->SetVertexDeclaration(decl);
    d->SetStreamSource(0, vb, 0, sizeof(V));
    d->SetIndices(ib);
    GlSetUserProgram(d, program);
    for (auto _ : state) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        d->BeginScene();
        for (int i = 0; i < 200; ++i) {
            const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, (i % 20) * 0.1f - 0.95f, (i / 20) * 0.2f - 0.9f,
                                 0.5f, 1};
            GlUseProgram(d, program);
            glapi::glUniformMatrix4fv(matrix, 1, GL_TRUE, m);
            d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 24, 0, 12);
        }
        d->EndScene();
        f.Finish();
    }
    state.SetItemsProcessed(state.iterations() * 200);
    GlSetUserProgram(d, 0);
    decl->Release();
    vb->Release();
    ib->Release();
    if (GlMakeCurrent(d)) glapi::glDeleteProgram(program);
}
BENCHMARK(BM_200IndexedMeshDraws)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
