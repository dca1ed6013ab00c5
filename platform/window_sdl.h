// For the layer's own use (the device draws into a window's SDL surface):
// the SDL window behind a window handle.
#pragma once

#include "platform/types.h"

struct SDL_Window;

SDL_Window* PlatformSdlWindow(HWND window);
HWND PlatformWindowFromSdl(SDL_Window* window);
// Starts the SDL video subsystem once (idempotent). False when no display
// can be opened.
bool PlatformInitVideo();
