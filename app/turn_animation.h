// Turn animation: starting quarter turns, mapping the panel buttons through
// the view, and advancing the running turn every frame.
//
// Only one quarter turn animates at a time; a start request while one
// animates is ignored. The frame move advances the running turn's angle by
// elapsed time x g_fTurnSpeed; in the frame in which the angle reaches pi/2
// the layer snaps back to rest, the turn's permutation is committed
// (quarter_turns.h) and the sequencer's OnTurnFinished (sequencer.h) runs.
#pragma once

#include <cstdint>

#include "app/cube_state.h"

class IDirect3DDevice9;

// A model axis counts as pointing along a screen direction when the matching
// orientation element, in double precision, is above this or below its
// negative.
constexpr double kAxisThreshold = 0.71;
// pi/2 rounded to a 32-bit float, as a double: a turn is complete when its
// angle, as a double, is not below it.
constexpr double kQuarterTurnAngle = 1.5707963705062866;
// Radians per second after ResetGameState, and at slider value 50.
constexpr float kDefaultTurnSpeed = 3.0f;

// The eighteen buttons of the control panel by caption. A button names a row
// (r, l), column (u, d) or slice (f, b) as the user sees the cube, and the
// digit counts rows from the top, columns from the left and slices from the
// back. In the home view caption i produces model turn i.
enum class PanelCaption : uint8_t {
    r1, r2, r3,
    l1, l2, l3,
    u1, u2, u3,
    d1, d2, d3,
    b1, b2, b3,
    f1, f2, f3,
};
constexpr int32_t kPanelCaptionCount = 18;

// The caption of turn command nControlId (101-103 r, 201-203 l, 301-303 u,
// 401-403 d, 501-503 b, 601-603 f). False for any other identifier.
bool PanelCaptionForCommand(int32_t nControlId, PanelCaption* pCaption);

// Starts model turn k (0 ... 17) unless a turn is animating: sets its running
// flag and the busy flag, and zeroes the angle of its axis. Nothing moves
// until the next frame move. Any other k does nothing.
void StartModelTurn(int32_t k);

// Maps a panel button through the orientation of the last rendered frame
// (g_mOrient, g_mOrientY, g_mOrientX) to a model turn and starts it with
// StartModelTurn. Does nothing when the cube is seen so obliquely that the
// button's layer is not defined, or when a turn is animating. Does not count
// a move; the caller does.
void StartPanelTurn(PanelCaption caption);

// The application's frame-move callback. In this order: the camera's frame
// move (through g_CubeModelHooks), matWorld := identity, the advance of the
// running turn (with its completion: commit and OnTurnFinished), every
// cubelet's m_mWorld from its pose, and, when no turn runs, all running flags
// cleared. Only fElapsedTime is used. Allocates nothing.
void OnFrameMove(IDirect3DDevice9* pd3dDevice, double fTime, float fElapsedTime, void* pUserContext);

// The world matrix of a cubelet from its pose: the 3 x 3 part is
// rotation-y(fAngleY) x rotation-z(fAngleZ) x rotation-x(fAngleX), with sines
// and cosines taken in double precision and rounded to float and the
// products formed in float; the fourth row and column are those of mWorld.
D3DXMATRIX ComposePoseMatrix(const CubeletPose& pose, const D3DXMATRIX& mWorld);
