// Plot parameters. Each word of "plot_param" is tried against the keywords in table
// order: exact keywords must equal the word, prefix keywords must begin it; a prefix
// keyword's value starts at a fixed character of the word (after the keyword and one
// separator), as its row says. Keywords ignore case, values keep it. Unknown words
// belong to other modules (the satellite driver reads the same list) and are passed by.
//
// The X11 window and loop switches, the GIF writer's switches and the latitude-longitude
// line settings are kept in PLT_PARAMS; opening the plot hands them to the window, loop,
// GIF and map overlay modules (gset_inverse, gset_local_colormap, gset_rw_colors,
// gset_loop_title, GIF_interlace, GIF_transparent, MAP_latlon).
#include "plot/plt_param.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/file_name.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/gks.h"
#include "gks/gks_obj.h"
#include "gks/gks_ps.h"
#include "gks/gph.h"
#include "map/cty_tool.h"
#include "map/maptran.h"
#include "map/region.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"

namespace {

PLT_PARAMS &params() {
    static PLT_PARAMS p;
    return p;
}

// The numbers of a value "a:b:..." read as far as they go (at most n). A value whose
// first number does not read is reported; an empty value reads nothing, quietly.
template <class T>
int read_numbers(const std::string &word, const std::string &value, T *out, int n) {
    std::vector<std::string> fields;
    int count = 0;
    parse_string(value.c_str(), ':', &count, &fields);
    int got = 0;
    for (const std::string &f : fields) {
        if (got == n)
            break;
        const char *b = f.data(), *e = f.data() + f.size();
        if (b != e && *b == '+')
            ++b;
        T v{};
        auto r = std::from_chars(b, e, v);
        if (r.ec != std::errc() || r.ptr != e || !std::isfinite(static_cast<double>(v)))
            break;
        out[got++] = v;
    }
    if (got == 0 && !value.empty())
        MESS_print(MESS_WARN, "PLT_param_decode: bad number in plot parameter: %s\n", word.c_str());
    return got;
}

// One integer value; `fallback` when the value is empty or does not read.
int read_int(const std::string &word, const std::string &value, int fallback) {
    int v = fallback;
    return read_numbers(word, value, &v, 1) == 1 ? v : fallback;
}

using Apply = void (*)(const std::string &word, const std::string &value);

struct Keyword {
    const char *name;
    int prefix;   // 0: the word must equal the name; else letters compared
    size_t value; // first character of the value
    Apply apply;
};

void set_dump(int type, const std::string &value) {
    PLT_set_dump(type, value.c_str());
}

constexpr Keyword kKeywords[] = {
    {"full", 0, 0, [](auto &, auto &) { PLT_set_view_offsets(0, 0, 0, 0); }},
    {"fullab", 0, 0,
     [](auto &, auto &) {
         PLT_set_view_offsets(0, 0, 0, 0);
         PLT_set_full_lab(1);
     }},
    {"nopage", 0, 0, [](auto &, auto &) { MESS_set_page(0); }},
    {"page", 0, 0, [](auto &, auto &) { MESS_set_page(1); }},
    {"noredraw", 0, 0, [](auto &, auto &) { gset_redraw(0); }},
    {"id", 0, 0, [](auto &, auto &) { CTY_set_id_type(0); }},
    {"wmo", 0, 0, [](auto &, auto &) { CTY_set_id_type(1); }},
    {"cod_wmo", 0, 0, [](auto &, auto &) { CTY_set_id_type(2); }},
    {"tz", 2, 3, [](auto &, auto &v) { DATE_set_TZ(v.c_str()); }},
    {"over", 4, 5,
     [](auto &w, auto &v) {
         int n[2];
         const int got = read_numbers(w, v, n, 2);
         if (got >= 1)
             PLT_set_overlay_base(n[0]);
         if (got == 2)
             PLT_set_num_overlay(n[1]);
     }},
    {"lalo", 4, 5,
     [](auto &w, auto &v) {
         float n[4];
         const int got = read_numbers(w, v, n, 4);
         if (got == 0)
             return;
         PLT_PARAMS &p = params();
         p.latlon = true;
         p.lat_int = n[0];
         p.lon_int = got >= 2 ? n[1] : n[0];
         p.dot = got >= 3 ? static_cast<int>(n[2]) : 0;
         p.extra = got >= 4 ? static_cast<int>(n[3]) : 0;
     }},
    {"gridx", 5, 5,
     [](auto &w, auto &v) { params().grid_factor = read_int(w, v, params().grid_factor); }},
    {"plt_skip", 8, 9,
     [](auto &w, auto &v) {
         int n[2];
         const int got = read_numbers(w, v, n, 2);
         if (got >= 1) {
             params().skip_x = n[0];
             params().skip_y = got == 2 ? n[1] : n[0];
         }
     }},
    {"plt_off", 7, 8,
     [](auto &w, auto &v) {
         float n[2];
         const int got = read_numbers(w, v, n, 2);
         if (got >= 1) {
             params().off_x = n[0];
             params().off_y = got == 2 ? n[1] : n[0];
         }
     }},
    {"plt_grid", 8, 9,
     [](auto &w, auto &v) { MAP_set_plot_limit(w.size() > 8 ? read_int(w, v, 1) : 1); }},
    {"loc_pr", 6, 7,
     [](auto &w, auto &v) {
         if (w.size() > 6)
             DOM_set_loc_prior(read_int(w, v, DOM_get_loc_prior()));
     }},
    {"vp_size", 7, 8, [](auto &, auto &v) { PLT_panel_decode(v.c_str()); }},
    {"font", 4, 5, [](auto &, auto &v) { GPH_set_def_font(v.c_str()); }},
    {"gif_inter", 0, 0, [](auto &, auto &) { params().gif_interlace = 1; }},
    {"gif_norm", 0, 0, [](auto &, auto &) { params().gif_interlace = 0; }},
    {"gif_trans", 0, 0, [](auto &, auto &) { params().gif_transparent = 1; }},
    {"gif_anim", 0, 0, [](auto &, auto &) { params().gif_anim = true; }},
    {"inv", 0, 0, [](auto &, auto &) { params().inverse = 1; }},
    {"lcmap", 0, 0, [](auto &, auto &) { params().local_colormap = 1; }},
    {"nolcmap", 0, 0, [](auto &, auto &) { params().local_colormap = 0; }},
    {"rwclr", 0, 0, [](auto &, auto &) { params().rw_colors = 1; }},
    {"norwclr", 0, 0, [](auto &, auto &) { params().rw_colors = 0; }},
    {"nolooptitle", 0, 0, [](auto &, auto &) { params().loop_title = 0; }},
    {"pscolor", 0, 0,
     [](auto &, auto &) {
         gps_set_colorPS(1);
         params().inverse = 1;
     }},
    {"psrev", 0, 0, [](auto &, auto &) { gps_set_reverse(1); }},
    {"clear", 0, 0, [](auto &, auto &) { gset_pix_mode(1); }},
    {"new", 0, 0, [](auto &, auto &) { gset_pix_mode(2); }},
    {"kill", 0, 0, [](auto &, auto &) { gset_pix_mode(9); }},
    {"bar", 3, 4,
     [](auto &w, auto &v) {
         params().cont_bar = 2;
         float r[2];
         if (w.size() > 3 && read_numbers(w, v, r, 2) == 2) {
             params().bar_low = r[0];
             params().bar_high = r[1];
         }
     }},
    {"nobar", 0, 0, [](auto &, auto &) { params().cont_bar = -2; }},
    {"nohdr", 0, 0, [](auto &, auto &) { params().use_hdr_file = 0; }},
    {"shadow", 6, 7,
     [](auto &w, auto &v) {
         const int n = read_int(w, v, 0);
         gset_font_drop(n < 1 ? 4 : n);
     }},
    {"max_bad", 7, 8,
     [](auto &w, auto &v) {
         const int n = read_int(w, v, 0);
         params().max_bad = n < 1 ? 5 : n;
     }},
    {"min_size", 8, 9,
     [](auto &w, auto &v) {
         const int n = read_int(w, v, 0);
         FILE_set_min_size(n < 0 ? 0 : n);
     }},
    {"grdfmt", 6, 7,
     [](auto &w, auto &v) {
         if (w.size() > 7)
             params().grid_format = v;
     }},
    {"gif", 3, 4, [](auto &, auto &v) { set_dump(PLT_DUMP_GIF, v); }},
    {"png", 3, 4, [](auto &, auto &v) { set_dump(PLT_DUMP_PNG, v); }},
    {"img", 3, 4, [](auto &, auto &v) { set_dump(PLT_DUMP_IMG, v); }},
    {"xwd", 3, 4, [](auto &, auto &v) { set_dump(PLT_DUMP_XWD, v); }},
};
static_assert(std::size(kKeywords) == 44); // 43 and "gif_anim"

bool matches(const Keyword &k, const std::string &word) {
    if (k.prefix == 0)
        return str_equal_nocase(word, k.name);
    return word.size() >= static_cast<size_t>(k.prefix) &&
           str_prefix_nocase(word, k.name, k.prefix);
}

std::vector<std::string> list_resource(const char *name) {
    std::vector<std::string> list;
    int n = 0;
    if (RES_getvals(name, &n, &list) <= 0)
        list.clear();
    return list;
}

// "WxH+X+Y": the numbers read in order up to the first that does not.
int read_panel(const char *text, float v[4]) {
    const char *p = text;
    const char *end = text + std::char_traits<char>::length(text);
    const char seps[3] = {'x', '+', '+'};
    int got = 0;
    while (got < 4) {
        auto r = std::from_chars(p, end, v[got]);
        if (r.ec != std::errc() || !std::isfinite(v[got]))
            break;
        ++got;
        p = r.ptr;
        if (got == 4 || p == end || (*p != seps[got - 1] && !(got == 1 && *p == 'X')))
            break;
        ++p;
    }
    return got;
}

} // namespace

int PLT_param_decode() {
    for (const std::string &word : list_resource("plot_param")) {
        for (const Keyword &k : kKeywords) {
            if (matches(k, word)) {
                k.apply(word, word.size() > k.value ? word.substr(k.value) : std::string());
                break;
            }
        }
    }
    for (const std::string &word : list_resource("out_file")) {
        const std::string name = word.size() > 4 ? word.substr(4) : std::string();
        if (str_prefix_nocase(word, "gif", 3))
            set_dump(PLT_DUMP_GIF, name);
        else if (str_prefix_nocase(word, "png", 3))
            set_dump(PLT_DUMP_PNG, name);
    }
    return 0;
}

const PLT_PARAMS &PLT_get_params() {
    return params();
}

int PLT_panel_decode(const char *text) {
    if (!text)
        return 0;
    float v[4] = {1, 1, 0, 0};
    const int got = read_panel(text, v);
    float w = v[0], h = v[1], x = v[2], y = v[3];
    if (w > 1) {
        w = std::min(std::max(w, 1.0f), 8.0f);
        h = std::min(std::max(h, 1.0f), 8.0f);
        const float left = x / w, bottom = 1 - (1 + y) / h;
        w = 1 / w;
        h = 1 / h;
        x = left;
        y = bottom;
    }
    if (got == 4)
        GPH_set_view_size(w, h, x, y);
    return 0;
}

void PLT_reset_param_state() {
    params() = PLT_PARAMS{};
}
