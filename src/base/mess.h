// Messages: every line the program prints goes through MESS_print with a
// 32-bit level; a mask set from the "message" option decides what is shown.
#pragma once

#include <cstdarg>
#include <cstdint>

// Common levels.
inline constexpr uint32_t MESS_PRINT = 0x0000000Fu; // prompts, help, tables (15)
inline constexpr uint32_t MESS_ERROR = 0x00000030u; // errors (48)
inline constexpr uint32_t MESS_WARN = 0x000000C0u;  // warnings (192)
inline constexpr uint32_t MESS_MESS = 0x00000F00u;  // progress (3840)
inline constexpr uint32_t MESS_OUT1 = 0x0000F000u;
inline constexpr uint32_t MESS_OUT2 = 0x000F0000u;
inline constexpr uint32_t MESS_OUT3 = 0x00F00000u;
inline constexpr uint32_t MESS_OUT4 = 0x0F000000u;
inline constexpr uint32_t MESS_DEBUG = 0xF0000000u;

// Prints when level shares a bit with the mask; 1 when it reached the terminal.
int MESS_print(uint32_t level, const char *format, ...) __attribute__((format(printf, 2, 3)));
int MESS_vprint(uint32_t level, const char *format, va_list ap);
// "      %s (Ver %s)\n\n" at level 3840.
void MESS_print_prog(const char *title);
// Applies a message specification ("warn", "+debuga", "fi=log", "nopage", ...).
int MESS_set_str(const char *text);
// Programmatic setting: 0/10/20 cumulative, -1/9/19 remove, 1/11/21 add.
int MESS_set(int code, uint32_t mask);
uint32_t MESS_get();
bool MESS_check(uint32_t level);
int MESS_check_set();
int MESS_get_max_lines();
// Secondary output file that receives a copy of every printed message.
int MESS_file(const char *name, const char *mode);
void MESS_file_close();
void MESS_set_out(int mode);
void MESS_set_page(int paging);
// Waits for the return key (unless filtered, batch, mode 0 or paging off).
int MESS_hold(uint32_t level, const char *text);
// Back to the start-up state (mask 0x000FFFFF, terminal output, paging 1).
void MESS_reset_state();

// Version text shown in the title and the help listing.
const char *ZOR_version();
