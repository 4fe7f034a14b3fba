// names.h — name entry after a game.
#pragma once

// Edits PlayerName in place until Enter, Escape or the left button confirms.
void EnterName();
