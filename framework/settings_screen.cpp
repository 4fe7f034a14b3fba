// settings_screen.cpp — the settings panel, its option rows and sliders.
#include "framework/settings_screen.h"

#include "draw/draw.h"
#include "framework/binding_buttons.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "input/controls.h"
#include "platform/platform.h"
#include "settings/settings.h"

int SettingsOpen;
int PanelOffset = -300;
int PanelClickLeft, PanelClickRight;

namespace {

constexpr int kHidden = -300;   // PanelOffset with the panel out of sight
constexpr int kSlideStep = 32;  // per frame: at rest at +20 after 10 frames
constexpr int kAudioChoices = 6;
constexpr int kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

// Panel-relative y to virtual y.
int At(int y) { return y + PanelOffset; }

std::string Number(int value) { return Str(int64_t{value}); }

void SetPanelGreen() { SetDrawColor(80, 255, 80); }

void DrawLabel(int x, int y, const std::string& label) {
    const int bar = Instr(label, "|");
    if (bar == 0) {
        DrawTextAligned(x, y + 16, label, 0, 1);
    } else {
        DrawTextAligned(x, y + 8, Left(label, bar - 1), 0, 1);
        DrawTextAligned(x, y + 24, Mid(label, bar + 1), 0, 1);
    }
}

void DrawBackground() {
    SetImageFont(FontByRole[2]);
    ResetDrawState();
    SetBlendMode(2);
    SetDrawColor(40, 40, 40, 0.8f);
    DrawRect(0, 0, static_cast<float>(ScreenWidth), static_cast<float>(PanelOffset + 300));
    SetBlendMode(1);
    SetDrawColor(80, 80, 80, 0.4f);
    DrawRect(0, 0, static_cast<float>(ScreenWidth), static_cast<float>(PanelOffset + 298));
    // A light line along the lower edge.
    SetDrawColor(180, 255, 180, 1);
    DrawRect(0, static_cast<float>(PanelOffset + 298), static_cast<float>(ScreenWidth), 2);
}

// Resolution stepping over the row (or the 200 × 70 area below it): next
// with Right, Up or a left click, previous with Left, Down or a right click,
// wrapping at both ends of the list.
void ResolutionRow() {
    int hovered = OptionRow(2, 20, 70, 11, "Resolution");
    if (hovered == 0) hovered = MouseInRect(20, At(70), 200, 70) ? 1 : 0;
    if (hovered == 1 && ModeCount > 0) {
        // Every key's hits are taken, so a press does not wait for a later frame.
        const bool right = KeyHit(kKeyRight) > 0, up = KeyHit(kKeyUp) > 0;
        const bool left = KeyHit(kKeyLeft) > 0, down = KeyHit(kKeyDown) > 0;
        bool stepped = false;
        if (right || up || PanelClickLeft > 0) {
            Settings[4] += 1;
            if (Settings[4] > ModeCount) Settings[4] = 1;
            stepped = true;
        }
        if (left || down || PanelClickRight > 0) {
            Settings[4] -= 1;
            if (Settings[4] < 1) Settings[4] = ModeCount;
            stepped = true;
        }
        if (stepped) {
            // A position left from another display may lie outside this list.
            if (Settings[4] > ModeCount) Settings[4] = 1;
            Settings[5] = ModeWidth[Settings[4]];
            Settings[6] = ModeHeight[Settings[4]];
        }
    }
    SetDrawScale(1);
    DrawTextAligned(20, At(108), Number(Settings[5]) + "x" + Number(Settings[6]));
    const int h = Settings[6];
    if (h < 900) {
        SetDrawColor(255, 180, 80);
        DrawTextAligned(80, At(128), "Small (Bit blurry)");
    } else if (h <= 960) {
        SetDrawColor(255, 255, 80);
        DrawTextAligned(80, At(128), "Native (Crisp, Clear)");
    } else {
        SetDrawColor(180, 255, 80);
        DrawTextAligned(80, At(128), "Bigger! (High-Definition!)");
    }
    SetPanelGreen();
}

void ApplyButton() {
    SetDrawScale(1);
    const int w = TextWidth("Apply") + 4, h = TextHeight() + 4;
    if (MouseInRect(18, At(258), w, h)) {
        SetDrawColor(0, 120, 0, 0.5f);
        DrawRect(18, static_cast<float>(At(258)), static_cast<float>(w), static_cast<float>(h));
        if (PanelClickLeft > 0) {
            PanelClickLeft = 0;
            SettingsOpen = 0;
            SaveSetup();
            ApplyGraphics();
            // Everything was reloaded with the display: take the new font.
            ResetDrawState();
            SetImageFont(FontByRole[2]);
        }
    }
    SetDrawColor(80, 255, 80, 1);
    DrawTextAligned(20, At(260), "Apply");
}

void BindingGroups() {
    if (MouseMode != 0) return;
    for (int p = 1; p <= ControlCount && p <= 4; ++p) {
        const int x = p <= 2 ? 250 : 650;
        const int y = p % 2 == 1 ? 10 : 160;
        DrawBindingGroup(p, x, At(y));
    }
}

void AudioColumn() {
    const int x = ScreenWidth - 280;
    OptionRow(14, x, 20, 24, "AUDIO");
    SetDrawScale(1);
    SetDrawColor(255, 180, 180);
    DrawTextAligned(x, At(50), "Changes require a Restart");
    Settings[11] = SnapVolume(VolumeSlider(Settings[11], x, 70, "Master Volume"));
    Settings[12] = SnapVolume(VolumeSlider(Settings[12], x, 120, "Sounds"));
    Settings[13] = SnapVolume(VolumeSlider(Settings[13], x, 170, "Music"));

    for (int p = 1; p <= JoyPortCount && p <= 4; ++p) {
        const int y = At(230 + 15 * (p - 1));
        // Yellow while button 0 is held; dimmed while the port is switched off.
        const float alpha = JoyEnabled[p] == 0 ? 0.2f : 1.0f;
        if (JoyDown(0, p - 1)) {
            SetDrawColor(255, 255, 80, alpha);
        } else {
            SetDrawColor(80, 255, 80, alpha);
        }
        const std::string& name = JoyNameOf[p];
        if (PanelClickLeft > 0 && MouseInRect(x, y, TextWidth(name), 14)) {
            PanelClickLeft = 0;
            JoyEnabled[p] = 1 - JoyEnabled[p];
        }
        DrawTextAligned(x, y, name);
    }
    SetDrawColor(255, 255, 255, 1);
}

}  // namespace

int SnapVolume(int value) {
    if (value < 6) return 0;
    if (value > 94) return 100;
    return value;
}

std::vector<std::string> AudioRowLabels() {
    std::vector<std::string> labels;
    for (const std::string& name : AudioDriverList) {
        if (static_cast<int>(labels.size()) == kAudioChoices) break;
        labels.push_back("Audio Driver|" + name);
    }
    if (labels.empty()) labels.push_back("Audio Driver|");
    return labels;
}

int OptionRow(int index, int x, int y, int iconBase, const std::string& label0,
              const std::string& label1, const std::string& label2, const std::string& label3,
              const std::string& label4, const std::string& label5) {
    std::vector<std::string> labels = {label0, label1, label2, label3, label4, label5};
    int count = 1;
    if (label0 == "AUDIO") {
        // Only back ends that exist: a click can never point past the list.
        labels = AudioRowLabels();
        count = static_cast<int>(labels.size());
    } else {
        for (int i = 1; i < 6; ++i) {
            if (!labels[i].empty()) ++count;
        }
    }
    int& value = Settings[index];
    const std::string& shown =
        value >= 0 && value < static_cast<int>(labels.size()) && !labels[value].empty()
            ? labels[value]
            : labels[0];

    SetDrawScale(1);
    SetImageFont(FontByRole[2]);
    DrawLabel(x + 38, At(y), shown);

    SetDrawScale(2);
    const int bar = Instr(shown, "|");
    const std::string first = bar > 0 ? Left(shown, bar - 1) : shown;
    const bool inside = MouseInRect(x, At(y), TextWidth(first) + 38, 32);
    const int frame = iconBase + value;
    if (!inside) {
        DrawImageTopLeft(IconImageCrisp, x, At(y), frame, 1);
        return 0;
    }
    DrawGlowImage(IconImageCrisp, x, At(y), frame, IconImage, 1.1f, 0.8f);
    if (PanelClickLeft > 0) {
        value = (value + 1) % count;
        if (value < 0) value = 0;
    }
    return 1;
}

int VolumeSlider(int value, int x, int y, const std::string& label) {
    SetDrawColor(80, 255, 80);
    SetDrawScale(3.1f, 1.5f);
    DrawImageTopLeft(IconImageCrisp, x - 2, At(y), 21, 1);
    DrawImageTopLeft(IconImageCrisp, x + 48, At(y), 22, 1);
    // The knob shows the value before this frame's change.
    SetDrawColor(255, 80, 80);
    SetDrawScale(1, 1.5f);
    // "Setup.ini" may hold any volume ("Master = 99999"): the knob stays on the bar.
    DrawImageTopLeft(IconImageCrisp, x + (value < 0 ? 0 : value > 100 ? 100 : value) - 9, At(y), 23, 1);
    SetDrawColor(80, 180, 255);
    // The test is strict, so a drag gives 1..99; the caller's snap makes the ends.
    if (MouseDown(1) && MouseInRect(x - 2, At(y) - 4, 100, 24)) value = MouseXNow - x + 2;
    SetDrawScale(1);
    DrawTextAligned(x, At(y) + 20, label + " : " + Number(value));
    return value;
}

void SettingsScreen() {
    PanelClickLeft = MouseHit(1);
    PanelClickRight = MouseHit(2);

    if (SettingsOpen == 1 && PanelOffset < 0) PanelOffset += kSlideStep;
    if (SettingsOpen == 0 && PanelOffset > kHidden) PanelOffset -= kSlideStep;
    if (PanelOffset <= kHidden) return;

    DrawBackground();
    // The panel's icons are drawn even after a frame that spent its budget.
    DrawCount[1] = 0;
    DrawCount[2] = 0;

    SetPanelGreen();
    DrawTextAligned(20, At(4), "Graphics");
    OptionRow(1, 20, 30, 13, "Windowed", "Fullscreen");
    ResolutionRow();
    OptionRow(7, 20, 146, 18, "Draw all Frames|Decent System", "Frameskip|Slow System");
    OptionRow(3, 20, 184, 18, "OpenGL|Optimum", "DirectX 9|Alternative", "DirectX 7|Backup");
    ApplyButton();
    BindingGroups();
    AudioColumn();
    ResetDrawState();
}
