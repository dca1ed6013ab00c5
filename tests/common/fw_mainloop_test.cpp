// The main loop and its render step on a hidden window with the scripted
// device: reproducible runs, timers, pauses, lost-device recovery, the
// statistics strings, and no allocation per frame.
#include <cmath>

#include "fw_fixture.h"
#include "support/allocation_counter.h"

namespace {

// A tick source the test moves by hand (same frequency as the real one, so a
// timer made earlier keeps its scale).
int64_t g_fakeTicks = 0;
int64_t g_frequency = 0;
int64_t FakeCounter() { return g_fakeTicks; }

void UseFakeClock() {
    g_frequency = PlatformCounterFrequency();
    g_fakeTicks = g_frequency * 100;  // never 0: 0 means "not stopped" to the timer
    PlatformSetCounterSource(FakeCounter, g_frequency);
}
void Advance(double seconds) { g_fakeTicks += static_cast<int64_t>(seconds * static_cast<double>(g_frequency)); }

struct FrameRecord {
    std::vector<double> moveTimes;
    std::vector<float> moveElapsed;
    int renders = 0;
};
FrameRecord g_frames;

void RecordMove(IDirect3DDevice9*, double fTime, float fElapsedTime, void*) {
    g_frames.moveTimes.push_back(fTime);
    g_frames.moveElapsed.push_back(fElapsedTime);
}
void RecordRender(IDirect3DDevice9*, double, float, void*) { ++g_frames.renders; }

class FWLoopTest : public FWTest {
protected:
    void SetUp() override {
        FWTest::SetUp();
        g_frames = FrameRecord();
        FWSetCallbackFrameMove(RecordMove);
        FWSetCallbackFrameRender(RecordRender);
    }
};

TEST_F(FWLoopTest, QuitAfterFrameTenRunsElevenStepsAndExitsWithZero) {
    FW_REQUIRE_DISPLAY();
    SetArgs({L"-constantframetime", L"-quitafterframe:10"});
    ASSERT_EQ(StartDevice(), S_OK);

    EXPECT_EQ(FWMainLoop(), S_OK);

    ASSERT_EQ(g_frames.moveTimes.size(), 11u);
    for (size_t k = 0; k < g_frames.moveTimes.size(); ++k) {
        EXPECT_FLOAT_EQ(g_frames.moveElapsed[k], 0.0333f);
        EXPECT_NEAR(g_frames.moveTimes[k], 0.0333 * static_cast<double>(k + 1), 1e-5) << "step " << k;
    }
    EXPECT_EQ(GetFWState().GetCurrentFrameNumber(), 11);
    EXPECT_EQ(FWGetExitCode(), 0);
    // The shutdown closed the window and released everything.
    EXPECT_EQ(FWGetHWND(), nullptr);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_FALSE(GetFWState().GetInsideMainloop());
}

TEST_F(FWLoopTest, MainLoopPerformsTheMissingStepsWithDefaults) {
    FW_REQUIRE_DISPLAY();
    SetArgs({L"-quitafterframe:2"});
    EXPECT_EQ(FWMainLoop(), S_OK);
    EXPECT_TRUE(GetFWState().GetInited());
    EXPECT_TRUE(GetFWState().GetWindowCreated());
    EXPECT_EQ(g_frames.moveTimes.size(), 3u);
    EXPECT_EQ(FWGetExitCode(), 0);
}

TEST_F(FWLoopTest, EscapeEndsTheLoopWithTheCurrentExitCode) {
    FW_REQUIRE_DISPLAY();
    ASSERT_EQ(StartDevice(), S_OK);
    GetFWState().SetExitCode(11);
    PostMessageW(FWGetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(FWMainLoop(), S_OK);
    EXPECT_EQ(FWGetExitCode(), 11);
    EXPECT_EQ(FWGetHWND(), nullptr);
}

// A 0.5 s timer with 0.2 s steps fires on the third step and then restarts.
struct TimerHits {
    std::vector<int> steps;
    std::vector<UINT> positions;
    int step = 0;
};
TimerHits g_timerHits;
void NoOpTimer(UINT, void*) {}
void RecordTimer(UINT position, void* context) {
    auto* hits = static_cast<TimerHits*>(context);
    hits->steps.push_back(hits->step);
    hits->positions.push_back(position);
}

TEST_F(FWLoopTest, TimerFiresOnTheThirdStepAndRestarts) {
    FW_REQUIRE_DISPLAY();
    ASSERT_EQ(StartDevice(), S_OK);
    FWSetConstantFrameTime(true, 0.2f);
    g_timerHits = TimerHits();

    UINT id = 0;
    ASSERT_EQ(FWSetTimer(NoOpTimer, 5.0f, nullptr, nullptr), S_OK);  // position 0, never due
    ASSERT_EQ(FWSetTimer(RecordTimer, 0.5f, &id, &g_timerHits), S_OK);
    EXPECT_EQ(id, 2u);

    for (g_timerHits.step = 1; g_timerHits.step <= 6; ++g_timerHits.step) FWRender3DEnvironment();
    EXPECT_EQ(g_timerHits.steps, (std::vector<int>{3, 6}));
    EXPECT_EQ(g_timerHits.positions, (std::vector<UINT>{1, 1}));

    // A killed timer stays silent.
    EXPECT_EQ(FWKillTimer(id), S_OK);
    for (; g_timerHits.step <= 12; ++g_timerHits.step) FWRender3DEnvironment();
    EXPECT_EQ(g_timerHits.steps.size(), 2u);
}

TEST_F(FWLoopTest, PauseKeyStopsTimeButNotRendering) {
    FW_REQUIRE_DISPLAY();
    UseFakeClock();
    ASSERT_EQ(StartDevice(), S_OK);

    Advance(1.0);
    FWRender3DEnvironment();
    ASSERT_EQ(g_frames.moveTimes.size(), 1u);
    const double t1 = g_frames.moveTimes[0];
    EXPECT_NEAR(g_frames.moveElapsed[0], 1.0, 1e-3);

    SendMessageW(FWGetHWND(), WM_KEYDOWN, VK_PAUSE, 0);
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());

    Advance(2.0);
    FWRender3DEnvironment();
    FWRender3DEnvironment();
    ASSERT_EQ(g_frames.moveTimes.size(), 3u);
    EXPECT_DOUBLE_EQ(g_frames.moveTimes[1], t1);
    EXPECT_DOUBLE_EQ(g_frames.moveTimes[2], t1);
    EXPECT_EQ(g_frames.moveElapsed[1], 0.0f);
    EXPECT_EQ(g_frames.moveElapsed[2], 0.0f);
    EXPECT_EQ(g_frames.renders, 3) << "rendering goes on while time stands";

    // Pressed again: time runs on from where it stopped.
    SendMessageW(FWGetHWND(), WM_KEYDOWN, VK_PAUSE, 0);
    EXPECT_FALSE(FWIsTimePaused());
    Advance(0.5);
    FWRender3DEnvironment();
    EXPECT_NEAR(g_frames.moveTimes[3], t1 + 0.5, 1e-3);
}

TEST_F(FWLoopTest, PausedRenderingStillMovesAndCountsFrames) {
    FW_REQUIRE_DISPLAY();
    ASSERT_EQ(StartDevice(), S_OK);
    const int presents = PlatformScriptedLog().presents;
    FWPause(false, true);
    FWRender3DEnvironment();
    EXPECT_EQ(g_frames.moveTimes.size(), 1u);
    EXPECT_EQ(g_frames.renders, 0);
    EXPECT_EQ(PlatformScriptedLog().presents, presents);
    EXPECT_EQ(GetFWState().GetCurrentFrameNumber(), 1);
    FWPause(false, false);
    FWRender3DEnvironment();
    EXPECT_EQ(g_frames.renders, 1);
    EXPECT_EQ(PlatformScriptedLog().presents, presents + 1);
}

int g_lost = 0;
int g_reset = 0;
void CountLost(void*) { ++g_lost; }
HRESULT CountReset(IDirect3DDevice9*, const D3DSURFACE_DESC*, void*) {
    ++g_reset;
    return S_OK;
}

TEST_F(FWLoopTest, LostDeviceWaitsThenResets) {
    FW_REQUIRE_DISPLAY();
    g_lost = g_reset = 0;
    FWSetCallbackDeviceLost(CountLost);
    FWSetCallbackDeviceReset(CountReset);
    ASSERT_EQ(StartDevice(), S_OK);
    ASSERT_EQ(g_reset, 1);

    // A present that reports the loss marks the device lost.
    PlatformScriptedBehaviour().presentResult = D3DERR_DEVICELOST;
    FWRender3DEnvironment();
    EXPECT_TRUE(GetFWState().GetDeviceLost());
    PlatformScriptedBehaviour().presentResult = S_OK;

    // Not yet resettable: the step returns before moving.
    PlatformScriptedBehaviour().cooperativeLevel = D3DERR_DEVICELOST;
    const size_t moves = g_frames.moveTimes.size();
    FWRender3DEnvironment();
    EXPECT_EQ(g_frames.moveTimes.size(), moves);
    EXPECT_TRUE(GetFWState().GetDeviceLost());

    // Resettable: lost and reset callbacks run once, the step goes on.
    PlatformScriptedBehaviour().cooperativeLevel = D3DERR_DEVICENOTRESET;
    const int resets = PlatformScriptedLog().resets;
    FWRender3DEnvironment();
    EXPECT_EQ(PlatformScriptedLog().resets, resets + 1);
    EXPECT_EQ(g_lost, 1);
    EXPECT_EQ(g_reset, 2);
    EXPECT_FALSE(GetFWState().GetDeviceLost());
    EXPECT_EQ(g_frames.moveTimes.size(), moves + 1);
    PlatformScriptedBehaviour().cooperativeLevel = S_OK;
}

HRESULT FailSecondReset(IDirect3DDevice9*, const D3DSURFACE_DESC*, void*) {
    return ++g_reset >= 2 ? E_FAIL : S_OK;
}

TEST_F(FWLoopTest, UnrecoverableResetEndsWithTheErrorsExitCode) {
    // Mended: the recovery used to shut down with exit code 0 right after the
    // error display stored 9.
    FW_REQUIRE_DISPLAY();
    g_reset = 0;
    FWSetCallbackDeviceReset(FailSecondReset);
    ASSERT_EQ(StartDevice(), S_OK);

    // Step 1 presents and loses the device; step 2 resets it and the
    // application's reset callback fails: the program ends.
    PlatformScriptedBehaviour().presentResult = D3DERR_DEVICELOST;
    PlatformScriptedBehaviour().cooperativeLevel = D3DERR_DEVICENOTRESET;
    EXPECT_EQ(FWMainLoop(), S_OK);

    EXPECT_EQ(g_frames.moveTimes.size(), 1u);
    EXPECT_EQ(CountBoxes(L"Failed resetting Direct3D device objects."), 1);
    EXPECT_EQ(FWGetExitCode(), 9);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_EQ(FWGetHWND(), nullptr);
}

// --- statistics ----------------------------------------------------------------------------------

TEST_F(FWLoopTest, StatisticsStrings) {
    FW_REQUIRE_DISPLAY();
    UseFakeClock();
    ASSERT_EQ(StartDevice(), S_OK);

    EXPECT_STREQ(FWGetFrameStats(false), L"Vsync off (640x480), X8R8G8B8 (D32)");
    EXPECT_EQ(std::wstring(FWGetDeviceStats()), L"HAL (hw vp): " + Utf8ToWide(m_script.adapters[0].description));

    // The first step updates at once (the last update is at 0); then the rate
    // is recomputed only after more than a second.
    FWRender3DEnvironment();
    for (int i = 0; i < 3; ++i) {
        Advance(0.5);
        FWRender3DEnvironment();
    }
    EXPECT_FLOAT_EQ(FWGetFPS(), 2.0f);  // 3 frames in 1.5 s
    EXPECT_STREQ(FWGetFrameStats(true), L"2.00 fps Vsync off (640x480), X8R8G8B8 (D32)");
    EXPECT_STREQ(FWGetFrameStats(false), L"Vsync off (640x480), X8R8G8B8 (D32)");
}

TEST_F(FWLoopTest, NoStatsLeavesEveryTextEmpty) {
    FW_REQUIRE_DISPLAY();
    UseFakeClock();
    SetArgs({L"-nostats"});
    ASSERT_EQ(StartDevice(), S_OK);
    for (int i = 0; i < 4; ++i) {
        Advance(0.6);
        FWRender3DEnvironment();
    }
    EXPECT_STREQ(FWGetFrameStats(true), L"");
    EXPECT_STREQ(FWGetDeviceStats(), L"");
    EXPECT_STREQ(GetFWState().GetFPSStats(), L"");
}

int g_countedMoves = 0;
int g_countedTimers = 0;
void CountMove(IDirect3DDevice9*, double, float, void*) { ++g_countedMoves; }
void CountTimer(UINT, void*) { ++g_countedTimers; }

TEST_F(FWLoopTest, RenderStepAllocatesNothing) {
    FW_REQUIRE_DISPLAY();
    SetArgs({L"-constantframetime"});
    ASSERT_EQ(StartDevice(), S_OK);
    // Callbacks that allocate nothing themselves.
    FWSetCallbackFrameMove(CountMove);
    FWSetCallbackFrameRender(nullptr);
    ASSERT_EQ(FWSetTimer(CountTimer, 0.1f, nullptr, nullptr), S_OK);
    FWRender3DEnvironment();  // first step: whatever lazy set-up the layer does
    g_countedMoves = g_countedTimers = 0;

    long allocations = 0;
    {
        test_support::AllocationCounter counter;
        for (int i = 0; i < 100; ++i) FWRender3DEnvironment();
        allocations = counter.Count();
    }

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(g_countedMoves, 100);
    EXPECT_GT(g_countedTimers, 20) << "the timer ran during the counted steps";
}

}  // namespace
