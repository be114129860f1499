// PNG pictures through libpng: the writer makes 8-bit palette files, the reader takes grey,
// palette, RGB and RGBA files, interlaced or not.
#pragma once

#include "base/image.h"

// Writes the record as a palette PNG (the record stays unchanged); 1 on success, 0 on failure.
int PNG_write(const char *name, const IMAGE *image);
// Reads a PNG file; mode 1 stops after the header (size and type only). 1 on success, 0 on
// failure; a file without the PNG signature fails without a message.
int PNG_read(const char *name, IMAGE *image, int mode);
