// The eighteen model quarter turns as sticker cycles.
//
// A quarter turn rotates one layer by 90 degrees about a model axis, in sense
// + (about Y, +Z goes to +X; about X, +Y to +Z; about Z, +X to +Y) or -.
// Committing it permutes face materials: each cubelet of the layer receives
// the six materials of the cubelet that the turn carries into its cell, with
// the slots rotated as the turn rotates the faces. Cubelets themselves never
// move.
//
// Model turn k = 0 ... 17, named by the panel button that produces it in the
// home view:
//   k  0- 2  r1 r2 r3   layers Y1 Y2 Y3, Y-   (front moves right)
//   k  3- 5  l1 l2 l3   layers Y1 Y2 Y3, Y+   (front moves left)
//   k  6- 8  u1 u2 u3   layers X1 X2 X3, X+   (front moves up)
//   k  9-11  d1 d2 d3   layers X1 X2 X3, X-   (front moves down)
//   k 12-14  b1 b2 b3   layers Z3 Z2 Z1, Z+   (counter-clockwise from the front)
//   k 15-17  f1 f2 f3   layers Z3 Z2 Z1, Z-   (clockwise from the front)
#pragma once

#include <cstdint>

#include "app/cube_state.h"

enum class TurnSense : int8_t { Plus = +1, Minus = -1 };

struct ModelTurn {
    CubeAxis axis;
    TurnSense sense;
    int32_t nLayer;          // code digit 1-3 of the layer along the axis
    int32_t anFirst[4];      // corners, or the four edges of a middle layer
    int32_t anSecond[4];     // edges, or the four face centres of a middle layer
};

// Model turn k; k must be 0 ... 17.
const ModelTurn& GetModelTurn(int32_t k);

// One 4-cycle of whole cubelets with their slots rotated: for every slot s the
// material in slot s of a goes to slot sigma(s) of b, b's to c, c's to d and
// d's to a. a, b, c, d must be four distinct cubelet numbers 0 ... 25;
// anything else changes nothing.
void CycleFaceMaterials(CubeAxis axis, TurnSense sense, int32_t a, int32_t b, int32_t c, int32_t d);

// Applies the permutation of model turn k (0 ... 17) at once: the cycle of its
// first quadruple, then of its second. Changes no angle, flag or counter.
// Any other k changes nothing.
void CommitQuarterTurn(int32_t k);

// Face places: place 6 * k + j is slot j of cubelet k.
constexpr int32_t kFacePlaceCount = kCubeletCount * kFaceSlotCount;

// Moves the entries of a table of the 156 face places exactly as
// CommitQuarterTurn(k) moves the materials. Starting from places[p] = p,
// after any series of such commits places[p] names the place whose material
// the same series of CommitQuarterTurn calls brings to p; so a long series
// is applied to the materials with one copy each (MixCube). Any other k
// changes nothing.
void CommitQuarterTurnToPlaces(int32_t k, uint8_t (&places)[kFacePlaceCount]);
