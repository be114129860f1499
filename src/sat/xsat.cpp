// xsat: satellite image display. Reads geostationary satellite images, fits
// them to a map domain and shows or writes them.
#include <string>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "gks/gif.h"
#include "map/region.h"
#include "sat/img_io.h"
#include "sat/sat_pool.h"
#include "sat/sat_tool.h"

int main(int argc, char **argv) {
    const int *keyed = SAT_keyed_options();
    const int *positional = SAT_positional_options();

    RES_init(argc, argv, keyed, positional);
    IMG_register_io();
    GIF_threads(SAT_thread_count()); // "threads" bounds the GIF coder as it does the remap
    if (FLAG_help()) {
        std::string prog = RES_get_progname();
        MESS_print(MESS_PRINT, "%s: This program plots satellite data\n", prog.c_str());
        RES_help_print(prog.c_str(), keyed, positional);
        ZOR_exit(0);
    }

    SAT_in_file();

    // The domain the user typed; "plot_domain" wins over "region". A built-in
    // region without a centre asks for it here.
    DOMAIN domain;
    DOM_init(&domain);
    DOM_decode_option("region", &domain);
    DOM_decode_option("plot_domain", &domain);

    MESS_print_prog("SATELLITE IMAGE DISPLAY");

    switch (FLAG_get(FLAG_INPUT)) {
    case SAT_IN_IMG:
    case SAT_IN_AREA:
    case SAT_IN_AWIP:
    case SAT_IN_AWIPZ:
    case SAT_IN_RASTER:
    case SAT_IN_TIFF:
    case SAT_IN_LRIT:
        break;
    default:
        return 0;
    }

    std::string name;
    int got = FILE_get_file("Enter the satellite filename: ", &name);
    if (got == FILE_QUIT)
        ZOR_exit(0);
    if (got != 1)
        ZOR_exit(10); // no input file
    DATE date;
    FILE_get_date(&date);
    SAT_set_date(&date);
    return SAT_plot(&domain);
}
