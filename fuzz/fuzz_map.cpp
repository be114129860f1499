// Fuzz target of the map file reader (map/map_file.cpp) in both its forms, from memory
// and from a stream (where the text probe must seek back), and of the drawing of what it
// reads in a latitude-longitude projection with its seam: any input must be read to its
// end or refused with a message, without touching memory outside the reader's buffers
// and without allocating more than one record's points at a time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "base/bytes.h"
#include "base/mess.h"
#include "map/map_file.h"
#include "map/maptran.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        MESS_set(-1, 0xFFFFFFFFu);
        DOMAIN d;
        d.proj = 2;
        d.clat = 0;
        d.clon = 100;
        d.nx = 361;
        d.ny = 181;
        d.dx = d.dy = 1;
        MAP_domain(&d);
        return true;
    }();
    (void)ready;
    size_t points = 0;
    ByteCursor mem(std::span<const uint8_t>(data, size));
    MAP_read_file(mem, "fuzz", [&](std::span<const float> ll) { points += ll.size(); });

    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (f) {
        ByteCursor in(f, 64);
        MAP_draw_file(in, "fuzz", size % 2 == 1);
        std::fclose(f);
    }
    (void)points;
    return 0;
}
