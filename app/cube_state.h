// State of the cube puzzle: the 26 cubelets, their numbering, cells and
// layers, their face slots, their animation records and the global turn,
// counter and sequence state.
//
// Cubelets never move. Every cubelet keeps its cell for the life of the
// program; a quarter turn is shown by rotating the cubelets of a layer
// (turn_animation.h) and then committed by moving face materials between
// cubelets (quarter_turns.h). The puzzle state is therefore entirely the
// arrangement of the 26 x 6 face materials.
//
// Model space: left-handed, row vectors, the cube centred on the origin. A
// cubelet sits in cell (x, y, z), each of -1, 0, +1 in cubelet widths; the
// hidden centre (0, 0, 0) has no cubelet. In the home view the front of the
// cube is the -Z face, the top +Y and the right side +X.
//
// Numbering: cubelet k = 0 ... 25 has a three-digit code XYZ (each digit 1-3);
// the numbers follow the codes in ascending order and skip 222. The cell is
// x = X - 2, y = 2 - Y, z = Z - 2: the first digit runs left to right, the
// second top to bottom, the third front to back.
//
// Face slots: slot j = 0 ... 5 of a cubelet faces a fixed model direction:
// 0 +X (right), 1 -Z (front), 2 -Y (bottom), 3 +Z (back), 4 -X (left),
// 5 +Y (top).
//
// Everything here is plain global state, zero-filled at program start except
// where noted, and used only on the window thread.
#pragma once

#include <cstdint>

#include "platform/device_types.h"
#include "platform/maths.h"
#include "platform/types.h"

// One face colour of a cubelet, copied whole (68 bytes).
using FaceMaterial = D3DMATERIAL9;

constexpr int32_t kCubeletCount = 26;
constexpr int32_t kFaceSlotCount = 6;
constexpr int32_t kModelTurnCount = 18;
constexpr int32_t kSequenceCount = 10;

// Face slot numbers.
constexpr int32_t kSlotRight = 0;   // +X
constexpr int32_t kSlotFront = 1;   // -Z
constexpr int32_t kSlotBottom = 2;  // -Y
constexpr int32_t kSlotBack = 3;    // +Z
constexpr int32_t kSlotLeft = 4;    // -X
constexpr int32_t kSlotTop = 5;     // +Y

// The cubelet codes in number order.
constexpr int32_t kCubeletCodes[kCubeletCount] = {111, 112, 113, 121, 122, 123, 131, 132, 133, 211, 212, 213, 221,
                                                  223, 231, 232, 233, 311, 312, 313, 321, 322, 323, 331, 332, 333};

// The model axes. A layer is named by its axis and the code digit (1-3) of
// that axis: X1 left, X3 right, Y1 top, Y3 bottom, Z1 front, Z3 back.
enum class CubeAxis : uint8_t { X = 0, Y = 1, Z = 2 };

// Code digit 1-3 of cubelet k along an axis.
constexpr int32_t CubeletDigit(int32_t k, CubeAxis axis) {
    const int32_t code = kCubeletCodes[k];
    switch (axis) {
        case CubeAxis::X: return code / 100;
        case CubeAxis::Y: return code / 10 % 10;
        case CubeAxis::Z: return code % 10;
    }
    return 0;
}

// The cubelets of one layer in ascending number order: nine for an outer
// layer (its centre included), eight for a middle one.
struct CubeLayer {
    int32_t nCount;
    int32_t anCubelet[9];
};
// The layer of an axis and code digit; nDigit must be 1 ... 3.
const CubeLayer& GetCubeLayer(CubeAxis axis, int32_t nDigit);

struct Cubelet {
    // The mesh file's full path as found by the media search.
    wchar_t m_strMeshFilename[MAX_PATH];
    // Storage of the six face slots. Read and write them only through
    // CubeletFaces(); when the cubelet gets its mesh, the mesh's material
    // array takes this place and CubeletFaces() returns it instead.
    FaceMaterial m_FaceStore[kFaceSlotCount];
    // World matrix, rebuilt by every frame move from the cubelet's pose.
    D3DXMATRIX m_mWorld;
};

// Animation record of a cubelet.
struct CubeletPose {
    int32_t nCode;             // 111 ... 333, set once at device creation
    D3DXVECTOR3 vOffset;       // translation of the mesh; always zero
    float fAngleY, fAngleX, fAngleZ;              // current rotation, radians
    float fRestAngleY, fRestAngleX, fRestAngleZ;  // rest rotation; always zero
};

extern Cubelet m_Cube[kCubeletCount];
extern CubeletPose g_CubeletPose[kCubeletCount];
// Slot i refers to g_CubeletPose[i]: set so from program start and again by
// every ResetGameState; nothing re-points a slot.
extern CubeletPose* g_pSlot[kCubeletCount];
// The colours of the mesh files as loaded, [cubelet][slot]; the Reset
// command copies them back.
extern FaceMaterial g_InitialMaterials[kCubeletCount][kFaceSlotCount];

// Turn state.
extern bool g_bTurnRunning[kModelTurnCount];  // model turn k is animating
extern bool g_bTurning;                       // some turn is animating
extern float g_fAngleY, g_fAngleX, g_fAngleZ; // angle of the running turn
extern float g_fTurnSpeed;                    // radians per second

// Counters and sequences.
extern int32_t g_nMoves;  // the move counter of the head-up display
// Step counter of solving sequence n = 1 ... 10 at index n - 1; 0 is idle.
extern int32_t g_nSeqStep[kSequenceCount];

// The model world matrix: the identity after every frame move.
extern D3DXMATRIX matWorld;
// View orientation of the last rendered frame, derived from the camera's
// world matrix W by SetViewOrientation(). Until the first frame is rendered
// they describe the home view (W = identity).
extern D3DXMATRIX g_mOrient;   // W
extern D3DXMATRIX g_mOrientY;  // W x rotation-y(-pi/2)
extern D3DXMATRIX g_mOrientX;  // W x rotation-x(+pi/2)

// The six face slots of cubelet k (0 ... 25), slots 0 ... 5 consecutive.
// This is the only way the model reaches a cubelet's faces, so moving the
// faces into the cubelet's mesh changes this function and nothing else.
inline FaceMaterial* CubeletFaces(int32_t k) { return m_Cube[k].m_FaceStore; }

// The render step's derivation of the view-orientation matrices from the
// camera's world matrix: g_mOrient := W, g_mOrientY := W x rotation-y(-pi/2),
// g_mOrientX := W x rotation-x(+pi/2), with the single-precision angles
// -1.5707964 and +1.5707964. The frame render calls it every frame before it
// draws anything.
void SetViewOrientation(const D3DXMATRIX& mCameraWorld);
