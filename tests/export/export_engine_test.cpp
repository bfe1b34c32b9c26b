#include "export/export_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/db/db.h"
#include "core/storage/vault_folder.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

constexpr const char* t1 = "2024-01-02 03:04:05";
constexpr const char* t2 = "2024-03-04 05:06:07";

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The log lines of a name not found under the parent with id `parent`.
std::string not_found_lines(const std::string& name, std::int64_t parent) {
    return "Exception: No such file or directory: " + name + "\nFilename: " + name +
           "\nParent ID: " + std::to_string(parent) + "\n";
}

class export_engine_test : public ::testing::Test {
  protected:
    explicit export_engine_test(vault_options options = {}) : v(std::move(options)) {}

    // Checks in `content` as the vault file `directory` + name at `when`.
    void checkin(const std::string& directory, const std::string& name, const std::string& content,
                 const std::string& when) {
        fs::create_directories(folder / "local");
        const fs::path source = folder / "local" / name;
        write_file(source, content);
        v.repo().checkin_file(source, directory, when, "text/plain", "desc");
    }

    // \docs\a.txt (two versions), \docs\b, \docs\sub\c.txt, \docs\sub\deep\d.txt
    void make_docs() {
        checkin("\\docs", "a.txt", "alpha one", t1);
        checkin("\\docs", "b", "bravo", t1);
        checkin("\\docs\\sub", "c.txt", "charlie", t1);
        checkin("\\docs\\sub\\deep", "d.txt", "delta", t1);
        checkin("\\docs", "a.txt", "alpha two, longer", t2);
    }

    void run(const std::string& source, version_mode mode = version_mode::latest,
             entry_filter filter = entry_filter::both) {
        export_engine(v.repo(), source, root, mode, filter, progress, problems).run();
    }

    std::string log() { return test::text_file_contents(root / "log.txt"); }

    // Where the newest chunk lies, to damage exactly that one.
    std::int64_t newest_chunk_offset() {
        auto row = v.database().query(
            "SELECT physical_offset FROM chunk WHERE size > 0 ORDER BY chunk_id DESC LIMIT 1");
        return row->next() ? row->get_int64(0) : -1;
    }
    fs::path container() {
        auto row = v.database().query("SELECT path FROM disk_info ORDER BY disk_id LIMIT 1");
        return row->next() ? local_path(v.repo().folder(), row->get_string(0)) : fs::path();
    }

    test::temp_dir folder;
    test::test_vault v;
    fs::path root = folder / "out";
    std::ostringstream progress;
    std::ostringstream problems;
};

TEST_F(export_engine_test, latest_versions_reproduce_the_tree_below_the_root) {
    make_docs();
    fs::create_directories(root);
    run("\\docs");
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "alpha two, longer");
    EXPECT_EQ(contents(root / "docs" / "b"), "bravo");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
    EXPECT_EQ(contents(root / "docs" / "sub" / "deep" / "d.txt"), "delta");
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"docs", "log.txt"}));
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"a.txt", "b", "sub"}));
    EXPECT_EQ(log(), "");
    EXPECT_EQ(progress.str(), "");
    EXPECT_EQ(problems.str(), "");
}

TEST_F(export_engine_test, oldest_mode_writes_each_files_first_version) {
    make_docs();
    run("\\docs", version_mode::oldest);
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "alpha one");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
}

TEST_F(export_engine_test, the_vault_root_exports_into_the_destination_root_itself) {
    make_docs();
    checkin("\\", "top.txt", "top", t1);
    run("\\");
    EXPECT_EQ(contents(root / "top.txt"), "top");
    EXPECT_EQ(contents(root / "docs" / "sub" / "deep" / "d.txt"), "delta");
}

// The vault's own files are looked up once for the whole export: a file
// that would land in the data folder, or on the database through a link,
// is still refused, and the others still go.
TEST_F(export_engine_test, the_vaults_own_files_are_never_written_over) {
    make_docs();
    checkin("\\", "top.txt", "top", t1);
    const fs::path data = v.repo().storage().data_directory;
    for (const version_mode mode : {version_mode::latest, version_mode::oldest}) {
        fs::remove(data / "log.txt");  // the log is appended to
        export_engine(v.repo(), "\\", data, mode, entry_filter::files, progress, problems).run();
        EXPECT_FALSE(fs::exists(data / "top.txt"));
        EXPECT_EQ(test::text_file_contents(data / "log.txt"),
                  "Exception: Cannot write " + (data / "top.txt").string() +
                      ": it is one of the vault's own files\n");
    }

#ifndef _WIN32  // making a link there takes a privilege most users lack
    fs::create_directories(root / "docs");
    fs::create_symlink(v.db_path(), root / "docs" / "b");
    run("\\docs");
    EXPECT_EQ(log(), "Exception: Cannot write " + (root / "docs" / "b").string() +
                         ": it is one of the vault's own files\n");
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "alpha two, longer");
#endif
}

TEST_F(export_engine_test, files_filter_exports_only_files_directly_in_the_source) {
    make_docs();
    run("\\docs", version_mode::latest, entry_filter::files);
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"a.txt", "b"}));
}

TEST_F(export_engine_test, directories_filter_exports_each_subdirectory_completely) {
    make_docs();
    checkin("\\docs\\sub", "e.txt", "echo", t1);
    run("\\docs", version_mode::latest, entry_filter::directories);
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"sub"}));
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
    EXPECT_EQ(contents(root / "docs" / "sub" / "e.txt"), "echo");
    EXPECT_EQ(contents(root / "docs" / "sub" / "deep" / "d.txt"), "delta");
}

TEST_F(export_engine_test, a_file_source_is_exported_whatever_the_filter) {
    make_docs();
    run("\\docs\\a.txt", version_mode::latest, entry_filter::directories);
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "alpha two, longer");
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"a.txt"}));
}

TEST_F(export_engine_test, all_versions_get_the_time_suffix_and_two_progress_lines_each) {
    make_docs();
    run("\\docs", version_mode::all, entry_filter::files);
    const fs::path docs = root / "docs";
    EXPECT_EQ(names_in(docs),
              (std::vector<std::string>{"a_2024-01-02 03-04-05.txt", "a_2024-03-04 05-06-07.txt",
                                        "b_2024-01-02 03-04-05"}));
    EXPECT_EQ(contents(docs / "a_2024-01-02 03-04-05.txt"), "alpha one");
    EXPECT_EQ(contents(docs / "a_2024-03-04 05-06-07.txt"), "alpha two, longer");
    EXPECT_EQ(contents(docs / "b_2024-01-02 03-04-05"), "bravo");
    EXPECT_EQ(
        progress.str(),
        "date2024-01-02 03:04:05\nfile" + (docs / "a_2024-01-02 03-04-05.txt").string() +
            "\ndate2024-03-04 05:06:07\nfile" + (docs / "a_2024-03-04 05-06-07.txt").string() +
            "\ndate2024-01-02 03:04:05\nfile" + (docs / "b_2024-01-02 03-04-05").string() + "\n");
    EXPECT_EQ(log(), "");
}

TEST_F(export_engine_test, versioned_name_puts_the_suffix_before_the_first_dot_or_at_the_end) {
    std::tm moment{};
    moment.tm_year = 124;
    moment.tm_mon = 0;
    moment.tm_mday = 2;
    moment.tm_hour = 3;
    moment.tm_min = 4;
    moment.tm_sec = 5;
    EXPECT_EQ(versioned_name("report.txt", moment), "report_2024-01-02 03-04-05.txt");
    EXPECT_EQ(versioned_name("archive.tar.gz", moment), "archive_2024-01-02 03-04-05.tar.gz");
    EXPECT_EQ(versioned_name("Makefile", moment), "Makefile_2024-01-02 03-04-05");
    EXPECT_EQ(versioned_name(".profile", moment), ".profile_2024-01-02 03-04-05");
    EXPECT_EQ(versioned_name(".config.json", moment), ".config_2024-01-02 03-04-05.json");
}

TEST_F(export_engine_test, a_source_not_in_the_vault_is_logged_and_reported) {
    make_docs();
    root = folder / "new";  // made for the log
    run("\\docs\\missing.txt");
    run("\\nowhere");
    EXPECT_EQ(names_in(root), (std::vector<std::string>{"log.txt"}));
    const std::int64_t docs = v.repo().catalogue().resolve("\\docs")->file_id();
    EXPECT_EQ(log(), not_found_lines("missing.txt", docs) + not_found_lines("nowhere", 1));
    EXPECT_EQ(problems.str(),
              "No such file or directory: missing.txt\nNo such file or directory: nowhere\n");
}

TEST_F(export_engine_test, a_log_that_is_not_a_regular_file_is_left_alone) {
    QUILLMARK_NEED_SYMLINKS();
    fs::create_directories(root);
    fs::create_symlink(folder / "elsewhere", root / "log.txt");
    run("\\nowhere");
    EXPECT_FALSE(fs::exists(folder / "elsewhere"));
    EXPECT_EQ(problems.str(),
              "No such file or directory: nowhere\n" + not_found_lines("nowhere", 1));
}

TEST_F(export_engine_test, a_root_that_does_not_exist_is_made_without_a_log) {
    make_docs();
    root = folder / "new" / "deeper";
    run("\\docs");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
    EXPECT_FALSE(fs::exists(root / "log.txt"));  // nothing failed
}

TEST_F(export_engine_test, failures_under_a_root_that_did_not_exist_are_still_logged) {
    make_docs();
    fs::resize_file(container(), static_cast<std::uintmax_t>(newest_chunk_offset()));
    root = folder / "new";
    run("\\docs", version_mode::latest, entry_filter::files);
    EXPECT_EQ(contents(root / "docs" / "b"), "bravo");
    EXPECT_EQ(log().rfind("Exception: The vault is damaged: \\docs\\a.txt, offset 0: ", 0), 0u)
        << log();
    EXPECT_EQ(problems.str(), "");
}

TEST_F(export_engine_test, a_failed_write_leaves_the_local_file_as_it_was_and_is_logged) {
    make_docs();
    fs::create_directories(root / "docs");
    write_file(root / "docs" / "a.txt", "local edits");
    test::faulty_file_system faulty;
    v.repo().set_file_system(faulty);
    faulty.fail(test::fs_operation::write_at, 1, ENOSPC);
    run("\\docs", version_mode::latest, entry_filter::files);
    v.repo().set_file_system(file_system::local());

    EXPECT_EQ(contents(root / "docs" / "a.txt"), "local edits");
    EXPECT_EQ(contents(root / "docs" / "b"), "bravo");
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"a.txt", "b"}));
    const std::string text = log();
    EXPECT_EQ(text.rfind("Exception: Cannot write ", 0), 0u) << text;
    EXPECT_NE(text.find("No space left on device"), std::string::npos) << text;
}

// A file's failure found while writing it (on the writer's thread) is
// logged before that of a later file found while reading it.
TEST_F(export_engine_test, failures_are_logged_in_the_order_of_the_files) {
    make_docs();
    fs::create_directories(root / "docs" / "b");
    test::faulty_file_system faulty;
    v.repo().set_file_system(faulty);
    faulty.fail(test::fs_operation::write_at, 1, ENOSPC);
    run("\\docs", version_mode::latest, entry_filter::files);
    v.repo().set_file_system(file_system::local());

    const std::string text = log();
    const std::size_t first_end = text.find('\n');
    ASSERT_NE(first_end, std::string::npos) << text;
    const std::string first = text.substr(0, first_end);
    EXPECT_EQ(first.rfind("Exception: Cannot write " + (root / "docs" / ".a.txt.").string(), 0),
              0u)
        << text;
    EXPECT_NE(first.find(": No space left on device"), std::string::npos) << text;
    EXPECT_EQ(text.substr(first_end + 1), "Exception: Cannot write " +
                                              (root / "docs" / "b").string() +
                                              ": it is not a regular file\n");
}

TEST_F(export_engine_test, a_damaged_version_leaves_the_local_file_unchanged_and_the_rest_goes_on) {
    make_docs();
    fs::create_directories(root / "docs");
    write_file(root / "docs" / "a.txt", "local edits");
    // The newest chunk is a.txt's second version; cut the container there.
    const std::int64_t offset = newest_chunk_offset();
    ASSERT_GT(offset, 0);
    fs::resize_file(container(), static_cast<std::uintmax_t>(offset));

    run("\\docs");
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "local edits");
    EXPECT_EQ(contents(root / "docs" / "b"), "bravo");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
    EXPECT_EQ(names_in(root / "docs"), (std::vector<std::string>{"a.txt", "b", "sub"}));
    EXPECT_EQ(log(), "Exception: The vault is damaged: \\docs\\a.txt, offset 0: container " +
                         container().string() + " ends before the block's 17 bytes at " +
                         std::to_string(offset) + "\n");
}

TEST_F(export_engine_test, a_damaged_version_of_a_file_source_is_appended_to_the_log) {
    make_docs();
    fs::create_directories(root / "docs");
    write_file(root / "docs" / "a.txt", "local edits");
    write_file(root / "log.txt", "earlier run\n");
    fs::resize_file(container(), static_cast<std::uintmax_t>(newest_chunk_offset()));
    run("\\docs\\a.txt");
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "local edits");
    EXPECT_EQ(
        log().rfind("earlier run\nException: The vault is damaged: \\docs\\a.txt, offset 0: ", 0),
        0u)
        << log();
}

TEST_F(export_engine_test, all_versions_log_a_damaged_version_and_export_the_others) {
    make_docs();
    // Flip one byte of a.txt's second version: its checksum no longer matches.
    const std::int64_t offset = newest_chunk_offset();
    {
        std::fstream f(container(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(offset);
        f.put('X');
    }
    run("\\docs\\a.txt", version_mode::all);
    const fs::path docs = root / "docs";
    EXPECT_EQ(names_in(docs), std::vector<std::string>{"a_2024-01-02 03-04-05.txt"});
    EXPECT_EQ(contents(docs / "a_2024-01-02 03-04-05.txt"), "alpha one");
    EXPECT_EQ(log(),
              "Exception: The vault is damaged: \\docs\\a.txt, offset 0: the bytes in "
              "container " +
                  container().string() + " at " + std::to_string(offset) +
                  " do not match their checksum. FileName: \\docs\\a.txt. check-in time: "
                  "2024-03-04 05:06:07\n");
}

// Bytes no chunk of which compresses, so that flipping one gives a checksum
// mismatch; the same seed gives the same bytes.
std::string random_bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// A version of several pieces, whose blocks (pieces decoded on two threads)
// come out of the container in another order than the file's: the shared
// tail was stored by the first version, before the new head.
TEST_F(export_engine_test, a_version_of_many_pieces_stored_out_of_order_comes_back_whole) {
    const std::string tail = random_bytes(3 << 20, 1);
    checkin("\\docs", "big", tail, t1);
    const std::string latest = random_bytes(2 << 20, 2) + tail;
    checkin("\\docs", "big", latest, t2);
    run("\\docs");
    EXPECT_TRUE(contents(root / "docs" / "big") == latest);
    EXPECT_FALSE(fs::exists(root / "log.txt"));
}

// The latest version is read by the blocks never deleted: a version that
// shortened the file, or emptied it, comes back as it was checked in.
TEST_F(export_engine_test, latest_versions_that_shrank_come_back_as_checked_in) {
    for (const std::string& last : {std::string("short"), std::string()}) {
        const std::string name = "shrunk" + std::to_string(last.size());
        checkin("\\docs", name, random_bytes(300000, 4), t1);
        checkin("\\docs", name, last, t2);
        run("\\docs\\" + name);
        EXPECT_EQ(contents(root / "docs" / name), last);
    }
    EXPECT_EQ(test::text_file_contents(root / "log.txt"), "");
}

// Small files are decoded by the writer's thread and by the export's, as
// each has time: damaged ones are still logged in the order of the files,
// named and worded exactly, and every other file comes back whole.
TEST_F(export_engine_test, damaged_small_files_are_logged_in_order_whichever_thread_decoded_them) {
    std::vector<std::string> names, expected;
    for (int i = 0; i < 40; ++i) {
        names.push_back("f" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        checkin("\\many", names.back(), random_bytes(20000, 100 + i), t1);
    }
    std::string reports;
    for (int i = 3; i < 40; i += 5) {
        auto row = v.database().query(
            "SELECT chunk.physical_offset FROM bmap JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
            " WHERE bmap.file_id = (SELECT file_id FROM file_info WHERE path = ?)"
            " AND bmap.virtual_offset = 0",
            {names[i]});
        ASSERT_TRUE(row->next());
        const std::int64_t physical = row->get_int64(0);
        std::fstream f(container(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(physical);
        const char old = static_cast<char>(f.get());
        f.seekp(physical);
        f.put(static_cast<char>(old ^ 1));
        reports += "Exception: The vault is damaged: \\many\\" + names[i] +
                   ", offset 0: the bytes in container " + container().string() + " at " +
                   std::to_string(physical) + " do not match their checksum\n";
    }
    run("\\many");
    EXPECT_EQ(log(), reports);
    for (int i = 0; i < 40; ++i) {
        const fs::path local = root / "many" / names[i];
        if (i % 5 == 3) {
            EXPECT_FALSE(fs::exists(local)) << names[i];
        } else {
            EXPECT_TRUE(contents(local) == random_bytes(20000, 100 + i)) << names[i];
        }
    }
}

// A damaged block is reported as the first one in the file's order, whichever
// thread decoded it, and the next file is still exported.
TEST_F(export_engine_test, the_first_damaged_block_of_a_version_of_many_pieces_is_logged) {
    // Bytes into the file whose blocks are damaged, the first in the file
    // taken by the caller's thread or by either.
    const std::vector<std::vector<std::int64_t>> cases{
        {3500000}, {1500000, 3500000}, {100, 2500000}};
    for (const std::vector<std::int64_t>& damaged : cases) {
        test::temp_dir scratch;
        test::test_vault vault;
        const fs::path source = scratch / "big";
        write_file(source, random_bytes(4 << 20, 3));
        vault.repo().checkin_file(source, "\\docs", t1, "text/plain", "desc");
        write_file(scratch / "next", "after");
        vault.repo().checkin_file(scratch / "next", "\\later", t1, "text/plain", "desc");
        std::vector<std::string> reports;
        for (const std::int64_t at : damaged) {
            auto row = vault.database().query(
                "SELECT bmap.virtual_offset, chunk.physical_offset, disk_info.path FROM bmap"
                " JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
                " JOIN disk_info ON disk_info.disk_id = chunk.disk_id"
                " WHERE bmap.file_id = (SELECT file_id FROM file_info WHERE path = 'big')"
                " AND bmap.virtual_offset <= ? ORDER BY bmap.virtual_offset DESC LIMIT 1",
                {at});
            ASSERT_TRUE(row->next());
            const std::int64_t physical = row->get_int64(1);
            const fs::path file = local_path(vault.repo().folder(), row->get_string(2));
            std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
            f.seekg(physical);
            const char old = static_cast<char>(f.get());
            f.seekp(physical);
            f.put(static_cast<char>(old ^ 1));
            reports.push_back("Exception: The vault is damaged: \\docs\\big, offset " +
                              std::to_string(row->get_int64(0)) + ": the bytes in container " +
                              file.string() + " at " + std::to_string(physical) +
                              " do not match their checksum\n");
        }
        const fs::path out = scratch / "out";
        std::ostringstream progress_lines, problem_lines;
        export_engine(vault.repo(), "\\", out, version_mode::latest, entry_filter::both,
                      progress_lines, problem_lines)
            .run();
        EXPECT_EQ(test::text_file_contents(out / "log.txt"), reports.front());
        EXPECT_FALSE(fs::exists(out / "docs" / "big"));
        EXPECT_EQ(contents(out / "later" / "next"), "after");
    }
}

TEST_F(export_engine_test, a_vault_name_that_would_leave_the_root_is_refused) {
    checkin("\\docs\\..", "escape.txt", "out of bounds", t1);
    checkin("\\docs", "fine.txt", "fine", t1);
    run("\\docs");
    EXPECT_FALSE(fs::exists(folder / "escape.txt"));
    EXPECT_FALSE(fs::exists(root / "escape.txt"));
    EXPECT_EQ(contents(root / "docs" / "fine.txt"), "fine");
    EXPECT_EQ(log(), "Exception: Cannot export \\docs\\..: \"..\" cannot be a local file name\n");
}

class export_other_separator_test : public export_engine_test {
  protected:
    export_other_separator_test() : export_engine_test(with_separator()) {}
    static vault_options with_separator() {
        vault_options options;
        options.separator = "|";
        return options;
    }
};

TEST_F(export_other_separator_test, the_vault_separator_becomes_the_local_one) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows file name cannot hold a backslash";
#else
    checkin("|docs|sub", "back\\slash.txt", "kept", t1);
    run("|docs");
    EXPECT_EQ(contents(root / "docs" / "sub" / "back\\slash.txt"), "kept");
#endif
}

}  // namespace
}  // namespace tuv
