// Text primitive: the text attributes and the stroke-font rendering.
//
// Stroke fonts are in font units: one character cell is 100 units wide, 105 units are one
// character height (cap line 140, base line 35, bottom 0). Glyphs are drawn along the up
// vector, so rotation is the up vector alone.
#include <cmath>
#include <cstring>

#include "base/mess.h"
#include "gks/gks_obj.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace {

float vertical_offset(int align_v) {
    switch (align_v) {
    case 1:
        return -160.0f;
    case 2:
        return -140.0f;
    case 3:
        return -85.0f;
    case 5:
        return 0.0f;
    default:
        return -35.0f;
    }
}

// Advance after a glyph (or a space without one) in font units, before expansion.
float advance(int c, bool has_glyph) {
    const auto &k = kernel();
    if (k.char_space > 0)
        return (100.0f + 100.0f * k.space) * k.char_space;
    if (has_glyph)
        return static_cast<float>(gget_glyph_width(c)) + 100.0f * k.space;
    return 100.0f * k.space + 40.0f;
}

void render(GksDevice &d, float px, float py, const std::string &s) {
    const auto &k = kernel();
    const auto &table = gget_stroke_table();
    float f = k.char_ht / 105.0f;
    float width = static_cast<float>(gtext_width_units(s.c_str()));
    float off = 0;
    if (k.align_h == 2)
        off = -static_cast<float>(static_cast<int>(k.expan * width)) / 2.0f;
    else if (k.align_h == 3)
        off = -static_cast<float>(static_cast<int>(k.expan * width));
    float voff = vertical_offset(k.align_v);
    GPoint pos{px, py};
    d.text_begin(pos, s);
    for (unsigned char c : s) {
        int start = gget_glyph_start(c);
        if (start >= 0) {
            d.glyph_begin();
            for (size_t i = static_cast<size_t>(start); i + 1 < table.size() && table[i] != 255;
                 i += 2) {
                int x = table[i];
                bool up = x >= 128;
                if (up)
                    x -= 128;
                float u = (static_cast<float>(x) * k.expan + off) * f;
                float v = (static_cast<float>(table[i + 1]) + voff) * f;
                float wx = px + k.up_y * u + k.up_x * v;
                float wy = py - k.up_x * u + k.up_y * v;
                if (up)
                    d.text_move(wx, wy);
                else
                    d.text_draw(wx, wy);
            }
            d.glyph_end();
            off += static_cast<float>(static_cast<int>(advance(c, true) * k.expan));
        } else if (c == ' ') {
            off += static_cast<float>(static_cast<int>(advance(c, false) * k.expan));
        }
    }
}

} // namespace

int gtext_width_units(const char *text) {
    const auto &k = kernel();
    size_t n = text ? std::strlen(text) : 0;
    float w = 0;
    for (size_t i = 0; i < n; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        float add;
        if (i + 1 < n)
            add = k.char_space > 0 ? (100.0f + 100.0f * k.space) * k.char_space
                                   : static_cast<float>(gget_glyph_width(c)) + 100.0f * k.space;
        else
            add =
                k.char_space > 0 ? 100.0f * k.char_space : static_cast<float>(gget_glyph_width(c));
        w = static_cast<float>(static_cast<int>(w + add));
    }
    return static_cast<int>(w);
}

void GksDevice::text_move(float x, float y) {
    flush_text_batch();
    batch_.push_back({x, y});
}

void GksDevice::text_draw(float x, float y) {
    batch_.push_back({x, y});
    if (batch_.size() >= 30) {
        text_polyline(batch_);
        GPoint last = batch_.back();
        batch_.clear();
        batch_.push_back(last);
    }
}

void GksDevice::glyph_end() {
    flush_text_batch();
}

void GksDevice::flush_text_batch() {
    if (batch_.size() >= 2)
        text_polyline(batch_);
    batch_.clear();
}

int GksDevice::text(GPoint pos, const std::string &s) {
    const auto &k = kernel();
    if (caps_.shadows) {
        // Shadow copy i sits i pixels right and i pixels down.
        float bx = xW_p(pos.x), by = yW_p(pos.y);
        for (int i = 0; i < k.drop_shadow; ++i) {
            shadow(true);
            render(*this, xp_W(bx + static_cast<float>(i)), yp_W(by + static_cast<float>(i)), s);
            shadow(false);
        }
    }
    render(*this, pos.x, pos.y, s);
    return 0;
}

int gtext(const float *pos, const char *text) {
    if (!require_open("gtext"))
        return -1;
    if (!pos || !text || !*text)
        return 0;
    std::string s = text;
    std::vector<unsigned char> data(2 * sizeof(float) + s.size() + 1);
    std::memcpy(data.data(), pos, 2 * sizeof(float));
    std::memcpy(data.data() + 2 * sizeof(float), s.c_str(), s.size() + 1);
    gnew_obj(GOBJ_TEXT, 1, data.size(), data.data());
    GPoint p{pos[0], pos[1]};
    if (gget_font_type() == 2 && caps().server_fonts)
        return dev().server_text(p, s);
    return dev().text(p, s);
}

int gset_text_colr_ind(int index) {
    auto &k = kernel();
    if (index == k.text_colr)
        return 0;
    if (!require_open("gset_text_colr_ind"))
        return -1;
    int c = check_colr("gset_text_colr_ind", index);
    if (c == -9999)
        return -1;
    k.text_colr = c;
    gnew_obj(GOBJ_TEXT_COLR, c, 0, nullptr);
    dev().attribute(GAttr::TextColr);
    return 0;
}

namespace {

// Shared body of the float text setters. check: refuse values below 0 with `message`;
// is_width: a zero width follows the device's zero_width_thinnest.
int set_text_float(const char *function, float &field, float value, bool check, const char *message,
                   int obj, GAttr attr, bool is_width = false) {
    if (value == field)
        return 0;
    if (!require_open(function))
        return -1;
    if (check && !(value >= 0)) {
        gerr_printf(function, message, static_cast<double>(value));
        return -1;
    }
    if (is_width && value == 0 && !caps().zero_width_thinnest)
        value = 1.0f;
    field = value;
    gnew_obj(obj, 1, sizeof(float), &value);
    dev().attribute(attr);
    return 0;
}

} // namespace

int gset_char_ht(float height) {
    return set_text_float("gset_char_ht", kernel().char_ht, height, true,
                          "invalid character height: %f\n", GOBJ_CHAR_HT, GAttr::CharHt);
}

int gset_expan(float factor) {
    return set_text_float("gset_expan", kernel().expan, factor, true,
                          "invalid expansion factor: %f\n", GOBJ_EXPAN, GAttr::Expan);
}

int gset_text_width(float width) {
    return set_text_float("gset_text_width", kernel().text_width, width, true,
                          "invalid text width: %f\n", GOBJ_TEXT_WIDTH, GAttr::TextWidth, true);
}

int gset_space(float spacing) {
    return set_text_float("gset_space", kernel().space, spacing, false, "", GOBJ_SPACE,
                          GAttr::Space);
}

int gset_char_space(float spacing) {
    return set_text_float("gset_char_space", kernel().char_space, spacing, false, "",
                          GOBJ_CHAR_SPACE, GAttr::CharSpace);
}

int gset_char_up_vec(const float *up) {
    auto &k = kernel();
    if (up[0] == k.up_x && up[1] == k.up_y)
        return 0;
    if (!require_open("gset_char_up_vec"))
        return -1;
    float x = up[0], y = up[1];
    float len = std::sqrt(x * x + y * y);
    if (!caps().writes_calls && len > 0 && std::isfinite(len)) {
        x /= len;
        y /= len;
    }
    k.up_x = x;
    k.up_y = y;
    float data[2] = {x, y};
    gnew_obj(GOBJ_CHAR_UP, 1, sizeof(data), data);
    dev().attribute(GAttr::CharUp);
    return 0;
}

int gset_text_align(const int *align) {
    auto &k = kernel();
    if (align[0] == k.align_h && align[1] == k.align_v)
        return 0;
    if (!require_open("gset_text_align"))
        return -1;
    k.align_h = align[0];
    k.align_v = align[1];
    gnew_obj(GOBJ_TEXT_ALIGN, 1, 2 * sizeof(int), align);
    dev().attribute(GAttr::TextAlign);
    return 0;
}

int gset_fontprec(const int *font_prec) {
    auto &k = kernel();
    if (font_prec[0] == k.font && font_prec[1] == k.prec)
        return 0;
    if (!require_open("gset_fontprec"))
        return -1;
    int n = gget_num_fonts();
    if (n > 0 && (font_prec[0] < 1 || font_prec[0] > n)) {
        MESS_print(MESS_WARN, "gset_fontprec: invalid font id: %d\n", font_prec[0]);
        return -1;
    }
    bool load = font_prec[0] != k.font;
    k.font = font_prec[0];
    k.prec = font_prec[1];
    gnew_obj(GOBJ_FONTPREC, 1, 2 * sizeof(int), font_prec);
    dev().attribute(GAttr::FontPrec);
    std::string name, file;
    if (load && n > 0 && gget_font_entry(k.font, &name, &file) && read_font(file.c_str()) == 0)
        font_loaded(k.font);
    return 0;
}

int ginq_text_align(int *err, int *align) {
    if (err)
        *err = 0;
    align[0] = kernel().align_h;
    align[1] = kernel().align_v;
    return 0;
}

int gget_text_colr() {
    return kernel().text_colr;
}
float gget_char_ht() {
    return kernel().char_ht;
}
float gget_expan() {
    return kernel().expan;
}
float gget_text_width() {
    return kernel().text_width;
}
float gget_space() {
    return kernel().space;
}
float gget_char_space() {
    return kernel().char_space;
}
void gget_char_up_vec(float *up) {
    up[0] = kernel().up_x;
    up[1] = kernel().up_y;
}
void gget_fontprec(int *font_prec) {
    font_prec[0] = kernel().font;
    font_prec[1] = kernel().prec;
}

int greset_text() {
    auto &k = kernel();
    k.text_colr = 1;
    k.text_width = 1.0f;
    k.char_ht = 0.01f;
    k.expan = 1.0f;
    k.space = 0.25f;
    k.char_space = 0.0f;
    k.align_h = 0;
    k.align_v = 0;
    k.up_x = 0.0f;
    k.up_y = 1.0f;
    k.font = 1;
    return 0;
}
