#include "tools/search_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/base/date.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tests/support/test_vault.h"

namespace tuv::tools {
namespace {

class search_command_test : public ::testing::Test {
  protected:
    void SetUp() override {
        docs = v.repo().catalogue().create_directory("Docs", 1, "2024-01-02 03:04:05");
        report = v.repo().catalogue().create_file("report.txt", docs, 10, "2024-03-10 12:00:00",
                                                  "text/plain");
        // Written out of order: the dates come from the oldest and newest.
        change(report, CHANGE_MODIFIED, "2024-05-01 08:30:00", "second try");
        change(report, CHANGE_CREATED, "2024-03-10 12:00:00", "first draft");
        change(report, CHANGE_MODIFIED, "2024-12-31 23:59:59", "final");
        notes = v.repo().catalogue().create_file("notes.txt", 1, 5, "2024-03-12 09:00:00",
                                                 "text/plain");
        change(notes, CHANGE_CREATED, "2024-03-12 09:00:00", "first draft of notes");
    }

    // `when` is a local time in date_format.
    void change(std::int64_t id, int kind, const std::string& when,
                const std::string& description) {
        v.repo().journal().insert_change(id, kind, date(when), "", description);
    }

    std::string run(const search_options& options) {
        std::ostringstream out;
        run_search(v.repo(), options, out);
        return out.str();
    }

    std::string error_of(const search_options& options) {
        try {
            run(options);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }

    test::test_vault v;
    std::int64_t docs = 0;
    std::int64_t report = 0;
    std::int64_t notes = 0;
};

TEST_F(search_command_test, lists_path_versions_and_first_and_last_dates) {
    EXPECT_EQ(run({}),
              "\\Docs\\report.txt\t3\t2024-03-10 12:00:00\t2024-12-31 23:59:59\n"
              "\\notes.txt\t1\t2024-03-12 09:00:00\t2024-03-12 09:00:00\n");
}

TEST_F(search_command_test, name_and_description_narrow_the_search) {
    EXPECT_EQ(run({.name = "NOTES"}), "\\notes.txt\t1\t2024-03-12 09:00:00\t2024-03-12 09:00:00\n");
    EXPECT_EQ(run({.description = "final"}),
              "\\Docs\\report.txt\t3\t2024-03-10 12:00:00\t2024-12-31 23:59:59\n");
    EXPECT_EQ(run({.name = "report", .description = "of notes"}), "");
}

TEST_F(search_command_test, under_keeps_the_files_of_that_directory) {
    EXPECT_EQ(run({.under = "\\Docs"}),
              "\\Docs\\report.txt\t3\t2024-03-10 12:00:00\t2024-12-31 23:59:59\n");
}

TEST_F(search_command_test, period_runs_from_the_first_day_to_the_end_of_the_last) {
    EXPECT_EQ(run({.from = "2024-03-10", .to = "2024-03-10"}),
              "\\Docs\\report.txt\t3\t2024-03-10 12:00:00\t2024-12-31 23:59:59\n");
    EXPECT_EQ(run({.from = "2024-03-01", .to = "2024-03-09"}), "");
    EXPECT_EQ(run({.from = "2024-03-11", .to = "2024-03-12"}),
              "\\notes.txt\t1\t2024-03-12 09:00:00\t2024-03-12 09:00:00\n");
}

TEST_F(search_command_test, periods_beyond_32_bit_times_find_their_files) {
    const std::int64_t late =
        v.repo().catalogue().create_file("late", 1, 1, "2038-01-19 23:00:00", "x/y");
    change(late, CHANGE_CREATED, "2038-01-19 23:00:00", "late");
    EXPECT_EQ(run({.from = "2026-01-01", .to = "2038-01-19"}),
              "\\late\t1\t2038-01-19 23:00:00\t2038-01-19 23:00:00\n");
#ifdef _WIN32
    GTEST_SKIP() << "the Windows C runtime has no local time before 1970";
#else
    const std::int64_t early =
        v.repo().catalogue().create_file("early", 1, 1, "1901-12-13 00:30:00", "x/y");
    change(early, CHANGE_CREATED, "1901-12-13 00:30:00", "early");
    EXPECT_EQ(run({.from = "1901-12-13", .to = "1901-12-13"}),
              "\\early\t1\t1901-12-13 00:30:00\t1901-12-13 00:30:00\n");
#endif
}

TEST_F(search_command_test, bad_options_are_reported) {
    EXPECT_EQ(error_of({.from = "2024-03-10"}), "--from and --to must be given together");
    EXPECT_EQ(error_of({.to = "2024-03-10"}), "--from and --to must be given together");
    EXPECT_EQ(error_of({.from = "2024-02-30", .to = "2024-03-01"}),
              "Invalid date \"2024-02-30\" for --from: expected YYYY-MM-DD");
    EXPECT_EQ(error_of({.from = "2024-03-01", .to = "2024-3-1"}),
              "Invalid date \"2024-3-1\" for --to: expected YYYY-MM-DD");
    EXPECT_EQ(error_of({.from = "2024-03-01", .to = "2024-03-01 10:00:00"}),
              "Invalid date \"2024-03-01 10:00:00\" for --to: expected YYYY-MM-DD");
    EXPECT_EQ(error_of({.under = "Docs"}),
              "\"Docs\" is not a full vault path: it must begin with \"\\\"");
    EXPECT_EQ(error_of({.under = "\\notes.txt"}), "\\notes.txt not a directory");
    EXPECT_EQ(error_of({.under = "\\Nope"}), "No such file or directory: Nope");
}

}  // namespace
}  // namespace tuv::tools
