// xsat: satellite image display. Reads geostationary satellite images, fits
// them to a map domain and shows or writes them.
#include <string>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/system.h"
#include "map/region.h"
#include "sat/sat_tool.h"

int main(int argc, char **argv) {
    static const int keyed[] = {
        RES_HELP,        RES_BATCH,      RES_MESSAGE,     RES_FILE_PATH,  RES_DATA_PATH,
        RES_CON_PATH,    RES_GRID_PATH,  RES_RAW_PATH,    RES_IMAGE_PATH, RES_WATCH_PATH,
        RES_TEXT_PATH,   RES_MODEL_PATH, RES_SAT_PATH,    RES_CITY_FILE,  RES_MAP_FILE,
        RES_INPUT,       RES_OUTPUT,     RES_NAME_CONV,   RES_IN_FILE,    RES_OUT_FILE,
        RES_FILE_PARAM,  RES_CURRENT,    RES_HOUR,        RES_NUM_HOUR,   RES_PLOT_DOMAIN,
        RES_GRID_DOMAIN, RES_REGION,     RES_STAT_PRIOR,  RES_PLOT_TYPE,  RES_PLOT_SCALE,
        RES_PLOT_FORMAT, RES_PLOT_PARAM, RES_DRAW,        RES_LABEL,      RES_CON_INTERVAL,
        RES_CON_BASE,    RES_FONT_LIST,  RES_COLOR_TABLE, RES_COLOR_TEXT, RES_COLOR_DATA,
        RES_COLOR_MAP,   RES_COLOR_GRID, RES_COLOR_LINE,  RES_COLOR_FILL, RES_DEVICE,
        RES_TITLE,       RES_ICON,       RES_BACKGROUND,  RES_GEOMETRY,   RES_END};
    static const int positional[] = {RES_FILENAME, RES_END};

    RES_init(argc, argv, keyed, positional);
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
