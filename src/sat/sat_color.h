// Colour enhancement: turns the 256 possible 8-bit counts of a satellite image into
// colour indices of the graphics kernel. An enhancement divides the counts into bins
// at break values and gives each bin a colour, a dithered mixture of two colours or
// a step of a colour ramp; it comes from the option "color_fill" (entries) or from
// an enhancement file named by it. Also the infrared count/temperature scales and
// the colour bar drawn under the plot.
//
// Enhancement entries, first matching form wins:
//   "c-45:red"      break at the count of -45 C, then a colour part
//   "cyan"          any other entry starting with 'c' is a colour part
//   "gray10-gray90" a ramp: one bin per colour index from the first to the last
//   "120:blue"      break at count 120, then a colour part
//   "green"         a colour part
// A colour part is a colour name, or "first%Lsecond": first colour with level L of
// the second dithered in (L a digit 0-9 for 3 x 3 cells, a letter a-z for 5 x 5; the
// first dithered entry of the run chooses the cell size).
//
// Enhancement file: whitespace-separated words; the first is the name ("@name" or
// "name"), "@label" plus one character plus a text renames it, other words starting
// with '#' or '@' are comments, all others are entries.
#pragma once

#include "base/image.h"

// Builds the tables from the enhancement. Returns 0.
int SAT_color_setup();
// Decodes one entry; *count is the number of bins completed so far and advances.
// Returns 0.
int SAT_decode_colors(const char *entry, int *count);
// Recolours an 8-bit image in place into colour indices (dithering and the "fill"
// plot parameter's pattern applied) and attaches the kernel's colour table. 0.
int SAT_color_image(IMAGE *image);
// Draws the colour bar under the plot, with infrared temperature ticks when
// with_ticks is set. 0, or -1 when there is no room under the plot.
int SAT_color_bar(int with_ticks);
// Count of an infrared temperature (degrees C) and back, by the source of the last
// image read (plot parameter imager_source); 0 for sources without a scale.
int SAT_ir_ind(float celsius);
float SAT_ind_ir(int count);

// Read access to the tables of the last set-up.
int SAT_color_max();                  // index of the last bin
int SAT_color_break(int bin);         // first count of a bin (0..256, -9999 none)
int SAT_color_fill(int bin);          // colour index of a bin, + 1000 in a ramp
int SAT_color_count_bin(int count);   // bin of a count
int SAT_color_count_value(int count); // output value of a count
// Dither level and second colour of a count.
int SAT_color_count_dither(int count, int *second);
int SAT_get_dither_mode();
const char *SAT_get_enhance();

void SAT_color_reset_state();
