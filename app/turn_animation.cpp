#include "app/turn_animation.h"

#include <cmath>

#include "app/model_hooks.h"
#include "app/quarter_turns.h"
#include "app/sequencer.h"

namespace {

// The angle global of a model axis.
float& TurnAngle(CubeAxis axis) {
    switch (axis) {
        case CubeAxis::X: return g_fAngleX;
        case CubeAxis::Y: return g_fAngleY;
        case CubeAxis::Z: break;
    }
    return g_fAngleZ;
}

float& PoseAngle(CubeletPose& pose, CubeAxis axis) {
    switch (axis) {
        case CubeAxis::X: return pose.fAngleX;
        case CubeAxis::Y: return pose.fAngleY;
        case CubeAxis::Z: break;
    }
    return pose.fAngleZ;
}

float RestAngle(const CubeletPose& pose, CubeAxis axis) {
    switch (axis) {
        case CubeAxis::X: return pose.fRestAngleX;
        case CubeAxis::Y: return pose.fRestAngleY;
        case CubeAxis::Z: break;
    }
    return pose.fRestAngleZ;
}

// Sine and cosine of a float angle, taken in double and rounded to float.
// Most cubelets are at rest, so a zero angle skips the library calls; the
// results are the same (the sine of -0 is -0, the cosine of either zero 1).
void SinCos(float angle, float* pSin, float* pCos) {
    if (angle == 0.0f) {
        *pSin = angle;
        *pCos = 1.0f;
        return;
    }
    *pSin = static_cast<float>(std::sin(static_cast<double>(angle)));
    *pCos = static_cast<float>(std::cos(static_cast<double>(angle)));
}

// A model axis along a screen direction: which one, and its sign there.
struct ScreenAxis {
    int32_t nAxis;  // 0 X, 1 Y, 2 Z; -1 when no axis qualifies
    int32_t nSign;  // +1 or -1
};

// The model axis whose component (given per axis, in double) passes the
// threshold.
ScreenAxis FindScreenAxis(const double (&component)[3]) {
    for (int32_t a = 0; a < 3; ++a) {
        if (component[a] > kAxisThreshold) return {a, +1};
        if (component[a] < -kAxisThreshold) return {a, -1};
    }
    return {-1, 0};
}

// Determinant of a 3 x 3 integer matrix.
int32_t Determinant(const int32_t (&m)[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The model turn of a panel button in the current view, or -1.
int32_t PanelCaptionToModelTurn(PanelCaption caption) {
    const int32_t index = static_cast<int32_t>(caption);
    if (index < 0 || index >= kPanelCaptionCount) return -1;
    const int32_t family = index / 3;  // 0 r, 1 l, 2 u, 3 d, 4 b, 5 f
    const int32_t n = index % 3 + 1;

    // Where the model axes point: away from the viewer (world +Z) and up
    // (world +Y). Each element is read from the orientation matrix of the
    // last frame that holds it and compared in double.
    const double depth[3] = {-static_cast<double>(g_mOrientY._11), -static_cast<double>(g_mOrientX._22),
                             static_cast<double>(g_mOrient._33)};
    const double height[3] = {static_cast<double>(g_mOrient._12), static_cast<double>(g_mOrientX._23),
                              static_cast<double>(g_mOrient._32)};
    const ScreenAxis depthAxis = FindScreenAxis(depth);
    if (depthAxis.nAxis < 0) return -1;

    int32_t axis = 0, sense = 0, u = 0;
    if (family >= 4) {
        // f and b: the slice along the line of sight.
        axis = depthAxis.nAxis;
        sense = (family == 4 ? +1 : -1) * depthAxis.nSign;
        u = depthAxis.nSign * (2 - n);
    } else {
        const ScreenAxis vertical = FindScreenAxis(height);
        if (vertical.nAxis < 0 || vertical.nAxis == depthAxis.nAxis) return -1;
        if (family <= 1) {
            // r and l: a row about the vertical axis.
            axis = vertical.nAxis;
            sense = (family == 1 ? +1 : -1) * vertical.nSign;
            u = vertical.nSign * (2 - n);
        } else {
            // u and d: a column about the third axis, signed so that the
            // rows depth -> (0, 0, s_d), vertical -> (0, s_v, 0),
            // horizontal -> (s_h, 0, 0) form a rotation.
            const int32_t horizontal = 3 - depthAxis.nAxis - vertical.nAxis;
            int32_t rows[3][3] = {};
            rows[depthAxis.nAxis][2] = depthAxis.nSign;
            rows[vertical.nAxis][1] = vertical.nSign;
            rows[horizontal][0] = 1;
            const int32_t horizontalSign = Determinant(rows);
            axis = horizontal;
            sense = (family == 2 ? +1 : -1) * horizontalSign;
            u = horizontalSign * (n - 2);
        }
    }

    const CubeAxis modelAxis = static_cast<CubeAxis>(axis);
    const int32_t layer = modelAxis == CubeAxis::Y ? 2 - u : u + 2;
    const TurnSense turnSense = sense > 0 ? TurnSense::Plus : TurnSense::Minus;
    for (int32_t k = 0; k < kModelTurnCount; ++k) {
        const ModelTurn& t = GetModelTurn(k);
        if (t.axis == modelAxis && t.sense == turnSense && t.nLayer == layer) return k;
    }
    return -1;
}

}  // namespace

bool PanelCaptionForCommand(int32_t nControlId, PanelCaption* pCaption) {
    const int32_t family = nControlId / 100;
    const int32_t n = nControlId % 100;
    if (pCaption == nullptr || family < 1 || family > 6 || n < 1 || n > 3) return false;
    *pCaption = static_cast<PanelCaption>((family - 1) * 3 + (n - 1));
    return true;
}

void StartModelTurn(int32_t k) {
    if (k < 0 || k >= kModelTurnCount) return;
    if (g_bTurnRunning[k] || g_bTurning) return;
    g_bTurnRunning[k] = true;
    g_bTurning = true;
    TurnAngle(GetModelTurn(k).axis) = 0.0f;
}

void StartPanelTurn(PanelCaption caption) {
    const int32_t k = PanelCaptionToModelTurn(caption);
    if (k >= 0) StartModelTurn(k);
}

D3DXMATRIX ComposePoseMatrix(const CubeletPose& pose, const D3DXMATRIX& mWorld) {
    float sy, cy, sx, cx, sz, cz;
    SinCos(pose.fAngleY, &sy, &cy);
    SinCos(pose.fAngleX, &sx, &cx);
    SinCos(pose.fAngleZ, &sz, &cz);

    D3DXMATRIX m = mWorld;
    m._11 = cy * cz;
    m._12 = cy * cx * sz + sy * sx;
    m._13 = cy * sx * sz - sy * cx;
    m._21 = -sz;
    m._22 = cx * cz;
    m._23 = sx * cz;
    m._31 = sy * cz;
    m._32 = sy * cx * sz - cy * sx;
    m._33 = sy * sx * sz + cy * cx;
    return m;
}

void OnFrameMove(IDirect3DDevice9* /*pd3dDevice*/, double /*fTime*/, float fElapsedTime, void* /*pUserContext*/) {
    // 1. The camera.
    if (g_CubeModelHooks.pfnCameraFrameMove != nullptr) g_CubeModelHooks.pfnCameraFrameMove(fElapsedTime);

    // 2. The model world matrix.
    D3DXMatrixIdentity(&matWorld);

    // 3. The running turn. A turn that OnTurnFinished starts here with a
    // higher number than the completed one gets its first advance in this
    // same pass.
    for (int32_t k = 0; k < kModelTurnCount; ++k) {
        if (!g_bTurnRunning[k]) continue;
        const ModelTurn& turn = GetModelTurn(k);
        const CubeLayer& layer = GetCubeLayer(turn.axis, turn.nLayer);
        float& angle = TurnAngle(turn.axis);
        const float step = fElapsedTime * g_fTurnSpeed;
        angle = angle + step;
        if (static_cast<double>(angle) < kQuarterTurnAngle) {
            for (int32_t i = 0; i < layer.nCount; ++i) {
                CubeletPose& pose = *g_pSlot[layer.anCubelet[i]];
                const float rest = RestAngle(pose, turn.axis);
                PoseAngle(pose, turn.axis) = turn.sense == TurnSense::Plus ? rest + angle : rest - angle;
            }
        } else {
            g_bTurning = false;
            for (int32_t i = 0; i < layer.nCount; ++i) {
                CubeletPose& pose = *g_pSlot[layer.anCubelet[i]];
                PoseAngle(pose, turn.axis) = RestAngle(pose, turn.axis);
            }
            CommitQuarterTurn(k);
            OnTurnFinished();
        }
    }

    // 4. The cubelets' world matrices from their poses.
    for (int32_t i = 0; i < kCubeletCount; ++i) {
        const CubeletPose& pose = *g_pSlot[i];
        D3DXMATRIX& world = m_Cube[i].m_mWorld;
        D3DXMatrixTranslation(&world, pose.vOffset.x, pose.vOffset.y, pose.vOffset.z);
        world = ComposePoseMatrix(pose, world);
    }

    // 5. No turn left running: no running flag either.
    if (!g_bTurning)
        for (bool& running : g_bTurnRunning) running = false;
}
