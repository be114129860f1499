// Graphics kernel: a small GKS-like library through which every picture is drawn.
//
// One workstation is open at a time. World coordinates of the selected normalization
// transformation (0..5) map to normalized device coordinates (NDC) through its window and
// viewport, and NDC to device units through the workstation window and viewport. Setters
// return 0 when the value is unchanged or accepted and -1 when refused; refusals are
// printed as "<function>: <message>" at level 192 while the kernel's error stream is open.
// Rectangles r[4] are {xmin, xmax, ymin, ymax}; point lists are n (x, y) float pairs.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

struct IMAGE;

// Workstation types.
inline constexpr int GWS_WIN = 1;
inline constexpr int GWS_META = 3;
inline constexpr int GWS_PS = 4;
inline constexpr int GWS_HPGL = 5;
inline constexpr int GWS_PIX = 6;

// Device classes of ginit_plot / ginit_tran.
inline constexpr int GCLASS_X11 = 0;
inline constexpr int GCLASS_X11_RESIZED = 1;
inline constexpr int GCLASS_PS = 2;
inline constexpr int GCLASS_HPGL = 3;
inline constexpr int GCLASS_META = 4;
inline constexpr int GCLASS_RESIZE = 10; // ginit_tran only: recompute the device mapping

// How the open workstation shows colour indices (ginq_ws_color).
inline constexpr int GWS_COLOR_INDEXED = 0; // through the device's colour table or pixels
inline constexpr int GWS_COLOR_RGB = 1;     // written out as RGB colours (colour paper)
inline constexpr int GWS_COLOR_GREY = 2;    // written out as grey levels (grey paper)

// Print colours for paper output.
inline constexpr int GCOLR_PRINT_FIRST = 500;
inline constexpr int GCOLR_PRINT_LAST = 508;

// ---- kernel open and close, workstation (gks_tool.cpp) ----
int gopen_gks(const char *name);
int gclose_gks();
int gemergency_close_gks();
int gactivate_ws();
int gdeactivate_ws();
int gget_ws_id();
int gopen_ws(int ws_id, const char *connection, int type);
int gclose_ws(int ws_id);
int gclear_ws(int ws_id, int flag);
int ginit_plot(int device_class);
int gchk_graphics();
void gerr_printf(const char *function, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// Questions about the open workstation, answered from its device's capabilities (for
// callers above the kernel; false and GWS_COLOR_INDEXED while none is open).
// Device units are pixels with y growing downwards.
bool ginq_ws_pixels();
// GWS_COLOR_INDEXED, GWS_COLOR_RGB or GWS_COLOR_GREY.
int ginq_ws_color();

// The workstation type, for callers that truly need it; the kernel itself asks the device.
bool gtype_is_WIN();
bool gtype_is_PIX();
bool gtype_is_WIN_PIX();
bool gtype_is_META();
bool gtype_is_PS();
bool gtype_is_HPGL();

int gget_win_type();
int gset_win_type(int type);
int gset_pix_mode(int mode);
int gget_pix_mode();
void gget_win_size(int *width, int *height);
int gset_win_size(int width, int height); // also recomputes the device mapping
void gget_win_offset(int *x, int *y);
void gset_win_offset(int x, int y);
void gget_root_size(int *width, int *height);
void gset_root_size(int width, int height);
int gget_win_depth();
int gset_prog_name(const char *name); // at most 19 characters kept
const char *gget_prog_name();
int gset_win_title(const char *title); // at most 59 characters kept
const char *gget_win_title();
int gset_font_drop(int count);
int gget_font_drop();
int gset_line_print_bold(int factor);
int gget_line_print_bold();
int gset_fill_print_solid(int flag);
int gget_fill_print_solid();
int gget_line_gc_func();
int gset_line_gc_func(int function);
int gset_text_path(int path);
int gset_font_drop_color(int index);
int gset_tran_mult(int flag);
int greset_clip();
int gmessage(int ws, const char *text);
int gcreate_seg(int n);
int gclose_seg(int n);
int gdel_seg(int n);
// Panel specification of a paper or metafile device (the text after the leading 'P'):
// "CxR+c+r" with C > 1 is cell (c, r) of a grid (r counted from the top), otherwise four
// fractions width, height, x, y of the surface. Updates the surface size *w, *h (in) to
// the panel's size and sets its offset; 0 when nothing was parsed.
int gks_panel_geometry(const char *spec, int *w, int *h, int *x, int *y);
// Back to the start-up state (closes nothing; tests and init paths).
void gks_reset_state();

// ---- transformations (gks_tran.cpp) ----
int ginit_tran(int device_class);
int gset_win(int n, const float *r);
int gset_vp(int n, const float *r);
int gset_ws_win(int ws, const float *r);
int gset_ws_vp(int ws, const float *r);
int gsel_norm_tran(int n);
// out: window xmin, xmax, ymin, ymax, then viewport xmin, xmax, ymin, ymax.
int ginq_norm_tran(int n, int *err, float *out);
int ginq_cur_norm_tran_num(int *err, int *n);
struct GDispSpace {
    int units = 1;
    float width = 0, height = 0; // width - 1, height - 1
    int raster_width = 0, raster_height = 0;
};
int ginq_disp_space_size(int ws, int *err, GDispSpace *out);
int ginq_maxview(int ws, float *xmax, float *ymax);
float xW_NDC(float x);
float yW_NDC(float y);
float xW_p(float x);
float yW_p(float y);
float xp_W(float x);
float yp_W(float y);
float xNDC_p(float x);
float yNDC_p(float y);
float xW_ps(float x);
float yW_ps(float y);
float xNDC_ps(float x);
float yNDC_ps(float y);
float xW_trans(int from, int to, float x);
float yW_trans(int from, int to, float y);
int gpts_in_win(int n, const float *pts);
// Current viewport as a device rectangle x, y, width, height (paper: from the bottom).
int gget_xviewport(int *rect);
int gget_gviewport(float *rect);
int gset_aspect(const float *in, float *out, int halign, int valign, float aspect);
// Clip rectangle as last set (X11 form).
void gget_clip(int *x, int *y, int *width, int *height);

// ---- primitives ----
int gpolyline(int n, const float *pts);        // gks_line.cpp
int gpolymarker(int n, const float *pts);      // gks_mark.cpp
int gfill_area(int n, const float *pts);       // gks_fill.cpp
int gclear_region(const float *r);             // gks_fill.cpp
int gtext(const float *pos, const char *text); // gks_text.cpp

// ---- line, marker and fill attributes ----
int gset_line_colr_ind(int index);
int gset_linewidth(float width);
int gset_linetype(int type);
int gget_line_colr();
float gget_linewidth();
int gget_linetype();
int greset_line();
int gset_marker_colr_ind(int index);
int gset_marker_size(float size);
int gset_marker_width(float width);
int gset_marker_type(int type);
int gget_marker_colr();
float gget_marker_size();
float gget_marker_width();
int gget_marker_type();
int greset_marker();
int gset_fill_colr_ind(int index);
int gset_fill_int_style(int style);
int gset_fill_style_ind(int index);
int gget_fill_colr();
int gget_fill_int_style();
int gget_fill_style_ind();
int greset_fill();
// True when bit x mod 8 of row y mod 8 of fill pattern `pattern` (0..19) is set.
bool gfill_test(int pattern, int x, int y);
// Row bytes of a fill pattern (first byte top row, bit 0 leftmost); null when invalid.
const unsigned char *gget_fill_pattern(int pattern);
int gdel_fill_pat();

// ---- colours (gks_colr.cpp) ----
bool gis_valid_colr(int index);
int gset_colr_rep(int ws, int index, const float *rgb);
int galloc_colr(int index, float r, float g, float b);
int gget_color_ind(int index); // device pixel (-1 none yet)
int gset_color_ind(int index, int pixel);
int gget_color_rgb(int index, float *r, float *g, float *b);
int gget_color_rgb256(int index, int *r, int *g, int *b);
int gget_max_color_ind();
void gclear_color_inds(); // every pixel slot to -1

// ---- text and fonts (gks_text.cpp, gks_font.cpp) ----
int gset_text_colr_ind(int index);
int gset_char_ht(float height);
int gset_expan(float factor);
int gset_text_width(float width);
int gset_char_up_vec(const float *up);
int gset_text_align(const int *align);
int gset_space(float spacing);
int gset_char_space(float spacing);
int gset_fontprec(const int *font_prec);
int ginq_text_align(int *err, int *align);
int gget_text_colr();
float gget_char_ht();
float gget_expan();
float gget_text_width();
float gget_space();
float gget_char_space();
void gget_char_up_vec(float *up);
void gget_fontprec(int *font_prec);
int greset_text();
int gsetup_fonts();
int read_font(const char *file);
int gget_font_index(const char *name);
// A font list value as for the "font_list" resource; null forgets a given list.
int gset_font_list(const char *list);
int gget_num_fonts();
// Name and file of font list entry n (1-based); false past the end.
bool gget_font_entry(int n, std::string *name, std::string *file);
// 1 stroke font, 2 server font.
int gget_font_type();
// Stroke data of the loaded font: start of glyph c (-1 none), its width and the table.
int gget_glyph_start(int c);
int gget_glyph_width(int c);
const std::vector<unsigned char> &gget_stroke_table();
// Width of a string in font units (one character cell is 100 units).
int gtext_width_units(const char *text);

// ---- images (gks_img.cpp) ----
int gload_image(const IMAGE *image, int x, int y);
int goverlay_image(const IMAGE *image, int transparent_index, int x, int y);
