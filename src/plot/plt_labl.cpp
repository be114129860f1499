// Label store and label drawing. Labels are drawn in normalised device coordinates
// (transformation 1): the upper row above the viewport, the lower row below it, one line
// per overlay, in a line height taken from the room between the viewport and the bottom
// of the view (or a fixed height inside the plot with "fullab").
#include "plot/plt_labl.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "base/flag.h"
#include "base/missing.h"
#include "base/resrc.h"
#include "base/string.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gph.h"
#include "plot/plt_param.h"
#include "plot/plt_tool.h"

namespace {

constexpr int kMaxSlot = PLT_LABEL_SLOTS - 1;

struct LabelState {
    std::array<std::array<std::string, PLT_LABEL_SLOTS>, PLT_LABEL_POSITIONS> text;
    std::array<size_t, PLT_LABEL_POSITIONS> label_ind{};
    int lab_type = 0;
    int num_over = 0;
    int overlay = 0;
    int over_base = 0;
    DATE date;
    int fhour = MISSING;
    int full_lab = 0;
    int border = 0;
};

LabelState &st() {
    static LabelState s;
    return s;
}

bool valid_pos(int pos) {
    return pos >= 0 && pos < PLT_LABEL_POSITIONS;
}

int store(int pos, const char *text) {
    const LabelState &s = st();
    if (s.lab_type < 0 && s.overlay >= 1)
        return PLT_label_strcat(pos, text);
    if (s.overlay >= 0)
        return PLT_label_strcpy(pos, text);
    return 0;
}

std::string two_digits(int v) {
    return v == MISSING ? std::string() : str_printf("%2.2d", v);
}

// The label date moved on by the forecast hours.
DATE valid_date() {
    const LabelState &s = st();
    DATE d = s.date;
    if (s.fhour != MISSING && s.fhour != 0 && d.year != MISSING) {
        const int hour = d.hour, minute = d.minute;
        for (int32_t *f : {&d.hour, &d.minute, &d.second}) // counted as 0 when not given
            if (*f == MISSING)
                *f = 0;
        int64_t t = DATE_num_sec(&d) + int64_t{s.fhour} * 3600;
        DATE_get_gmdate(&t, &d);
        if (hour == MISSING)
            d.hour = MISSING;
        if (minute == MISSING)
            d.minute = MISSING;
    }
    return d;
}

std::string date_label(const DATE &d) {
    std::string out;
    if (d.year != MISSING)
        DATE_make_label(&d, out);
    return out;
}

// Position codes of the "label" resource.
constexpr const char *kCodes[PLT_LABEL_POSITIONS] = {"ul", "uc", "ur", "ll", "lc", "lr"};

using LabelFunc = int (*)(const char *);
constexpr LabelFunc kLabelFuncs[PLT_LABEL_POSITIONS] = {PLT_label_up_left,    PLT_label_up_center,
                                                        PLT_label_up_right,   PLT_label_low_left,
                                                        PLT_label_low_center, PLT_label_low_right};

// Step 1 of the drawing: the elements of "label" into the store. Positions given with
// their plain code draw their first line only.
std::array<bool, PLT_LABEL_POSITIONS> read_label_resource() {
    std::array<bool, PLT_LABEL_POSITIONS> first_only{};
    std::vector<std::string> list;
    int n = 0;
    if (RES_getvals("label", &n, &list) <= 0)
        return first_only;
    LabelState &s = st();
    for (const std::string &e : list) {
        const size_t colon = e.find(':');
        if (colon == std::string::npos || colon < 2 || colon > 3)
            continue;
        int pos = -1;
        for (int p = 0; p < PLT_LABEL_POSITIONS; ++p)
            if (str_prefix_nocase(e, kCodes[p], 2))
                pos = p;
        int slot = 0;
        if (colon == 3) {
            if (!std::isdigit(static_cast<unsigned char>(e[2])) || e[2] - '0' > kMaxSlot)
                continue;
            slot = e[2] - '0';
        }
        if (pos < 0)
            continue;
        first_only[static_cast<size_t>(pos)] = first_only[static_cast<size_t>(pos)] || colon == 2;
        std::string text;
        PLT_label_format(e.c_str() + colon + 1, &text);
        const int keep = s.overlay;
        s.overlay = slot;
        kLabelFuncs[pos](text.c_str());
        s.overlay = keep;
    }
    return first_only;
}

} // namespace

void PLT_init_labels() {
    LabelState &s = st();
    for (auto &pos : s.text)
        for (auto &t : pos)
            t.clear();
    s.label_ind.fill(0);
    s.num_over = 0;
}

int PLT_set_overlay(int n) {
    LabelState &s = st();
    n = std::min(n, kMaxSlot);
    s.num_over = std::max(s.num_over, n);
    s.overlay = n;
    return 0;
}

int PLT_set_overlay_base(int n) {
    LabelState &s = st();
    n = std::min(n, kMaxSlot);
    s.num_over = std::max(s.num_over, n);
    s.over_base = n;
    return 0;
}

int PLT_get_overlay_base() {
    return st().over_base;
}

int PLT_set_num_overlay(int n) {
    LabelState &s = st();
    if (n < 0)
        s.num_over = -n;
    else
        s.num_over = std::max(s.num_over, n);
    return 0;
}

int PLT_get_num_over() {
    return st().num_over;
}

int PLT_next_overlay() {
    LabelState &s = st();
    if (s.overlay >= kMaxSlot)
        return -1;
    ++s.overlay;
    if (s.lab_type > 0)
        ++s.lab_type;
    else if (s.lab_type < 0)
        --s.lab_type;
    for (int p = 0; p < PLT_LABEL_POSITIONS; ++p)
        s.label_ind[static_cast<size_t>(p)] = s.text[static_cast<size_t>(p)][0].size();
    // Slots 0..overlay now hold lines.
    s.num_over = std::max(s.num_over, s.overlay + 1);
    return s.overlay;
}

int PLT_set_label_type(int type) {
    st().lab_type = type;
    return 0;
}

int PLT_get_label_type() {
    return st().lab_type;
}

int PLT_label_up_left(const char *text) {
    return store(PLT_UP_LEFT, text);
}
int PLT_label_up_center(const char *text) {
    return store(PLT_UP_CENTER, text);
}
int PLT_label_up_right(const char *text) {
    return store(PLT_UP_RIGHT, text);
}
int PLT_label_low_left(const char *text) {
    return store(PLT_LOW_LEFT, text);
}
int PLT_label_low_center(const char *text) {
    return store(PLT_LOW_CENTER, text);
}
int PLT_label_low_right(const char *text) {
    return store(PLT_LOW_RIGHT, text);
}

int PLT_label_strcpy(int pos, const char *text) {
    LabelState &s = st();
    if (!valid_pos(pos) || s.overlay < 0 || s.overlay > kMaxSlot)
        return -1;
    const std::string t = text ? text : "";
    if (t.size() > PLT_LABEL_MAX)
        return -1;
    s.text[static_cast<size_t>(pos)][static_cast<size_t>(s.overlay)] = t;
    return 0;
}

int PLT_label_strcat(int pos, const char *text) {
    LabelState &s = st();
    if (!valid_pos(pos))
        return -1;
    const std::string t = text ? text : "";
    const size_t start = s.label_ind[static_cast<size_t>(pos)];
    if (start + t.size() > PLT_LABEL_APPEND)
        return -1;
    std::string &line = s.text[static_cast<size_t>(pos)][0];
    line.resize(std::min(line.size(), start));
    line += " " + t;
    return 0;
}

const char *PLT_get_label(int pos, int slot) {
    if (!valid_pos(pos) || slot < 0 || slot > kMaxSlot)
        return "";
    return st().text[static_cast<size_t>(pos)][static_cast<size_t>(slot)].c_str();
}

int PLT_label_date(const DATE *date) {
    if (date)
        st().date = *date;
    else
        DATE_init(&st().date);
    return 0;
}

int PLT_label_for_time(int hours) {
    st().fhour = hours;
    return 0;
}

int PLT_label_format(const char *format, std::string *out) {
    if (!out)
        return 0;
    out->clear();
    if (!format)
        return 0;
    const LabelState &s = st();
    const DATE &d = s.date;
    for (const char *p = format; *p; ++p) {
        if (*p != '%') {
            out->push_back(*p == '_' ? ' ' : *p);
            continue;
        }
        if (!*++p)
            break;
        switch (*p) {
        case '%':
            out->push_back('%');
            break;
        case 'D':
            *out += date_label(d);
            break;
        case 'F':
            if (s.fhour != MISSING)
                *out += str_printf("%d HR FCST", s.fhour);
            break;
        case 'f':
            if (s.fhour != MISSING)
                *out += str_printf("F%2.2d", s.fhour);
            break;
        case 'V':
            *out += date_label(valid_date());
            break;
        case 'W': {
            DATE v = valid_date();
            v.hour = v.minute = MISSING;
            *out += date_label(v);
            break;
        }
        case 'b':
            if (d.month >= 1 && d.month <= 12)
                *out += DATE_month(d.month);
            break;
        case 'd':
            *out += two_digits(d.day);
            break;
        case 'h':
            *out += two_digits(d.hour);
            break;
        case 'm':
            *out += two_digits(d.month);
            break;
        case 'n':
            *out += two_digits(d.minute);
            break;
        case 'y':
            *out += two_digits(d.year == MISSING ? MISSING : d.year % 100);
            break;
        default:
            break;
        }
    }
    return 0;
}

int PLT_labels() {
    const auto first_only = read_label_resource();
    LabelState &s = st();
    if (!gchk_graphics())
        return 0;

    int tran = 2, err = 0;
    ginq_cur_norm_tran_num(&err, &tran);
    ATTRIB color;
    ATTRIB_get("color_text", PLT_get_params().inverse ? "black" : "white", &color);
    PLT_mess("Labels");
    gsel_norm_tran(1);
    float view[4] = {0, 0, 0, 0};
    PLT_get_view(view);
    GPH_line_attr(nullptr);
    GPH_text_attr(nullptr, 0);
    GPH_text_font(nullptr);
    GPH_line_attr(&color);

    float size[4] = {0, 0, 0, 0};
    GPH_get_view_size(size);
    float h = s.full_lab ? 0.06f : view[2] - size[2];
    if (s.border && FLAG_getplot(11))
        GPH_border(view);
    int result = 0;
    if (h < 0.005f) {
        result = -1;
    } else if (FLAG_getplot(0)) {
        const int n = s.lab_type >= 0 && s.num_over > 0 ? s.num_over : 1;
        h = std::min(h / n, 0.03f * (view[3] - view[2]));
        GPH_text_attr(&color, 0.75f * h);
        const float d = 0.2f * h;
        const float up = s.full_lab ? -d - n * h : d;
        const float inset = 0.01f * (view[1] - view[0]);
        const float xs[3] = {view[0] + inset, 0.5f * (view[0] + view[1]), view[1] - inset};
        const bool bar = PLT_get_params().cont_bar > 0;
        // Draw flags 1..6 switch the positions; a contour colour bar takes the room of
        // the lower left and centre.
        const bool on[PLT_LABEL_POSITIONS] = {FLAG_getplot(1) != 0,    FLAG_getplot(2) != 0,
                                              FLAG_getplot(3) != 0,    FLAG_getplot(4) && !bar,
                                              FLAG_getplot(5) && !bar, FLAG_getplot(6) != 0};
        const float row_y[2] = {view[3] + up + s.over_base * h,
                                view[2] - d - (n - 1) * h + s.over_base * h};
        for (int p = 0; p < PLT_LABEL_POSITIONS; ++p) {
            if (!on[p])
                continue;
            const int row = p / 3;
            GPH_text_align(p % 3 + 1, row == 0 ? 4 : 2);
            for (int k = 0; k < n && k < PLT_LABEL_SLOTS; ++k) {
                const std::string &t = s.text[static_cast<size_t>(p)][static_cast<size_t>(k)];
                if (!t.empty()) {
                    const float pos[2] = {xs[p % 3], row_y[row] + k * h};
                    GPH_pprint(pos, t.c_str());
                }
                if (first_only[static_cast<size_t>(p)])
                    break;
            }
        }
    }
    gsel_norm_tran(tran);
    return result;
}

int PLT_border(int on) {
    st().border = on;
    return 0;
}

int PLT_set_full_lab(int on) {
    st().full_lab = on;
    return 0;
}

int PLT_get_full_lab() {
    return st().full_lab;
}

void PLT_reset_label_state() {
    st() = LabelState{};
}
