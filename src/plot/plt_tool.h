// Plot control: the thin layer between a plotting program and the graphics kernel.
// It opens, resets and closes the plot (waiting for the user in a window, detaching into
// the background in batch runs), remembers the open workstation, the viewport of the
// plot in use and the margins it is made from, writes the picture to image files after
// each frame, shows status lines, and turns the window's events (zoom rectangle, unzoom,
// redraw, resize, refresh timer, position queries) into calls back into the program.
#pragma once

#include <string>

#include "base/domain.h"

struct IMAGE;

// Opens the plot for a domain of width-to-height ratio aspect: decodes the plot
// parameters, lays out the viewport and opens the graphics on the device chosen by the
// options. 0, or -1 when plotting is off or the device is "none". A workstation that
// cannot be opened ends the program with status 4, except in a batch run that writes
// dumps, which then draws in memory.
int PLT_open(float aspect);
// The same for a plot already open (a callback's redraw): new viewport, cleared picture.
int PLT_reset(float aspect);
// Ends the plot: a batch run first detaches into the background; a window then waits for
// the user unless dumps are written; the graphics are closed and the labels cleared.
// 0, or -1 when plotting is off.
int PLT_close();
// Ends the graphics and the program.
[[noreturn]] void PLT_exit(int status);

// Callbacks: pointer and key events (event name, plot position), and the functions that
// draw the plot again for a domain after a zoom, a resize and on the refresh timer.
using PLT_EVENT_FUNC = int (*)(const char *event, float x, float y);
using PLT_DOMAIN_FUNC = int (*)(const DOMAIN *domain);
int PLT_set_callback(PLT_EVENT_FUNC func);
int PLT_set_zoom_func(PLT_DOMAIN_FUNC func);
int PLT_set_resize_func(PLT_DOMAIN_FUNC func);
// Calls func every interval seconds from the window's event loop.
int PLT_set_refresh_func(float interval, PLT_DOMAIN_FUNC func);
int PLT_plot_refresh();
// "size": draws again through the resize function. 0.
int PLT_plot_resize(const char *event);
// Zoom rectangle ("B1-P-Shft" then "B1-R..."), unzoom ("u-Alt"), redraw ("r-Alt"), in
// plot coordinates. 1 when a zoom function ran, 0 for other events, -1 for an empty
// rectangle or nothing to unzoom.
int PLT_plot_zoom(const char *event, float x, float y);
// "v-Alt": the position (and, for PLT_print_values, the nearest station) on the terminal.
int PLT_print_location(const char *event, float x, float y);
int PLT_print_values(const char *event, float x, float y);
int PLT_set_zoom(int n);
int PLT_get_zoom();
// The domain before the first zoom (valid while PLT_get_zoom() > 0).
const DOMAIN &PLT_get_unzoomed();

// How a batch run leaves the foreground (ZOR_back_proc unless a test replaces it).
using PLT_DETACH_FUNC = int (*)();
void PLT_set_detach_func(PLT_DETACH_FUNC func);

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
// An empty name gives "zor.gif", "zor.png", "zor.img" (native) or "zor.xwd". The name is
// a file-name template: key 'i' is the frame number ("%2.2d", "win" without frames), 'p'
// the window title, the date codes the date of the current file; the result goes into
// the "image_path" folder.
inline constexpr int PLT_DUMP_XWD = 1;
inline constexpr int PLT_DUMP_GIF = 2;
inline constexpr int PLT_DUMP_IMG = 3;
inline constexpr int PLT_DUMP_PNG = 4;
int PLT_set_dump(int type, const char *name);
// True when the GIF dump of a loop is one animated GIF (plot parameter "gif_anim"): the
// all-frames dump (frame -4) then writes every frame into one file, key 'i' "all", and
// the satellite driver makes it once the loop is made instead of one file per frame.
bool PLT_dump_animates();
// The dump type; the name template into name when given.
int PLT_get_dump(std::string *name);
// Writes frame `frame` (-4: every frame of a loop) to the dump file(s); 0, or -1 when no
// dump type is set. Failures are reported per file.
int PLT_dump(int frame);
// Writer of the native image dumps (the image record's owner registers it); 1 on success.
using PLT_IMAGE_WRITER = int (*)(const char *name, const IMAGE *image);
void PLT_set_image_writer(PLT_IMAGE_WRITER func);
// The program writes files of its own from each frame (native images): a batch run with
// no display then draws in memory, as it does for dumps. Set before PLT_open.
void PLT_set_file_output(bool on);

// Formats a status line (printf style, at most 300 characters) and shows it on the
// workstation's message line; nothing while no workstation is open.
int PLT_mess(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Back to the start-up state.
void PLT_reset_state();
