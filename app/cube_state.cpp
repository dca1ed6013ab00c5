#include "app/cube_state.h"

#include <array>

namespace {

constexpr float kQuarterAngleF = 1.5707964f;

using LayerTable = std::array<std::array<CubeLayer, 3>, 3>;

// The nine layers, gathered from the cubelet codes in number order.
constexpr LayerTable BuildLayers() {
    LayerTable layers{};
    for (int32_t a = 0; a < 3; ++a) {
        for (int32_t digit = 1; digit <= 3; ++digit) {
            CubeLayer& layer = layers[a][digit - 1];
            layer.nCount = 0;
            for (int32_t k = 0; k < kCubeletCount; ++k)
                if (CubeletDigit(k, static_cast<CubeAxis>(a)) == digit) layer.anCubelet[layer.nCount++] = k;
        }
    }
    return layers;
}

constexpr LayerTable kLayers = BuildLayers();

static_assert(kLayers[1][0].nCount == 9 && kLayers[1][1].nCount == 8 && kLayers[1][2].nCount == 9,
              "outer layers hold nine cubelets, middle layers eight");

struct ViewOrientation {
    D3DXMATRIX mOrient, mOrientY, mOrientX;
};

ViewOrientation DeriveViewOrientation(const D3DXMATRIX& w) {
    D3DXMATRIX rotY, rotX;
    D3DXMatrixRotationY(&rotY, -kQuarterAngleF);
    D3DXMatrixRotationX(&rotX, +kQuarterAngleF);
    ViewOrientation v;
    v.mOrient = w;
    D3DXMatrixMultiply(&v.mOrientY, &w, &rotY);
    D3DXMatrixMultiply(&v.mOrientX, &w, &rotX);
    return v;
}

ViewOrientation HomeViewOrientation() {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return DeriveViewOrientation(identity);
}

const ViewOrientation kHomeView = HomeViewOrientation();

}  // namespace

Cubelet m_Cube[kCubeletCount];
CubeletPose g_CubeletPose[kCubeletCount];
CubeletPose* g_pSlot[kCubeletCount] = {
    &g_CubeletPose[0],  &g_CubeletPose[1],  &g_CubeletPose[2],  &g_CubeletPose[3],  &g_CubeletPose[4],
    &g_CubeletPose[5],  &g_CubeletPose[6],  &g_CubeletPose[7],  &g_CubeletPose[8],  &g_CubeletPose[9],
    &g_CubeletPose[10], &g_CubeletPose[11], &g_CubeletPose[12], &g_CubeletPose[13], &g_CubeletPose[14],
    &g_CubeletPose[15], &g_CubeletPose[16], &g_CubeletPose[17], &g_CubeletPose[18], &g_CubeletPose[19],
    &g_CubeletPose[20], &g_CubeletPose[21], &g_CubeletPose[22], &g_CubeletPose[23], &g_CubeletPose[24],
    &g_CubeletPose[25]};
FaceMaterial g_InitialMaterials[kCubeletCount][kFaceSlotCount];

bool g_bTurnRunning[kModelTurnCount];
bool g_bTurning;
float g_fAngleY, g_fAngleX, g_fAngleZ;
float g_fTurnSpeed;

int32_t g_nMoves;
int32_t g_nSeqStep[kSequenceCount];

D3DXMATRIX matWorld;
D3DXMATRIX g_mOrient = kHomeView.mOrient;
D3DXMATRIX g_mOrientY = kHomeView.mOrientY;
D3DXMATRIX g_mOrientX = kHomeView.mOrientX;

const CubeLayer& GetCubeLayer(CubeAxis axis, int32_t nDigit) {
    const int32_t digit = (nDigit >= 1 && nDigit <= 3) ? nDigit : 2;
    return kLayers[static_cast<size_t>(axis)][static_cast<size_t>(digit - 1)];
}

void SetViewOrientation(const D3DXMATRIX& mCameraWorld) {
    const ViewOrientation v = DeriveViewOrientation(mCameraWorld);
    g_mOrient = v.mOrient;
    g_mOrientY = v.mOrientY;
    g_mOrientX = v.mOrientX;
}
