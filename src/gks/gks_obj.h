// Redraw store: on the X11 window every kernel call is also kept as an object so that the
// picture can be replayed (after a resize or a zoom) or printed to PostScript or a text
// metafile. Objects are kept in call order; each has a type code, an integer value and an
// owned copy of its data.
#pragma once

#include <cstddef>
#include <vector>

// Object type codes.
enum GObjType : int {
    GOBJ_MESSAGE = 5,
    GOBJ_WS_VP = 10,
    GOBJ_WS_WIN = 11,
    GOBJ_SEL_TRAN = 15,
    GOBJ_VP = 16,
    GOBJ_WIN = 17,
    GOBJ_COLR_REP = 20,
    GOBJ_CLEAR_REGION = 25,
    GOBJ_POLYLINE = 30,
    GOBJ_LINETYPE = 33,
    GOBJ_LINEWIDTH = 34,
    GOBJ_LINE_COLR = 35,
    GOBJ_LINE_PRINT_BOLD = 36,
    GOBJ_POLYMARKER = 40,
    GOBJ_MARKER_TYPE = 43,
    GOBJ_MARKER_SIZE = 44,
    GOBJ_MARKER_COLR = 45,
    GOBJ_MARKER_WIDTH = 46,
    GOBJ_TEXT = 50,
    GOBJ_SPACE = 53,
    GOBJ_CHAR_SPACE = 54,
    GOBJ_EXPAN = 55,
    GOBJ_TEXT_COLR = 56,
    GOBJ_CHAR_HT = 57,
    GOBJ_CHAR_UP = 58,
    GOBJ_FONTPREC = 59,
    GOBJ_TEXT_ALIGN = 60,
    GOBJ_TEXT_WIDTH = 61,
    GOBJ_FILL_AREA = 70,
    GOBJ_FILL_INT = 73,
    GOBJ_FILL_STYLE = 74,
    GOBJ_FILL_COLR = 75,
    GOBJ_FILL_PRINT_SOLID = 76,
    GOBJ_SEG_OPEN = 81,
    GOBJ_SEG_CLOSE = 82,
    GOBJ_CALLBACK = 999,
};

using GRedrawFunc = void (*)(void *arg);

struct GksObject {
    int type = 0;
    int value = 0;
    std::vector<unsigned char> data; // floats, ints or text as recorded
    GRedrawFunc func = nullptr;      // callback objects
    void *arg = nullptr;
};

int ginit_objs();
// Appends an object; returns its data block (size bytes, copied from data when given),
// or null when not recording (also for size 0, where nothing is to be filled).
void *gnew_obj(int type, int value, size_t size, const void *data);
// True when gnew_obj would record.
bool grecording();
int gset_redraw(int flag); // returns the previous flag
int gget_redraw();
int gset_cache(int flag);
int gget_cache();
int gset_redraw_func(GRedrawFunc func, void *arg);
int gclear_objs();
int gdel_seg_objs(int segment);
int gobj_redraw_funcs(const GksObject &object);
int gobj_redraw_plot();
int gobj_print_plot();
int gobj_print_meta();
int gget_redrawn();
int gget_num_objects();
// The stored objects in order (tests, inspection).
const std::vector<GksObject> &gget_objects();
void gobj_reset_state();
