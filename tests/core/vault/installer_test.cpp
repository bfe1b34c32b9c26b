#include "core/vault/installer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "core/base/errors.h"
#include "core/db/db_sqlite.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tests/support/temp_dir.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

class installer_test : public ::testing::Test {
  protected:
    vault_options options_in(const std::string& name) {
        vault_options options;
        options.directory = folder / name;
        return options;
    }

    std::string install_error(const vault_options& options) {
        try {
            install_vault(options);
        } catch (const tuv_error& e) {
            return e.what();
        }
        return "no error";
    }

    test::temp_dir folder;
};

TEST_F(installer_test, creates_the_database_and_folders) {
    const vault_layout layout = install_vault(options_in("vault"));
    EXPECT_EQ(layout.database, folder / "vault" / "quillmark.db");
    EXPECT_TRUE(fs::is_regular_file(layout.database));
    EXPECT_TRUE(fs::is_directory(layout.data));
    EXPECT_TRUE(fs::is_directory(layout.temp));
    // Nothing of the half-made database is left behind.
    EXPECT_EQ(names_in(layout.directory), (std::set<std::string>{"quillmark.db", "data", "tmp"}));
}

TEST_F(installer_test, new_vault_holds_the_root_its_journal_row_and_the_settings) {
    vault_options options = options_in("vault");
    options.separator = "/";
    const vault_layout layout = install_vault(options);

    db_sqlite database;
    database.open(layout.database.string());
    auto root = database.query("SELECT * FROM file_info");
    ASSERT_TRUE(root->next());
    EXPECT_EQ(root->get_string("path"), "/");
    EXPECT_EQ(root->get_int("parent_id"), 0);
    EXPECT_EQ(root->get_int("size"), 10);
    EXPECT_EQ(root->get_string("mime_type"), "directory");
    const std::int64_t root_id = root->get_int64("file_id");
    EXPECT_FALSE(root->next());
    root.reset();

    auto journal_rows = database.query("SELECT * FROM journal");
    ASSERT_TRUE(journal_rows->next());
    EXPECT_EQ(journal_rows->get_int64("inode"), root_id);
    EXPECT_EQ(journal_rows->get_int("changetype"), CHANGE_CREATED);
    EXPECT_EQ(journal_rows->get_string("src_path"), "");
    EXPECT_FALSE(journal_rows->next());
    journal_rows.reset();

    auto mode = database.query("PRAGMA journal_mode");
    ASSERT_TRUE(mode->next());
    EXPECT_EQ(mode->get_string(0), "wal");
    mode.reset();

    repository repo(layout.database.string());
    EXPECT_EQ(repo.path_separator(), "/");
    EXPECT_EQ(repo.data_directory(), layout.data.string());
    EXPECT_EQ(repo.chunk_min_size(), default_chunk_settings.min_size);
    EXPECT_EQ(repo.chunk_max_size(), default_chunk_settings.max_size);
    EXPECT_EQ(repo.chunk_win_size(), default_chunk_settings.win_size);
    EXPECT_EQ(repo.chunk_anchor(), default_chunk_settings.anchor);
    EXPECT_EQ(repo.default_disk_size(), default_container_size);
}

TEST_F(installer_test, creates_the_indexes_the_queries_need) {
    const vault_layout layout = install_vault(options_in("vault"));
    db_sqlite database;
    database.open(layout.database.string());
    std::set<std::string> indexes;
    auto rows =
        database.query("SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
    while (rows->next()) indexes.insert(rows->get_string(0));
    EXPECT_EQ(indexes, (std::set<std::string>{"file_info_by_parent", "file_info_by_name",
                                              "journal_by_inode", "journal_by_date",
                                              "chunk_by_checksum", "bmap_by_file", "bmap_live"}));
}

TEST_F(installer_test, refuses_a_folder_that_already_holds_a_vault_and_touches_nothing) {
    const vault_layout layout = install_vault(options_in("vault"));
    {
        db_sqlite database;
        database.open(layout.database.string());
        database.execute("INSERT INTO settings VALUES('marker', 'kept')");
    }
    const std::string db_file = layout.database.string();
    EXPECT_EQ(install_error(options_in("vault")), "The folder " + layout.directory.string() +
                                                      " already holds a vault (" + db_file +
                                                      " exists); nothing was changed");

    db_sqlite database;
    database.open(db_file);
    auto rows = database.query("SELECT value FROM settings WHERE key = 'marker'");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string(0), "kept");
}

TEST_F(installer_test, invalid_options_are_refused_before_anything_is_made) {
    vault_options bad_separator = options_in("a");
    bad_separator.separator = "ab";
    EXPECT_EQ(install_error(bad_separator),
              "Invalid path separator \"ab\": it must be one printable character other than a "
              "letter, a digit, \"%\" or \"_\"");

    vault_options letter = options_in("b");
    letter.separator = "x";
    EXPECT_NE(install_error(letter), "no error");

    vault_options bad_chunks = options_in("c");
    bad_chunks.chunks.win_size = bad_chunks.chunks.min_size + 1;
    EXPECT_EQ(install_error(bad_chunks),
              "Invalid setting chunk_win_size = \"2049\": the window must not be longer than "
              "chunk_min_size (2048)");

    vault_options bad_size = options_in("d");
    bad_size.container_size = 0;
    EXPECT_EQ(install_error(bad_size),
              "Invalid setting default_disk_size = \"0\": it must be between 1 and "
              "9223372036854775807");

    EXPECT_TRUE(names_in(folder.path()).empty());
}

TEST_F(installer_test, a_failed_installation_leaves_the_folder_as_it_was) {
    const fs::path vault = folder / "vault";
    fs::create_directory(vault);
    std::ofstream(vault / "tmp") << "a file where the temporary folder should go";

    const std::string error = install_error(options_in("vault"));
    EXPECT_EQ(error.rfind("Cannot create the folder " + (vault / "tmp").string() + ": ", 0), 0u)
        << error;
    EXPECT_EQ(names_in(vault), (std::set<std::string>{"tmp"}));
}

TEST_F(installer_test, a_failed_database_creation_leaves_the_folder_as_it_was) {
    const fs::path vault = folder / "vault";
    fs::create_directories(vault / "quillmark.db.partial");
    std::ofstream(vault / "quillmark.db.partial" / "keep") << "not ours";

    const std::string error = install_error(options_in("vault"));
    EXPECT_EQ(
        error.rfind("Cannot create the vault database " + (vault / "quillmark.db").string() + ": ",
                    0),
        0u)
        << error;
    EXPECT_EQ(names_in(vault), (std::set<std::string>{"quillmark.db.partial"}));
    EXPECT_TRUE(fs::exists(vault / "quillmark.db.partial" / "keep"));
}

}  // namespace
}  // namespace tuv
