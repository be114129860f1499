// Satellite image readers and the byte-order helpers shared by every binary
// reader and writer of the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/image.h"

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

// ===========================================================================
// AREA files
// ===========================================================================
//
// An AREA file holds a 64-word directory, a navigation block directly behind it
// and the pixel block at the directory's data offset. Three forms of the same
// content are read: a file in the host's byte order, one in the opposite order,
// and a sync-framed stream whose directory, navigation block and nibble-coded
// image lines each follow the pattern 00 FF 00 FF 00 FF 00 FF.

inline constexpr int AREA_DIR_WORDS = 64;
inline constexpr int AREA_NAV_WORDS = 128;                   // every block type but "GVAR"
inline constexpr int AREA_GVAR_NAV_WORDS = 640;              // "GVAR"
inline constexpr int AREA_MAX_SIZE = 100000;                 // lines and elements, each
inline constexpr int64_t AREA_MAX_PIXELS = int64_t{1} << 30; // default cap of lines x elements

// Directory words the program uses (numbered from 0).
enum AREA_dir_word : int {
    AREA_W_STATUS = 0,
    AREA_W_VERSION = 1, // 4: byte-order probe
    AREA_W_DATE = 3,    // year * 1000 + day of year
    AREA_W_TIME = 4,    // hhmmss
    AREA_W_LINE = 5,    // line coordinate of the first image line
    AREA_W_ELEM = 6,    // element coordinate of the first element
    AREA_W_LINES = 8,
    AREA_W_ELEMS = 9,
    AREA_W_BYTES = 10, // bytes per element
    AREA_W_LRES = 11,
    AREA_W_ERES = 12,
    AREA_W_PREFIX = 14, // line prefix length in bytes
    AREA_W_BANDS = 18,
    AREA_W_COMMENT = 24, // words 24-31: 32-character comment, kept in file order
    AREA_W_DATA = 33,    // byte offset of the pixel block from the directory's start
    AREA_W_START_SCAN = 47,
    AREA_W_SOURCE = 51,
    AREA_W_CALIB = 52,
};

// One AREA file in memory. A navigation slot is empty when the block is absent;
// exactly one slot is filled when the block's type is known.
struct AREA {
    std::array<int32_t, AREA_DIR_WORDS> dir{}; // host byte order (comment words as stored)
    std::string nav_type;          // "GOES", "GVAR", "PS", "MOLL", "MSAT", "RECT", "MERC",
                                   // "LAMB", "TANC" or ""
    std::vector<int32_t> goes_nav; // 128 words
    std::vector<int32_t> gvar_nav; // 640 words
    std::vector<int32_t> ps_nav;   // 128 words, "PS" or "MSAT"
    std::vector<int32_t> tanc_nav; // 128 words
    std::vector<int32_t> proj_nav; // 128 words, "MOLL", "RECT", "MERC" or "LAMB"
    std::vector<uint8_t> data;     // lines x elements bytes, top line first
};

// The filled navigation slot, or nullptr.
const std::vector<int32_t> *AREA_nav_block(const AREA *area);

// Reads a whole AREA file from its start. 0 on success; -1 when there is no
// stream, no synchronisation pattern where one is required, or an invalid or
// truncated header (these last with a message at level 192).
int SAT_read_AREA(FILE *stream, AREA *area);

// Bit shift applied to raw counts (not to plain one-byte files without line
// prefix): positive shifts left, negative right; kept within -16..16.
void SAT_area_set_bit_shift(int shift);
int SAT_area_get_bit_shift();
// Largest lines x elements the reader allocates (default AREA_MAX_PIXELS).
void SAT_area_set_max_pixels(int64_t pixels);

// Resets the image record (IMG_init) and fills it from a successfully read AREA
// record: source 51, depth 8, size, resolution, offsets, date, info (the comment)
// and the date label. The pixel array moves from the AREA record into the image.
int SAT_fill_AREA_image(IMAGE *image, AREA *area);
// The diagnostic lines of an AREA image (date, size, resolution, offsets, bands,
// source, calibration and navigation types, comment).
void SAT_print_AREA(const IMAGE *image, const AREA *area);

// Back to the start-up state: swap flag set, bit shift 0, default pixel cap.
void SAT_read_reset_state();
