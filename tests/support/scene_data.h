// The generated Data folder for the tests and benchmarks that read it: file
// paths, and loading a mesh into the scene layout as the mesh class does.
// The program that includes this defines TREVOLIA_DATA_DIR.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "platform/system.h"
#include "support/scene_layout.h"

#ifndef TREVOLIA_DATA_DIR
#error "TREVOLIA_DATA_DIR names the generated Data folder"
#endif

namespace test_support {

inline std::wstring DataPath(const std::string& name) {
    return Utf8ToWide(std::string(TREVOLIA_DATA_DIR) + "/" + name);
}

// Loads a .x file as the mesh class does: load, optimise in place with the
// adjacency, convert to kSceneDecl (computing the normals the file lacks).
// The face materials go to *materials in slot order when it is not null.
inline HRESULT LoadSceneMesh(IDirect3DDevice9* device, const std::wstring& path, ID3DXMesh** scene,
                             std::vector<D3DMATERIAL9>* materials) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer *adjacency = nullptr, *buffer = nullptr;
    DWORD count = 0;
    HRESULT hr = D3DXLoadMeshFromX(path.c_str(), D3DXMESH_MANAGED, device, &adjacency, &buffer, nullptr, &count, &mesh);
    if (FAILED(hr)) return hr;
    hr = mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                               static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        if (materials) {
            materials->clear();
            const auto* m = static_cast<const D3DXMATERIAL*>(buffer->GetBufferPointer());
            for (DWORD j = 0; j < count; ++j) materials->push_back(m[j].MatD3D);
        }
        D3DVERTEXELEMENT9 old[MAX_FVF_DECL_SIZE];
        mesh->GetDeclaration(old);
        hr = mesh->CloneMesh(mesh->GetOptions(), kSceneDecl, device, scene);
        if (SUCCEEDED(hr) && !DeclFind(old, D3DDECLUSAGE_NORMAL)) hr = D3DXComputeNormals(*scene, nullptr);
    }
    adjacency->Release();
    buffer->Release();
    mesh->Release();
    return hr;
}

}  // namespace test_support
