// Colour enhancement, infrared scales and the colour bar.
//
// Bins carry colour-table indices; an index + 1000 marks a bin made by a colour
// range (ramp flag). On a workstation that writes grey levels each bin's value is the
// grey level of its colour and counts inside two neighbouring ramp bins are
// interpolated, so ramps print as smooth grey wedges. The per-count tables are what
// colouring reads; they survive a failed set-up (an unreadable enhancement file).

#include "sat/sat_color.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "base/mess.h"
#include "base/missing.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gph.h"
#include "plot/plt_tool.h"
#include "sat/dither.h"
#include "sat/sat_tool.h"

namespace {

constexpr int kBins = 256;
constexpr int kRamp = 1000;            // ramp flag added to a bin's colour index
constexpr size_t kEnhanceMax = 9;      // characters kept of an enhancement name
constexpr size_t kMaxWords = 256;      // words read from an enhancement file
constexpr size_t kMaxWordLength = 255; // longer words are cut
constexpr int64_t kMaxFileBytes = 1 << 20;
constexpr uint32_t kDebugLevel = 0x10000000u;

struct ColorState {
    int color_max = 15;
    std::array<int, kBins + 1> sat_cut{};
    std::array<int, kBins> color_fill_ind{};
    std::array<int, kBins> dither_ind{};
    std::array<int, kBins> color_dith_ind{};
    std::array<int, kBins> color_ind{};
    std::array<uint8_t, kBins> sat_ind{};
    std::array<uint8_t, kBins> sat_dither{};
    std::array<uint8_t, kBins> sat_dith_ind{};
    std::array<int, kBins> sat_color_ind{};
    int dither = DITHER_NONE;
    std::string enhance;

    ColorState() { reset_bins(); }
    void reset_bins() {
        color_max = 15;
        enhance.clear();
        sat_cut.fill(MISSING);
        for (int b = 0; b < kBins; ++b) {
            color_fill_ind[b] = b + kRamp;
            dither_ind[b] = 0;
            color_dith_ind[b] = 0;
        }
    }
};

ColorState &st() {
    static ColorState s;
    return s;
}

// Truncation toward zero of a value that may be huge or not a number.
int trunc_to_int(double v) {
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::clamp(v, double(INT_MIN / 2), double(INT_MAX / 2)));
}

// An integer written in an entry, clamped to a range no count comes near.
int parse_int(const char *text) {
    errno = 0;
    const long v = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(v, -1000000, 1000000));
}

bool is_ramp(int index) {
    return index >= kRamp;
}

int colour_index(const std::string &name) {
    return CLR_get_ind(name.c_str());
}

// Grey level 0-255 of a colour of the table (black when it has none).
int grey_of(int index) {
    float r = 0, g = 0, b = 0;
    if (CLR_get_rgb(index, &r, &g, &b) != 0)
        return 0;
    return trunc_to_int((0.9 * r + g + 0.8 * b) / 2.7 * 255.0);
}

// One colour part: a colour name, or "first%Lsecond" (dithered). Completes a bin.
void colour_part(ColorState &s, std::string_view part, int *count) {
    if (*count < 0 || *count >= kBins)
        return;
    const int b = *count;
    const size_t pct = part.find('%');
    if (pct == std::string_view::npos) {
        s.color_fill_ind[b] = colour_index(std::string(part));
    } else {
        const char level_char = pct + 1 < part.size() ? part[pct + 1] : '\0';
        const std::string first(part.substr(0, pct));
        const std::string second(pct + 2 <= part.size() ? part.substr(pct + 2) : "");
        if (s.dither == DITHER_NONE) {
            if (std::isdigit(static_cast<unsigned char>(level_char)))
                s.dither = DITHER_3;
            else if (std::islower(static_cast<unsigned char>(level_char)))
                s.dither = DITHER_5;
        }
        int level = 0;
        if (s.dither == DITHER_3)
            level = std::clamp(level_char - '0', 0, 9);
        else if (s.dither == DITHER_5)
            level = std::clamp(level_char - 'a', 0, 25);
        s.color_fill_ind[b] = colour_index(first);
        s.color_dith_ind[b] = colour_index(second);
        s.dither_ind[b] = level;
    }
    ++*count;
}

// A range "first-last": one ramp bin per colour index from first to last.
void colour_range(ColorState &s, const std::string &entry, int *count) {
    const size_t dash = entry.find('-');
    const int from = colour_index(entry.substr(0, dash));
    const int to = colour_index(entry.substr(dash + 1));
    if (from < 0 || to < 0) {
        MESS_print(MESS_WARN, "SAT_decode_colors: unknown colour in range: %s\n", entry.c_str());
        return;
    }
    const int step = to >= from ? 1 : -1;
    for (int c = from; *count < kBins; c += step) {
        s.color_fill_ind[*count] = c + kRamp;
        ++*count;
        if (c == to)
            break;
    }
}

// Reads an enhancement file into the bins; false when it cannot be read. Its name is
// configured ("color_fill"), so a leading '~' is a home directory.
bool read_enhancement_file(ColorState &s, const std::string &name, int *count) {
    std::string path = FILE_expand_home(FILE_find_on_path(name));
    std::optional<std::string> text = FILE_read_whole(path, kMaxFileBytes);
    if (!text) {
        MESS_print(MESS_WARN, "SAT_color_setup: Unable to read enhancement file: %s\n",
                   path.c_str());
        return false;
    }
    std::vector<std::string> words = str_split_words(*text);
    if (words.size() > kMaxWords)
        words.resize(kMaxWords);
    for (std::string &w : words)
        if (w.size() > kMaxWordLength)
            w.resize(kMaxWordLength);

    for (size_t k = 0; k < words.size(); ++k) {
        const std::string &w = words[k];
        if (k == 0) {
            s.enhance = (w[0] == '@' ? w.substr(1) : w).substr(0, kEnhanceMax);
        } else if (w.size() >= 6 && str_prefix_nocase(w, "@label", 6)) {
            s.enhance = w.size() > 7 ? w.substr(7, kEnhanceMax) : std::string();
        } else if (w[0] == '#' || w[0] == '@') {
            continue;
        } else {
            SAT_decode_colors(w.c_str(), count);
        }
    }
    MESS_print(MESS_OUT1, "Enhancement: %s\n", s.enhance.c_str());
    return true;
}

// Breaks not given are spread evenly between the given ones.
void fill_breaks(ColorState &s) {
    const int last = s.color_max + 1;
    if (s.sat_cut[0] == MISSING)
        s.sat_cut[0] = 0;
    s.sat_cut[last] = 256;
    int prev = 0;
    for (int j = 1; j <= last; ++j) {
        if (s.sat_cut[j] == MISSING)
            continue;
        const int i = prev + 1;
        const int64_t lo = s.sat_cut[prev], span = int64_t(s.sat_cut[j]) - lo;
        for (int k = i; k < j; ++k)
            s.sat_cut[k] = static_cast<int>(lo + span * (k - i + 1) / (j - i + 1));
        prev = j;
    }
}

void print_tables(const ColorState &s) {
    if (!MESS_check(kDebugLevel))
        return;
    MESS_print(kDebugLevel, "Table of color breakoff values\n");
    for (int b = 0; b <= s.color_max; ++b)
        MESS_print(kDebugLevel, "BREAK: %d COLOR: %d\n", s.sat_cut[b], s.color_fill_ind[b]);
}

void print_counts(const ColorState &s) {
    if (!MESS_check(kDebugLevel))
        return;
    MESS_print(kDebugLevel, "Table of color bin indicies for each sat pix value\n");
    MESS_print(kDebugLevel, "%3d: ", 0);
    for (int v = 0; v < kBins; ++v) {
        MESS_print(kDebugLevel, "%3d:%3d ", s.sat_color_ind[v], s.sat_ind[v]);
        if ((v + 1) % 10 == 0)
            MESS_print(kDebugLevel, "\n%3d: ", v + 1);
    }
    MESS_print(kDebugLevel, "\n");
}

uint8_t output_byte(int value) {
    return static_cast<uint8_t>(value % kRamp);
}

} // namespace

int SAT_decode_colors(const char *entry, int *count) {
    if (!entry || !count || *count < 0 || *count >= kBins)
        return 0;
    ColorState &s = st();
    const std::string e = entry;
    const size_t colon = e.find(':');
    if (!e.empty() && e[0] == 'c' && colon != std::string::npos) {
        const double celsius = std::strtod(e.c_str() + 1, nullptr);
        s.sat_cut[*count] = SAT_ir_ind(static_cast<float>(celsius));
        colour_part(s, std::string_view(e).substr(colon + 1), count);
    } else if (!e.empty() && e[0] == 'c') {
        colour_part(s, e, count);
    } else if (e.find('-') != std::string::npos) {
        colour_range(s, e, count);
    } else if (colon != std::string::npos) {
        s.sat_cut[*count] = parse_int(e.c_str());
        colour_part(s, std::string_view(e).substr(colon + 1), count);
    } else {
        colour_part(s, e, count);
    }
    return 0;
}

int SAT_color_setup() {
    ColorState &s = st();
    s.reset_bins();
    // Paper in colour takes the colours as they are; grey paper takes grey levels;
    // windows and metafiles get dithering.
    const int output = ginq_ws_color();
    const bool ps_colour = output == GWS_COLOR_RGB;
    const bool ps_grey = output == GWS_COLOR_GREY;

    int n = 0;
    std::vector<std::string> values;
    RES_getvals("color_fill", &n, &values);
    if (values.empty()) {
        const int fill = std::min(CLR_get_num_fill(), kBins - 1);
        if (fill > 0) {
            s.color_max = fill;
            for (int b = 0; b < fill; ++b)
                s.color_fill_ind[b] = b;
        }
    } else {
        int count = 0;
        if (values.size() == 1 && values[0].find('-') == std::string::npos) {
            if (!read_enhancement_file(s, values[0], &count))
                return 0;
        } else {
            for (size_t k = 0; k < values.size() && k < size_t(kBins); ++k)
                SAT_decode_colors(values[k].c_str(), &count);
        }
        // An enhancement without a single colour keeps one bin of colour 0.
        s.color_max = std::max(count - 1, 0);
    }

    // Output value of each bin, and of the one after the last for ramp grey wedges.
    const int bins = std::min(s.color_max + 2, kBins);
    for (int b = 0; b < bins; ++b) {
        const int ind = s.color_fill_ind[b];
        const int flag = is_ramp(ind) ? kRamp : 0;
        s.color_ind[b] = ps_grey ? grey_of(ind - flag) + flag : ind;
    }

    fill_breaks(s);
    print_tables(s);

    int b = 0;
    for (int v = 0; v < kBins; ++v) {
        if (v == s.sat_cut[b + 1])
            ++b;
        int out = s.color_ind[b], level = 0, second = 0;
        if (v < s.sat_cut[0]) {
            out = s.color_ind[0];
        } else if (ps_grey) {
            const int lo = s.sat_cut[b], hi = s.sat_cut[b + 1];
            const int g0 = s.color_ind[b] % kRamp;
            if (b + 1 < kBins && is_ramp(s.color_ind[b]) && is_ramp(s.color_ind[b + 1]) &&
                hi != lo) {
                const int g1 = s.color_ind[b + 1] % kRamp;
                out = static_cast<int>((int64_t(g0) * (hi - v) + int64_t(g1) * (v - lo)) /
                                       (int64_t(hi) - lo));
            } else {
                out = g0;
            }
        } else if (!ps_colour) {
            level = s.dither_ind[b];
            second = s.color_dith_ind[b];
        }
        s.sat_color_ind[v] = b;
        s.sat_ind[v] = output_byte(out);
        s.sat_dither[v] = static_cast<uint8_t>(level);
        s.sat_dith_ind[v] = output_byte(second);
    }
    print_counts(s);
    return 0;
}

int SAT_color_image(IMAGE *image) {
    if (!image)
        return 0;
    const int n = std::max(CLR_get_num(), 0);
    auto colors = std::make_shared<std::vector<float>>(size_t(n) * 3, 0.0f);
    for (int i = 0; i < n; ++i) {
        float *c = colors->data() + size_t(i) * 3;
        CLR_get_rgb(i, &c[0], &c[1], &c[2]);
    }
    image->colors = colors;
    if (image->depth == 8) {
        const ColorState &s = st();
        const int fill = SAT_params().fill;
        const bool pattern = fill != 0 && gget_fill_pattern(fill) != nullptr;
        const int black = pattern ? std::max(CLR_get_ind("black"), 0) : 0;
        const size_t width = size_t(std::max(image->bytes_per_line, 0));
        const size_t rows = size_t(std::max(image->ny, 0));
        const size_t total = std::min(image->data.size(), width * rows);
        const bool dithered = s.dither == DITHER_3 || s.dither == DITHER_5;
        uint8_t *px = image->data.data();
        for (size_t start = 0; start < total; start += width) {
            const size_t end = std::min(total, start + width);
            const int y = int(start / width);
            if (!dithered && !pattern) { // the usual case: one look-up per pixel
                for (size_t k = start; k < end; ++k)
                    px[k] = s.sat_ind[px[k]];
                continue;
            }
            for (size_t k = start; k < end; ++k) {
                const int x = int(k - start);
                const uint8_t v = px[k];
                uint8_t out =
                    DITHER_val(s.dither, s.sat_dither[v], x, y) ? s.sat_dith_ind[v] : s.sat_ind[v];
                if (pattern && !gfill_test(fill, x, y))
                    out = static_cast<uint8_t>(black);
                px[k] = out;
            }
        }
    }
    image->num_colors = n;
    return 0;
}

int SAT_color_bar(int with_ticks) {
    float view[4] = {0, 0, 0, 0}, area[4] = {0, 0, 0, 0};
    PLT_get_view(view);
    GPH_get_view_size(area);
    float gap = view[2] - area[2];
    if (gap > 0.035f)
        gap = 0.035f;
    if (!(gap >= 0.01f))
        return -1;
    const ColorState &s = st();
    const float left = view[0] + 0.03f * (view[1] - view[0]);
    const float mid = (view[0] + view[1]) * 0.5f;
    const float top = view[2] - 0.15f * gap, bottom = view[2] - gap;
    const float step = (mid - left) / 256.0f;

    GPH_trans(1);
    ATTRIB line;
    ATTRIB_get("color_text", "white", &line);
    GPH_line_attr(&line);
    gset_fill_int_style(1);
    for (int v = 0; v < kBins; ++v) {
        gset_fill_colr_ind(s.color_fill_ind[size_t(s.sat_color_ind[v])] % kRamp);
        GPH_frect(left + float(v) * step, bottom, left + float(v + 1) * step, top);
    }
    if (with_ticks) {
        for (int t = 50; t >= -110; t -= 10) {
            const float x = left + float(SAT_ir_ind(float(t))) * step;
            const float len = t % 50 == 0 ? 0.015f : 0.01f;
            GPH_line(x, top, x, top - len);
        }
    }
    for (int k = 0; k < 16; ++k) {
        const float x = left + float(16 * k) * step;
        GPH_line(x, bottom, x, bottom + 0.01f);
    }
    GPH_rect(left, bottom, mid, top);
    GPH_trans(2);
    return 0;
}

int SAT_ir_ind(float celsius) {
    switch (SAT_params().imager_source) {
    case SAT_IN_AREA:
    case SAT_IN_AWIP:
    case SAT_IN_AWIPZ:
        // Two linear pieces: 0.5 C per count down to -30 C, 1 C per count below.
        if (celsius >= -30.0f)
            return trunc_to_int(-2.0 * celsius) + 114;
        return trunc_to_int(145.0 - celsius);
    case SAT_IN_RASTER: {
        // Inverted 10-bit GVAR imager count of the 10.7 um channel over 4: scaled
        // Planck radiance plus offset.
        const double kelvin = is_missing(celsius) ? MISSING_D : celsius + 273.15;
        const double radiance = 50789.3 / (std::exp(1344.3 / kelvin) - 1.0);
        return 255 - trunc_to_int((radiance + 15.68) * 0.25);
    }
    default:
        return 0;
    }
}

float SAT_ind_ir(int count) {
    switch (SAT_params().imager_source) {
    case SAT_IN_AREA:
    case SAT_IN_AWIP:
    case SAT_IN_AWIPZ:
        if (count > 175)
            return static_cast<float>(145 - count);
        return static_cast<float>((114 - count) * 0.5);
    case SAT_IN_RASTER: {
        const double kelvin = 1344.3 / std::log(50789.3 / ((255.0 - count) * 4.0 - 15.68) + 1.0);
        // Counts beyond the scale's end have no temperature.
        if (!std::isfinite(kelvin) || kelvin <= 0)
            return MISSING_F;
        return static_cast<float>(kelvin - 273.15);
    }
    default:
        return 0.0f;
    }
}

int SAT_color_max() {
    return st().color_max;
}

int SAT_color_break(int bin) {
    return bin >= 0 && bin <= kBins ? st().sat_cut[size_t(bin)] : MISSING;
}

int SAT_color_fill(int bin) {
    return bin >= 0 && bin < kBins ? st().color_fill_ind[size_t(bin)] : MISSING;
}

int SAT_color_count_bin(int count) {
    return count >= 0 && count < kBins ? st().sat_color_ind[size_t(count)] : MISSING;
}

int SAT_color_count_value(int count) {
    return count >= 0 && count < kBins ? st().sat_ind[size_t(count)] : MISSING;
}

int SAT_color_count_dither(int count, int *second) {
    if (count < 0 || count >= kBins)
        return MISSING;
    if (second)
        *second = st().sat_dith_ind[size_t(count)];
    return st().sat_dither[size_t(count)];
}

int SAT_get_dither_mode() {
    return st().dither;
}

const char *SAT_get_enhance() {
    return st().enhance.c_str();
}

void SAT_color_reset_state() {
    st() = ColorState{};
}
