#include "core/vault/catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/vault_path.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int64_t root_id = 1;
constexpr const char* when = "2024-05-06 07:08:09";

vault_options slash_separated() {
    vault_options options;
    options.separator = "/";
    return options;
}

using test::failure;

// Every field of a change as one line, so that a mismatch shows in the
// failure message. The time fields the journal does not store must be 0.
std::string render(const change_entry& c) {
    const std::tm& t = c.time;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    const bool unstored = t.tm_wday != 0 || t.tm_yday != 0 || t.tm_isdst != 0;
    return std::to_string(c.changetype) + " " + c.full_path + " " + std::to_string(c.size) + " " +
           stamp + (unstored ? " (unstored fields set) " : " ") + c.mime_type;
}

class catalogue_test : public ::testing::Test {
  protected:
    repository& repo() { return v.repo(); }

    std::int64_t dir(const std::string& name, std::int64_t parent, const std::string& time = when) {
        return repo().catalogue().create_directory(name, parent, time);
    }

    // `moment` is a local time in date_format.
    void log(std::int64_t inode, int changetype, const std::string& moment,
             const std::string& attributes = "") {
        repo().journal().insert_change(inode, changetype, date(moment), "/src/path", attributes);
    }

    // A file as a check-in leaves it: its row and a journal row, without
    // which no path finds it.
    std::int64_t file(const std::string& name, std::int64_t parent, std::uint64_t size = 100,
                      const std::string& attributes = "", const std::string& mime = "text/plain") {
        const std::int64_t id = repo().catalogue().create_file(name, parent, size, when, mime);
        log(id, CHANGE_CREATED, "2024-05-06 07:08:09", attributes);
        return id;
    }

    std::int64_t scalar(const std::string& sql) {
        auto row = v.database().query(sql);
        return row->next() ? row->get_int64(0) : -1;
    }
    std::int64_t count(const std::string& table) { return scalar("SELECT COUNT(*) FROM " + table); }

    // "<what()>|<missing_path()>|<parent_inode()>" of the lookup's failure.
    std::string not_found(const std::string& path, std::int64_t parent = 0) {
        try {
            repo().catalogue().resolve(path, parent);
        } catch (const file_not_found_exception& e) {
            return std::string(e.what()) + "|" + e.missing_path() + "|" +
                   std::to_string(e.parent_inode());
        }
        return "<found>";
    }

    std::vector<std::string> changes(const std::string& path, int from, int to, int level,
                                     int changetype, bool files_only) {
        std::vector<change_entry> out;
        repo().catalogue().changes_under(path, from, to, level, changetype, files_only, out);
        std::vector<std::string> rendered;
        for (const change_entry& c : out) rendered.push_back(render(c));
        return rendered;
    }

    // The same question answered the slow way: the whole journal's earliest
    // change per inode, then each inode's catalogue row read on its own.
    std::vector<std::string> oracle(const std::string& path, int from, int to, int level,
                                    int changetype, bool files_only) {
        std::map<std::int64_t, journal_log> logs;
        repo().journal().get_journal_logs(from, to, level, changetype, logs);
        const std::int64_t directory = repo().catalogue().resolve(path)->file_id();
        std::vector<std::string> out;
        for (const auto& [inode, entry] : logs) {
            if (inode == 0) continue;
            auto row = v.database().query(
                "SELECT path, parent_id, size, mime_type FROM file_info WHERE file_id = ?",
                {inode});
            if (!row->next()) {
                throw rec_not_found_exception("change info for " + std::to_string(inode));
            }
            const std::string mime = row->get_string("mime_type");
            if (row->get_int64("parent_id") != directory) continue;
            if (files_only && mime == directory_mime_type) continue;
            const std::string name = row->get_string("path");
            out.push_back(render(change_entry{
                entry.changetype, path == "\\" ? path + name : path + "\\" + name,
                static_cast<std::uint64_t>(row->get_int64("size")), entry.time, mime}));
        }
        return out;
    }

    // Directories and files changed over several years; rows are written out
    // of date order, and one row belongs to no entry (inode 0).
    void build_history() {
        const std::int64_t docs = dir("docs", root_id, "2019-03-04 10:00:00");
        const std::int64_t a =
            repo().catalogue().create_file("a.txt", docs, 100, when, "text/plain");
        log(a, CHANGE_CREATED, "2019-03-05 00:00:00");
        log(a, CHANGE_MODIFIED, "2020-07-01 00:00:00");
        log(a, CHANGE_MODIFIED, "2020-07-15 00:00:00");
        log(a, CHANGE_MODIFIED, "2021-01-02 00:00:00");
        const std::int64_t sub = dir("sub", docs, "2020-07-10 12:00:00");
        const std::int64_t deep = repo().catalogue().create_file("deep.bin", sub, 5000000000, when,
                                                                 "application/octet-stream");
        log(deep, CHANGE_CREATED, "2020-07-11 00:00:00");
        log(deep, CHANGE_MODIFIED, "2021-02-03 00:00:00");
        const std::int64_t b =
            repo().catalogue().create_file("b.txt", docs, 20, when, "text/plain");
        log(b, CHANGE_CREATED, "2020-12-31 23:59:59");
        log(b, CHANGE_MODIFIED, "2021-01-01 00:00:00");
        const std::int64_t c = repo().catalogue().create_file("c.txt", docs, 30, when, "text/csv");
        log(c, CHANGE_CREATED, "2021-01-05 08:00:00");
        // Same second: the row written first counts.
        log(c, CHANGE_MODIFIED, "2021-01-05 08:00:00");
        repo().catalogue().create_file("ghost.txt", docs, 1, when,
                                       "text/plain");  // never checked in
        const std::int64_t pics = dir("pics", root_id, "2020-07-02 09:00:00");
        log(repo().catalogue().create_file("p.jpg", pics, 40, when, "image/jpeg"), CHANGE_CREATED,
            "2020-07-03 00:00:00");
        log(0, CHANGE_MODIFIED, "2020-07-04 00:00:00");
        log(a, CHANGE_MODIFIED, "2018-11-30 00:00:00");  // written last, dated first
        log(sub, CHANGE_MODIFIED, "2021-01-03 00:00:00");
    }

    test::test_vault v;
};

TEST_F(catalogue_test, full_path_is_followed_from_the_root) {
    const auto root = repo().catalogue().resolve("\\");
    EXPECT_EQ(root->file_id(), root_id);
    EXPECT_EQ(root->parent_id(), 0);
    EXPECT_TRUE(root->is_directory());

    const std::int64_t b_id = dir("B", dir("A", root_id));
    const std::int64_t f = file("f.txt", b_id, 42, "attrs");
    const auto entry = repo().catalogue().resolve("\\A\\B\\f.txt");
    EXPECT_EQ(entry->file_id(), f);
    EXPECT_EQ(entry->parent_id(), b_id);
    EXPECT_EQ(entry->size(), 42u);
    EXPECT_EQ(entry->mime_type(), "text/plain");
    EXPECT_EQ(entry->attributes(), "attrs");
    EXPECT_FALSE(entry->is_directory());
}

TEST_F(catalogue_test, relative_path_starts_anywhere_or_under_the_given_parent) {
    const std::int64_t a_id = dir("A", root_id);
    const std::int64_t b_id = dir("B", a_id);
    const std::int64_t f = file("f.txt", b_id);

    EXPECT_EQ(repo().catalogue().resolve("B\\f.txt")->file_id(), f);
    EXPECT_EQ(repo().catalogue().resolve("B\\f.txt", a_id)->file_id(), f);
    EXPECT_EQ(repo().catalogue().resolve("f.txt", b_id)->file_id(), f);
    EXPECT_EQ(not_found("B\\f.txt", root_id), "No such file or directory: B|B|1");
}

TEST_F(catalogue_test, missing_component_is_named_with_the_parent_it_was_sought_under) {
    const std::int64_t a_id = dir("A", root_id);

    const std::string a = std::to_string(a_id);
    EXPECT_EQ(not_found("\\X"), "No such file or directory: X|X|1");
    EXPECT_EQ(not_found("\\A\\Y\\Z"), "No such file or directory: Y|Y|" + a);
    EXPECT_EQ(not_found("X"), "No such file or directory: X|X|0");
    EXPECT_EQ(not_found("\\A\\"), "No such file or directory: ||" + a);
}

TEST_F(catalogue_test, latest_journal_row_picks_the_entry_and_its_attributes) {
    const std::int64_t x = file("dup", root_id, 1, "x");
    const std::int64_t y = file("dup", root_id, 2, "y");
    EXPECT_EQ(repo().catalogue().resolve("\\dup")->file_id(), y);

    log(x, CHANGE_MODIFIED, "2024-06-01 00:00:00", "x again");
    log(x, CHANGE_MODIFIED, "2020-01-01 00:00:00", "written last, dated earlier");
    const auto entry = repo().catalogue().resolve("\\dup");
    EXPECT_EQ(entry->file_id(), x);
    EXPECT_EQ(entry->attributes(), "written last, dated earlier");
}

TEST_F(catalogue_test, entry_without_journal_row_is_found_by_id_only) {
    const std::int64_t id = repo().catalogue().create_file("ghost", root_id, 7, when, "text/plain");
    EXPECT_EQ(not_found("\\ghost"), "No such file or directory: ghost|ghost|1");

    file_entry entry(repo(), id, "");
    EXPECT_EQ(entry.name(), "ghost");
    EXPECT_EQ(entry.size(), 7u);
}

TEST_F(catalogue_test, create_directory_writes_its_row_and_two_journal_rows) {
    const std::int64_t last_log = scalar("SELECT MAX(id) FROM journal");
    const std::int64_t id = dir("A", root_id, "2024-05-06 07:08:09");
    EXPECT_EQ(id, scalar("SELECT MAX(file_id) FROM file_info"));

    auto rows = v.database().query(
        "SELECT inode || ' ' || changetype || ' ' || year || '-' || month || '-' || day || ' ' ||"
        " hour || ':' || minute || ':' || second FROM journal WHERE id > ? ORDER BY id",
        {last_log});
    std::vector<std::string> written;
    while (rows->next()) written.push_back(rows->get_string(0));
    EXPECT_THAT(written,
                ElementsAre(std::to_string(id) + " 1 2024-5-6 7:8:9", "1 4 2024-5-6 7:8:9"));

    const auto entry = repo().catalogue().resolve("\\A");
    EXPECT_EQ(entry->file_id(), id);
    EXPECT_EQ(entry->creation_date().seconds(), date(when).seconds());
}

TEST_F(catalogue_test, same_directory_name_in_two_places_resolves_separately) {
    const std::int64_t x = dir("same", dir("A", root_id));
    const std::int64_t y = dir("same", dir("B", root_id));
    EXPECT_NE(x, y);
    EXPECT_EQ(repo().catalogue().resolve("\\A\\same")->file_id(), x);
    EXPECT_EQ(repo().catalogue().resolve("\\B\\same")->file_id(), y);

    const std::int64_t child = file("in_a", x);
    EXPECT_EQ(repo().catalogue().resolve("\\A\\same\\in_a")->file_id(), child);
    EXPECT_EQ(not_found("\\B\\same\\in_a"),
              "No such file or directory: in_a|in_a|" + std::to_string(y));
}

TEST_F(catalogue_test, names_with_quotes_blanks_and_accents_round_trip) {
    std::int64_t parent = root_id;
    std::string path;
    for (const std::string name : {"it's", " two  words ", "Rapport été \"final\"", "日本語"}) {
        parent = dir(name, parent);
        path += "\\" + name;
    }
    const auto entry = repo().catalogue().resolve(path);
    EXPECT_EQ(entry->file_id(), parent);
    EXPECT_EQ(entry->full_path(), path);
}

TEST_F(catalogue_test, bad_names_and_times_write_nothing) {
    const std::int64_t files = count("file_info");
    const std::int64_t logs = count("journal");
    const std::string holds_separator =
        R"(Invalid name "a\b": a name cannot contain the path separator "\")";
    const std::string empty = R"(Invalid name "": a name cannot be empty)";

    EXPECT_EQ(failure<tuv_error>([&] { dir("a\\b", root_id); }), holds_separator);
    EXPECT_EQ(failure<tuv_error>([&] { dir("", root_id); }), empty);
    EXPECT_EQ(failure<invalid_date_exception>([&] { dir("ok", root_id, "yesterday"); }),
              "Invalid date format");
    EXPECT_EQ(failure<tuv_error>(
                  [&] { repo().catalogue().create_file("a\\b", root_id, 1, when, "x/y"); }),
              holds_separator);
    EXPECT_EQ(
        failure<tuv_error>([&] { repo().catalogue().create_file("", root_id, 1, when, "x/y"); }),
        empty);
    EXPECT_EQ(failure<invalid_date_exception>(
                  [&] { repo().catalogue().create_file("ok", root_id, 1, "yesterday", "x/y"); }),
              "Invalid date format");

    EXPECT_EQ(count("file_info"), files);
    EXPECT_EQ(count("journal"), logs);
}

TEST_F(catalogue_test, names_are_checked_against_the_vaults_own_separator) {
    test::test_vault slash(slash_separated());
    const std::int64_t id = slash.repo().catalogue().create_directory("a\\b", root_id, when);
    EXPECT_EQ(slash.repo().catalogue().resolve("/a\\b")->file_id(), id);
    EXPECT_EQ(failure<tuv_error>(
                  [&] { slash.repo().catalogue().create_directory("x/y", root_id, when); }),
              R"(Invalid name "x/y": a name cannot contain the path separator "/")");
}

TEST_F(catalogue_test, create_file_stores_size_time_and_type_without_journal_row) {
    const std::int64_t logs = count("journal");
    const std::unique_ptr<file_entry> made = repo().catalogue().create_file_entry(
        "big.iso", root_id, 5000000000, date(when), "application/x-iso");
    EXPECT_EQ(count("journal"), logs);

    // The entry handed back is the row as it was stored.
    const auto render = [](const file_entry& e) {
        return std::to_string(e.file_id()) + "|" + e.name() + "|" + std::to_string(e.parent_id()) +
               "|" + std::to_string(e.size()) + "|" + e.mime_type() + "|" +
               std::to_string(e.creation_date().seconds()) + "|" +
               std::to_string(e.last_access_date().seconds()) + "|" +
               std::to_string(e.modification_date().seconds());
    };
    const std::string t = std::to_string(date(when).seconds());
    const std::string expected = std::to_string(made->file_id()) + "|big.iso|" +
                                 std::to_string(root_id) + "|5000000000|application/x-iso|" + t +
                                 "|" + t + "|" + t;
    EXPECT_EQ(render(*made), expected);
    EXPECT_EQ(render(file_entry(repo(), made->file_id(), "")), expected);
}

TEST_F(catalogue_test, list_directory_gives_children_in_creation_order) {
    const std::int64_t d = dir("D", root_id);
    file("zeta", d, 10, "with attributes");
    dir("sub", d);
    file("alpha", d, 20);

    std::vector<std::unique_ptr<file_entry>> out;
    repo().catalogue().list_directory("\\D", out);
    std::vector<std::string> listed;
    for (const auto& e : out) {
        listed.push_back(e->name() + ":" + (e->is_directory() ? "dir" : std::to_string(e->size())) +
                         ":" + e->attributes() + ":" + std::to_string(e->parent_id() == d));
    }
    EXPECT_THAT(listed, ElementsAre("zeta:10::1", "sub:dir::1", "alpha:20::1"));

    out.clear();
    repo().catalogue().list_directory("\\D\\sub", out);
    EXPECT_THAT(out, IsEmpty());
    EXPECT_EQ(failure<tuv_error>([&] { repo().catalogue().list_directory("\\D\\zeta", out); }),
              "\\D\\zeta not a directory");
}

TEST_F(catalogue_test, changes_under_reports_direct_children_once_at_their_earliest_change) {
    build_history();
    EXPECT_THAT(changes("\\docs", 2020, 2020, LEVEL_MONTHS, 0, true),
                ElementsAre("4 \\docs\\a.txt 100 2020-07-01 00:00:00 text/plain",
                            "1 \\docs\\b.txt 20 2020-12-31 23:59:59 text/plain"));
    // The row dated first counts, not the row written first.
    EXPECT_EQ(changes("\\docs", 0, 0, LEVEL_YEARS, 0, true).front(),
              "4 \\docs\\a.txt 100 2018-11-30 00:00:00 text/plain");
    EXPECT_THAT(changes("\\docs", 1, 2021, LEVEL_DAYS, 0, true),
                ElementsAre("4 \\docs\\a.txt 100 2021-01-02 00:00:00 text/plain",
                            "4 \\docs\\b.txt 20 2021-01-01 00:00:00 text/plain",
                            "1 \\docs\\c.txt 30 2021-01-05 08:00:00 text/csv"));
}

TEST_F(catalogue_test, changes_under_agrees_with_the_journal_read_entry_by_entry) {
    build_history();
    struct period {
        int from, to, level;
    };
    const period periods[] = {{0, 0, LEVEL_YEARS},        {2019, 2020, LEVEL_YEARS},
                              {2021, 2021, LEVEL_YEARS},  {2020, 2020, LEVEL_MONTHS},
                              {2018, 2021, LEVEL_MONTHS}, {2022, 2023, LEVEL_MONTHS},
                              {7, 2020, LEVEL_DAYS},      {1, 2021, LEVEL_DAYS},
                              {12, 2020, LEVEL_DAYS},     {11, 2018, LEVEL_DAYS}};
    int answered = 0;
    for (const std::string directory : {"\\", "\\docs", "\\docs\\sub", "\\pics"}) {
        for (const period& p : periods) {
            for (const int changetype : {0, CHANGE_CREATED, CHANGE_MODIFIED}) {
                for (const bool files_only : {false, true}) {
                    const auto expected =
                        oracle(directory, p.from, p.to, p.level, changetype, files_only);
                    EXPECT_EQ(changes(directory, p.from, p.to, p.level, changetype, files_only),
                              expected)
                        << directory << " " << p.from << ".." << p.to << " level " << p.level
                        << " changetype " << changetype << " files_only " << files_only;
                    if (!expected.empty()) ++answered;
                }
            }
        }
    }
    EXPECT_GT(answered, 60);  // the comparison must not be between empty lists
}

TEST_F(catalogue_test, changes_under_refuses_a_bad_level_and_a_row_without_entry) {
    build_history();
    std::vector<change_entry> out;
    EXPECT_EQ(failure<tuv_error>(
                  [&] { repo().catalogue().changes_under("\\docs", 0, 0, 3, 0, false, out); }),
              "Invalid time range in journal::get_journal_logs()");

    log(999, CHANGE_CREATED, "2020-07-05 00:00:00");
    EXPECT_EQ(failure<rec_not_found_exception>([&] {
                  repo().catalogue().changes_under("\\docs", 2020, 2020, LEVEL_MONTHS, 0, false,
                                                   out);
              }),
              "Record Not Found : change info for 999");
    // Outside the period the damaged row is never read.
    EXPECT_NO_THROW(
        repo().catalogue().changes_under("\\docs", 2019, 2019, LEVEL_MONTHS, 0, false, out));
}

// The catalogue's id range is remembered between listings; a row another
// program removes meanwhile must still be noticed.
TEST_F(catalogue_test, changes_under_notices_a_row_removed_through_another_connection) {
    build_history();
    EXPECT_NO_THROW(changes("\\docs", 0, 0, LEVEL_YEARS, 0, false));
    const std::int64_t last = scalar("SELECT max(file_id) FROM file_info");
    v.database().clone()->execute("DELETE FROM file_info WHERE file_id = ?", {last});
    EXPECT_EQ(
        failure<rec_not_found_exception>([&] { changes("\\docs", 0, 0, LEVEL_YEARS, 0, false); }),
        "Record Not Found : change info for " + std::to_string(last));
}

TEST(vault_path_test, join_puts_one_separator_between_names) {
    EXPECT_EQ(join_vault_path("\\", "A", "\\"), "\\A");
    EXPECT_EQ(join_vault_path("\\A\\B", "c", "\\"), "\\A\\B\\c");
    EXPECT_EQ(join_vault_path("/", "A", "/"), "/A");
    EXPECT_EQ(join_vault_path("/A", "b", "/"), "/A/b");
}

TEST(vault_path_test, cabinet_names_refuse_empty_blank_and_punctuation) {
    EXPECT_FALSE(is_valid_cabinet_name(""));
    for (const char c : std::string("\\\"/$#@!~`&^%?<>;:'+=|* ")) {
        EXPECT_FALSE(is_valid_cabinet_name("Re" + std::string(1, c) + "ports")) << c;
    }
    EXPECT_TRUE(is_valid_cabinet_name("Reports_2024"));
    EXPECT_TRUE(is_valid_cabinet_name("Rapport-été"));
}

}  // namespace
}  // namespace tuv
