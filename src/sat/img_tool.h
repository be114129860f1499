// The native "ZORIMG" image file format, the printing of an image record and the
// generic image-file reader. The record itself is in base/image.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/image.h"

int IMG_print(uint32_t level, const IMAGE *image);
int IMG_read_zor(const char *name, IMAGE *image, int mode);
int IMG_write(const char *name, const IMAGE *image, int compress);
int IMG_dump(const char *name);
int IMG_read(const char *name, IMAGE *image, int mode);

// Limits of the native reader. Tests and fuzzing shorten the waits for a compressed
// file that is still being written and may lower the size cap.
struct IMG_READ_LIMITS {
    int waits = 10;                        // waits before a short compressed file is accepted
    int wait_ms = 1000;                    // length of one wait
    int64_t max_pixels = int64_t(1) << 30; // largest nx * ny accepted from a header
};

void IMG_set_read_limits(const IMG_READ_LIMITS &limits);
IMG_READ_LIMITS IMG_get_read_limits();
// Back to the start-up limits.
void IMG_reset_state();
