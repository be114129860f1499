#include "base/string.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> split(const char *text, char sep, int expect_rc = 0) {
    int count = -1;
    std::vector<std::string> list{"stale"};
    EXPECT_EQ(parse_string(text, sep, &count, &list), expect_rc) << (text ? text : "(null)");
    EXPECT_EQ(static_cast<size_t>(count), list.size());
    return list;
}

using V = std::vector<std::string>;

TEST(ParseString, FieldsAndSeparators) {
    EXPECT_EQ(split("a,b,c", ','), (V{"a", "b", "c"}));
    EXPECT_EQ(split("a,,c", ','), (V{"a", "", "c"}));
    EXPECT_EQ(split("a,b,,,", ','), (V{"a", "b"}));
    EXPECT_EQ(split(",a", ','), (V{"", "a"}));
    EXPECT_EQ(split("one", ','), (V{"one"}));
    EXPECT_EQ(split("x\ny z\n", '\n'), (V{"x", "y z"}));
    EXPECT_EQ(split("", ',', -1), V{});
    EXPECT_EQ(split(nullptr, ',', -1), V{});
    EXPECT_EQ(split(",,,", ',', -1), V{});
    V list{"a"};
    free_parsed_array(&list);
    EXPECT_TRUE(list.empty());
}

TEST(StringHelpers, CaseInsensitiveAndFormatting) {
    EXPECT_TRUE(str_equal_nocase("Plot_Domain", "plot_domain"));
    EXPECT_FALSE(str_equal_nocase("plot", "plot_domain"));
    EXPECT_TRUE(str_prefix_nocase("NAme", "name", 2));
    EXPECT_TRUE(str_prefix_nocase("TEXT_ul", "text", 4));
    EXPECT_FALSE(str_prefix_nocase("te", "text", 4));   // text too short
    EXPECT_FALSE(str_prefix_nocase("textx", "tex", 4)); // key too short
    EXPECT_EQ(str_lower("AbC-1"), "abc-1");
    EXPECT_EQ(str_trim(" \t value \r\n"), "value");
    EXPECT_EQ(str_trim("   "), "");
    EXPECT_EQ(str_split_words(" \ta  b\n\r\vc "), (V{"a", "b", "c"}));
    EXPECT_EQ(str_split_words(" \t\n"), V{});
    EXPECT_EQ(str_printf("%03d|%-4s|%.2f", 7, "ab", 1.005), "007|ab  |1.00");
    std::string big(5000, 'x');
    EXPECT_EQ(str_printf("<%s>", big.c_str()).size(), 5002u);
}

} // namespace
