// HP-GL/2 workstation (type 5): the picture in the plotter language, by default wrapped in
// the PCL commands that switch a laser printer into HP-GL/2 and back. Device units are
// plotter units, 1015 per inch, y growing upwards. Pens are black; fills are shaded by the
// grey level of their colour (the PostScript device's grey table).
#pragma once

#include <memory>
#include <string>

#include "gks/gks_device.h"

// Opens the output: "|command" pipes, "+name" appends (no initialisation, no page end),
// otherwise the file is created. 0, or -1 when it cannot be opened.
int ghpgl_open_file(const char *name);
// Directs the output into a string instead of a file (tests).
int ghpgl_open_string(std::string *text);
// Resets the options and the pen state written so far (not the output).
int ghpgl_init();
int ghpgl_init_file();
// Writes the page end and closes: 0, -1 when nothing was open or the output failed.
int ghpgl_close_file();
bool ghpgl_is_open();

// Settings. The colour and reverse switches are kept but do not change the output.
int ghpgl_set_pcl(int mode); // 0 plain HP-GL/2, 1 PCL wrapper, 2 PCL wrapper, plot turned
int ghpgl_set_rotate(int degrees);
int ghpgl_set_base_width(float mm);
int ghpgl_set_scale(float factor);
int ghpgl_set_colorPS(int flag);
int ghpgl_get_colorPS();
int ghpgl_set_reverse(int flag);
int ghpgl_set_color_rep(int index, float r, float g, float b);

// Drawing. ghpgl_move / ghpgl_line take world coordinates, the _abs forms plotter units.
int ghpgl_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
int ghpgl_move(float x, float y);
int ghpgl_line(float x, float y);
int ghpgl_move_abs(float x, float y);
int ghpgl_line_abs(float x, float y);
int ghpgl_set_color(int index);
int ghpgl_set_fill_color(int index);
int ghpgl_set_width(int color_index, float width);
int ghpgl_set_type(int line_type);

// Device factory of the HP-GL workstation (device table). Options from "zorhp_param" then
// from the connection's fields after the output name; the output is that name, else
// args.output, else "zor.hpgl". The surface is the paper less a quarter inch on every side
// at offset (10, 10), unless args.geometry gives "WxH+X+Y" (hundredths of an inch) or a
// panel "P...".
std::unique_ptr<GksDevice> ghpgl_open_device(const GksOpenArgs &args);
// An HP-GL device on an already opened output (ghpgl_open_file / ghpgl_open_string).
std::unique_ptr<GksDevice> ghpgl_make_device();
void ghpgl_reset_state();
