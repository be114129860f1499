// The interface of a satellite image reader: the steps that read one file of a
// format and what the dispatcher (SAT_read_file) does around them. Each reader
// implements its steps in its own file; the table of rows is in sat_read.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

#include "base/image.h"

// ===========================================================================
// Reader table
// ===========================================================================
//
// One row per input type: its code and name, the steps that read a file of the
// type, and what the dispatcher (SAT_read_file) does around them. The steps
// run in order: read_header (the header and the date, filling the image
// record; with read_pixels empty it reads the pixels too), read_pixels, then,
// after the dispatcher's date lister, navigate (the image's domain or its
// navigation). A format is added with its row here and one file of its own; a
// row without read_header has no reader yet.

// How an image is placed on the plot: through the satellite navigation (the
// driver's satellite transformation on) or through the image's own domain
// (off). SAT_PLACE_KEEP leaves the transformation as it is.
enum SAT_PLACE : int { SAT_PLACE_KEEP = 0, SAT_PLACE_NAVIGATION, SAT_PLACE_OWN_DOMAIN };

// What a reader keeps between its steps.
struct SAT_READ_DATA {
    virtual ~SAT_READ_DATA() = default;
};

// One read in progress, handed from step to step.
struct SAT_READ_JOB {
    const char *name = nullptr; // file name
    FILE *stream = nullptr;     // the file, when the row has the dispatcher open it
    IMAGE *image = nullptr;
    std::unique_ptr<SAT_READ_DATA> data;
    SAT_PLACE place = SAT_PLACE_KEEP; // as the navigate step finds it
};

// Bytes of a file's start that the recognisers are given (fewer for a shorter file).
inline constexpr size_t SAT_HEAD_BYTES = 512;

using SAT_READ_STEP = int (*)(SAT_READ_JOB &job); // 0, or -1 on failure

struct SAT_READER {
    int type;         // input type: global flag 14 and the image's source
    const char *name; // value of the "input" option
    // Tells the format from the first bytes of a file (up to SAT_HEAD_BYTES).
    bool (*recognise)(std::span<const uint8_t> head) = nullptr;
    SAT_READ_STEP read_header = nullptr;
    SAT_READ_STEP read_pixels = nullptr;
    void (*navigate)(SAT_READ_JOB &job) = nullptr;

    // What the dispatcher does around the steps. dispatcher_opens: it opens the
    // file (FILE_open) for the steps and reports their failures itself
    // ("SAT_read_file: Unable to open file:%s", "SAT_read_file: Unable to read
    // image file"); otherwise the reader opens the file and says why it fails.
    bool dispatcher_opens = false;
    SAT_PLACE place_before = SAT_PLACE_KEEP; // placement set before reading
    bool reading_note = false;               // "Reading image file: %s" before reading
    bool processing_note = false;            // "Processing image file: %s" after a read
    int imager_source = 0;                   // driver's imager source after a read; 0: kept
    bool date_lister = false;                // the "output" option may list the date instead
    bool relabel = false;                    // label rebuilt from a date with a known year
    bool byte_order = false;                 // byte order set to most significant first
    bool summary = false;                    // "Date:", "Info:", "Image domain:" at the end
};
