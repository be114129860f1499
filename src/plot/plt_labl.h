// Label store and labels around the plot: six positions (upper left, centre and right,
// lower left, centre and right), each with six overlay slots of one text line. The image
// and overlay code fill the slots while a frame is drawn; PLT_labels draws them when the
// frame is finished.
//
// Label modes: a label type of 0 or more gives every overlay a line of its own; a
// negative type appends the texts of later overlays to the first line.
#pragma once

#include <string>

#include "base/date.h"

inline constexpr int PLT_LABEL_POSITIONS = 6;
inline constexpr int PLT_LABEL_SLOTS = 6;
inline constexpr size_t PLT_LABEL_MAX = 68;    // longest text a slot takes
inline constexpr size_t PLT_LABEL_APPEND = 59; // where an appended text must end
enum PLT_LABEL_POS : int {
    PLT_UP_LEFT = 0,
    PLT_UP_CENTER,
    PLT_UP_RIGHT,
    PLT_LOW_LEFT,
    PLT_LOW_CENTER,
    PLT_LOW_RIGHT
};

// Clears every text and append start; no overlay lines in use.
void PLT_init_labels();
// Overlay slot for the following labels / slot the drawing starts at (both at most 5);
// each raises the number of overlay lines to n when it is smaller.
int PLT_set_overlay(int n);
int PLT_set_overlay_base(int n);
int PLT_get_overlay_base();
// Raises the number of overlay lines to n; a negative n sets it to -n.
int PLT_set_num_overlay(int n);
int PLT_get_num_over();
// Next overlay slot (the label type one further from 0, the append starts recorded), or
// -1 when slot 5 is in use already.
int PLT_next_overlay();
int PLT_set_label_type(int type);
int PLT_get_label_type();

// The text of a position for the current overlay: appended to the first line in append
// mode past the first overlay, else the slot's text. Texts that do not fit are dropped.
int PLT_label_up_left(const char *text);
int PLT_label_up_center(const char *text);
int PLT_label_up_right(const char *text);
int PLT_label_low_left(const char *text);
int PLT_label_low_center(const char *text);
int PLT_label_low_right(const char *text);
// Stores text in the current overlay's slot of pos (at most 68 characters).
int PLT_label_strcpy(int pos, const char *text);
// Puts a blank and text at the append start of pos's first line (the start plus the text
// at most 59 characters).
int PLT_label_strcat(int pos, const char *text);
// The text of a slot; "" outside the store.
const char *PLT_get_label(int pos, int slot);

// Date and forecast hour that label formats show.
int PLT_label_date(const DATE *date);
int PLT_label_for_time(int hours);
// Expands a label format: '_' becomes a blank; %D date label, %F / %f forecast hour
// long ("24 HR FCST") and short ("F24"), %V valid time, %W valid day, %b month name,
// %d day, %h hour, %m month, %n minute, %y year (two digits each), %% a percent sign.
// Fields without a value give nothing. Returns 0.
int PLT_label_format(const char *format, std::string *out);

// Reads the "label" resource into the store and draws every label; 0, or -1 when there
// is no room for labels below the plot.
int PLT_labels();
// A border around the viewport (drawn with the labels when draw flag 11 is on).
int PLT_border(int on);
// Labels inside the plot area ("fullab").
int PLT_set_full_lab(int on);
int PLT_get_full_lab();

// Back to the start-up state.
void PLT_reset_label_state();
