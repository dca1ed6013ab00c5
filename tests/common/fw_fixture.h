// Fixture of the framework-core tests: every test starts from a fresh
// framework state, answers message boxes through the layer's hook (a test
// never blocks on a box), captures the debugger output, runs on the scripted
// adapter table and keeps its settings store in a private folder.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/fw.h"
#include "common/fw_internal.h"
#include "common/fw_testsupport.h"
#include "platform/clock.h"
#include "platform/device.h"
#include "platform/system.h"
#include "platform/window.h"

struct RecordedBox {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Boxes the framework asked for, and the answers the test gives.
struct BoxRecorder {
    std::vector<RecordedBox> boxes;
    int traceAnswer = IDNO;           // Yes/No boxes: do not break into the debugger
    int referenceWarningAnswer = IDYES;
};

inline BoxRecorder& Boxes() {
    static BoxRecorder recorder;
    return recorder;
}

constexpr UINT kReferenceWarningBoxType = 0xFFFFFFFFu;

inline int RecordBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    Boxes().boxes.push_back({text != nullptr ? text : L"", caption != nullptr ? caption : L"", type});
    if (type == kReferenceWarningBoxType) return Boxes().referenceWarningAnswer;
    if ((type & MB_YESNO) == MB_YESNO) return Boxes().traceAnswer;
    return IDOK;
}

inline std::wstring& DebugText() {
    static std::wstring text;
    return text;
}

inline void CaptureDebug(const wchar_t* text) { DebugText() += text; }

// A parameter's name for the test list: letters and digits only.
inline std::string ParamName(const std::string& text) {
    std::string name;
    for (char c : text) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name.empty() ? std::string("none") : name;
}

inline bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display != nullptr && display[0] != 0) || (wayland != nullptr && wayland[0] != 0);
}

class FWTest : public ::testing::Test {
protected:
    void SetUp() override {
        FWTestResetState();
        Boxes() = BoxRecorder();
        DebugText().clear();
        PlatformSetMessageBoxHook(RecordBox);
        FWTestSetDebugOutputHook(CaptureDebug);
        PlatformSetCommandLine(std::vector<std::wstring>{L"trevolia"});

        m_script = MakeTypicalScriptedSystem();
        PlatformUseScriptedSystem(&m_script);
        PlatformScriptedBehaviour() = ScriptedDeviceBehaviour();
        PlatformScriptedLog() = ScriptedDeviceLog();

        // The settings store of this test only.
        char dirTemplate[] = "/tmp/trevolia-fw-XXXXXX";
        const char* dir = mkdtemp(dirTemplate);
        ASSERT_NE(dir, nullptr);
        m_configDir = dir;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_hadConfigHome = old != nullptr;
        if (old != nullptr) m_oldConfigHome = old;
        setenv("XDG_CONFIG_HOME", m_configDir.c_str(), 1);
    }

    void TearDown() override {
        FWTestResetState();
        PlatformUseScriptedSystem(nullptr);
        PlatformSetMessageBoxHook(nullptr);
        PlatformSetCounterSource(nullptr, 0);
        if (m_hadConfigHome)
            setenv("XDG_CONFIG_HOME", m_oldConfigHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(m_configDir, ec);
    }

    // Replaces the scripted machine (before FWInit).
    void UseScript(const ScriptedSystem& script) {
        m_script = script;
        PlatformUseScriptedSystem(&m_script);
    }

    static void SetArgs(std::vector<std::wstring> args) {
        args.insert(args.begin(), L"trevolia");
        PlatformSetCommandLine(args);
    }

    // Init, window and a windowed 640 x 480 device on the scripted table.
    HRESULT StartDevice(LPFWCALLBACKMODIFYDEVICESETTINGS modify = nullptr) {
        HRESULT hr = FWInit(true, true, true, true);
        if (FAILED(hr)) return hr;
        hr = FWCreateWindow(L"Framework Test");
        if (FAILED(hr)) return hr;
        return FWCreateDevice(0, true, 640, 480, nullptr, modify, nullptr);
    }

    static int CountBoxes(const std::wstring& text) {
        int n = 0;
        for (const RecordedBox& box : Boxes().boxes)
            if (box.text == text) ++n;
        return n;
    }

    ScriptedSystem m_script;
    std::string m_configDir;
    std::string m_oldConfigHome;
    bool m_hadConfigHome = false;
};

// Tests that need a window (and with it an X server) skip without one.
#define FW_REQUIRE_DISPLAY()                                      \
    do {                                                          \
        if (!HasDisplay()) GTEST_SKIP() << "no display to open a window on"; \
    } while (0)
