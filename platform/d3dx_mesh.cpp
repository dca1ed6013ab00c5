#include "platform/d3dx_mesh.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3dx_internal.h"
#include "platform/device_core.h"
#include "platform/file_read.h"
#include "platform/system.h"
#include "platform/xfile.h"

namespace {

// One run of faces drawn for a subset.
struct Subset {
    DWORD attrib;
    DWORD faceStart, faceCount;
    DWORD vertexStart, vertexCount;
};

class Mesh final : public ID3DXMesh {
public:
    explicit Mesh(IDirect3DDevice9* device) : m_device(device) { m_device->AddRef(); }
    ~Mesh() override {
        ReleaseBuffers();
        m_device->Release();
    }

    // Takes the data; the device objects are made when first needed.
    HRESULT Init(MeshData&& data);
    MeshData& Data() { return m_data; }
    // After the vertices changed in memory.
    HRESULT UploadVertices() { return m_vb ? Upload(m_vb, m_data.VertexBytes(), m_data.VertexBytesSize()) : S_OK; }

    HRESULT GetDevice(IDirect3DDevice9** device) override { return ReferenceDeviceTo(m_device, device); }
    DWORD GetNumFaces() override { return m_data.GetNumFaces(); }
    DWORD GetNumVertices() override { return m_data.GetNumVertices(); }
    DWORD GetNumBytesPerVertex() override { return m_data.GetNumBytesPerVertex(); }
    DWORD GetOptions() override { return m_data.GetOptions(); }
    DWORD GetFVF() override {
        DWORD fvf = 0;
        return SUCCEEDED(D3DXFVFFromDeclarator(m_data.Declaration().data(), &fvf)) ? fvf : 0;
    }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) override {
        if (!declaration) return D3DERR_INVALIDCALL;
        const auto& decl = m_data.Declaration();
        std::copy(decl.begin(), decl.begin() + std::min<size_t>(decl.size(), MAX_FVF_DECL_SIZE), declaration);
        return S_OK;
    }
    HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** buffer) override {
        if (!buffer) return D3DERR_INVALIDCALL;
        *buffer = nullptr;
        if (HRESULT hr = EnsureBuffers(); FAILED(hr)) return hr;
        *buffer = m_vb;
        m_vb->AddRef();
        return S_OK;
    }
    HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** buffer) override {
        if (!buffer) return D3DERR_INVALIDCALL;
        *buffer = nullptr;
        if (HRESULT hr = EnsureBuffers(); FAILED(hr)) return hr;
        *buffer = m_ib;
        m_ib->AddRef();
        return S_OK;
    }

    HRESULT LockVertexBuffer(DWORD flags, void** data) override {
        return Lock(&m_vertexLock, flags, m_data.VertexBytes(), reinterpret_cast<void**>(data));
    }
    HRESULT UnlockVertexBuffer() override {
        if (!m_vertexLock.locked) return D3DERR_INVALIDCALL;
        m_vertexLock.locked = false;
        return m_vertexLock.readOnly ? S_OK : UploadVertices();
    }
    HRESULT LockIndexBuffer(DWORD flags, void** data) override {
        return Lock(&m_indexLock, flags, m_data.IndexBytes(), data);
    }
    HRESULT UnlockIndexBuffer() override {
        if (!m_indexLock.locked) return D3DERR_INVALIDCALL;
        m_indexLock.locked = false;
        if (m_indexLock.readOnly) return S_OK;
        m_valid = SUCCEEDED(m_data.Validate());
        HRESULT hr = UploadIndices();
        return SUCCEEDED(hr) ? BuildSubsets() : hr;
    }
    HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override {
        void* p = nullptr;
        HRESULT hr = Lock(&m_attributeLock, flags, m_data.Attributes(), &p);
        if (data) *data = static_cast<DWORD*>(p);
        return hr;
    }
    HRESULT UnlockAttributeBuffer() override {
        if (!m_attributeLock.locked) return D3DERR_INVALIDCALL;
        m_attributeLock.locked = false;
        if (m_attributeLock.readOnly) return S_OK;
        if (!TableMatchesAttributes()) m_data.SetAttributeTable(nullptr, 0);
        return BuildSubsets();
    }

    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override {
        const auto& t = m_data.AttributeTable();
        if (!table) {
            if (!size) return D3DERR_INVALIDCALL;
            *size = static_cast<DWORD>(t.size());
            return S_OK;
        }
        const size_t n = size ? std::min<size_t>(*size, t.size()) : t.size();
        std::copy(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), table);
        if (size) *size = static_cast<DWORD>(n);
        return S_OK;
    }
    HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) override;
    HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override {
        if (!adjacency) return D3DERR_INVALIDCALL;
        return MeshGenerateAdjacency(m_data, epsilon, adjacency);
    }
    HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                            ID3DXBuffer** vertexRemap) override;
    HRESULT Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                     ID3DXBuffer** vertexRemap, ID3DXMesh** out) override;
    HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                      ID3DXMesh** out) override;
    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** out) override {
        D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
        if (out) *out = nullptr;
        HRESULT hr = D3DXDeclaratorFromFVF(fvf, decl);
        return FAILED(hr) ? hr : CloneMesh(options, decl, device, out);
    }
    HRESULT DrawSubset(DWORD attribId) override;

private:
    struct LockState {
        bool locked = false;
        bool readOnly = false;
    };
    static HRESULT Lock(LockState* state, DWORD flags, void* bytes, void** data) {
        if (!data || state->locked) return D3DERR_INVALIDCALL;
        state->locked = true;
        state->readOnly = (flags & D3DLOCK_READONLY) != 0;
        *data = bytes;
        return S_OK;
    }
    template <class Buffer>
    static HRESULT Upload(Buffer* buffer, const void* bytes, size_t size) {
        void* target = nullptr;
        HRESULT hr = buffer->Lock(0, 0, &target, 0);
        if (FAILED(hr)) return hr;
        std::memcpy(target, bytes, size);
        return buffer->Unlock();
    }
    HRESULT UploadIndices() { return m_ib ? Upload(m_ib, m_data.IndexBytes(), m_data.IndexBytesSize()) : S_OK; }
    // The device's buffers and declaration, made at the first draw (or when
    // handed out), so meshes that are only converted never reach the device.
    HRESULT EnsureBuffers() { return m_vb && m_ib && m_decl ? S_OK : MakeBuffers(); }
    HRESULT MakeBuffers();
    void ReleaseBuffers() {
        SAFE_RELEASE(m_decl);
        SAFE_RELEASE(m_vb);
        SAFE_RELEASE(m_ib);
    }
    bool TableMatchesAttributes() const;
    HRESULT BuildSubsets();

    IDirect3DDevice9* m_device;
    MeshData m_data;
    IDirect3DVertexBuffer9* m_vb = nullptr;
    IDirect3DIndexBuffer9* m_ib = nullptr;
    IDirect3DVertexDeclaration9* m_decl = nullptr;
    std::vector<Subset> m_subsets;  // what DrawSubset draws, by attribute
    bool m_valid = true;            // every index names a vertex
    LockState m_vertexLock, m_indexLock, m_attributeLock;
};

HRESULT Mesh::MakeBuffers() {
    ReleaseBuffers();
    const DWORD options = m_data.GetOptions();
    const D3DPOOL pool = (options & (D3DXMESH_VB_SYSTEMMEM | D3DXMESH_IB_SYSTEMMEM)) ? D3DPOOL_SYSTEMMEM
                                                                                     : D3DPOOL_MANAGED;
    HRESULT hr = m_device->CreateVertexBuffer(static_cast<UINT>(m_data.VertexBytesSize()), 0, 0, pool, &m_vb, nullptr);
    if (SUCCEEDED(hr))
        hr = m_device->CreateIndexBuffer(static_cast<UINT>(m_data.IndexBytesSize()), 0,
                                         m_data.Uses32BitIndices() ? D3DFMT_INDEX32 : D3DFMT_INDEX16, pool, &m_ib,
                                         nullptr);
    if (SUCCEEDED(hr)) hr = m_device->CreateVertexDeclaration(m_data.Declaration().data(), &m_decl);
    if (SUCCEEDED(hr)) hr = UploadVertices();
    if (SUCCEEDED(hr)) hr = UploadIndices();
    if (FAILED(hr)) ReleaseBuffers();
    return hr;
}

HRESULT Mesh::Init(MeshData&& data) {
    m_data = std::move(data);
    m_valid = SUCCEEDED(m_data.Validate());
    return BuildSubsets();
}

bool Mesh::TableMatchesAttributes() const {
    const auto& table = m_data.AttributeTable();
    if (table.empty()) return true;
    const DWORD* attr = m_data.Attributes();
    DWORD covered = 0;
    for (const D3DXATTRIBUTERANGE& r : table) {
        if (r.FaceStart > m_data.GetNumFaces() || r.FaceCount > m_data.GetNumFaces() - r.FaceStart) return false;
        for (DWORD f = r.FaceStart; f < r.FaceStart + r.FaceCount; ++f)
            if (attr[f] != r.AttribId) return false;
        covered += r.FaceCount;
    }
    return covered == m_data.GetNumFaces();
}

HRESULT Mesh::BuildSubsets() {
    try {
        m_subsets.clear();
        const auto& table = m_data.AttributeTable();
        if (!table.empty()) {
            for (const D3DXATTRIBUTERANGE& r : table)
                if (r.FaceCount > 0 && r.FaceStart <= m_data.GetNumFaces() &&
                    r.FaceCount <= m_data.GetNumFaces() - r.FaceStart)
                    m_subsets.push_back({r.AttribId, r.FaceStart, r.FaceCount, r.VertexStart, r.VertexCount});
            return S_OK;
        }
        // Runs of consecutive faces with the same attribute.
        const DWORD faces = m_data.GetNumFaces();
        const DWORD* attr = m_data.Attributes();
        DWORD start = 0;
        while (start < faces) {
            DWORD end = start + 1;
            while (end < faces && attr[end] == attr[start]) ++end;
            DWORD lo = ~0u, hi = 0;
            for (size_t i = static_cast<size_t>(start) * 3; i < static_cast<size_t>(end) * 3; ++i) {
                const DWORD v = m_data.GetIndex(i);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            m_subsets.push_back({attr[start], start, end - start, lo, hi - lo + 1});
            start = end;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) {
    if (!table && size) return D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < size; ++i)
        if (table[i].FaceStart > m_data.GetNumFaces() || table[i].FaceCount > m_data.GetNumFaces() - table[i].FaceStart)
            return D3DERR_INVALIDCALL;
    try {
        m_data.SetAttributeTable(table, size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return BuildSubsets();
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
    if (!m_valid) return D3DXERR_INVALIDMESH;
    HRESULT hr = EnsureBuffers();
    if (SUCCEEDED(hr)) hr = m_device->SetVertexDeclaration(m_decl);
    if (SUCCEEDED(hr)) hr = m_device->SetStreamSource(0, m_vb, 0, m_data.GetNumBytesPerVertex());
    if (SUCCEEDED(hr)) hr = m_device->SetIndices(m_ib);
    if (FAILED(hr)) return hr;
    for (const Subset& s : m_subsets) {
        if (s.attrib != attribId) continue;
        hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, s.vertexStart, s.vertexCount, s.faceStart * 3,
                                            s.faceCount);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT MakeMesh(IDirect3DDevice9* device, MeshData&& data, ID3DXMesh** out) {
    auto* mesh = new (std::nothrow) Mesh(device);
    if (!mesh) return E_OUTOFMEMORY;
    HRESULT hr = mesh->Init(std::move(data));
    if (FAILED(hr)) {
        mesh->Release();
        return hr;
    }
    *out = mesh;
    return S_OK;
}

HRESULT RemapBuffer(const std::vector<DWORD>& remap, ID3DXBuffer** out) {
    ID3DXBuffer* b = nullptr;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(remap.size() * sizeof(DWORD)), &b);
    if (FAILED(hr)) return hr;
    if (!remap.empty()) std::memcpy(b->GetBufferPointer(), remap.data(), remap.size() * sizeof(DWORD));
    *out = b;
    return S_OK;
}

HRESULT Mesh::OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                              ID3DXBuffer** vertexRemap) {
    if (vertexRemap) *vertexRemap = nullptr;
    if (m_vertexLock.locked || m_indexLock.locked || m_attributeLock.locked) return D3DERR_INVALIDCALL;
    try {
        std::vector<DWORD> remap(vertexRemap ? m_data.GetNumVertices() : 0);
        const size_t oldVertexBytes = m_data.VertexBytesSize(), oldIndexBytes = m_data.IndexBytesSize();
        HRESULT hr = MeshOptimize(&m_data, flags, adjacencyIn, adjacencyOut, faceRemap,
                                  vertexRemap ? remap.data() : nullptr);
        if (FAILED(hr)) return hr;
        m_valid = SUCCEEDED(m_data.Validate());
        if (m_vb && (m_data.VertexBytesSize() != oldVertexBytes || m_data.IndexBytesSize() != oldIndexBytes)) {
            hr = MakeBuffers();
        } else {
            hr = UploadVertices();
            if (SUCCEEDED(hr)) hr = UploadIndices();
        }
        if (SUCCEEDED(hr)) hr = BuildSubsets();
        if (SUCCEEDED(hr) && vertexRemap) hr = RemapBuffer(remap, vertexRemap);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Mesh::Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                       ID3DXBuffer** vertexRemap, ID3DXMesh** out) {
    if (vertexRemap) *vertexRemap = nullptr;
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    try {
        // The copy takes the new options: the mesh bits of the flags.
        MeshData copy;
        HRESULT hr = MeshClone(m_data, flags & 0x003FFFFFu, m_data.Declaration().data(), &copy);
        if (FAILED(hr)) return hr;
        std::vector<DWORD> remap(vertexRemap ? copy.GetNumVertices() : 0);
        hr = MeshOptimize(&copy, flags, adjacencyIn, adjacencyOut, faceRemap, vertexRemap ? remap.data() : nullptr);
        if (FAILED(hr)) return hr;
        ID3DXMesh* mesh = nullptr;
        hr = MakeMesh(m_device, std::move(copy), &mesh);
        if (FAILED(hr)) return hr;
        if (vertexRemap) {
            hr = RemapBuffer(remap, vertexRemap);
            if (FAILED(hr)) {
                mesh->Release();
                return hr;
            }
        }
        *out = mesh;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Mesh::CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                        ID3DXMesh** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!declaration || !device) return D3DERR_INVALIDCALL;
    MeshData copy;
    HRESULT hr = MeshClone(m_data, options, declaration, &copy);
    if (FAILED(hr)) return hr == E_INVALIDARG ? D3DERR_INVALIDCALL : hr;
    return MakeMesh(device, std::move(copy), out);
}

HRESULT LoadFromMemory(const char* what, const std::string& source, const uint8_t* data, size_t size, DWORD options,
                       IDirect3DDevice9* device, ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                       ID3DXBuffer** effectInstances, DWORD* numMaterials, ID3DXMesh** mesh) {
    if (adjacency) *adjacency = nullptr;
    if (materials) *materials = nullptr;
    if (effectInstances) *effectInstances = nullptr;
    if (numMaterials) *numMaterials = 0;
    if (mesh) *mesh = nullptr;
    if (!device || !mesh || (!data && size)) {
        d3dx::Trace(what, source + ": invalid argument", D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    try {
        XFile file;
        std::string error;
        HRESULT hr = XFileParse(data, size, &file, &error);
        MeshData meshData;
        std::vector<XMaterial> list;
        std::vector<DWORD> adjacent;
        if (SUCCEEDED(hr))
            hr = MeshFromXFile(file, options, &meshData, &list, adjacency ? &adjacent : nullptr, &error);
        if (FAILED(hr)) {
            d3dx::Trace(what, source + ": " + error, hr);
            return hr;
        }

        ID3DXBuffer* adjacencyBuffer = nullptr;
        ID3DXBuffer* materialBuffer = nullptr;
        auto fail = [&](HRESULT code, const char* message) {
            SAFE_RELEASE(adjacencyBuffer);
            SAFE_RELEASE(materialBuffer);
            d3dx::Trace(what, source + ": " + message, code);
            return code;
        };
        if (adjacency) {
            hr = RemapBuffer(adjacent, &adjacencyBuffer);
            if (FAILED(hr)) return fail(hr, "out of memory");
        }
        if (materials) {
            size_t bytes = list.size() * sizeof(D3DXMATERIAL);
            for (const XMaterial& m : list)
                if (!m.textureFilename.empty()) bytes += m.textureFilename.size() + 1;
            hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), &materialBuffer);
            if (FAILED(hr)) return fail(hr, "out of memory");
            auto* out = static_cast<D3DXMATERIAL*>(materialBuffer->GetBufferPointer());
            char* names = reinterpret_cast<char*>(out + list.size());
            for (size_t i = 0; i < list.size(); ++i) {
                out[i].MatD3D = list[i].material;
                out[i].pTextureFilename = nullptr;
                const std::string& name = list[i].textureFilename;
                if (!name.empty()) {
                    std::memcpy(names, name.c_str(), name.size() + 1);
                    out[i].pTextureFilename = names;
                    names += name.size() + 1;
                }
            }
        }
        hr = MakeMesh(device, std::move(meshData), mesh);
        if (FAILED(hr)) return fail(hr, "the device refused the mesh's buffers");
        if (adjacency) *adjacency = adjacencyBuffer;
        if (materials) *materials = materialBuffer;
        if (numMaterials) *numMaterials = static_cast<DWORD>(list.size());
        return S_OK;
    } catch (const std::bad_alloc&) {
        d3dx::Trace(what, source + ": out of memory", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
}

}  // namespace

HRESULT D3DXLoadMeshFromX(const wchar_t* path, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                          ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                          ID3DXMesh** mesh) {
    constexpr const char* kWhat = "D3DXLoadMeshFromX";
    if (mesh) *mesh = nullptr;
    if (!path) {
        d3dx::Trace(kWhat, "no file name", D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    const std::string native = PlatformNativePath(path);
    std::vector<uint8_t> bytes;
    std::string error;
    HRESULT hr = ReadFileBytes(native, &bytes, &error);
    if (FAILED(hr)) {
        d3dx::Trace(kWhat, error, hr);
        return hr;
    }
    return LoadFromMemory(kWhat, "\"" + native + "\"", bytes.data(), bytes.size(), options, device, adjacency,
                          materials, effectInstances, numMaterials, mesh);
}

HRESULT D3DXLoadMeshFromXInMemory(const void* data, DWORD size, DWORD options, IDirect3DDevice9* device,
                                  ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh) {
    return LoadFromMemory("D3DXLoadMeshFromXInMemory", ".x file in memory", static_cast<const uint8_t*>(data), size,
                          options, device, adjacency, materials, effectInstances, numMaterials, mesh);
}

HRESULT D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                       IDirect3DDevice9* device, ID3DXMesh** mesh) {
    if (!mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!device || !declaration) return D3DERR_INVALIDCALL;
    MeshData data;
    HRESULT hr = data.Create(numFaces, numVertices, options, declaration);
    if (FAILED(hr)) return hr == E_INVALIDARG ? D3DERR_INVALIDCALL : hr;
    return MakeMesh(device, std::move(data), mesh);
}

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                          ID3DXMesh** mesh) {
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    if (mesh) *mesh = nullptr;
    HRESULT hr = D3DXDeclaratorFromFVF(fvf, decl);
    return FAILED(hr) ? hr : D3DXCreateMesh(numFaces, numVertices, options, decl, device, mesh);
}

HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* adjacency) {
    auto* m = dynamic_cast<Mesh*>(mesh);
    if (!m) return D3DERR_INVALIDCALL;
    HRESULT hr = MeshComputeNormals(&m->Data(), adjacency);
    return FAILED(hr) ? hr : m->UploadVertices();
}

HRESULT D3DXComputeTangentFrameEx(ID3DXMesh*, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                  const DWORD*,
                                  FLOAT, FLOAT, FLOAT, ID3DXMesh** out, ID3DXBuffer** vertexMapping) {
    if (out) *out = nullptr;
    if (vertexMapping) *vertexMapping = nullptr;
    return E_NOTIMPL;
}

HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (!declaration) return D3DERR_INVALIDCALL;
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!devcore::FvfToElements(fvf, &elements, nullptr) || elements.size() + 1 > MAX_FVF_DECL_SIZE)
        return D3DERR_INVALIDCALL;
    std::copy(elements.begin(), elements.end(), declaration);
    declaration[elements.size()] = D3DDECL_END();
    return S_OK;
}

HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf) {
    if (!declaration || !fvf) return D3DERR_INVALIDCALL;
    const UINT n = DeclLength(declaration);
    if (n == 0) return D3DERR_INVALIDCALL;
    // The format each element asks for; then the format's own layout must be
    // exactly this one.
    DWORD candidate = 0;
    UINT texCount = 0;
    for (UINT i = 0; i < n; ++i) {
        const D3DVERTEXELEMENT9& e = declaration[i];
        if (e.Stream != 0) return D3DERR_INVALIDCALL;
        switch (e.Usage) {
            case D3DDECLUSAGE_POSITION: candidate |= e.Type == D3DDECLTYPE_FLOAT4 ? 0x4002u : D3DFVF_XYZ; break;
            case D3DDECLUSAGE_POSITIONT: candidate |= D3DFVF_XYZRHW; break;
            case D3DDECLUSAGE_NORMAL: candidate |= D3DFVF_NORMAL; break;
            case D3DDECLUSAGE_PSIZE: candidate |= 0x20u; break;
            case D3DDECLUSAGE_COLOR: candidate |= e.UsageIndex == 0 ? D3DFVF_DIFFUSE : D3DFVF_SPECULAR; break;
            case D3DDECLUSAGE_TEXCOORD: {
                static const DWORD kSizeBits[4] = {3, 0, 1, 2};  // FLOAT1..FLOAT4
                if (e.Type > D3DDECLTYPE_FLOAT4 || e.UsageIndex >= 8) return D3DERR_INVALIDCALL;
                candidate |= kSizeBits[e.Type] << (16 + 2 * e.UsageIndex);
                texCount = std::max<UINT>(texCount, e.UsageIndex + 1u);
                break;
            }
            default: return D3DERR_INVALIDCALL;
        }
    }
    candidate |= texCount << 8;
    std::vector<D3DVERTEXELEMENT9> expected;
    if (!devcore::FvfToElements(candidate, &expected, nullptr) || expected.size() != n) return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < n; ++i)
        if (std::memcmp(&expected[i], &declaration[i], sizeof(D3DVERTEXELEMENT9)) != 0) return D3DERR_INVALIDCALL;
    *fvf = candidate;
    return S_OK;
}
