// Test stand-in for the loop program that owns the drawable of pixmap mode.
//
//   x11_pixowner ID_FILE FORM [x,y ...]
//
// Makes a 400 by 300 window named "Loop [0]" and a pixmap of the same size, both black, and
// writes their ids to ID_FILE in FORM: "plus" (+window:pixmap:400x300:colormap, drawing
// goes to the pixmap), "hex" (0xwindow:400x300:0) or "plain" (window:400x300:0). A NOTICE
// message with data byte 2 is answered like the loop program making a new frame: the name
// becomes "Loop +", the drawable is cleared after half a second (wiping whatever a drawer
// that did not wait drew), then the name becomes "Loop [1]" and "notice 2" is printed. Data
// byte 9 prints, for every x,y given, "x,y r g b" (0..255) of the drawable and ends with
// status 0. Status 2 when nothing arrives within 20 seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
    if (argc < 3)
        return 1;
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return 1;
    int screen = DefaultScreen(d);
    unsigned long black = BlackPixel(d, screen);
    XSetWindowAttributes a{};
    a.background_pixel = black;
    a.backing_store = Always;
    Window w = XCreateWindow(d, RootWindow(d, screen), 0, 0, 400, 300, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWBackingStore, &a);
    XStoreName(d, w, "Loop [0]");
    XMapWindow(d, w);
    Pixmap p = XCreatePixmap(d, w, 400, 300, unsigned(DefaultDepth(d, screen)));
    GC gc = XCreateGC(d, p, 0, nullptr);
    XSetForeground(d, gc, black);
    XFillRectangle(d, p, gc, 0, 0, 400, 300);
    XSync(d, False);

    std::string form = argv[2];
    Drawable target = form == "plus" ? p : w;
    FILE *f = std::fopen(argv[1], "w");
    if (!f)
        return 1;
    if (form == "plus")
        std::fprintf(f, "+%lu:%lu:400x300:%lu\n", w, p, DefaultColormap(d, screen));
    else if (form == "hex")
        std::fprintf(f, "0x%lx:400x300:0\n", w);
    else
        std::fprintf(f, "%lu:400x300:0\n", w);
    std::fclose(f);

    pollfd pf{ConnectionNumber(d), POLLIN, 0};
    for (int waited = 0; waited < 200;) {
        if (!XPending(d)) {
            if (poll(&pf, 1, 100) == 0)
                ++waited;
            continue;
        }
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type != ClientMessage || ev.xclient.message_type != XA_NOTICE)
            continue;
        if (ev.xclient.data.b[0] == 2) {
            XStoreName(d, w, "Loop +");
            XSync(d, False);
            poll(nullptr, 0, 500);
            XFillRectangle(d, target, gc, 0, 0, 400, 300);
            XStoreName(d, w, "Loop [1]");
            XSync(d, False);
            std::printf("notice 2\n");
        } else if (ev.xclient.data.b[0] == 9) {
            for (int i = 3; i < argc; ++i) {
                int x = 0, y = 0;
                if (std::sscanf(argv[i], "%d,%d", &x, &y) != 2)
                    continue;
                XImage *im = XGetImage(d, target, x, y, 1, 1, AllPlanes, ZPixmap);
                XColor c{};
                c.pixel = XGetPixel(im, 0, 0);
                XDestroyImage(im);
                XQueryColor(d, DefaultColormap(d, screen), &c);
                std::printf("%d,%d %d %d %d\n", x, y, c.red >> 8, c.green >> 8, c.blue >> 8);
            }
            std::fflush(stdout);
            XFreeGC(d, gc);
            XFreePixmap(d, p);
            XDestroyWindow(d, w);
            XCloseDisplay(d);
            return 0;
        }
    }
    std::printf("timeout\n");
    return 2;
}
