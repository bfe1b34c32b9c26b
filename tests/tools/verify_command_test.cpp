#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/db/db.h"
#include "core/vault/repository.h"
#include "export/export_engine.h"
#include "tests/support/checks.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"
#include "tools/cli.h"

namespace tuv::tools {
namespace {

namespace fs = std::filesystem;

// One file of two fixed 100-byte chunks and the empty chunk that ends it,
// checked in twice with the second chunk changed.
class verify_command_test : public ::testing::Test {
  protected:
    struct result {
        int code;
        std::string out;
        std::string err;
    };

    verify_command_test() : v(options()) {
        for (const char* second : {"b", "c"}) {
            std::ofstream(folder / "f", std::ios::binary)
                << std::string(100, 'a') << std::string(100, second[0]);
            v.repo().checkin_file(folder / "f", "\\", second[0] == 'b' ? "2024-01-02 03:04:05"
                                                                       : "2024-02-03 04:05:06",
                                  "text/plain", "");
        }
    }

    static vault_options options() {
        vault_options o;
        o.chunks = {100, 100, 16, 1};
        o.compression = {};  // raw: the damage below lands in known chunks
        return o;
    }

    result run(std::vector<std::string> args, const std::string& db = "") {
        args.insert(args.begin(), {"quillmark", "--db", db.empty() ? v.db_path() : db});
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        const int code =
            run_cli(static_cast<int>(argv.size()), argv.data(), out, err, {fs::path("/opt/bin")});
        return {code, out.str(), err.str()};
    }

    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::test_vault v;
};

TEST_F(verify_command_test, sound_vault_prints_the_summary_and_exits_0) {
    for (const char* flag : {"", "--read-data"}) {
        std::vector<std::string> args{"verify"};
        if (*flag != '\0') args.push_back(flag);
        const result r = run(args);
        EXPECT_EQ(r.code, exit_ok) << flag;
        EXPECT_EQ(r.out, "1 file, 2 versions, 4 chunks, 1 container checked: no problems\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(verify_command_test, each_problem_on_its_own_line_then_the_count_and_exit_1) {
    v.database().execute("UPDATE chunk SET refcount = 9 WHERE chunk_id = 1");
    v.database().execute("DELETE FROM journal WHERE inode = 2");
    const result r = run({"verify"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.out,
              "\\f: no journal row\n"
              "chunk 1 (\\f, offset 0): refcount 9, but 1 block uses it (expected 2)\n"
              "1 file, 0 versions, 4 chunks, 1 container checked: 2 problems\n");
}

TEST_F(verify_command_test, damaged_bytes_need_read_data) {
    {
        std::fstream f(v.layout().data / "tuv_s1", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(0);
        f.put('z');
    }
    EXPECT_EQ(run({"verify"}).code, exit_ok);
    const result r = run({"verify", "--read-data"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.out, "chunk 1 (\\f, offset 0): the bytes in container 1 (" +
                         (v.layout().data / "tuv_s1").string() +
                         ") at 0 do not match their checksum\n"
                         "1 file, 2 versions, 4 chunks, 1 container checked: 1 problem\n");
}

TEST_F(verify_command_test, database_that_cannot_be_checked_at_all_fails_with_its_reason) {
    v.database().execute("DROP TABLE bmap");
    const result r = run({"verify"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillmark: no such table: bmap\n");
}

TEST_F(verify_command_test, containers_outside_the_vault_folder_are_warnings_not_problems) {
    // A vault that stored absolute paths, as vaults once did, then copied.
    const fs::path data = v.layout().data;
    v.database().execute("UPDATE disk_info SET path = ?", {(data / "tuv_s1").string()});
    v.database().execute("UPDATE settings SET value = ? WHERE key = 'data_directory'",
                         {data.string()});
    const std::string summary = "1 file, 2 versions, 4 chunks, 1 container checked: no problems\n";
    EXPECT_EQ(run({"verify"}).out, summary);
    const fs::path copy = folder / "copy";
    fs::copy(v.layout().directory, copy, fs::copy_options::recursive);
    const std::string outside = " lies outside the vault folder " + copy.string() +
                                "; a copy of the folder would not include it\n";
    const std::string warnings = "Warning: the data folder " + data.string() + outside +
                                 "Warning: container 1 (" + (data / "tuv_s1").string() + ")" +
                                 outside;
    const std::string copied_db = (copy / "quillmark.db").string();
    const result r = run({"verify", "--read-data"}, copied_db);
    EXPECT_EQ(r.code, exit_ok);
    EXPECT_EQ(r.out, warnings + summary);
    const std::string info = run({"info"}, copied_db).out;
    EXPECT_TRUE(info.ends_with(warnings)) << info;
}

TEST_F(verify_command_test, stats_prints_every_figure) {
    const result r = run({"stats"});
    EXPECT_EQ(r.code, exit_ok);
    EXPECT_EQ(r.out,
              "  Files           1\n"
              "  Directories     1\n"
              "  Versions        2\n"
              "  Chunks          4\n"
              "  Logical bytes   400\n"
              "  Chunk bytes     300\n"
              "  Stored bytes    300\n"
              "  Dedup ratio     1.33\n"
              "  Compression     1.00\n"
              "  Containers      1\n");
}

// A check-in that changes nothing adds no block, yet it is a version, and
// every place that lists or counts versions says so alike.
TEST_F(verify_command_test, an_unchanged_checkin_is_a_version_everywhere) {
    test::test_vault fresh(options());
    const std::string db = fresh.db_path();
    const fs::path local = folder / "g";
    for (const auto& [when, second] : {std::pair{"2024-01-02 03:04:05", 'b'},
                                       {"2024-02-03 04:05:06", 'b'},
                                       {"2024-03-04 05:06:07", 'c'}}) {
        std::ofstream(local, std::ios::binary) << std::string(100, 'a') << std::string(100, second);
        fresh.repo().checkin_file(local, "\\", when, "text/plain", "");
    }
    EXPECT_EQ(run({"versions", "\\g"}, db).out,
              "2024-01-02 03:04:05\t\n2024-02-03 04:05:06\t\n2024-03-04 05:06:07\t\n");
    EXPECT_EQ(run({"stats"}, db).out,
              "  Files           1\n"
              "  Directories     1\n"
              "  Versions        3\n"
              "  Chunks          4\n"
              "  Logical bytes   600\n"
              "  Chunk bytes     300\n"
              "  Stored bytes    300\n"
              "  Dedup ratio     2.00\n"
              "  Compression     1.00\n"
              "  Containers      1\n");
    EXPECT_EQ(run({"verify"}, db).out,
              "1 file, 3 versions, 4 chunks, 1 container checked: no problems\n");

    // The export of every version writes the logical bytes, version by version.
    const fs::path out = folder / "export";
    std::ostringstream progress, problems;
    export_engine(fresh.repo(), "\\g", out, version_mode::all, entry_filter::both, progress,
                  problems)
        .run();
    std::vector<std::string> exported;
    for (const char* name :
         {"g_2024-01-02 03-04-05", "g_2024-02-03 04-05-06", "g_2024-03-04 05-06-07"}) {
        exported.push_back(test::text_file_contents(out / name));
    }
    const std::string b = std::string(100, 'a') + std::string(100, 'b');
    EXPECT_EQ(exported,
              (std::vector<std::string>{b, b, std::string(100, 'a') + std::string(100, 'c')}));
    EXPECT_EQ(problems.str(), "");
}

TEST(stats_command_test, empty_vault_has_no_ratio) {
    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::test_vault v;
    const std::string db = v.db_path();
    const char* argv[] = {"quillmark", "--db", db.c_str(), "stats"};
    std::ostringstream out, err;
    EXPECT_EQ(run_cli(4, argv, out, err, {}), exit_ok);
    EXPECT_NE(out.str().find("  Dedup ratio     -\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace tuv::tools
