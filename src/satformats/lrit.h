// LRIT image files: a chain of binary header records (type, big-endian length
// counting the 3-byte record header, data) followed by the image data,
// uncompressed or JPEG. Geostationary images ("GEOS(lon)") get a satellite-view
// domain from their column and line scaling factors and offsets.
#pragma once

#include <cstdint>
#include <span>

#include "base/image.h"

// Resets the image record, opens the file and reads it: 0, or -1 when the file
// cannot be opened, its header is damaged, its image does not fit the file or
// cannot be allocated, or its JPEG data cannot be decoded (each with a message
// at level 192). Source 60.
int SAT_read_LRIT(const char *file_name, IMAGE *image);

// The reader's steps, on one file at a time. LRIT_open: 1, or 0 with a message;
// it starts the header bookkeeping afresh. LRIT_close: 1.
int LRIT_open(const char *path);
int LRIT_close();
// Reads and interprets the next header record: 1 after a record, 0 when the
// header is complete or no further record can be read, -1 for a record whose
// length is shorter than its own record header (with a message).
int LRIT_header();
// Reads the remaining header records and fills the image record: size, info
// (the annotation), date (the time stamp) and domain. 0, or -1 when the header
// is damaged or gives no image size.
int LRIT_read_header(IMAGE *image);
// LRIT_read_header, then the pixels. 0, or -1.
int LRIT_read(IMAGE *image);

// Back to the start-up state: no file open, header bookkeeping cleared.
void LRIT_reset_state();

// Steps of the LRIT row of the reader table (sat_read.h).
struct SAT_READ_JOB;
bool SAT_lrit_recognise(std::span<const uint8_t> head);
int SAT_lrit_read_header(SAT_READ_JOB &job);
int SAT_lrit_read_pixels(SAT_READ_JOB &job);
