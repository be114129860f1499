// Tripwire of the targets that read data files: nothing such a file holds may start a
// command, so the program's popen is replaced by one that ends the run with a report. A
// finding here is a name read from inside a file that reached the opener of typed names.
// Include in one source file of a target only.
#pragma once

#include <cstdio>
#include <cstdlib>

extern "C" FILE *popen(const char *command, const char *) {
    std::fprintf(stderr, "fuzz: a data file asked to run a command: %s\n", command);
    std::abort();
}
