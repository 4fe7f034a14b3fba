// sdl_keys.cpp — key and text translation for the SDL back end.
#include "platform/sdl/sdl_keys.h"

#include <SDL.h>

namespace plat {

int TranslateSdlKey(int sdlKeycode, int sdlScancode) {
    if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) return 'A' + (sdlKeycode - SDLK_a);

    const int sc = sdlScancode;
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc == SDL_SCANCODE_0) return '0';
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return 112 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return 124 + (sc - SDL_SCANCODE_F13);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 97 + (sc - SDL_SCANCODE_KP_1);

    switch (sc) {
        case SDL_SCANCODE_BACKSPACE: return 8;
        case SDL_SCANCODE_TAB: return 9;
        case SDL_SCANCODE_CLEAR: return 12;
        case SDL_SCANCODE_RETURN: return 13;
        case SDL_SCANCODE_KP_ENTER: return 13;
        case SDL_SCANCODE_PAUSE: return 19;
        case SDL_SCANCODE_CAPSLOCK: return 20;
        case SDL_SCANCODE_ESCAPE: return 27;
        case SDL_SCANCODE_SPACE: return 32;
        case SDL_SCANCODE_PAGEUP: return 33;
        case SDL_SCANCODE_PAGEDOWN: return 34;
        case SDL_SCANCODE_END: return 35;
        case SDL_SCANCODE_HOME: return 36;
        case SDL_SCANCODE_LEFT: return 37;
        case SDL_SCANCODE_UP: return 38;
        case SDL_SCANCODE_RIGHT: return 39;
        case SDL_SCANCODE_DOWN: return 40;
        case SDL_SCANCODE_SELECT: return 41;
        case SDL_SCANCODE_EXECUTE: return 43;
        case SDL_SCANCODE_PRINTSCREEN: return 44;
        case SDL_SCANCODE_INSERT: return 45;
        case SDL_SCANCODE_DELETE: return 46;
        case SDL_SCANCODE_HELP: return 47;
        case SDL_SCANCODE_LGUI: return 91;
        case SDL_SCANCODE_RGUI: return 92;
        case SDL_SCANCODE_APPLICATION: return 93;
        case SDL_SCANCODE_KP_0: return 96;
        case SDL_SCANCODE_KP_MULTIPLY: return 106;
        case SDL_SCANCODE_KP_PLUS: return 107;
        case SDL_SCANCODE_KP_MINUS: return 109;
        case SDL_SCANCODE_KP_PERIOD: return 110;
        case SDL_SCANCODE_KP_DIVIDE: return 111;
        case SDL_SCANCODE_NUMLOCKCLEAR: return 144;
        case SDL_SCANCODE_SCROLLLOCK: return 145;
        case SDL_SCANCODE_LSHIFT: return 160;
        case SDL_SCANCODE_RSHIFT: return 161;
        case SDL_SCANCODE_LCTRL: return 162;
        case SDL_SCANCODE_RCTRL: return 163;
        case SDL_SCANCODE_LALT: return 164;
        case SDL_SCANCODE_RALT: return 165;
        case SDL_SCANCODE_MUTE: return 173;
        case SDL_SCANCODE_VOLUMEDOWN: return 174;
        case SDL_SCANCODE_VOLUMEUP: return 175;
        case SDL_SCANCODE_SEMICOLON: return 186;
        case SDL_SCANCODE_EQUALS: return 187;
        case SDL_SCANCODE_COMMA: return 188;
        case SDL_SCANCODE_MINUS: return 189;
        case SDL_SCANCODE_PERIOD: return 190;
        case SDL_SCANCODE_SLASH: return 191;
        case SDL_SCANCODE_APOSTROPHE: return 192;
        case SDL_SCANCODE_LEFTBRACKET: return 219;
        case SDL_SCANCODE_BACKSLASH: return 220;
        case SDL_SCANCODE_RIGHTBRACKET: return 221;
        case SDL_SCANCODE_NONUSHASH: return 222;
        case SDL_SCANCODE_GRAVE: return 223;
        case SDL_SCANCODE_NONUSBACKSLASH: return 226;
        default: return 0;
    }
}

std::vector<int> Utf8ToLatin1(const std::string& utf8) {
    std::vector<int> out;
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int length;
        int cp;
        if (lead < 0x80) {
            length = 1, cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07;
        } else {
            ++i;  // a stray continuation byte or an invalid lead
            continue;
        }
        if (i + static_cast<size_t>(length) > utf8.size()) break;
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            ++i;
            continue;
        }
        // Overlong forms (such as C1 81 for "A") are rejected like malformed ones.
        const bool overlong = (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
                              (length == 4 && cp < 0x10000);
        if (!overlong && cp >= 1 && cp <= 255) out.push_back(cp);
        i += static_cast<size_t>(length);
    }
    return out;
}

int KeyPressChar(int virtualKey) {
    return (virtualKey == 8 || virtualKey == 13 || virtualKey == 27) ? virtualKey : 0;
}

}  // namespace plat
