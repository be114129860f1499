// Plotting layer over the graphics kernel: opening and closing, the plot panel and its
// aspect fitting, attribute records applied to the kernel, and simple shapes.
//
// Transformation 1 covers the whole view (0..xvp, 0..yvp in NDC, the device aspect);
// transformations 2 and 3 are the plot panel, with world coordinates equal to NDC until a
// caller sets another window.
#pragma once

#include <cstdarg>
#include <string>

#include "gks/colors.h"

// Titles, colour table and draw flags, then GPH_begin and GPH_reset; -1 when GPH_begin
// fails.
int GPH_setup(int ws_id, int type, float *panel, float aspect);
// Opens the kernel and the workstation unless open. The plotting layer resolves what a
// device may not look up itself: the "geometry" resource (else the device's geometry
// variable), the output name from the device's environment variable, and "zorprint"
// (hpgl) turning PostScript into HP-GL. 0, or -1 after "GPH_begin: Error opening
// Kernel System" or "... workstation" at level 48; the program then ends with status 4.
int GPH_begin(int ws_id, const char *connection, int type);
int GPH_end(int ws_id);
int GPH_reset(int ws_id, int type, float *panel, float aspect);
// panel = {left, right, bottom, top} margins in; the fitted viewport (xmin, xmax, ymin,
// ymax) out.
int GPH_panel(int ws_id, int type, float *panel, float aspect);
int GPH_get_view_size(float *out);
float GPH_get_vert_win_size();
int GPH_set_view_size(float sizex, float sizey, float offx, float offy);

int GPH_line_attr(const ATTRIB *rec);
int GPH_fill_attr(const ATTRIB *rec);
int GPH_mark_attr(const ATTRIB *rec, float scale);
int GPH_text_attr(const ATTRIB *rec, float scale);
int GPH_text_font(const char *name);
int GPH_set_def_font(const char *name);
int GPH_text_align(int h, int v);
int GPH_get_text_align(int *h, int *v);
int GPH_text_rotate(float degrees);

int GPH_line(float x1, float y1, float x2, float y2);
int GPH_mark(float x, float y);
int GPH_border(const float *r); // r = {xmin, xmax, ymin, ymax}
int GPH_rect(float x1, float y1, float x2, float y2);
int GPH_frect(float x1, float y1, float x2, float y2);
int GPH_circle(float x, float y, float r);
int GPH_fcircle(float x, float y, float r);
int GPH_pprint(const float *pos, const char *text);
int GPH_pprintf(const float *pos, const char *format, ...) __attribute__((format(printf, 2, 3)));
int GPH_printf(const char *format, double x, double y, ...) __attribute__((format(printf, 1, 4)));

int GPH_set_color(int index, float r, float g, float b);
int GPH_trans(int n);
int GPH_view(int n, const float *r);
int GPH_win(int n, const float *r);
int GPH_get_view(int n, float *out);
int GPH_get_win(int n, float *out);
int GPH_print_view(const float *r);
int GPH_hold(int flag);
int GPH_set_win_title();
int GPH_device_prompt(int type);
// Splits "device,rest" at the first comma; returns the type of the device part.
int gdevice_setup(const char *text, std::string *rest);

// Requested and actual workstation type; whether a workstation is open.
int GPH_get_ws_type();
bool GPH_is_open();
// Hook run by GPH_hold to show the picture and wait on an X11 window (set by the event
// module); without one GPH_hold only returns.
using GPH_hold_func = int (*)(int flag);
void GPH_set_hold_func(GPH_hold_func func);
void GPH_reset_state();
