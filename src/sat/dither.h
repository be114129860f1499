// Ordered dither patterns: a mixture of two colours drawn as a fixed pattern of
// pixels, with 3 x 3 cells (levels 0-9) or 5 x 5 cells (levels 0-25).
#pragma once

// Dither modes.
inline constexpr int DITHER_NONE = 0;
inline constexpr int DITHER_3 = 3; // 3 x 3 cell, levels 0-9 (written as digits)
inline constexpr int DITHER_5 = 5; // 5 x 5 cell, levels 0-25 (written as letters a-z)

// 1 when pixel column x, row y shows the second (dither) colour at this level: a
// cell shows it when its rank is at most the level, so level L fills L cells. Any
// other mode shows no dither colour.
int DITHER_val(int mode, int level, int x, int y);
