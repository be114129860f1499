// Global flags: 30 process-wide 64-bit slots that start-up conversions set
// (device, plot type, batch, help, ...) and the 13 draw flags that say which
// parts of a plot are drawn.
#include "base/flag.h"

#include <array>

#include "base/missing.h"

namespace {

struct FlagState {
    std::array<int64_t, FLAG_NUM> slots;
    std::array<int, FLAG_PLOT_NUM> plot;
    FlagState() {
        slots.fill(MISSING);
        plot.fill(1);
    }
};

FlagState &st() {
    static FlagState s;
    return s;
}

bool valid(int index) {
    return index >= 0 && index < FLAG_NUM;
}

// Slot 0 counts the text positions switched on, slot 12 totals slots 0..11.
void derive_plot() {
    auto &p = st().plot;
    int text = 0;
    for (int i = 1; i <= 6; ++i)
        text += p[i];
    p[0] = text;
    int total = 0;
    for (int i = 0; i < 12; ++i)
        total += p[i];
    p[12] = total;
}

} // namespace

void FLAG_reset_state() {
    st() = FlagState{};
}

void FLAG_reset() {
    st().slots.fill(MISSING);
}

int FLAG_get(int index) {
    return valid(index) ? static_cast<int>(st().slots[index]) : 0;
}

int64_t FLAG_getl(int index) {
    return valid(index) ? st().slots[index] : 0;
}

int FLAG_set(int index, int value) {
    if (!valid(index))
        return -1;
    st().slots[index] = value;
    return 1;
}

int FLAG_setl(int index, int64_t value) {
    if (!valid(index))
        return -1;
    st().slots[index] = value;
    return 1;
}

bool FLAG_batch() {
    return st().slots[FLAG_BATCH] == 1;
}

bool FLAG_help() {
    return st().slots[FLAG_HELP] == 1;
}

int FLAG_setplot(int index, int value) {
    auto &p = st().plot;
    if (index < 0 || index >= FLAG_PLOT_NUM)
        return -1;
    if (index == 12) {
        for (int i = 0; i < 12; ++i)
            p[i] = value;
    } else if (index == 0) {
        for (int i = 1; i <= 6; ++i)
            p[i] = value;
    } else {
        p[index] = value;
    }
    derive_plot();
    return 1;
}

int FLAG_getplot(int index) {
    if (index < 0 || index >= FLAG_PLOT_NUM)
        return 0;
    return st().plot[index];
}

int FLAG_resetplot(int value) {
    st().plot.fill(value);
    return 1;
}
