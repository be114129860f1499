// 8-bit JPEG image data of LRIT files through the system's libjpeg-turbo, and
// the look at a stream's frame header that picks the library for a stream.
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "satformats/lrit_jpeg_decode.h"

int LRIT_jpeg_precision(std::span<const uint8_t> s) {
    // Markers from the start of image: each segment after SOI is FF, a code and
    // a two-byte length that counts itself. SOF0-SOF15 (but for DHT C4, JPG C8
    // and DAC CC) carry the precision as their first byte; SOS ends the search.
    if (s.size() < 4 || s[0] != 0xFF || s[1] != 0xD8)
        return 0;
    size_t p = 2;
    while (p + 4 < s.size()) {
        if (s[p] != 0xFF)
            return 0;
        const uint8_t code = s[p + 1];
        if (code == 0xFF) { // fill byte
            ++p;
            continue;
        }
        const size_t length = static_cast<size_t>(s[p + 2]) << 8 | s[p + 3];
        if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC)
            return s[p + 4];
        if (code == 0xDA || length < 2)
            return 0;
        p += 2 + length;
    }
    return 0;
}

int LRIT_jpeg8_decode(std::span<const uint8_t> stream, const LRIT_JPEG_TARGET &target) {
    return decode_jpeg(stream, target);
}
