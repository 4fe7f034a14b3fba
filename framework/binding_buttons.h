// binding_buttons.h — the buttons of the settings panel that show and change
// the control bindings (input/controls.h).
#pragma once

// The 48 × 48 binding button for KeyBindings[index] with its top-left at
// (x, y) in virtual pixels. While the pointer is on it and the settings panel
// is in place (PanelOffset ≥ 0) the first held input (ScanInput) rebinds it;
// Backspace clears it. Lit while pointed at or while its input is held.
void DrawBindingButton(int index, int x, int y);
// Player p's eight buttons (up, left, right, down and the four action
// buttons) around the origin (x, y), each tinted by its colour.
void DrawBindingGroup(int player, int x, int y);
