#include "base/date.h"

#include <gtest/gtest.h>

namespace {

DATE make(int y, int mo, int d, int h = -9999, int mi = -9999, int s = -9999) {
    DATE r;
    r.year = y;
    r.month = mo;
    r.day = d;
    r.hour = h;
    r.minute = mi;
    r.second = s;
    return r;
}

std::string label(const DATE &d) {
    std::string out;
    EXPECT_EQ(DATE_make_label(&d, out), 1);
    return out;
}

class DateTest : public ::testing::Test {
  protected:
    void SetUp() override { DATE_reset_state(); }
    void TearDown() override { DATE_reset_state(); }
};

// Expected seconds from Python calendar.timegm.
TEST_F(DateTest, NumSecMatchesIndependentCalendar) {
    struct Row {
        int y, mo, d, h, mi, s;
        int64_t expected;
    } rows[] = {
        {2026, 12, 4, 6, 30, 0, 1796365800},   {1999, 12, 31, 23, 59, 59, 946684799},
        {2000, 2, 29, 12, 0, 0, 951825600},    {1900, 3, 1, 0, 0, 0, -2203891200},
        {1969, 12, 31, 23, 59, 59, -1},        {2100, 3, 1, 0, 0, 0, 4107542400},
        {2038, 1, 19, 3, 14, 8, 2147483648LL}, {1600, 2, 29, 0, 0, 0, -11670998400LL},
        {26, 12, 4, 6, 30, 0, 1796365800},    // two-digit year 26 is 2026
        {99, 12, 31, 23, 59, 59, 946684799},  // 99 is 1999
        {2026, 13, 1, 0, 0, 0, 1767225600},   // month 13 is January
        {2026, 1, 32, 0, 0, 0, 1767225600},   // day 32 is the 1st
        {2026, 1, 1, 24, 60, 60, 1767225600}, // hour 24, minute/second 60 are 0
        {-5, 1, 1, 0, 0, 0, 315532800},       // negative year is 1980
        {2026, 3, 0, 0, 0, 0, 1772236800},    // day 0 counts back to 28 Feb
        {2026, 1, 1, -1, 0, 0, 1767222000},   // hour -1 counts back a day
    };
    for (const Row &r : rows) {
        DATE d = make(r.y, r.mo, r.d, r.h, r.mi, r.s);
        EXPECT_EQ(DATE_num_sec(&d), r.expected) << r.y << "-" << r.mo << "-" << r.d;
    }
    DATE d = make(26, 13, 32, 25, 61, 61);
    DATE_num_sec(&d);
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 0);
}

// Expected fields from `date -u -d @N '+%Y %m %d %j %w %H %M %S'`.
TEST_F(DateTest, GmdateMatchesIndependentCalendar) {
    struct Row {
        int64_t t;
        int y, mo, d, jul, wday, h, mi, s;
    } rows[] = {
        {0, 1970, 1, 1, 1, 4, 0, 0, 0},
        {-1, 1969, 12, 31, 365, 3, 23, 59, 59},
        {951825600, 2000, 2, 29, 60, 2, 12, 0, 0},
        {2147483648LL, 2038, 1, 19, 19, 2, 3, 14, 8},
        {-2208988800LL, 1900, 1, 1, 1, 1, 0, 0, 0},
        {4107542400LL, 2100, 3, 1, 60, 1, 0, 0, 0},
        {1796365800, 2026, 12, 4, 338, 5, 6, 30, 0},
        {253402300799LL, 9999, 12, 31, 365, 5, 23, 59, 59},
        {-62135596800LL, 1, 1, 1, 1, 1, 0, 0, 0},
    };
    for (const Row &r : rows) {
        DATE d;
        ASSERT_EQ(DATE_get_gmdate(&r.t, &d), 1);
        EXPECT_EQ(d.year, r.y) << r.t;
        EXPECT_EQ(d.month, r.mo) << r.t;
        EXPECT_EQ(d.day, r.d) << r.t;
        EXPECT_EQ(d.julian, r.jul) << r.t;
        EXPECT_EQ(d.wday, r.wday) << r.t;
        EXPECT_EQ(d.hour, r.h) << r.t;
        EXPECT_EQ(d.minute, r.mi) << r.t;
        EXPECT_EQ(d.second, r.s) << r.t;
        DATE back = d;
        if (r.y >= 200) { // smaller years are read as two-digit years
            EXPECT_EQ(DATE_num_sec(&back), r.t);
        }
    }
    int64_t huge = INT64_MAX;
    DATE d;
    EXPECT_EQ(DATE_get_gmdate(&huge, &d), -1);
}

TEST_F(DateTest, CalendarHelpers) {
    EXPECT_TRUE(DATE_is_leap(2000));
    EXPECT_FALSE(DATE_is_leap(1900));
    EXPECT_TRUE(DATE_is_leap(2024));
    EXPECT_EQ(DATE_julian_monday(2024, 12, 31), 366);
    EXPECT_EQ(DATE_julian_monday(2023, 3, 1), 60);
    int m = 0, d = 0;
    ASSERT_EQ(DATE_monday_julian(2024, 60, &m, &d), 1);
    EXPECT_EQ(m * 100 + d, 229);
    ASSERT_EQ(DATE_monday_julian(2023, 365, &m, &d), 1);
    EXPECT_EQ(m * 100 + d, 1231);
    EXPECT_EQ(DATE_monday_julian(2023, 366, &m, &d), -1);
    int y = 0;
    DATE_days_date(-1, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 19691231);
    int h = 0, mi = 0, s = 0;
    DATE_time_date(-1, &h, &mi, &s);
    EXPECT_EQ(h * 10000 + mi * 100 + s, 235959);
    EXPECT_STREQ(DATE_month(12), "DEC");
    EXPECT_STREQ(DATE_month_lower(1), "jan");
    EXPECT_STREQ(DATE_month(13), "");
    EXPECT_EQ(DATE_decode_month("Sep"), 9);
    EXPECT_EQ(DATE_decode_month("dec"), 12);
    EXPECT_EQ(DATE_decode_month("xyz"), 0);
    EXPECT_EQ(DATE_decode_month("de"), 0);
}

TEST_F(DateTest, LabelsForEveryPartialForm) {
    EXPECT_EQ(label(make(26, 12, 4, 6, 30)), "0630Z  4 DEC 26");
    EXPECT_EQ(label(make(2026, 12, 4, 6)), "06Z  4 DEC 26");
    EXPECT_EQ(label(make(2026, 12, 14)), "14 DEC 26");
    EXPECT_EQ(label(make(2026, 12, -9999)), "DEC 26");
    EXPECT_EQ(label(make(2007, -9999, -9999)), "07");
    EXPECT_EQ(label(make(-9999, -9999, -9999, 5, 7)), "0507Z  1 JAN 80");
    std::string seq;
    DATE d = make(26, 12, 4, 6, 30);
    DATE_make_seq(&d, seq);
    EXPECT_EQ(seq, "202612040630");
}

TEST_F(DateTest, DisplayTimeZoneModes) {
    const DATE d = make(2026, 12, 4, 6, 30);
    ASSERT_EQ(DATE_set_TZ("+EST:-5"), 1);
    EXPECT_EQ(label(d), "1:30 AM EST  4 DEC 26");
    EXPECT_EQ(label(make(2026, 12, 4, 6)), "1 AM EST  4 DEC 26");
    ASSERT_EQ(DATE_set_TZ("-EST:-5"), 1);
    EXPECT_EQ(label(d), "1:30 AM EST [0630Z]  4 DEC 26");
    EXPECT_EQ(label(make(2026, 12, 4, 6)), "1 AM EST [06Z]  4 DEC 26");
    ASSERT_EQ(DATE_set_TZ("EST:-5"), 1);
    EXPECT_EQ(label(d), "0130 EST  4 DEC 26");
    // Crossing midnight moves the date back; noon and midnight in 12-hour mode.
    ASSERT_EQ(DATE_set_TZ("+CST:-6"), 1);
    EXPECT_EQ(label(make(2026, 1, 1, 3, 5)), "9:05 PM CST 31 DEC 25");
    EXPECT_EQ(label(make(2026, 1, 1, 6, 0)), "12:00 AM CST  1 JAN 26");
    EXPECT_EQ(label(make(2026, 1, 1, 18, 0)), "12:00 PM CST  1 JAN 26");
    ASSERT_EQ(DATE_set_TZ("+IST:5.5"), 1);
    EXPECT_EQ(label(d), "12:00 PM IST  4 DEC 26");
    EXPECT_EQ(DATE_set_TZ("+EST:abc"), -1);
    EXPECT_EQ(label(d), "12:00 PM IST  4 DEC 26"); // a bad zone changes nothing
    ASSERT_EQ(DATE_set_TZ("+LONGNAME:0"), 1);
    EXPECT_EQ(label(d), "6:30 AM LONG  4 DEC 26");
}

TEST_F(DateTest, DecodeLabelPatterns) {
    DATE d;
    ASSERT_EQ(DATE_decode_label("0630Z  4 DEC 26", &d), 1);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 20261204);
    EXPECT_EQ(d.hour * 100 + d.minute, 630);
    EXPECT_EQ(d.julian, 338);
    ASSERT_EQ(DATE_decode_label("GOES-16 IR  1845Z 14 MAR 99", &d), 1);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 19990314);
    EXPECT_EQ(d.hour * 100 + d.minute, 1845);
    ASSERT_EQ(DATE_decode_label(" 630Z  4 DEC 26", &d), 1); // one-digit hour
    EXPECT_EQ(d.hour * 100 + d.minute, 630);
    ASSERT_EQ(DATE_decode_label("Visible 06:30:15Z  4 DEC 26", &d), 1);
    EXPECT_EQ(d.hour * 10000 + d.minute * 100 + d.second, 63015);
    ASSERT_EQ(DATE_decode_label("Radar 18Z 31 JAN 49", &d), 1);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 20490131);
    EXPECT_EQ(d.hour, 18);
    EXPECT_EQ(d.minute, -9999);
    ASSERT_EQ(DATE_decode_label("26 12 04 06", &d), 1);
    EXPECT_EQ(d.year * 1000000 + d.month * 10000 + d.day * 100 + d.hour, 2026120406);
    EXPECT_EQ(DATE_decode_label("1:30 AM EST  4 DEC 26", &d), 0);
    EXPECT_EQ(DATE_decode_label("0630Z  4 XYZ 26", &d), 0);
    EXPECT_EQ(DATE_decode_label("", &d), 0);
    EXPECT_EQ(DATE_decode_label(nullptr, &d), 0);
}

TEST_F(DateTest, CurrentStringShape) {
    std::string s;
    DATE_get_current_str(s);
    ASSERT_EQ(s.size(), 20u) << s;
    EXPECT_NE(DATE_decode_month(s.substr(3, 3).c_str()), 0) << s;
    EXPECT_EQ(s.substr(9, 2), "  ");
    EXPECT_EQ(s.back(), 'Z');
}

} // namespace
