// x11_probe.h — outside views of a window on the X server, for the tests.
#pragma once

// Sends WM_DELETE_WINDOW, as a window manager's close button does.
bool SendCloseRequest(unsigned long window);
// The colour (0xRRGGBB) the X server shows at (x, y) of the window, or -1.
long ScreenPixel(unsigned long window, int x, int y);
