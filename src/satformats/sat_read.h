// The byte-order helpers shared by every binary reader and writer of the
// program. The AREA reader is in area.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "satformats/area.h"

// ===========================================================================
// Byte-order helpers
// ===========================================================================
//
// One process-wide swap flag, set by swap_setup from the byte order of the data
// about to be read: -1 never swap; 0 always swap; 1 the data are big-endian
// (swap on a little-endian host); 2 the data are little-endian (swap on a
// big-endian host). The flag starts set. The flag stays in force until the next
// swap_setup, so a reader's setting is seen by later users of the helpers.

int swap_setup(int mode);
// True when the helpers currently swap.
bool swap_active();
// Reverse the 4, 2 or 8 bytes at p in place when the flag is set (result 0);
// -1 and the bytes untouched when it is clear.
int swap_long(void *p);
int swap_short(void *p);
int swap_double(void *p);
// The same for n consecutive items; -1 when the flag is clear, 0 otherwise (also
// for n < 1, when nothing is done).
int swap_longs(void *p, int n);
int swap_shorts(void *p, int n);
// Read one item of 8, 4 or 2 bytes, swap it when one item was read; the item count.
size_t fread_double_swap(void *p, FILE *stream);
size_t fread_long_swap(void *p, FILE *stream);
size_t fread_short_swap(void *p, FILE *stream);
// Swap the item in place and write it: the caller's item stays in file order.
size_t fwrite_long_swap(void *p, FILE *stream);
size_t fwrite_short_swap(void *p, FILE *stream);
// Exchanges two values.
void fswap(float *a, float *b);
void fswap(double *a, double *b);

// Back to the start-up state: swap flag set, and the AREA reader's bit shift
// and pixel cap.
void SAT_read_reset_state();
