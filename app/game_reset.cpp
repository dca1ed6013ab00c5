#include "app/game_reset.h"

#include <cstring>

#include "app/cube_state.h"
#include "app/hud_state.h"
#include "app/model_hooks.h"
#include "app/quarter_turns.h"
#include "app/turn_animation.h"
#include "common/fwmisc.h"
#include "platform/crt_rand.h"

void ResetGameState() {
    std::memset(g_strTimeText, 0, sizeof(g_strTimeText));
    std::memset(g_strMovesText, 0, sizeof(g_strMovesText));

    g_fAngleY = 0.0f;
    g_fAngleX = 0.0f;
    g_fAngleZ = 0.0f;
    for (CubeletPose& pose : g_CubeletPose) {
        pose.fRestAngleY = pose.fRestAngleX = pose.fRestAngleZ = 0.0f;
        pose.fAngleY = pose.fAngleX = pose.fAngleZ = 0.0f;
    }

    for (int32_t& step : g_nSeqStep) step = 0;

    g_bTurning = false;
    g_fTurnSpeed = kDefaultTurnSpeed;
    g_bShowCredits = false;
    g_nMoves = 0;

    if (g_CubeModelHooks.pfnSetSpeedSlider != nullptr) g_CubeModelHooks.pfnSetSpeedSlider(kDefaultSpeedSliderValue);

    for (bool& running : g_bTurnRunning) running = false;

    for (int32_t i = 0; i < kCubeletCount; ++i) g_pSlot[i] = &g_CubeletPose[i];
}

void ResetCube() {
    for (int32_t k = 0; k < kCubeletCount; ++k) {
        FaceMaterial* faces = CubeletFaces(k);
        for (int32_t j = 0; j < kFaceSlotCount; ++j) faces[j] = g_InitialMaterials[k][j];
    }
    ResetGameState();
    FWGetGlobalTimer()->Reset();
}

int32_t MixTurnForDraw(int32_t r) {
    float x = static_cast<float>(r) * 1.0f;
    x = x / 32767.0f;
    x = x * 18.0f;
    return static_cast<int32_t>(x);
}

void MixCube() {
    // The thousand turns move 156 small place numbers; the materials are
    // then copied once each into where the turns have taken them.
    uint8_t origin[kFacePlaceCount];
    for (int32_t p = 0; p < kFacePlaceCount; ++p) origin[p] = static_cast<uint8_t>(p);
    for (int32_t pass = 0; pass < kMixDraws; ++pass) {
        const int32_t t = MixTurnForDraw(CrtRand());
        if (t >= 0 && t < kModelTurnCount) CommitQuarterTurnToPlaces(t, origin);
    }
    FaceMaterial before[kFacePlaceCount];
    for (int32_t p = 0; p < kFacePlaceCount; ++p) before[p] = CubeletFaces(p / kFaceSlotCount)[p % kFaceSlotCount];
    for (int32_t p = 0; p < kFacePlaceCount; ++p) CubeletFaces(p / kFaceSlotCount)[p % kFaceSlotCount] = before[origin[p]];

    g_nMoves = 0;
    FWGetGlobalTimer()->Reset();
}
