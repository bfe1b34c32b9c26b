#include "core/base/date.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/base/errors.h"
#include "tests/support/scoped_env.h"

namespace tuv {
namespace {

// Every case runs in UTC unless it switches zone itself, so expected second
// counts do not depend on the machine's zone.
class date_test : public ::testing::Test {
  protected:
    void SetUp() override { use_zone("UTC"); }
    void TearDown() override {
        zone_.reset();
        tzset();
    }

    // The Windows C runtime reads TZ only as "XXX[+-]h[YYY]", without the
    // daylight-saving rules of named zones.
    static bool have_zone(const std::string& zone) {
#ifdef _WIN32
        (void)zone;
        return false;
#else
        return std::filesystem::exists("/usr/share/zoneinfo/" + zone);
#endif
    }

    void use_zone(const std::string& zone) {
        zone_.reset();
        zone_ = std::make_unique<test::scoped_env>("TZ", zone);
        tzset();
    }

    static std::string failure_message(const std::string& text) {
        try {
            date d(text);
        } catch (const invalid_date_exception& e) {
            return e.what();
        }
        return "<no exception>";
    }

    std::unique_ptr<test::scoped_env> zone_;
};

TEST_F(date_test, text_gives_seconds_since_epoch) {
    const date d("2008-03-09 14:05:00");
    EXPECT_EQ(d.seconds(), 1205071500);
    EXPECT_FALSE(d.changed());
}

TEST_F(date_test, unpadded_fields_read_the_same) {
    EXPECT_EQ(date("2008-3-9 14:5:0").seconds(), 1205071500);
}

TEST_F(date_test, wrong_separator_throws_invalid_date) {
    EXPECT_EQ(failure_message("2008/03/09 14:05:00"), "Invalid date format");
}

TEST_F(date_test, hour_24_fails) {
    EXPECT_EQ(failure_message("2008-03-09 24:00:00"), "Invalid date format");
}

TEST_F(date_test, minute_60_fails) {
    EXPECT_EQ(failure_message("2008-03-09 14:60:00"), "Invalid date format");
}

TEST_F(date_test, incomplete_text_fails) {
    EXPECT_EQ(failure_message("2008-03-09"), "Invalid date format");
    EXPECT_EQ(failure_message(""), "Invalid date format");
}

TEST_F(date_test, now_gives_current_time) {
    const std::time_t before = std::time(nullptr);
    const date d("now");
    const std::time_t after = std::time(nullptr);
    EXPECT_GE(d.seconds(), before);
    EXPECT_LE(d.seconds(), after);
    EXPECT_FALSE(d.changed());
}

TEST_F(date_test, now_must_be_exact) {
    EXPECT_EQ(failure_message("Now"), "Invalid date format");
    EXPECT_EQ(failure_message(" now"), "Invalid date format");
    EXPECT_EQ(failure_message("now "), "Invalid date format");
}

TEST_F(date_test, text_beyond_the_date_is_refused) {
    EXPECT_EQ(failure_message("2026-01-01 10:00:00xyz"), "Invalid date format");
    EXPECT_EQ(failure_message("2026-01-01 10:00:00 "), "Invalid date format");
    EXPECT_EQ(failure_message(std::string("2026-01-01 10:00:00\0x", 21)), "Invalid date format");
}

TEST_F(date_test, fields_the_calendar_does_not_have_are_refused) {
    for (const char* text : {"2026-02-30 10:00:00", "2026-02-29 10:00:00", "2026-04-31 00:00:00",
                             "2026-01-01 10:00:60", "2026-12-31 23:59:61"}) {
        EXPECT_EQ(failure_message(text), "Invalid date format") << text;
    }
    EXPECT_EQ(date("2024-02-29 10:00:00").to_text(), "2024-02-29 10:00:00");
}

TEST_F(date_test, an_hour_skipped_by_daylight_saving_is_refused_a_repeated_one_taken) {
    if (!have_zone("Europe/Berlin")) GTEST_SKIP() << "no named time zones here";
    use_zone("Europe/Berlin");
    EXPECT_EQ(failure_message("2024-03-31 02:30:00"), "Invalid date format");
    EXPECT_EQ(date("2024-10-27 02:30:00").to_text(), "2024-10-27 02:30:00");
}

TEST_F(date_test, a_day_starts_at_midnight_or_after_a_gap_that_skips_it) {
    std::tm day{};
    day.tm_year = 124;
    day.tm_mon = 1;
    day.tm_mday = 30;
    EXPECT_EQ(local_day_start(day), std::nullopt);
    day.tm_mday = 29;
    EXPECT_EQ(local_day_start(day), std::optional<std::time_t>(1709164800));
    if (!have_zone("America/Sao_Paulo")) GTEST_SKIP() << "no named time zones here";
    use_zone("America/Sao_Paulo");
    day = std::tm{};
    day.tm_year = 118;
    day.tm_mon = 10;
    day.tm_mday = 4;  // clocks went from 00:00 to 01:00 (UTC-2)
    EXPECT_EQ(local_day_start(day), std::optional<std::time_t>(1541300400));
}

TEST_F(date_test, to_text_writes_the_format) {
    const std::string text = date("2008-03-09 14:05:00").to_text();
    EXPECT_EQ(text, "2008-03-09 14:05:00");
    EXPECT_EQ(text.size(), 19u);
    EXPECT_EQ(date().to_text(), "1970-01-01 00:00:00");
}

TEST_F(date_test, to_tm_gives_local_fields) {
    std::tm tm{};
    date(std::time_t{1205071500}).to_tm(tm);
    EXPECT_EQ(tm.tm_year, 108);
    EXPECT_EQ(tm.tm_mon, 2);
    EXPECT_EQ(tm.tm_mday, 9);
    EXPECT_EQ(tm.tm_hour, 14);
    EXPECT_EQ(tm.tm_min, 5);
    EXPECT_EQ(tm.tm_sec, 0);
    EXPECT_EQ(tm.tm_wday, 0);  // a Sunday
}

TEST_F(date_test, dates_after_2038_round_trip) {
    const date d("2100-01-01 00:00:00");
    EXPECT_EQ(d.seconds(), 4102444800);
    EXPECT_EQ(date(d.seconds()).to_text(), "2100-01-01 00:00:00");
}

TEST_F(date_test, five_digit_year_gives_empty_text) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows C runtime has no local time after the year 3000";
#else
    EXPECT_EQ(date(std::time_t{253402300799}).to_text(), "9999-12-31 23:59:59");
    EXPECT_EQ(date(std::time_t{253402300800}).to_text(), "");
#endif
}

TEST_F(date_test, set_assigns_and_marks_changed) {
    date d;
    d.set("2008-03-09 14:05:00");
    EXPECT_EQ(d.seconds(), 1205071500);
    EXPECT_TRUE(d.changed());
    d.set_changed(false);
    EXPECT_FALSE(d.changed());
}

TEST_F(date_test, failed_set_leaves_date_as_it_was) {
    date fresh(std::time_t{42});
    EXPECT_THROW(fresh.set("2008-03-09 24:00:00"), invalid_date_exception);
    EXPECT_EQ(fresh.seconds(), 42);
    EXPECT_FALSE(fresh.changed());

    date assigned;
    assigned.set("2008-03-09 14:05:00");
    EXPECT_THROW(assigned.set("yesterday"), invalid_date_exception);
    EXPECT_EQ(assigned.seconds(), 1205071500);
    EXPECT_TRUE(assigned.changed());
}

TEST_F(date_test, summer_and_winter_times_round_trip_with_daylight_saving) {
    if (!have_zone("Europe/Berlin")) GTEST_SKIP() << "no named time zones here";
    use_zone("Europe/Berlin");

    const date summer("2008-07-01 12:00:00");
    EXPECT_EQ(summer.seconds(), 1214906400);  // 10:00 UTC, daylight saving in force
    EXPECT_EQ(summer.to_text(), "2008-07-01 12:00:00");

    const date winter("2008-01-01 12:00:00");
    EXPECT_EQ(winter.seconds(), 1199185200);  // 11:00 UTC
    EXPECT_EQ(winter.to_text(), "2008-01-01 12:00:00");

    std::tm tm{};
    date(summer.to_text()).to_tm(tm);
    EXPECT_EQ(tm.tm_hour, 12);
    EXPECT_EQ(tm.tm_mday, 1);
    EXPECT_EQ(tm.tm_mon, 6);
    EXPECT_GT(tm.tm_isdst, 0);
}

}  // namespace
}  // namespace tuv
