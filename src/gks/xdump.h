// XWD (X window dump) pictures: the writer and the reader. No Xlib: the header is plain
// big-endian words.
#pragma once

#include "base/image.h"

// Writes the record with its colour entries and its pixel rows as stored; 1 on success, 0
// on failure.
int XWD_write(const char *name, const IMAGE *image);
// Reads an XWD file whose depth is at most the record's depth on entry (the window's
// depth); 1 on success, 0 on failure.
int XWD_read(const char *name, IMAGE *image, int mode);
