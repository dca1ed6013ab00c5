#include "tools/datagen/cubelet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

using datagen::XMaterial;
using datagen::XMesh;

// The cubelet table: code, cell and the outward face slots, written out
// independently of the generator's rule.
struct CubeletRow {
    int code;
    int x, y, z;
    std::set<int> outward;
};
const CubeletRow kCubelets[] = {
    {111, -1, 1, -1, {4, 5, 1}}, {112, -1, 1, 0, {4, 5}},     {113, -1, 1, 1, {4, 5, 3}},  {121, -1, 0, -1, {4, 1}},
    {122, -1, 0, 0, {4}},        {123, -1, 0, 1, {4, 3}},     {131, -1, -1, -1, {4, 2, 1}}, {132, -1, -1, 0, {4, 2}},
    {133, -1, -1, 1, {4, 2, 3}}, {211, 0, 1, -1, {5, 1}},     {212, 0, 1, 0, {5}},         {213, 0, 1, 1, {5, 3}},
    {221, 0, 0, -1, {1}},        {223, 0, 0, 1, {3}},         {231, 0, -1, -1, {2, 1}},    {232, 0, -1, 0, {2}},
    {233, 0, -1, 1, {2, 3}},     {311, 1, 1, -1, {0, 5, 1}},  {312, 1, 1, 0, {0, 5}},      {313, 1, 1, 1, {0, 5, 3}},
    {321, 1, 0, -1, {0, 1}},     {322, 1, 0, 0, {0}},         {323, 1, 0, 1, {0, 3}},      {331, 1, -1, -1, {0, 2, 1}},
    {332, 1, -1, 0, {0, 2}},     {333, 1, -1, 1, {0, 2, 3}},
};
void PrintTo(const CubeletRow& row, std::ostream* os) { *os << "c" << row.code; }

const datagen::Vec3 kSlotDirections[6] = {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}};

TEST(CubeletTable, CodesCellsAndOutwardSlotsFollowTheTable) {
    const auto& codes = datagen::CubeletCodes();
    ASSERT_EQ(codes.size(), std::size(kCubelets));
    for (size_t k = 0; k < codes.size(); ++k) {
        const CubeletRow& row = kCubelets[k];
        SCOPED_TRACE(row.code);
        EXPECT_EQ(codes[k], row.code) << "cubelet number " << k;
        EXPECT_EQ(datagen::CubeletCell(row.code), (std::array<int, 3>{row.x, row.y, row.z}));
        for (int slot = 0; slot < 6; ++slot)
            EXPECT_EQ(datagen::SlotIsOutward(row.code, slot), row.outward.count(slot) == 1) << "slot " << slot;
        EXPECT_EQ(datagen::CubeletFileName(row.code), "c" + std::to_string(row.code) + ".x");
    }
}

TEST(CubeletColours, SixDistinctFaceColoursAndANearBlackBody) {
    const XMaterial& body = datagen::BodyMaterial();
    EXPECT_LT(std::max({body.r, body.g, body.b}), 0.1f);
    for (int a = 0; a < 6; ++a) {
        const XMaterial& m = datagen::FaceMaterial(a);
        EXPECT_EQ(m.a, 1.0f);
        EXPECT_GE(std::max({m.r, m.g, m.b}), 0.55f) << datagen::FaceColourName(a) << " is bright";
        EXPECT_FALSE(m == body);
        for (int b = a + 1; b < 6; ++b) {
            const XMaterial& n = datagen::FaceMaterial(b);
            float distance = std::abs(m.r - n.r) + std::abs(m.g - n.g) + std::abs(m.b - n.b);
            EXPECT_GT(distance, 0.3f) << datagen::FaceColourName(a) << " vs " << datagen::FaceColourName(b);
        }
    }
    // White on top (+Y), green in front (-Z), red on the right (+X).
    EXPECT_STREQ(datagen::FaceColourName(5), "white");
    EXPECT_STREQ(datagen::FaceColourName(1), "green");
    EXPECT_STREQ(datagen::FaceColourName(0), "red");
}

// Every edge, by position, used once in each direction: no holes, no T
// junctions, no flipped faces. Empty when the surface is sound.
std::string WindingProblem(const XMesh& mesh) {
    auto key = [&](uint32_t i) {
        const datagen::Vec3& p = mesh.positions[i];
        return std::array<long long, 3>{std::llround(p.x * 1e6), std::llround(p.y * 1e6), std::llround(p.z * 1e6)};
    };
    std::map<std::pair<std::array<long long, 3>, std::array<long long, 3>>, int> edges;
    for (const auto& face : mesh.faces)
        for (size_t k = 0; k < face.size(); ++k) ++edges[{key(face[k]), key(face[(k + 1) % face.size()])}];
    for (const auto& [edge, count] : edges) {
        if (count != 1) return "an edge used twice in one direction";
        auto reverse = edges.find({edge.second, edge.first});
        if (reverse == edges.end()) return "an open edge";
    }
    return "";
}

// Each mesh: materials by slot, geometry in its cell, stickers in their
// directions, consistent winding and normals.
class CubeletMesh : public ::testing::TestWithParam<CubeletRow> {};

TEST_P(CubeletMesh, MaterialsCarryTheFaceColourOfOutwardSlotsAndTheBodyColourInward) {
    const CubeletRow& row = GetParam();
    XMesh mesh = datagen::BuildCubelet(row.code);
    ASSERT_EQ(mesh.materials.size(), 7u);
    for (int slot = 0; slot < 6; ++slot) {
        const XMaterial& expected = row.outward.count(slot) ? datagen::FaceMaterial(slot) : datagen::BodyMaterial();
        EXPECT_TRUE(mesh.materials[slot] == expected) << "slot " << slot;
    }
    EXPECT_TRUE(mesh.materials[6] == datagen::BodyMaterial());
}

TEST_P(CubeletMesh, LiesInItsCellWithAGapAndEachStickerFacesItsSlotDirection) {
    const CubeletRow& row = GetParam();
    XMesh mesh = datagen::BuildCubelet(row.code);
    datagen::MeshSurvey s = datagen::SurveyMesh(mesh);
    ASSERT_TRUE(s.indicesValid);
    const double centre[3] = {double(row.x), double(row.y), double(row.z)};
    const double lo[3] = {s.boundsMin.x, s.boundsMin.y, s.boundsMin.z};
    const double hi[3] = {s.boundsMax.x, s.boundsMax.y, s.boundsMax.z};
    for (int axis = 0; axis < 3; ++axis) {
        // Inside the cell, leaving a gap to the neighbour, and not tiny.
        EXPECT_GT(lo[axis], centre[axis] - 0.495) << "axis " << axis;
        EXPECT_LT(hi[axis], centre[axis] + 0.495) << "axis " << axis;
        EXPECT_LT(lo[axis], centre[axis] - 0.45) << "axis " << axis;
        EXPECT_GT(hi[axis], centre[axis] + 0.45) << "axis " << axis;
    }
    const datagen::Vec3 c{centre[0], centre[1], centre[2]};
    for (int slot = 0; slot < 6; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        ASSERT_GT(s.area[slot], 0.5) << "a sticker of most of the face";
        EXPECT_GT(datagen::Dot(s.meanNormal[slot], kSlotDirections[slot]), 0.99);
        EXPECT_GT(datagen::Dot(s.centroid[slot] - c, kSlotDirections[slot]), datagen::kBodyHalf);
    }
    EXPECT_GT(s.area[6], 0.5);
    EXPECT_GT(s.worstNormalAgreement, 0.3) << "vertex normals point to the side the face is wound towards";
    EXPECT_LT(s.worstNormalLength, 1e-9);
    EXPECT_LE(s.triangleCount, 600u);
}

TEST_P(CubeletMesh, SurfaceIsClosedAndConsistentlyWound) {
    XMesh mesh = datagen::BuildCubelet(GetParam().code);
    EXPECT_EQ(WindingProblem(mesh), "");

    // The check sees a flipped face and a missing one.
    XMesh flipped = mesh;
    std::reverse(flipped.faces[7].begin(), flipped.faces[7].end());
    EXPECT_NE(WindingProblem(flipped), "");
    XMesh holed = mesh;
    holed.faces.pop_back();
    EXPECT_NE(WindingProblem(holed), "");
}

TEST_P(CubeletMesh, XFileTextHoldsTheMeshAndItsMaterialsInOrder) {
    const CubeletRow& row = GetParam();
    XMesh mesh = datagen::BuildCubelet(row.code);
    std::string text = datagen::WriteXFile(mesh);
    ASSERT_EQ(text.rfind("xof 0302txt 0032\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
    EXPECT_NE(text.find("Mesh Cubelet" + std::to_string(row.code) + " {\n  " + std::to_string(mesh.positions.size()) +
                        ";\n"),
              std::string::npos);
    for (const char* part : {"MeshNormals {", "MeshTextureCoords {", "MeshMaterialList {\n  7;\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;

    // The face colours of the materials, in file order.
    std::regex colour(R"(Material \{\n\s*([-0-9.]+);([-0-9.]+);([-0-9.]+);([-0-9.]+);;)");
    std::vector<std::array<float, 4>> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), colour); it != std::sregex_iterator(); ++it)
        found.push_back({std::stof((*it)[1]), std::stof((*it)[2]), std::stof((*it)[3]), std::stof((*it)[4])});
    ASSERT_EQ(found.size(), 7u);
    for (int j = 0; j < 7; ++j) {
        const XMaterial& m = mesh.materials[j];
        EXPECT_EQ(found[j], (std::array<float, 4>{m.r, m.g, m.b, m.a})) << "material " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(AllCubelets, CubeletMesh, ::testing::ValuesIn(kCubelets),
                         [](const ::testing::TestParamInfo<CubeletRow>& info) {
                             return "c" + std::to_string(info.param.code);
                         });

}  // namespace
