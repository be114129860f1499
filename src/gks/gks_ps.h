// PostScript workstation (type 4): the picture as a PostScript or Encapsulated PostScript
// program written to a file, appended to one, or sent to a print command. Device units are
// points (1/72 inch) with y growing upwards. Colours are written as RGB in colour mode and
// as grey levels otherwise; lines and text are black on grey paper, only fills are grey.
// The grey table kept here also gives the HP-GL device its fill shading.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gks/gks_device.h"

struct IMAGE;

// Opens the output: "|command" pipes, "+name" appends (no prolog and trailer), otherwise
// the file is created. The environment variable "PSCOLOR" switches colour output on.
// 0, or -1 when it cannot be opened.
int gps_open_file(const char *name);
// Directs the output into a string instead of a file (tests).
int gps_open_string(std::string *text);
// Resets the options and the graphics state written so far (not the output).
int gps_init();
// Writes the prolog (or, when appending, the few lines that set the state).
int gps_init_file();
// Writes the trailer and closes: 0, -1 when nothing was open or the output failed.
int gps_close_file();
bool gps_is_open();

// Settings.
int gps_set_size(float width, float height); // paper size in inches
int gps_set_EPS(int flag);
int gps_set_orient(int portrait);
int gps_set_scale(float factor);
int gps_set_colorPS(int flag);
int gps_get_colorPS();
int gps_set_reverse(int flag);
int gps_set_base_width(int width);

// Drawing. gps_move / gps_line take world coordinates, the _abs forms points.
int gps_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
int gps_move(float x, float y);
int gps_line(float x, float y);
int gps_move_abs(float x, float y);
int gps_line_abs(float x, float y);
int gps_set_color(int index);
int gps_set_fill_color(int index);
int gps_set_width(int color_index, float width);
int gps_set_type(int line_type);
// Grey level of a colour: (0.9 r + g + 0.8 b) / 2.7, or 1 minus that when reversed.
int gps_set_color_rep(int index, float r, float g, float b);
// Grey level of a colour index; the print colours are 0 (500-502), 1 (503-505), 0.7.
float gps_get_gray(int index);
// The image at the current viewport, one value per point, offset by (x, y) image pixels.
int gps_image(const IMAGE *image, int x, int y);

// Named paper sizes ("letter", "legal", "11x17", "a4" ... "a1", "b4" ... "b1", "ansid"),
// width by height in inches, any case; false for other names.
bool gps_paper_size(const std::string &name, float *width, float *height);

// Device factory of the PostScript workstation (device table). Options from "zorps_param"
// then from the connection's fields after the output name; the output is that name, else
// args.output, else "zor.ps". The surface is the paper less a quarter inch on every side,
// unless args.geometry gives "WxH+X+Y" (hundredths of an inch) or a panel "P...".
std::unique_ptr<GksDevice> gps_open_device(const GksOpenArgs &args);
// A PostScript device on an already opened output (gps_open_file / gps_open_string).
std::unique_ptr<GksDevice> gps_make_device();
void gps_reset_state();

namespace gks::detail {
// Options of the paper devices: a keyword of n letters, one separator character, then a
// value. The value text when `word` starts so (any case), else nothing.
std::optional<std::string> paper_option(const std::string &word, const char *key);
// A whole word as a number greater than zero (and at most `max`); nothing otherwise.
std::optional<float> positive_number(const std::string &text, float max);
// "WxH" in inches, each above zero and at most `max`.
bool paper_dimensions(const std::string &text, float max, float *width, float *height);
// Grey level of a print colour 500-508, nothing for other indices.
std::optional<float> print_gray(int index);
} // namespace gks::detail
