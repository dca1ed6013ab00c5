// The framework's timer on a scripted tick source.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/fwmisc.h"
#include "platform/clock.h"

namespace {

int64_t g_ticks = 0;
int64_t Ticks() { return g_ticks; }
constexpr int64_t kFrequency = 1000;  // ticks per second

class TimerTest : public ::testing::Test {
protected:
    // The source is set before any timer is constructed: a timer reads the
    // frequency once, at construction.
    void SetUp() override {
        g_ticks = 5000;  // 5 s
        PlatformSetCounterSource(&Ticks, kFrequency);
    }
    void TearDown() override { PlatformSetCounterSource(nullptr, 0); }
    static void Wait(double seconds) { g_ticks += static_cast<int64_t>(seconds * kFrequency); }
};

TEST_F(TimerTest, ANewTimerIsStoppedAndCountsFromTickZero) {
    CFWTimer timer;
    EXPECT_TRUE(timer.IsStopped());
    EXPECT_DOUBLE_EQ(timer.GetTime(), 5.0);
    EXPECT_DOUBLE_EQ(timer.GetAbsoluteTime(), 5.0);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 5.0);
    Wait(1.0);
    EXPECT_DOUBLE_EQ(timer.GetTime(), 6.0);
}

TEST_F(TimerTest, ResetStartsApplicationTimeAtZeroAndRuns) {
    CFWTimer timer;
    timer.Reset();
    EXPECT_FALSE(timer.IsStopped());
    EXPECT_DOUBLE_EQ(timer.GetTime(), 0.0);
    Wait(2.5);
    double time = -1, absolute = -1;
    float elapsed = -1;
    timer.GetTimeValues(&time, &absolute, &elapsed);
    EXPECT_DOUBLE_EQ(time, 2.5);
    EXPECT_DOUBLE_EQ(absolute, 7.5);
    EXPECT_FLOAT_EQ(elapsed, 2.5f);
    // A second reading right after covers only the time in between.
    Wait(0.001);
    timer.GetTimeValues(&time, &absolute, &elapsed);
    EXPECT_FLOAT_EQ(elapsed, 0.001f);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 0.0);
}

TEST_F(TimerTest, StoppedTimeStandsStillAndIsCutOutWhenStartedAgain) {
    CFWTimer timer;
    timer.Reset();
    Wait(1.0);
    timer.Stop();
    timer.Stop();  // a second stop changes nothing
    Wait(2.0);
    EXPECT_TRUE(timer.IsStopped());
    EXPECT_DOUBLE_EQ(timer.GetTime(), 1.0);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 0.0) << "the stop counts as a reading";
    EXPECT_DOUBLE_EQ(timer.GetAbsoluteTime(), 8.0) << "absolute time runs on";
    double time = -1, absolute = -1;
    float elapsed = -1;
    timer.GetTimeValues(&time, &absolute, &elapsed);
    EXPECT_DOUBLE_EQ(absolute, 6.0) << "frozen with the timer";
    EXPECT_EQ(elapsed, 0.0f);

    timer.Start();
    Wait(0.5);
    EXPECT_FALSE(timer.IsStopped());
    EXPECT_DOUBLE_EQ(timer.GetTime(), 1.5);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 0.5) << "only the time since the start";

    // Starting a running timer only moves the elapsed-time mark.
    Wait(0.25);
    timer.Start();
    EXPECT_DOUBLE_EQ(timer.GetTime(), 1.75);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 0.0);
}

TEST_F(TimerTest, ResetWhileStoppedRunsFromTheMomentOfTheStop) {
    CFWTimer timer;
    timer.Reset();
    Wait(1.0);
    timer.Stop();
    Wait(3.0);
    timer.Reset();
    EXPECT_FALSE(timer.IsStopped());
    EXPECT_DOUBLE_EQ(timer.GetTime(), 3.0);
}

TEST_F(TimerTest, ATickSourceThatJumpsBackGivesNoNegativeElapsedTime) {
    CFWTimer timer;
    timer.Reset();
    Wait(-2.0);
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 0.0);
    Wait(-1.0);
    double time = 0, absolute = 0;
    float elapsed = -1;
    timer.GetTimeValues(&time, &absolute, &elapsed);
    EXPECT_EQ(elapsed, 0.0f);
    EXPECT_DOUBLE_EQ(time, -3.0);
}

TEST_F(TimerTest, FrequencyIsReadOnceAtConstruction) {
    CFWTimer timer;
    timer.Reset();
    PlatformSetCounterSource(&Ticks, 2 * kFrequency);
    Wait(2.0);
    EXPECT_DOUBLE_EQ(timer.GetTime(), 2.0);
    EXPECT_DOUBLE_EQ(CFWTimer().GetAbsoluteTime(), 3.5);
}

TEST_F(TimerTest, GlobalTimerIsOneInstanceForAllThreads) {
    std::vector<CFWTimer*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = FWGetGlobalTimer(); });
    for (std::thread& t : threads) t.join();
    for (CFWTimer* t : seen) EXPECT_EQ(t, FWGetGlobalTimer());
}

}  // namespace
