// Test fixture of the cube model: a cube whose 156 face slots all hold
// different materials, in the home view, with the game state reset.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "app/cube_state.h"
#include "app/game_reset.h"
#include "app/model_hooks.h"
#include "app/quarter_turns.h"
#include "app/turn_animation.h"

namespace model_test {

// The materials of all 26 x 6 face slots.
struct Faces {
    std::array<std::array<FaceMaterial, kFaceSlotCount>, kCubeletCount> slot;
    bool operator==(const Faces& o) const { return std::memcmp(&slot, &o.slot, sizeof(slot)) == 0; }
};

// A material that names its original place.
inline FaceMaterial Tag(int32_t k, int32_t j) {
    FaceMaterial m{};
    m.Diffuse = {static_cast<float>(k), static_cast<float>(j), 0.25f, 1.0f};
    m.Power = static_cast<float>(1 + 6 * k + j);
    return m;
}

inline Faces TakeFaces() {
    Faces f;
    for (int32_t k = 0; k < kCubeletCount; ++k)
        for (int32_t j = 0; j < kFaceSlotCount; ++j) f.slot[k][j] = CubeletFaces(k)[j];
    return f;
}

inline void PutFaces(const Faces& f) {
    for (int32_t k = 0; k < kCubeletCount; ++k)
        for (int32_t j = 0; j < kFaceSlotCount; ++j) CubeletFaces(k)[j] = f.slot[k][j];
}

inline D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// The model turn that carries `before` to `after`, or -1 when none does.
inline int32_t CommittedTurn(const Faces& before, const Faces& after) {
    int32_t found = -1;
    for (int32_t k = 0; k < kModelTurnCount && found < 0; ++k) {
        PutFaces(before);
        CommitQuarterTurn(k);
        if (TakeFaces() == after) found = k;
    }
    PutFaces(after);
    return found;
}

// The running model turn, or -1; -2 when more than one flag is set.
inline int32_t RunningTurn() {
    int32_t running = -1;
    for (int32_t k = 0; k < kModelTurnCount; ++k) {
        if (!g_bTurnRunning[k]) continue;
        running = running == -1 ? k : -2;
    }
    return running;
}

class CubeModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_CubeModelHooks = CubeModelHooks{};
        for (int32_t k = 0; k < kCubeletCount; ++k) {
            for (int32_t j = 0; j < kFaceSlotCount; ++j) {
                CubeletFaces(k)[j] = Tag(k, j);
                g_InitialMaterials[k][j] = Tag(k, j);
            }
        }
        ResetGameState();
        SetViewOrientation(Identity());
    }
    void TearDown() override { g_CubeModelHooks = CubeModelHooks{}; }

    // Frame moves of dt seconds until no turn runs (at most maxFrames).
    // Returns the model turns committed, in order; a frame that committed
    // something no single turn explains records -1. Since playing stops at
    // the first idle frame, a series that pauses between turns shows up
    // cut short.
    struct Played {
        std::vector<int32_t> turns;
        int32_t frames = 0;
    };
    Played PlayUntilIdle(float dt = 1.0f / 60.0f, int32_t maxFrames = 5000) {
        Played played;
        while (g_bTurning && played.frames < maxFrames) {
            const Faces before = TakeFaces();
            OnFrameMove(nullptr, 0.0, dt, nullptr);
            ++played.frames;
            const Faces after = TakeFaces();
            if (!(after == before)) played.turns.push_back(CommittedTurn(before, after));
        }
        return played;
    }
};

}  // namespace model_test
