// x11_probe.cpp — what a window manager and a screen reader-back would do,
// straight through Xlib (loaded at run time so nothing links against it).
// Kept apart from the platform header: Xlib's names (Pixmap, Font,
// CurrentTime) collide with ours.
#include "tests/window/x11_probe.h"

#include <X11/Xlib.h>
#include <dlfcn.h>


// Asks the window to close the way a window manager does: a WM_DELETE_WINDOW
// client message. (Destroying the window from outside is no close request.)
bool SendCloseRequest(unsigned long window) {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (!x11) return false;
    auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    auto atom = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(x11, "XInternAtom"));
    auto send = reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(
        dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XFlush"));
    auto close = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
    bool ok = false;
    if (open && atom && send && flush && close) {
        if (Display* d = open(nullptr)) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window;
            e.xclient.message_type = atom(d, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = static_cast<long>(atom(d, "WM_DELETE_WINDOW", False));
            e.xclient.data.l[1] = CurrentTime;
            ok = send(d, window, False, NoEventMask, &e) != 0;
            flush(d);
            close(d);
        }
    }
    dlclose(x11);
    return ok;
}

// The colour (0xRRGGBB) the X server shows at (x, y) of the window, or -1.
long ScreenPixel(unsigned long window, int x, int y) {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (!x11) return -1;
    auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    auto get = reinterpret_cast<XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned,
                                            unsigned long, int)>(dlsym(x11, "XGetImage"));
    auto close = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
    long rgb = -1;
    if (open && get && close) {
        if (Display* d = open(nullptr)) {
            if (XImage* img = get(d, window, x, y, 1, 1, ~0UL, ZPixmap)) {
                const unsigned long px = img->f.get_pixel(img, 0, 0);
                // Scale each channel by its mask to 8 bits.
                auto channel = [px](unsigned long mask) {
                    if (!mask) return 0L;
                    int shift = 0;
                    while (!((mask >> shift) & 1)) ++shift;
                    const unsigned long max = mask >> shift;
                    return static_cast<long>(((px & mask) >> shift) * 255 / max);
                };
                rgb = (channel(img->red_mask) << 16) | (channel(img->green_mask) << 8) |
                      channel(img->blue_mask);
                img->f.destroy_image(img);
            }
            close(d);
        }
    }
    dlclose(x11);
    return rgb;
}

