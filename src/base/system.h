// Process services: exit, timing and sleeping.
#pragma once

// Ends the program with the status (flushing the standard streams).
[[noreturn]] void ZOR_exit(int status);
// Tests may install a handler that throws instead of exiting; nullptr restores exit.
using ZOR_exit_handler = void (*)(int status);
void ZOR_set_exit_handler(ZOR_exit_handler handler);
// Detaches the program into the background: the parent ends with status 0; the child
// takes the default interrupt action, has its standard streams on "/dev/null" (status 1
// when that cannot be opened) and leads a new process group. 0 in the child, -1 when the
// process cannot fork.
int ZOR_back_proc();

// Starts the timer and clears the slept total; ZOR_elapse_time gives the seconds since.
void ZOR_init_time();
float ZOR_elapse_time();
// Sleeps a positive number of seconds (fractions allowed) and returns 0;
// -1 at once for zero or less.
int ZOR_sleep(float seconds);
// Seconds slept through ZOR_sleep since ZOR_init_time.
double ZOR_slept_time();
// Forgets the exit handler and the timer (tests).
void ZOR_reset_state();
