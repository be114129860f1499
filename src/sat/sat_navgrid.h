// Navigation grid of a remap: where each output pixel finds its place in the source
// image, navigated exactly at the nodes of a coarse grid and interpolated in between
// within an error bound.
//
// The output is cut into cells whose corners lie on columns 0, N, 2N ... and on the
// last column, and on rows alike (N the step). A cell is interpolated bilinearly from
// its corners when the exact positions at the middles of its four edges and at its
// centre lie within the bound of the interpolation; otherwise it is cut in four at
// those points, which become corners of the quarters. A cell crossing the edge of the
// earth (or of what the navigation can place) has corners or middles that place
// nothing and is cut the same way, down to single pixels along that edge; a small
// cell where none of its nine points places anything shows nothing.
//
// The result is a table of leaf cells per band of rows (one band per row of top
// cells); it depends only on the navigation and the output grid, so it can be kept and
// used again for the next picture of a loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sat/sat_kernel.h"

namespace remap {

// Where output grid point (column m, row r) shows the source image: its position
// (row, column) in source pixels, or NaN in both when it shows nothing. Must be
// callable from several threads at once.
class Locator {
  public:
    virtual ~Locator() = default;
    virtual void locate(int m, int r, double *row, double *col) const = 0;
};

struct Pos {
    double row = 0, col = 0; // NaN: nothing there
    bool valid() const { return row == row; }
};

// A leaf cell: corners (c0, r0), (c1, r0), (c0, r1), (c1, r1); it fills the output
// pixels of columns [c0, c_end) and rows [r0, r_end) (the last column and row of the
// output belong to the cells that end there).
struct Leaf {
    enum Kind : uint8_t { interpolated, blank, corners };
    int32_t c0 = 0, r0 = 0, c1 = 0, r1 = 0, c_end = 0, r_end = 0;
    Kind kind = blank; // corners: cells of one pixel, each pixel its own corner
    Pos p[4];          // (c0, r0), (c1, r0), (c0, r1), (c1, r1)
};

struct Table {
    int nx = 0, ny = 0;
    std::vector<std::vector<Leaf>> bands;
    long navigations = 0; // points navigated to build it
    size_t bytes() const;
};

// Builds the table of an nx x ny output for a step (largest cell, at least 1) and a
// bound (source pixels), using up to threads threads. Throws std::bad_alloc.
Table build_table(const Locator &loc, int nx, int ny, int step, double bound, int threads);

// Fills the output pixels of band b (output rows nx bytes apart).
void sample_band(const Table &t, size_t b, const Sampler &s, uint8_t *out);

// Largest distance, in source pixels, between the interpolated and the exact position
// over the output points the table interpolates; also counts the points that show
// something in one and nothing in the other. For tests and measurements: navigates
// every pixel.
struct TableCheck {
    double max_error = 0;
    long disagree = 0; // shown by one of the two only
    long shown = 0;    // shown by both
};
TableCheck check_table(const Table &t, const Locator &loc);

} // namespace remap
