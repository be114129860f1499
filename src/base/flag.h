// Global flags (30 slots of 64-bit values) and the 13 draw flags.
#pragma once

#include <cstdint>

inline constexpr int FLAG_NUM = 30;
inline constexpr int FLAG_DEVICE = 2;
inline constexpr int FLAG_DOMAIN = 5;
inline constexpr int FLAG_PLOT_TYPE = 11;
inline constexpr int FLAG_INPUT = 14;
inline constexpr int FLAG_FILE_PARAM = 15;
inline constexpr int FLAG_BATCH = 19;
inline constexpr int FLAG_HELP = 20;

// Sets every slot to -9999.
void FLAG_reset();
int FLAG_get(int index);                 // 0 for an index out of range
int64_t FLAG_getl(int index);            // 0 for an index out of range
int FLAG_set(int index, int value);      // 1, or -1 for an index out of range
int FLAG_setl(int index, int64_t value); // 1, or -1 for an index out of range
bool FLAG_batch();
bool FLAG_help();

// Draw flags: 0 = number of text positions on, 1..6 text positions, 7 data,
// 8 map, 9 grid, 10 sum, 11 border, 12 total.
inline constexpr int FLAG_PLOT_NUM = 13;
int FLAG_setplot(int index, int value); // 1, or -1 for an index out of range
int FLAG_getplot(int index);            // 0 for an index out of range
int FLAG_resetplot(int value);

// Start-up state: every slot -9999, every draw flag 1 (init paths and tests).
void FLAG_reset_state();
