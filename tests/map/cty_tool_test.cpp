// City database in memory: the hash table, the bulk load with its filters, look-ups by
// text and by position, the selection language and the WMO identifier conversions.
#include "map/cty_tool.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/files.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "map/maptran.h"
#include "map/table.h"
#include "support/test_support.h"

namespace {

// Hash values worked by hand from h = (257 h + c) mod 35177: "KDEN" -> 10155; the byte
// 0xE9 is the signed character -23, a remainder that folds back to bucket 7 of 10.
TEST(CityTable, HashKeysAndOrder) {
    EXPECT_EQ(55, TAB_hash("KDEN", 100));
    EXPECT_EQ(7, TAB_hash("\xe9", 10));
    EXPECT_EQ(0, TAB_hash("", 7));

    TAB<int> t;
    EXPECT_EQ(-1, TAB_create(&t, 4, 4));
    EXPECT_EQ(-1, TAB_enter(&t, 1, "a", "b"));
    ASSERT_EQ(0, TAB_create(&t, 0, 2)); // at least one bucket
    ASSERT_EQ(0, TAB_enter(&t, 10, "KDEN", "72565"));
    ASSERT_EQ(0, TAB_enter(&t, 20, "KDEN", "72469"));
    ASSERT_EQ(0, TAB_enter(&t, 30, "kden", "99999"));
    ASSERT_NE(nullptr, TAB_search(&t, 1, "KDEN"));
    EXPECT_EQ(10, *TAB_search(&t, 1, "KDEN")) << "the first entered wins";
    EXPECT_EQ(30, *TAB_search(&t, 1, "kden")) << "keys compare with case";
    EXPECT_EQ(20, *TAB_search(&t, 2, "72469"));
    EXPECT_EQ(nullptr, TAB_search(&t, 2, "KDEN"));
    EXPECT_EQ(nullptr, TAB_search(&t, 3, "KDEN"));
    ASSERT_EQ(3u, t.items.size());
    EXPECT_EQ(20, t.items[1]);
}

const char *const CITIES = "Denver_International CO US KDEN  2  39.87 -104.67 1656 72565 0\n"
                           "Boulder              CO US KBDU  4  40.04 -105.23 1611 72469 7\n"
                           "Stapleton            CO US --    5  39.77 -104.87 1611 72466 0\n"
                           "Lake_Buoy            -- B_ --    3  41.00  -88.00    0 45999 0\n"
                           "Dakota               ND US KXXA  2  47.90 -100.00  500 99999 0\n"
                           "Bad line that does not read\n"
                           "Low_Priority         KS US KLOW  6  38.00  -98.00  400 72450 0\n"
                           "Paris                -- FR LFPG  2  49.01    2.55  119 07157 0\n";

class CityStore : public ::testing::Test {
  protected:
    void SetUp() override {
        RES_reset_state();
        MESS_reset_state();
        FILE_reset_state();
        CTY_reset_state();
        MAP_reset_state();
        RES_put("city_file", tmp.write("cities.cty", CITIES).c_str());
        // Latitude-longitude domain: x = lon + 100 from -10 to 10, y = lat from 35 to 45;
        // stations load within three grid spacings of it.
        DOM_init(&dom);
        dom.proj = 2;
        dom.clat = 40;
        dom.clon = -100;
        dom.nx = 21;
        dom.ny = 11;
        dom.dx = dom.dy = 1;
    }
    void TearDown() override {
        CTY_reset_state();
        MAP_reset_state();
        RES_reset_state();
    }
    // The display identifier found for a text, or "-".
    static std::string find(const char *text) {
        const CTY_STATION *s = nullptr;
        return CTY_search(text, &s) ? s->plot.id + "/" + s->rec.name : "-";
    }
    testsupport::TempDir tmp;
    DOMAIN dom;
};

TEST_F(CityStore, LoadFiltersByPriorityDomainAndSelection) {
    testsupport::Capture err(2);
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_FULL, &dom, 5));
    EXPECT_EQ("CTY_read: " + tmp.file("cities.cty") + " line 6: not a station line\n", err.text());
    EXPECT_EQ(5, CTY_count()) << "Paris lies outside, KLOW has priority 6, one line is bad";
    EXPECT_EQ("KDEN/Denver_International", find("KDEN"));
    EXPECT_EQ("KBDU/Boulder", find("72469"));
    EXPECT_EQ("-", find("LFPG"));
    EXPECT_EQ("-", find("KLOW"));

    // Priority -9999 takes "stat_prior"; "identifier" selects; "all" selects nothing out.
    RES_put("stat_prior", "6");
    RES_put("identifier", "ST=KS,KBDU");
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_FULL, &dom, MISSING));
    EXPECT_EQ(2, CTY_count());
    RES_put("identifier", "all");
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_FULL, &dom, MISSING));
    EXPECT_EQ(6, CTY_count());

    EXPECT_EQ(0, CTY_store(nullptr, 4, &dom, 5));
    RES_put("city_file", "none");
    EXPECT_EQ(0, CTY_store(nullptr, CTY_MODE_FULL, &dom, 5));
}

TEST_F(CityStore, IdTypesAndLookUpForms) {
    // Type 0: identifier, else the WMO key; buoys are keyed "b%05d".
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_COMPACT, &dom, 9));
    EXPECT_EQ("72466/Stapleton", find("72466"));
    EXPECT_EQ("b45999/Lake_Buoy", find("b45999"));
    EXPECT_EQ("-", find("45999")) << "a buoy has no plain WMO key";
    EXPECT_EQ("KDEN/Denver_International", find("K2565")) << "coded WMO identifier";
    EXPECT_EQ("-", find("XX123"));

    // Type 1: the WMO key, which is then both keys; the identifier when there is none.
    CTY_set_id_type(1);
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_COMPACT, &dom, 9));
    EXPECT_EQ("72565/Denver_International", find("72565"));
    EXPECT_EQ("-", find("KDEN"));
    EXPECT_EQ("KXXA/Dakota", find("KXXA"));

    // Type 2: the identifier, else the coded WMO number or the buoy key.
    CTY_set_id_type(2);
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_COMPACT, &dom, 9));
    EXPECT_EQ("K2466/Stapleton", find("K2466"));
    EXPECT_EQ("b45999/Lake_Buoy", find("b45999"));
    EXPECT_EQ("KDEN/Denver_International", find("KDEN"));
}

TEST_F(CityStore, PositionRingsAndExtraData) {
    static int entered = 0;
    entered = 0;
    CTY_data_size(4);
    CTY_enter_func([](const CTY_REC *rec, void *data) {
        ++entered;
        static_cast<unsigned char *>(data)[1] = static_cast<unsigned char>(rec->prior);
    });
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_POSITION, &dom, 9));
    EXPECT_EQ(CTY_count(), entered);
    auto *data = static_cast<unsigned char *>(CTY_get_data("KBDU"));
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(0, data[0]);
    EXPECT_EQ(4, data[1]);
    EXPECT_EQ(nullptr, CTY_get_data("LFPG"));

    const CTY_STATION *s = nullptr;
    // 0.25 degree north of Boulder: two or three rings out.
    ASSERT_EQ(1, CTY_search_loc(&s, 40.29f, -105.23f));
    EXPECT_EQ("KBDU", s->rec.id);
    ASSERT_EQ(1, CTY_search_loc(&s, 39.87f, -104.67f));
    EXPECT_EQ("KDEN", s->rec.id);
    EXPECT_EQ(0, CTY_search_loc(&s, 45.0f, -95.0f)) << "more than 49 rings from every station";
    EXPECT_EQ(nullptr, s);

    // Position keys are only in mode 3 tables.
    CTY_data_size(0);
    CTY_enter_func(nullptr);
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_FULL, &dom, 9));
    EXPECT_EQ(0, CTY_search_loc(&s, 39.87f, -104.67f));
}

TEST_F(CityStore, RingsCrossTheEquatorAndTheDateLine) {
    tmp.write("edge.cty", "South -- FJ NFXX 2 -0.02 179.98 10 99999 0\n");
    RES_put("city_file", tmp.file("edge.cty").c_str());
    ASSERT_EQ(1, CTY_store(nullptr, CTY_MODE_POSITION, nullptr, 9)); // no domain: all load
    const CTY_STATION *s = nullptr;
    EXPECT_EQ(1, CTY_search_loc(&s, 0.03f, -179.97f));
}

// Boulder: state CO, country US, identifier KBDU, priority 4, 40.04 -105.23, 1611 m,
// WMO 72469. Each element and the index CTY_data_cmp gives for it alone.
TEST(CitySelection, ElementsAndTerms) {
    CTY_REC r;
    ASSERT_EQ(1, CTY_parse_line("Boulder CO US KBDU 4 40.04 -105.23 1611 72469 7", &r));
    const std::pair<const char *, int> cases[] = {
        {"72469", 0},      {"kbdu", 0},          {"Bould", 0},
        {"Boul", -1},      {"ST=co", 0},         {"ST=CO_US", 0},
        {"ST=CO_CA", -1},  {"ST:CO", 0},         {"CN=US", 0},
        {"CN:FR", -1},     {"ID=KBDU", 0},       {"name=boulder", 0},
        {"P=4", 0},        {"P<3", -1},          {"P>4", 0},
        {"Lat>40.04", 0},  {"LAT<40", -1},       {"Lon<-105", 0},
        {"Elev>2000", -1}, {"WMO=72469", 0},     {"WMO<72000", -1},
        {"WMO>72469", 0},  {"RA<50:40:-105", 0}, {"RA<10:40:-105", -1},
        {"RA<50:40", -1},  {"ST=CO:P<3", -1},    {"ST=CO:P<4:CN=US", 0},
        {"KDEN", -1},      {"P<x", -1},          {"", -1},
    };
    for (const auto &[element, want] : cases)
        EXPECT_EQ(want, CTY_data_cmp(1, {element}, &r)) << element;
    EXPECT_EQ(2, CTY_data_cmp(3, {"KDEN", "ST=NY", "P<5"}, &r));
    EXPECT_EQ(1, CTY_data_cmp(0, {}, &r)) << "an empty list selects every station";
}

// Every number comes back from its identifier; the forms follow the prefix length.
TEST(CityWmo, ConversionsRoundTrip) {
    std::string id;
    for (int n = 0; n < 99999; ++n) {
        wmo_to_id(&id, n);
        int back = -1;
        ASSERT_EQ(1, id_to_wmo(id.c_str(), &back)) << n << " " << id;
        ASSERT_EQ(n, back) << id;
    }
    const std::pair<int, const char *> forms[] = {
        {1492, "EN492"},  {3772, "EG772"},  {72469, "K2469"}, {71066, "C1066"},
        {94767, "Y4767"}, {99001, "99001"}, {500, "00500"}};
    for (const auto &[n, want] : forms) {
        wmo_to_id(&id, n);
        EXPECT_EQ(want, id) << n;
    }
    for (const char *bad : {"XX123", "K123", "k2469", "EN49X", "EN4920", "", "AB1CD"}) {
        int n = 0;
        EXPECT_EQ(-1, id_to_wmo(bad, &n)) << bad;
        EXPECT_EQ(99999, n) << bad;
    }
    EXPECT_EQ(-1, id_to_wmo(nullptr, nullptr));
}

// The range table against independent data: for the stations of the bundled file that
// carry both an ICAO identifier and a WMO number, the coded identifier starts like the
// airport's own identifier for most of them.
TEST(CityWmo, PrefixesFollowTheAirportsOfEachRange) {
    RES_reset_state();
    CtyFile f = CTY_open(XSAT_SOURCE_DIR "/data/sao.cty", "r", nullptr);
    ASSERT_TRUE(f);
    int both = 0, agree = 0;
    CTY_REC r;
    std::string id;
    while (CTY_read(f.get(), &r)) {
        if (!CTY_has_id(r) || r.wmo == 99999 || r.id.size() != 4)
            continue;
        ++both;
        if (wmo_to_id(&id, r.wmo) == 1) {
            const size_t letters = id[1] >= 'A' ? 2 : 1;
            agree += id.compare(0, letters, r.id, 0, letters) == 0;
        }
    }
    EXPECT_GT(both, 3000);
    EXPECT_GT(agree, both * 8 / 10) << agree << " of " << both;
}

} // namespace
