#include "core/vault/journal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using test::failure;

// The first `fields` of "YYYY-MM-DD hh:mm:ss" (1: year ... 6: second): grouped
// levels only promise the fields they group by.
std::vector<std::string> stamps(const std::vector<std::tm>& times, int fields) {
    static constexpr int widths[] = {0, 4, 7, 10, 13, 16, 19};
    std::vector<std::string> out;
    for (const std::tm& t : times) {
        char text[96];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        out.emplace_back(text, widths[fields]);
    }
    return out;
}

const std::string not_found = "Record Not Found : Couldn't find logs in journal ";

class journal_test : public ::testing::Test {
  protected:
    journal& j() { return v.repo().journal(); }

    // `when` is a local time in date_format.
    void add(std::int64_t inode, int changetype, const std::string& when,
             const std::string& source = "") {
        j().insert_change(inode, changetype, date(when), source, "");
    }

    std::vector<std::tm> range(std::int64_t inode, int from, int to, int level,
                               int changetype = 0) {
        std::vector<std::tm> out;
        j().get_change_range(inode, from, to, level, changetype, out);
        return out;
    }

    std::string range_failure(std::int64_t inode, int from, int to, int level, int changetype = 0) {
        return failure<rec_not_found_exception>([&] { range(inode, from, to, level, changetype); });
    }

    // Inode 5's history, written out of order so that the readers must sort.
    void add_history() {
        add(5, CHANGE_MODIFIED, "2005-06-20 14:00:00");
        add(5, CHANGE_CREATED, "2005-01-02 08:00:00");
        add(5, CHANGE_MODIFIED, "2008-02-01 12:00:00");
        add(5, CHANGE_MODIFIED, "2005-06-01 09:00:00");
        add(5, CHANGE_MODIFIED, "2005-06-20 09:30:00");
        add(5, CHANGE_MODIFIED, "2006-03-01 11:00:00");
        add(5, CHANGE_MODIFIED, "2005-07-01 10:00:00");
    }

    // Several inodes; within one inode the earliest change is written last.
    void add_logs() {
        add(30, CHANGE_MODIFIED, "2006-04-10 08:00:00");
        add(20, CHANGE_MODIFIED, "2006-05-01 07:00:00");
        add(30, CHANGE_MODIFIED, "2007-01-05 06:00:00");
        add(10, CHANGE_CREATED, "2007-01-03 05:00:00");
        add(20, CHANGE_CREATED, "2006-04-05 10:00:00");
        add(30, CHANGE_MODIFIED, "2006-04-02 09:00:00");
    }

    std::map<std::int64_t, journal_log> logs(int from, int to, int level, int changetype = 0) {
        std::map<std::int64_t, journal_log> out;
        j().get_journal_logs(from, to, level, changetype, out);
        return out;
    }

    // "inode:changetype@stamp" per entry, in map order.
    static std::vector<std::string> describe(const std::map<std::int64_t, journal_log>& out) {
        std::vector<std::string> text;
        for (const auto& [inode, log] : out) {
            EXPECT_EQ(log.inode, inode);
            text.push_back(std::to_string(inode) + ":" + std::to_string(log.changetype) + "@" +
                           stamps({log.time}, 6)[0]);
        }
        return text;
    }

    std::vector<std::int64_t> sources(const std::string& text) {
        std::vector<std::int64_t> out;
        j().inodes_for_source(text, out);
        return out;
    }

    test::test_vault v;
};

TEST_F(journal_test, insert_change_writes_one_row) {
    j().insert_change(42, CHANGE_MODIFIED, date(std::string("2009-03-14 15:09:26")),
                      "C:\\src\\a.txt", "rw");
    auto row = v.database().query("SELECT * FROM journal WHERE inode = ?", {42});
    ASSERT_TRUE(row->next());
    EXPECT_EQ(row->get_int("changetype"), CHANGE_MODIFIED);
    EXPECT_EQ(row->get_int("year"), 2009);
    EXPECT_EQ(row->get_int("month"), 3);
    EXPECT_EQ(row->get_int("day"), 14);
    EXPECT_EQ(row->get_int("hour"), 15);
    EXPECT_EQ(row->get_int("minute"), 9);
    EXPECT_EQ(row->get_int("second"), 26);
    EXPECT_EQ(row->get_string("src_path"), "C:\\src\\a.txt");
    EXPECT_EQ(row->get_string("attributes"), "rw");
    EXPECT_FALSE(row->next());
}

TEST_F(journal_test, texts_are_stored_verbatim) {
    const std::string quoted = "it's a 'quoted'; DROP TABLE journal; --";
    const std::string foreign = "Z\xC3\xBCrich/\xE6\x97\xA5\xE6\x9C\xAC.txt";
    j().insert_change(7, CHANGE_CREATED, date(std::string("2009-01-01 00:00:00")), quoted, foreign);
    j().insert_change(8, CHANGE_CREATED, date(std::string("2009-01-01 00:00:00")), "", "");
    auto rows = v.database().query(
        "SELECT src_path, attributes FROM journal WHERE inode IN (7, 8) ORDER BY inode");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("src_path"), quoted);
    EXPECT_EQ(rows->get_string("attributes"), foreign);
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string("src_path"), "");
    EXPECT_EQ(rows->get_string("attributes"), "");
}

TEST_F(journal_test, all_level_lists_every_change_oldest_first) {
    add(9, CHANGE_MODIFIED, "2008-05-01 10:00:00");
    add(9, CHANGE_CREATED, "2007-12-31 23:59:59");
    add(9, CHANGE_MODIFIED, "2008-05-01 09:59:59");
    EXPECT_THAT(stamps(range(9, 0, 0, LEVEL_ALL), 6),
                ElementsAre("2007-12-31 23:59:59", "2008-05-01 09:59:59", "2008-05-01 10:00:00"));

    const auto created = range(9, 0, 0, LEVEL_ALL, CHANGE_CREATED);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_THAT(stamps(created, 6), ElementsAre("2007-12-31 23:59:59"));
    EXPECT_EQ(created[0].tm_year, 107);
    EXPECT_EQ(created[0].tm_mon, 11);
    // The journal holds no weekday, day of year or daylight flag.
    EXPECT_EQ(created[0].tm_wday, 0);
    EXPECT_EQ(created[0].tm_yday, 0);
    EXPECT_EQ(created[0].tm_isdst, 0);
}

TEST_F(journal_test, versions_come_oldest_first_with_each_seconds_first_description) {
    // The root is entry 1; a file under it has the rows.
    const std::int64_t id =
        v.repo().catalogue().create_file("f.txt", 1, 0, "2007-01-01 00:00:00", "text/plain");
    j().insert_change(id, CHANGE_MODIFIED, date(std::string("2008-05-01 10:00:00")), "", "second");
    j().insert_change(id, CHANGE_CREATED, date(std::string("2007-12-31 23:59:59")), "", "first");
    j().insert_change(id, CHANGE_MODIFIED, date(std::string("2008-05-01 10:00:00")), "", "later");
    j().insert_change(id + 1, CHANGE_MODIFIED, date(std::string("2008-01-01 00:00:00")), "", "x");
    std::vector<journal_version> out;
    j().get_versions(id, out);
    std::vector<std::tm> times;
    std::vector<std::string> descriptions;
    for (const journal_version& version : out) {
        times.push_back(version.time);
        descriptions.push_back(version.attributes);
        // The same description as a lookup by moment gives.
        EXPECT_EQ(version.attributes,
                  file_entry(v.repo(), id, "").attributes_at(date(stamps({version.time}, 6)[0])));
    }
    EXPECT_THAT(stamps(times, 6),
                ElementsAre("2007-12-31 23:59:59", "2008-05-01 10:00:00", "2008-05-01 10:00:00"));
    EXPECT_THAT(descriptions, ElementsAre("first", "second", "second"));

    out.clear();
    j().get_versions(id + 2, out);
    EXPECT_THAT(out, IsEmpty());
}

TEST_F(journal_test, years_level_gives_one_entry_per_year) {
    add_history();
    EXPECT_THAT(stamps(range(5, 0, 0, LEVEL_YEARS), 1), ElementsAre("2005", "2006", "2008"));
    EXPECT_THAT(stamps(range(5, 2006, 2007, LEVEL_YEARS), 1), ElementsAre("2006"));
    EXPECT_THAT(stamps(range(5, 0, 0, LEVEL_YEARS, CHANGE_MODIFIED), 1),
                ElementsAre("2005", "2006", "2008"));
    EXPECT_THAT(stamps(range(5, 0, 0, LEVEL_YEARS, CHANGE_CREATED), 1), ElementsAre("2005"));
    EXPECT_EQ(range_failure(5, 2009, 2010, LEVEL_YEARS), not_found);
}

TEST_F(journal_test, months_level_gives_one_entry_per_month_of_the_years) {
    add_history();
    EXPECT_THAT(stamps(range(5, 2005, 2006, LEVEL_MONTHS), 2),
                ElementsAre("2005-01", "2005-06", "2005-07", "2006-03"));
    EXPECT_THAT(stamps(range(5, 2005, 2005, LEVEL_MONTHS, CHANGE_MODIFIED), 2),
                ElementsAre("2005-06", "2005-07"));
    EXPECT_THAT(stamps(range(5, 2008, 2008, LEVEL_MONTHS), 2), ElementsAre("2008-02"));
}

TEST_F(journal_test, days_level_gives_one_entry_per_day_of_the_month) {
    add_history();
    EXPECT_THAT(stamps(range(5, 6, 2005, LEVEL_DAYS), 3), ElementsAre("2005-06-01", "2005-06-20"));
    EXPECT_THAT(stamps(range(5, 1, 2005, LEVEL_DAYS, CHANGE_CREATED), 3),
                ElementsAre("2005-01-02"));
    EXPECT_THAT(range(5, 7, 2005, LEVEL_DAYS), ::testing::SizeIs(1));
}

TEST_F(journal_test, no_rows_is_not_found_except_for_months_1_and_12) {
    add_history();
    EXPECT_EQ(range_failure(5, 6, 2006, LEVEL_DAYS), not_found);
    EXPECT_EQ(range_failure(5, 6, 2005, LEVEL_DAYS, CHANGE_CREATED), not_found);
    EXPECT_EQ(range_failure(77, 0, 0, LEVEL_ALL), not_found);

    for (const int month : {1, 12}) {
        std::vector<std::tm> out(1);
        out[0].tm_year = 99;
        EXPECT_NO_THROW(j().get_change_range(5, month, 2006, LEVEL_DAYS, 0, out)) << month;
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].tm_year, 99);
    }
}

TEST_F(journal_test, journal_logs_years_keep_each_inodes_earliest_change) {
    add_logs();
    EXPECT_THAT(describe(logs(2006, 2006, LEVEL_YEARS)),
                ElementsAre("20:1@2006-04-05 10:00:00", "30:4@2006-04-02 09:00:00"));
    EXPECT_THAT(describe(logs(0, 0, LEVEL_YEARS, CHANGE_MODIFIED)),
                ElementsAre("20:4@2006-05-01 07:00:00", "30:4@2006-04-02 09:00:00"));
    // All years include the root's creation at installation.
    const auto all = logs(0, 0, LEVEL_YEARS);
    std::vector<std::int64_t> keys;
    for (const auto& entry : all) keys.push_back(entry.first);
    EXPECT_THAT(keys, ElementsAre(1, 10, 20, 30));
    EXPECT_EQ(all.at(1).changetype, CHANGE_CREATED);
    EXPECT_EQ(all.at(10).time.tm_wday, 0);
    EXPECT_EQ(all.at(10).time.tm_isdst, 0);
}

TEST_F(journal_test, journal_logs_months_and_days) {
    add_logs();
    EXPECT_THAT(describe(logs(2007, 2007, LEVEL_MONTHS)),
                ElementsAre("10:1@2007-01-03 05:00:00", "30:4@2007-01-05 06:00:00"));
    EXPECT_THAT(describe(logs(2006, 2007, LEVEL_MONTHS, CHANGE_CREATED)),
                ElementsAre("10:1@2007-01-03 05:00:00", "20:1@2006-04-05 10:00:00"));
    EXPECT_THAT(describe(logs(4, 2006, LEVEL_DAYS)),
                ElementsAre("20:1@2006-04-05 10:00:00", "30:4@2006-04-02 09:00:00"));
    EXPECT_THAT(describe(logs(4, 2006, LEVEL_DAYS, CHANGE_MODIFIED)),
                ElementsAre("30:4@2006-04-02 09:00:00"));
    EXPECT_THAT(describe(logs(5, 2006, LEVEL_DAYS)), ElementsAre("20:4@2006-05-01 07:00:00"));
}

TEST_F(journal_test, journal_logs_leave_known_inodes_and_accept_no_rows) {
    add_logs();
    std::map<std::int64_t, journal_log> out;
    out[20] = journal_log{20, 99, {}};
    j().get_journal_logs(2006, 2006, LEVEL_YEARS, 0, out);
    EXPECT_THAT(describe(out),
                ElementsAre("20:99@1900-01-00 00:00:00", "30:4@2006-04-02 09:00:00"));

    EXPECT_THAT(logs(8, 2006, LEVEL_DAYS), IsEmpty());
    EXPECT_THAT(logs(2001, 2002, LEVEL_MONTHS), IsEmpty());
    EXPECT_THAT(logs(2001, 2002, LEVEL_YEARS), IsEmpty());
}

TEST_F(journal_test, unknown_level_throws_and_leaves_output) {
    add_history();
    std::vector<std::tm> times(1);
    EXPECT_EQ(failure<tuv_error>([&] { j().get_change_range(5, 0, 0, 3, 0, times); }),
              "Invalid time range in journal::get_change_range()");
    EXPECT_EQ(times.size(), 1u);
    std::map<std::int64_t, journal_log> found;
    EXPECT_EQ(failure<tuv_error>([&] { j().get_journal_logs(0, 0, 5, 0, found); }),
              "Invalid time range in journal::get_journal_logs()");
    EXPECT_THAT(found, IsEmpty());
}

TEST_F(journal_test, inodes_for_source_matches_the_text_itself) {
    add(41, CHANGE_CREATED, "2006-01-01 00:00:00", "C:\\docs\\report.txt.bak");
    add(40, CHANGE_CREATED, "2006-01-01 00:00:00", "C:\\docs\\report.txt");
    add(40, CHANGE_MODIFIED, "2006-01-02 00:00:00", "C:\\docs\\report.txt");
    add(42, CHANGE_CREATED, "2006-01-01 00:00:00", "D:\\music\\song.mp3");
    add(43, CHANGE_CREATED, "2006-01-01 00:00:00", "/home/me/100% O'Brien_x.txt");
    add(39, CHANGE_CREATED, "2006-01-01 00:00:00", "C:\\docs\\report.txt.old");

    EXPECT_THAT(sources("report"), ElementsAre(39, 40, 41));
    // The file checked in from exactly this path first.
    EXPECT_THAT(sources("C:\\docs\\report.txt"), ElementsAre(40, 39, 41));
    EXPECT_THAT(sources("nothing"), IsEmpty());
    // Wildcards, the escape character and quotes stand for themselves.
    EXPECT_THAT(sources("D:%song"), IsEmpty());
    EXPECT_THAT(sources("1_0"), IsEmpty());
    EXPECT_THAT(sources("%"), ElementsAre(43));
    EXPECT_THAT(sources("0% O'Brien_x"), ElementsAre(43));
    EXPECT_THAT(sources("docs\\report.txt.bak"), ElementsAre(41));
    // As the system's file names compare.
#ifdef _WIN32
    EXPECT_THAT(sources("c:\\DOCS\\report.txt"), ElementsAre(40, 39, 41));
#else
    EXPECT_THAT(sources("c:\\DOCS"), IsEmpty());
#endif
    EXPECT_THAT(sources(""), ElementsAre(1, 39, 40, 41, 42, 43));

    std::vector<std::int64_t> out{99};
    j().inodes_for_source("song", out);
    EXPECT_THAT(out, ElementsAre(99, 42));
}

TEST_F(journal_test, detached_journal_refuses_every_operation) {
    journal other(&v.database());
    other.detach();
    std::vector<std::tm> times;
    std::map<std::int64_t, journal_log> found;
    std::vector<std::int64_t> inodes;
    EXPECT_EQ(failure<db_exception>([&] {
                  other.insert_change(3, 1, date(std::string("2006-01-01 00:00:00")), "", "");
              }),
              "db instance dead");
    EXPECT_EQ(failure<db_exception>([&] { other.get_change_range(1, 0, 0, LEVEL_ALL, 0, times); }),
              "db instance dead");
    EXPECT_EQ(failure<db_exception>([&] { other.get_journal_logs(0, 0, LEVEL_YEARS, 0, found); }),
              "db instance dead");
    EXPECT_EQ(failure<db_exception>([&] { other.inodes_for_source("", inodes); }),
              "db instance dead");
    // The repository's own journal is a different object and still works.
    EXPECT_THAT(range(1, 0, 0, LEVEL_ALL), ::testing::SizeIs(1));
}

}  // namespace
}  // namespace tuv
