#include "core/base/parse_time.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tuv {
namespace {

class parse_time_test : public ::testing::Test {
  protected:
    // Fields start at a marker so tests can see which ones were written.
    void SetUp() override {
        tm_.tm_year = tm_.tm_mon = tm_.tm_mday = 77;
        tm_.tm_hour = tm_.tm_min = tm_.tm_sec = 77;
        tm_.tm_isdst = tm_.tm_wday = tm_.tm_yday = 77;
    }

    // The input left after parsing, or "<fail>" when the parse fails.
    std::string rest(const char* input, const char* format) {
        const char* end = parse_time(input, format, tm_);
        return end == nullptr ? "<fail>" : std::string(end);
    }

    std::tm tm_{};
};

TEST_F(parse_time_test, full_date_sets_every_field) {
    EXPECT_EQ(rest("2008-03-09 14:05:00", "%Y-%m-%d %H:%M:%S"), "");
    EXPECT_EQ(tm_.tm_year, 108);
    EXPECT_EQ(tm_.tm_mon, 2);
    EXPECT_EQ(tm_.tm_mday, 9);
    EXPECT_EQ(tm_.tm_hour, 14);
    EXPECT_EQ(tm_.tm_min, 5);
    EXPECT_EQ(tm_.tm_sec, 0);
}

TEST_F(parse_time_test, single_digit_fields_parse_alike) {
    EXPECT_EQ(rest("2008-3-9 14:5:0", "%Y-%m-%d %H:%M:%S"), "");
    EXPECT_EQ(tm_.tm_year, 108);
    EXPECT_EQ(tm_.tm_mon, 2);
    EXPECT_EQ(tm_.tm_mday, 9);
    EXPECT_EQ(tm_.tm_min, 5);
    EXPECT_EQ(tm_.tm_sec, 0);
}

TEST_F(parse_time_test, returns_pointer_after_consumed_input) {
    const char* input = "14:05 and more";
    EXPECT_EQ(parse_time(input, "%H:%M", tm_), input + 5);
}

TEST_F(parse_time_test, fields_not_in_format_keep_their_values) {
    EXPECT_EQ(rest("14:05", "%H:%M"), "");
    EXPECT_EQ(tm_.tm_year, 77);
    EXPECT_EQ(tm_.tm_mday, 77);
    EXPECT_EQ(tm_.tm_sec, 77);
    EXPECT_EQ(tm_.tm_isdst, 77);
    EXPECT_EQ(tm_.tm_wday, 77);
}

TEST_F(parse_time_test, ordinary_character_must_match) {
    EXPECT_EQ(rest("2008/03/09", "%Y-%m-%d"), "<fail>");
}

TEST_F(parse_time_test, input_ending_early_fails) {
    EXPECT_EQ(rest("2008-03", "%Y-%m-%d"), "<fail>");
    EXPECT_EQ(rest("2008-03-", "%Y-%m-%d"), "<fail>");
    EXPECT_EQ(rest("", "x"), "<fail>");
}

TEST_F(parse_time_test, numeric_field_needs_a_digit) {
    EXPECT_EQ(rest("-5", "%M"), "<fail>");
    EXPECT_EQ(rest(" 5", "%M"), "<fail>");
    EXPECT_EQ(rest("", "%Y"), "<fail>");
}

TEST_F(parse_time_test, white_space_matches_any_run_or_none) {
    EXPECT_EQ(rest("1 \t\n 2", "%H %M"), "");
    EXPECT_EQ(tm_.tm_min, 2);
    EXPECT_EQ(rest("1:2", "%H :%M"), "");
    EXPECT_EQ(rest("  x", " x"), "");
}

TEST_F(parse_time_test, double_percent_matches_literal_percent) {
    EXPECT_EQ(rest("%5", "%%%M"), "");
    EXPECT_EQ(tm_.tm_min, 5);
    EXPECT_EQ(rest("5", "%%%M"), "<fail>");
}

TEST_F(parse_time_test, trailing_input_is_left_unread) {
    EXPECT_EQ(rest("2008-03-09 14:05:00Z", "%Y-%m-%d %H:%M:%S"), "Z");
}

TEST_F(parse_time_test, year_reads_at_most_four_digits) {
    EXPECT_EQ(rest("20081", "%Y"), "1");
    EXPECT_EQ(tm_.tm_year, 108);
    EXPECT_EQ(rest("0", "%Y"), "");
    EXPECT_EQ(tm_.tm_year, -1900);
}

TEST_F(parse_time_test, digit_that_would_exceed_limit_is_left) {
    EXPECT_EQ(rest("13", "%m"), "3");
    EXPECT_EQ(tm_.tm_mon, 0);
    EXPECT_EQ(rest("61", "%S"), "");
    EXPECT_EQ(tm_.tm_sec, 61);
    EXPECT_EQ(rest("62", "%S"), "2");
    EXPECT_EQ(tm_.tm_sec, 6);
    EXPECT_EQ(rest("62", "%S:"), "<fail>");
    EXPECT_EQ(rest("24", "%H"), "4");
}

TEST_F(parse_time_test, values_out_of_range_fail) {
    EXPECT_EQ(rest("0", "%m"), "<fail>");
    EXPECT_EQ(rest("00", "%d"), "<fail>");
    EXPECT_EQ(rest("24:00", "%H:%M"), "<fail>");
    EXPECT_EQ(rest("10:60:00", "%H:%M:%S"), "<fail>");
    EXPECT_EQ(rest("60", "%M"), "0");
    EXPECT_EQ(rest("32", "%e"), "2");
}

TEST_F(parse_time_test, leading_zeros_count_as_digits) {
    EXPECT_EQ(rest("012", "%m"), "2");
    EXPECT_EQ(tm_.tm_mon, 0);
    EXPECT_EQ(rest("0012", "%m"), "<fail>");
    EXPECT_EQ(rest("09", "%H"), "");
    EXPECT_EQ(tm_.tm_hour, 9);
}

TEST_F(parse_time_test, aliases_fill_the_same_fields) {
    EXPECT_EQ(rest("7 8", "%e %k"), "");
    EXPECT_EQ(tm_.tm_mday, 7);
    EXPECT_EQ(tm_.tm_hour, 8);
}

TEST_F(parse_time_test, composite_conversions_expand_in_place) {
    EXPECT_EQ(rest("03/09/08 14:05:07!", "%D %T"), "!");
    EXPECT_EQ(tm_.tm_mon, 2);
    EXPECT_EQ(tm_.tm_mday, 9);
    EXPECT_EQ(tm_.tm_year, 108);
    EXPECT_EQ(tm_.tm_sec, 7);
    EXPECT_EQ(rest("23:59", "%R"), "");
    EXPECT_EQ(tm_.tm_hour, 23);
    EXPECT_EQ(tm_.tm_min, 59);
    EXPECT_EQ(rest("14-05", "%R"), "<fail>");
}

TEST_F(parse_time_test, two_digit_year_pivots_at_69) {
    EXPECT_EQ(rest("01/01/69", "%D"), "");
    EXPECT_EQ(tm_.tm_year, 69);
    EXPECT_EQ(rest("01/01/68", "%D"), "");
    EXPECT_EQ(tm_.tm_year, 168);
    EXPECT_EQ(rest("01/01/00", "%D"), "");
    EXPECT_EQ(tm_.tm_year, 100);
}

TEST_F(parse_time_test, unknown_conversion_fails) {
    EXPECT_EQ(rest("Mon", "%a"), "<fail>");
    EXPECT_EQ(rest("x", "%q"), "<fail>");
}

TEST_F(parse_time_test, lone_percent_at_end_of_format_fails) {
    EXPECT_EQ(rest("12%", "%H%"), "<fail>");
}

}  // namespace
}  // namespace tuv
