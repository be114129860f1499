#include "sat/sat_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/flag.h"
#include "base/mess.h"
#include "base/missing.h"
#include "base/resrc.h"
#include "base/string.h"
#include "base/system.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_loop.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"
#include "sat/sat_frame.h"
#include "sat/sat_pool.h"
#include "satformats/area.h"
#include "satformats/sat_read.h"

namespace {

struct SatState {
    SAT_PARAMS params;
    IMAGE image;
    DOMAIN tmp_domain;
    DOMAIN plot_domain;
    std::string filename;
    DATE base_date;
    DATE file_date;
    int64_t fsecs = 0;
    bool params_read = false;
    int frames = 0;
};

SatState &st() {
    static SatState s;
    return s;
}

// Text after a keyword of n letters and one separator character, or "".
std::string value_after(const std::string &item, size_t n) {
    return item.size() > n + 1 ? item.substr(n + 1) : std::string();
}

std::vector<std::string> list_option(const char *name) {
    int count = 0;
    std::vector<std::string> list;
    RES_getvals(name, &count, &list);
    return list;
}

// The program's options: keyed ones in the order of the help listing, then the
// positional file name.
constexpr int kKeyedOptions[] = {
    RES_HELP,        RES_BATCH,      RES_MESSAGE,     RES_FILE_PATH,  RES_DATA_PATH,
    RES_CON_PATH,    RES_GRID_PATH,  RES_RAW_PATH,    RES_IMAGE_PATH, RES_WATCH_PATH,
    RES_TEXT_PATH,   RES_MODEL_PATH, RES_SAT_PATH,    RES_CITY_FILE,  RES_MAP_FILE,
    RES_INPUT,       RES_OUTPUT,     RES_NAME_CONV,   RES_IN_FILE,    RES_OUT_FILE,
    RES_FILE_PARAM,  RES_CURRENT,    RES_HOUR,        RES_NUM_HOUR,   RES_PLOT_DOMAIN,
    RES_GRID_DOMAIN, RES_REGION,     RES_STAT_PRIOR,  RES_PLOT_TYPE,  RES_PLOT_SCALE,
    RES_PLOT_FORMAT, RES_PLOT_PARAM, RES_DRAW,        RES_LABEL,      RES_CON_INTERVAL,
    RES_CON_BASE,    RES_FONT_LIST,  RES_COLOR_TABLE, RES_COLOR_TEXT, RES_COLOR_DATA,
    RES_COLOR_MAP,   RES_COLOR_GRID, RES_COLOR_LINE,  RES_COLOR_FILL, RES_DEVICE,
    RES_TITLE,       RES_ICON,       RES_BACKGROUND,  RES_THREADS,    RES_REMAP_ERROR,
    RES_GEOMETRY,    RES_END};
constexpr int kPositionalOptions[] = {RES_FILENAME, RES_END};

} // namespace

const int *SAT_keyed_options() {
    return kKeyedOptions;
}
const int *SAT_positional_options() {
    return kPositionalOptions;
}

SAT_PARAMS &SAT_params() {
    return st().params;
}
IMAGE &SAT_image() {
    return st().image;
}
DOMAIN &SAT_plot_domain() {
    return st().plot_domain;
}
const DATE &SAT_base_date() {
    return st().base_date;
}
const DOMAIN &SAT_tmp_domain() {
    return st().tmp_domain;
}
const DATE &SAT_file_date() {
    return st().file_date;
}
std::string &SAT_filename() {
    return st().filename;
}
void SAT_reset_state() {
    st() = SatState{};
}

int SAT_in_file() {
    FILE_set_name("sat_vis");
    FLAG_set(FLAG_INPUT, SAT_IN_AREA);

    for (const auto &v : list_option("input")) {
        if (str_equal_nocase(v, "area")) {
            FLAG_set(FLAG_INPUT, SAT_IN_AREA);
        } else if (str_equal_nocase(v, "img")) {
            FLAG_set(FLAG_INPUT, SAT_IN_IMG);
            FILE_set_name("sat_img");
        } else if (str_equal_nocase(v, "awipz")) {
            FLAG_set(FLAG_INPUT, SAT_IN_AWIPZ);
        } else if (str_equal_nocase(v, "awip")) {
            FLAG_set(FLAG_INPUT, SAT_IN_AWIP);
        } else if (str_equal_nocase(v, "raster")) {
            FLAG_set(FLAG_INPUT, SAT_IN_RASTER);
        } else if (str_equal_nocase(v, "tiff")) {
            FLAG_set(FLAG_INPUT, SAT_IN_TIFF);
        } else if (str_equal_nocase(v, "lrit")) {
            FLAG_set(FLAG_INPUT, SAT_IN_LRIT);
        }
    }

    // Prefix forms: the type, and from the sixth character on a convention name.
    struct Prefix {
        const char *key;
        size_t n;
        int type;
    };
    static constexpr Prefix kPrefixes[] = {{"awipz", 5, SAT_IN_AWIPZ},
                                           {"awip", 4, SAT_IN_AWIP},
                                           {"rast", 4, SAT_IN_RASTER},
                                           {"tiff", 4, SAT_IN_TIFF},
                                           {"lrit", 4, SAT_IN_LRIT}};
    for (const auto &v : list_option("in_file")) {
        if (str_equal_nocase(v, "area")) {
            FLAG_set(FLAG_INPUT, SAT_IN_AREA);
            continue;
        }
        if (str_equal_nocase(v, "vis") || str_equal_nocase(v, "ir") || str_equal_nocase(v, "wv") ||
            str_equal_nocase(v, "img")) {
            FILE_set_name(("sat_" + str_lower(v)).c_str());
            continue;
        }
        bool matched = false;
        for (const auto &p : kPrefixes) {
            if (v.size() >= p.n && str_prefix_nocase(v, p.key, p.n)) {
                FLAG_set(FLAG_INPUT, p.type);
                if (v.size() > 5)
                    FILE_set_name(v.substr(5).c_str());
                matched = true;
                break;
            }
        }
        if (!matched)
            FILE_set_name(v.c_str());
    }
    return 0;
}

int SAT_out_file() {
    auto values = list_option("out_file");
    int result = 0;
    for (const auto &v : values) {
        // "none" and GIF values ask for window dumps, not native files: the plot
        // front end handles them, so they select nothing here.
        if (str_equal_nocase(v, "none") || (v.size() >= 3 && str_prefix_nocase(v, "gif", 3)) ||
            (v.size() >= 3 && str_prefix_nocase(v, "png", 3)))
            continue;
        if (v.size() >= 4 && str_prefix_nocase(v, "imgz", 4)) {
            FILE_set_name(v.size() > 5 ? v.substr(5).c_str() : "sat_img");
            result = 2;
        } else if (v.size() >= 3 && str_prefix_nocase(v, "img", 3)) {
            FILE_set_name(v.size() > 4 ? v.substr(4).c_str() : "sat_img");
            result = 1;
        } else {
            FILE_set_name(v.c_str());
            result = 1;
        }
    }
    return result;
}

int SAT_set_date(const DATE *date) {
    if (date)
        st().base_date = *date;
    else
        FILE_get_date(&st().base_date);
    return 0;
}

int SAT_set_bit_shift(int shift) {
    SAT_area_set_bit_shift(shift);
    return 0;
}

int SAT_plot_param() {
    SAT_PARAMS &p = st().params;
    for (const auto &item : list_option("plot_param")) {
        auto starts = [&](const char *key, size_t n) {
            return item.size() >= n && str_prefix_nocase(item, key, n);
        };
        if (starts("remap", 5)) {
            std::string v = value_after(item, 5);
            p.remap_inc = v.empty() ? 20 : std::atoi(v.c_str());
        } else if (starts("tran_sat", 8)) {
            p.tran_sat = 1;
        } else if (starts("tran_zor", 8)) {
            p.tran_sat = 0;
        } else if (starts("no_pixave", 8)) {
            p.pix_ave = 0;
        } else if (starts("zoom", 4)) {
            p.zoom = static_cast<float>(std::atof(value_after(item, 4).c_str()));
        } else if (starts("fill", 4)) {
            p.fill = ATTR_parse_fill_pat(value_after(item, 4).c_str());
        } else if (starts("over", 4)) {
            p.over = 1;
        } else if (starts("bar", 3)) {
            p.bar = 1;
        } else if (starts("irbar", 3)) {
            p.bar = 2;
        } else if (starts("pixoff", 6)) {
            p.pix_off = std::atoi(value_after(item, 6).c_str());
        } else if (starts("minlon", 6)) {
            p.min_lon = static_cast<float>(std::atof(value_after(item, 6).c_str()));
        } else if (starts("maxlon", 6)) {
            p.max_lon = static_cast<float>(std::atof(value_after(item, 6).c_str()));
        } else if (starts("shift", 5)) {
            SAT_set_bit_shift(std::atoi(value_after(item, 5).c_str()));
        } else if (str_equal_nocase(item, "refresh")) {
            p.refresh = 1;
        } else if (starts("cutoff", 6)) {
            std::string v = value_after(item, 6);
            int f[4] = {0, 0, 0, 0};
            int n = std::sscanf(v.c_str(), "%d:%d:%d:%d", &f[0], &f[1], &f[2], &f[3]);
            if (n < 1) {
                n = 1;
                f[0] = 0;
            }
            p.cutbase = f[0];
            p.cutoff[0] = 0;
            for (int k = 1; k < n; ++k)
                p.cutoff[k] = f[k];
            p.cutoff[n] = 256;
            p.numcut = n - 1;
        }
    }
    return 0;
}

namespace {

// The native image format is a row of its own: its reader sits in this layer,
// beside its writer.
bool native_recognise(std::span<const uint8_t> head) {
    static constexpr uint8_t kMagic[] = {'Z', 'O', 'R', 'I', 'M', 'G'};
    return head.size() >= sizeof kMagic &&
           std::equal(std::begin(kMagic), std::end(kMagic), head.begin());
}

int native_read(SAT_READ_JOB &job) {
    return IMG_read_zor(job.name, job.image, 0) > 0 ? 0 : -1;
}

constexpr SAT_READER kNativeReaders[] = {
    {.type = SAT_IN_IMG,
     .name = "img",
     .recognise = native_recognise,
     .read_header = native_read,
     .place_before = SAT_PLACE_OWN_DOMAIN,
     .reading_note = true,
     .relabel = true,
     .byte_order = true,
     .summary = true},
};

void apply_place(SAT_PLACE place) {
    if (place == SAT_PLACE_NAVIGATION)
        st().params.tran_sat = 1;
    else if (place == SAT_PLACE_OWN_DOMAIN)
        st().params.tran_sat = 0;
}

// Date lister: with the "output" option "date", "seq" or "file", prints the
// image's date label, sequence text or output file name instead of plotting.
// True when it printed.
bool list_date(const IMAGE &image) {
    const char *out = RES_get("output");
    if (!out)
        return false;
    const std::string what = out;
    std::string text;
    if (str_equal_nocase(what, "date")) {
        text = image.label;
    } else if (str_equal_nocase(what, "seq")) {
        DATE_make_seq(&image.date, text);
    } else if (str_equal_nocase(what, "file")) {
        FILE_save_name_conv();
        if (const char *conv = RES_get("out_file"); conv && *conv)
            FILE_set_name(conv);
        FILE_set_date(&image.date, &text);
        FILE_restore_name_conv();
    } else {
        return false;
    }
    MESS_print(MESS_PRINT, "%s\n", text.c_str());
    return true;
}

// The image on the plot's labels: its description upper left, its date upper right; the
// date also serves the date codes of label formats.
void set_plot_labels(const IMAGE &image) {
    PLT_label_up_left(image.info.c_str());
    PLT_label_up_right(image.label.c_str());
    PLT_label_date(&image.date);
}

} // namespace

std::span<const SAT_READER> SAT_native_readers() {
    return kNativeReaders;
}

int SAT_read_file(const char *name, IMAGE *image) {
    const int type = FLAG_get(FLAG_INPUT);
    const SAT_READER *r = SAT_find_reader(type, kNativeReaders);
    if (!r || !r->read_header) {
        MESS_print(MESS_WARN, "SAT_read_file: no reader for input type %d\n", type);
        return 0;
    }
    apply_place(r->place_before);
    if (r->reading_note)
        MESS_print(MESS_MESS, "Reading image file: %s\n", name);

    SAT_READ_JOB job;
    job.name = name;
    job.image = image;
    FilePtr file;
    if (r->dispatcher_opens) {
        file = FILE_open(name, "rb");
        if (!file) {
            MESS_print(MESS_WARN, "SAT_read_file: Unable to open file:%s\n", name);
            return 0;
        }
        job.stream = file.get();
    }
    if (r->read_header(job) != 0 || (r->read_pixels && r->read_pixels(job) != 0)) {
        if (r->dispatcher_opens)
            MESS_print(MESS_WARN, "SAT_read_file: Unable to read image file\n");
        return 0;
    }
    job.stream = nullptr;
    file.reset();

    if (r->imager_source != 0)
        st().params.imager_source = r->imager_source;
    if (!r->summary) // AREA: labels as the record is filled, before the date lister
        set_plot_labels(*image);
    if (r->date_lister && list_date(*image)) {
        IMG_free(image);
        return 0;
    }
    if (r->navigate) {
        r->navigate(job);
        apply_place(job.place);
    }
    if (r->processing_note)
        MESS_print(MESS_MESS, "Processing image file: %s\n", name);
    if (r->relabel && image->date.year != MISSING) {
        std::string label;
        DATE_make_label(&image->date, label);
        IMG_set_label(image, label);
    }
    if (r->byte_order)
        image->byte_order = 1;
    if (r->summary) {
        MESS_print(MESS_OUT2, "Date: %s\n", image->label.c_str());
        MESS_print(MESS_OUT2, "Info: %s\n", image->info.c_str());
        set_plot_labels(*image);
        MESS_print(MESS_OUT2, "Image domain: ");
        DOM_print(MESS_OUT2, &image->domain);
    }
    return 1;
}

namespace {

constexpr float kRefreshSeconds = 60.0f;
constexpr float kDefaultAspect = 1.5f;

int refresh_frame(const DOMAIN *) {
    return SAT_plot_nextfile();
}

int write_native(const char *name, const IMAGE *image) {
    return IMG_write(name, image, 0) == 1 ? 1 : 0;
}

// Opens the plot on the first call; a call from the window's zoom or resize callback
// (graphics already open) resets it instead. True for such a re-entry.
bool open_or_reset(const DOMAIN &domain) {
    SatState &s = st();
    if (gchk_graphics()) {
        PLT_reset(domain.proj == MISSING ? kDefaultAspect : DOM_aspect(&domain));
        return true;
    }
    if (!s.params_read) {
        SAT_plot_param();
        s.params_read = true;
    }
    const bool unknown = domain.proj == MISSING && domain.nx == MISSING;
    PLT_set_image_writer(write_native);
    PLT_set_file_output(SAT_out_file() != 0);
    PLT_open(unknown ? kDefaultAspect : DOM_aspect(&domain));
    PLT_set_callback(SAT_callback);
    PLT_set_zoom_func(SAT_plot);
    PLT_set_resize_func(SAT_plot);
    if (s.params.refresh)
        PLT_set_refresh_func(kRefreshSeconds, refresh_frame);
    return false;
}

} // namespace

int SAT_plot(const DOMAIN *domain) {
    SatState &s = st();
    if (domain)
        s.tmp_domain = *domain;
    else
        DOM_init(&s.tmp_domain);
    const bool reentry = open_or_reset(s.tmp_domain);

    FILE_first(&s.base_date);
    const bool looping = FILE_get_num_file() != 0;
    int n = 0;
    while (FILE_get_next(&s.filename)) {
        FILE_get_date(&s.file_date);
        if (SAT_read_file(s.filename.c_str(), &s.image)) {
            // Rounded as FILE_set_current rounds the refresh's candidate, with the fields a
            // name does not carry (minutes, seconds) counted as 0, so the two compare.
            s.fsecs = FILE_date_seconds(&s.file_date);
            MESS_print(MESS_MESS, "Frame %d: %s\n", n, s.filename.c_str());
            if (looping) {
                gcreate_frame(n);
                gselect_frame(n);
            }
            SAT_plot_frame();
            if (looping)
                gdisplay_frame(n);
            if (!(looping && PLT_dump_animates()))
                PLT_dump(n);
            ++n;
        } else if (!looping) {
            PLT_exit(10);
        }
    }
    s.frames = n;
    if (looping && PLT_dump_animates())
        PLT_dump(-4);
    if (looping)
        gset_looping(1);
    if (reentry)
        return 0;
    // The remap's workers end first: a batch run forks into the background at the close,
    // and a child keeps none of its parent's threads.
    SAT_pool_reset_state();
    PLT_close();
    return 0;
}

int SAT_plot_nextfile() {
    SatState &s = st();
    std::string name;
    int64_t secs = FILE_set_current(nullptr, &name);
    if (secs == s.fsecs)
        return 0;
    if (!SAT_read_file(name.c_str(), &s.image))
        return 0;
    FILE_get_date(&s.base_date);
    FILE_get_date(&s.file_date);
    s.filename = name;
    s.fsecs = secs;
    const int m = gget_num_images();
    if (m < 1) {
        gclear_frame(GFRAME_BASE);
        gselect_frame(GFRAME_BASE);
        SAT_plot_frame();
        return 0;
    }
    // The oldest picture goes; the others move one place forward and the newest is last.
    for (int i = 0; i + 1 < m; ++i)
        gcopy_frame(i, i + 1);
    gcreate_frame(m - 1);
    gselect_frame(m - 1);
    SAT_plot_frame();
    gdisplay_frame(m - 1);
    return 0;
}

int SAT_callback(const char *event, float x, float y) {
    PLT_print_values(event, x, y);
    PLT_plot_zoom(event, x, y);
    return PLT_plot_resize(event);
}
