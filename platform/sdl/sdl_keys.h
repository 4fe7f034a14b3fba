// sdl_keys.h — SDL key events to the platform's virtual-key numbers, and
// SDL's UTF-8 text to Latin-1 characters. Pure functions (no SDL state), so
// they are tested without a window.
#pragma once

#include <string>
#include <vector>

namespace plat {

// The virtual-key number (1..254) for an SDL key event, or 0 when the key
// has none. Letters follow the layout (the SDL keycode, so the key labelled
// "A" is 65 on any layout that has Latin letters); every other key is taken
// by its position (the scancode), named the way its UK keyboard cap reads.
int TranslateSdlKey(int sdlKeycode, int sdlScancode);

// The code points of a UTF-8 text that fit Latin-1 (1..255), in order;
// malformed bytes and characters above 255 are dropped.
std::vector<int> Utf8ToLatin1(const std::string& utf8);

// The character a key press also types, as a classic desktop queues it
// (8 Backspace, 13 Return and keypad Enter, 27 Escape), or 0. Other typed
// characters arrive as text.
int KeyPressChar(int virtualKey);

}  // namespace plat
