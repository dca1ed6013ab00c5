#include "platform/mesh_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace {

bool IsFloatType(BYTE type) { return type <= D3DDECLTYPE_FLOAT4; }

// Runs f, turning allocation failures into E_OUTOFMEMORY.
template <class F>
HRESULT Guarded(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
}

std::vector<uint32_t> ReadIndices(const MeshData& mesh) {
    std::vector<uint32_t> idx(static_cast<size_t>(mesh.GetNumFaces()) * 3);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = mesh.GetIndex(i);
    return idx;
}

}  // namespace

// --- vertex layouts ------------------------------------------------------------------

UINT DeclLength(const D3DVERTEXELEMENT9* decl) {
    if (!decl) return 0;
    for (UINT i = 0; i <= static_cast<UINT>(MAXD3DDECLLENGTH); ++i)
        if (decl[i].Stream == 0xFF) return i;
    return 0;
}

HRESULT DeclValidate(const D3DVERTEXELEMENT9* decl) {
    UINT n = DeclLength(decl);
    if (n == 0) return E_INVALIDARG;
    bool position = false;
    for (UINT i = 0; i < n; ++i) {
        const D3DVERTEXELEMENT9& e = decl[i];
        if (e.Stream != 0 || DeclTypeSize(e.Type) == 0) return E_INVALIDARG;
        for (UINT j = 0; j < i; ++j)
            if (decl[j].Usage == e.Usage && decl[j].UsageIndex == e.UsageIndex) return E_INVALIDARG;
        if (e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0) {
            if (e.Type != D3DDECLTYPE_FLOAT3) return E_INVALIDARG;
            position = true;
        }
    }
    return position ? S_OK : E_INVALIDARG;
}

UINT DeclVertexSize(const D3DVERTEXELEMENT9* decl) {
    UINT n = DeclLength(decl);
    UINT size = 0;
    for (UINT i = 0; i < n; ++i)
        if (decl[i].Stream == 0) size = std::max(size, static_cast<UINT>(decl[i].Offset) + DeclTypeSize(decl[i].Type));
    return size;
}

const D3DVERTEXELEMENT9* DeclFind(const D3DVERTEXELEMENT9* decl, BYTE usage, BYTE usageIndex) {
    UINT n = DeclLength(decl);
    for (UINT i = 0; i < n; ++i)
        if (decl[i].Usage == usage && decl[i].UsageIndex == usageIndex) return &decl[i];
    return nullptr;
}

// --- the mesh --------------------------------------------------------------------------

HRESULT MeshData::Create(DWORD faceCount, DWORD vertexCount, DWORD options, const D3DVERTEXELEMENT9* decl) {
    if (FAILED(DeclValidate(decl))) return E_INVALIDARG;
    if (faceCount == 0 || vertexCount == 0) return E_INVALIDARG;
    if (!(options & D3DXMESH_32BIT) && vertexCount > 0xFFFF) return E_INVALIDARG;
    if (faceCount > 0xFFFFFFFFu / 3) return E_INVALIDARG;
    return Guarded([&]() -> HRESULT {
        UINT n = DeclLength(decl);
        std::vector<D3DVERTEXELEMENT9> d(decl, decl + n + 1);
        DWORD stride = DeclVertexSize(decl);
        size_t indexSize = (options & D3DXMESH_32BIT) ? 4 : 2;
        std::vector<uint8_t> vertices(static_cast<size_t>(vertexCount) * stride);
        std::vector<uint8_t> indices(static_cast<size_t>(faceCount) * 3 * indexSize);
        std::vector<DWORD> attributes(faceCount);
        m_decl = std::move(d);
        m_options = options;
        m_stride = stride;
        m_numFaces = faceCount;
        m_numVertices = vertexCount;
        m_vertices = std::move(vertices);
        m_indices = std::move(indices);
        m_attributes = std::move(attributes);
        m_attributeTable.clear();
        return S_OK;
    });
}

DWORD MeshData::GetIndex(size_t i) const {
    if (Uses32BitIndices()) {
        uint32_t v;
        std::memcpy(&v, &m_indices[i * 4], 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, &m_indices[i * 2], 2);
    return v;
}

void MeshData::SetIndex(size_t i, DWORD value) {
    if (Uses32BitIndices()) {
        uint32_t v = value;
        std::memcpy(&m_indices[i * 4], &v, 4);
    } else {
        uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(&m_indices[i * 2], &v, 2);
    }
}

D3DXVECTOR3 MeshData::GetPosition(DWORD v) const {
    const D3DVERTEXELEMENT9* e = DeclFind(m_decl.data(), D3DDECLUSAGE_POSITION, 0);
    D3DXVECTOR3 p;
    std::memcpy(&p, &m_vertices[static_cast<size_t>(v) * m_stride + e->Offset], sizeof p);
    return p;
}

HRESULT MeshData::Validate() const {
    if (m_numFaces == 0) return D3DXERR_INVALIDMESH;
    for (size_t i = 0; i < static_cast<size_t>(m_numFaces) * 3; ++i)
        if (GetIndex(i) >= m_numVertices) return D3DXERR_INVALIDMESH;
    return S_OK;
}

// --- building from a .x file ---------------------------------------------------------------

HRESULT MeshFromXFile(const XFile& file, DWORD options, MeshData* mesh, std::vector<XMaterial>* materials,
                      std::vector<DWORD>* adjacency, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    uint64_t faceTotal = 0;
    bool anyNormals = false, anyTexCoords = false;
    for (const XMesh& m : file.meshes) {
        faceTotal += m.triangles.size();
        anyNormals = anyNormals || m.HasNormals();
        anyTexCoords = anyTexCoords || m.HasTexCoords();
    }
    if (faceTotal == 0) {
        message = "the file holds no faces";
        return D3DXERR_LOADEDMESHASNODATA;
    }
    if (faceTotal > 0x3FFFFFFFu) {
        message = "the file holds too many faces";
        return D3DXERR_INVALIDDATA;
    }
    D3DVERTEXELEMENT9 decl[4];
    int n = 0;
    WORD offset = 0;
    decl[n++] = {0, offset, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0};
    offset += 12;
    WORD normalOffset = 0, texOffset = 0;
    if (anyNormals) {
        normalOffset = offset;
        decl[n++] = {0, offset, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0};
        offset += 12;
    }
    if (anyTexCoords) {
        texOffset = offset;
        decl[n++] = {0, offset, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0};
        offset += 8;
    }
    decl[n] = D3DDECL_END();
    const size_t stride = offset;

    HRESULT hr = Guarded([&]() -> HRESULT {
        std::vector<XMaterial> mats;
        std::vector<uint8_t> vertexBytes;
        std::vector<uint32_t> indices;
        std::vector<DWORD> attributes;
        indices.reserve(static_cast<size_t>(faceTotal) * 3);
        attributes.reserve(static_cast<size_t>(faceTotal));
        std::unordered_map<uint64_t, uint32_t> vertexOf;
        for (const XMesh& m : file.meshes) {
            uint32_t materialBase = static_cast<uint32_t>(mats.size());
            if (m.materials.empty()) {
                XMaterial def{};
                def.material.Diffuse = {1, 1, 1, 1};
                def.material.Specular = {0, 0, 0, 1};
                def.material.Emissive = {0, 0, 0, 1};
                mats.push_back(def);
            } else {
                mats.insert(mats.end(), m.materials.begin(), m.materials.end());
            }
            vertexOf.clear();
            for (const XTriangle& t : m.triangles) {
                for (int k = 0; k < 3; ++k) {
                    uint32_t p = t.position[k];
                    uint32_t nn = m.HasNormals() ? t.normal[k] : 0;
                    if (p >= m.positions.size() || (m.HasNormals() && nn >= m.normals.size()))
                        throw std::length_error("index");  // the parser never produces this
                    uint64_t key = (static_cast<uint64_t>(p) << 32) | nn;
                    auto [it, inserted] = vertexOf.try_emplace(key, 0);
                    if (inserted) {
                        it->second = static_cast<uint32_t>(vertexBytes.size() / stride);
                        size_t at = vertexBytes.size();
                        vertexBytes.resize(at + stride);
                        std::memcpy(&vertexBytes[at], &m.positions[p], 12);
                        if (anyNormals && m.HasNormals()) std::memcpy(&vertexBytes[at + normalOffset], &m.normals[nn], 12);
                        if (anyTexCoords && m.HasTexCoords() && p < m.texCoords.size())
                            std::memcpy(&vertexBytes[at + texOffset], &m.texCoords[p], 8);
                    }
                    indices.push_back(it->second);
                }
                uint32_t attribute = m.materials.empty() ? 0 : t.material;
                attributes.push_back(materialBase + attribute);
            }
        }
        DWORD vertexCount = static_cast<DWORD>(vertexBytes.size() / stride);
        DWORD opts = options;
        if (vertexCount > 0xFFFF) opts |= D3DXMESH_32BIT;
        MeshData result;
        HRESULT r = result.Create(static_cast<DWORD>(faceTotal), vertexCount, opts, decl);
        if (FAILED(r)) return r;
        std::memcpy(result.VertexBytes(), vertexBytes.data(), vertexBytes.size());
        for (size_t i = 0; i < indices.size(); ++i) result.SetIndex(i, indices[i]);
        std::memcpy(result.Attributes(), attributes.data(), attributes.size() * sizeof(DWORD));
        if (adjacency) {
            adjacency->assign(static_cast<size_t>(faceTotal) * 3, kNoAdjacentFace);
            r = MeshGenerateAdjacency(result, 0.0f, adjacency->data());
            if (FAILED(r)) return r;
        }
        *mesh = std::move(result);
        if (materials) *materials = std::move(mats);
        return S_OK;
    });
    if (hr == E_OUTOFMEMORY) message = "out of memory building the mesh";
    else if (FAILED(hr)) message = "cannot build the mesh";
    return hr;
}

// --- optimisation ----------------------------------------------------------------------------

namespace {

// Orders the faces of one attribute run for a vertex cache of kCacheSize
// entries, after Forsyth's "linear-speed vertex cache optimisation".
class CacheOrderer {
public:
    static constexpr int kCacheSize = 32;

    // faces: indices into idx/3 of the run, reordered in place.
    void Order(const std::vector<uint32_t>& idx, uint32_t* faces, size_t count, std::vector<int32_t>& localOf) {
        if (count < 2) return;
        // Local vertex numbering for the run.
        m_vertices.clear();
        m_corner.assign(count * 3, 0);
        for (size_t f = 0; f < count; ++f)
            for (int k = 0; k < 3; ++k) {
                uint32_t v = idx[static_cast<size_t>(faces[f]) * 3 + k];
                if (localOf[v] < 0) {
                    localOf[v] = static_cast<int32_t>(m_vertices.size());
                    m_vertices.push_back(v);
                }
                m_corner[f * 3 + k] = static_cast<uint32_t>(localOf[v]);
            }
        const size_t nv = m_vertices.size();
        // Triangles of each vertex (CSR), with the count still to be drawn.
        m_start.assign(nv + 1, 0);
        for (uint32_t c : m_corner) ++m_start[c + 1];
        for (size_t v = 0; v < nv; ++v) m_start[v + 1] += m_start[v];
        m_active.assign(nv, 0);
        m_tris.assign(count * 3, 0);
        for (size_t f = 0; f < count; ++f)
            for (int k = 0; k < 3; ++k) {
                uint32_t v = m_corner[f * 3 + k];
                m_tris[m_start[v] + m_active[v]++] = static_cast<uint32_t>(f);
            }
        m_cachePos.assign(nv, -1);
        m_score.assign(nv, 0.0f);
        for (size_t v = 0; v < nv; ++v) m_score[v] = Score(static_cast<uint32_t>(v));
        m_triScore.assign(count, 0.0f);
        m_added.assign(count, 0);
        int64_t best = -1;
        float bestScore = -1.0f;
        for (size_t f = 0; f < count; ++f) {
            m_triScore[f] = m_score[m_corner[f * 3]] + m_score[m_corner[f * 3 + 1]] + m_score[m_corner[f * 3 + 2]];
            if (m_triScore[f] > bestScore) {
                bestScore = m_triScore[f];
                best = static_cast<int64_t>(f);
            }
        }
        std::vector<uint32_t> out;
        out.reserve(count);
        std::vector<uint32_t> cache, next;
        cache.reserve(kCacheSize + 3);
        next.reserve(kCacheSize + 3);
        size_t cursor = 0;
        while (out.size() < count) {
            if (best < 0) {
                while (m_added[cursor]) ++cursor;
                best = static_cast<int64_t>(cursor);
            }
            const uint32_t t = static_cast<uint32_t>(best);
            m_added[t] = 1;
            out.push_back(faces[t]);
            next.clear();
            for (int k = 0; k < 3; ++k) {
                uint32_t v = m_corner[t * 3 + k];
                // Remove one occurrence of t from v's active triangles.
                uint32_t* list = &m_tris[m_start[v]];
                for (uint32_t i = 0; i < m_active[v]; ++i)
                    if (list[i] == t) {
                        list[i] = list[--m_active[v]];
                        break;
                    }
                if (std::find(next.begin(), next.end(), v) == next.end()) next.push_back(v);
            }
            for (uint32_t v : cache)
                if (std::find(next.begin(), next.end(), v) == next.end()) next.push_back(v);
            for (size_t i = 0; i < next.size(); ++i)
                m_cachePos[next[i]] = i < static_cast<size_t>(kCacheSize) ? static_cast<int32_t>(i) : -1;
            best = -1;
            bestScore = -1.0f;
            for (uint32_t v : next) {
                m_score[v] = Score(v);
                for (uint32_t i = 0; i < m_active[v]; ++i) {
                    uint32_t f = m_tris[m_start[v] + i];
                    float s = m_score[m_corner[f * 3]] + m_score[m_corner[f * 3 + 1]] + m_score[m_corner[f * 3 + 2]];
                    m_triScore[f] = s;
                    if (s > bestScore) {
                        bestScore = s;
                        best = f;
                    }
                }
            }
            if (next.size() > static_cast<size_t>(kCacheSize)) next.resize(kCacheSize);
            cache.swap(next);
        }
        std::copy(out.begin(), out.end(), faces);
        for (uint32_t v : m_vertices) localOf[v] = -1;
    }

private:
    float Score(uint32_t v) const {
        uint32_t active = m_active[v];
        if (active == 0) return -1.0f;
        const Tables& t = ScoreTables();
        const int32_t pos = m_cachePos[v];
        const float cacheScore = pos >= 0 ? t.cache[pos] : 0.0f;
        const float valenceScore = active < Tables::kValences ? t.valence[active] : 2.0f / std::sqrt(static_cast<float>(active));
        return cacheScore + valenceScore;
    }

    // Score parts: the last triangle's three vertices score 0.75, older
    // cache entries fall off as (1 - (pos - 3) / (size - 3))^1.5; vertices
    // with few triangles left get a boost of 2 / sqrt(count).
    struct Tables {
        static constexpr uint32_t kValences = 64;
        float cache[kCacheSize];
        float valence[kValences];
        Tables() {
            for (int pos = 0; pos < kCacheSize; ++pos)
                cache[pos] = pos < 3 ? 0.75f
                                     : std::pow(1.0f - static_cast<float>(pos - 3) / static_cast<float>(kCacheSize - 3), 1.5f);
            valence[0] = 0.0f;
            for (uint32_t n = 1; n < kValences; ++n) valence[n] = 2.0f / std::sqrt(static_cast<float>(n));
        }
    };
    static const Tables& ScoreTables() {
        static const Tables tables;
        return tables;
    }

    std::vector<uint32_t> m_vertices, m_corner, m_start, m_active, m_tris;
    std::vector<int32_t> m_cachePos;
    std::vector<float> m_score, m_triScore;
    std::vector<uint8_t> m_added;
};

}  // namespace

HRESULT MeshOptimize(MeshData* mesh, DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                     DWORD* vertexRemap) {
    if (!mesh || mesh->m_numFaces == 0) return E_INVALIDARG;
    if (FAILED(mesh->Validate())) return D3DXERR_INVALIDMESH;
    if (adjacencyOut && !adjacencyIn) return E_INVALIDARG;
    return Guarded([&]() -> HRESULT {
        const DWORD F = mesh->m_numFaces;
        const DWORD V = mesh->m_numVertices;
        const std::vector<uint32_t> idx = ReadIndices(*mesh);
        const std::vector<DWORD>& attr = mesh->m_attributes;
        const bool sort = (flags & D3DXMESHOPT_ATTRSORT) != 0;
        const bool cache = (flags & D3DXMESHOPT_VERTEXCACHE) != 0;
        const bool compact = (flags & D3DXMESHOPT_COMPACT) != 0;
        const bool renumber = (sort || cache) && !(flags & D3DXMESHOPT_IGNOREVERTS);

        // New face order.
        std::vector<uint32_t> order(F);
        for (DWORD f = 0; f < F; ++f) order[f] = f;
        if (sort) std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return attr[a] < attr[b]; });
        if (cache) {
            CacheOrderer orderer;
            std::vector<int32_t> localOf(V, -1);
            size_t start = 0;
            while (start < F) {
                size_t end = start + 1;
                while (end < F && attr[order[end]] == attr[order[start]]) ++end;
                orderer.Order(idx, &order[start], end - start, localOf);
                start = end;
            }
        }

        // New vertex numbering: newOf[old], oldOf[new].
        std::vector<uint32_t> newOf(V, kNoAdjacentFace);
        std::vector<uint32_t> oldOf;
        oldOf.reserve(V);
        if (renumber) {
            for (uint32_t f : order)
                for (int k = 0; k < 3; ++k) {
                    uint32_t v = idx[static_cast<size_t>(f) * 3 + k];
                    if (newOf[v] == kNoAdjacentFace) {
                        newOf[v] = static_cast<uint32_t>(oldOf.size());
                        oldOf.push_back(v);
                    }
                }
            if (!compact)
                for (uint32_t v = 0; v < V; ++v)
                    if (newOf[v] == kNoAdjacentFace) {
                        newOf[v] = static_cast<uint32_t>(oldOf.size());
                        oldOf.push_back(v);
                    }
        } else if (compact) {
            std::vector<uint8_t> used(V, 0);
            for (uint32_t v : idx) used[v] = 1;
            for (uint32_t v = 0; v < V; ++v)
                if (used[v]) {
                    newOf[v] = static_cast<uint32_t>(oldOf.size());
                    oldOf.push_back(v);
                }
        } else {
            for (uint32_t v = 0; v < V; ++v) {
                newOf[v] = v;
                oldOf.push_back(v);
            }
        }

        const size_t stride = mesh->m_stride;
        std::vector<uint8_t> vertices(oldOf.size() * stride);
        for (size_t v = 0; v < oldOf.size(); ++v)
            std::memcpy(&vertices[v * stride], &mesh->m_vertices[static_cast<size_t>(oldOf[v]) * stride], stride);
        std::vector<DWORD> attributes(F);
        std::vector<uint32_t> newFaceOf(F);
        for (DWORD f = 0; f < F; ++f) {
            attributes[f] = attr[order[f]];
            newFaceOf[order[f]] = f;
        }
        std::vector<D3DXATTRIBUTERANGE> table;
        if (sort) {
            DWORD start = 0;
            while (start < F) {
                DWORD end = start + 1;
                while (end < F && attributes[end] == attributes[start]) ++end;
                DWORD lo = 0xFFFFFFFFu, hi = 0;
                for (DWORD f = start; f < end; ++f)
                    for (int k = 0; k < 3; ++k) {
                        DWORD v = newOf[idx[static_cast<size_t>(order[f]) * 3 + k]];
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                table.push_back({attributes[start], start, end - start, lo, hi - lo + 1});
                start = end;
            }
        }
        std::vector<DWORD> adjacency;
        if (adjacencyOut) {
            adjacency.resize(static_cast<size_t>(F) * 3);
            for (DWORD f = 0; f < F; ++f)
                for (int k = 0; k < 3; ++k) {
                    DWORD a = adjacencyIn[static_cast<size_t>(order[f]) * 3 + k];
                    adjacency[static_cast<size_t>(f) * 3 + k] = a < F ? newFaceOf[a] : kNoAdjacentFace;
                }
        }

        // Commit (nothing below allocates).
        mesh->m_vertices.swap(vertices);
        mesh->m_numVertices = static_cast<DWORD>(oldOf.size());
        for (DWORD f = 0; f < F; ++f)
            for (int k = 0; k < 3; ++k)
                mesh->SetIndex(static_cast<size_t>(f) * 3 + k, newOf[idx[static_cast<size_t>(order[f]) * 3 + k]]);
        mesh->m_attributes.swap(attributes);
        if (sort) mesh->m_attributeTable.swap(table);
        if (adjacencyOut) std::copy(adjacency.begin(), adjacency.end(), adjacencyOut);
        if (faceRemap) std::copy(order.begin(), order.end(), faceRemap);
        if (vertexRemap)
            for (DWORD v = 0; v < V; ++v) vertexRemap[v] = v < oldOf.size() ? oldOf[v] : kNoAdjacentFace;
        return S_OK;
    });
}

// --- cloning --------------------------------------------------------------------------------

HRESULT MeshClone(const MeshData& source, DWORD options, const D3DVERTEXELEMENT9* decl, MeshData* out) {
    if (!out || source.m_numFaces == 0) return E_INVALIDARG;
    MeshData clone;
    HRESULT hr = clone.Create(source.m_numFaces, source.m_numVertices, options, decl);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        const UINT n = DeclLength(decl);
        for (UINT i = 0; i < n; ++i) {
            const D3DVERTEXELEMENT9& d = decl[i];
            const D3DVERTEXELEMENT9* s = DeclFind(source.m_decl.data(), d.Usage, d.UsageIndex);
            if (!s) continue;
            const bool same = s->Type == d.Type;
            const bool convert = !same && IsFloatType(s->Type) && IsFloatType(d.Type);
            if (!same && !convert) continue;
            const UINT size = DeclTypeSize(d.Type);
            const UINT sComps = s->Type - D3DDECLTYPE_FLOAT1 + 1;
            const UINT dComps = d.Type - D3DDECLTYPE_FLOAT1 + 1;
            for (DWORD v = 0; v < source.m_numVertices; ++v) {
                const uint8_t* from = &source.m_vertices[static_cast<size_t>(v) * source.m_stride + s->Offset];
                uint8_t* to = &clone.m_vertices[static_cast<size_t>(v) * clone.m_stride + d.Offset];
                if (same) {
                    std::memcpy(to, from, size);
                } else {
                    float c[4] = {0, 0, 0, 1};
                    std::memcpy(c, from, sComps * 4);
                    if (sComps < 4 && dComps == 4) c[3] = 1.0f;
                    std::memcpy(to, c, dComps * 4);
                }
            }
        }
        for (size_t i = 0; i < static_cast<size_t>(source.m_numFaces) * 3; ++i) clone.SetIndex(i, source.GetIndex(i));
        clone.m_attributes = source.m_attributes;
        clone.m_attributeTable = source.m_attributeTable;
        *out = std::move(clone);
        return S_OK;
    });
}

// --- normals -----------------------------------------------------------------------------------

HRESULT MeshComputeNormals(MeshData* mesh, const DWORD* adjacency) {
    (void)adjacency;
    if (!mesh || mesh->GetNumFaces() == 0) return E_INVALIDARG;
    const D3DVERTEXELEMENT9* ne = DeclFind(mesh->Declaration().data(), D3DDECLUSAGE_NORMAL, 0);
    if (!ne || ne->Type != D3DDECLTYPE_FLOAT3) return D3DERR_INVALIDCALL;
    if (FAILED(mesh->Validate())) return D3DXERR_INVALIDMESH;
    return Guarded([&]() -> HRESULT {
        const DWORD V = mesh->GetNumVertices();
        std::vector<D3DXVECTOR3> sum(V, D3DXVECTOR3(0, 0, 0));
        for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
            DWORD v[3] = {mesh->GetIndex(f * 3ull), mesh->GetIndex(f * 3ull + 1), mesh->GetIndex(f * 3ull + 2)};
            D3DXVECTOR3 p[3] = {mesh->GetPosition(v[0]), mesh->GetPosition(v[1]), mesh->GetPosition(v[2])};
            D3DXVECTOR3 e1 = p[1] - p[0], e2 = p[2] - p[0], n;
            D3DXVec3Cross(&n, &e1, &e2);
            float len = D3DXVec3Length(&n);
            if (!(len > 0.0f) || !std::isfinite(len)) continue;
            n /= len;
            for (int k = 0; k < 3; ++k) {
                D3DXVECTOR3 a = p[(k + 1) % 3] - p[k], b = p[(k + 2) % 3] - p[k];
                float la = D3DXVec3Length(&a), lb = D3DXVec3Length(&b);
                if (!(la > 0.0f) || !(lb > 0.0f)) continue;
                float c = D3DXVec3Dot(&a, &b) / (la * lb);
                c = std::clamp(c, -1.0f, 1.0f);
                sum[v[k]] += n * std::acos(c);
            }
        }
        uint8_t* bytes = mesh->VertexBytes();
        const DWORD stride = mesh->GetNumBytesPerVertex();
        for (DWORD v = 0; v < V; ++v) {
            D3DXVECTOR3 n;
            D3DXVec3Normalize(&n, &sum[v]);
            if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) n = D3DXVECTOR3(0, 0, 0);
            std::memcpy(bytes + static_cast<size_t>(v) * stride + ne->Offset, &n, sizeof n);
        }
        return S_OK;
    });
}

HRESULT MeshComputeTangentFrame(MeshData*, DWORD) { return E_NOTIMPL; }

// --- adjacency ------------------------------------------------------------------------------------

namespace {

struct CellKey {
    int64_t x, y, z;
    bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
struct CellHash {
    size_t operator()(const CellKey& k) const {
        uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return static_cast<size_t>(h);
    }
};

int64_t Cell(float v, float size) {
    if (size == 0.0f) {
        // Exact matching: the value's bits (with -0 as +0) name the cell.
        float z = v == 0.0f ? 0.0f : v;
        uint32_t bits;
        std::memcpy(&bits, &z, 4);
        return bits;
    }
    double c = std::floor(static_cast<double>(v) / size);
    constexpr double kLimit = 1e15;
    if (c > kLimit) c = kLimit;
    if (c < -kLimit) c = -kLimit;
    return static_cast<int64_t>(c);
}

// For each vertex, the first earlier vertex at the same position (within eps),
// or itself.
std::vector<uint32_t> PointRepresentatives(const MeshData& mesh, float eps) {
    const DWORD V = mesh.GetNumVertices();
    std::vector<uint32_t> rep(V);
    std::vector<D3DXVECTOR3> pos(V);
    for (DWORD v = 0; v < V; ++v) pos[v] = mesh.GetPosition(v);
    const float size = eps;  // 0: exact positions, only the same cell
    const int reach = eps > 0.0f ? 1 : 0;
    std::unordered_map<CellKey, uint32_t, CellHash> head;  // cell -> last representative in it
    std::vector<uint32_t> nextInCell(V, kNoAdjacentFace);
    head.reserve(V);
    for (DWORD v = 0; v < V; ++v) {
        const D3DXVECTOR3& p = pos[v];
        rep[v] = v;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        CellKey c{Cell(p.x, size), Cell(p.y, size), Cell(p.z, size)};
        bool found = false;
        for (int dx = -reach; dx <= reach && !found; ++dx)
            for (int dy = -reach; dy <= reach && !found; ++dy)
                for (int dz = -reach; dz <= reach && !found; ++dz) {
                    auto it = head.find(CellKey{c.x + dx, c.y + dy, c.z + dz});
                    if (it == head.end()) continue;
                    for (uint32_t r = it->second; r != kNoAdjacentFace; r = nextInCell[r]) {
                        const D3DXVECTOR3& q = pos[r];
                        if (std::fabs(p.x - q.x) <= eps && std::fabs(p.y - q.y) <= eps && std::fabs(p.z - q.z) <= eps) {
                            rep[v] = r;
                            found = true;
                            break;
                        }
                    }
                }
        if (!found) {
            auto [it, inserted] = head.try_emplace(c, v);
            if (!inserted) {
                nextInCell[v] = it->second;
                it->second = v;
            }
        }
    }
    return rep;
}

struct EdgeRecord {
    uint32_t lo, hi;
    uint32_t slot;  // face * 3 + edge
    bool forward;   // lo -> hi
};

}  // namespace

HRESULT MeshGenerateAdjacency(const MeshData& mesh, float epsilon, DWORD* adjacency) {
    if (!adjacency || mesh.GetNumFaces() == 0 || !(epsilon >= 0.0f)) return E_INVALIDARG;
    if (FAILED(mesh.Validate())) return D3DXERR_INVALIDMESH;
    return Guarded([&]() -> HRESULT {
        const DWORD F = mesh.GetNumFaces();
        const std::vector<uint32_t> rep = PointRepresentatives(mesh, epsilon);
        std::vector<EdgeRecord> edges;
        edges.reserve(static_cast<size_t>(F) * 3);
        for (DWORD f = 0; f < F; ++f)
            for (uint32_t e = 0; e < 3; ++e) {
                uint32_t a = rep[mesh.GetIndex(f * 3ull + e)];
                uint32_t b = rep[mesh.GetIndex(f * 3ull + (e + 1) % 3)];
                if (a == b) continue;
                edges.push_back({std::min(a, b), std::max(a, b), f * 3 + e, a < b});
            }
        std::sort(edges.begin(), edges.end(), [](const EdgeRecord& x, const EdgeRecord& y) {
            if (x.lo != y.lo) return x.lo < y.lo;
            if (x.hi != y.hi) return x.hi < y.hi;
            return x.slot < y.slot;
        });
        std::fill(adjacency, adjacency + static_cast<size_t>(F) * 3, kNoAdjacentFace);
        std::vector<uint32_t> forward, backward;
        size_t start = 0;
        while (start < edges.size()) {
            size_t end = start + 1;
            while (end < edges.size() && edges[end].lo == edges[start].lo && edges[end].hi == edges[start].hi) ++end;
            forward.clear();
            backward.clear();
            for (size_t i = start; i < end; ++i) (edges[i].forward ? forward : backward).push_back(edges[i].slot);
            for (size_t i = 0; i < forward.size() && i < backward.size(); ++i) {
                uint32_t f = forward[i] / 3, g = backward[i] / 3;
                if (f == g) continue;
                adjacency[forward[i]] = g;
                adjacency[backward[i]] = f;
            }
            start = end;
        }
        return S_OK;
    });
}
