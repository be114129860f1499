// A device that records what the kernel hands it, and helpers shared by the kernel's tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gks_device.h"
#include "gks/gks_meta.h"
#include "gks/gks_obj.h"
#include "gks/gph.h"
#include "support/test_support.h"

// The capabilities the real device of a workstation type reports.
inline GksCaps caps_of_type(int type) {
    GksCaps c;
    const bool window = type == GWS_WIN || type == GWS_PIX;
    c.pixels = c.allocated_colors = c.server_fonts = c.shadows = window;
    c.keeps_store = c.clears_window = type == GWS_WIN;
    c.zero_width_thinnest = type != GWS_PS;
    c.writes_calls = type == GWS_META;
    return c;
}

class RecordingDevice : public GksDevice {
  public:
    explicit RecordingDevice(int type) : RecordingDevice(type, caps_of_type(type)) {}
    RecordingDevice(int type, const GksCaps &caps) : type_(type) { caps_ = caps; }
    int ws_type() const override { return type_; }
    int device_class() const override {
        return type_ == GWS_META   ? GCLASS_META
               : type_ == GWS_PS   ? GCLASS_PS
               : type_ == GWS_HPGL ? GCLASS_HPGL
                                   : GCLASS_X11;
    }
    void clear() override { ++window_clears; }
    int image(const IMAGE &im, int x, int y, int transparent) override {
        if (!takes_images)
            return -1;
        images.push_back({&im, x, y, transparent});
        return 0;
    }
    void attribute(GAttr a) override { attrs.push_back(a); }
    int alloc_color(int index, const float *) override {
        return caps_.allocated_colors ? 1000 + index : -2;
    }
    void clip(const GClip &c) override { clips.push_back(c); }
    int polyline(std::span<const GPoint> p) override {
        lines.emplace_back(p.begin(), p.end());
        return 0;
    }
    int fill_area(std::span<const GPoint> p) override {
        fills.emplace_back(p.begin(), p.end());
        return 0;
    }
    void marker_begin(int n) override { marker_calls.push_back(n); }
    void marker_stroke(std::span<const DPoint> p) override {
        strokes.emplace_back(p.begin(), p.end());
        stroke_shadow.push_back(in_shadow);
    }
    void text_begin(GPoint, const std::string &s) override { text_calls.push_back(s); }
    void text_polyline(std::span<const GPoint> p) override {
        text_lines.emplace_back(p.begin(), p.end());
        text_shadow.push_back(in_shadow);
    }
    void shadow(bool on) override { in_shadow = on; }
    void select_tran(int n) override { selections.push_back(n); }
    int clear_region(const float *) override {
        ++clears;
        return 0;
    }
    void message(int, const std::string &s) override { messages.push_back(s); }

    struct Image {
        const IMAGE *image;
        int x, y, transparent;
        bool operator==(const Image &) const = default;
    };

    int type_;
    bool takes_images = false;
    bool in_shadow = false;
    int window_clears = 0;
    std::vector<Image> images;
    std::vector<GAttr> attrs;
    std::vector<GClip> clips;
    std::vector<std::vector<GPoint>> lines, fills, text_lines;
    std::vector<std::vector<DPoint>> strokes;
    std::vector<bool> stroke_shadow, text_shadow;
    std::vector<int> marker_calls, selections;
    std::vector<std::string> text_calls, messages;
    int clears = 0;
};

// Resets every module the kernel touches, before and after each test.
inline void reset_graphics() {
    gks_reset_state();
    FLAG_reset_state();
    gmeta_reset_state();
    CLR_reset_state();
    GPH_reset_state();
    RES_reset_state();
    MESS_reset_state();
}

// What f writes on standard error.
template <class F> std::string stderr_of(F f) {
    testsupport::Capture cap(2);
    f();
    return cap.text();
}

// Succeeds when `part` occurs in `text`; use as EXPECT_TRUE(has(text, part)).
inline ::testing::AssertionResult has(const std::string &text, const std::string &part) {
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" not in \"" << text << "\"";
}

// Expects a rectangle (x0, x1, y0, y1) within tol.
inline void expect_rect(const float *got, std::array<float, 4> want, float tol = 1e-5f) {
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], want[i], tol) << "element " << i;
}

// Header of a text metafile written with SOURCE_DATE_EPOCH=0.
inline const char *kMetaHeader = "ZORMETA\n"
                                 "#Title: ZOR Graphics Display: X11_Graph\n"
                                 "#Creator: ZOR Metafile Processor-1.0\n"
                                 "#CreationDate: Thu Jan  1 00:00:00 1970\n";

class GksTest : public ::testing::Test {
  protected:
    void SetUp() override { reset_graphics(); }
    void TearDown() override { reset_graphics(); }

    // Opens the kernel (error stream on standard error) and a recording workstation of
    // the given type on a width x height surface.
    RecordingDevice *open(int type, int width = 640, int height = 512) {
        gopen_gks(nullptr);
        gset_win_size(width, height);
        auto d = std::make_unique<RecordingDevice>(type);
        RecordingDevice *p = d.get();
        EXPECT_EQ(gopen_ws_device(std::move(d)), 0);
        return p;
    }
};
