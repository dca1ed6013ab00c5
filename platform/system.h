// System services: debugger output, the command line, paths and files, the
// small settings store, power and display state, and bounded wide-string
// formatting.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/types.h"

// --- debugging -------------------------------------------------------------------

// Sends text to the debugger output (standard error on this platform).
void OutputDebugStringW(const wchar_t* text);
void OutputDebugStringA(const char* text);
// True when a debugger is attached to the process.
bool IsDebuggerPresent();
// Stops in the debugger when one is attached; does nothing otherwise.
void DebugBreak();

// --- command line ------------------------------------------------------------------

// The arguments the program received, argument 0 (the program) included.
std::vector<std::wstring> GetCommandLineArguments();
// Records the program's arguments (called from main) or, in tests, replaces
// them.
void PlatformSetCommandLine(int argc, const char* const* argv);
void PlatformSetCommandLine(const std::vector<std::wstring>& args);

// --- paths and files ---------------------------------------------------------------
//
// Paths are wide strings. The program writes them with '\' as the separator;
// every call here accepts '\' and '/' alike, and runs of separators count as
// one. A path that begins with a separator is taken from the file-system root.
// Paths this layer returns (program file, current directory, full paths,
// PathJoin) use '\' too, so the program can split them at its separator;
// PlatformNativePath turns any of them into the form the C library opens.

// Full path of the program file. Returns the length, 0 on failure (also when
// it does not fit: a cut path would name another file).
uint32_t GetModuleFileNameW(HMODULE module, wchar_t* path, uint32_t size);
// Returns the length; when the buffer is too small, the size needed
// (terminator included) and the buffer is left alone. 0 on failure.
uint32_t GetCurrentDirectoryW(uint32_t size, wchar_t* path);
bool SetCurrentDirectoryW(const wchar_t* path);
bool FileExists(const wchar_t* path);       // a file or a folder
bool DirectoryExists(const wchar_t* path);
// Makes path absolute and resolves "." and ".." (without touching the disk;
// ".." at the root stays at the root). Returns the length, 0 on failure, or,
// when out is too small, the size needed (terminator included) with out left
// alone. *lastComponent points into out at the last path component (null when
// there is none, as for the root "\").
uint32_t GetFullPathNameW(const wchar_t* path, uint32_t size, wchar_t* out, wchar_t** lastComponent);
// The form the C library and SDL open: every '\' turned into '/', runs of
// separators as one, "." and ".." resolved as text ("a\media\..\Data" is
// "a/Data" whether or not "media" exists). Every file call of the layer goes
// through it, so existence checks and opening agree.
std::string PlatformNativePath(const wchar_t* path);
std::wstring PathJoin(const std::wstring& a, const std::wstring& b);

// Text conversions (UTF-8 <-> wide).
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string WideToUtf8(const wchar_t* text);

// --- settings store ----------------------------------------------------------------
//
// The one per-user value store of the program: 32-bit values under a key path
// (such as "Software\Trevolia\Framework"), kept in a small file under
// $XDG_CONFIG_HOME/trevolia/ (default ~/.config/trevolia/). Writes replace the
// file atomically. An unreadable or corrupt file reads as "not set".

bool SettingsReadDword(const wchar_t* keyPath, const wchar_t* valueName, DWORD* value);
// False (and nothing written) when the folder or file cannot be written.
bool SettingsWriteDword(const wchar_t* keyPath, const wchar_t* valueName, DWORD value);
// The settings file's path (tests point $XDG_CONFIG_HOME elsewhere).
std::string SettingsFilePath();

// --- power, display and system switches ----------------------------------------------

constexpr DWORD ES_SYSTEM_REQUIRED = 0x00000001;
constexpr DWORD ES_DISPLAY_REQUIRED = 0x00000002;
constexpr DWORD ES_CONTINUOUS = 0x80000000;
// Keeps the display awake while ES_DISPLAY_REQUIRED is given.
DWORD SetThreadExecutionState(DWORD flags);

// Accessibility shortcut records (sticky, toggle and filter keys).
struct ACCESSIBILITYKEYS {
    DWORD cbSize;
    DWORD dwFlags;
};
constexpr DWORD SKF_STICKYKEYSON = 0x1;
constexpr DWORD SKF_HOTKEYACTIVE = 0x4;
constexpr DWORD SKF_CONFIRMHOTKEY = 0x8;
enum class AccessibilityFeature { StickyKeys, ToggleKeys, FilterKeys };
bool GetAccessibilityKeys(AccessibilityFeature feature, ACCESSIBILITYKEYS* keys);
bool SetAccessibilityKeys(AccessibilityFeature feature, const ACCESSIBILITYKEYS* keys);
// Scheduler timer resolution in milliseconds.
bool TimeBeginPeriod(UINT milliseconds);
// System-wide keyboard hook that can swallow the Windows keys.
HHOOK InstallLowLevelKeyboardHook(bool (*swallow)(UINT virtualKey));
bool RemoveKeyboardHook(HHOOK hook);
// Game-controller input on/off.
void EnableGameControllers(bool enable);
// Lines scrolled per wheel notch.
UINT GetWheelScrollLines();
// True when the program runs in a remote session.
bool IsRemoteSession();

// --- bounded wide-string formatting --------------------------------------------------
//
// The program's formats follow one convention: "%s" is a wide string, "%S" a
// narrow (UTF-8) string, "%c" a wide character, "%ld"/"%lu"/"%lx" take 32-bit
// values, "%d", "%u", "%x", "%f", "%g", "%e", "%p", "%%" as usual, with flags,
// width and precision. The result is cut at the buffer size and always
// terminated. Returns S_OK, or a failure code when it had to cut (the buffer
// still holds the cut text) or the arguments are invalid.

constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007Au);

HRESULT StringCchPrintfW(wchar_t* dest, size_t size, const wchar_t* format, ...);
HRESULT StringCchVPrintfW(wchar_t* dest, size_t size, const wchar_t* format, va_list args);
HRESULT StringCchCopyW(wchar_t* dest, size_t size, const wchar_t* source);
HRESULT StringCchCopyNW(wchar_t* dest, size_t size, const wchar_t* source, size_t count);
HRESULT StringCchCatW(wchar_t* dest, size_t size, const wchar_t* source);
HRESULT StringCchLengthW(const wchar_t* text, size_t max, size_t* length);
HRESULT StringCchCopyA(char* dest, size_t size, const char* source);
// Case-insensitive comparison of at most count characters.
int wcsnicmp_portable(const wchar_t* a, const wchar_t* b, size_t count);
int wcsicmp_portable(const wchar_t* a, const wchar_t* b);
