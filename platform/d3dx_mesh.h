// Meshes: loading .x files, the mesh object (vertex and index buffers of
// the device, one attribute per face, an attribute table), optimising,
// cloning to another vertex layout, normals and adjacency, and drawing a
// subset.
//
// A mesh keeps its data in system memory (platform/mesh_data.h) and in a
// vertex and an index buffer of its device (managed pool: they survive a
// device reset), made at the first DrawSubset or GetVertexBuffer /
// GetIndexBuffer, so a mesh that is only loaded to be optimised and converted
// never costs the device anything. Writes go through LockVertexBuffer / LockIndexBuffer /
// LockAttributeBuffer; unlocking (unless D3DLOCK_READONLY) brings the device
// buffers and the subset table up to date. GetVertexBuffer / GetIndexBuffer
// hand out the device buffers for drawing; what is written into them directly
// is not seen by the mesh's own algorithms.
//
// Drawing subset j (DrawSubset) draws every face whose attribute is j (by the
// attribute table after an attribute sort, by the attribute buffer otherwise)
// with the mesh's vertex declaration, stream 0 and indices set on the device,
// through whatever program is current (an effect's pass). It allocates
// nothing once the device buffers exist (after the first draw). A subset without faces draws nothing and succeeds; an index buffer
// left with an index beyond the vertices makes DrawSubset fail with
// D3DXERR_INVALIDMESH instead of drawing.
#pragma once

#include "platform/d3dx_buffer.h"
#include "platform/device.h"
#include "platform/maths.h"
#include "platform/mesh_data.h"

// The most elements a vertex layout has, end marker included.
constexpr int MAX_FVF_DECL_SIZE = MAXD3DDECLLENGTH + 1;

// A material of a loaded file: the colours and the texture file name as
// written in the file (null when none). The name points into the same buffer.
struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    char* pTextureFilename;
};

class ID3DXMesh : public RefCounted {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    // The flexible vertex format of the layout, 0 when it has none.
    virtual DWORD GetFVF() = 0;
    // Fills the layout, end marker included.
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** buffer) = 0;
    virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** buffer) = 0;

    virtual HRESULT LockVertexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    // 16-bit indices, or 32-bit with D3DXMESH_32BIT; three per face.
    virtual HRESULT LockIndexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // One attribute (subset id) per face. Writing it drops the attribute
    // table: subsets are then found from the attributes.
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;

    // table null: *size receives the entry count.
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) = 0;
    virtual HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) = 0;
    // Three entries per face (see MeshGenerateAdjacency).
    virtual HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;

    // flags: D3DXMESHOPT_* (see MeshOptimize). faceRemap: one entry per face;
    // vertexRemap (may be null) receives a buffer of one DWORD per vertex.
    virtual HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                    ID3DXBuffer** vertexRemap) = 0;
    // The same into a new mesh whose options are the D3DXMESH_* bits of flags.
    virtual HRESULT Optimize(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                             ID3DXBuffer** vertexRemap, ID3DXMesh** out) = 0;
    // A copy with other options and another layout (see MeshClone), on the
    // given device.
    virtual HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                              ID3DXMesh** out) = 0;
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** out) = 0;

    virtual HRESULT DrawSubset(DWORD attribId) = 0;
};

// Loads every mesh of a text .x file (see platform/xfile.h and MeshFromXFile
// in platform/mesh_data.h) into one mesh with the given options
// (D3DXMESH_MANAGED, D3DXMESH_32BIT, ...). Out arguments may be null except
// mesh: adjacency (three DWORDs per face), materials (an array of
// D3DXMATERIAL in file order, with their texture names), effect instances
// (always null: the format has none) and the material count. A missing or
// malformed file fails with D3DXERR_INVALIDDATA (a file without faces with
// D3DXERR_LOADEDMESHASNODATA) and a line on the debugger output naming the
// file and the line of the fault.
HRESULT D3DXLoadMeshFromX(const wchar_t* path, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                          ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                          ID3DXMesh** mesh);
// The same from the text of a .x file in memory.
HRESULT D3DXLoadMeshFromXInMemory(const void* data, DWORD size, DWORD options, IDirect3DDevice9* device,
                                  ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh);

// An empty mesh (zeroed vertices and indices, attributes 0).
HRESULT D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                       IDirect3DDevice9* device, ID3DXMesh** mesh);
HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                          ID3DXMesh** mesh);

// Recomputes the normals of a mesh whose layout has a FLOAT3 normal (see
// MeshComputeNormals); the adjacency may be null.
HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* adjacency);

// Tangent frames are not offered on this platform (the program's layouts have
// no tangent): always E_NOTIMPL, *out null.
HRESULT D3DXComputeTangentFrameEx(ID3DXMesh* mesh, DWORD textureInSemantic, DWORD textureInIndex,
                                  DWORD uPartialOutSemantic, DWORD uPartialOutIndex, DWORD vPartialOutSemantic,
                                  DWORD vPartialOutIndex, DWORD normalOutSemantic, DWORD normalOutIndex,
                                  DWORD options, const DWORD* adjacency,
                                  FLOAT partialEdgeThreshold, FLOAT singularPointThreshold,
                                  FLOAT normalEdgeThreshold, ID3DXMesh** out, ID3DXBuffer** vertexMapping);

// The layout of a flexible vertex format (end marker included);
// D3DERR_INVALIDCALL for bits the layer does not know.
HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]);
// The flexible vertex format of a layout; D3DERR_INVALIDCALL when it has none.
HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf);
