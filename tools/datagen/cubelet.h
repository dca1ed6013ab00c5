// The 26 cubelet meshes of the puzzle.
//
// Model space: the cube is centred on the origin, one cubelet is one unit wide,
// the cubelet with code XYZ sits at the cell (X − 2, 2 − Y, Z − 2). Every mesh is
// modelled at its cell, so the program draws it without an offset.
//
// Face slot j of a cubelet faces a fixed direction (0 +X, 1 −Z, 2 −Y, 3 +Z,
// 4 −X, 5 +Y); the sticker on that face is drawn with material j. Material 6 is
// the body. A slot that faces out of the cube carries the colour of that cube
// face; a slot that faces into the cube carries the body colour, so it looks
// like the body wherever the turns take it (inward slots stay inward).
#pragma once

#include "tools/datagen/vec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

constexpr int kSlotCount = 6;
constexpr int kBodyMaterial = 6;
constexpr int kMaterialCount = 7;

// Geometry, in cubelet widths.
constexpr double kBodyHalf = 0.47;        // half the body's width: a gap of 0.06 between cubelets
constexpr double kBodyBevel = 0.045;      // width of the rounded edges of the body
constexpr double kStickerHalf = 0.405;    // half the sticker's width
constexpr double kStickerRadius = 0.075;  // corner radius of the sticker
constexpr double kStickerHeight = 0.016;  // how far the sticker stands out of the body

// A material as the .x format stores it.
struct XMaterial {
    float r, g, b, a;        // face colour
    float power;             // specular power
    float sr, sg, sb;        // specular colour
    float er, eg, eb;        // emissive colour
    bool operator==(const XMaterial&) const = default;
};

// A mesh as the .x format stores it: one normal and one texture coordinate per
// vertex, faces as polygons with one material each.
struct XMesh {
    std::string name;
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<Vec2> texcoords;
    std::vector<std::vector<uint32_t>> faces;
    std::vector<uint32_t> faceMaterials;
    std::vector<XMaterial> materials;
};

// The 26 codes in cubelet order: 111, 112, ... 333 without 222.
const std::array<int, 26>& CubeletCodes();
// The cell of a code: x = X − 2, y = 2 − Y, z = Z − 2.
std::array<int, 3> CubeletCell(int code);
// Unit direction of face slot j.
std::array<int, 3> SlotDirection(int slot);
// Whether slot j of the cubelet with this code faces out of the cube.
bool SlotIsOutward(int code, int slot);
// The colour of the cube face in the direction of slot j (the solved puzzle).
const XMaterial& FaceMaterial(int slot);
const XMaterial& BodyMaterial();
// Material j (0–6) of the cubelet with this code.
XMaterial CubeletMaterial(int code, int j);
// A short name of the colour of face slot j ("red", "green", ...).
const char* FaceColourName(int slot);

// The mesh of one cubelet; "c" + code + ".x" is its file.
XMesh BuildCubelet(int code);
std::string CubeletFileName(int code);

// The text of a .x file holding the mesh.
std::string WriteXFile(const XMesh& mesh);

// Measurements of a built mesh, for the checks of the tests.
struct MeshSurvey {
    Vec3 boundsMin, boundsMax;
    // Per material: total area, area-weighted mean normal (of the face
    // geometry) and area-weighted centroid.
    std::array<double, kMaterialCount> area{};
    std::array<Vec3, kMaterialCount> meanNormal{};
    std::array<Vec3, kMaterialCount> centroid{};
    size_t triangleCount = 0;
    // Smallest dot product between a face's geometric normal (from its winding,
    // outward for clockwise faces seen from outside) and its vertex normals.
    double worstNormalAgreement = 1.0;
    // Largest deviation of a vertex normal's length from 1.
    double worstNormalLength = 0.0;
    // Whether every face index, normal index and material index is in range.
    bool indicesValid = true;
};
MeshSurvey SurveyMesh(const XMesh& mesh);

}  // namespace datagen
