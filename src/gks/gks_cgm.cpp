// CGM flavour of the metafile workstation: ISO 8632-3 binary encoding, version 1, with
// 16-bit integer VDC and 8-bit indexed colour (the defaults, so every reader accepts it).
//
// Every element starts with a 16-bit big-endian command word: class in bits 15-12, id in
// bits 11-5, parameter length in bytes in bits 4-0; length 31 is the long form, with the
// real length (at most 32767, bit 15 clear: no continuation) in the next word. Parameters
// of odd length are padded to a word. Only clip rectangles and polylines are drawn; the
// picture is closed with END PICTURE and, like the files this format is exchanged as, no
// END METAFILE follows (readers that wait for it need it appended).
//
// Trap: the VDC extent is 10000 x 8000 while the surface is 1000 x 800 device units. Points
// and clip corners are therefore written in tenths of a device unit, so that the picture
// fills the page a viewer makes of the extent (in device units it filled a tenth of it).
#include <algorithm>
#include <cmath>

#include "gks/gks_meta.h"
#include "gks/gks_state.h"

using namespace gks::detail;

namespace gks::detail {
GksSink &meta_sink();
bool meta_appending();
} // namespace gks::detail

namespace {

// Points per POLYLINE element: 4 bytes each within one 32767-byte long-form partition.
constexpr size_t kMaxPolylinePoints = 8000;
// VDC units per device unit: the 1000 x 800 surface on the 10000 x 8000 extent.
constexpr float kVdcPerDevice = 10.0f;

bool cgm_out() {
    return gmeta_get_type() == GMETA_CGM && meta_sink().is_open();
}

// Header of an element whose parameters follow.
void header(int element_class, int id, int length, bool long_form = false) {
    GksSink &o = meta_sink();
    unsigned word = (static_cast<unsigned>(element_class) & 0xF) << 12 |
                    (static_cast<unsigned>(id) & 0x7F) << 5;
    if (length < 31 && !long_form) {
        o.put_u16(word | static_cast<unsigned>(length));
    } else {
        o.put_u16(word | 31u);
        o.put_u16(static_cast<unsigned>(length) & 0x7FFF);
    }
}

unsigned vdc(float v) {
    if (std::isnan(v))
        v = 0;
    int i = static_cast<int>(std::clamp(v, -32768.0f, 32767.0f));
    return static_cast<unsigned>(i) & 0xFFFF;
}

void vdc_point(float x, float y) {
    meta_sink().put_u16(vdc(x));
    meta_sink().put_u16(vdc(y));
}

} // namespace

int gcgm_control(int element_class, int id, int length, int word) {
    if (!cgm_out())
        return -1;
    header(element_class, id, length);
    if (word >= 1)
        meta_sink().put_u16(static_cast<unsigned>(word));
    return 0;
}

int gcgm_point(float x, float y) {
    return gcgm_ps_point(xW_ps(x), yW_ps(y));
}

int gcgm_ps_point(float x, float y) {
    if (!cgm_out())
        return -1;
    vdc_point(x * kVdcPerDevice, y * kVdcPerDevice);
    return 0;
}

int gcgm_set_color(int) {
    return 0;
}
int gcgm_set_fill_color(int) {
    return 0;
}
int gcgm_set_width(float) {
    return 0;
}
int gcgm_set_type(int) {
    return 0;
}

namespace gks::detail {

void cgm_begin() {
    if (!cgm_out() || meta_appending())
        return;
    GksSink &o = meta_sink();
    gcgm_control(0, 1, 0, 0); // BEGIN METAFILE
    gcgm_control(1, 1, 2, 1); // METAFILE VERSION 1
    header(1, 2, 11);         // METAFILE DESCRIPTION
    o.put_byte(10);
    o.write("ZORCGM-1.0", 10);
    o.put_byte(0);
    header(1, 11, 6); // METAFILE ELEMENT LIST: drawing plus control set
    o.put_u16(1);
    o.put_u16(0xFFFF);
    o.put_u16(1);
    header(1, 9, 1); // MAXIMUM COLOUR INDEX
    o.put_byte(255);
    o.put_byte(0);
    header(2, 6, 8); // VDC EXTENT
    vdc_point(0, 0);
    vdc_point(10000, 8000);
    gcgm_control(0, 3, 0, 0); // BEGIN PICTURE
    gcgm_control(0, 4, 0, 0); // BEGIN PICTURE BODY
}

void cgm_end() {
    if (cgm_out())
        gcgm_control(0, 5, 0, 0); // END PICTURE
}

void cgm_clip(const GClip &c) {
    if (!cgm_out())
        return;
    header(3, 5, 8); // CLIP RECTANGLE
    gcgm_ps_point(c.xmin, c.ymin);
    gcgm_ps_point(c.xmax, c.ymax);
}

void cgm_polyline(std::span<const GPoint> pts) {
    if (!cgm_out() || pts.size() < 2)
        return;
    // Long lines go out as several elements that share their end points.
    size_t i = 0;
    while (i + 1 < pts.size()) {
        size_t n = std::min(kMaxPolylinePoints, pts.size() - i);
        header(4, 1, static_cast<int>(4 * n), true); // POLYLINE, always the long form
        for (size_t j = i; j < i + n; ++j)
            gcgm_point(pts[j].x, pts[j].y);
        i += n - 1;
    }
}

} // namespace gks::detail
