// Reset, mix, the move counter and the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "app/hud_state.h"
#include "app/sequencer.h"
#include "common/fwmisc.h"
#include "model_fixture.h"
#include "platform/clock.h"
#include "platform/crt_rand.h"

namespace model_test {
namespace {

// A test clock at the system clock's frequency, so that the global timer,
// whenever it was constructed, reads it in seconds.
int64_t g_fakeTicks = 0;
int64_t FakeCounter() { return g_fakeTicks; }
constexpr int64_t kTicksPerSecond = 1000000000;

class FakeClock {
public:
    FakeClock() {
        g_fakeTicks = 100 * kTicksPerSecond;
        PlatformSetCounterSource(&FakeCounter, kTicksPerSecond);
    }
    ~FakeClock() { PlatformSetCounterSource(nullptr, 0); }
    void Advance(double seconds) { g_fakeTicks += static_cast<int64_t>(seconds * kTicksPerSecond); }
};

// What a mix must do, worked out here from the generator's sequence with
// integer arithmetic: the turns floor(18 r / 32767) of 1000 draws, 18 being
// no turn, and the draw that follows them.
struct Draws {
    std::vector<int32_t> turns;
    int32_t next = 0;
};
Draws ReferenceDraws(uint32_t seed, bool seeded) {
    Draws d;
    std::thread([&] {
        if (seeded) CrtSrand(seed);
        for (int i = 0; i < kMixDraws; ++i) d.turns.push_back(18 * CrtRand() / 32767);
        d.next = CrtRand();
    }).join();
    return d;
}

// Runs a mix on a thread of its own, whose generator is fresh (state 1) or
// seeded; returns the draw that follows the mix on that thread.
int32_t MixOnFreshThread(uint32_t seed, bool seeded) {
    int32_t next = 0;
    std::thread([&] {
        if (seeded) CrtSrand(seed);
        MixCube();
        next = CrtRand();
    }).join();
    return next;
}

Faces ApplyTurns(const Faces& start, const std::vector<int32_t>& turns) {
    const Faces saved = TakeFaces();
    PutFaces(start);
    for (int32_t t : turns)
        if (t <= 17) CommitQuarterTurn(t);
    const Faces result = TakeFaces();
    PutFaces(saved);
    return result;
}

using GameResetTest = CubeModelTest;

TEST_F(GameResetTest, ResetGameStateClearsEverythingButTheFacesAndTheClock) {
    static std::vector<int32_t> s_slider;
    s_slider.clear();
    g_CubeModelHooks.pfnSetSpeedSlider = [](int32_t v) { s_slider.push_back(v); };
    FakeClock clock;
    FWGetGlobalTimer()->Reset();
    clock.Advance(42.0);

    StartModelTurn(13);
    for (int i = 0; i < 5; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    CommitQuarterTurn(4);
    const Faces faces = TakeFaces();
    StartSequence(6);
    g_fTurnSpeed = 0.375f;
    g_nMoves = 17;
    g_bShowCredits = true;
    g_fAngleX = g_fAngleY = 1.0f;
    for (int32_t i = 0; i < kCubeletCount; ++i) g_pSlot[i] = &g_CubeletPose[0];
    g_CubeletPose[3].fRestAngleX = 0.5f;
    for (int32_t i = 0; i < kHudTextLength; ++i) g_strTimeText[i] = g_strMovesText[i] = L'x';

    ResetGameState();

    EXPECT_FALSE(g_bTurning);
    EXPECT_EQ(RunningTurn(), -1);
    EXPECT_EQ(g_fAngleX, 0.0f);
    EXPECT_EQ(g_fAngleY, 0.0f);
    EXPECT_EQ(g_fAngleZ, 0.0f);
    for (int32_t i = 0; i < kCubeletCount; ++i) {
        const CubeletPose& p = g_CubeletPose[i];
        EXPECT_EQ(g_pSlot[i], &g_CubeletPose[i]);
        for (float a : {p.fAngleX, p.fAngleY, p.fAngleZ, p.fRestAngleX, p.fRestAngleY, p.fRestAngleZ})
            EXPECT_EQ(a, 0.0f) << "cubelet " << i;
    }
    for (int32_t step : g_nSeqStep) EXPECT_EQ(step, 0);
    EXPECT_EQ(g_fTurnSpeed, 3.0f);
    EXPECT_EQ(g_nMoves, 0);
    EXPECT_FALSE(g_bShowCredits);
    for (int32_t i = 0; i < kHudTextLength; ++i) {
        EXPECT_EQ(g_strTimeText[i], L'\0');
        EXPECT_EQ(g_strMovesText[i], L'\0');
    }
    EXPECT_EQ(s_slider, std::vector<int32_t>({50}));
    EXPECT_TRUE(TakeFaces() == faces);
    EXPECT_DOUBLE_EQ(FWGetGlobalTimer()->GetTime(), 42.0) << "the clock runs on";
}

TEST_F(GameResetTest, ResetWhileTurningAbandonsTheTurnWithoutItsCommit) {
    const Faces faces = TakeFaces();
    StartModelTurn(16);
    for (int i = 0; i < 20; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    ASSERT_NE(g_CubeletPose[1].fAngleZ, 0.0f);

    ResetGameState();
    OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    EXPECT_FALSE(g_bTurning);
    for (int32_t i = 0; i < kCubeletCount; ++i) EXPECT_TRUE(m_Cube[i].m_mWorld == Identity()) << i;
    EXPECT_TRUE(TakeFaces() == faces);

    // A new turn starts at once and plays from 0.
    StartModelTurn(5);
    EXPECT_EQ(RunningTurn(), 5);
    EXPECT_EQ(PlayUntilIdle().turns, std::vector<int32_t>({5}));
}

TEST_F(GameResetTest, ResetCubeRestoresTheInitialColoursAndRestartsTheClock) {
    FakeClock clock;
    FWGetGlobalTimer()->Reset();
    clock.Advance(30.0);
    const Faces initial = TakeFaces();
    for (int32_t k : {0, 7, 13, 17, 2}) CommitQuarterTurn(k);
    g_nMoves = 5;

    for (int n = 0; n < 2; ++n) {
        ResetCube();
        EXPECT_TRUE(TakeFaces() == initial);
        EXPECT_EQ(g_nMoves, 0);
        EXPECT_DOUBLE_EQ(FWGetGlobalTimer()->GetTime(), 0.0);
        clock.Advance(3.0);
    }
}

TEST(MixTurnForDraw, IsFloorOf18rOver32767ForEveryDraw) {
    for (int32_t r = 0; r <= 32767; ++r) ASSERT_EQ(MixTurnForDraw(r), 18 * r / 32767) << "r = " << r;
    EXPECT_EQ(MixTurnForDraw(32766), 17);
    EXPECT_EQ(MixTurnForDraw(32767), 18);
}

TEST_F(GameResetTest, FirstMixOfARunAppliesTheGeneratorsTurns) {
    FakeClock clock;
    FWGetGlobalTimer()->Reset();
    clock.Advance(12.0);
    g_nMoves = 9;
    const Faces start = TakeFaces();

    const Draws want = ReferenceDraws(0, false);
    ASSERT_EQ(std::vector<int32_t>(want.turns.begin(), want.turns.begin() + 12),
              std::vector<int32_t>({0, 10, 3, 14, 10, 8, 6, 16, 14, 13, 3, 15}));

    const int32_t nextDraw = MixOnFreshThread(0, false);
    EXPECT_TRUE(TakeFaces() == ApplyTurns(start, want.turns));
    EXPECT_EQ(nextDraw, want.next) << "a mix draws exactly 1000 values";
    EXPECT_EQ(g_nMoves, 0);
    EXPECT_DOUBLE_EQ(FWGetGlobalTimer()->GetTime(), 0.0);

}

TEST_F(GameResetTest, ADrawOf32767TurnsNothing) {
    // The seed whose first draw is 32767: state 0x7FFF0000 after one step.
    uint32_t inverse = 214013u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    const uint32_t seed = (0x7FFF0000u - 2531011u) * inverse;

    const Draws want = ReferenceDraws(seed, true);
    ASSERT_EQ(want.turns.front(), 18);
    const Faces start = TakeFaces();
    MixOnFreshThread(seed, true);
    EXPECT_TRUE(TakeFaces() == ApplyTurns(start, want.turns));

    // Had the pass turned anything (say the last turn), the cube would differ.
    std::vector<int32_t> clamped = want.turns;
    clamped.front() = 17;
    EXPECT_FALSE(TakeFaces() == ApplyTurns(start, clamped));
}

TEST_F(GameResetTest, MixDuringATurnLetsTheTurnFinishOnTheMixedCube) {
    StartModelTurn(9);
    for (int i = 0; i < 10; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    const float angle = g_fAngleX;
    g_fTurnSpeed = 2.0f;

    MixCube();
    EXPECT_EQ(RunningTurn(), 9);
    EXPECT_TRUE(g_bTurning);
    EXPECT_EQ(g_fAngleX, angle);
    EXPECT_EQ(g_fTurnSpeed, 2.0f);
    const Faces mixed = TakeFaces();
    const Played played = PlayUntilIdle();
    EXPECT_EQ(played.turns, std::vector<int32_t>({9}));
    EXPECT_TRUE(TakeFaces() == ApplyTurns(mixed, {9}));
}

TEST_F(GameResetTest, MoveCounterCountsCommandsNotTurns) {
    // The panel turn itself counts nothing (its command does); a completed
    // turn counts nothing; a picture counts one even when its turn cannot
    // start; Reset and Mix set the counter to 0.
    StartPanelTurn(PanelCaption::r1);
    EXPECT_EQ(g_nMoves, 0);
    PlayUntilIdle();
    EXPECT_EQ(g_nMoves, 0);

    StartModelTurn(4);
    StartSequence(3);  // its first turn cannot start
    EXPECT_EQ(g_nMoves, 1);
    EXPECT_EQ(RunningTurn(), 4);
    MixCube();
    EXPECT_EQ(g_nMoves, 0);
    PlayUntilIdle();  // turn 4, then sequence 3 goes on from its second step
    EXPECT_EQ(g_nMoves, 4);
    ResetCube();
    EXPECT_EQ(g_nMoves, 0);
}

}  // namespace
}  // namespace model_test
