// .x text parser, then everything the mesh object does with its result:
// building the mesh, optimising, adjacency, cloning to the scene layout and
// computing normals.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/mesh_data.h"
#include "platform/xfile.h"
#include "support/scene_layout.h"

using test_support::kSceneDecl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XFile file;
    std::string error;
    if (FAILED(XFileParse(data, size, &file, &error))) {
        if (error.empty()) __builtin_trap();  // every failure explains itself
        return 0;
    }
    MeshData mesh;
    std::vector<XMaterial> materials;
    std::vector<DWORD> adjacency;
    if (FAILED(MeshFromXFile(file, D3DXMESH_MANAGED, &mesh, &materials, &adjacency, &error))) return 0;
    const DWORD faces = mesh.GetNumFaces();
    std::vector<DWORD> faceRemap(faces), vertexRemap(mesh.GetNumVertices());
    if (FAILED(MeshOptimize(&mesh, D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                            adjacency.data(), adjacency.data(), faceRemap.data(), vertexRemap.data())))
        __builtin_trap();  // a mesh built from a parsed file always optimises
    if (mesh.GetNumFaces() != faces) __builtin_trap();
    uint64_t groupFaces = 0;
    for (const D3DXATTRIBUTERANGE& r : mesh.AttributeTable()) groupFaces += r.FaceCount;
    if (groupFaces != faces) __builtin_trap();
    std::vector<DWORD> fresh(static_cast<size_t>(faces) * 3);
    if (FAILED(MeshGenerateAdjacency(mesh, 1e-6f, fresh.data()))) __builtin_trap();
    MeshData scene;
    if (FAILED(MeshClone(mesh, mesh.GetOptions(), kSceneDecl, &scene))) __builtin_trap();
    if (FAILED(MeshComputeNormals(&scene, fresh.data()))) __builtin_trap();
    return 0;
}
