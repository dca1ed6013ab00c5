// Meshes: a hand-written .x file loads with its counts, layout, materials in
// file order, attributes and adjacency; a subset draws only its faces, also
// after optimising; normals are computed for a layout that gains them; bad
// files and bad indices fail instead of drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/d3dx_effect.h"
#include "platform/d3dx_mesh.h"
#include "platform/system.h"
#include "support/d3dx_fixture.h"
#include "support/scene_layout.h"

namespace {

// Two quads side by side in clip space: the left one (x -1..0) material 0,
// the right one (x 0..1) material 1; each quad a fan of two triangles,
// clockwise on screen. Material 0 is red and named "Second", material 1
// green and named "First": the file's order counts, not the names.
std::string TwoQuadsX(bool normals) {
    std::string s = R"(xof 0302txt 0032
// two quads
Mesh TwoQuads {
 6;
 -1.0; 1.0; 0.5;,
 0.0; 1.0; 0.5;,
 1.0; 1.0; 0.5;,
 -1.0; -1.0; 0.5;,
 0.0; -1.0; 0.5;,
 1.0; -1.0; 0.5;;
 2;
 4;0,1,4,3;,
 4;1,2,5,4;;
)";
    if (normals)
        s += R"( MeshNormals {
  1;
  0.0; 0.0; -1.0;;
  2;
  4;0,0,0,0;,
  4;0,0,0,0;;
 }
)";
    s += R"( MeshTextureCoords {
  6;
  0.0;0.0;, 0.5;0.0;, 1.0;0.0;, 0.0;1.0;, 0.5;1.0;, 1.0;1.0;;
 }
 MeshMaterialList {
  2;
  2;
  0,
  1;;
  Material Second {
   1.0; 0.0; 0.0; 1.0;;
   20.0;
   0.5; 0.5; 0.5;;
   0.0; 0.0; 0.0;;
   TextureFilename { "red.png"; }
  }
  Material First {
   0.0; 1.0; 0.0; 1.0;;
   10.0;
   0.0; 0.0; 0.0;;
   0.1; 0.1; 0.1;;
  }
 }
}
)";
    return s;
}

const char kColourEffect[] = R"FX(
shared <<
uniform vec4 g_vColor;
>>
vertex VS <<
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position, 1.0); }
>>
fragment PS <<
out vec4 out_Color;
void main() { out_Color = g_vColor; }
>>
technique Flat { pass P { vertex = VS; fragment = PS; CullMode = NONE; ZEnable = FALSE; } }
)FX";

using test_support::kSceneDecl;

struct SceneVertex {
    float px, py, pz, nx, ny, nz, u, v;
};

HRESULT Load(IDirect3DDevice9* device, const std::string& text, ID3DXMesh** mesh, ID3DXBuffer** adjacency = nullptr,
             ID3DXBuffer** materials = nullptr, DWORD* count = nullptr) {
    return D3DXLoadMeshFromXInMemory(text.data(), DWORD(text.size()), D3DXMESH_MANAGED, device, adjacency, materials,
                                     nullptr, count, mesh);
}

std::vector<DWORD> Attributes(ID3DXMesh* mesh) {
    DWORD* a = nullptr;
    EXPECT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &a), S_OK);
    std::vector<DWORD> out(a, a + mesh->GetNumFaces());
    mesh->UnlockAttributeBuffer();
    return out;
}

class MeshTest : public GlHelpersTest {
protected:
    void SetUp() override {
        GlHelpersTest::SetUp();
        if (!device) return;
        ASSERT_EQ(D3DXCreateEffect(device, kColourEffect, UINT(std::strlen(kColourEffect)), nullptr, nullptr, 0,
                                   nullptr, &effect, nullptr),
                  S_OK);
    }
    void TearDown() override {
        if (effect) effect->Release();
        GlHelpersTest::TearDown();
    }
    // Draws subset `subset` of the mesh in the colour.
    void DrawSubset(ID3DXMesh* mesh, DWORD subset, const D3DXVECTOR4& colour) {
        effect->SetVector("g_vColor", &colour);
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
        ASSERT_EQ(effect->BeginPass(0), S_OK);
        EXPECT_EQ(mesh->DrawSubset(subset), S_OK);
        effect->EndPass();
        effect->End();
    }
    ID3DXEffect* effect = nullptr;
};

TEST_F(MeshTest, AHandWrittenFileLoadsWithCountsLayoutMaterialsAndAttributes) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer *adjacency = nullptr, *materials = nullptr, *instances = nullptr;
    DWORD count = 0;
    const std::string text = TwoQuadsX(true);
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(text.data(), DWORD(text.size()), D3DXMESH_MANAGED, device, &adjacency,
                                        &materials, &instances, &count, &mesh),
              S_OK);
    EXPECT_EQ(mesh->GetNumFaces(), 4u);     // two quads as fans of two triangles
    EXPECT_EQ(mesh->GetNumVertices(), 6u);  // one normal: no vertex is split
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(mesh->GetOptions() & D3DXMESH_MANAGED, D3DXMESH_MANAGED);
    EXPECT_EQ(mesh->GetFVF(), D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(mesh->GetDeclaration(decl), S_OK);
    EXPECT_EQ(std::memcmp(decl, kSceneDecl, sizeof kSceneDecl), 0);
    EXPECT_EQ(instances, nullptr);

    ASSERT_EQ(count, 2u);
    ASSERT_NE(materials, nullptr);
    const auto* m = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    EXPECT_EQ(m[0].MatD3D.Diffuse, (D3DCOLORVALUE{1, 0, 0, 1}));
    EXPECT_EQ(m[0].MatD3D.Power, 20.0f);
    EXPECT_EQ(m[0].MatD3D.Specular, (D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_STREQ(m[0].pTextureFilename, "red.png");
    EXPECT_EQ(m[1].MatD3D.Diffuse, (D3DCOLORVALUE{0, 1, 0, 1}));
    EXPECT_EQ(m[1].MatD3D.Emissive, (D3DCOLORVALUE{0.1f, 0.1f, 0.1f, 1}));
    EXPECT_EQ(m[1].pTextureFilename, nullptr);
    EXPECT_EQ(Attributes(mesh), (std::vector<DWORD>{0, 0, 1, 1}));

    // Every vertex has the file's normal and its texture coordinate.
    SceneVertex* v = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v)), S_OK);
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        EXPECT_EQ(v[i].nz, -1.0f);
        EXPECT_EQ(v[i].u, (v[i].px + 1.0f) / 2.0f);
        EXPECT_EQ(v[i].v, v[i].py > 0 ? 0.0f : 1.0f);
    }
    mesh->UnlockVertexBuffer();

    // Adjacency: the triangles of a quad share its diagonal, the quads their
    // middle edge.
    ASSERT_NE(adjacency, nullptr);
    ASSERT_EQ(adjacency->GetBufferSize(), 12 * sizeof(DWORD));
    std::vector<DWORD> generated(12);
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, generated.data()), S_OK);
    const DWORD* loaded = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    EXPECT_EQ(std::vector<DWORD>(loaded, loaded + 12), generated);
    const DWORD none = kNoAdjacentFace;
    EXPECT_EQ(generated, (std::vector<DWORD>{none, 3, 1, 0, none, none, none, none, 3, 2, none, 0}));

    adjacency->Release();
    materials->Release();
    mesh->Release();
}

TEST_F(MeshTest, FilesLoadByTheProgramsPaths) {
    std::string dir = ::testing::TempDir();
    if (dir.back() != '/') dir += '/';
    std::ofstream(dir + "two quads.x") << TwoQuadsX(true);
    std::wstring wide = Utf8ToWide(dir + "two quads.x");
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    ID3DXMesh* mesh = nullptr;
    DWORD count = 0;
    ASSERT_EQ(D3DXLoadMeshFromX(wide.c_str(), D3DXMESH_MANAGED, device, nullptr, nullptr, nullptr, &count, &mesh),
              S_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(mesh->GetNumFaces(), 4u);
    mesh->Release();
}

TEST_F(MeshTest, DrawSubsetDrawsOnlyItsFacesAlsoAfterOptimising) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(Load(device, TwoQuadsX(true), &mesh, &adjacency), S_OK);
    Clear(0xFF000000);
    DrawSubset(mesh, 1, D3DXVECTOR4(0, 1, 0, 1));
    Read();
    ExpectPixel(100, 60, {0, 255, 0});
    ExpectPixel(40, 60, {0, 0, 0});
    EXPECT_EQ(CountNear({0, 255, 0}), kWidth * kHeight / 2);
    DrawSubset(mesh, 0, D3DXVECTOR4(1, 0, 0, 1));
    DrawSubset(mesh, 7, D3DXVECTOR4(1, 1, 1, 1));  // no such subset: nothing
    Read();
    EXPECT_EQ(CountNear({255, 0, 0}), kWidth * kHeight / 2);
    EXPECT_EQ(CountNear({0, 255, 0}), kWidth * kHeight / 2);

    // Interleaved attributes: subset 1 is the upper-right triangle of each quad.
    DWORD* a = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &a), S_OK);
    const DWORD interleaved[4] = {1, 0, 1, 0};
    std::memcpy(a, interleaved, sizeof interleaved);
    ASSERT_EQ(mesh->UnlockAttributeBuffer(), S_OK);
    Clear(0xFF000000);
    DrawSubset(mesh, 1, D3DXVECTOR4(0, 0, 1, 1));
    Read();
    const std::vector<uint8_t> before = pixels;
    ExpectPixel(70, 10, {0, 0, 255});
    ExpectPixel(10, 110, {0, 0, 0});
    ExpectPixel(150, 10, {0, 0, 255});
    ExpectPixel(90, 110, {0, 0, 0});

    // Optimising sorts the faces by attribute and keeps every subset.
    std::vector<DWORD> faceRemap(4), adjacencyOut(12);
    ID3DXBuffer* vertexRemap = nullptr;
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                                    static_cast<const DWORD*>(adjacency->GetBufferPointer()), adjacencyOut.data(),
                                    faceRemap.data(), &vertexRemap),
              S_OK);
    EXPECT_EQ(Attributes(mesh), (std::vector<DWORD>{0, 0, 1, 1}));
    DWORD entries = 0;
    ASSERT_EQ(mesh->GetAttributeTable(nullptr, &entries), S_OK);
    ASSERT_EQ(entries, 2u);
    D3DXATTRIBUTERANGE table[2];
    ASSERT_EQ(mesh->GetAttributeTable(table, &entries), S_OK);
    EXPECT_EQ(table[1].AttribId, 1u);
    EXPECT_EQ(table[1].FaceStart, 2u);
    EXPECT_EQ(table[1].FaceCount, 2u);
    std::sort(faceRemap.begin(), faceRemap.begin() + 2);
    std::sort(faceRemap.begin() + 2, faceRemap.end());
    EXPECT_EQ(faceRemap, (std::vector<DWORD>{1, 3, 0, 2})) << "new faces of subset 0 were old faces 1 and 3";
    ASSERT_NE(vertexRemap, nullptr);
    EXPECT_EQ(vertexRemap->GetBufferSize(), 6 * sizeof(DWORD));
    vertexRemap->Release();
    Clear(0xFF000000);
    DrawSubset(mesh, 1, D3DXVECTOR4(0, 0, 1, 1));
    Read();
    EXPECT_EQ(pixels, before);

    // Into a new mesh with 32-bit indices: the same subsets.
    ID3DXMesh* optimised = nullptr;
    ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_ATTRSORT | D3DXMESH_MANAGED | D3DXMESH_32BIT, nullptr, nullptr, nullptr,
                             nullptr, &optimised),
              S_OK);
    EXPECT_EQ(optimised->GetOptions(), D3DXMESH_MANAGED | D3DXMESH_32BIT);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(optimised->GetIndexBuffer(&ib), S_OK);
    EXPECT_EQ(ib->GetFormat(), D3DFMT_INDEX32);
    ib->Release();
    Clear(0xFF000000);
    DrawSubset(optimised, 1, D3DXVECTOR4(0, 0, 1, 1));
    Read();
    EXPECT_EQ(pixels, before);
    optimised->Release();
    adjacency->Release();
    mesh->Release();
}

TEST_F(MeshTest, ALayoutThatGainsANormalGetsComputedNormals) {
    ID3DXMesh* bare = nullptr;
    ASSERT_EQ(Load(device, TwoQuadsX(false), &bare), S_OK);
    EXPECT_EQ(bare->GetFVF(), D3DFVF_XYZ | D3DFVF_TEX1);
    EXPECT_EQ(bare->GetNumBytesPerVertex(), 20u);
    ID3DXMesh* scene = nullptr;
    ASSERT_EQ(bare->CloneMesh(bare->GetOptions(), kSceneDecl, device, &scene), S_OK);
    EXPECT_EQ(scene->GetNumBytesPerVertex(), 32u);
    ASSERT_EQ(D3DXComputeNormals(scene, nullptr), S_OK);
    SceneVertex* v = nullptr;
    ASSERT_EQ(scene->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v)), S_OK);
    for (DWORD i = 0; i < scene->GetNumVertices(); ++i) {
        // Clockwise faces seen from in front face the viewer (-z).
        EXPECT_NEAR(v[i].nx, 0.0f, 1e-6f);
        EXPECT_NEAR(v[i].ny, 0.0f, 1e-6f);
        EXPECT_NEAR(v[i].nz, -1.0f, 1e-6f);
        EXPECT_EQ(v[i].u, (v[i].px + 1.0f) / 2.0f) << "texture coordinates come along";
    }
    scene->UnlockVertexBuffer();
    // Through the flexible-format form as well; a layout without a normal
    // cannot take computed normals.
    ID3DXMesh* fvf = nullptr;
    ASSERT_EQ(bare->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, device, &fvf), S_OK);
    EXPECT_EQ(fvf->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(D3DXComputeNormals(bare, nullptr), D3DERR_INVALIDCALL);
    ID3DXMesh* tangent = nullptr;
    EXPECT_EQ(D3DXComputeTangentFrameEx(scene, D3DDECLUSAGE_TEXCOORD, 0, D3DDECLUSAGE_TANGENT, 0, 0xFF, 0,
                                        D3DDECLUSAGE_NORMAL, 0, 0, nullptr, -1.01f, 0.01f, -1.01f, &tangent, nullptr),
              E_NOTIMPL);
    EXPECT_EQ(tangent, nullptr);
    fvf->Release();
    scene->Release();
    bare->Release();
}

TEST_F(MeshTest, AnIndexBeyondTheVerticesStopsDrawingUntilMended) {
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(Load(device, TwoQuadsX(true), &mesh), S_OK);
    uint16_t* idx = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), S_OK);
    const uint16_t kept = idx[4];
    idx[4] = 999;
    ASSERT_EQ(mesh->UnlockIndexBuffer(), S_OK);
    EXPECT_EQ(mesh->DrawSubset(0), D3DXERR_INVALIDMESH);
    ASSERT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), S_OK);
    EXPECT_EQ(mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), D3DERR_INVALIDCALL) << "locked already";
    idx[4] = kept;
    ASSERT_EQ(mesh->UnlockIndexBuffer(), S_OK);
    Clear(0xFF000000);
    DrawSubset(mesh, 0, D3DXVECTOR4(1, 1, 1, 1));
    Read();
    EXPECT_EQ(CountNear({255, 255, 255}), kWidth * kHeight / 2);
    mesh->Release();
}

TEST_F(MeshTest, MeshesSurviveADeviceReset) {
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(Load(device, TwoQuadsX(true), &mesh), S_OK);
    DrawSubset(mesh, 0, D3DXVECTOR4(1, 1, 0, 1));  // the device buffers exist from here on
    ASSERT_EQ(device->EndScene(), S_OK);
    D3DPRESENT_PARAMETERS pp{};
    ASSERT_EQ(device->GetPresentParameters(&pp), S_OK);
    ASSERT_EQ(effect->OnLostDevice(), S_OK);
    ASSERT_EQ(device->Reset(&pp), S_OK);
    ASSERT_EQ(effect->OnResetDevice(), S_OK);
    ASSERT_EQ(device->BeginScene(), S_OK);
    Clear(0xFF000000);
    DrawSubset(mesh, 1, D3DXVECTOR4(1, 1, 0, 1));
    Read();
    EXPECT_EQ(CountNear({255, 255, 0}), kWidth * kHeight / 2);
    mesh->Release();
}

TEST_F(MeshTest, MalformedFilesFailWithTheirLine) {
    std::string text = TwoQuadsX(true);
    text.replace(text.find("4;1,2,5,4;;"), 11, "4;1,2,5,9;;");  // vertex 9 of 6, on line 13
    ID3DXMesh* mesh = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Load(device, text, &mesh), D3DXERR_INVALIDDATA);
    std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("line 13"), std::string::npos) << trace;
    EXPECT_NE(trace.find("D3DXLoadMeshFromX"), std::string::npos) << trace;
    EXPECT_EQ(mesh, nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXLoadMeshFromX(L"\\no\\such\\mesh.x", D3DXMESH_MANAGED, device, nullptr, nullptr, nullptr, nullptr,
                                &mesh),
              D3DXERR_INVALIDDATA);
    trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("mesh.x"), std::string::npos) << trace;
    EXPECT_EQ(mesh, nullptr);
}

TEST(MeshLayouts, FlexibleFormatsAndLayoutsConvertBothWays) {
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(D3DXDeclaratorFromFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, decl), S_OK);
    EXPECT_EQ(std::memcmp(decl, kSceneDecl, sizeof kSceneDecl), 0);
    DWORD fvf = 0;
    ASSERT_EQ(D3DXFVFFromDeclarator(kSceneDecl, &fvf), S_OK);
    EXPECT_EQ(fvf, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(D3DXDeclaratorFromFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, decl), S_OK);
    ASSERT_EQ(D3DXFVFFromDeclarator(decl, &fvf), S_OK);
    EXPECT_EQ(fvf, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    const D3DVERTEXELEMENT9 withTangent[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
        D3DDECL_END(),
    };
    EXPECT_EQ(D3DXFVFFromDeclarator(withTangent, &fvf), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 normalFirst[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END(),
    };
    EXPECT_EQ(D3DXFVFFromDeclarator(normalFirst, &fvf), D3DERR_INVALIDCALL);
}

}  // namespace
