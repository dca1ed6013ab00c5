// Mesh data in system memory and the CPU algorithms of the mesh object:
// building from a parsed .x file, optimising, cloning to another vertex
// layout, computing normals and generating adjacency.
//
// A mesh is a vertex array under a vertex layout (stream 0 only), an index
// array of 16- or 32-bit indices (three per face, triangle list), one
// attribute id per face (the material/subset it belongs to) and, after an
// attribute sort, an attribute table. The GPU-side mesh object keeps one of
// these as its managed copy and uploads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_types.h"
#include "platform/maths.h"
#include "platform/result.h"
#include "platform/xfile.h"

// --- mesh options and optimisation flags -------------------------------------

constexpr DWORD D3DXMESH_32BIT = 0x001;  // 32-bit indices
constexpr DWORD D3DXMESH_DONOTCLIP = 0x002;
constexpr DWORD D3DXMESH_POINTS = 0x004;
constexpr DWORD D3DXMESH_RTPATCHES = 0x008;
constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
constexpr DWORD D3DXMESH_NPATCHES = 0x4000;
constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
constexpr DWORD D3DXMESH_MANAGED = 0x220;
constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
constexpr DWORD D3DXMESH_DYNAMIC = 0x880;

constexpr DWORD D3DXMESHOPT_DEVICEINDEPENDENT = 0x00400000;
constexpr DWORD D3DXMESHOPT_COMPACT = 0x01000000;
constexpr DWORD D3DXMESHOPT_ATTRSORT = 0x02000000;
constexpr DWORD D3DXMESHOPT_VERTEXCACHE = 0x04000000;
constexpr DWORD D3DXMESHOPT_STRIPREORDER = 0x08000000;
constexpr DWORD D3DXMESHOPT_IGNOREVERTS = 0x10000000;
constexpr DWORD D3DXMESHOPT_DONOTSPLIT = 0x20000000;

// One run of faces with the same attribute id after an attribute sort.
struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;  // lowest vertex index the run's faces use
    DWORD VertexCount;  // highest - lowest + 1 (0 for a run without faces)
};

// "No neighbour" in an adjacency array.
constexpr DWORD kNoAdjacentFace = 0xFFFFFFFFu;

// --- vertex layouts --------------------------------------------------------------

// DeclTypeSize (bytes of a declaration type) is in device_types.h.
// Number of elements before the end marker; 0 when there is none within
// MAXD3DDECLLENGTH elements (or decl is null).
UINT DeclLength(const D3DVERTEXELEMENT9* decl);
// Checks a layout for the mesh code: an end marker within MAXD3DDECLLENGTH,
// stream 0 only, known types, no two elements with the same usage and usage
// index, a FLOAT3 position (usage index 0). E_INVALIDARG otherwise.
HRESULT DeclValidate(const D3DVERTEXELEMENT9* decl);
// Bytes per vertex of stream 0: the end of the furthest element.
UINT DeclVertexSize(const D3DVERTEXELEMENT9* decl);
// The element of that usage and usage index, or null.
const D3DVERTEXELEMENT9* DeclFind(const D3DVERTEXELEMENT9* decl, BYTE usage, BYTE usageIndex = 0);

// --- the mesh ----------------------------------------------------------------------

class MeshData {
public:
    // An empty mesh of the given size and layout: vertices and indices zeroed,
    // every attribute 0. E_INVALIDARG for a bad layout, zero faces or
    // vertices, or more than 65535 vertices without D3DXMESH_32BIT;
    // E_OUTOFMEMORY when the arrays cannot be had.
    HRESULT Create(DWORD faceCount, DWORD vertexCount, DWORD options, const D3DVERTEXELEMENT9* decl);

    DWORD GetNumFaces() const { return m_numFaces; }
    DWORD GetNumVertices() const { return m_numVertices; }
    DWORD GetOptions() const { return m_options; }
    DWORD GetNumBytesPerVertex() const { return m_stride; }
    bool Uses32BitIndices() const { return (m_options & D3DXMESH_32BIT) != 0; }
    // The layout, end marker included.
    const std::vector<D3DVERTEXELEMENT9>& Declaration() const { return m_decl; }

    // Raw arrays, laid out as the GPU buffers are: vertices of
    // GetNumBytesPerVertex() bytes; indices as uint16_t or uint32_t.
    uint8_t* VertexBytes() { return m_vertices.data(); }
    const uint8_t* VertexBytes() const { return m_vertices.data(); }
    size_t VertexBytesSize() const { return m_vertices.size(); }
    uint8_t* IndexBytes() { return m_indices.data(); }
    const uint8_t* IndexBytes() const { return m_indices.data(); }
    size_t IndexBytesSize() const { return m_indices.size(); }
    DWORD* Attributes() { return m_attributes.data(); }
    const DWORD* Attributes() const { return m_attributes.data(); }

    DWORD GetIndex(size_t i) const;
    void SetIndex(size_t i, DWORD value);
    // Position (usage index 0) of vertex v.
    D3DXVECTOR3 GetPosition(DWORD v) const;

    // The attribute table of the last attribute sort: one entry per attribute
    // id present, ascending (empty before a sort). Drawing subset j draws the
    // faces of the entry whose AttribId is j; without a table, the faces whose
    // attribute is j.
    const std::vector<D3DXATTRIBUTERANGE>& AttributeTable() const { return m_attributeTable; }
    void SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD count) { m_attributeTable.assign(table, table + count); }

    // Checks that every index is below the vertex count (after a caller wrote
    // the arrays): D3DXERR_INVALIDMESH otherwise.
    HRESULT Validate() const;

private:
    friend HRESULT MeshOptimize(MeshData*, DWORD, const DWORD*, DWORD*, DWORD*, DWORD*);
    friend HRESULT MeshClone(const MeshData&, DWORD, const D3DVERTEXELEMENT9*, MeshData*);

    std::vector<D3DVERTEXELEMENT9> m_decl;
    DWORD m_options = 0;
    DWORD m_stride = 0;
    DWORD m_numFaces = 0;
    DWORD m_numVertices = 0;
    std::vector<uint8_t> m_vertices;
    std::vector<uint8_t> m_indices;
    std::vector<DWORD> m_attributes;
    std::vector<D3DXATTRIBUTERANGE> m_attributeTable;
};

// Builds one mesh from all meshes of a parsed .x file, in file order. The
// layout is position FLOAT3, then normal FLOAT3 when any mesh has normals,
// then texture coordinate 0 FLOAT2 when any has texture coordinates (a mesh
// of the file that lacks them gets zeros there). A vertex is made for each distinct (position index, normal
// index) pair of the faces' corners, so a position with several normals is
// split. Materials are concatenated in file order and each face's attribute
// is its material's index there; a mesh without a material list gets one
// default material (white diffuse, no texture). The index size follows
// options (D3DXMESH_32BIT); when the vertices do not fit 16-bit indices,
// 32-bit ones are used and the flag is set. Adjacency (may be null) receives
// three entries per face (GenerateAdjacency with epsilon 0).
// D3DXERR_LOADEDMESHASNODATA when the file has no face.
HRESULT MeshFromXFile(const XFile& file, DWORD options, MeshData* mesh, std::vector<XMaterial>* materials,
                      std::vector<DWORD>* adjacency, std::string* error);

// Optimises in place. Flags:
// - D3DXMESHOPT_COMPACT drops vertices that no face uses;
// - D3DXMESHOPT_ATTRSORT orders the faces by attribute id (stable) and builds
//   the attribute table;
// - D3DXMESHOPT_VERTEXCACHE reorders the faces within each attribute run for
//   the post-transform vertex cache (Forsyth's scoring, 32-entry cache);
// - with ATTRSORT or VERTEXCACHE and without D3DXMESHOPT_IGNOREVERTS the
//   vertices are renumbered in the order the faces first use them (unused
//   ones last, unless compacted away).
// The triangles, their winding and their attributes are kept. adjacencyIn
// (optional, 3 per face) is remapped into adjacencyOut (optional; may equal
// adjacencyIn); faceRemap (optional, one per face) receives for each new face
// its old index, vertexRemap (optional, one per old vertex) for each new
// vertex its old index, kNoAdjacentFace past the new vertex count.
HRESULT MeshOptimize(MeshData* mesh, DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                     DWORD* vertexRemap);

// Copies the mesh into a new one with the given options and layout. Each
// element of the new layout takes the source's element of the same usage and
// usage index: copied as is when the types are equal, converted between the
// FLOAT1..FLOAT4 types (missing components 0, w 1), zero otherwise or when the
// source lacks it. Faces, attributes and attribute table are copied.
HRESULT MeshClone(const MeshData& source, DWORD options, const D3DVERTEXELEMENT9* decl, MeshData* out);

// Computes the normals (FLOAT3 normal, usage index 0) of the mesh: each
// vertex gets the normalised sum of the normals of the faces that use that
// vertex (index), each weighted by the face's angle at the vertex. Vertices
// are matched by index only, not by position, so a split vertex keeps a hard
// edge. Degenerate faces add nothing; a vertex without any face gets (0, 0, 0).
// The adjacency argument is accepted for the caller's convenience and not
// used. D3DERR_INVALIDCALL when the layout has no FLOAT3 normal.
HRESULT MeshComputeNormals(MeshData* mesh, const DWORD* adjacency);

// Tangent frames are not offered: the program's layouts have no tangent.
HRESULT MeshComputeTangentFrame(MeshData* mesh, DWORD options);

// Adjacency: three entries per face, entry 3f+e is the face across edge e
// (corners e and e+1) of face f, or kNoAdjacentFace. Two edges are shared
// when their end positions are equal within epsilon in each coordinate and
// they run in opposite directions; where more than two faces meet at an edge
// the first two found are paired. epsilon < 0 is E_INVALIDARG.
HRESULT MeshGenerateAdjacency(const MeshData& mesh, float epsilon, DWORD* adjacency);
