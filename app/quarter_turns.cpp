#include "app/quarter_turns.h"

#include <array>

namespace {

// The slot permutation of one axis and sense: sigma maps a slot to the slot
// its material occupies after the turn; cycle lists the slots t of cubelet d
// in the order their 4-cycles of materials are moved (the four moving slots,
// then the two fixed ones) with the inverse of sigma beside it.
struct SlotPermutation {
    std::array<int32_t, kFaceSlotCount> sigma;
    std::array<int32_t, kFaceSlotCount> inverse;
    std::array<int32_t, kFaceSlotCount> order;
};

// A permutation from its 4-cycle s0 -> s1 -> s2 -> s3 -> s0 and fixed slots f0, f1.
constexpr SlotPermutation MakePermutation(int32_t s0, int32_t s1, int32_t s2, int32_t s3, int32_t f0, int32_t f1) {
    SlotPermutation p{};
    const int32_t cycle[4] = {s0, s1, s2, s3};
    for (int32_t i = 0; i < 4; ++i) p.sigma[cycle[i]] = cycle[(i + 1) % 4];
    p.sigma[f0] = f0;
    p.sigma[f1] = f1;
    for (int32_t s = 0; s < kFaceSlotCount; ++s) p.inverse[p.sigma[s]] = s;
    p.order = {s0, s1, s2, s3, f0, f1};
    return p;
}

// Index: axis * 2 + (sense == Minus).
constexpr std::array<SlotPermutation, 6> kPermutations = {
    MakePermutation(1, 5, 3, 2, 0, 4),  // X +
    MakePermutation(1, 2, 3, 5, 0, 4),  // X -
    MakePermutation(0, 1, 4, 3, 2, 5),  // Y +
    MakePermutation(0, 3, 4, 1, 2, 5),  // Y -
    MakePermutation(0, 5, 4, 2, 1, 3),  // Z +
    MakePermutation(0, 2, 4, 5, 1, 3),  // Z -
};

constexpr const SlotPermutation& Permutation(CubeAxis axis, TurnSense sense) {
    return kPermutations[static_cast<size_t>(axis) * 2 + (sense == TurnSense::Minus ? 1 : 0)];
}

constexpr CubeAxis X = CubeAxis::X;
constexpr CubeAxis Y = CubeAxis::Y;
constexpr CubeAxis Z = CubeAxis::Z;
constexpr TurnSense P = TurnSense::Plus;
constexpr TurnSense M = TurnSense::Minus;

constexpr ModelTurn kModelTurns[kModelTurnCount] = {
    {Y, M, 1, {0, 17, 19, 2}, {1, 9, 18, 11}},      // 0 r1
    {Y, M, 2, {5, 3, 20, 22}, {13, 4, 12, 21}},     // 1 r2
    {Y, M, 3, {8, 6, 23, 25}, {16, 7, 14, 24}},     // 2 r3
    {Y, P, 1, {0, 2, 19, 17}, {1, 11, 18, 9}},      // 3 l1
    {Y, P, 2, {3, 5, 22, 20}, {4, 13, 21, 12}},     // 4 l2
    {Y, P, 3, {6, 8, 25, 23}, {7, 16, 24, 14}},     // 5 l3
    {X, P, 1, {0, 2, 8, 6}, {1, 5, 7, 3}},          // 6 u1
    {X, P, 2, {14, 9, 11, 16}, {12, 10, 13, 15}},   // 7 u2
    {X, P, 3, {23, 17, 19, 25}, {20, 18, 22, 24}},  // 8 u3
    {X, M, 1, {2, 0, 6, 8}, {5, 1, 3, 7}},          // 9 d1
    {X, M, 2, {9, 14, 16, 11}, {10, 12, 15, 13}},   // 10 d2
    {X, M, 3, {17, 23, 25, 19}, {18, 20, 24, 22}},  // 11 d3
    {Z, P, 3, {19, 2, 8, 25}, {11, 5, 16, 22}},     // 12 b1
    {Z, P, 2, {18, 1, 7, 24}, {10, 4, 15, 21}},     // 13 b2
    {Z, P, 1, {17, 0, 6, 23}, {9, 3, 14, 20}},      // 14 b3
    {Z, M, 3, {2, 19, 25, 8}, {5, 11, 22, 16}},     // 15 f1
    {Z, M, 2, {1, 18, 24, 7}, {4, 10, 21, 15}},     // 16 f2
    {Z, M, 1, {0, 17, 23, 6}, {3, 9, 20, 14}},      // 17 f3
};

// Every quadruple lies in its turn's layer, and the two quadruples of a turn
// are disjoint.
constexpr bool QuadruplesLieInTheirLayers() {
    for (const ModelTurn& t : kModelTurns) {
        for (int32_t i = 0; i < 4; ++i) {
            if (CubeletDigit(t.anFirst[i], t.axis) != t.nLayer) return false;
            if (CubeletDigit(t.anSecond[i], t.axis) != t.nLayer) return false;
            for (int32_t j = 0; j < 4; ++j)
                if (t.anFirst[i] == t.anSecond[j]) return false;
        }
    }
    return true;
}
static_assert(QuadruplesLieInTheirLayers(), "each quadruple lies in its turn's layer");

bool IsCubelet(int32_t k) { return k >= 0 && k < kCubeletCount; }

// One 4-cycle of places (6 * cubelet + slot): the content of place[1] moves
// to place[0], place[2] to place[1], place[3] to place[2] and place[0] to
// place[3].
struct PlaceCycle {
    uint8_t place[4];
};
using CycleSet = std::array<PlaceCycle, kFaceSlotCount>;

// The six 4-cycles of CycleFaceMaterials, one per slot t1 of cubelet d with
// t(n+1) = sigma^-1(t(n)): d[t1] <- c[t2] <- b[t3] <- a[t4] <- d[t1]. The
// four moving slots come first, the two fixed ones last.
constexpr CycleSet CyclesOf(CubeAxis axis, TurnSense sense, int32_t a, int32_t b, int32_t c, int32_t d) {
    const SlotPermutation& perm = Permutation(axis, sense);
    CycleSet cycles{};
    for (size_t i = 0; i < cycles.size(); ++i) {
        const int32_t t1 = perm.order[i];
        const int32_t t2 = perm.inverse[static_cast<size_t>(t1)];
        const int32_t t3 = perm.inverse[static_cast<size_t>(t2)];
        const int32_t t4 = perm.inverse[static_cast<size_t>(t3)];
        cycles[i] = {{static_cast<uint8_t>(6 * d + t1), static_cast<uint8_t>(6 * c + t2),
                      static_cast<uint8_t>(6 * b + t3), static_cast<uint8_t>(6 * a + t4)}};
    }
    return cycles;
}

// The twelve cycles of each model turn: its first quadruple's, then its
// second's.
using TurnCycles = std::array<PlaceCycle, 2 * kFaceSlotCount>;
constexpr std::array<TurnCycles, kModelTurnCount> BuildTurnCycles() {
    std::array<TurnCycles, kModelTurnCount> all{};
    for (int32_t k = 0; k < kModelTurnCount; ++k) {
        const ModelTurn& t = kModelTurns[k];
        const CycleSet first = CyclesOf(t.axis, t.sense, t.anFirst[0], t.anFirst[1], t.anFirst[2], t.anFirst[3]);
        const CycleSet second =
            CyclesOf(t.axis, t.sense, t.anSecond[0], t.anSecond[1], t.anSecond[2], t.anSecond[3]);
        for (size_t i = 0; i < first.size(); ++i) {
            all[k][i] = first[i];
            all[k][first.size() + i] = second[i];
        }
    }
    return all;
}
constexpr std::array<TurnCycles, kModelTurnCount> kTurnCycles = BuildTurnCycles();

FaceMaterial& MaterialAt(uint8_t place) { return CubeletFaces(place / kFaceSlotCount)[place % kFaceSlotCount]; }

}  // namespace

const ModelTurn& GetModelTurn(int32_t k) {
    return kModelTurns[(k >= 0 && k < kModelTurnCount) ? k : 0];
}

void CycleFaceMaterials(CubeAxis axis, TurnSense sense, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (!IsCubelet(a) || !IsCubelet(b) || !IsCubelet(c) || !IsCubelet(d)) return;
    if (a == b || a == c || a == d || b == c || b == d || c == d) return;

    // Each material is copied whole, through one spare.
    for (const PlaceCycle& cycle : CyclesOf(axis, sense, a, b, c, d)) {
        const FaceMaterial spare = MaterialAt(cycle.place[0]);
        MaterialAt(cycle.place[0]) = MaterialAt(cycle.place[1]);
        MaterialAt(cycle.place[1]) = MaterialAt(cycle.place[2]);
        MaterialAt(cycle.place[2]) = MaterialAt(cycle.place[3]);
        MaterialAt(cycle.place[3]) = spare;
    }
}

void CommitQuarterTurn(int32_t k) {
    if (k < 0 || k >= kModelTurnCount) return;
    const ModelTurn& t = kModelTurns[k];
    CycleFaceMaterials(t.axis, t.sense, t.anFirst[0], t.anFirst[1], t.anFirst[2], t.anFirst[3]);
    CycleFaceMaterials(t.axis, t.sense, t.anSecond[0], t.anSecond[1], t.anSecond[2], t.anSecond[3]);
}

void CommitQuarterTurnToPlaces(int32_t k, uint8_t (&places)[kFacePlaceCount]) {
    if (k < 0 || k >= kModelTurnCount) return;
    for (const PlaceCycle& cycle : kTurnCycles[static_cast<size_t>(k)]) {
        const uint8_t spare = places[cycle.place[0]];
        places[cycle.place[0]] = places[cycle.place[1]];
        places[cycle.place[1]] = places[cycle.place[2]];
        places[cycle.place[2]] = places[cycle.place[3]];
        places[cycle.place[3]] = spare;
    }
}
