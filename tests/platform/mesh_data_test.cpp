#include "platform/mesh_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <random>

#include "support/scene_layout.h"

namespace {

using test_support::kSceneDecl;

const D3DVERTEXELEMENT9 kPositionOnly[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    D3DDECL_END(),
};

// A unit cube around (0.5, 0.5, 0.5): 8 shared corners, 12 triangles wound
// clockwise seen from outside, one material per side. No normals.
const char kCubeNoNormals[] = R"(xof 0302txt 0032
Mesh Cube {
 8;
 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0;0;1;, 1;0;1;, 1;1;1;, 0;1;1;;
 6;
 4; 0,3,2,1;,  // z = 0
 4; 4,5,6,7;,  // z = 1
 4; 0,1,5,4;,  // y = 0
 4; 3,7,6,2;,  // y = 1
 4; 0,4,7,3;,  // x = 0
 4; 1,2,6,5;;  // x = 1
 MeshTextureCoords { 8; 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;, 0;1;; }
 MeshMaterialList { 6; 6; 0,1,2,3,4,5;;
  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 1;1;0;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 1;0;1;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 0;1;1;1;; 0; 0;0;0;; 0;0;0;; }
 }
}
)";

// The same cube with one normal per side: corners split per side.
const char kCubeWithNormals[] = R"(xof 0302txt 0032
Mesh Cube {
 8;
 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0;0;1;, 1;0;1;, 1;1;1;, 0;1;1;;
 6;
 4; 0,3,2,1;, 4; 4,5,6,7;, 4; 0,1,5,4;, 4; 3,7,6,2;, 4; 0,4,7,3;, 4; 1,2,6,5;;
 MeshNormals { 6; 0;0;-1;, 0;0;1;, 0;-1;0;, 0;1;0;, -1;0;0;, 1;0;0;;
  6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; }
}
)";

MeshData Load(const char* text, std::vector<XMaterial>* materials = nullptr, std::vector<DWORD>* adjacency = nullptr) {
    XFile file;
    std::string error;
    EXPECT_EQ(XFileParse(text, std::strlen(text), &file, &error), S_OK) << error;
    MeshData mesh;
    EXPECT_EQ(MeshFromXFile(file, D3DXMESH_MANAGED, &mesh, materials, adjacency, &error), S_OK) << error;
    return mesh;
}

D3DXVECTOR3 ReadVec3(const MeshData& m, DWORD v, BYTE usage) {
    const D3DVERTEXELEMENT9* e = DeclFind(m.Declaration().data(), usage, 0);
    D3DXVECTOR3 r;
    std::memcpy(&r, m.VertexBytes() + static_cast<size_t>(v) * m.GetNumBytesPerVertex() + e->Offset, sizeof r);
    return r;
}

// The mesh's triangles as position triples (corner order kept, rotated to
// start at the smallest) with their attribute: what must survive reordering.
using Tri = std::array<float, 10>;
std::vector<Tri> Triangles(const MeshData& m) {
    std::vector<Tri> out;
    for (DWORD f = 0; f < m.GetNumFaces(); ++f) {
        std::array<std::array<float, 3>, 3> c;
        for (int k = 0; k < 3; ++k) {
            D3DXVECTOR3 p = m.GetPosition(m.GetIndex(f * 3 + k));
            c[k] = {p.x, p.y, p.z};
        }
        int first = static_cast<int>(std::min_element(c.begin(), c.end()) - c.begin());
        Tri t;
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) t[k * 3 + j] = c[(first + k) % 3][j];
        t[9] = static_cast<float>(m.Attributes()[f]);
        out.push_back(t);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(MeshData, DeclarationTypeSizes) {
    const std::pair<BYTE, UINT> sizes[] = {
        {D3DDECLTYPE_FLOAT1, 4},   {D3DDECLTYPE_FLOAT2, 8}, {D3DDECLTYPE_FLOAT3, 12}, {D3DDECLTYPE_FLOAT4, 16},
        {D3DDECLTYPE_D3DCOLOR, 4}, {D3DDECLTYPE_UBYTE4, 4}, {D3DDECLTYPE_SHORT2, 4},  {D3DDECLTYPE_SHORT4, 8},
        {D3DDECLTYPE_UBYTE4N, 4},  {D3DDECLTYPE_UNUSED, 0},
    };
    for (auto [type, size] : sizes) EXPECT_EQ(DeclTypeSize(type), size) << int(type);
    EXPECT_EQ(DeclLength(kSceneDecl), 3u);
    EXPECT_EQ(DeclVertexSize(kSceneDecl), 32u);
    EXPECT_EQ(DeclValidate(kSceneDecl), S_OK);
    const D3DVERTEXELEMENT9 twice[] = {kSceneDecl[0], kSceneDecl[0], D3DDECL_END()};
    EXPECT_EQ(DeclValidate(twice), E_INVALIDARG);
    const D3DVERTEXELEMENT9 noPosition[] = {kSceneDecl[1], D3DDECL_END()};
    EXPECT_EQ(DeclValidate(noPosition), E_INVALIDARG);
}

TEST(MeshData, BuildsFromXFileSplittingCornersWithDifferentNormals) {
    std::vector<DWORD> adjacency;
    MeshData mesh = Load(kCubeWithNormals, nullptr, &adjacency);
    EXPECT_EQ(mesh.GetNumFaces(), 12u);
    EXPECT_EQ(mesh.GetNumVertices(), 24u);  // 8 corners x 3 sides each
    EXPECT_EQ(mesh.GetNumBytesPerVertex(), 24u);
    EXPECT_FALSE(mesh.Uses32BitIndices());
    // Every vertex carries the normal of its side, pointing outward.
    for (DWORD f = 0; f < mesh.GetNumFaces(); ++f)
        for (int k = 0; k < 3; ++k) {
            DWORD v = mesh.GetIndex(f * 3 + k);
            D3DXVECTOR3 n = ReadVec3(mesh, v, D3DDECLUSAGE_NORMAL);
            D3DXVECTOR3 out = mesh.GetPosition(v) - D3DXVECTOR3(0.5f, 0.5f, 0.5f);
            EXPECT_GT(D3DXVec3Dot(&n, &out), 0.4f);
        }
    // A closed cube: every edge has a neighbour, even across split corners.
    ASSERT_EQ(adjacency.size(), 36u);
    for (DWORD a : adjacency) EXPECT_LT(a, 12u);
}

TEST(MeshData, MaterialsAndAttributesFollowTheFile) {
    std::vector<XMaterial> materials;
    MeshData mesh = Load(kCubeNoNormals, &materials);
    ASSERT_EQ(materials.size(), 6u);
    EXPECT_EQ(materials[2].material.Diffuse, (D3DCOLORVALUE{0, 0, 1, 1}));
    for (DWORD f = 0; f < 12; ++f) EXPECT_EQ(mesh.Attributes()[f], f / 2);
    // Layout: no normal in the file, so none in the mesh.
    EXPECT_EQ(DeclFind(mesh.Declaration().data(), D3DDECLUSAGE_NORMAL), nullptr);
    EXPECT_NE(DeclFind(mesh.Declaration().data(), D3DDECLUSAGE_TEXCOORD), nullptr);
}

TEST(MeshData, CloneToLayoutWithNormalThenComputedNormalsPointOutward) {
    MeshData loaded = Load(kCubeNoNormals);
    MeshData scene;
    ASSERT_EQ(MeshClone(loaded, loaded.GetOptions(), kSceneDecl, &scene), S_OK);
    EXPECT_EQ(scene.GetNumBytesPerVertex(), 32u);
    // Texture coordinates are copied, the new normal starts at zero.
    for (DWORD v = 0; v < scene.GetNumVertices(); ++v) {
        float uv[2], uvSource[2];
        std::memcpy(uv, scene.VertexBytes() + v * 32 + 24, 8);
        std::memcpy(uvSource, loaded.VertexBytes() + v * loaded.GetNumBytesPerVertex() + 12, 8);
        EXPECT_EQ(uv[0], uvSource[0]);
        EXPECT_EQ(uv[1], uvSource[1]);
        D3DXVECTOR3 n = ReadVec3(scene, v, D3DDECLUSAGE_NORMAL);
        EXPECT_EQ(n, D3DXVECTOR3(0, 0, 0));
    }
    ASSERT_EQ(MeshComputeNormals(&scene, nullptr), S_OK);
    // Shared corners: the angle-weighted average of three sides is the
    // corner's diagonal.
    for (DWORD v = 0; v < scene.GetNumVertices(); ++v) {
        D3DXVECTOR3 n = ReadVec3(scene, v, D3DDECLUSAGE_NORMAL);
        D3DXVECTOR3 out = scene.GetPosition(v) - D3DXVECTOR3(0.5f, 0.5f, 0.5f);
        D3DXVECTOR3 diagonal;
        D3DXVec3Normalize(&diagonal, &out);
        EXPECT_NEAR(D3DXVec3Dot(&n, &diagonal), 1.0f, 1e-5f) << "vertex " << v;
    }
}

TEST(MeshData, ComputeNormalsNeedsANormalInTheLayout) {
    MeshData loaded = Load(kCubeNoNormals);
    EXPECT_EQ(MeshComputeNormals(&loaded, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(MeshComputeTangentFrame(&loaded, 0), E_NOTIMPL);
}

TEST(MeshData, CloneConvertsIndexSizeAndFloatWidths) {
    MeshData loaded = Load(kCubeNoNormals);
    const D3DVERTEXELEMENT9 wide[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };
    MeshData clone;
    ASSERT_EQ(MeshClone(loaded, D3DXMESH_32BIT | D3DXMESH_MANAGED, wide, &clone), S_OK);
    EXPECT_TRUE(clone.Uses32BitIndices());
    EXPECT_EQ(clone.IndexBytesSize(), 12u * 3 * 4);
    for (size_t i = 0; i < 36; ++i) EXPECT_EQ(clone.GetIndex(i), loaded.GetIndex(i));
    for (DWORD v = 0; v < clone.GetNumVertices(); ++v) {
        float t[4], s[2];
        DWORD colour;
        std::memcpy(&colour, clone.VertexBytes() + v * 32 + 12, 4);
        std::memcpy(t, clone.VertexBytes() + v * 32 + 16, 16);
        std::memcpy(s, loaded.VertexBytes() + v * loaded.GetNumBytesPerVertex() + 12, 8);
        EXPECT_EQ(colour, 0u);
        EXPECT_EQ(t[0], s[0]);
        EXPECT_EQ(t[1], s[1]);
        EXPECT_EQ(t[2], 0.0f);
        EXPECT_EQ(t[3], 1.0f);
    }
}

TEST(MeshData, SixteenBitIndicesRefuseTooManyVertices) {
    MeshData mesh;
    EXPECT_EQ(mesh.Create(1, 70000, 0, kPositionOnly), E_INVALIDARG);
    EXPECT_EQ(mesh.Create(1, 70000, D3DXMESH_32BIT, kPositionOnly), S_OK);
    EXPECT_EQ(mesh.Create(0, 3, 0, kPositionOnly), E_INVALIDARG);
}

// A grid of quads with attributes in a scattered pattern, faces in shuffled
// order and some vertices that no face uses.
MeshData ScatteredGrid(int n, int unused) {
    const DWORD vertices = static_cast<DWORD>((n + 1) * (n + 1) + unused);
    MeshData mesh;
    EXPECT_EQ(mesh.Create(static_cast<DWORD>(2 * n * n), vertices, 0, kPositionOnly), S_OK);
    std::vector<DWORD> order((n + 1) * (n + 1));
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<DWORD>(i);
    std::mt19937 rng(7);
    std::shuffle(order.begin(), order.end(), rng);  // vertex numbering scrambled too
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) {
            float p[3] = {static_cast<float>(x), static_cast<float>(y), 0.0f};
            std::memcpy(mesh.VertexBytes() + order[y * (n + 1) + x] * 12, p, 12);
        }
    for (int i = 0; i < unused; ++i) {
        float p[3] = {-100.0f - i, 0, 0};
        std::memcpy(mesh.VertexBytes() + ((n + 1) * (n + 1) + i) * 12, p, 12);
    }
    std::vector<std::array<DWORD, 4>> faces;  // 3 indices + attribute
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            DWORD a = order[y * (n + 1) + x], b = order[y * (n + 1) + x + 1];
            DWORD c = order[(y + 1) * (n + 1) + x], d = order[(y + 1) * (n + 1) + x + 1];
            DWORD attribute = static_cast<DWORD>((x / 3 + y / 4) % 3);
            faces.push_back({a, c, d, attribute});
            faces.push_back({a, d, b, attribute});
        }
    std::shuffle(faces.begin(), faces.end(), rng);
    for (size_t f = 0; f < faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) mesh.SetIndex(f * 3 + k, faces[f][k]);
        mesh.Attributes()[f] = faces[f][3];
    }
    return mesh;
}

// Average cache miss ratio (misses per triangle) with a FIFO cache.
double Acmr(const MeshData& m, size_t cacheSize) {
    std::deque<DWORD> cache;
    size_t misses = 0;
    for (size_t i = 0; i < m.GetNumFaces() * 3ull; ++i) {
        DWORD v = m.GetIndex(i);
        if (std::find(cache.begin(), cache.end(), v) != cache.end()) continue;
        ++misses;
        cache.push_back(v);
        if (cache.size() > cacheSize) cache.pop_front();
    }
    return static_cast<double>(misses) / m.GetNumFaces();
}

TEST(MeshData, OptimiseKeepsGeometryGroupsAttributesAndDropsUnusedVertices) {
    MeshData mesh = ScatteredGrid(20, 5);
    const std::vector<Tri> before = Triangles(mesh);
    const double acmrBefore = Acmr(mesh, 16);
    const DWORD faces = mesh.GetNumFaces();
    std::vector<DWORD> adjacency(faces * 3), faceRemap(faces), vertexRemap(mesh.GetNumVertices());
    ASSERT_EQ(MeshGenerateAdjacency(mesh, 0.0f, adjacency.data()), S_OK);
    const MeshData original = mesh;

    ASSERT_EQ(MeshOptimize(&mesh, D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                           adjacency.data(), adjacency.data(), faceRemap.data(), vertexRemap.data()),
              S_OK);
    EXPECT_EQ(Triangles(mesh), before);
    EXPECT_EQ(mesh.GetNumVertices(), 21u * 21u);
    EXPECT_TRUE(std::is_sorted(mesh.Attributes(), mesh.Attributes() + faces));

    // The attribute table covers the faces run by run, and each run's vertex
    // range holds every vertex its faces use.
    const auto& table = mesh.AttributeTable();
    ASSERT_EQ(table.size(), 3u);
    DWORD next = 0;
    for (const D3DXATTRIBUTERANGE& r : table) {
        EXPECT_EQ(r.FaceStart, next);
        next += r.FaceCount;
        for (DWORD f = r.FaceStart; f < r.FaceStart + r.FaceCount; ++f) {
            EXPECT_EQ(mesh.Attributes()[f], r.AttribId);
            for (int k = 0; k < 3; ++k) {
                DWORD v = mesh.GetIndex(f * 3 + k);
                EXPECT_GE(v, r.VertexStart);
                EXPECT_LT(v, r.VertexStart + r.VertexCount);
            }
        }
    }
    EXPECT_EQ(next, faces);

    // The remaps say where each face and vertex came from.
    for (DWORD f = 0; f < faces; ++f)
        for (int k = 0; k < 3; ++k) {
            DWORD oldVertex = original.GetIndex(faceRemap[f] * 3 + k);
            EXPECT_EQ(vertexRemap[mesh.GetIndex(f * 3 + k)], oldVertex);
        }
    // The remapped adjacency is the adjacency of the new mesh.
    std::vector<DWORD> fresh(faces * 3);
    ASSERT_EQ(MeshGenerateAdjacency(mesh, 0.0f, fresh.data()), S_OK);
    EXPECT_EQ(adjacency, fresh);

    // The cache order is much better than the shuffled one.
    const double acmrAfter = Acmr(mesh, 16);
    EXPECT_GT(acmrBefore, 1.5);
    EXPECT_LT(acmrAfter, 0.9) << "before " << acmrBefore;
}

TEST(MeshData, OptimiseWithoutReorderingKeepsFaceOrder) {
    MeshData mesh = ScatteredGrid(4, 3);
    const MeshData original = mesh;
    ASSERT_EQ(MeshOptimize(&mesh, D3DXMESHOPT_COMPACT, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(mesh.GetNumVertices(), 25u);
    EXPECT_TRUE(mesh.AttributeTable().empty());
    for (DWORD f = 0; f < mesh.GetNumFaces(); ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(mesh.GetPosition(mesh.GetIndex(f * 3 + k)), original.GetPosition(original.GetIndex(f * 3 + k)));
}

MeshData TwoTriangles(const float (*positions)[3], DWORD vertexCount, const DWORD (&indices)[6]) {
    MeshData mesh;
    EXPECT_EQ(mesh.Create(2, vertexCount, 0, kPositionOnly), S_OK);
    std::memcpy(mesh.VertexBytes(), positions, vertexCount * 12);
    for (int i = 0; i < 6; ++i) mesh.SetIndex(i, indices[i]);
    return mesh;
}

TEST(MeshData, AdjacencyOfTwoTrianglesSharingAnEdge) {
    const float shared[4][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    MeshData mesh = TwoTriangles(shared, 4, {0, 1, 2, 2, 1, 3});
    DWORD adjacency[6];
    ASSERT_EQ(MeshGenerateAdjacency(mesh, 0.0f, adjacency), S_OK);
    // Edge 1 of face 0 (corners 1-2) meets edge 0 of face 1 (corners 2-1).
    const DWORD expected[6] = {kNoAdjacentFace, 1, kNoAdjacentFace, 0, kNoAdjacentFace, kNoAdjacentFace};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(adjacency[i], expected[i]) << i;

    // Split corners nearly at the same place: joined within epsilon only.
    const float split[6][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1.0000001f, 0, 0}, {0, 1.0000001f, 0}, {1, 1, 0}};
    MeshData separate = TwoTriangles(split, 6, {0, 1, 2, 3, 4, 5});
    ASSERT_EQ(MeshGenerateAdjacency(separate, 0.0f, adjacency), S_OK);
    for (DWORD a : adjacency) EXPECT_EQ(a, kNoAdjacentFace);
    ASSERT_EQ(MeshGenerateAdjacency(separate, 1e-5f, adjacency), S_OK);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(adjacency[i], expected[i]) << i;

    // Faces wound the same way along the edge are not neighbours.
    MeshData flipped = TwoTriangles(shared, 4, {0, 1, 2, 1, 2, 3});
    ASSERT_EQ(MeshGenerateAdjacency(flipped, 0.0f, adjacency), S_OK);
    for (DWORD a : adjacency) EXPECT_EQ(a, kNoAdjacentFace);
    EXPECT_EQ(MeshGenerateAdjacency(flipped, -1.0f, adjacency), E_INVALIDARG);
}

TEST(MeshData, AlgorithmsRefuseIndicesPastTheVertices) {
    const float p[3][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
    MeshData mesh = TwoTriangles(p, 3, {0, 1, 2, 2, 1, 3});
    DWORD adjacency[6];
    EXPECT_EQ(mesh.Validate(), D3DXERR_INVALIDMESH);
    EXPECT_EQ(MeshGenerateAdjacency(mesh, 0.0f, adjacency), D3DXERR_INVALIDMESH);
    EXPECT_EQ(MeshOptimize(&mesh, D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3DXERR_INVALIDMESH);
    MeshData clone;
    ASSERT_EQ(MeshClone(mesh, 0, kSceneDecl, &clone), S_OK);
    EXPECT_EQ(MeshComputeNormals(&clone, nullptr), D3DXERR_INVALIDMESH);
}

TEST(MeshData, FileWithoutFacesHasNoMesh) {
    const char text[] = "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0;; }\n";
    XFile file;
    ASSERT_EQ(XFileParse(text, sizeof text - 1, &file, nullptr), S_OK);
    MeshData mesh;
    std::string error;
    EXPECT_EQ(MeshFromXFile(file, 0, &mesh, nullptr, nullptr, &error), D3DXERR_LOADEDMESHASNODATA);
    EXPECT_FALSE(error.empty());
}

}  // namespace
