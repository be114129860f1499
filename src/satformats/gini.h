// GINI products of the satellite broadcast: an optional WMO communications
// header, a 512-byte product definition block and one byte per pixel, either
// plain (input type 53, "awip") or as a series of zlib streams (input type 54,
// "awipz"); a plain product may carry its pixels as a PNG file. The image gets
// a plot domain in the product's own projection (Mercator, Lambert conformal or
// polar stereographic).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/image.h"

inline constexpr int GINI_PDB_BYTES = 512; // product definition block
inline constexpr int GINI_MAX_SIDE = 10000;

// Reads a GINI product into the image record, plain or compressed as the input
// type (global flag 14) says. 0, or -1 on failure (with a message at level 192
// once the product definition block has been found).
int SAT_read_AWIP(const char *file_name, IMAGE *image);
// The same with the form given.
int SAT_read_gini(const char *file_name, IMAGE *image, bool compressed);

// Description of a product ("GOES 10 Infrared 11um") from its creating entity,
// sector and channel.
std::string SAT_gini_description(int entity, int sector, int channel);

// Steps of the GINI rows of the reader table (sat_read.h). The header steps read
// the WMO header and the product definition block of their form, fill the image
// record and make its domain; the pixel step reads the pixels of either form.
struct SAT_READ_JOB;
bool SAT_gini_recognise(std::span<const uint8_t> head);  // plain
bool SAT_giniz_recognise(std::span<const uint8_t> head); // compressed
int SAT_gini_read_header(SAT_READ_JOB &job);
int SAT_giniz_read_header(SAT_READ_JOB &job);
int SAT_gini_read_pixels(SAT_READ_JOB &job);
