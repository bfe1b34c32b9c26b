#include "core/vault/repository.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/db_sqlite.h"
#include "core/vault/file_entry.h"
#include "core/vault/verify.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

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

#ifndef _WIN32
// Opens the vault of `db` read-only in a child process of the owner of the
// vault's folder, made read-only with all in it, and returns the names in
// its root and the summary of a full verify, or what was thrown. Root ignores
// permissions, so under root the folder is given to user nobody and the child
// becomes nobody. The folder is writable again afterwards, for the cleanup.
std::string read_where_nothing_can_be_written(const fs::path& db) {
    constexpr uid_t nobody = 65534;
    const bool root = ::geteuid() == 0;
    const auto set_writable = [&](bool writable) {
        std::vector<fs::path> paths{db.parent_path()};
        for (const auto& entry : fs::recursive_directory_iterator(paths[0])) paths.push_back(entry);
        for (const fs::path& path : paths) {
            if (root && ::chown(path.c_str(), nobody, nobody) != 0) return;
            fs::permissions(path, fs::perms::owner_write,
                            writable ? fs::perm_options::add : fs::perm_options::remove);
        }
    };
    set_writable(false);
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        std::string answer = "could not become another user";
        if (!root || (::setgid(nobody) == 0 && ::setuid(nobody) == 0)) {
            try {
                repository repo(db.string(), repository::access::read_only);
                std::vector<std::unique_ptr<file_entry>> entries;
                repo.catalogue().list_directory("\\", entries);
                answer.clear();
                for (const auto& entry : entries) answer += entry->name() + ", ";
                answer += verify_vault(repo, {true}).summary();
            } catch (const std::exception& e) {
                answer = e.what();
            }
        }
        const ssize_t written = ::write(pipe_ends[1], answer.data(), answer.size());
        ::_exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 1);
    }
    ::close(pipe_ends[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(pipe_ends[0]);
    ::waitpid(child, nullptr, 0);
    set_writable(true);
    return answer;
}
#endif

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
}

TEST_F(repository_test, database_without_settings_is_no_vault_and_gains_no_table) {
    const std::string path = (folder / "other.db").string();
    {
        db_sqlite database;
        database.open(path, db_open_mode::create);
        database.execute("CREATE TABLE unrelated(x)");
    }
    EXPECT_EQ(construction_error(path),
              path + " is not a Quillmark vault: it has no settings table");

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

TEST_F(repository_test, read_only_use_leaves_the_database_file_as_it_was) {
    vault_options options;
    options.directory = folder / "vault";
    const std::string db = install_vault(options).database.string();
    std::ofstream(folder / "a.txt") << "some text";
    repository(db).checkin_file(folder / "a.txt", "\\", "now", "text/plain", "");
    const auto bytes = [&] {
        std::ifstream in(db, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes();
    const auto modified = fs::last_write_time(db);

    repository repo(db, repository::access::read_only);
    EXPECT_EQ(test::checkout_path(repo, "\\a.txt", folder / "out.txt", "now"), 9u);
    EXPECT_TRUE(verify_vault(repo, {true}).clean());
    EXPECT_EQ(
        test::failure<db_exception>([&] { repo.catalogue().create_directory("d", 1, "now"); }),
        "attempt to write a readonly database");
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(fs::last_write_time(db), modified);
}

// Copies of a vault, with none, both or one of its write-ahead log files.
TEST_F(repository_test, read_only_use_works_where_nothing_can_be_written) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no owner and mode bits that make a folder read-only to its owner";
#else
    fs::permissions(folder.path(), fs::perms::others_exec, fs::perm_options::add);
    test::test_vault v;
    const auto checkin = [&](const char* name) {
        std::ofstream(folder / name) << name;
        v.repo().checkin_file(folder / name, "\\", "now", "text/plain", "");
    };
    const auto copy = [&](const std::string& name, const std::vector<std::string>& logs) {
        fs::create_directory(folder / name);
        fs::copy(v.layout().data, folder / name / "data");
        for (const std::string& log : logs) {
            fs::copy(v.db_path() + log, folder / name / ("quillmark.db" + log));
        }
        return folder / name / "quillmark.db";
    };
    checkin("early");
    db_sqlite other;
    other.open(v.db_path());
    other.connection().executenonquery("PRAGMA wal_checkpoint(TRUNCATE)");
    const fs::path clean = copy("clean", {""});
    checkin("late");
    const fs::path with_logs = copy("with logs", {"", "-wal", "-shm"});
    const fs::path log_only = copy("log only", {"", "-wal"});

    const std::string answer = read_where_nothing_can_be_written(clean);
    if (answer == "could not become another user") GTEST_SKIP() << answer;
    EXPECT_EQ(answer, "early, 1 file, 1 version, 1 chunk, 1 container checked: no problems");
    EXPECT_EQ(read_where_nothing_can_be_written(with_logs),
              "early, late, 2 files, 2 versions, 2 chunks, 1 container checked: no problems");
    EXPECT_EQ(read_where_nothing_can_be_written(log_only),
              "cannot open database " + log_only.string() + ": its log " + log_only.string() +
                  "-wal holds changes that cannot be read while its folder cannot be written");
#endif
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
