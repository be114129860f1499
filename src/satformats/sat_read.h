// The table of satellite image readers, one row per input type.
#pragma once

#include <span>

#include "satformats/sat_reader.h"
// The AREA record and reader, and the byte-order helpers, for the callers that
// reach them through this header.
#include "base/bytes.h"
#include "satformats/area.h"

// The rows of the readers in this layer.
std::span<const SAT_READER> SAT_reader_table();
// The row of an input type; rows of readers that live above this layer (the
// native image format) are passed in by the caller and come first. nullptr when
// no row has the type.
const SAT_READER *SAT_find_reader(int type, std::span<const SAT_READER> above = {});
// The first row whose recogniser accepts the bytes, or nullptr.
const SAT_READER *SAT_recognise_reader(std::span<const uint8_t> head,
                                       std::span<const SAT_READER> above = {});

// Back to the start-up state: swap flag set, the AREA reader's bit shift and
// pixel cap, no LRIT file open.
void SAT_read_reset_state();
