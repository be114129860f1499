// Ordered dither cells: level L shows the second colour in L cells of every cell, the
// levels nest, and the cells follow the published rank tables.
#include <gtest/gtest.h>

#include <algorithm>

#include "sat/dither.h"

namespace {

TEST(Dither, LevelsFillCellsInRankOrder) {
    for (int mode : {DITHER_3, DITHER_5}) {
        const int top = mode * mode;
        for (int level = -3; level <= top + 5; ++level) {
            // Any n x n window is one whole cell, wherever it starts (also below 0).
            int on = 0, on_shifted = 0;
            for (int y = 0; y < mode; ++y) {
                for (int x = 0; x < mode; ++x) {
                    const int v = DITHER_val(mode, level, x, y);
                    on += v;
                    on_shifted += DITHER_val(mode, level, x - 7, y + 4);
                    if (level > 0) {
                        EXPECT_GE(v, DITHER_val(mode, level - 1, x, y)) << "levels nest";
                    }
                }
            }
            EXPECT_EQ(on, std::clamp(level, 0, top)) << mode << " " << level;
            EXPECT_EQ(on_shifted, on);
        }
    }
    // The cell of rank r switches on at level r: ranks 1, 2, 9 of the 3 x 3 table at
    // (x, y) = (1, 1), (2, 2), (1, 2); ranks 1, 2, 13, 25 of the 5 x 5 table at (2, 2),
    // (0, 0), (4, 0), (2, 1).
    const struct {
        int mode, rank, x, y;
    } cells[] = {{3, 1, 1, 1}, {3, 2, 2, 2},  {3, 9, 1, 2},  {5, 1, 2, 2},
                 {5, 2, 0, 0}, {5, 13, 4, 0}, {5, 25, 2, 1}, {3, 1, -2, 4}};
    for (const auto &c : cells) {
        EXPECT_EQ(DITHER_val(c.mode, c.rank - 1, c.x, c.y), 0) << c.mode << " " << c.rank;
        EXPECT_EQ(DITHER_val(c.mode, c.rank, c.x, c.y), 1) << c.mode << " " << c.rank;
    }
}

TEST(Dither, OtherModesShowNothing) {
    for (int mode : {0, 1, 2, 4, 6, -3})
        for (int level : {0, 9, 25, 100})
            EXPECT_EQ(DITHER_val(mode, level, 1, 1) + DITHER_val(mode, level, 2, 2), 0);
}

} // namespace
