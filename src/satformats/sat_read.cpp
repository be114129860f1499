// The reader table.
#include "satformats/sat_read.h"

#include <algorithm>
#include <cstring>

#include "satformats/area.h"
#include "satformats/geotiff.h"
#include "satformats/gini.h"
#include "satformats/lrit.h"
#include "satformats/raster.h"

void SAT_read_reset_state() {
    swap_reset_state();
    SAT_area_reset_state();
    LRIT_reset_state();
}

// ===========================================================================
// Reader table
// ===========================================================================

namespace {

// Every type but AREA reads with its own messages and is placed through its own
// domain unless its navigation says otherwise; GINI and raster images set the
// imager source that selects the infrared formula.
constexpr SAT_READER kReaders[] = {
    {.type = 51,
     .name = "area",
     .recognise = SAT_area_recognise,
     .read_header = SAT_area_read_header,
     .read_pixels = SAT_area_read_pixels,
     .navigate = SAT_area_navigate,
     .dispatcher_opens = true,
     .imager_source = 51,
     .date_lister = true},
    {.type = 53,
     .name = "awip",
     .recognise = SAT_gini_recognise,
     .read_header = SAT_gini_read_header,
     .read_pixels = SAT_gini_read_pixels,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 53,
     .byte_order = true,
     .summary = true},
    {.type = 54,
     .name = "awipz",
     .recognise = SAT_giniz_recognise,
     .read_header = SAT_giniz_read_header,
     .read_pixels = SAT_gini_read_pixels,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 53,
     .byte_order = true,
     .summary = true},
    {.type = 55,
     .name = "raster",
     .recognise = SAT_raster_recognise,
     .read_header = SAT_raster_read_header,
     .read_pixels = SAT_raster_read_pixels,
     .navigate = SAT_raster_navigate,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .imager_source = 55,
     .byte_order = true,
     .summary = true},
    {.type = 59,
     .name = "tiff",
     .recognise = SAT_tiff_recognise,
     .read_header = SAT_tiff_read,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .processing_note = true,
     .relabel = true,
     .byte_order = true,
     .summary = true},
    {.type = 60,
     .name = "lrit",
     .recognise = SAT_lrit_recognise,
     .read_header = SAT_lrit_read_header,
     .read_pixels = SAT_lrit_read_pixels,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .processing_note = true,
     .relabel = true,
     .byte_order = true,
     .summary = true},
};

} // namespace

std::span<const SAT_READER> SAT_reader_table() {
    return kReaders;
}

const SAT_READER *SAT_find_reader(int type, std::span<const SAT_READER> above) {
    for (auto rows : {above, SAT_reader_table()})
        for (const auto &r : rows)
            if (r.type == type)
                return &r;
    return nullptr;
}

const SAT_READER *SAT_recognise_reader(std::span<const uint8_t> head,
                                       std::span<const SAT_READER> above) {
    for (auto rows : {above, SAT_reader_table()})
        for (const auto &r : rows)
            if (r.recognise && r.recognise(head))
                return &r;
    return nullptr;
}
