// Raster images: one-byte pixels whose first bytes are an ASCII header of
// blank-separated keyword tokens ending with "end" (input type 55, "raster").
// The header gives the size, a description, the date, a simple domain (pixel
// coordinates or a Lambert grid) and the scan coordinates that navigate the
// image with the GVAR navigation in force. The header's bytes are part of the
// raster: they read as zero pixels.
#pragma once

#include <cstdint>
#include <span>

#include "base/image.h"

// Fills the image record from a raster file and, when the header gives a line
// resolution, sets the image-to-AREA mapping of the installed navigation from
// its scan coordinates. 0, or -1 on failure (with a message at level 192).
int SAT_read_raster(const char *file_name, IMAGE *image);

// Steps of the raster row of the reader table (sat_read.h): the header step reads
// the keyword tokens into the image record, the pixel step the raster; the
// navigation step sets the scan mapping and, for an image in satellite
// projection (through "grid_domain"), fits the satellite domain of the GVAR
// navigation and places the image through the navigation.
struct SAT_READ_JOB;
bool SAT_raster_recognise(std::span<const uint8_t> head);
int SAT_raster_read_header(SAT_READ_JOB &job);
int SAT_raster_read_pixels(SAT_READ_JOB &job);
void SAT_raster_navigate(SAT_READ_JOB &job);
