// Resources: the table of named options filled from resource files, the
// environment and the command line, read afterwards by name; the option
// catalogue, the help listing and the terminal prompts with their "set" command.
#pragma once

#include <string>
#include <vector>

// Option codes of the catalogue (the list a program hands to RES_init is
// zero-terminated).
enum RES_code : int {
    RES_END = 0,
    RES_HELP = 2,
    RES_BATCH,
    RES_MESSAGE,
    RES_FILE_PATH,
    RES_DATA_PATH,
    RES_CON_PATH,
    RES_GRID_PATH,
    RES_RAW_PATH,
    RES_IMAGE_PATH,
    RES_WATCH_PATH,
    RES_TEXT_PATH,
    RES_MODEL_PATH,
    RES_SAT_PATH,
    RES_CITY_FILE,
    RES_MAP_FILE,
    RES_INPUT,
    RES_OUTPUT,
    RES_NAME_CONV,
    RES_IN_FILE,
    RES_OUT_FILE,
    RES_FILE_PARAM,
    RES_CURRENT,
    RES_HOUR,
    RES_NUM_HOUR,
    RES_PLOT_DOMAIN,
    RES_GRID_DOMAIN,
    RES_REGION,
    RES_STAT_PRIOR,
    RES_PLOT_TYPE,
    RES_PLOT_SCALE,
    RES_PLOT_FORMAT,
    RES_PLOT_PARAM,
    RES_DRAW,
    RES_LABEL,
    RES_CON_INTERVAL,
    RES_CON_BASE,
    RES_FONT_LIST,
    RES_COLOR_TABLE,
    RES_COLOR_TEXT,
    RES_COLOR_DATA,
    RES_COLOR_MAP,
    RES_COLOR_GRID,
    RES_COLOR_LINE,
    RES_COLOR_FILL,
    RES_DEVICE,
    RES_TITLE,
    RES_ICON,
    RES_BACKGROUND,
    RES_GEOMETRY,
    RES_FILENAME,    // positional: input file names
    RES_THREADS,     // remap threads
    RES_REMAP_ERROR, // remap through the navigation grid with this error bound
};

// Conversion kinds.
enum RES_kind : int {
    RES_BOOL = 1,
    RES_INT = 2,
    RES_SHORT = 3,
    RES_INT_DEC = 4,
    RES_FLOAT = 5,
    RES_STRING = 6, // dest is a std::string*
    RES_COPY = 7,   // dest is a std::string*
    RES_PATH = 8,   // dest is a std::string*
    RES_MESS = 9,
    RES_DRAW_LIST = 10,
    RES_CURRENT_REQ = 11,
    RES_HOUR_SPEC = 12,
    RES_REGION_KIND = 13, // not converted here: see DOM_decode_option
    RES_NAME_CONV_KIND = 14,
    RES_INGESTOR = 15,
    RES_FILE_PARAM_KIND = 16,
    RES_DEVICE_KIND = 17, // dest is a std::string* (device name)
    RES_PLOT_TYPE_KIND = 18,
    RES_INT32 = 19,
    RES_DOMAIN_KIND = 20, // not converted here: see DOM_decode_option
    RES_LIST = 21,        // dest is a std::vector<std::string>*
    RES_BATCH_KIND = 22,
    RES_HELP_KIND = 23,
};

// Option descriptor built from the catalogue.
struct RES_OPTION {
    std::string name;   // resource name ("" ends a table)
    std::string env;    // environment variable
    std::string abbrev; // command-line abbreviation
    int position = 0;   // positional slot: 1 first argument, 10 all (0 keyed)
    int kind = 0;
    std::string arg_text;          // option text of the help listing ("-pd ...")
    std::vector<std::string> help; // help lines as printed (first one after the option text)
};

int RES_init(int argc, char **argv, const int *keyed_codes, const int *positional_codes);
int RES_enter(RES_OPTION *descriptor, int code);
int RES_decode(int argc, char **argv);
// Value of a resource; "" when set without value; nullptr when absent.
const char *RES_get(const char *name);
// Converts a resource into dest (type by kind, see RES_kind); 0 when absent.
int RES_getval(const char *name, void *dest, int kind);
// Splits the value (',' or newline for kind 21) into list; returns the count, 0 if absent.
int RES_getvals(const char *name, int *count, std::vector<std::string> *list);
int RES_put(const char *name, const char *value);
int RES_new(int index, const char *name, const char *value, int kind);
int RES_append(int index, const char *name, const char *value, int kind);
int RES_conv_data(const char *value, void *dest, int kind);
int RES_set_device(const char *value);
// Parses an hour specification ("#yyyymmddhhmm", "mmddhh", "ddhh", "dhh",
// "DdH:M", ":M", "-:M", "H[:M]") into fields (-9999 where not given); returns 1.
struct FILE_TIME;
int RES_parse_hour(const char *text, FILE_TIME *fields);
int RES_list();
const char *RES_get_prog();
std::string RES_get_progname();
int RES_help_print(const char *progname, const int *keyed_codes, const int *positional_codes);
int RES_help_item(int code);
// Clears the resource list, descriptors and program name (tests and init).
void RES_reset_state();

// Terminal prompts: read a line (at most 80 characters) from standard input,
// trimmed, until something was scanned that was not a "set" command.
int ZOR_prompts(const char *prompt, std::string &buf, int width);
int ZOR_promptl(const char *prompt, std::string &buf);
int ZOR_promptf(const char *prompt, float *value);
int ZOR_promptd(const char *prompt, int *value);
bool ZOR_set_command(const char *line);
