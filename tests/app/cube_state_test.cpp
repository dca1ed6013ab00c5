// Cubelet numbering, layers, and the state the model has from program start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "model_fixture.h"

namespace model_test {
namespace {

TEST(CubeState, CubeletsAreNumberedByCodeSkippingTheHiddenCentreAndFormTheLayers) {
    std::vector<int32_t> codes;
    for (int x = 1; x <= 3; ++x)
        for (int y = 1; y <= 3; ++y)
            for (int z = 1; z <= 3; ++z)
                if (x * 100 + y * 10 + z != 222) codes.push_back(x * 100 + y * 10 + z);
    ASSERT_EQ(codes.size(), static_cast<size_t>(kCubeletCount));
    for (int32_t k = 0; k < kCubeletCount; ++k) EXPECT_EQ(kCubeletCodes[k], codes[k]) << k;

    const CubeAxis axes[3] = {CubeAxis::X, CubeAxis::Y, CubeAxis::Z};
    for (int a = 0; a < 3; ++a) {
        for (int digit = 1; digit <= 3; ++digit) {
            std::vector<int32_t> want;
            for (int32_t k = 0; k < kCubeletCount; ++k) {
                const int d[3] = {codes[k] / 100, codes[k] / 10 % 10, codes[k] % 10};
                if (d[a] == digit) want.push_back(k);
            }
            const CubeLayer& layer = GetCubeLayer(axes[a], digit);
            EXPECT_EQ(std::vector<int32_t>(layer.anCubelet, layer.anCubelet + layer.nCount), want)
                << "axis " << a << " layer " << digit;
        }
    }
}

TEST(CubeState, FaceSlotsAreSixConsecutiveMaterialsPerCubelet) {
    for (int32_t k = 0; k < kCubeletCount; ++k) {
        FaceMaterial* faces = CubeletFaces(k);
        for (int32_t j = 0; j < kFaceSlotCount; ++j) faces[j] = Tag(k, j);
    }
    for (int32_t k = 0; k < kCubeletCount; ++k)
        for (int32_t j = 0; j < kFaceSlotCount; ++j) EXPECT_TRUE(CubeletFaces(k)[j] == Tag(k, j)) << k << ", " << j;
}

// Run in a process of its own (the thread-safe death-test style starts the
// test program afresh), so that the state is what the program starts with.
TEST(CubeStateDeathTest, BeforeAnyResetOrRenderThePanelWorksInTheHomeViewAndFramesMove) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = true;
            for (int32_t i = 0; i < kCubeletCount; ++i) ok = ok && g_pSlot[i] == &g_CubeletPose[i];
            StartPanelTurn(PanelCaption::r1);
            ok = ok && g_bTurnRunning[0] && g_bTurning;
            g_fTurnSpeed = 3.0f;  // the application's reset sets it before the first frame
            OnFrameMove(nullptr, 0.0, 0.1f, nullptr);
            ok = ok && g_CubeletPose[0].fAngleY < 0.0f && g_CubeletPose[3].fAngleY == 0.0f;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace model_test
