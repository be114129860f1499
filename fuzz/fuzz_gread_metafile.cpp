// Fuzz target: text-metafile replay onto a metafile workstation writing into memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "base/mess.h"
#include "fuzz_input.h"
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "gks/gks_meta.h"
#include "gks/gks_obj.h"

namespace {

std::string &output() {
    static std::string s;
    return s;
}

void open_once() {
    static bool opened = false;
    if (opened)
        return;
    opened = true;
    MESS_set(0, 0); // quiet
    gopen_gks(nullptr);
    gmeta_set_type(GMETA_TEXT);
    gmeta_open_string(&output());
    gset_win_size(1000, 800);
    gmeta_init_file();
    gopen_ws_device(gmeta_make_device());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    open_once();
    FuzzInputFile input("fuzz_gread_metafile", data, size);
    if (!input.ok())
        return 0;
    gread_metafile(input.path());
    // What one input drew goes, so that memory stays flat over a long run.
    output().clear();
    gclear_objs();
    return 0;
}
