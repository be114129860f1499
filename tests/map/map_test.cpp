// Map overlay: outlines land on the pixels PROJ gives (tests/map/proj/coast_points.txt),
// lines crossing a map's seam wrap as each projection needs, entries obey their mode,
// size conditions and region blocks, latitude-longitude lines carry their labels, bad map
// data is reported by file and place while the rest is drawn, and the shipped map files
// read to their end and hold known geography.
#include "map/map.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "gks/recording_device.h"
#include "map/map_file.h"
#include "map/maptran.h"

namespace {

using LatLon = std::pair<float, float>;
using Record = std::vector<LatLon>;
constexpr double kR = 63.7122; // earth radius in plot units

// A device that also keeps where each text starts and how it is aligned.
class MapDevice : public RecordingDevice {
  public:
    MapDevice() : RecordingDevice(GWS_WIN) {}
    void text_begin(GPoint p, const std::string &s) override {
        int err, align[2];
        ginq_text_align(&err, align);
        texts.push_back({p, s, align[0], align[1]});
        RecordingDevice::text_begin(p, s);
    }
    struct Text {
        GPoint p;
        std::string s;
        int h, v;
    };
    std::vector<Text> texts;
};

std::string text_map(const std::vector<Record> &records) {
    std::ostringstream o;
    for (const Record &r : records) {
        o << r.size() << " 0 0 0 0 0\n";
        for (auto [lat, lon] : r)
            o << lat << ' ' << lon << '\n';
    }
    return o.str();
}

std::string binary_map(const std::vector<Record> &records, int end_count = 0) {
    std::string s;
    auto u16 = [&](int v) { s += {char(v >> 8), char(v)}; };
    auto u32 = [&](uint32_t v) { s += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto f32 = [&](float v) { u32(std::bit_cast<uint32_t>(v)); };
    for (const Record &r : records) {
        u16(static_cast<int>(r.size()));
        for (int i = 0; i < 5; ++i)
            u32(0);
        for (auto [lat, lon] : r) {
            f32(lat);
            f32(lon);
        }
    }
    u16(end_count);
    return s;
}

DOMAIN domain(int proj, float clat, float clon, int nx, int ny, float d) {
    DOMAIN dom;
    dom.proj = proj;
    dom.clat = clat;
    dom.clon = clon;
    dom.nx = nx;
    dom.ny = ny;
    dom.dx = dom.dy = d;
    return dom;
}

class MapOverlay : public ::testing::Test {
  protected:
    void SetUp() override {
        reset();
        RES_put("file_path", dir.path().c_str());
        gopen_gks(nullptr);
        auto d = std::make_unique<MapDevice>();
        dev = d.get();
        ASSERT_EQ(gopen_ws_device(std::move(d)), 0);
        ASSERT_GT(CLR_read_table(XSAT_SOURCE_DIR "/data/zor.clr"), 30);
        float panel[4] = {0, 0, 0, 0};
        GPH_reset(1, GWS_WIN, panel, 0);
    }
    void TearDown() override { reset(); }
    static void reset() {
        reset_graphics();
        MAP_reset_state();
        MAP_overlay_reset_state();
    }
    void setup(const DOMAIN &d) {
        MAP_setup(&d);
        dev->lines.clear();
        dev->messages.clear();
        dev->texts.clear();
    }
    // Draws a specification with the given mode; the status lines it showed.
    std::vector<std::string> draw(const std::string &spec, int mode = 4) {
        dev->lines.clear();
        dev->messages.clear();
        MAP_file(spec.c_str());
        MAP_draw(mode);
        return dev->messages;
    }

    testsupport::TempDir dir;
    MapDevice *dev = nullptr;
};

TEST_F(MapOverlay, CoastPointsLandWherePROJPutsThem) {
    struct Proj {
        DOMAIN dom;
        double xc = 0, yc = 0;
        std::vector<std::array<double, 4>> points; // lat, lon, x, y (metres)
    };
    std::map<std::string, Proj> projs;
    // 1 km pixels over 10000 x 6000 km.
    projs["stere"].dom = domain(1, 45, -100, 10001, 6001, 0.01f);
    projs["lcc"].dom = domain(4, 38, -96, 10001, 6001, 0.01f);
    projs["lcc"].dom.param[0] = 25;
    projs["lcc"].dom.param[1] = -95;
    projs["lcc"].dom.param[2] = projs["lcc"].dom.param[3] = 25;
    std::ifstream f(XSAT_SOURCE_DIR "/tests/map/proj/coast_points.txt");
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string name, kind;
        double lat, lon, x, y;
        if (line[0] == '#' || !(in >> name >> kind >> lat >> lon >> x >> y))
            continue;
        Proj &p = projs.at(name);
        if (kind == "centre")
            p.xc = x, p.yc = y;
        else
            p.points.push_back({lat, lon, x, y});
    }
    for (auto &[name, p] : projs) {
        ASSERT_EQ(p.points.size(), 8u) << name;
        std::vector<Record> records; // each point and one a little east of it
        for (auto &q : p.points)
            records.push_back({{float(q[0]), float(q[1])}, {float(q[0]), float(q[1] + 0.001)}});
        for (const char *form : {"text", "binary"}) {
            SCOPED_TRACE(name + " " + form);
            dir.write("coast.map", form[0] == 't' ? text_map(records) : binary_map(records));
            setup(p.dom);
            draw("coast.map:black");
            ASSERT_EQ(dev->lines.size(), p.points.size());
            float win[4];
            MAP_get_window(win);
            for (size_t i = 0; i < p.points.size(); ++i) {
                const double d = p.dom.dx;
                const double col = (dev->lines[i][0].x - win[0]) / d;
                const double row = (win[3] - dev->lines[i][0].y) / d;
                EXPECT_NEAR(col, (p.points[i][2] - p.xc) / 1e5 / d + (p.dom.nx - 1) / 2, 1.0);
                EXPECT_NEAR(row, (p.dom.ny - 1) / 2 - (p.points[i][3] - p.yc) / 1e5 / d, 1.0);
            }
        }
    }
}

TEST_F(MapOverlay, LinesAcrossTheSeamWrapPerProjection) {
    const Record across = {{30, 170}, {30, 179}, {30, -179}, {30, -170}};
    auto x_of = [](float lat, float lon) {
        float x, y;
        MAP_tran(&x, &y, lat, lon);
        return x;
    };
    struct Case {
        const char *name;
        DOMAIN dom;
        Record rec;
        double period; // 0: split without a shift
    };
    double theta = 0.5; // Mollweide: theta + sin theta = pi sin 30 degrees, y = R sin(theta / 2)
    for (int i = 0; i < 20; ++i)
        theta -= (theta + std::sin(theta) - M_PI / 2) / (1 + std::cos(theta));
    const double moll_y = kR * std::sin(theta / 2) / 63.713;
    const Case cases[] = {
        {"latlon", domain(2, 0, 0, 361, 181, 1), across, 360},
        {"mercator", domain(3, 0, 0, 401, 181, 1), across, 2 * M_PI * kR},
        {"lambert",
         domain(4, 40, -100, 201, 201, 1),
         {{50, 75}, {50, 79}, {50, 81}, {50, 85}},
         1000},
        {"mollweide", domain(7, 0, 0, 257, 129, 1), across,
         254.852 * std::sqrt(1 - moll_y * moll_y)},
        {"polar",
         domain(1, 60, -100, 201, 201, 1),
         {{60, -15}, {60, -10}, {60, 170}, {60, 175}},
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("seam.map", text_map({c.rec}));
        setup(c.dom);
        draw("seam.map:black");
        ASSERT_EQ(dev->lines.size(), 2u);
        const auto &a = dev->lines[0], &b = dev->lines[1];
        const float x1 = x_of(c.rec[1].first, c.rec[1].second);
        const float x2 = x_of(c.rec[2].first, c.rec[2].second);
        if (c.period == 0) {
            EXPECT_EQ(a.size(), 2u) << "split, nothing joins the two sides";
            EXPECT_EQ(b.size(), 2u);
            EXPECT_FLOAT_EQ(b[0].x, x2);
            continue;
        }
        // The first piece runs on past one edge to the shifted point across the seam, the
        // second comes in from past the other edge.
        ASSERT_EQ(a.size(), 3u);
        ASSERT_EQ(b.size(), 3u);
        const double s = x2 < x1 ? 1 : -1;
        EXPECT_NEAR(a[2].x, x2 + s * c.period, 2e-3);
        EXPECT_NEAR(b[0].x, x1 - s * c.period, 2e-3);
        EXPECT_FLOAT_EQ(b[1].x, x2);
    }
    // Closed forms: latitude-longitude in degrees, Mercator x = R * longitude.
    setup(domain(2, 0, 0, 361, 181, 1));
    dir.write("seam.map", text_map({across}));
    draw("seam.map:black");
    EXPECT_FLOAT_EQ(dev->lines[0][2].x, 181.0f);
    EXPECT_FLOAT_EQ(dev->lines[1][0].x, -181.0f);

    // Points beyond the limb of a satellite view break the line and are never drawn.
    setup(domain(9, 0, -75, 65, 65, 2));
    dir.write("limb.map", text_map({{{0, -80}, {0, -70}, {0, 100}, {0, -60}, {0, -50}}}));
    draw("limb.map:black");
    ASSERT_EQ(dev->lines.size(), 2u);
    EXPECT_EQ(dev->lines[0].size(), 2u);
    EXPECT_EQ(dev->lines[1].size(), 2u);
}

TEST_F(MapOverlay, EntriesFollowModeSizeConditionsAndRegionBlocks) {
    for (const char *f : {"a.map", "b.map", "c.map", "d.map"})
        dir.write(f, "0 0 0 0 0 0\n");
    setup(domain(1, 40, -100, 31, 31, 1)); // 30 units high
    struct Case {
        const char *spec;
        int mode;
        std::vector<std::string> drawn;
    };
    const Case cases[] = {
        {"-a.map,b.map,+c.map", 1, {"Map: a.map"}},
        {"-a.map,b.map,+c.map", 4, {"Map: b.map"}},
        {"-a.map,b.map,+c.map", 6, {"Map: b.map", "Map: c.map"}},
        {"s-40:a.map:blue,s+40:b.map,>20<40:c.map,<20>10:d.map",
         4,
         {"Map: a.map:blue", "Map: c.map"}},
        {"S+20:<40:a.map,>40:b.map,s-40,s-40b.map,s+10:c.map", 4, {"Map: a.map", "Map: c.map"}},
        {"[20,50,-130,-60,100],a.map,[0,90,-180,180],b.map", 4, {"Map: a.map"}},
        {"[50,20,-60,-130],a.map,[],b.map,[0,10,0,10],c.map,[20,50,-130,-60,29],d.map",
         4,
         {"Map: a.map"}},
        {"[0,10,0,10],a.map,[20,50,-130,-60],b.map,[],c.map", 4, {"Map: b.map"}},
        {"lalo:10:20:none,lalo", 4, {"Map-lalo: 10.0,20.0", "Map-lalo: 5.0,5.0"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(draw(c.spec, c.mode), c.drawn) << c.spec << " mode " << c.mode;

    // A map list holds entries as words; its missing files are reported with the line.
    dir.write("list", "# outlines\n-a.map b.map\n\nmissing.map   c.map\n");
    const std::string err = stderr_of([&] { draw("fi:list,d.map", 4); });
    EXPECT_EQ(dev->messages, (std::vector<std::string>{"Map: b.map", "Map: missing.map",
                                                       "Map: c.map", "Map: d.map"}));
    EXPECT_TRUE(has(err, "Map file not found: " + dir.file("missing.map")));
    EXPECT_TRUE(has(err, "map list " + dir.file("list") + ", line 4"));
    EXPECT_TRUE(has(stderr_of([&] { draw("fi:nolist"); }),
                    "MAP_draw: Unable to open map list file: " + dir.file("nolist")));

    FLAG_setplot(8, 0);
    EXPECT_TRUE(draw("b.map").empty()) << "map draw flag off";
}

TEST_F(MapOverlay, DefaultMapFollowsThePlotCentreAndHeight) {
    RES_put("file_path", XSAT_SOURCE_DIR "/data");
    struct Case {
        DOMAIN dom;
        std::vector<std::string> drawn;
    };
    const Case cases[] = {
        {domain(1, 40, -100, 41, 31, 2), {"Map: zor.map"}},
        {domain(1, 40, -100, 41, 41, 2), {"Map: cont.map", "Map: country.map"}}, // 80 high
        {domain(1, 50, 10, 41, 31, 2), {"Map: cont.map", "Map: country.map"}},
    };
    for (const Case &c : cases) {
        setup(c.dom);
        MAP_file(nullptr);
        MAP_draw(4);
        EXPECT_EQ(dev->messages, c.drawn);
        EXPECT_GT(dev->lines.size(), 100u);
    }
    EXPECT_STREQ(MAP_get_file(), "cont.map,country.map") << "the choice is kept";
    RES_put("map_file", "states.map:blue");
    setup(domain(1, 50, 10, 41, 31, 2));
    MAP_draw(4);
    EXPECT_EQ(dev->messages, std::vector<std::string>{"Map: states.map:blue"});
}

TEST_F(MapOverlay, LatLonLinesCarryLabelsRepeatsAndCrosses) {
    setup(domain(2, 0, 0, 361, 181, 1)); // the globe, one degree per pixel
    MAP_latlon(30, 30, 10, 10);
    ASSERT_EQ(MAP_lines(10, 10), 0);
    std::map<std::string, int> left, bottom, along;
    const float inset = 0.01f * 360;
    for (const auto &t : dev->texts) {
        if (t.h == 1 && t.v == 3) {
            ++left[t.s];
            EXPECT_FLOAT_EQ(t.p.x, -180 + inset) << t.s;
            const float lat = t.s == "EQ" ? 0 : std::stof(t.s) * (t.s.back() == 'S' ? -1 : 1);
            EXPECT_FLOAT_EQ(t.p.y, lat) << t.s;
        } else if (t.h == 2 && t.v == 4) {
            ++bottom[t.s];
            EXPECT_FLOAT_EQ(t.p.y, -90 + inset) << t.s;
        } else if (t.h == 2 && t.v == 3) {
            ++along[t.s];
            if (t.s == "EQ") {
                EXPECT_EQ(std::fmod(t.p.x + 165, 30.0f), 0) << "repeats midway between meridians";
            }
        }
    }
    EXPECT_EQ(left.size(), 17u); // EQ, 10N..80N, 10S..80S
    EXPECT_EQ(left["EQ"], 1);
    EXPECT_EQ(bottom.size(), 35u); // PM, 10E..170E, 10W..170W: DL is the right edge
    EXPECT_EQ(bottom["PM"], 1);
    EXPECT_EQ(along["EQ"], 12);      // -165, -135 ... 165
    EXPECT_EQ(along["DL"], 6);       // -75, -45 ... 75
    int crosses = 0;                 // 5 x 12 points, two arms each; the arm across the
    for (const auto &l : dev->lines) // date line at 180 would span the map and is left out
        if (l.size() == 2 && std::hypot(l[1].x - l[0].x, l[1].y - l[0].y) < 0.21f)
            ++crosses;
    EXPECT_EQ(crosses, 115);

    // Polar stereographic meridians stop at 80 degrees when lines are 10 apart: no point
    // lies closer to the pole than the 80th parallel, at K tan 5 degrees.
    setup(domain(1, 60, -100, 201, 201, 1));
    MAP_latlon(0, 0, 10, 10);
    MAP_lines(10, 10);
    const double k = kR * (1 + std::sin(M_PI / 3));
    double nearest = 1e9;
    for (const auto &l : dev->lines)
        for (const GPoint &p : l)
            nearest = std::min(nearest, std::hypot(double(p.x), double(p.y)));
    EXPECT_NEAR(nearest, k * std::tan(5 * M_PI / 180), 1e-3);
    EXPECT_EQ(MAP_lines(-9999, 10), -1);
    EXPECT_EQ(MAP_lines(0.001f, 10), -1) << "too dense to draw";
}

TEST_F(MapOverlay, BadMapDataIsReportedAndTheRestDrawn) {
    setup(domain(2, 0, 0, 361, 181, 1));
    const Record line = {{10, 10}, {20, 20}};
    dir.write("good.map", binary_map({line}));
    std::string cut = binary_map({line, {{0, 0}, {1, 1}, {2, 2}}});
    dir.write("cut.map", cut.substr(0, cut.size() - 6)); // ends inside the second record
    dir.write("neg.map", binary_map({line}, -3));
    dir.write("head.map", text_map({line}) + "2 0 0 x 0 0\n1 1\n2 2\n");
    dir.write("pts.map", text_map({line}) + "2 0 0 0 0 0\n1 1\nx 2\n");
    struct Case {
        const char *file, *message;
    };
    const Case cases[] = {
        {"cut.map", "byte 38: file ends inside record 2"},
        {"neg.map", "byte 38: bad point count -3 in record 2"},
        {"head.map", "line 4: bad record header"},
        {"pts.map", "line 6: bad point in record 2"},
        {"missing.map", "MAP_process: Map file not found"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string err =
            stderr_of([&] { draw(std::string(c.file) + ":black,good.map:black"); });
        EXPECT_TRUE(has(err, dir.file(c.file)));
        EXPECT_TRUE(has(err, c.message));
        const size_t drawn = std::string(c.file) == "missing.map" ? 1 : 2;
        EXPECT_EQ(dev->lines.size(), drawn) << "the good records and the next file";
    }
}

TEST_F(MapOverlay, ShippedMapFilesReadToTheirEndAndHoldKnownPlaces) {
    struct Place {
        float lat, lon;
    };
    // Cape Hatteras; the 49th parallel border at 110 W; the Four Corners.
    const std::map<std::string, Place> known = {
        {"cont.map", {35.2225f, -75.5350f}},
        {"country.map", {49.0f, -110.0f}},
        {"states.map", {36.9989f, -109.0453f}},
    };
    std::map<std::string, size_t> records;
    for (const char *name :
         {"cont.map", "country.map", "states.map", "zor.map", "cont_c.map", "country_c.map"}) {
        SCOPED_TRACE(name);
        const std::string path = std::string(XSAT_SOURCE_DIR "/data/") + name;
        FilePtr f = FILE_open_data(path.c_str());
        ASSERT_TRUE(f);
        ByteCursor in(f.get());
        double nearest = 1e9;
        bool in_range = true;
        const auto place = known.count(name) ? known.at(name) : Place{0, 0};
        ASSERT_EQ(MAP_read_file(
                      in, path.c_str(),
                      [&](std::span<const float> ll) {
                          ++records[name];
                          for (size_t i = 0; i + 3 < ll.size(); i += 2) {
                              in_range =
                                  in_range && std::fabs(ll[i]) <= 90 && std::fabs(ll[i + 1]) <= 180;
                              // Distance from the place to this piece of line.
                              const double ax = ll[i + 1] - place.lon, ay = ll[i] - place.lat;
                              const double bx = ll[i + 3] - place.lon, by = ll[i + 2] - place.lat;
                              const double dx = bx - ax, dy = by - ay;
                              const double t = std::clamp(
                                  -(ax * dx + ay * dy) / (dx * dx + dy * dy + 1e-30), 0.0, 1.0);
                              nearest = std::min(nearest, std::hypot(ax + t * dx, ay + t * dy));
                          }
                      }),
                  0);
        EXPECT_TRUE(in_range);
        if (known.count(name)) {
            EXPECT_LT(nearest, 0.02) << "a line passes the known place";
        }
    }
    EXPECT_EQ(records["zor.map"],
              records["cont.map"] + records["country.map"] + records["states.map"]);
    EXPECT_LT(records["cont_c.map"], records["cont.map"] / 4);
    EXPECT_GT(records["states.map"], 100u);
}

} // namespace
