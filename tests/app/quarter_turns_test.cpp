// The eighteen quarter turns as sticker cycles, checked against the geometry
// of the cube: each turn must move every material of its layer to the
// cubelet and face that the rotation carries it to, and nothing else.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model_fixture.h"

namespace model_test {
namespace {

struct Int3 {
    int x, y, z;
    bool operator==(const Int3&) const = default;
};

// The cube as this test sees it: cubelet numbers follow the codes XYZ in
// ascending order, skipping the hidden centre 222; cell = (X-2, 2-Y, Z-2).
std::array<Int3, kCubeletCount> Cells() {
    std::array<Int3, kCubeletCount> cells{};
    int k = 0;
    for (int x = 1; x <= 3; ++x)
        for (int y = 1; y <= 3; ++y)
            for (int z = 1; z <= 3; ++z)
                if (!(x == 2 && y == 2 && z == 2)) cells[k++] = {x - 2, 2 - y, z - 2};
    return cells;
}

int CubeletAt(const Int3& cell) {
    const auto cells = Cells();
    for (int k = 0; k < kCubeletCount; ++k)
        if (cells[k] == cell) return k;
    return -1;
}

// Slot directions: 0 +X, 1 -Z, 2 -Y, 3 +Z, 4 -X, 5 +Y.
constexpr Int3 kSlotDirection[kFaceSlotCount] = {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}};

int SlotFacing(const Int3& d) {
    for (int s = 0; s < kFaceSlotCount; ++s)
        if (kSlotDirection[s] == d) return s;
    return -1;
}

bool IsOutward(int k, int s) {
    const Int3 c = Cells()[k], d = kSlotDirection[s];
    return (d.x != 0 && d.x == c.x) || (d.y != 0 && d.y == c.y) || (d.z != 0 && d.z == c.z);
}

// A quarter rotation about a model axis (0 X, 1 Y, 2 Z) in the maths
// library's convention, applied to an integer row vector.
Int3 Rotate(const Int3& p, int axis, int sense) {
    D3DXMATRIX m;
    const float angle = sense * D3DX_PI / 2;
    if (axis == 0) D3DXMatrixRotationX(&m, angle);
    if (axis == 1) D3DXMatrixRotationY(&m, angle);
    if (axis == 2) D3DXMatrixRotationZ(&m, angle);
    const D3DXVECTOR3 v(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
    D3DXVECTOR3 r;
    D3DXVec3TransformNormal(&r, &v, &m);
    return {static_cast<int>(std::lround(r.x)), static_cast<int>(std::lround(r.y)), static_cast<int>(std::lround(r.z))};
}

int Coordinate(const Int3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// The model turns by their panel names: r and l turn the rows Y1-Y3 (top to
// bottom) in sense - and +, u and d the columns X1-X3 (left to right) in
// sense + and -, b and f the slices Z3-Z1 (back to front) in sense + and -.
struct TurnGeometry {
    const char* name;
    int axis;      // 0 X, 1 Y, 2 Z
    int sense;     // +1, -1
    int position;  // the layer's cell coordinate along the axis
};
constexpr TurnGeometry kTurns[kModelTurnCount] = {
    {"r1", 1, -1, +1}, {"r2", 1, -1, 0}, {"r3", 1, -1, -1}, {"l1", 1, +1, +1}, {"l2", 1, +1, 0}, {"l3", 1, +1, -1},
    {"u1", 0, +1, -1}, {"u2", 0, +1, 0}, {"u3", 0, +1, +1}, {"d1", 0, -1, -1}, {"d2", 0, -1, 0}, {"d3", 0, -1, +1},
    {"b1", 2, +1, +1}, {"b2", 2, +1, 0}, {"b3", 2, +1, -1}, {"f1", 2, -1, +1}, {"f2", 2, -1, 0}, {"f3", 2, -1, -1},
};

using QuarterTurnTest = CubeModelTest;

TEST_F(QuarterTurnTest, EachTurnMovesItsLayerAsTheRotationCarriesItAndNothingElse) {
    const auto cells = Cells();
    const Faces solved = TakeFaces();
    for (int k = 0; k < kModelTurnCount; ++k) {
        const TurnGeometry& g = kTurns[k];
        SCOPED_TRACE(testing::Message() << "model turn " << k << " (" << g.name << ")");
        PutFaces(solved);
        CommitQuarterTurn(k);
        const Faces after = TakeFaces();
        for (int i = 0; i < kCubeletCount; ++i) {
            const Int3 to = Rotate(cells[i], g.axis, g.sense);
            // Cubelets outside the layer, and the centre of an outer layer
            // (which the rotation leaves in its cell), keep their materials.
            const bool moves = Coordinate(cells[i], g.axis) == g.position && !(to == cells[i]);
            for (int s = 0; s < kFaceSlotCount; ++s) {
                const int j = moves ? CubeletAt(to) : i;
                const int t = moves ? SlotFacing(Rotate(kSlotDirection[s], g.axis, g.sense)) : s;
                ASSERT_GE(j, 0);
                ASSERT_GE(t, 0);
                EXPECT_TRUE(after.slot[j][t] == Tag(i, s)) << "slot " << s << " of cubelet " << i
                                                           << " should be in slot " << t << " of cubelet " << j;
            }
        }
    }
}

TEST_F(QuarterTurnTest, FourEqualTurnsAndEveryOppositePairRestoreTheCube) {
    const Faces solved = TakeFaces();
    for (int k = 0; k < kModelTurnCount; ++k) {
        for (int n = 1; n <= 4; ++n) {
            CommitQuarterTurn(k);
            EXPECT_EQ(TakeFaces() == solved, n == 4) << "turn " << k << " committed " << n << " times";
        }
    }
    const int pairs[][2] = {{0, 3}, {1, 4}, {2, 5}, {6, 9}, {7, 10}, {8, 11}, {12, 15}, {13, 16}, {14, 17}};
    for (const auto& p : pairs) {
        for (const bool reversed : {false, true}) {
            PutFaces(solved);
            CommitQuarterTurn(reversed ? p[1] : p[0]);
            CommitQuarterTurn(reversed ? p[0] : p[1]);
            EXPECT_TRUE(TakeFaces() == solved) << "pair " << p[0] << ", " << p[1];
        }
    }
}

TEST_F(QuarterTurnTest, NamedMovesOfTheSliceAndFrontTurns) {
    const Faces solved = TakeFaces();

    // r2 carries the front face centre to the right.
    CommitQuarterTurn(1);
    EXPECT_TRUE(CubeletFaces(21)[kSlotRight] == Tag(12, kSlotFront));

    // f3 carries the top of the top-left-front corner to the right, and keeps
    // every front face of the front slice on the front.
    PutFaces(solved);
    CommitQuarterTurn(17);
    EXPECT_TRUE(CubeletFaces(17)[kSlotRight] == Tag(0, kSlotTop));
    for (int k : {0, 3, 6, 9, 12, 14, 17, 20, 23}) {
        const FaceMaterial front = CubeletFaces(k)[kSlotFront];
        EXPECT_EQ(front.Diffuse.g, static_cast<float>(kSlotFront)) << "cubelet " << k;
    }
}

TEST_F(QuarterTurnTest, OutwardFacesStayOutwardUnderAnyTurns) {
    std::mt19937 random(20240601u);
    std::uniform_int_distribution<int> anyTurn(0, kModelTurnCount - 1);
    for (int n = 0; n < 500; ++n) CommitQuarterTurn(anyTurn(random));

    int outward = 0;
    for (int k = 0; k < kCubeletCount; ++k) {
        for (int s = 0; s < kFaceSlotCount; ++s) {
            const FaceMaterial& m = CubeletFaces(k)[s];
            const int from = static_cast<int>(m.Diffuse.r), fromSlot = static_cast<int>(m.Diffuse.g);
            EXPECT_EQ(IsOutward(k, s), IsOutward(from, fromSlot)) << "slot " << s << " of cubelet " << k;
            outward += IsOutward(k, s) ? 1 : 0;
        }
    }
    EXPECT_EQ(outward, 54);
}

TEST_F(QuarterTurnTest, InvalidCyclesAndTurnsChangeNothing) {
    const Faces solved = TakeFaces();
    const int cycles[][4] = {{0, 0, 1, 2}, {0, 1, 2, 1}, {-1, 1, 2, 3}, {0, 1, 2, 26}};
    for (const auto& c : cycles) CycleFaceMaterials(CubeAxis::Y, TurnSense::Plus, c[0], c[1], c[2], c[3]);
    CommitQuarterTurn(-1);
    CommitQuarterTurn(kModelTurnCount);
    EXPECT_TRUE(TakeFaces() == solved);
}

}  // namespace
}  // namespace model_test
