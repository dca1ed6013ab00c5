// The cube model's hot paths: the Mix command (1000 quarter turns applied at
// once) and the frame move with a running turn.
#include <benchmark/benchmark.h>

#include "app/cube_state.h"
#include "app/game_reset.h"
#include "app/turn_animation.h"

namespace {

void PrepareCube() {
    for (int32_t k = 0; k < kCubeletCount; ++k) {
        for (int32_t j = 0; j < kFaceSlotCount; ++j) {
            FaceMaterial m{};
            m.Diffuse = {static_cast<float>(k), static_cast<float>(j), 0.0f, 1.0f};
            CubeletFaces(k)[j] = m;
            g_InitialMaterials[k][j] = m;
        }
    }
    ResetGameState();
}

void BM_MixCube(benchmark::State& state) {
    PrepareCube();
    for (auto _ : state) {
        MixCube();
        benchmark::DoNotOptimize(CubeletFaces(0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMixDraws);
}
BENCHMARK(BM_MixCube);

void BM_OnFrameMoveWithRunningTurn(benchmark::State& state) {
    PrepareCube();
    StartModelTurn(1);  // a middle layer
    for (auto _ : state) {
        // 1/60 s frames; the turn completes every 32nd frame and starts again.
        OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
        if (!g_bTurning) StartModelTurn(static_cast<int32_t>(state.iterations() % kModelTurnCount));
        benchmark::DoNotOptimize(m_Cube[0].m_mWorld);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OnFrameMoveWithRunningTurn);

}  // namespace
