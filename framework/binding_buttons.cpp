// binding_buttons.cpp — the binding buttons the settings panel shows when the
// game is played with keys.
#include "framework/binding_buttons.h"

#include <string>

#include "draw/draw.h"
#include "framework/graphics.h"
#include "framework/settings_screen.h"
#include "input/controls.h"
#include "platform/platform.h"

namespace {

constexpr int kKeyBackspace = 8;
constexpr int kButtonSize = 48;

}  // namespace

void DrawBindingButton(int index, int x, int y) {
    if (index < 0 || index > 100) return;
    int& binding = KeyBindings[index];
    const int remembered = binding;
    const bool pointed = MouseInRect(x, y, kButtonSize, kButtonSize) && PanelOffset >= 0;
    if (pointed) {
        // Mouse buttons (1..7) are never taken: the click that points here
        // would otherwise bind itself.
        const int held = ScanInput();
        if (held > kKeyBackspace) binding = held;
        if (held == kKeyBackspace) binding = 0;
    }
    const bool lit = pointed || BindingDown(binding);

    int frame = -1;
    bool centred = true;  // name centred on the button, else on its corner
    if (remembered == 0 || (remembered >= 9 && remembered <= 254)) {
        frame = 3;
    } else if (remembered >= 300) {
        const int s = remembered % 50;
        if (s < 12) {
            frame = 9;
            centred = false;
        } else if (s >= 20 && s < 30) {
            frame = 8;
            centred = false;
        } else if (s >= 30) {
            frame = 10;
        }
    }
    if (frame < 0) return;  // codes outside the table draw nothing

    SetDrawScale(3);
    DrawGlowImage(IconImageCrisp, x, y, frame, IconImage, 1.1f, lit ? 1.0f : 0.0f);
    SetDrawScale(1);
    const std::string text = remembered == 0 || binding == 0 ? "?!" : BindingName(binding);
    if (centred) {
        DrawTextAligned(x + kButtonSize / 2, y + kButtonSize / 2, text, 1, 1);
    } else {
        DrawTextAligned(x, y, text, 1, 1);
    }
}

void DrawBindingGroup(int player, int x, int y) {
    struct Button {
        int control, dx, dy, r, g, b;
    };
    static const Button kButtons[8] = {
        {0, 50, 0, 80, 255, 80},     {3, 0, 50, 80, 255, 80},    {5, 100, 50, 80, 255, 80},
        {8, 50, 50, 80, 255, 80},    {13, 190, 0, 255, 255, 80}, {12, 155, 30, 80, 80, 255},
        {11, 225, 30, 255, 80, 80},  {10, 190, 60, 80, 255, 80},
    };
    const int base = (player - 1) * 20;
    for (const Button& b : kButtons) {
        SetDrawColor(static_cast<float>(b.r), static_cast<float>(b.g), static_cast<float>(b.b));
        DrawBindingButton(base + b.control, x + b.dx, y + b.dy);
    }
}
