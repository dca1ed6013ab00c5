// The ten solving sequences and how they interleave.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/sequencer.h"
#include "model_fixture.h"

namespace model_test {
namespace {

// Panel captions such as "f3 l2" as the model turns they name in the home
// view (r1 ... f3 are turns 0 ... 17).
std::vector<int32_t> HomeTurns(const std::string& captions) {
    const std::string families = "rludbf";
    std::vector<int32_t> turns;
    std::istringstream in(captions);
    std::string c;
    while (in >> c) turns.push_back(static_cast<int32_t>(families.find(c[0]) * 3 + (c[1] - '1')));
    return turns;
}

using SequencerTest = CubeModelTest;

TEST_F(SequencerTest, EverySeriesPlaysItsCaptionsWithoutPauseAndCountsItsMoves) {
    const char* const series[kSequenceCount] = {
        "f3 l2 f3 r2",
        "d3 r3 u3",
        "r3 r3 f3 l3 b3",
        "b3 r3 f3 f3 l3 b3",
        "l3 d3 r3 u3 r3 f3 l3 b3",
        "r3 d1 l3 u1 l3 b3 r3 f3",
        "l1 f3 u3 l1 d3 r1 b3",
        "u3 r2 u3 r2 u3 r2 u3 r2",
        "f3 r3 f3 f3 r3 r3 f3 f3 l3 b3 l1 f3 r3 f3 f3 r3 r3 f3 f3 l3 b3 r1",
        "u3 b3 d3 f3 u3 b3 d3 f3",
    };
    for (int32_t n = 1; n <= kSequenceCount; ++n) {
        SCOPED_TRACE(testing::Message() << "sequence " << n);
        ResetGameState();
        StartSequence(n);
        EXPECT_EQ(g_nSeqStep[n - 1], 1);
        const std::vector<int32_t> want = HomeTurns(series[n - 1]);
        const Played played = PlayUntilIdle();
        EXPECT_EQ(played.turns, want);
        // 32 frames a turn at 1/60 s; a next turn numbered above the one that
        // completed already takes its first step in the completing frame.
        int32_t frames = 32;
        for (size_t i = 1; i < want.size(); ++i) frames += want[i] > want[i - 1] ? 31 : 32;
        EXPECT_EQ(played.frames, frames);
        EXPECT_EQ(g_nMoves, static_cast<int32_t>(want.size()));
        EXPECT_EQ(g_nSeqStep[n - 1], 0);
    }
}

TEST_F(SequencerTest, SequenceTwoFromTheHomeViewPlaysItsTurnsBackToBack) {
    StartSequence(2);
    EXPECT_EQ(RunningTurn(), 11);
    for (int i = 0; i < 31; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);  // d3 completes, r3 starts in the same frame
    EXPECT_EQ(RunningTurn(), 2);
    EXPECT_EQ(g_nSeqStep[1], 2);
    EXPECT_EQ(PlayUntilIdle().turns, std::vector<int32_t>({2, 8}));
    EXPECT_EQ(g_nMoves, 3);
}

TEST_F(SequencerTest, AtEachCompletionTheFirstRuleInPriorityOrderWins) {
    StartSequence(1);  // f3 starts
    for (int i = 0; i < 5; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    StartSequence(7);  // its l1 cannot start while f3 turns
    EXPECT_EQ(g_nMoves, 2);
    const Played played = PlayUntilIdle();
    // The rest of f3; f3 of sequence 7 (7:1 before 1:1); l2 f3 r2 (1:1 ...
    // 1:3 before 7:2); then u3 l1 d3 r1 b3. Sequence 7's first l1 never plays.
    EXPECT_EQ(played.turns, HomeTurns("f3 f3 l2 f3 r2 u3 l1 d3 r1 b3"));
    EXPECT_EQ(g_nMoves, 11);
}

TEST_F(SequencerTest, PressingARunningPictureAgainRestartsItsSeries) {
    StartSequence(2);
    for (int i = 0; i < 40; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);  // d3 done, r3 turning
    ASSERT_EQ(g_nSeqStep[1], 2);
    StartSequence(2);
    EXPECT_EQ(g_nSeqStep[1], 1);
    // r3 finishes, then the series goes on with its second turn again.
    EXPECT_EQ(PlayUntilIdle().turns, HomeTurns("r3 r3 u3"));
    EXPECT_EQ(g_nMoves, 5);
}

TEST_F(SequencerTest, ResetStopsASequenceAndMixDoesNot) {
    StartSequence(9);
    for (int i = 0; i < 70; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    ResetCube();
    EXPECT_EQ(g_nSeqStep[8], 0);
    EXPECT_FALSE(g_bTurning);
    const Faces afterReset = TakeFaces();
    for (int i = 0; i < 100; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    EXPECT_TRUE(TakeFaces() == afterReset);

    StartSequence(10);
    for (int i = 0; i < 40; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);  // u3 done, b3 turning
    MixCube();
    EXPECT_EQ(g_nSeqStep[9], 2);
    EXPECT_EQ(g_nMoves, 0);
    EXPECT_EQ(PlayUntilIdle().turns, HomeTurns("b3 d3 f3 u3 b3 d3 f3"));
    EXPECT_EQ(g_nMoves, 6);
}

TEST_F(SequencerTest, AStepThatCannotStartInAnObliqueViewIsLostButCounted) {
    StartSequence(2);  // d3
    for (int i = 0; i < 10; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    D3DXMATRIX oblique;
    D3DXMatrixRotationY(&oblique, D3DX_PI / 4);
    SetViewOrientation(oblique);
    EXPECT_EQ(PlayUntilIdle().turns, HomeTurns("d3"));
    EXPECT_EQ(g_nSeqStep[1], 2) << "the step r3 advanced the counter";
    EXPECT_EQ(g_nMoves, 2);

    // The sequence waits until another turn completes, then goes on after
    // the lost step.
    SetViewOrientation(Identity());
    StartModelTurn(13);
    EXPECT_EQ(PlayUntilIdle().turns, HomeTurns("b2 u3"));
    EXPECT_EQ(g_nMoves, 3);
}

TEST_F(SequencerTest, OnlyPicturesOneToTenExist) {
    for (int32_t n : {0, -1, 11, 801}) StartSequence(n);
    EXPECT_FALSE(g_bTurning);
    EXPECT_EQ(g_nMoves, 0);
    for (int32_t step : g_nSeqStep) EXPECT_EQ(step, 0);
}

}  // namespace
}  // namespace model_test
