// Frame composition: the fitted image reaches the native output before colouring, a zoom
// without a domain starts at the upper-left corner, and the drawing steps hand the
// coloured image to the workstation as the plot parameters and draw flags say.
#include <gtest/gtest.h>

#include "base/files.h"
#include "base/flag.h"
#include "gks/recording_device.h"
#include "sat/img_tool.h"
#include "sat/sat_color.h"
#include "sat/sat_frame.h"
#include "sat/sat_tool.h"

namespace {

// A device that keeps a copy of every image it is given (the composer releases the
// image's pixels before it returns).
class ImageDevice : public RecordingDevice {
  public:
    ImageDevice() : RecordingDevice(GWS_WIN) { takes_images = true; }
    int image(const IMAGE &im, int x, int y, int transparent) override {
        IMAGE copy;
        IMG_copy(&copy, &im);
        kept.push_back(copy);
        return RecordingDevice::image(im, x, y, transparent);
    }
    std::vector<IMAGE> kept;
};

class SatFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        reset();
        RES_put("file_path", XSAT_SOURCE_DIR "/data");
    }
    void TearDown() override { reset(); }
    static void reset() {
        reset_graphics();
        FILE_reset_state();
        SAT_reset_state();
        SAT_color_reset_state();
        MESS_set(-1, ~(MESS_WARN | MESS_ERROR));
    }
    // A 100 x 50 latitude-longitude image of 0.5 degrees whose pixel (r, m) is 2m + r.
    static IMAGE source() {
        IMAGE im;
        im.source = 50;
        im.nx = im.bytes_per_line = 100;
        im.ny = 50;
        im.depth = 8;
        im.domain = DOMAIN{
            .proj = 2, .clat = 40, .clon = -100, .dx = 0.5f, .dy = 0.5f, .nx = 100, .ny = 50};
        for (int r = 0; r < im.ny; ++r)
            for (int m = 0; m < im.nx; ++m)
                im.data.push_back(static_cast<uint8_t>(2 * m + r));
        return im;
    }
    // A frame of a 64 x 32 window over the image.
    SAT_FRAME frame(IMAGE *image, const DOMAIN &user) {
        SAT_FRAME f;
        f.image = image;
        f.user_domain = user;
        f.plot_domain = &plot;
        f.geom.params = &params;
        f.geom.width = 64;
        f.geom.height = 32;
        f.file_date = DATE{.year = 2026, .month = 12, .day = 4, .hour = 12, .minute = 15};
        f.filename = &name;
        return f;
    }
    // The native image the frame writes, read back.
    IMAGE written(const DOMAIN &user) {
        RES_put("out_file", ("img:@" + dir.file("out_%h%n.img")).c_str());
        IMAGE im = source();
        SAT_compose_frame(frame(&im, user));
        EXPECT_TRUE(im.data.empty()) << "the frame releases the pixels";
        EXPECT_EQ(name, dir.file("out_1215.img"));
        IMAGE back;
        EXPECT_EQ(IMG_read_zor(name.c_str(), &back, 0), 1);
        return back;
    }
    SAT_PARAMS params;
    DOMAIN plot;
    std::string name;
    testsupport::TempDir dir;
};

TEST_F(SatFrame, NativeOutputIsTheRemappedImageBeforeColouring) {
    const DOMAIN user{
        .proj = 2, .clat = 35, .clon = -95, .dx = 0.25f, .dy = 0.25f, .nx = 41, .ny = 21};
    const IMAGE out = written(user);

    // The same fit done step by step: the domain completed to the window, then the remap.
    IMAGE want = source();
    SAT_FRAME f = frame(&want, user);
    DOMAIN target = user;
    SAT_domain_image(f.geom, &target);
    ASSERT_EQ(SAT_remap_image(f.geom, &want, &target), 1);
    EXPECT_EQ(std::pair(out.nx, out.ny), std::pair(64, 32));
    EXPECT_EQ(out.domain.proj, 2);
    EXPECT_EQ(out.data, want.data);
    EXPECT_EQ(std::pair(plot.nx, plot.ny), std::pair(64, 32)) << "displayed domain";
}

TEST_F(SatFrame, ZoomWithoutDomainStartsAtTheUpperLeftCorner) {
    params.zoom = 2;
    const IMAGE out = written(DOMAIN{});
    ASSERT_EQ(std::pair(out.nx, out.ny), std::pair(64, 32));
    auto px = [&](int r, int m) { return int(out.data[size_t(r) * 64 + m]); };
    // Output (r, m) shows source (r / 2, m / 2): whole positions copy a pixel, half
    // positions average two neighbours (2m + r is linear, so the mean is exact).
    EXPECT_EQ(px(0, 0), 0);
    EXPECT_EQ(px(0, 2), 2);
    EXPECT_EQ(px(2, 2), 3);
    EXPECT_EQ(px(0, 1), 1);
    EXPECT_EQ(px(31, 63), 78); // source (15.5, 31.5): 2 * 31.5 + 15.5 truncated
    EXPECT_EQ(out.domain.proj, 2) << "no remap";
}

TEST_F(SatFrame, DrawingFollowsTheDataFlagAndTheOverlayParameter) {
    ASSERT_GT(CLR_read_table(nullptr), 30);
    auto device = std::make_unique<ImageDevice>();
    ImageDevice *dev = device.get();
    ASSERT_EQ(gopen_ws_device(std::move(device)), 0);

    IMAGE im = source();
    SAT_compose_frame(frame(&im, DOMAIN{}));
    ASSERT_EQ(dev->images.size(), 1u);
    EXPECT_EQ(std::tuple(dev->images[0].x, dev->images[0].y, dev->images[0].transparent),
              std::tuple(0, 0, -1));
    EXPECT_EQ(dev->selections.back(), 2);
    EXPECT_EQ(dev->kept[0].nx, 100) << "no domain, no zoom: the image as read";
    EXPECT_TRUE(dev->kept[0].colors) << "coloured: the kernel's colour table attached";

    params.over = 1;
    im = source();
    SAT_compose_frame(frame(&im, DOMAIN{}));
    ASSERT_EQ(dev->images.size(), 2u);
    EXPECT_EQ(dev->images[1].transparent, CLR_get_ind("black"));

    FLAG_setplot(7, 0);
    im = source();
    SAT_compose_frame(frame(&im, DOMAIN{}));
    EXPECT_EQ(dev->images.size(), 2u) << "data draw flag off: no image";
    EXPECT_TRUE(im.data.empty());
    gclose_ws(1);
}

} // namespace
