// Byte-order helpers.
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
