#include "plot/plt_tool.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "gks/gks.h"

namespace {

constexpr float kLabelMargin = 0.05f;
constexpr size_t kMaxStatus = 300;

struct PltState {
    int work_id = 0;
    int wk_type = 0;
    float view_off[4] = {0, 0, kLabelMargin, kLabelMargin}; // left, right, bottom, top
    float view_offset = kLabelMargin;
    float dis_view[4] = {0, 0, 0, 0}; // viewport in use
    int dump = 0;
    std::string dump_file;
};

PltState &st() {
    static PltState s;
    return s;
}

} // namespace

int PLT_get_view(float out[4]) {
    if (out)
        std::copy(st().dis_view, st().dis_view + 4, out);
    return 0;
}

int PLT_get_work_type() {
    return st().wk_type;
}

int PLT_set_open_state(int work_id, int work_type, const float view[4]) {
    PltState &s = st();
    s.work_id = work_id;
    s.wk_type = work_type;
    if (view)
        std::copy(view, view + 4, s.dis_view);
    return 0;
}

int PLT_set_view_offset(float f) {
    PLT_set_view_offsets(0, 0, f, f);
    st().view_offset = f;
    return 0;
}

int PLT_set_view_offsets(float left, float right, float bottom, float top) {
    float *v = st().view_off;
    v[0] = left;
    v[1] = right;
    v[2] = bottom;
    v[3] = top;
    return 0;
}

float PLT_get_view_offset() {
    return st().view_offset;
}

int PLT_get_view_offsets(float out[4]) {
    if (out)
        std::copy(st().view_off, st().view_off + 4, out);
    return 0;
}

int PLT_set_dump(int type, const char *name) {
    PltState &s = st();
    s.dump = type;
    if (name && *name)
        s.dump_file = name;
    else
        s.dump_file = type == PLT_DUMP_GIF   ? "zor.gif"
                      : type == PLT_DUMP_PNG ? "zor.png"
                      : type == PLT_DUMP_IMG ? "zor.img"
                                             : "zor.xwd";
    return 0;
}

int PLT_get_dump(std::string *name) {
    if (name)
        *name = st().dump_file;
    return st().dump;
}

int PLT_mess(const char *format, ...) {
    if (!format || !gchk_graphics())
        return 0;
    char text[kMaxStatus + 1];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    return gmessage(st().work_id, text);
}

void PLT_reset_state() {
    st() = PltState{};
}
