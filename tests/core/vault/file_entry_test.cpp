#include "core/vault/file_entry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/db_sqlite.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

constexpr std::int64_t root_id = 1;
constexpr const char* when = "2024-05-06 07:08:09";
constexpr const char* later = "2025-01-02 03:04:05";

vault_options slash_separated() {
    vault_options options;
    options.separator = "/";
    return options;
}

using test::failure;

class file_entry_test : public ::testing::Test {
  protected:
    repository& repo() { return v.repo(); }

    std::int64_t dir(const std::string& name, std::int64_t parent) {
        return repo().catalogue().create_directory(name, parent, when);
    }
    std::int64_t file(const std::string& name, std::int64_t parent) {
        return repo().catalogue().create_file(name, parent, 100, when, "text/plain");
    }

    // Rows changed by this connection so far: a statement that writes
    // nothing leaves it alone.
    int writes() {
        return sqlite3_total_changes(dynamic_cast<db_sqlite&>(v.database()).connection().handle());
    }

    std::int64_t column(std::int64_t id, const std::string& name) {
        auto row = v.database().query("SELECT " + name + " FROM file_info WHERE file_id = ?", {id});
        row->next();
        return row->get_int64(0);
    }

    // Makes the database refuse updates of file_info (of its size alone
    // when `column` is given), as a full disk or a lock would.
    void refuse_updates(const std::string& column = "") {
        v.database().execute("CREATE TRIGGER refuse BEFORE UPDATE" +
                             (column.empty() ? "" : " OF " + column) +
                             " ON file_info BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }

    test::test_vault v;
};

TEST_F(file_entry_test, full_path_of_root_top_level_and_deep_entries) {
    const std::int64_t a = dir("A", root_id);
    const std::int64_t f = file("f.txt", dir("B", a));

    file_entry root(repo(), root_id, "");
    EXPECT_EQ(root.full_path(), "\\");
    EXPECT_EQ(file_entry(repo(), a, "").full_path(), "\\A");
    EXPECT_EQ(file_entry(repo(), f, "").full_path(), "\\A\\B\\f.txt");
    EXPECT_EQ(root.full_path(f), "\\A\\B\\f.txt");

    test::test_vault slash(slash_separated());
    const std::int64_t c = slash.repo().catalogue().create_directory("C", root_id, when);
    file_entry slash_root(slash.repo(), root_id, "");
    EXPECT_EQ(slash_root.full_path(), "/");
    EXPECT_EQ(slash_root.full_path(c), "/C");
    EXPECT_EQ(slash_root.full_path(slash.repo().catalogue().create_directory("D", c, when)),
              "/C/D");
}

TEST_F(file_entry_test, full_path_names_the_first_missing_row) {
    const std::int64_t b = dir("B", dir("A", root_id));
    const std::int64_t f = file("f.txt", b);
    file_entry root(repo(), root_id, "");

    EXPECT_EQ(failure<rec_not_found_exception>([&] { root.full_path(99); }),
              "Record Not Found : Record not found for fid = 99");
    v.database().execute("DELETE FROM file_info WHERE file_id = ?", {b});
    EXPECT_EQ(failure<rec_not_found_exception>([&] { root.full_path(f); }),
              "Record Not Found : Record not found for fid = " + std::to_string(b));
}

TEST_F(file_entry_test, load_of_a_missing_id_throws) {
    const std::string message = "Record Not Found : No file entry found for file id = 99";
    EXPECT_EQ(failure<rec_not_found_exception>([&] { file_entry(repo(), 99, ""); }), message);
    file_entry fresh(repo());
    EXPECT_EQ(failure<rec_not_found_exception>([&] { fresh.load(99); }), message);
}

TEST_F(file_entry_test, loaded_entry_reloads_its_own_id_only) {
    const std::int64_t a = dir("A", root_id);
    const std::int64_t f = file("f.txt", a);

    file_entry entry(repo(), f, "given");
    EXPECT_EQ(entry.attributes(), "given");
    EXPECT_EQ(failure<tuv_error>([&] { entry.load(a); }),
              "File already opened with a different file id");
    EXPECT_EQ(entry.file_id(), f);

    v.database().execute("UPDATE file_info SET size = 555 WHERE file_id = ?", {f});
    EXPECT_NO_THROW(entry.load(f));
    EXPECT_EQ(entry.size(), 555u);

    // Entries made from a row found by path are loaded entries too.
    repo().journal().insert_change(f, CHANGE_CREATED, date(std::string("2024-05-06 07:08:09")),
                                   "/src/path", "");
    EXPECT_EQ(failure<tuv_error>([&] { repo().catalogue().resolve("\\A\\f.txt")->load(a); }),
              "File already opened with a different file id");

    file_entry fresh(repo());
    EXPECT_TRUE(fresh.is_new_entry());
    fresh.load(a);
    EXPECT_EQ(fresh.name(), "A");
    EXPECT_NO_THROW(fresh.load(f));
    EXPECT_EQ(fresh.name(), "f.txt");
}

TEST_F(file_entry_test, flush_writes_only_what_changed) {
    const std::int64_t f = file("f.txt", root_id);
    const std::int64_t created = date(when).seconds();
    int before = writes();
    {
        file_entry unchanged(repo(), f, "");
        unchanged.flush();
    }
    EXPECT_EQ(writes(), before);

    file_entry entry(repo(), f, "");
    entry.set_size(5000000000);
    entry.flush();
    EXPECT_EQ(writes(), before + 1);
    EXPECT_EQ(column(f, "size"), 5000000000);
    EXPECT_EQ(column(f, "modification_time"), created);

    before = writes();
    entry.modification_date().set(later);
    entry.flush();
    EXPECT_EQ(writes(), before + 1);
    EXPECT_EQ(column(f, "modification_time"), date(later).seconds());
    EXPECT_EQ(column(f, "creation_time"), created);
    EXPECT_EQ(column(f, "last_access_time"), created);

    before = writes();
    entry.flush();
    EXPECT_EQ(writes(), before);

    // An entry that goes without flush() writes nothing.
    {
        file_entry pending(repo(), f, "");
        pending.set_size(7);
        pending.creation_date().set(later);
    }
    EXPECT_EQ(writes(), before);
}

TEST_F(file_entry_test, failed_flush_leaves_the_row_as_it_was) {
    const std::int64_t f = file("f.txt", root_id);
    refuse_updates("size");
    file_entry entry(repo(), f, "");
    entry.set_size(1);
    entry.modification_date().set(later);

    EXPECT_EQ(failure<db_exception>([&] { entry.flush(); }), "refused");
    EXPECT_EQ(column(f, "size"), 100);
    EXPECT_EQ(column(f, "modification_time"), date(when).seconds());
}

TEST_F(file_entry_test, attributes_at_reads_the_row_of_exactly_that_second) {
    const std::int64_t f = file("f.txt", root_id);
    const std::int64_t other = file("g.txt", root_id);
    journal& j = repo().journal();
    j.insert_change(f, CHANGE_CREATED, date(std::string("2024-05-06 07:08:09")), "/src", "v1");
    j.insert_change(f, CHANGE_MODIFIED, date(std::string("2024-05-07 07:08:09")), "/src", "v2");
    j.insert_change(other, CHANGE_MODIFIED, date(std::string("2024-05-06 07:08:10")), "/src",
                    "other");

    file_entry entry(repo(), f, "");
    EXPECT_EQ(entry.attributes_at(date("2024-05-06 07:08:09")), "v1");
    EXPECT_EQ(entry.attributes_at(date("2024-05-07 07:08:09")), "v2");
    EXPECT_EQ(
        failure<rec_not_found_exception>([&] { entry.attributes_at(date("2024-05-06 07:08:10")); }),
        "Record Not Found : attributes for inode " + std::to_string(f));
}

}  // namespace
}  // namespace tuv
