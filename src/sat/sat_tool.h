// Satellite plot driver: input type and file-name conventions, plot
// parameters, the walk over the file list and the file dispatcher.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/date.h"
#include "base/missing.h"
#include "map/region.h"
#include "sat/img_tool.h"
#include "satformats/sat_read.h"

// Input types (global flag 14 and the image record's source).
inline constexpr int SAT_IN_IMG = 50;
inline constexpr int SAT_IN_AREA = 51;
inline constexpr int SAT_IN_AWIP = 53;
inline constexpr int SAT_IN_AWIPZ = 54;
inline constexpr int SAT_IN_RASTER = 55;
inline constexpr int SAT_IN_TIFF = 59;
inline constexpr int SAT_IN_LRIT = 60;

// Plot parameters from the "plot_param" option, kept for the life of the process.
struct SAT_PARAMS {
    int32_t remap_inc = 20;
    int32_t tran_sat = 1;
    int32_t pix_ave = 1;
    float zoom = 1.0f;
    float min_lon = MISSING_F;
    float max_lon = MISSING_F;
    int32_t pix_off = 0;
    int32_t cutbase = 0;
    int32_t numcut = 0;
    int32_t cutoff[5] = {0, 0, 0, 0, 0};
    int32_t fill = 0;
    int32_t over = 0;
    int32_t bar = 0;
    int32_t refresh = 0;
    int32_t imager_source = 51;
};

// The option codes of the program (zero-terminated lists for RES_init).
const int *SAT_keyed_options();
const int *SAT_positional_options();
int SAT_in_file();
int SAT_out_file();
int SAT_set_date(const DATE *date);
int SAT_plot_param();
// The driver: opens the plot (or resets it when called back from the window), composes a
// frame per file of the list, loops several, dumps each frame, and closes the plot, which
// in a window waits for the user. A single file that cannot be read ends the program
// with status 10. Returns 0.
int SAT_plot(const DOMAIN *domain);
// The refresh: the newest file of the convention, when newer than the last plotted,
// replaces the picture (or the oldest frame of a loop). Returns 0.
int SAT_plot_nextfile();
// Pointer and key events of the window: position read-out, zoom, resize.
int SAT_callback(const char *event, float x, float y);
// Reads one file of the current input type through its row of the reader table
// (satformats/sat_read.h); 1 when an image is ready to be plotted.
int SAT_read_file(const char *name, IMAGE *image);
int SAT_set_bit_shift(int shift);
// The reader table's rows of the formats read in this layer (the native image).
std::span<const SAT_READER> SAT_native_readers();

// Module state access for the geometry, colour and frame modules.
SAT_PARAMS &SAT_params();
IMAGE &SAT_image();
DOMAIN &SAT_plot_domain();
const DATE &SAT_base_date();
const DOMAIN &SAT_tmp_domain(); // the domain given to SAT_plot
const DATE &SAT_file_date();    // date of the file being plotted
std::string &SAT_filename();    // name of the file being plotted (or written)
void SAT_reset_state();
