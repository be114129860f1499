// X11 workstations of the graphics kernel: type 1, a window of our own drawn through a
// backing pixmap, and type 6, pixmap mode, drawing into a drawable another program owns
// (the loop program) and talking to it through NOTICE client messages and the window name.
//
// Nothing here needs the Xlib headers: drawables, colormaps and pixels are passed as
// unsigned long (X IDs are 29-bit values). The calls under "set-up" take effect at the next
// gopen_ws; the others act on the open workstation and do nothing (0) without one.
#pragma once

#include <memory>
#include <string>

#include "gks/gks_device.h"

struct IMAGE;

// ---- set-up, before gopen_ws ----
int gset_geometry(const char *geometry); // X geometry "WxH+X+Y"; pixmap mode also "P..."
int gset_iconic(int flag);
int gset_fixed_size();
int gset_inverse(int flag);
int gset_local_colormap(int flag);
int gset_rw_colors(int flag);
int gset_background(const char *name); // colour name, or "none" / "def" / "over"
// Replaces the 48 by 48 icon bitmap (288 bytes, rows of 6 bytes, bit 0 leftmost).
int gset_icon_bitmap(const unsigned char *bits);

// ---- the open window ----
// Window name "title extra" (the plain title for an empty extra).
int gset_win_title_extra(const char *extra);
// The part of the current window name after the title and one blank.
int gget_win_title_extra(std::string *out);
int gset_xsize(int width, int height);
int gset_xoff(int x, int y);
// Copies the backing pixmap to the visible window.
int gupdate_window();
int gbell(int volume); // 50 when 0
int gsync();
// Cursor 0 normal, 1 pointer, 2 move, 3 looping, 4 stopped, 5 draw, 6 waiting, 7 text,
// 8 busy; returns the previous number.
int gset_cursor(int n);
int gget_cursor_type();
int gis_mapped();
unsigned long gget_root_window();
unsigned long gget_base_window();
int gset_base_window(unsigned long pixmap);
unsigned long gget_draw_window();
int gset_draw_window(unsigned long drawable); // 0: the backing pixmap
unsigned long gget_red_mask();
unsigned long gget_grn_mask();
unsigned long gget_blu_mask();
int gget_window_width();
int gget_window_height();
unsigned long gget_def_cmap();
int gset_def_cmap(unsigned long cmap);
unsigned long gget_user_cmap();
int gset_user_cmap(unsigned long cmap);
int gget_inverse();
unsigned long gget_back_color();

// ---- colours ----
int ginit_xcolr();
int ginit_background();
// True when the colour of a colour index (by_pixel 0) or of a device pixel (by_pixel 1)
// is within 0.01 (sum of the channel differences) of r, g, b.
bool gis_color_near(long index_or_pixel, int by_pixel, float r, float g, float b);
int gquery_xcolor(int index);
// TrueColor pixel of 16-bit intensities through the visual's channel masks.
unsigned long gget_color_rgb_Xval(unsigned r, unsigned g, unsigned b);
// Same, for any three masks (what the window's visual uses above).
unsigned long gcolor_from_masks(unsigned r, unsigned g, unsigned b, unsigned long red_mask,
                                unsigned long green_mask, unsigned long blue_mask);

// ---- images ----
// Puts an image like gload_image; pixels of `colour` (a colour-table name, an X11 colour
// name, or the background when empty) are left transparent.
int goverlay_image_color(const IMAGE *image, const char *colour, int x, int y);
int gload_image_file(const char *name, int x, int y);
int goverlay_image_file(const char *name, const char *colour, int x, int y);
// Reads an image file whole (gread_image_file) or its header only (gquery_image_file)
// through the registered reader; 1, or 0 after a message.
int gread_image_file(const char *name, IMAGE *image);
int gquery_image_file(const char *name, IMAGE *image);
// Captures the drawing target at the visible window's size; 0, or -1 after a message.
int gget_image(IMAGE *image);
// Captures and writes with the writer of the save type; 1, or 0 after a message.
int gsave_image_file(const char *name);
// 56 GIF (default), 58 PNG, anything else XWD.
int gset_save_image_type(int code);
int gget_save_image_type();

// Image file readers and writers live above the kernel (the image record's owner and the
// codecs); the program registers them. reader(name, image, mode): mode 0 whole, 1 header
// only; 1 on success. writer(name, image, type): type 56 GIF, 58 PNG, other XWD; 1 on
// success. Without them the calls say so and fail.
using GImageReader = int (*)(const char *name, IMAGE *image, int mode);
using GImageWriter = int (*)(const char *name, const IMAGE *image, int type);
void gset_image_io(GImageReader reader, GImageWriter writer);
GImageWriter gget_image_writer();

// ---- device table ----
// Type 1: the connection's first field is the display name. Type 6: the second field is
// the window specification ("+win:draw:WxH:cmap", "0xdraw:WxH:cmap", "draw:WxH:cmap", or
// an id file "W", "Wn", a file name), else args.output (zorwindow / WINDOW).
std::unique_ptr<GksDevice> gx11_open_window(const GksOpenArgs &args);
std::unique_ptr<GksDevice> gx11_open_pixmap(const GksOpenArgs &args);
// Forgets the set-up values and closes a display left open (tests and init paths).
void gx11_reset_state();
