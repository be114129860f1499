// GeoTIFF images of one-byte grey pixels, uncompressed or PackBits, with
// geographic or Mercator georeferencing turned into a plot domain.
#pragma once

#include <cstdint>
#include <span>

#include "base/image.h"

// Resets the image record (source 59) and reads the file's first image. 0 on
// success, also for a file without georeferencing the reader understands (the
// domain then has no projection) and for a file that ends inside the pixels
// (the rest stays 0). -1 when the file cannot be opened (no message), is no TIFF
// file, has no 8-bit grey strips, declares an image its data cannot hold, or the
// pixels cannot be allocated (these with a message at level 192).
int SAT_read_TIFF(const char *file_name, IMAGE *image);

// Steps of the GeoTIFF row of the reader table (sat_read.h): the read step
// reads the whole file.
struct SAT_READ_JOB;
bool SAT_tiff_recognise(std::span<const uint8_t> head);
int SAT_tiff_read(SAT_READ_JOB &job);
