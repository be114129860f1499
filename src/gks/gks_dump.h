// Window dumps: the picture of the drawing target (the window's backing picture or the
// selected frame) grabbed with gget_image and written as GIF, PNG or XWD, and all frames of
// the loop written as one animated GIF.
#pragma once

#include "base/image.h"

// Save types of gset_save_image_type and of the registered image writer.
inline constexpr int GDUMP_GIF = 56;
inline constexpr int GDUMP_PNG = 58;
inline constexpr int GDUMP_XWD = 0;

// Grab the picture and write it; 1 on success, 0 otherwise.
int GIF_dump(const char *name);
int PNG_dump(const char *name);
int XWD_dump(const char *name);

// Writes every frame of the loop (the picture alone when there are no frames) as one
// animated GIF that loops for ever, each frame's dwell (gget_frame_delay) as its delay in
// hundredths of a second. Each frame is selected in turn while it is grabbed; the backing
// picture is the drawing target afterwards. 1 on success, 0 otherwise.
int GIF_dump_frames(const char *name);

// The image writer the program registers with gset_image_io: type GDUMP_GIF, GDUMP_PNG,
// anything else XWD. The record stays unchanged (the GIF coder works on a copy). 1 on
// success, 0 on failure.
int gwrite_image_file(const char *name, const IMAGE *image, int type);
