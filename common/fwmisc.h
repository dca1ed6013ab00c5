// Camera, timer and media search of the framework. The timer: the framework's clock,
// a stoppable timer on the platform's tick source.
#pragma once

#include <cstdint>

class CFWTimer {
public:
    CFWTimer();

    // Time 0 is now; the timer runs afterwards, even if it was stopped.
    void Reset();
    // Cuts a stopped interval out of application time and runs.
    void Start();
    void Stop();
    // Wall-clock seconds of the tick source; runs on while stopped.
    double GetAbsoluteTime() const;
    // Application seconds since the last reset, standing still while stopped.
    double GetTime() const;
    // Seconds since the previous elapsed reading of either kind; never negative.
    double GetElapsedTime();
    // Time, absolute time (frozen while stopped) and elapsed time at once.
    void GetTimeValues(double* pfTime, double* pfAbsoluteTime, float* pfElapsedTime);
    bool IsStopped() const { return m_bTimerStopped; }

private:
    // The stop time while stopped, else the live tick count.
    int64_t GetAdjustedCurrentTime() const;

    bool m_bTimerStopped;
    int64_t m_llQPFTicksPerSec;
    int64_t m_llStopTime;
    int64_t m_llLastElapsedTime;
    int64_t m_llBaseTime;
};

// The one process-wide timer, created on first use.
CFWTimer* FWGetGlobalTimer();
