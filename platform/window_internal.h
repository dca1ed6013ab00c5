// Internal state shared by the window, event and key units of the layer. Not
// for use outside platform/.
#pragma once

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "platform/window.h"

struct PlatformWindow {
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    WNDPROC proc = nullptr;
    std::wstring className;
    UINT classStyle = 0;
    HCURSOR classCursor = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring title;
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool restoreToMaximized = false;  // minimised from the maximised state
    RECT normalRect = {0, 0, 0, 0};   // outer rectangle in the restored state
    // Last size reported with WM_SIZE (to drop the duplicate SDL sends for
    // one change).
    WPARAM lastSizeKind = 0xFFFF;
    int lastSizeW = -1;
    int lastSizeH = -1;
    // Last client origin reported with WM_MOVE.
    int lastMoveX = INT32_MIN;
    int lastMoveY = INT32_MIN;
    // Double-click tracking: the last press that may start a double click.
    int clickButton = 0;  // SDL button number, 0 = none
    uint32_t clickTime = 0;
    int clickX = 0;
    int clickY = 0;
    bool destroying = false;
};

namespace platform_detail {

// The live window behind a handle, or null for a destroyed or unknown one.
PlatformWindow* Lookup(HWND window);
PlatformWindow* LookupSdlId(uint32_t id);
// Handles of every live window, oldest first.
std::vector<HWND> AllWindows();

// Frame decoration around the client area of a window of the given style
// (left, top, right, bottom thicknesses; zero for undecorated windows).
RECT FrameInsets(const PlatformWindow* w, DWORD style);
// Client-area origin of a window in screen coordinates.
POINT ClientOrigin(const PlatformWindow* w);
// Current client size (0 × 0 while minimised).
void ClientSize(const PlatformWindow* w, int* width, int* height);
// Records the restored-state outer rectangle from the current geometry.
void RememberNormalRect(PlatformWindow* w);

// Sends WM_SIZE / WM_MOVE when the window's state, client size or position
// differs from what was last reported (SDL reports one change several times).
// send: call the window procedure now (as the window calls do), else queue.
void NotifySize(HWND window, WPARAM kind, int width, int height, bool send = true);
void NotifyMove(HWND window, int x, int y, bool send = true);
// The size kind of the window's current state (SIZE_MINIMIZED, ...).
WPARAM CurrentSizeKind(const PlatformWindow* w);

// The message queue.
void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, uint32_t time, POINT pt);
void DropMessagesFor(HWND window);
// Forgets per-window input state (capture, click tracking) of a window that
// is being destroyed.
void ForgetWindowInput(HWND window);

// Keyboard.
UINT VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode);
// The left/right variant of a modifier key (VK_LSHIFT ... VK_RMENU), else 0.
UINT SidedVirtualKeyFromSdl(SDL_Keycode key);
// Updates the layer's record of which keys are down.
void RecordKeyState(UINT virtualKey, bool down);
bool RecordedKeyDown(UINT virtualKey);
void ResetRecordedKeys();

// Cursor position in screen coordinates tracked from processed mouse events.
void RecordCursorPos(POINT screen);
// The window that last gained the input focus (null when none of ours has it).
HWND FocusWindow();

}  // namespace platform_detail
