// Cost of the framework's own part of a frame: one render step (timer,
// statistics, framework timers, the frame callbacks, present) on the scripted
// device, so that only the framework is measured. Also the state accessors,
// which every field access goes through.
#include <benchmark/benchmark.h>

#include "common/fw.h"
#include "common/fw_internal.h"
#include "common/fw_testsupport.h"
#include "platform/device.h"
#include "platform/window.h"

namespace {

int NoBox(const wchar_t*, const wchar_t*, UINT) { return IDNO; }
void NoMove(IDirect3DDevice9*, double, float, void*) {}
void NoTimer(UINT, void*) {}

void BM_RenderStep(benchmark::State& state) {
    FWTestResetState();
    PlatformSetMessageBoxHook(NoBox);
    ScriptedSystem script = MakeTypicalScriptedSystem();
    PlatformUseScriptedSystem(&script);
    PlatformSetCommandLine(std::vector<std::wstring>{L"trevolia_bench"});

    if (FAILED(FWInit()) || FAILED(FWCreateWindow(L"Framework benchmark")) ||
        FAILED(FWCreateDevice(0, true, 640, 480))) {
        state.SkipWithError("no window or device for the framework");
    } else {
        FWSetCallbackFrameMove(NoMove);
        FWSetTimer(NoTimer, 0.5f);
        for (auto _ : state) FWRender3DEnvironment();
        state.counters["frames"] = GetFWState().GetCurrentFrameNumber();
    }

    FWTestResetState();
    PlatformUseScriptedSystem(nullptr);
    PlatformSetMessageBoxHook(nullptr);
}
BENCHMARK(BM_RenderStep);

void BM_StateFieldAccess(benchmark::State& state) {
    FWState& s = GetFWState();
    int n = 0;
    for (auto _ : state) {
        s.SetCurrentFrameNumber(++n);
        benchmark::DoNotOptimize(s.GetCurrentFrameNumber());
    }
}
BENCHMARK(BM_StateFieldAccess);

}  // namespace
