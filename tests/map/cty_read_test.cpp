// City database file: line parsing, single look-ups and the bundled station list.
#include "map/cty_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "support/test_support.h"

namespace {

const char *const CITIES = "Denver_International CO US KDEN  2  39.87 -104.67 9999 99999 0\n"
                           "Boulder              CO US KBDU  *4  40.04 -105.23  1611 72469 7\n"
                           "Buoy_41001           -- B_ --    5*  34.68  -72.66     0 41001 0\n"
                           "too few fields here\n"
                           "Bad_Number           CO US KBAD  4  forty -105.00  1611 72400 0\n"
                           "Small_Wmo            -- FR LFXX  *3* 48.00    2.00   100  1234 0\n";

class CityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        MESS_reset_state();
        FILE_reset_state();
        path = tmp.write("cities.cty", CITIES);
    }
    testsupport::TempDir tmp;
    std::string path;
};

// A parsed line as name|state|country|id|mark,priority,mark|lat|lon|elev|wmo|last.
std::string parse(const std::string &line) {
    CTY_REC r;
    if (CTY_parse_line(line, &r) != 1)
        return "rejected";
    char nums[100];
    std::snprintf(nums, sizeof nums, "%c%d%c|%.2f|%.2f|%g|%d|%d", r.mark1, r.prior, r.mark2, r.lat,
                  r.lon, r.elev, r.wmo, r.last);
    return r.name + "|" + r.state + "|" + r.country + "|" + r.id + "|" + nums +
           (CTY_has_id(r) ? "" : " (no id)");
}

TEST_F(CityTest, ParseLineAndLookUps) {
    EXPECT_EQ(parse("Boulder              CO US KBDU  *4  40.04 -105.23  1611 72469 7"),
              "Boulder|CO|US|KBDU|*4 |40.04|-105.23|1611|72469|7");
    // Elevation above 9000 is missing; "--" is no identifier; marks on both sides.
    EXPECT_EQ(parse("Buoy 1 2 -- *5* 34.68 -72.66 9001 41001 0"),
              "Buoy|1|2|--|*5*|34.68|-72.66|-9999|41001|0 (no id)");
    // Over-long texts are cut, never shifted into the next field.
    EXPECT_EQ(parse("A_name_much_longer_than_twenty_chars COL USA IDENTIFIER12 3 1 2 3 4 5"),
              "A_name_much_longer_t|CO|US|IDENTIFIE| 3 |1.00|2.00|3|4|5");
    for (const char *bad :
         {"", "too few fields", "N S C ID x 1 2 3 4 5", "N S C ID 3 1 2 3 4 5.5",
          "N S C ID 33 1 2 3 4 5", "N S C ID 3 nan 2 3 4 5", "N S C ID 3 1 2 3 99999999999 5"})
        EXPECT_EQ(parse(bad), "rejected") << bad;

    CTY_REC r;
    // By identifier, name or WMO number ("%05d"); 99999 is "none"; KBAD's line does not read.
    for (auto [key, name] : {std::pair{"kbdu", "Boulder"},
                             {"DENVER_INTERNATIONAL", "Denver_International"},
                             {"41001", "Buoy_41001"},
                             {"01234", "Small_Wmo"}}) {
        ASSERT_EQ(1, CTY_get(path.c_str(), key, &r)) << key;
        EXPECT_EQ(name, r.name);
    }
    for (const char *key : {"1234", "99999", "--", "KBAD", ""})
        EXPECT_EQ(0, CTY_get(path.c_str(), key, &r)) << key;
    float lat = 0, lon = 0;
    ASSERT_EQ(1, CTY_get_loc(path.c_str(), "KDEN", &lat, &lon));
    EXPECT_FLOAT_EQ(39.87f, lat);
    EXPECT_FLOAT_EQ(-104.67f, lon);
    EXPECT_EQ(0, CTY_get_loc(path.c_str(), "KXXX", &lat, &lon));
}

TEST_F(CityTest, OpenFileRules) {
    int count = -1;
    // Default name under file_path; expected count from the file size, never 0.
    tmp.write("sao.cty", std::string(59 * 10, ' '));
    RES_put("file_path", tmp.path().c_str());
    EXPECT_TRUE(CTY_open_file(nullptr, &count));
    EXPECT_EQ(10, count);
    tmp.write("tiny.cty", "Boulder CO US KBDU 4 40.04 -105.23 1611 72469 0\n");
    EXPECT_TRUE(CTY_open_file("tiny.cty", &count));
    EXPECT_EQ(1, count);

    testsupport::Capture err(2);
    EXPECT_FALSE(CTY_open_file("absent.cty", &count));
    EXPECT_EQ("CTY_open_file: Database file not found: " + tmp.file("absent.cty") + "\n",
              err.text());

    // The city_file resource wins over the name; "none" turns the database off.
    RES_put("city_file", "cities.cty");
    EXPECT_EQ(1, CTY_get("absent.cty", "KDEN", nullptr));
    RES_put("city_file", "none");
    EXPECT_FALSE(CTY_open_file("cities.cty", &count));
    EXPECT_EQ(0, CTY_get("cities.cty", "KDEN", nullptr));
}

TEST(CityBundled, EveryLineReadsAndKnownAirportsArePlaced) {
    std::string file = XSAT_SOURCE_DIR "/data/sao.cty", line;
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    int n = 0, ids = 0;
    for (CTY_REC r; std::getline(in, line); ++n) {
        ASSERT_EQ(1, CTY_parse_line(line, &r)) << line;
        EXPECT_TRUE(std::fabs(r.lat) <= 90 && std::fabs(r.lon) <= 180) << line;
        EXPECT_TRUE(CTY_has_id(r) || r.wmo != 99999) << "neither identifier nor number: " << line;
        ids += CTY_has_id(r);
    }
    EXPECT_GT(ids, 5000);
    EXPECT_GT(n, 15000);
    RES_reset_state();
    int count = 0;
    EXPECT_TRUE(CTY_open_file(file.c_str(), &count));
    EXPECT_EQ(4000, count);

    // Published aerodrome reference points (degrees) and elevations (m), within the file's
    // 0.01 degree and the few metres between an airport and its weather station; the
    // stations' published WMO index numbers.
    const struct {
        const char *id;
        double lat, lon, elev;
        int wmo;
    } airports[] = {{"KDEN", 39.8617, -104.6731, 1656, 72565},
                    {"EGLL", 51.4775, -0.4614, 25, 3772},
                    {"RJTT", 35.5533, 139.7811, 6, 47671},
                    {"YSSY", -33.9461, 151.1772, 6, 94767}};
    for (const auto &a : airports) {
        CTY_REC r;
        ASSERT_EQ(1, CTY_get(file.c_str(), a.id, &r)) << a.id;
        EXPECT_NEAR(a.lat, r.lat, 0.05) << a.id;
        EXPECT_NEAR(a.lon, r.lon, 0.05) << a.id;
        EXPECT_NEAR(a.elev, r.elev, 5) << a.id;
        EXPECT_EQ(a.wmo, r.wmo) << a.id;
    }
}

// The shipped file is what the converter makes from the installed station packages.
TEST(CityBundled, ConverterRebuildsTheShippedFile) {
    for (const char *need : {"/usr/share/weather-util/stations.gz",
                             "/usr/share/metview/etc/stations-i.db", "/usr/bin/gdbm_dump"})
        if (!FILE_exist(need))
            GTEST_SKIP() << need << " not installed";
    auto r = testsupport::run_program("python3", {XSAT_SOURCE_DIR "/tools/make_sao_cty.py"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == testsupport::read_file(XSAT_SOURCE_DIR "/data/sao.cty"))
        << "data/sao.cty differs from the converter's output";
}

} // namespace
