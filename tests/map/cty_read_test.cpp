// City database file: line parsing, single look-ups and the bundled station list.
#include "map/cty_read.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "support/test_support.h"

namespace {

using testsupport::TempDir;

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
    TempDir tmp;
    std::string path;
};

TEST_F(CityTest, ParseLine) {
    CTY_REC r;
    ASSERT_EQ(
        1, CTY_parse_line("Boulder              CO US KBDU  *4  40.04 -105.23  1611 72469 7", &r));
    EXPECT_EQ("Boulder", r.name);
    EXPECT_EQ("CO", r.state);
    EXPECT_EQ("US", r.country);
    EXPECT_EQ("KBDU", r.id);
    EXPECT_EQ(4, r.prior);
    EXPECT_EQ('*', r.mark1);
    EXPECT_EQ(' ', r.mark2);
    EXPECT_FLOAT_EQ(40.04f, r.lat);
    EXPECT_FLOAT_EQ(-105.23f, r.lon);
    EXPECT_FLOAT_EQ(1611.0f, r.elev);
    EXPECT_EQ(72469, r.wmo);
    EXPECT_EQ(7, r.last);
    EXPECT_TRUE(CTY_has_id(r));

    // Elevation above 9000 is missing; "--" is no identifier; marks on both sides.
    ASSERT_EQ(1, CTY_parse_line("Buoy 1 2 -- *5* 34.68 -72.66 9001 41001 0", &r));
    EXPECT_FLOAT_EQ(-9999.0f, r.elev);
    EXPECT_FALSE(CTY_has_id(r));
    EXPECT_EQ('*', r.mark1);
    EXPECT_EQ('*', r.mark2);
    EXPECT_EQ(5, r.prior);

    // Over-long texts are cut, never shifted into the next field.
    ASSERT_EQ(1, CTY_parse_line("A_name_much_longer_than_twenty_chars COL USA IDENTIFIER12 3 "
                                "1 2 3 4 5",
                                &r));
    EXPECT_EQ("A_name_much_longer_t", r.name);
    EXPECT_EQ("CO", r.state);
    EXPECT_EQ("US", r.country);
    EXPECT_EQ("IDENTIFIE", r.id);

    for (const char *bad :
         {"", "too few fields", "N S C ID x 1 2 3 4 5", "N S C ID 3 1 2 3 4 5.5",
          "N S C ID 33 1 2 3 4 5", "N S C ID 3 nan 2 3 4 5", "N S C ID 3 1 2 3 99999999999 5"})
        EXPECT_EQ(0, CTY_parse_line(bad, &r)) << bad;
}

TEST_F(CityTest, LookUpByIdentifierNameAndWmo) {
    CTY_REC r;
    ASSERT_EQ(1, CTY_get(path.c_str(), "kbdu", &r));
    EXPECT_EQ("Boulder", r.name);
    ASSERT_EQ(1, CTY_get(path.c_str(), "DENVER_INTERNATIONAL", &r));
    EXPECT_EQ("KDEN", r.id);
    ASSERT_EQ(1, CTY_get(path.c_str(), "41001", &r));
    EXPECT_EQ("B_", r.country);
    ASSERT_EQ(1, CTY_get(path.c_str(), "01234", &r)); // WMO numbers as "%05d"
    EXPECT_EQ("LFXX", r.id);
    EXPECT_EQ(0, CTY_get(path.c_str(), "1234", &r));
    EXPECT_EQ(0, CTY_get(path.c_str(), "99999", &r)); // "none" is no number
    EXPECT_EQ(0, CTY_get(path.c_str(), "--", &r));
    EXPECT_EQ(0, CTY_get(path.c_str(), "KBAD", &r)); // its line does not read
    EXPECT_EQ(0, CTY_get(path.c_str(), "", &r));

    float lat = 0, lon = 0;
    ASSERT_EQ(1, CTY_get_loc(path.c_str(), "KDEN", &lat, &lon));
    EXPECT_FLOAT_EQ(39.87f, lat);
    EXPECT_FLOAT_EQ(-104.67f, lon);
    EXPECT_EQ(0, CTY_get_loc(path.c_str(), "KXXX", &lat, &lon));
}

TEST_F(CityTest, OpenFileRules) {
    int count = -1;
    // Default name under file_path; expected count from the file size.
    tmp.write("sao.cty", std::string(59 * 10, ' '));
    RES_put("file_path", tmp.path().c_str());
    EXPECT_TRUE(CTY_open_file(nullptr, &count));
    EXPECT_EQ(10, count);
    tmp.write("tiny.cty", "Boulder CO US KBDU 4 40.04 -105.23 1611 72469 0\n");
    EXPECT_TRUE(CTY_open_file("tiny.cty", &count));
    EXPECT_EQ(1, count); // never 0 for a file shorter than a typical line

    std::string log = tmp.file("messages.log");
    MESS_file(log.c_str(), "w");
    EXPECT_FALSE(CTY_open_file("absent.cty", &count));
    MESS_file_close();
    EXPECT_EQ("CTY_open_file: Database file not found: " + tmp.file("absent.cty") + "\n",
              testsupport::read_file(log));

    // The city_file resource wins over the name; "none" turns the database off.
    RES_put("city_file", "cities.cty");
    EXPECT_EQ(1, CTY_get("absent.cty", "KDEN", nullptr));
    RES_put("city_file", "none");
    EXPECT_FALSE(CTY_open_file("cities.cty", &count));
    EXPECT_EQ(0, CTY_get("cities.cty", "KDEN", nullptr));
}

TEST(CityBundled, EveryLineReadsAndKnownAirportsArePlaced) {
    std::string file = XSAT_SOURCE_DIR "/data/sao.cty";
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    std::string line;
    int n = 0;
    CTY_REC r;
    while (std::getline(in, line)) {
        ASSERT_EQ(1, CTY_parse_line(line, &r)) << line;
        EXPECT_TRUE(CTY_has_id(r)) << line;
        EXPECT_LE(std::fabs(r.lat), 90.0f) << line;
        EXPECT_LE(std::fabs(r.lon), 180.0f) << line;
        ++n;
    }
    EXPECT_GT(n, 5000);

    RES_reset_state();
    int count = 0;
    EXPECT_TRUE(CTY_open_file(file.c_str(), &count));
    EXPECT_EQ(4000, count);

    // Published aerodrome reference points (degrees), within the file's 0.01 degree.
    struct {
        const char *id;
        double lat, lon;
    } airports[] = {{"KDEN", 39.8617, -104.6731},
                    {"EGLL", 51.4775, -0.4614},
                    {"RJTT", 35.5533, 139.7811},
                    {"YSSY", -33.9461, 151.1772}};
    for (const auto &a : airports) {
        float lat = 0, lon = 0;
        ASSERT_EQ(1, CTY_get_loc(file.c_str(), a.id, &lat, &lon)) << a.id;
        EXPECT_NEAR(a.lat, lat, 0.05) << a.id;
        EXPECT_NEAR(a.lon, lon, 0.05) << a.id;
    }
}

} // namespace
