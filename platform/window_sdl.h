// For the layer's own use (the device draws into a window's SDL surface) and
// for tests: the SDL window behind a window handle, and the entry of SDL
// events into the message queue.
#pragma once

#include "platform/types.h"

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;

// Null for a destroyed or unknown window.
SDL_Window* PlatformSdlWindow(HWND window);
HWND PlatformWindowFromSdl(SDL_Window* window);
// Starts the SDL video subsystem once (idempotent). False when no display
// can be opened. Windows are created with SDL_WINDOW_OPENGL, hidden.
bool PlatformInitVideo();

// Turns one SDL event into queued window messages at once, exactly as
// PeekMessageW does for every event it takes from SDL's queue. Tests feed
// events through this (deterministic, with the timestamps they choose) or
// push them into SDL's queue (SDL_PushEvent stamps the current time;
// SDL_PeepEvents with SDL_ADDEVENT keeps the given timestamp).
void PlatformQueueSdlEvent(const SDL_Event* event);

// The virtual key of an SDL keycode (0 for keys without one). Modifier keys
// give the generic VK_SHIFT, VK_CONTROL, VK_MENU, as key messages carry them.
UINT PlatformVirtualKeyFromSdl(int32_t sdlKeycode);

// A cursor handle for an SDL cursor (for SetCursor); the handle owns the SDL
// cursor and frees it in PlatformDestroyCursor. Null for a null cursor.
HCURSOR PlatformCursorFromSdl(SDL_Cursor* cursor);
void PlatformDestroyCursor(HCURSOR cursor);
