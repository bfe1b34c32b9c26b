#include "core/repository.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/db.h"
#include "core/db_sqlite.h"
#include "core/errors.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

// Rewrites one setting of an installed vault behind the repository's back.
void put_setting(const std::string& db_path, const std::string& key, const std::string& value) {
    db_sqlite database;
    database.open(db_path);
    database.execute("UPDATE settings SET value = ? WHERE key = ?", {value, key});
}

std::string construction_error(const std::string& db_path) {
    try {
        repository repo(db_path);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class repository_test : public ::testing::Test {
  protected:
    test::temp_dir folder;
};

TEST_F(repository_test, reads_every_setting_of_an_installed_vault) {
    vault_options options;
    options.separator = "/";
    options.chunks = {100, 900, 16, 61};
    options.container_size = 5000000000;
    test::test_vault vault(options);

    repository& repo = vault.repo();
    EXPECT_EQ(repo.path_separator(), "/");
    EXPECT_EQ(repo.data_directory(), vault.layout().data.string());
    EXPECT_EQ(repo.chunk_min_size(), 100u);
    EXPECT_EQ(repo.chunk_max_size(), 900u);
    EXPECT_EQ(repo.chunk_win_size(), 16u);
    EXPECT_EQ(repo.chunk_anchor(), 61u);
    EXPECT_EQ(repo.default_disk_size(), 5000000000u);
    EXPECT_EQ(repo.observer(), nullptr);
}

TEST_F(repository_test, database_without_settings_is_no_vault_and_gains_no_table) {
    const std::string path = (folder / "other.db").string();
    {
        db_sqlite database;
        database.open(path, db_open_mode::create);
        database.execute("CREATE TABLE unrelated(x)");
    }
    EXPECT_EQ(construction_error(path), path + " is not a Quillmark vault: it has no settings table");

    db_sqlite database;
    database.open(path);
    auto rows = database.query("SELECT COUNT(*) FROM sqlite_schema WHERE name = 'settings'");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_int(0), 0);
}

TEST_F(repository_test, missing_key_is_reported_by_name) {
    test::test_vault vault;
    {
        db_sqlite database;
        database.open(vault.db_path());
        database.execute("DELETE FROM settings WHERE key = 'chunk_win_size'");
    }
    EXPECT_EQ(construction_error(vault.db_path()),
              "Record Not Found : Could not find settings for chunk_win_size");
}

TEST_F(repository_test, numbers_are_read_like_a_stream_reads_them) {
    test::test_vault vault;
    put_setting(vault.db_path(), "chunk_anchor", " 12abc");
    EXPECT_EQ(repository(vault.db_path()).chunk_anchor(), 12u);
}

TEST_F(repository_test, a_setting_that_is_not_a_number_is_a_start_up_failure) {
    test::test_vault vault;
    put_setting(vault.db_path(), "chunk_min_size", "abc");
    EXPECT_EQ(construction_error(vault.db_path()),
              "Invalid setting chunk_min_size = \"abc\": it does not begin with a number");
    put_setting(vault.db_path(), "chunk_min_size", "-5");
    EXPECT_EQ(construction_error(vault.db_path()),
              "Invalid setting chunk_min_size = \"-5\": it does not begin with a number");
    put_setting(vault.db_path(), "chunk_min_size", "4294967296");
    EXPECT_EQ(construction_error(vault.db_path()),
              "Invalid setting chunk_min_size = \"4294967296\": the number is larger than "
              "4294967295");
}

TEST_F(repository_test, chunk_settings_that_break_the_chunker_are_a_start_up_failure) {
    struct broken {
        const char* key;
        const char* value;
        const char* message;
    };
    const broken cases[] = {
        {"chunk_win_size", "20000",
         "Invalid setting chunk_win_size = \"20000\": the window must not be longer than "
         "chunk_min_size (2048)"},
        {"chunk_anchor", "0",
         "Invalid setting chunk_anchor = \"0\": the anchor must be at least 1"},
        {"chunk_min_size", "0",
         "Invalid setting chunk_min_size = \"0\": a chunk must be at least 1 byte"},
        {"chunk_max_size", "100",
         "Invalid setting chunk_max_size = \"100\": it must not be below chunk_min_size (2048)"},
    };
    for (const broken& c : cases) {
        test::test_vault vault;
        put_setting(vault.db_path(), c.key, c.value);
        EXPECT_EQ(construction_error(vault.db_path()), c.message) << c.key;
    }
}

TEST_F(repository_test, a_path_that_leads_nowhere_creates_nothing) {
    const std::string path = (folder / "nowhere.db").string();
    EXPECT_EQ(construction_error(path),
              "cannot open database " + path + ": unable to open database file");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(repository_test, a_file_that_is_not_a_database_is_refused) {
    const auto path = folder / "notes.txt";
    std::ofstream(path) << "These are not the tables you are looking for.\n"
                        << std::string(4096, 'x');
    EXPECT_EQ(construction_error(path.string()), "file is not a database");
}

// open_repository keeps process-wide state, so each case runs in a child
// process of its own.
class open_repository_test : public repository_test {};

TEST_F(open_repository_test, second_call_returns_the_same_object_on_the_first_database) {
    test::test_vault first;
    vault_options other_options;
    other_options.separator = "/";
    test::test_vault second(other_options);
    EXPECT_EXIT(
        {
            repository* a = open_repository(first.db_path());
            repository* b = open_repository(second.db_path());
            const bool same = a != nullptr && a == b && b->path_separator() == "\\";
            std::exit(same ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(open_repository_test, a_failed_first_construction_leaves_no_repository) {
    test::test_vault good;
    const std::string bad = (folder / "missing.db").string();
    EXPECT_EXIT(
        {
            try {
                open_repository(bad);
                std::exit(2);
            } catch (const db_exception&) {
            }
            std::exit(open_repository(good.db_path()) == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tuv
