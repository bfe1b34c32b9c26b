// Faults at every step of a check-in, one at a time: each file-system call
// it makes (failing with no space and with an I/O error) and each row it
// writes to the database. After every fault the check-in has failed with
// the reason, the vault holds exactly what it held before, verifies clean
// with its data read back, and the same check-in then succeeds.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/storage/file_io.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "core/vault/verify.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using test::fs_operation;

constexpr const char* before_time = "2024-03-04 05:06:07";
constexpr const char* checkin_time = "2024-04-05 06:07:08";

// The text an armed faulty_file_system call fails with, as the check-in reports it.
std::string fault_message(fs_operation operation, const fs::path& path, int error,
                          const fs::path& source) {
    if (operation == fs_operation::open && path == source) {
        return "Couldn't open file: " + source.string();
    }
    const char* what = operation == fs_operation::open       ? "open"
                       : operation == fs_operation::write_at ? "write"
                       : operation == fs_operation::sync     ? "sync"
                       : operation == fs_operation::rename   ? "rename"
                       : operation == fs_operation::remove   ? "remove"
                                                             : "sync the folder";
    return std::string("Cannot ") + what + " " + path.string() + ": " + std::strerror(error);
}

// Containers of 300 bytes and fixed 100-byte chunks: notes.txt (250 bytes)
// takes a third of container 1 beforehand. The check-in under test writes chunks
// into what is left of container 1 and into a new container 2.
struct scenario {
    const char* name;
    const char* folder;   // where the check-in puts the file
    const char* content;  // pattern letters, each 100 bytes but a trailing digit
};

void PrintTo(const scenario& s, std::ostream* out) {
    *out << s.name;
}

// A letter's chunk is 60 scrambled bytes and 40 copies of the letter: the
// vault (compressing, as new vaults do, consecutive new chunks in one frame)
// stores a frame of two or three of them in about 100 to 110 bytes, so the
// check-in still fills container 1 and opens container 2.
std::string expand(const std::string& pattern) {
    std::string text;
    for (const char c : pattern) {
        if (c >= '0' && c <= '9') {
            text += std::string(10 * (c - '0'), '~');
            continue;
        }
        for (int i = 0; i < 60; ++i) text += static_cast<char>('!' + (c * 31 + i * i * 7 + i * 13) % 90);
        text += std::string(40, c);
    }
    return text;
}

// One vault in the state before the check-in under test. The file systems
// are declared first: the repository borrows them.
struct world {
    explicit world(const scenario& s) : v(options()) {
        std::ofstream(folder / "notes.txt", std::ios::binary) << expand("NO5");
        v.repo().checkin_file(folder / "notes.txt", "\\", before_time, "text/plain", "one");
        source = folder / "notes.txt";
        if (std::string(s.folder) != "\\") {
            fs::create_directory(folder / "new");
            source = folder / "new" / "notes.txt";
        }
        std::ofstream(source, std::ios::binary) << expand(s.content);
    }
    static vault_options options() {
        vault_options o;
        o.chunks = {100, 100, 16, 1};
        o.container_size = 300;
        return o;
    }
    void checkin(const scenario& s) {
        v.repo().checkin_file(source, s.folder, checkin_time, "text/plain", "two");
    }
    // Paths recorded in one world, as they are in another: each world lies
    // in folders of its own.
    fs::path relative(const fs::path& path) const {
        const fs::path vault = v.layout().directory;
        if (path.string().starts_with(vault.string()))
            return "vault" / path.lexically_relative(vault);
        return "local" / path.lexically_relative(folder.path());
    }
    fs::path actual(const fs::path& relative) const {
        const fs::path rest = relative.lexically_relative(*relative.begin());
        return *relative.begin() == "vault" ? v.layout().directory / rest : folder / rest;
    }

    test::faulty_file_system faulty;
    test::temp_dir folder;
    test::test_vault v;
    fs::path source;
};

class fault_test : public ::testing::TestWithParam<scenario> {
  protected:
    // Every row of the vault's tables, every container's length, and every
    // version of every file.
    static std::vector<std::string> state(repository& repo) {
        std::vector<std::string> all;
        std::set<fs::path> containers;
        for (const auto& file : fs::directory_iterator(repo.data_directory())) {
            containers.insert(file.path());
        }
        for (const fs::path& container : containers) {
            all.push_back(container.filename().string() + " " +
                          std::to_string(fs::file_size(container)));
        }
        for (const char* table : {"file_info", "journal", "chunk", "bmap", "disk_info"}) {
            auto row =
                repo.database().query(std::string("SELECT * FROM ") + table + " ORDER BY rowid");
            while (row->next()) {
                std::string line = table;
                for (int i = 0; i < row->column_count(); ++i) line += " " + row->get_string(i);
                all.push_back(line);
            }
        }
        auto versions = repo.database().query(
            "SELECT DISTINCT file_id, creation_date FROM bmap ORDER BY file_id, creation_date");
        while (versions->next()) {
            file_entry entry(repo, versions->get_int64(0), "");
            const date moment(static_cast<std::time_t>(versions->get_int64(1)));
            all.push_back(entry.full_path() + " @" + moment.to_text() + " " + entry.read(moment));
        }
        return all;
    }

    // What a check-in that failed must leave: the state from before, seen
    // through a new connection, a clean verify, and a retry that works.
    void expect_untouched_then_recoverable(world& w, const std::vector<std::string>& before) {
        EXPECT_TRUE(w.v.database().transactional());
        repository fresh(w.v.db_path());
        EXPECT_EQ(state(fresh), before);
        EXPECT_EQ(verify_vault(fresh, {true}).problems, std::vector<std::string>{});

        w.v.repo().set_file_system(file_system::local());
        const scenario& s = GetParam();
        w.checkin(s);
        repository after(w.v.db_path());
        EXPECT_EQ(verify_vault(after, {true}).problems, std::vector<std::string>{});
        const auto entry = after.catalogue().resolve(
            std::string(s.folder == std::string("\\") ? "" : s.folder) + "\\notes.txt");
        EXPECT_EQ(entry->read(date(std::string(checkin_time))), expand(s.content));
    }
};

TEST_P(fault_test, every_file_system_call_failing_leaves_the_vault_as_it_was) {
    std::vector<test::faulty_file_system::call> calls;
    {
        world dry(GetParam());
        dry.v.repo().set_file_system(dry.faulty);
        dry.checkin(GetParam());
        calls = dry.faulty.log();
        auto compressed =
            dry.v.database().query("SELECT COUNT(*) FROM chunk WHERE codec IS NOT NULL");
        ASSERT_TRUE(compressed->next());
        ASSERT_GT(compressed->get_int64(0), 0);  // the faults hit compressed chunks too
        for (auto& call : calls) call.path = dry.relative(call.path);
    }
    ASSERT_GE(calls.size(), 5u);

    int injected = 0;
    std::map<fs_operation, int> seen;
    for (const auto& call : calls) {
        const int nth = ++seen[call.operation];
        for (const int error : {ENOSPC, EIO}) {
            world w(GetParam());
            const fs::path path = w.actual(call.path);
            SCOPED_TRACE(fault_message(call.operation, path, error, "") + " (call " +
                         std::to_string(nth) + ")");
            const std::vector<std::string> before = state(w.v.repo());
            w.v.repo().set_file_system(w.faulty);
            w.faulty.fail(call.operation, nth, error);
            std::string message = "<no exception>";
            try {
                w.checkin(GetParam());
            } catch (const tuv_error& e) {
                message = e.what();
            }
            ++injected;
            EXPECT_EQ(message, fault_message(call.operation, path, error, w.source));
            expect_untouched_then_recoverable(w, before);
        }
    }
    std::cout << "injected " << injected << " file-system faults\n";
}

// Temporary triggers (this connection only) count the rows the check-in
// writes and refuse the chosen one.
void arm_database_fault(db& database, int row) {
    database.execute("CREATE TEMP TABLE fault_clock(n INTEGER NOT NULL, armed INTEGER NOT NULL)");
    database.execute("INSERT INTO fault_clock VALUES(0, ?)", {row});
    for (const char* table : {"file_info", "journal", "chunk", "bmap", "disk_info"}) {
        for (const char* event : {"INSERT", "UPDATE"}) {
            database.execute(std::string("CREATE TEMP TRIGGER fault_") + table + "_" + event +
                             " BEFORE " + event + " ON main." + table +
                             " BEGIN UPDATE fault_clock SET n = n + 1;"
                             " SELECT RAISE(ABORT, 'injected database fault')"
                             " FROM fault_clock WHERE n = armed; END");
        }
    }
}

TEST_P(fault_test, every_database_row_refused_leaves_the_vault_as_it_was) {
    int rows = 0;
    {
        world dry(GetParam());
        arm_database_fault(dry.v.database(), 0);
        dry.checkin(GetParam());
        auto count = dry.v.database().query("SELECT n FROM fault_clock");
        ASSERT_TRUE(count->next());
        rows = count->get_int(0);
    }
    ASSERT_GE(rows, 5);

    for (int row = 1; row <= rows; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        world w(GetParam());
        const std::vector<std::string> before = state(w.v.repo());
        arm_database_fault(w.v.database(), row);
        std::string message = "<no exception>";
        try {
            w.checkin(GetParam());
        } catch (const db_exception& e) {
            message = e.what();
        }
        EXPECT_EQ(message, "injected database fault");
        w.v.database().execute("UPDATE fault_clock SET armed = 0");
        expect_untouched_then_recoverable(w, before);
    }
    std::cout << "injected " << rows << " database faults\n";
}

TEST_P(fault_test, database_that_cannot_grow_leaves_the_vault_as_it_was) {
    world w(GetParam());
    // Enough distinct chunks that their rows need new pages.
    std::string big;
    for (int i = 0; i < 400; ++i) big += std::string(100, static_cast<char>(' ' + i % 90)) + "#";
    std::ofstream(w.source, std::ios::binary) << big;
    const std::vector<std::string> before = state(w.v.repo());
    auto pages = w.v.database().query("PRAGMA page_count");
    ASSERT_TRUE(pages->next());
    const std::int64_t count = pages->get_int64(0);
    pages.reset();
    w.v.database().query("PRAGMA max_page_count = " + std::to_string(count))->next();

    std::string message = "<no exception>";
    try {
        w.checkin(GetParam());
    } catch (const db_exception& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "database or disk is full");
    repository fresh(w.v.db_path());
    EXPECT_EQ(state(fresh), before);
    EXPECT_EQ(verify_vault(fresh, {true}).problems, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(checkins, fault_test,
                         ::testing::Values(
                             // Chunk N is unchanged; A-D share a frame too large for what
                             // is left of container 1: it opens container 2.
                             scenario{"new_version_of_a_file", "\\", "NABCD3"},
                             // Directories, a file entry and their journal rows, then
                             // content: a frame of P and Q (ended by the stored N) in
                             // container 1, one of R, S and the rest in container 2.
                             scenario{"new_file_in_new_directories", "\\x\\y", "PQNRS2"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tuv
