// Plot control: the thin layer between a plotting program and the graphics kernel.
// It remembers the open workstation, the viewport of the plot in use and the margins
// it is made from, which the drawing code of the programs reads back, the dump
// settings, and shows status lines on the workstation.
#pragma once

#include <string>

// Viewport of the plot in use, x1, x2, y1, y2 in normalized device coordinates.
// Returns 0.
int PLT_get_view(float out[4]);
// Workstation type chosen at open (1 window, 3 metafile, 4 PostScript, 5 HP-GL,
// 6 X11 pixmap); 0 before any open.
int PLT_get_work_type();

// Records what opening or resetting the plot gives: the workstation identifier
// and type and the fitted viewport (x1, x2, y1, y2) of the plot panel. Used by the
// open and reset paths and by tests that draw without a full plot set-up.
int PLT_set_open_state(int work_id, int work_type, const float view[4]);

// Margins of the plot panel (left, right, bottom, top, as fractions of the view) that
// the next open or reset lays the viewport out with. At start-up 0.05 below and above
// the plot, the room of one label line each; "full" in the plot parameters takes them
// away. PLT_set_view_offset(f) sets (0, 0, f, f).
int PLT_set_view_offset(float f);
int PLT_set_view_offsets(float left, float right, float bottom, float top);
float PLT_get_view_offset();
int PLT_get_view_offsets(float out[4]);

// Dump of the picture after each frame: 0 none, 1 XWD, 2 GIF, 3 native image, 4 PNG.
// An empty name gives "zor.gif", "zor.png", "zor.img" (native) or "zor.xwd".
inline constexpr int PLT_DUMP_XWD = 1;
inline constexpr int PLT_DUMP_GIF = 2;
inline constexpr int PLT_DUMP_IMG = 3;
inline constexpr int PLT_DUMP_PNG = 4;
int PLT_set_dump(int type, const char *name);
// The dump type; the name template into name when given.
int PLT_get_dump(std::string *name);

// Formats a status line (printf style, at most 300 characters) and shows it on the
// workstation's message line; nothing while no workstation is open.
int PLT_mess(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Back to the start-up state.
void PLT_reset_state();
