#include "plot/plt_tool.h"

#include <algorithm>

namespace {

struct PltState {
    int work_id = 0;
    int wk_type = 0;
    float view_off[4] = {0, 0, 0, 0}; // margins left, right, bottom, top
    float view_offset = 0;
    float dis_view[4] = {0, 0, 0, 0}; // viewport in use
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

void PLT_reset_state() {
    st() = PltState{};
}
