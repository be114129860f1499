// 12-bit JPEG image data of LRIT files (10-bit satellite counts) through the
// IJG library built with 12-bit samples that ships with GDCM. Its symbols carry
// their own prefix, so it links beside libjpeg-turbo; its types live in a
// namespace of their own here so they do not meet the 8-bit library's.
#include <cstddef>
#include <cstdio>

namespace j12 {
extern "C" {
#include <gdcm-3.0/gdcmjpeg/12/jerror.h>
#include <gdcm-3.0/gdcmjpeg/12/jpeglib.h>
}
} // namespace j12

using namespace j12;

#include "satformats/lrit_jpeg_decode.h"

int LRIT_jpeg12_decode(std::span<const uint8_t> stream, const LRIT_JPEG_TARGET &target) {
    return decode_jpeg(stream, target);
}
