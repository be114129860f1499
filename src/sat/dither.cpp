#include "sat/dither.h"

namespace {

// Rank of each cell, indexed [x mod n][y mod n]; ranks 1..n*n, so that raising the
// level by one adds one cell and the added cells spread over the whole cell.
constexpr int kRank3[3][3] = {{3, 7, 5}, {8, 1, 9}, {4, 6, 2}};
constexpr int kRank5[5][5] = {{2, 17, 7, 21, 12},
                              {20, 10, 14, 4, 24},
                              {11, 25, 1, 16, 6},
                              {15, 5, 22, 9, 19},
                              {13, 18, 3, 23, 8}};

int mod(int v, int n) {
    const int m = v % n;
    return m < 0 ? m + n : m;
}

} // namespace

int DITHER_val(int mode, int level, int x, int y) {
    switch (mode) {
    case DITHER_3:
        return kRank3[mod(x, 3)][mod(y, 3)] <= level ? 1 : 0;
    case DITHER_5:
        return kRank5[mod(x, 5)][mod(y, 5)] <= level ? 1 : 0;
    default:
        return 0;
    }
}
