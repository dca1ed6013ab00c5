// SDL keycodes to virtual keys, and the layer's record of which keys are down.
#include <SDL2/SDL.h>

#include <array>

#include "platform/window_internal.h"

namespace {

struct KeyEntry {
    SDL_Keycode key;
    UINT vk;
};

// Keys whose virtual key does not follow from a character.
constexpr KeyEntry kKeyTable[] = {
    {SDLK_BACKSPACE, VK_BACK},
    {SDLK_TAB, VK_TAB},
    {SDLK_CLEAR, VK_CLEAR},
    {SDLK_RETURN, VK_RETURN},
    {SDLK_RETURN2, VK_RETURN},
    {SDLK_PAUSE, VK_PAUSE},
    {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},
    {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},
    {SDLK_SELECT, VK_SELECT},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT},
    {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},
    {SDLK_HELP, VK_HELP},
    {SDLK_LGUI, VK_LWIN},
    {SDLK_RGUI, VK_RWIN},
    {SDLK_APPLICATION, VK_APPS},
    {SDLK_MENU, VK_APPS},
    {SDLK_KP_0, VK_NUMPAD0},
    {SDLK_KP_1, VK_NUMPAD1},
    {SDLK_KP_2, VK_NUMPAD2},
    {SDLK_KP_3, VK_NUMPAD3},
    {SDLK_KP_4, VK_NUMPAD4},
    {SDLK_KP_5, VK_NUMPAD5},
    {SDLK_KP_6, VK_NUMPAD6},
    {SDLK_KP_7, VK_NUMPAD7},
    {SDLK_KP_8, VK_NUMPAD8},
    {SDLK_KP_9, VK_NUMPAD9},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY},
    {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_COMMA, VK_SEPARATOR},
    {SDLK_KP_MINUS, VK_SUBTRACT},
    {SDLK_KP_PERIOD, VK_DECIMAL},
    {SDLK_KP_DECIMAL, VK_DECIMAL},
    {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_KP_CLEAR, VK_CLEAR},
    {SDLK_F1, VK_F1},
    {SDLK_F2, VK_F1 + 1},
    {SDLK_F3, VK_F1 + 2},
    {SDLK_F4, VK_F1 + 3},
    {SDLK_F5, VK_F1 + 4},
    {SDLK_F6, VK_F1 + 5},
    {SDLK_F7, VK_F1 + 6},
    {SDLK_F8, VK_F1 + 7},
    {SDLK_F9, VK_F1 + 8},
    {SDLK_F10, VK_F1 + 9},
    {SDLK_F11, VK_F1 + 10},
    {SDLK_F12, VK_F1 + 11},
    {SDLK_F13, VK_F1 + 12},
    {SDLK_F14, VK_F1 + 13},
    {SDLK_F15, VK_F1 + 14},
    {SDLK_F16, VK_F1 + 15},
    {SDLK_F17, VK_F1 + 16},
    {SDLK_F18, VK_F1 + 17},
    {SDLK_F19, VK_F1 + 18},
    {SDLK_F20, VK_F1 + 19},
    {SDLK_F21, VK_F1 + 20},
    {SDLK_F22, VK_F1 + 21},
    {SDLK_F23, VK_F1 + 22},
    {SDLK_F24, VK_F1 + 23},
    {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},
    // Messages carry the generic modifier keys; the sides are asked with
    // GetKeyState(VK_LSHIFT ...).
    {SDLK_LSHIFT, VK_SHIFT},
    {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},
    {SDLK_RALT, VK_MENU},
    {SDLK_MODE, VK_MENU},  // AltGr on some layouts
    {SDLK_SEMICOLON, VK_OEM_1},
    {SDLK_COLON, VK_OEM_1},
    {SDLK_EQUALS, VK_OEM_PLUS},
    {SDLK_PLUS, VK_OEM_PLUS},
    {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_LESS, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},
    {SDLK_UNDERSCORE, VK_OEM_MINUS},
    {SDLK_PERIOD, VK_OEM_PERIOD},
    {SDLK_GREATER, VK_OEM_PERIOD},
    {SDLK_SLASH, VK_OEM_2},
    {SDLK_QUESTION, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3},
    {SDLK_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, VK_OEM_7},
    {SDLK_QUOTEDBL, VK_OEM_7},
};

// Keys of other layouts (characters without a table entry) by their position.
UINT VirtualKeyFromScancode(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    switch (sc) {
        case SDL_SCANCODE_0: return '0';
        case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
        case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
        case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
        case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
        case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
        case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
        case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
        case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
        case SDL_SCANCODE_GRAVE: return VK_OEM_3;
        case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
        case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
        case SDL_SCANCODE_SLASH: return VK_OEM_2;
        case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
        default: return 0;
    }
}

std::array<bool, 256> g_keyDown{};

}  // namespace

namespace platform_detail {

UINT VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<UINT>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<UINT>(key - SDLK_0);
    for (const KeyEntry& e : kKeyTable) {
        if (e.key == key) return e.vk;
    }
    return VirtualKeyFromScancode(scancode);
}

UINT SidedVirtualKeyFromSdl(SDL_Keycode key) {
    switch (key) {
        case SDLK_LSHIFT: return VK_LSHIFT;
        case SDLK_RSHIFT: return VK_RSHIFT;
        case SDLK_LCTRL: return VK_LCONTROL;
        case SDLK_RCTRL: return VK_RCONTROL;
        case SDLK_LALT: return VK_LMENU;
        case SDLK_RALT:
        case SDLK_MODE: return VK_RMENU;
        default: return 0;
    }
}

void RecordKeyState(UINT virtualKey, bool down) {
    if (virtualKey < g_keyDown.size()) g_keyDown[virtualKey] = down;
    // The generic modifier is down while either side is.
    auto generic = [](UINT left, UINT right, UINT both) { g_keyDown[both] = g_keyDown[left] || g_keyDown[right]; };
    if (virtualKey == VK_LSHIFT || virtualKey == VK_RSHIFT) generic(VK_LSHIFT, VK_RSHIFT, VK_SHIFT);
    if (virtualKey == VK_LCONTROL || virtualKey == VK_RCONTROL) generic(VK_LCONTROL, VK_RCONTROL, VK_CONTROL);
    if (virtualKey == VK_LMENU || virtualKey == VK_RMENU) generic(VK_LMENU, VK_RMENU, VK_MENU);
}

bool RecordedKeyDown(UINT virtualKey) { return virtualKey < g_keyDown.size() && g_keyDown[virtualKey]; }

void ResetRecordedKeys() { g_keyDown.fill(false); }

}  // namespace platform_detail

UINT PlatformVirtualKeyFromSdl(int32_t sdlKeycode) {
    return platform_detail::VirtualKeyFromSdl(static_cast<SDL_Keycode>(sdlKeycode), SDL_SCANCODE_UNKNOWN);
}
