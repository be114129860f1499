// Dates: seconds since 1970 both ways, calendar helpers, labels in every time-zone mode.
#include "base/date.h"

#include <array>

#include <gtest/gtest.h>

namespace {

constexpr int M = -9999;

DATE make(int y, int mo, int d, int h = M, int mi = M, int s = M) {
    return {y, mo, d, M, M, h, mi, s}; // julian and weekday missing
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
    DATE d = make(26, 13, 32, 25, 61, 61); // the record itself is normalised
    DATE_num_sec(&d);
    EXPECT_EQ(d.year * 1000000 + d.month * 10000 + d.day * 100 + d.hour, 2026010100);
}

// Expected fields from `date -u -d @N '+%s %Y %m %d %j %w %H %M %S'`.
TEST_F(DateTest, GmdateMatchesIndependentCalendar) {
    using Row = std::array<int64_t, 9>; // seconds year month day julian wday hour minute second
    const Row rows[] = {{0, 1970, 1, 1, 1, 4, 0, 0, 0},
                        {-1, 1969, 12, 31, 365, 3, 23, 59, 59},
                        {951825600, 2000, 2, 29, 60, 2, 12, 0, 0},
                        {2147483648LL, 2038, 1, 19, 19, 2, 3, 14, 8},
                        {-2208988800LL, 1900, 1, 1, 1, 1, 0, 0, 0},
                        {4107542400LL, 2100, 3, 1, 60, 1, 0, 0, 0},
                        {1796365800, 2026, 12, 4, 338, 5, 6, 30, 0},
                        {253402300799LL, 9999, 12, 31, 365, 5, 23, 59, 59},
                        {-62135596800LL, 1, 1, 1, 1, 1, 0, 0, 0}};
    for (const Row &r : rows) {
        DATE d;
        ASSERT_EQ(DATE_get_gmdate(&r[0], &d), 1);
        EXPECT_EQ((Row{r[0], d.year, d.month, d.day, d.julian, d.wday, d.hour, d.minute, d.second}),
                  r);
        if (r[1] >= 200) { // smaller years are read as two-digit years
            EXPECT_EQ(DATE_num_sec(&d), r[0]);
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
    int y = 0, m = 0, d = 0;
    ASSERT_EQ(DATE_monday_julian(2024, 60, &m, &d), 1);
    EXPECT_EQ(m * 100 + d, 229);
    ASSERT_EQ(DATE_monday_julian(2023, 365, &m, &d), 1);
    EXPECT_EQ(m * 100 + d, 1231);
    EXPECT_EQ(DATE_monday_julian(2023, 366, &m, &d), -1);
    DATE_days_date(-1, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 19691231);
    DATE_time_date(-1, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 235959);
    EXPECT_STREQ(DATE_month(12), "DEC");
    EXPECT_STREQ(DATE_month_lower(1), "jan");
    EXPECT_STREQ(DATE_month(13), "");
    for (auto [text, month] : {std::pair{"Sep", 9}, {"dec", 12}, {"xyz", 0}, {"de", 0}})
        EXPECT_EQ(DATE_decode_month(text), month) << text;
}

TEST_F(DateTest, LabelsForEveryPartialFormAndTimeZoneMode) {
    const DATE d = make(2026, 12, 4, 6, 30), h = make(2026, 12, 4, 6);
    EXPECT_EQ(label(make(26, 12, 4, 6, 30)), "0630Z  4 DEC 26");
    EXPECT_EQ(label(h), "06Z  4 DEC 26");
    EXPECT_EQ(label(make(2026, 12, 14)), "14 DEC 26");
    EXPECT_EQ(label(make(2026, 12, M)), "DEC 26");
    EXPECT_EQ(label(make(2007, M, M)), "07");
    EXPECT_EQ(label(make(M, M, M, 5, 7)), "0507Z  1 JAN 80");
    ASSERT_EQ(DATE_set_TZ("+EST:-5"), 1);
    EXPECT_EQ(label(d), "1:30 AM EST  4 DEC 26");
    EXPECT_EQ(label(h), "1 AM EST  4 DEC 26");
    ASSERT_EQ(DATE_set_TZ("-EST:-5"), 1);
    EXPECT_EQ(label(d), "1:30 AM EST [0630Z]  4 DEC 26");
    EXPECT_EQ(label(h), "1 AM EST [06Z]  4 DEC 26");
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
    std::string seq;
    DATE_make_seq(&d, seq);
    EXPECT_EQ(seq, "202612040630");
}

TEST_F(DateTest, DecodeLabelPatterns) {
    const int X = 1 << 30; // not checked
    const struct {
        const char *text;
        int ymd, h, mi, s;
    } rows[] = {{"0630Z  4 DEC 26", 20261204, 6, 30, X},
                {"GOES-16 IR  1845Z 14 MAR 99", 19990314, 18, 45, X},
                {" 630Z  4 DEC 26", 20261204, 6, 30, X}, // one-digit hour
                {"Visible 06:30:15Z  4 DEC 26", 20261204, 6, 30, 15},
                {"Radar 18Z 31 JAN 49", 20490131, 18, M, X},
                {"26 12 04 06", 20261204, 6, X, X}};
    for (const auto &r : rows) {
        DATE d;
        ASSERT_EQ(DATE_decode_label(r.text, &d), 1) << r.text;
        EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, r.ymd) << r.text;
        EXPECT_EQ(d.hour, r.h) << r.text;
        EXPECT_EQ(r.mi == X ? X : d.minute, r.mi) << r.text;
        EXPECT_EQ(r.s == X ? X : d.second, r.s) << r.text;
    }
    DATE d;
    ASSERT_EQ(DATE_decode_label(rows[0].text, &d), 1);
    EXPECT_EQ(d.julian, 338);
    for (const char *bad : {"1:30 AM EST  4 DEC 26", "0630Z  4 XYZ 26", "", (const char *)nullptr})
        EXPECT_EQ(DATE_decode_label(bad, &d), 0) << (bad ? bad : "null");
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
