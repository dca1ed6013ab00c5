// System services: debugger output, the command line, paths and files, text
// conversion, power and display state, and the switches this platform keeps
// only as records.
#include <SDL2/SDL.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system.h"

namespace {

std::vector<std::wstring> g_args;
bool g_argsSet = false;

bool IsSep(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring ToLayerSeparators(const std::string& native) {
    std::wstring w = Utf8ToWide(native);
    for (auto& c : w) {
        if (c == L'/') c = L'\\';
    }
    return w;
}

// Copies text into a caller's buffer the way the path calls report sizes:
// the length on success, the size needed (terminator included) when the
// buffer is too small (the buffer is then left as it was).
uint32_t CopyOut(const std::wstring& text, wchar_t* out, uint32_t size) {
    if (out == nullptr || size <= text.size()) return static_cast<uint32_t>(text.size() + 1);
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return static_cast<uint32_t>(text.size());
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

// --- text conversion ---------------------------------------------------------------
//
// Invalid UTF-8 (stray or missing continuation bytes, overlong forms,
// surrogates, values past U+10FFFF) becomes U+FFFD, one per bad sequence.

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        char32_t c;
        size_t len;
        char32_t min;
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            len = 2;
            min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            len = 3;
            min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            len = 4;
            min = 0x10000;
        } else {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j < len && i + j < n && (s[i + j] & 0xC0) == 0x80; ++j) c = (c << 6) | (s[i + j] & 0x3F);
        if (j < len || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += static_cast<wchar_t>(0xFFFD);
            i += j;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) AppendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::string WideToUtf8(const wchar_t* text) { return text == nullptr ? std::string() : WideToUtf8(std::wstring(text)); }

// --- debugging ---------------------------------------------------------------------

void OutputDebugStringW(const wchar_t* text) {
    if (text == nullptr) return;
    std::string s = WideToUtf8(text);
    std::fputs(s.c_str(), stderr);
    std::fflush(stderr);
}

void OutputDebugStringA(const char* text) {
    if (text == nullptr) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

bool IsDebuggerPresent() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) return std::atol(line.c_str() + 10) != 0;
    }
    return false;
}

void DebugBreak() {
    if (IsDebuggerPresent()) raise(SIGTRAP);
}

// --- command line ------------------------------------------------------------------

std::vector<std::wstring> GetCommandLineArguments() {
    if (g_argsSet) return g_args;
    // Not recorded by main: the arguments the kernel gave the process.
    std::vector<std::wstring> args;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string arg;
    while (std::getline(cmdline, arg, '\0')) args.push_back(Utf8ToWide(arg));
    return args;
}

void PlatformSetCommandLine(int argc, const char* const* argv) {
    g_args.clear();
    for (int i = 0; i < argc && argv != nullptr; ++i) g_args.push_back(Utf8ToWide(argv[i] ? argv[i] : ""));
    g_argsSet = true;
}

void PlatformSetCommandLine(const std::vector<std::wstring>& args) {
    g_args = args;
    g_argsSet = true;
}

// --- paths and files ---------------------------------------------------------------

uint32_t GetModuleFileNameW(HMODULE, wchar_t* path, uint32_t size) {
    if (path == nullptr || size == 0) return 0;
    path[0] = 0;
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return 0;
    buf[n] = 0;
    std::wstring w = ToLayerSeparators(buf);
    if (w.size() >= size) return 0;  // a cut path names another file
    return CopyOut(w, path, size);
}

uint32_t GetCurrentDirectoryW(uint32_t size, wchar_t* path) {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof(buf)) == nullptr) return 0;
    return CopyOut(ToLayerSeparators(buf), path, size);
}

bool SetCurrentDirectoryW(const wchar_t* path) {
    if (path == nullptr || path[0] == 0) return false;
    return chdir(PlatformNativePath(path).c_str()) == 0;
}

bool FileExists(const wchar_t* path) {
    if (path == nullptr || path[0] == 0) return false;
    struct stat st;
    return stat(PlatformNativePath(path).c_str(), &st) == 0;
}

bool DirectoryExists(const wchar_t* path) {
    if (path == nullptr || path[0] == 0) return false;
    struct stat st;
    return stat(PlatformNativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t GetFullPathNameW(const wchar_t* path, uint32_t size, wchar_t* out, wchar_t** lastComponent) {
    if (lastComponent != nullptr) *lastComponent = nullptr;
    if (path == nullptr || path[0] == 0) return 0;
    std::wstring full;
    if (!IsSep(path[0])) {
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof(buf)) == nullptr) return 0;
        full = Utf8ToWide(buf) + L"/";
    }
    full += path;

    // Lexical resolution: ".." above the root stays at the root.
    std::vector<std::wstring> parts;
    size_t i = 0;
    while (i < full.size()) {
        while (i < full.size() && IsSep(full[i])) ++i;
        size_t start = i;
        while (i < full.size() && !IsSep(full[i])) ++i;
        std::wstring part = full.substr(start, i - start);
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::wstring result;
    for (const auto& p : parts) result += L"\\" + p;
    if (result.empty()) result = L"\\";
    uint32_t n = CopyOut(result, out, size);
    if (n == result.size() && lastComponent != nullptr && !parts.empty()) {
        *lastComponent = out + (result.size() - parts.back().size());
    }
    return n;
}

std::string PlatformNativePath(const wchar_t* path) {
    // Separators become '/', runs of them one, and "." and ".." are resolved
    // as text, the way the program's paths mean them: "Data\media\..\x"
    // names "Data/x" whether or not a folder "media" exists. A ".." that
    // would climb above the start of a relative path is kept; above the root
    // it stays at the root.
    if (path == nullptr || path[0] == 0) return std::string();
    const bool absolute = IsSep(path[0]);
    std::vector<std::wstring> parts;
    const wchar_t* p = path;
    while (*p) {
        while (*p && IsSep(*p)) ++p;
        const wchar_t* start = p;
        while (*p && !IsSep(*p)) ++p;
        std::wstring part(start, p);
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..") {
                parts.pop_back();
                continue;
            }
            if (absolute) continue;
        }
        parts.push_back(part);
    }
    std::wstring w = absolute ? L"/" : L"";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) w += L'/';
        w += parts[i];
    }
    if (w.empty()) w = L".";
    // Keep a trailing separator (a folder named as such).
    size_t len = std::wcslen(path);
    if (len > 0 && IsSep(path[len - 1]) && w.back() != L'/') w += L'/';
    return WideToUtf8(w);
}

std::wstring PathJoin(const std::wstring& a, const std::wstring& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    size_t end = a.size();
    while (end > 0 && IsSep(a[end - 1])) --end;
    size_t start = 0;
    while (start < b.size() && IsSep(b[start])) ++start;
    return a.substr(0, end) + L"\\" + b.substr(start);
}

// --- power, display and system switches ----------------------------------------------

namespace {
DWORD g_executionState = ES_CONTINUOUS;
std::array<ACCESSIBILITYKEYS, 3> g_accessibility = {{
    {sizeof(ACCESSIBILITYKEYS), SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY},
    {sizeof(ACCESSIBILITYKEYS), SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY},
    {sizeof(ACCESSIBILITYKEYS), SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY},
}};
}  // namespace

struct PlatformHook {
    int unused;
};

namespace {
PlatformHook g_hook = {0};
}

DWORD SetThreadExecutionState(DWORD flags) {
    DWORD previous = g_executionState;
    g_executionState = flags;
    // Only the display matters here: the system does not sleep under a
    // running desktop program on its own.
    if (flags & ES_DISPLAY_REQUIRED) SDL_DisableScreenSaver();
    else SDL_EnableScreenSaver();
    return previous;
}

// The desktop offers no accessibility shortcuts to switch off; the records
// are only kept, so that what the program saves is what it later restores.
bool GetAccessibilityKeys(AccessibilityFeature feature, ACCESSIBILITYKEYS* keys) {
    auto index = static_cast<size_t>(feature);
    if (keys == nullptr || index >= g_accessibility.size()) return false;
    *keys = g_accessibility[index];
    return true;
}

bool SetAccessibilityKeys(AccessibilityFeature feature, const ACCESSIBILITYKEYS* keys) {
    auto index = static_cast<size_t>(feature);
    if (keys == nullptr || index >= g_accessibility.size()) return false;
    g_accessibility[index] = *keys;
    g_accessibility[index].cbSize = sizeof(ACCESSIBILITYKEYS);
    return true;
}

// The scheduler already sleeps to the millisecond here: nothing to set.
bool TimeBeginPeriod(UINT) { return true; }

// No system-wide keyboard hook exists on this desktop; the handle only lets
// the program pair install and remove.
HHOOK InstallLowLevelKeyboardHook(bool (*swallow)(UINT virtualKey)) { return swallow != nullptr ? &g_hook : nullptr; }
bool RemoveKeyboardHook(HHOOK hook) { return hook == &g_hook; }

// The program reads no game controllers on this platform: nothing to switch.
void EnableGameControllers(bool) {}

UINT GetWheelScrollLines() { return 3; }

bool IsRemoteSession() { return false; }
