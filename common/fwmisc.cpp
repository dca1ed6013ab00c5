#include "common/fwmisc.h"

#include "common/fwshared.h"
#include "platform/clock.h"

CFWTimer::CFWTimer()
    : m_bTimerStopped(true),
      m_llQPFTicksPerSec(PlatformCounterFrequency()),
      m_llStopTime(0),
      m_llLastElapsedTime(0),
      m_llBaseTime(0) {}

int64_t CFWTimer::GetAdjustedCurrentTime() const {
    return m_llStopTime != 0 ? m_llStopTime : PlatformCounter();
}

void CFWTimer::Reset() {
    int64_t now = GetAdjustedCurrentTime();
    m_llBaseTime = now;
    m_llLastElapsedTime = now;
    m_llStopTime = 0;
    m_bTimerStopped = false;
}

void CFWTimer::Start() {
    int64_t counter = PlatformCounter();
    if (m_bTimerStopped) m_llBaseTime += counter - m_llStopTime;
    m_llStopTime = 0;
    m_llLastElapsedTime = counter;
    m_bTimerStopped = false;
}

void CFWTimer::Stop() {
    if (!m_bTimerStopped) {
        int64_t counter = PlatformCounter();
        m_llStopTime = counter;
        m_llLastElapsedTime = counter;
        m_bTimerStopped = true;
    }
}

double CFWTimer::GetAbsoluteTime() const {
    return static_cast<double>(PlatformCounter()) / static_cast<double>(m_llQPFTicksPerSec);
}

double CFWTimer::GetTime() const {
    return static_cast<double>(GetAdjustedCurrentTime() - m_llBaseTime) / static_cast<double>(m_llQPFTicksPerSec);
}

double CFWTimer::GetElapsedTime() {
    int64_t now = GetAdjustedCurrentTime();
    double elapsed = static_cast<double>(now - m_llLastElapsedTime) / static_cast<double>(m_llQPFTicksPerSec);
    m_llLastElapsedTime = now;
    // A tick source that jumps back gives no negative interval.
    if (elapsed < 0.0) elapsed = 0.0;
    return elapsed;
}

void CFWTimer::GetTimeValues(double* pfTime, double* pfAbsoluteTime, float* pfElapsedTime) {
    FW_ASSERT(pfTime && pfAbsoluteTime && pfElapsedTime);
    int64_t now = GetAdjustedCurrentTime();
    float elapsed = static_cast<float>(static_cast<double>(now - m_llLastElapsedTime) /
                                       static_cast<double>(m_llQPFTicksPerSec));
    m_llLastElapsedTime = now;
    if (elapsed < 0.0f) elapsed = 0.0f;
    // Where the debug check is compiled out, a missing output is skipped
    // rather than written through a null pointer.
    if (pfAbsoluteTime) *pfAbsoluteTime = static_cast<double>(now) / static_cast<double>(m_llQPFTicksPerSec);
    if (pfTime) *pfTime = static_cast<double>(now - m_llBaseTime) / static_cast<double>(m_llQPFTicksPerSec);
    if (pfElapsedTime) *pfElapsedTime = elapsed;
}

CFWTimer* FWGetGlobalTimer() {
    // Function-local static: constructed once, safely against concurrent
    // first calls, and destroyed after anything created later.
    static CFWTimer timer;
    return &timer;
}
