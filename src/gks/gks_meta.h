// Metafile workstation (type 3): a readable text metafile (type 0) where every kernel call
// is one record, or a binary CGM (type 1) with polylines and clip rectangles; and the
// replay of text metafiles through the kernel.
#pragma once

#include <memory>
#include <string>

#include "gks/gks_device.h"
#include "gks/gks_sink.h"

inline constexpr int GMETA_TEXT = 0;
inline constexpr int GMETA_CGM = 1;

int gmeta_set_type(int type);
int gmeta_get_type();
// Opens the output: "|cmd" pipes, "+name" appends, otherwise creates. The sink stays
// inside the metafile module until gmeta_close_file. 0, or -1 when it cannot be opened.
int gmeta_open_file(const char *name);
// Directs the output into a string instead of a file (tests).
int gmeta_open_string(std::string *text);
int gmeta_init_file();
int gmeta_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
int gmeta_close_file();
bool gmeta_is_open();
void gmeta_reset_state();

// CGM element writers.
int gcgm_control(int element_class, int id, int length, int word);
int gcgm_point(float x, float y);
int gcgm_ps_point(float x, float y);
int gcgm_set_color(int index);
int gcgm_set_fill_color(int index);
int gcgm_set_width(float width);
int gcgm_set_type(int type);

// Replays a text metafile through the kernel onto the open workstation; always 0.
int gread_metafile(const char *path);

// Device factory of the metafile workstation (device table). The connection's fields: the
// output name, then "cgm" or "zor" for the type. Without a name, args.output, else
// "zor.cgm" or "zor.meta". The surface is 1000 by 800 units unless args.geometry gives
// "WxH+X+Y" (each value times 100) or a panel "P...".
std::unique_ptr<GksDevice> gmeta_open_device(const GksOpenArgs &args);
// A metafile device on an already opened output (gmeta_open_file / gmeta_open_string).
std::unique_ptr<GksDevice> gmeta_make_device();
