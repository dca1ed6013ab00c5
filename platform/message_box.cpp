// Message boxes through SDL_ShowMessageBox.
//
// A box never blocks a run that nobody can answer: with a test hook set the
// hook answers; with TREVOLIA_NO_MESSAGE_BOXES set (the test suites set it), or
// without a display to show a box on, the box answers its default button at
// once. Every box that is not shown is written to standard error, so its text
// is not lost.
#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/system.h"
#include "platform/window.h"
#include "platform/window_sdl.h"

namespace {

MessageBoxHook g_hook = nullptr;
constexpr UINT kReferenceWarningType = 0xFFFFFFFFu;

bool CanShowBoxes() {
    const char* off = std::getenv("TREVOLIA_NO_MESSAGE_BOXES");
    if (off != nullptr && *off != 0 && std::strcmp(off, "0") != 0) return false;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
            return false;
        }
    }
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != 0) || (wl != nullptr && *wl != 0);
}

void LogUnshownBox(const wchar_t* caption, const wchar_t* text, int answer) {
    std::string line = "Message box (not shown, answered ";
    line += std::to_string(answer);
    line += "): ";
    line += WideToUtf8(caption ? caption : L"");
    line += ": ";
    line += WideToUtf8(text ? text : L"");
    line += "\n";
    OutputDebugStringA(line.c_str());
}

// Shows a box: the id of the button pressed, -1 when the box was closed
// without one, kNotShown when it could not be shown.
constexpr int kNotShown = -2;
int Show(HWND owner, const wchar_t* text, const wchar_t* caption, Uint32 flags, const SDL_MessageBoxButtonData* buttons,
         int count) {
    std::string t = WideToUtf8(text ? text : L"");
    std::string c = WideToUtf8(caption ? caption : L"");
    SDL_MessageBoxData data = {};
    data.flags = flags | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = PlatformSdlWindow(owner);  // null for an unknown owner
    data.title = c.c_str();
    data.message = t.c_str();
    data.numbuttons = count;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        OutputDebugStringA("Platform: message box failed: ");
        OutputDebugStringA(SDL_GetError());
        OutputDebugStringA("\n");
        return kNotShown;
    }
    return pressed;
}

}  // namespace

void PlatformSetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (g_hook != nullptr) return g_hook(text, caption, type);
    bool yesNo = (type & 0xF) == MB_YESNO;
    int fallback = yesNo ? IDYES : IDOK;
    if (!CanShowBoxes()) {
        LogUnshownBox(caption, text, fallback);
        return fallback;
    }
    Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR
                   : (type & MB_ICONQUESTION) ? SDL_MESSAGEBOX_WARNING
                                              : SDL_MESSAGEBOX_INFORMATION;
    int pressed;
    if (yesNo) {
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
        };
        pressed = Show(owner, text, caption, flags, buttons, 2);
        if (pressed == kNotShown) {
            LogUnshownBox(caption, text, fallback);
            pressed = fallback;
        } else if (pressed != IDYES && pressed != IDNO) {
            pressed = IDNO;  // closing a Yes/No box is No
        }
    } else {
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
        };
        if (Show(owner, text, caption, flags, buttons, 1) == kNotShown) LogUnshownBox(caption, text, fallback);
        pressed = IDOK;
    }
    return pressed;
}

int ShowReferenceDeviceWarning(HWND owner, const wchar_t* caption, const wchar_t* text) {
    if (g_hook != nullptr) return g_hook(text, caption, kReferenceWarningType);
    if (!CanShowBoxes()) {
        LogUnshownBox(caption, text, IDYES);
        return IDYES;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDYES, "Yes"},
        {0, IDNO, "No"},
        {0, IDYES + 0x80, "Yes, don't show again"},
    };
    int pressed = Show(owner, text, caption, SDL_MESSAGEBOX_WARNING, buttons, 3);
    if (pressed == kNotShown) LogUnshownBox(caption, text, IDYES);
    // Closing the box (or a box that could not be shown) is Yes.
    if (pressed != IDYES && pressed != IDNO && pressed != IDYES + 0x80) pressed = IDYES;
    return pressed;
}
