// Byte-order helpers and the reader table.
#include "satformats/sat_read.h"

#include <algorithm>
#include <cstring>

#include "satformats/area.h"

// ===========================================================================
// Module state
// ===========================================================================

namespace {

bool host_little_endian() {
    const uint32_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

struct ReadState {
    bool swap = true; // byte-order helpers: swap items
};

ReadState &st() {
    static ReadState s;
    return s;
}

} // namespace

void SAT_read_reset_state() {
    st() = ReadState{};
    SAT_area_reset_state();
}

// ===========================================================================
// Byte-order helpers
// ===========================================================================

namespace {

template <size_t N> void reverse_bytes(void *p) {
    auto *b = static_cast<uint8_t *>(p);
    std::reverse(b, b + N);
}

} // namespace

int swap_setup(int mode) {
    const bool little = host_little_endian();
    switch (mode) {
    case -1:
        st().swap = false;
        break;
    case 0:
        st().swap = true;
        break;
    case 1:
        st().swap = little;
        break;
    case 2:
        st().swap = !little;
        break;
    default:
        break;
    }
    return 0;
}

bool swap_active() {
    return st().swap;
}

int swap_long(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<4>(p);
    return 0;
}

int swap_short(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<2>(p);
    return 0;
}

int swap_double(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<8>(p);
    return 0;
}

int swap_longs(void *p, int n) {
    if (!st().swap)
        return -1;
    auto *b = static_cast<uint8_t *>(p);
    for (int i = 0; i < n; ++i)
        reverse_bytes<4>(b + 4 * static_cast<size_t>(i));
    return 0;
}

int swap_shorts(void *p, int n) {
    if (!st().swap)
        return -1;
    auto *b = static_cast<uint8_t *>(p);
    for (int i = 0; i < n; ++i)
        reverse_bytes<2>(b + 2 * static_cast<size_t>(i));
    return 0;
}

size_t fread_double_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 8, 1, stream);
    if (n == 1)
        swap_double(p);
    return n;
}

size_t fread_long_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 4, 1, stream);
    if (n == 1)
        swap_long(p);
    return n;
}

size_t fread_short_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 2, 1, stream);
    if (n == 1)
        swap_short(p);
    return n;
}

size_t fwrite_long_swap(void *p, FILE *stream) {
    swap_long(p);
    return std::fwrite(p, 4, 1, stream);
}

size_t fwrite_short_swap(void *p, FILE *stream) {
    swap_short(p);
    return std::fwrite(p, 2, 1, stream);
}

void fswap(float *a, float *b) {
    std::swap(*a, *b);
}
void fswap(double *a, double *b) {
    std::swap(*a, *b);
}

// ===========================================================================
// Reader table
// ===========================================================================

namespace {

// Every type but AREA reads with its own messages and is placed through its own
// domain unless its navigation says otherwise; GINI and raster images set the
// imager source that selects the infrared formula.
constexpr SAT_READER kReaders[] = {
    {.type = 51,
     .name = "area",
     .recognise = SAT_area_recognise,
     .read_header = SAT_area_read_header,
     .read_pixels = SAT_area_read_pixels,
     .navigate = SAT_area_navigate,
     .dispatcher_opens = true,
     .imager_source = 51,
     .date_lister = true},
    {.type = 53,
     .name = "awip",
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 53,
     .byte_order = true,
     .summary = true},
    {.type = 54,
     .name = "awipz",
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 53,
     .byte_order = true,
     .summary = true},
    {.type = 55,
     .name = "raster",
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 55,
     .byte_order = true,
     .summary = true},
    {.type = 59,
     .name = "tiff",
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .processing_note = true,
     .relabel = true,
     .byte_order = true,
     .summary = true},
    {.type = 60,
     .name = "lrit",
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .processing_note = true,
     .relabel = true,
     .byte_order = true,
     .summary = true},
};

} // namespace

std::span<const SAT_READER> SAT_reader_table() {
    return kReaders;
}

const SAT_READER *SAT_find_reader(int type, std::span<const SAT_READER> above) {
    for (auto rows : {above, SAT_reader_table()})
        for (const auto &r : rows)
            if (r.type == type)
                return &r;
    return nullptr;
}

const SAT_READER *SAT_recognise_reader(std::span<const uint8_t> head,
                                       std::span<const SAT_READER> above) {
    for (auto rows : {above, SAT_reader_table()})
        for (const auto &r : rows)
            if (r.recognise && r.recognise(head))
                return &r;
    return nullptr;
}
