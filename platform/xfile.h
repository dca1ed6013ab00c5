// Parser of the text .x mesh file format.
//
// A file starts with the 16-byte header "xof 0302txt 0032" (version 0302 or
// 0303, format "txt ", float size 0032 or 0064; binary and compressed files
// are refused). What is read:
// - `template` declarations are skipped;
// - `Frame` objects, nested to any reasonable depth (at most 128), each with
//   an optional `FrameTransformMatrix` (16 numbers, row-vector convention: the
//   translation is in the fourth row). A mesh inside frames gets its frames'
//   matrices applied, innermost first: p * M_inner * ... * M_outer. Normals get
//   the inverse transpose and are renormalised;
// - `Mesh` objects (at top level or in frames): vertices, then faces as
//   polygons of 3 or more corners, each polygon turned into a triangle fan
//   (v0, vi, vi+1) with its winding kept;
// - inside a mesh: `MeshNormals` (normals with their own per-face index
//   lists, which must match the mesh's faces polygon by polygon),
//   `MeshTextureCoords` (one (u, v) per vertex) and `MeshMaterialList`
//   (material count, per-face material indices, then the materials, inline
//   `Material` objects or references `{ Name }` to named `Material` objects
//   anywhere in the file). Fewer face indices than faces: the remaining faces
//   take the last index given. Other objects (vertex colours, skin data,
//   animation, headers) are skipped;
// - `Material`: face colour RGBA, power, specular RGB, emissive RGB, and an
//   optional `TextureFilename { "name"; }`. The material record gets diffuse =
//   face colour, specular and emissive with alpha 1, ambient all zero (the
//   file has no ambient colour; the effects supply the light's ambient), and
//   power.
//
// Materials keep the order of the file: material j of a mesh's
// MeshMaterialList is material j of the mesh.
//
// The tokenizer treats ',' and ';' as separators wherever a list is read,
// accepts `//` and `#` comments, quoted strings, and numbers with sign,
// fraction and exponent. Every count and index is checked against the data
// actually present, so a malformed file fails with D3DXERR_INVALIDDATA and a
// message naming the line; no input can make the parser crash, loop or
// allocate more than a small multiple of the input size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_types.h"
#include "platform/maths.h"
#include "platform/result.h"

struct XMaterial {
    D3DMATERIAL9 material;
    std::string textureFilename;  // as written in the file; empty when none
};

struct XTriangle {
    uint32_t position[3];  // indices into XMesh::positions (and texCoords)
    uint32_t normal[3];    // indices into XMesh::normals; 0 when the mesh has none
    uint32_t material;     // index into XMesh::materials; 0 when the mesh has none
};

struct XMesh {
    std::string name;                    // the object's name, empty when unnamed
    int line = 0;                        // line where the Mesh object starts
    std::vector<D3DXVECTOR3> positions;  // with the enclosing frames' matrices applied
    std::vector<D3DXVECTOR3> normals;    // empty when the mesh has no MeshNormals
    std::vector<D3DXVECTOR2> texCoords;  // one per position, or empty
    std::vector<XTriangle> triangles;    // the polygons as fans, in file order
    uint32_t polygonCount = 0;           // faces as written in the file
    std::vector<XMaterial> materials;    // empty when the mesh has no MeshMaterialList

    bool HasNormals() const { return !normals.empty(); }
    bool HasTexCoords() const { return !texCoords.empty(); }
};

struct XFile {
    std::vector<XMesh> meshes;  // every Mesh object, in file order
};

// Parses a whole .x text file held in memory. On failure *out is left empty
// and *error (when given) holds "line N: what went wrong".
HRESULT XFileParse(const void* data, size_t size, XFile* out, std::string* error);

// Reads and parses the file at a native path; messages start with the path.
HRESULT XFileLoad(const std::string& path, XFile* out, std::string* error);
