// AREA files: a 64-word directory, a navigation block directly behind it and
// the pixel block at the directory's data offset. Three forms of the same
// content are read: a file in the host's byte order, one in the opposite order,
// and a sync-framed stream whose directory, navigation block and nibble-coded
// image lines each follow the pattern 00 FF 00 FF 00 FF 00 FF.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "base/image.h"

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
    PixelVector<uint8_t> data;     // lines x elements bytes, top line first
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
// Back to bit shift 0 and the default pixel cap.
void SAT_area_reset_state();

// Resets the image record (IMG_init) and fills it from a successfully read AREA
// record: source 51, depth 8, size, resolution, offsets, date, info (the comment)
// and the date label. The pixel array moves from the AREA record into the image.
int SAT_fill_AREA_image(IMAGE *image, AREA *area);
// The diagnostic lines of an AREA image (date, size, resolution, offsets, bands,
// source, calibration and navigation types, comment).
void SAT_print_AREA(const IMAGE *image, const AREA *area);

// Steps of the AREA row of the reader table (sat_read.h). The header step reads
// the directory and the navigation block from the dispatcher's stream and fills
// the image record; the pixel step decodes the pixels into it; the navigation
// step prints the diagnostics, installs the navigation and makes the domain.
struct SAT_READ_JOB;
bool SAT_area_recognise(std::span<const uint8_t> head);
int SAT_area_read_header(SAT_READ_JOB &job);
int SAT_area_read_pixels(SAT_READ_JOB &job);
void SAT_area_navigate(SAT_READ_JOB &job);
