// Events of the X11 window, the hold loop, rubber band, zoom and resize.
//
// The hold loop is the program's one event loop: it shows the picture, animates the frames
// and calls back into the program for keys, buttons, window size changes and the refresh
// timer. Callbacks get world coordinates of the current transformation.
#pragma once

#include <cstdint>
#include <span>

// kind 2: keys and window size changes ("size": x, y are the new width and height in
// pixels); kind 3: mouse buttons ("B1-P", "B3-R-Shft", ...).
using GMouseCallback = int (*)(int kind, const char *text, float x, float y);
using GRefreshCallback = int (*)();

// Input modes: not waiting, waiting for the user, a key was pressed, the wait is over.
inline constexpr int GINPUT_IDLE = 0;
inline constexpr int GINPUT_WAIT = 1;
inline constexpr int GINPUT_KEY = 2;
inline constexpr int GINPUT_DONE = 3;

// Processes every pending event; how many came from the user.
int gcheck_event();
// Blocks for at least one event, then processes all pending ones.
int gwait_event();
// Resets the event state; a negative mode keeps the input mode (a resize during the hold).
int ginit_event(int mode);
int gset_input_mode(int flag);
// True while the hold has not ended.
int gget_input_mode();
int gset_mouse_callback(GMouseCallback fn);
int gset_refresh_callback(float seconds, GRefreshCallback fn);
// Rubber band: 0 off, 1 line, 3 line through a middle point, other values a rectangle.
int gset_rubber_band(int mode);
int gset_rubber_band_points(const float *points, int n, int constraint);
int gset_rubber_band_limits(const float *rect); // world {xmin, xmax, ymin, ymax}; null clears
// Waits for the user on the own window, animating the frames; 0.
int ghold(int flag);

// Zoom by pixel replication: frame (selector), centre pixel in the zoomed view (-1 keeps
// it), factor (-1 keeps, other negatives multiply, positive sets), flag (with zoom 1 and a
// non-zero flag nothing happens).
int gzoom(int frame, int x, int y, int factor, int flag);
int gunzoom();
int greset_zoom();
int gget_zoom();
float xZ_p(float p);
float yZ_p(float p);
// w < 1: take the window's real size (-1 also keeps the picture); otherwise resize the
// window. 1 when the size changed.
int gresize_window(int width, int height);

// Pixel rows as the server hands them out: bits per pixel 1, 4, 8, 16, 24 or 32, rows of
// bytes_per_line bytes; sub-byte pixels most significant bits first unless lsb_first.
struct GPixelRows {
    std::span<uint8_t> data;
    int width = 0, height = 0;
    int bits_per_pixel = 8;
    int bytes_per_line = 0;
    bool lsb_first = false;
};
// Fills dst with the part of src whose top-left pixel is (x0, y0), every source pixel
// replicated into a zoom by zoom block; source pixels past src's edge are left out.
void gzoom_replicate(const GPixelRows &src, int x0, int y0, int zoom, GPixelRows &dst);

void gevnt_reset_state();
void gzoom_reset_state();
