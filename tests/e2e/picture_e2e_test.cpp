// The whole picture, as a forecaster gets it: xsat on the shared AREA files, in a batch
// run writing GIF and PNG dumps, and in a window held until Return. Pictures are read back
// by netpbm and pngcheck; map positions come from PROJ's `proj`.
#include "gks/x11_support.h"

// Both helper headers name their skip-without-a-program macro alike.
#undef XSAT_REQUIRE_PROGRAM
#include "gks/codec_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sat/img_tool.h"
#include "support/test_support.h"

namespace {

using testsupport::RunOptions;
using testsupport::TempDir;

const char *const kGvar = "data/area/cmx3g8_wv_1998.260_0745_mcidas.ara";
const char *const kPolar = "data/area/pngarea.decoded.area";

// An empty folder as home, the program's shipped data, and the X server to draw on.
RunOptions isolated(const TempDir &dir, const std::string &display) {
    RunOptions o;
    o.cwd = dir.path().string();
    o.env["HOME"] = dir.path().string();
    o.env["zordefault"] = dir.path().string();
    o.env["DISPLAY"] = display;
    return o;
}

std::vector<std::string> with_data(std::vector<std::string> args) {
    args.insert(args.begin(), {"-fp", XSAT_SOURCE_DIR "/data", "-inp", "area"});
    return args;
}

int count(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
        ++n;
    return n;
}

struct PlotDomain {
    int nx = 0, ny = 0;
    double dx = 0, dy = 0;
};

// "Plot domain: pstereo::-100.000:::,45.000,-100.000,499,300,0.1202,0.1200"
PlotDomain plot_domain(const std::string &out) {
    PlotDomain d;
    const size_t p = out.find("Plot domain: ");
    if (p == std::string::npos)
        return d;
    std::string line = out.substr(p, out.find('\n', p) - p);
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string item; std::getline(in, item, ',');)
        f.push_back(item);
    if (f.size() >= 7) {
        d.nx = std::stoi(f[f.size() - 4]);
        d.ny = std::stoi(f[f.size() - 3]);
        d.dx = std::stod(f[f.size() - 2]);
        d.dy = std::stod(f[f.size() - 1]);
    }
    return d;
}

// Polar stereographic positions in metres (true at 60 N, the program's earth radius) for
// "lon lat" lines; empty when PROJ is not installed.
std::vector<std::pair<double, double>> proj_stere(const std::string &lonlat, double lon0) {
    std::vector<std::pair<double, double>> xy;
    if (!testsupport::have_program("proj"))
        return xy;
    RunOptions o;
    o.stdin_text = lonlat;
    auto r = testsupport::run_program("proj",
                                      {"-f", "%.2f", "+proj=stere", "+lat_0=90", "+lat_ts=60",
                                       "+lon_0=" + std::to_string(lon0), "+R=6371220"},
                                      o);
    std::istringstream in(r.out);
    for (double x, y; in >> x >> y;)
        xy.push_back({x, y});
    return xy;
}

// A colour of the shipped colour table as 0..255 samples; -1 samples when it is not there.
std::array<int, 3> table_colour(const std::string &name) {
    std::istringstream in(testsupport::read_file(XSAT_SOURCE_DIR "/data/zor.clr"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string n;
        double r = 0, g = 0, b = 0;
        if (words >> n >> r >> g >> b && n == name)
            return {int(std::lround(r * 255)), int(std::lround(g * 255)),
                    int(std::lround(b * 255))};
    }
    return {-1, -1, -1};
}

class PictureE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!x11test::have_xvfb())
            GTEST_SKIP() << "Xvfb not installed";
        // A server of the test's own: keys and pointer moves reach no other test's window.
        server_ = std::make_unique<x11test::Xvfb>();
        if (!server_->ok())
            GTEST_SKIP() << "Xvfb did not start";
    }
    std::string display() const { return server_->display(); }
    TempDir dir;

  private:
    std::unique_ptr<x11test::Xvfb> server_;
};

// Coast points (Cape Hatteras, the Oregon and Washington coasts, Point Conception, Maine,
// the Mississippi delta...) drawn as short outlines in a colour the image never uses, over
// the polar-stereographic AREA image remapped onto a polar stereographic plot of the
// whole window: each lies within one pixel of where PROJ puts it.
TEST_F(PictureE2E, BatchGifShowsTheOutlinesWherePROJPutsThem) {
    XSAT_REQUIRE_SHARED(area, kPolar);
    XSAT_REQUIRE_PROGRAM("giftopnm");
    const std::vector<std::pair<double, double>> coast = {
        {35.25, -75.53}, {40.44, -124.41}, {48.38, -124.72}, {34.45, -120.47},
        {44.81, -66.95}, {29.05, -89.17},  {25.95, -97.15}};
    std::string map, lonlat;
    for (auto [lat, lon] : coast) {
        map += "2 0 0 0 0 0\n" + std::to_string(lat) + " " + std::to_string(lon) + "\n" +
               std::to_string(lat) + " " + std::to_string(lon + 0.3) + "\n";
        lonlat += std::to_string(lon) + " " + std::to_string(lat) + "\n";
    }
    dir.write("coast.map", map);
    const auto xy = proj_stere(lonlat + "-100 45\n", -100);
    if (xy.size() != coast.size() + 1)
        GTEST_SKIP() << "PROJ (proj) not installed";

    auto r =
        testsupport::run_xsat(with_data({"-ba", "-me", "out2", "-pp", "full", "-mf",
                                         dir.file("coast.map") + ":chartreuse", "-ge", "500x300",
                                         "-ip", dir.path().string(), "-of", "gif=coast.gif", "-pd",
                                         "ps,45,-100,500,300,0.12,0.12", area}),
                              isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Wrote GIF file: " + dir.file("coast.gif")), std::string::npos) << r.out;
    const PlotDomain d = plot_domain(r.out);
    ASSERT_GT(d.nx, 1) << r.out;
    auto pic = oracle::run_to_ppm("giftopnm", {dir.file("coast.gif")});
    ASSERT_TRUE(pic) << "giftopnm cannot read the dump";
    ASSERT_EQ(pic->w, 500);
    ASSERT_EQ(pic->h, 300);

    auto outline = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < pic->w && y < pic->h && pic->at(x, y, 0) == 127 &&
               pic->at(x, y, 1) == 255 && pic->at(x, y, 2) == 0;
    };
    int outline_pixels = 0;
    for (int y = 0; y < pic->h; ++y)
        for (int x = 0; x < pic->w; ++x)
            outline_pixels += outline(x, y);
    const double xc = xy.back().first, yc = xy.back().second;
    int checked = 0;
    for (size_t i = 0; i < coast.size(); ++i) {
        // The image's upper-left pixel is the plot's corner: the centre is pixel (nx-1)/2.
        const double col = (xy[i].first - xc) / 1e5 / d.dx + (d.nx - 1) / 2.0;
        const double row = (d.ny - 1) / 2.0 - (xy[i].second - yc) / 1e5 / d.dy;
        if (col < 1 || row < 1 || col > d.nx - 2 || row > d.ny - 2)
            continue;
        ++checked;
        bool found = false;
        for (int y = int(std::floor(row - 1)); y <= int(std::ceil(row + 1)); ++y)
            for (int x = int(std::floor(col - 1)); x <= int(std::ceil(col + 1)); ++x)
                found =
                    found || (outline(x, y) && std::fabs(x - col) <= 1 && std::fabs(y - row) <= 1);
        EXPECT_TRUE(found) << "no outline pixel within one pixel of column " << col << ", row "
                           << row << " (" << coast[i].first << ", " << coast[i].second << ")";
    }
    EXPECT_GE(checked, 5);
    // Short outlines only: the colour is not the image's.
    EXPECT_LE(outline_pixels, 6 * checked);
}

// Three files in a batch run make a loop of three frames, each dumped as a PNG named by its
// frame: pngcheck accepts them, and the first and last (the same file) show the same
// picture, the middle one (another satellite's image) another. (The polar-stereographic
// file goes first: reading it switches remapping through the AREA navigation off for the
// files after it.)
TEST_F(PictureE2E, BatchLoopWritesOnePngPerFrame) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_SHARED(polar, kPolar);
    XSAT_REQUIRE_PROGRAM("pngcheck");
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    auto r = testsupport::run_xsat(
        with_data({"-ba", "-me", "mess", "-ge", "320x240", "-ip", dir.path().string(), "-of",
                   "png=loop_%i.png", "-pd", "ps,30,-85", polar, gvar, polar}),
        isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "Wrote PNG file: "), 3) << r.out;
    std::vector<oracle::Rgb> frames;
    for (const char *n : {"loop_00.png", "loop_01.png", "loop_02.png"}) {
        const std::string file = dir.file(n);
        EXPECT_EQ(testsupport::run_program("pngcheck", {"-q", file}).status, 0) << n;
        auto pic = oracle::run_to_ppm("pngtopnm", {file});
        ASSERT_TRUE(pic) << n;
        EXPECT_EQ(pic->w, 320);
        EXPECT_EQ(pic->h, 240);
        frames.push_back(*pic);
    }
    EXPECT_EQ(frames[0].px, frames[2].px) << "the same file gives the same frame";
    EXPECT_NE(frames[0].px, frames[1].px) << "another file gives another frame";
}

// With "gif_anim" the loop's GIF dump is one animated GIF of every frame, written once the
// loop is made; ImageMagick counts its frames.
TEST_F(PictureE2E, BatchLoopWithGifAnimWritesOneAnimatedGif) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_SHARED(polar, kPolar);
    XSAT_REQUIRE_PROGRAM("/usr/bin/identify");
    auto r = testsupport::run_xsat(
        with_data({"-ba", "-me", "mess", "-ge", "320x240", "-ip", dir.path().string(), "-of",
                   "gif=loop_%i.gif", "-pp", "gif_anim", "-pd", "ps,30,-85", polar, gvar, polar}),
        isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "Wrote GIF file: "), 1) << r.out;
    auto id = testsupport::run_program("/usr/bin/identify",
                                       {"-format", "%wx%h\n", dir.file("loop_all.gif")});
    EXPECT_EQ(id.status, 0);
    EXPECT_EQ(id.out, "320x240\n320x240\n320x240\n");
}

// Without an X server a batch run that writes dumps draws in memory: one line says so and
// the PNG shows the picture the X11 window gives, but for the odd pixel where the two
// draw a line's steps differently.
TEST_F(PictureE2E, BatchWithoutAnXServerDrawsInMemory) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    const auto args = [&](const std::string &out) {
        return with_data({"-ba", "-me", "mess", "-ge", "400x300", "-ip", dir.path().string(), "-of",
                          "png=" + out, "-pd", "ps,30,-85", gvar});
    };
    auto r = testsupport::run_xsat(args("x11.png"), isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto opt = isolated(dir, display());
    opt.env.erase("DISPLAY");
    opt.unset_env.push_back("DISPLAY");
    r = testsupport::run_xsat(args("mem.png"), opt);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "No display: drawing in memory (400x300)\n"), 1) << r.out;

    auto x11 = oracle::run_to_ppm("pngtopnm", {dir.file("x11.png")});
    auto mem = oracle::run_to_ppm("pngtopnm", {dir.file("mem.png")});
    ASSERT_TRUE(x11 && mem);
    ASSERT_EQ(mem->w, 400);
    ASSERT_EQ(mem->h, 300);
    int differ = 0;
    for (size_t i = 0; i < mem->px.size(); i += 3)
        differ += !std::equal(&mem->px[i], &mem->px[i] + 3, &x11->px[i]);
    EXPECT_LT(differ, 400 * 300 / 1000) << "pixels differing from the window's picture";

    // Native images of the frames are files of the program's own: no display needed either.
    r = testsupport::run_xsat(with_data({"-ba", "-me", "mess", "-ge", "400x300", "-of", "img",
                                         "-pd", "ps,30,-85,400,300,0.1,0.1", gvar}),
                              opt);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const size_t w = r.out.find("Writing image file: ");
    ASSERT_NE(w, std::string::npos) << r.out;
    IMAGE back;
    const std::string name = r.out.substr(w + 20, r.out.find('\n', w) - w - 20);
    ASSERT_EQ(IMG_read((dir.path() / name).c_str(), &back, 0), 1) << name;
    EXPECT_GT(back.nx, 0);
    EXPECT_LE(back.nx, 400) << "the plot inside the 400 x 300 picture";
    EXPECT_EQ(back.nx * 3, back.ny * 4) << "the domain's shape";
}

// A loop of two files in a window, the plot filling it. Alt-v prints the position under the
// pointer, which PROJ's inverse of the printed pixel confirms within a pixel, and the
// nearest station. A Shift-drag of 100 x 50 pixels (10 x 5 plot units) on the 320 x 240
// plot then zooms to the same grid with spacing max(10 / 319, 5 / 239) about the
// rectangle's centre, and the driver draws the loop again for it. Return ends the hold and
// the program with status 0.
TEST_F(PictureE2E, WindowReadOutZoomAndReturn) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_SHARED(polar, kPolar);
    XSAT_REQUIRE_PROGRAM("xdotool");
    const std::string x = "DISPLAY=" + display() + " xdotool ";
    x11test::Background keys(
        "for i in $(seq 100); do " + x +
        "search --onlyvisible --name . >/dev/null 2>&1 && break; sleep 0.1; done; sleep 0.5; " + x +
        "mousemove 160 120 key alt+v; sleep 0.3; " + x +
        "mousemove 110 95 keydown shift mousedown 1 mousemove 150 110 mousemove 210 145 "
        "mouseup 1 keyup shift; sleep 1; " +
        x + "key Return");
    auto opt = isolated(dir, display());
    opt.timeout_s = 30;
    auto r = testsupport::run_xsat(
        with_data({"-me", "mess", "-de", "d", "-pp", "full", "-ge", "320x240+0+0", "-pd",
                   "ps,30,-85,320,240,0.1,0.1", gvar, polar}),
        opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.out, "Frame "), 4) << "the loop drawn twice: " << r.out;
    const size_t at = r.out.find("New domain: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
    float clat = 0, clon = 0, dx = 0, dy = 0;
    int nx = 0, ny = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + line.find(','), ",%f,%f,%d,%d,%f,%f", &clat, &clon, &nx,
                          &ny, &dx, &dy),
              6)
        << line;
    EXPECT_EQ(nx, 320);
    EXPECT_EQ(ny, 240);
    EXPECT_NEAR(dx, 10.0 / 319, 0.0007) << line;
    EXPECT_FLOAT_EQ(dx, dy) << line;
    // Alt-v over the rectangle's centre pixel: the zoom is centred there.
    float lat = 0, lon = 0, px = 0, py = 0, wx = 0, wy = 0, slat = 0, slon = 0;
    char id[16] = "";
    const size_t v = r.out.find("Lat: ");
    ASSERT_NE(v, std::string::npos) << "no position read-out: " << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + v, "Lat: %f Lon: %f XY: %f %f Pixel: %f %f", &lat, &lon,
                          &wx, &wy, &px, &py),
              6)
        << r.out.substr(v);
    EXPECT_NEAR(clat, lat, 0.1) << line;
    EXPECT_NEAR(clon, lon, 0.12) << line;
    const size_t sid = r.out.find("Id: ", v);
    ASSERT_NE(sid, std::string::npos) << "no nearest station: " << r.out.substr(v);
    ASSERT_EQ(std::sscanf(r.out.c_str() + sid, "Id: %15s Lat: %f Lon: %f", id, &slat, &slon), 3);
    EXPECT_LT(std::hypot(slat - lat, slon - lon), 5.0f) << id;

    // Pixel (px, py) of the 320 x 240 plot of 10 km pixels centred on 30 N, 85 W.
    const auto centre = proj_stere("-85 30\n", -85);
    if (centre.size() != 1)
        GTEST_SKIP() << "PROJ (proj) not installed";
    RunOptions o;
    o.stdin_text = std::to_string(centre[0].first + (px - 159.5) * 1e4) + " " +
                   std::to_string(centre[0].second - (py - 119.5) * 1e4) + "\n";
    auto inv = testsupport::run_program(
        "proj",
        {"-I", "-f", "%.4f", "+proj=stere", "+lat_0=90", "+lat_ts=60", "+lon_0=-85", "+R=6371220"},
        o);
    double want_lon = 0, want_lat = 0;
    ASSERT_EQ(std::sscanf(inv.out.c_str(), "%lf %lf", &want_lon, &want_lat), 2) << inv.out;
    // One pixel is 10 km: 0.09 degrees of latitude, 0.1 of longitude here.
    EXPECT_NEAR(lat, want_lat, 0.1);
    EXPECT_NEAR(lon, want_lon, 0.12);
}

// A 400 x 300 window keeps 0.05 of its height free above and below the plot, and the
// 301 x 201 grid (aspect 1.5) fills its width: in NDC (1 across, 0.75 up) the plot spans
// 0..1 and 0.375 -/+ 1/3, and NDC maps onto pixel columns 0..399 with rows counted down from
// 299. The colour bar goes 0.035 (its most) below the plot's lower edge y1, its upper edge
// 0.15 of that under y1, from x 0.03 to 0.5, one 256th of that width a count.
struct PlotLayout {
    double y1 = 0.375 - 1.0 / 3;
    double top = y1 - 0.15 * 0.035, bottom = y1 - 0.035, left = 0.03, mid = 0.5;
    static double col(double x) { return x * 399; }
    static double row(double y) { return 299 - y * 399; }
};

std::vector<std::string> bar_run(const TempDir &dir, const std::string &png,
                                 const std::string &file) {
    return with_data({"-ba", "-me", "mess", "-pp", "bar", "-cof", "10:orange,steelblue", "-ge",
                      "400x300", "-ip", dir.path().string(), "-of", "png=" + png, "-pd",
                      "ps,30,-85,301,201,0.1,0.1", file});
}

// The enhancement "10:orange" then "steelblue" makes counts 0-132 orange and 133-255 steel
// blue (the second bin starts halfway from 10 to 256): the bar shows the two colours of the
// colour table, split at count 133, and nothing right of its middle end.
TEST_F(PictureE2E, ColourBarUnderThePlotShowsTheEnhancementColours) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    const auto orange = table_colour("orange"), steel = table_colour("steelblue");
    ASSERT_GE(orange[0], 0);
    ASSERT_GE(steel[0], 0);
    auto r = testsupport::run_xsat(bar_run(dir, "bar.png", gvar), isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto pic = oracle::run_to_ppm("pngtopnm", {dir.file("bar.png")});
    ASSERT_TRUE(pic);
    ASSERT_EQ(pic->w, 400);
    ASSERT_EQ(pic->h, 300);
    auto is = [&](int x, int y, const std::array<int, 3> &c) {
        for (int k = 0; k < 3; ++k)
            if (std::abs(pic->at(x, y, k) - c[k]) > 1)
                return false;
        return true;
    };
    const PlotLayout b;
    const double split = b.col(b.left + 133 * (b.mid - b.left) / 256);
    // Rows clear of the outline above and of the count ticks rising 0.01 from the lower edge.
    const int y0 = int(std::ceil(b.row(b.top))) + 1, y1 = int(std::floor(b.row(b.bottom + 0.01)));
    ASSERT_LT(y0, y1);
    for (int y = y0; y < y1; ++y) {
        int last_orange = -1, first_steel = -1, other = -1;
        for (int x = int(b.col(b.left)) + 2; x < int(b.col(b.mid)) - 1; ++x) {
            if (is(x, y, orange))
                last_orange = x;
            else if (!is(x, y, steel))
                other = x;
            else if (first_steel < 0)
                first_steel = x;
        }
        EXPECT_EQ(other, -1) << "neither colour at column " << other << ", row " << y;
        EXPECT_NEAR(last_orange, split, 1.5) << "row " << y;
        EXPECT_EQ(first_steel, last_orange + 1) << "row " << y;
        for (int x = int(b.col(b.mid)) + 2; x < 400; ++x)
            other = is(x, y, orange) || is(x, y, steel) ? x : other;
        EXPECT_EQ(other, -1) << "bar colour right of the bar in row " << y;
    }
}

// The image's date goes upper right above the plot, right-aligned 1% of the plot's width in
// from its right edge, its base line 0.2 of a line above the plot's top (NDC 0.375 + 1/3);
// a line is 0.03 of the plot's height (2/3) and the text 0.75 of a line high. The lit
// pixels of the plot's right half above it match that box within a pixel.
TEST_F(PictureE2E, DateLabelSitsUpperRightAboveThePlot) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    auto r = testsupport::run_xsat(bar_run(dir, "label.png", gvar), isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    auto pic = oracle::run_to_ppm("pngtopnm", {dir.file("label.png")});
    ASSERT_TRUE(pic);
    ASSERT_EQ(pic->w, 400);
    const double line = 0.03 * 2 / 3, top = 0.375 + 1.0 / 3;
    const double base = PlotLayout::row(top + 0.2 * line);
    int min_x = 400, max_x = -1, min_y = 300, max_y = -1;
    for (int y = 0; y < int(PlotLayout::row(top)); ++y)
        for (int x = 200; x < 400; ++x)
            if (pic->at(x, y, 0) || pic->at(x, y, 1) || pic->at(x, y, 2)) {
                min_x = std::min(min_x, x), max_x = std::max(max_x, x);
                min_y = std::min(min_y, y), max_y = std::max(max_y, y);
            }
    ASSERT_GE(max_x, 0) << "no label above the plot's right half";
    EXPECT_NEAR(max_x, PlotLayout::col(0.99), 1);
    EXPECT_NEAR(max_y, base, 1);
    EXPECT_NEAR(min_y, base - 0.75 * line * 399, 1);
    EXPECT_GT(max_x - min_x, 40) << "a date is several characters wide";
}

// A loop of three files in a window: Alt-l stops the loop, Alt-] then shows the next frame
// and Alt-[ the one before. The window title names the frame shown, and each grab of the
// window is the picture a batch run dumps for that frame.
TEST_F(PictureE2E, WindowLoopStepsWithAltBrackets) {
    XSAT_REQUIRE_SHARED(gvar, kGvar);
    XSAT_REQUIRE_SHARED(polar, kPolar);
    XSAT_REQUIRE_PROGRAM("xdotool");
    XSAT_REQUIRE_PROGRAM("xwd");
    XSAT_REQUIRE_PROGRAM("xwdtopnm");
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    const std::vector<std::string> files = {polar, gvar, polar};
    auto args = [&](std::vector<std::string> head) {
        head.insert(head.end(), {"-me", "mess", "-ge", "320x240+0+0", "-pd", "ps,30,-85"});
        head.insert(head.end(), files.begin(), files.end());
        return with_data(head);
    };
    auto r =
        testsupport::run_xsat(args({"-ba", "-ip", dir.path().string(), "-of", "png=frame_%i.png"}),
                              isolated(dir, display()));
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    // grab N: the title and the window's contents after the last key has acted.
    const std::string x = "DISPLAY=" + display() + " xdotool ";
    x11test::Background keys(
        "cd " + dir.path().string() + "; grab() { sleep 0.5; w=$(" + x +
        "search --onlyvisible --name . | head -1); " + x + "getwindowname $w > title$1; DISPLAY=" +
        display() + " xwd -id $w -nobdrs -silent -out grab$1.xwd; }; for i in $(seq 100); do " + x +
        "search --onlyvisible --name . >/dev/null 2>&1 && break; sleep 0.1; done; sleep 0.5; " + x +
        "mousemove 100 100 key alt+l; grab 0; " + x + "key alt+bracketright; grab 1; " + x +
        "key alt+bracketleft; grab 2; " + x + "key Return");
    auto opt = isolated(dir, display());
    opt.timeout_s = 30;
    r = testsupport::run_xsat(args({"-de", "d"}), opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    std::vector<oracle::Rgb> batch;
    for (const char *n : {"frame_00.png", "frame_01.png", "frame_02.png"}) {
        auto pic = oracle::run_to_ppm("pngtopnm", {dir.file(n)});
        ASSERT_TRUE(pic) << n;
        batch.push_back(*pic);
    }
    ASSERT_NE(batch[0].px, batch[1].px);
    int shown[3] = {-1, -1, -1};
    for (int i = 0; i < 3; ++i) {
        const std::string title = testsupport::read_file(dir.file("title" + std::to_string(i)));
        const size_t at = title.rfind('[');
        ASSERT_NE(at, std::string::npos) << "no frame number in the title " << title;
        shown[i] = std::atoi(title.c_str() + at + 1);
        ASSERT_TRUE(shown[i] >= 0 && shown[i] < 3) << title;
        auto pic = oracle::xwdtopnm(dir.file("grab" + std::to_string(i) + ".xwd"));
        ASSERT_TRUE(pic) << "grab " << i;
        ASSERT_EQ(pic->w, 320);
        ASSERT_EQ(pic->h, 240);
        EXPECT_EQ(pic->px, batch[size_t(shown[i])].px) << "grab " << i << " of frame " << shown[i];
    }
    EXPECT_EQ(shown[1], (shown[0] + 1) % 3) << "Alt-] shows the next frame";
    EXPECT_EQ(shown[2], shown[0]) << "Alt-[ shows the frame before";
}

// The 60-second refresh in a window, with the clock sped up thirty times (libfaketime): a
// newer file of the naming convention appears while the picture is held, and within two
// refresh periods the window shows it, as a batch run draws it.
TEST_F(PictureE2E, RefreshShowsANewerFileInTheWindow) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XSAT_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(XSAT_TEST_ASAN)
    GTEST_SKIP() << "libfaketime and AddressSanitizer both start before main and deadlock";
#endif
    XSAT_REQUIRE_PROGRAM("faketime");
    XSAT_REQUIRE_PROGRAM("xdotool");
    XSAT_REQUIRE_PROGRAM("xwd");
    XSAT_REQUIRE_PROGRAM("xwdtopnm");
    XSAT_REQUIRE_PROGRAM("pngtopnm");
    // The shipped data with a naming convention of the test's own.
    for (const auto &e : std::filesystem::directory_iterator(XSAT_SOURCE_DIR "/data"))
        if (e.path().filename() != "name_conv")
            std::filesystem::create_symlink(e.path(), dir.path() / e.path().filename());
    dir.write("name_conv", "sat_img %S/%Y%m%d%h.img - 0\n");
    auto image = [](const char *label, int slope) {
        std::string px;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                px.push_back(char(40 + slope * x + y));
        return "ZORIMG\n" + std::string(label) + "\nrefresh test\n64 48\n" + px;
    };
    dir.write("sat/2026010412.img", image("1200Z  4 JAN 26", 0));
    const std::string newer = dir.write("newer.img", image("1300Z  4 JAN 26", 3));
    auto opt = isolated(dir, display());
    opt.env["zorcurtime"] = "#202601041440";
    auto args = [&](std::vector<std::string> head) {
        head.insert(head.end(), {"-me", "mess", "-fp", dir.path().string(), "-sp", dir.file("sat"),
                                 "-inp", "img", "-ge", "320x240+0+0"});
        return head;
    };
    for (const char *f : {"2026010412", "newer"}) {
        const std::string in =
            std::string(f) == "newer" ? newer : dir.file("sat/" + std::string(f) + ".img");
        auto r = testsupport::run_xsat(args({"-ba", "-ip", dir.path().string(), "-of",
                                             "png=" + std::string(f) + ".png", "-de", "d", in}),
                                       opt);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
    }

    const std::string x = "DISPLAY=" + display() + " xdotool ";
    x11test::Background keys(
        "cd " + dir.path().string() + "; grab() { w=$(" + x +
        "search --onlyvisible --name . | head -1); DISPLAY=" + display() +
        " xwd -id $w -nobdrs -silent -out grab$1.xwd; }; for i in $(seq 100); do " + x +
        "search --onlyvisible --name . >/dev/null 2>&1 && break; sleep 0.1; done; sleep 0.5; "
        "grab 0; cp newer.img sat/2026010413.img; sleep 5; grab 1; " +
        x + "mousemove 100 100 key Return");
    opt.timeout_s = 40;
    opt.env["ASAN_OPTIONS"] = "verify_asan_link_order=0"; // libfaketime comes before it
    std::vector<std::string> run = {"-f", "+0 x30", XSAT_BINARY};
    for (const std::string &a : args({"-de", "d", "-pp", "refresh", "-cu", "la"}))
        run.push_back(a);
    auto r = testsupport::run_program("faketime", run, opt);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("2026010413.img"), std::string::npos) << "no refresh: " << r.out;

    std::vector<oracle::Rgb> batch;
    for (const char *want : {"2026010412.png", "newer.png"}) {
        auto pic = oracle::run_to_ppm("pngtopnm", {dir.file(want)});
        ASSERT_TRUE(pic) << want;
        batch.push_back(*pic);
    }
    ASSERT_NE(batch[0].px, batch[1].px);
    for (int i = 0; i < 2; ++i) {
        auto pic = oracle::xwdtopnm(dir.file("grab" + std::to_string(i) + ".xwd"));
        ASSERT_TRUE(pic) << "grab " << i;
        EXPECT_EQ(pic->px, batch[size_t(i)].px) << "grab " << i;
    }
}

} // namespace
