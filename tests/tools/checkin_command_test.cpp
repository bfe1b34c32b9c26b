#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "core/vault/writer_lock.h"
#include "tests/support/checks.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tools/cli.h"

namespace tuv::tools {
namespace {

namespace fs = std::filesystem;

class checkin_command_test : public ::testing::Test {
  protected:
    struct result {
        int code;
        std::string out;
        std::string err;
    };

    void SetUp() override {
        fs::create_directory(folder / "run");
        ASSERT_EQ(run({"init", "--vault", (folder / "v").string()}).code, exit_ok);
    }

    result run(std::vector<std::string> args) {
        args.insert(args.begin(), "quillmark");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        std::ostringstream out, err;
        cli_environment env{fs::path("/opt/quillmark/bin")};
        env.terminal = false;
        const int code = run_cli(static_cast<int>(argv.size()), argv.data(), out, err, env);
        return {code, out.str(), err.str()};
    }

    std::string local(const std::string& name, const std::string& content) {
        std::ofstream(folder / name, std::ios::binary) << content;
        return (folder / name).string();
    }

    // The vault's journal rows: "inode year month day hour minute second attributes".
    std::vector<std::string> journal() {
        repository repo((folder / "v" / "quillmark.db").string());
        auto row = repo.database().query(
            "SELECT inode || ' ' || year || ' ' || month || ' ' || day || ' ' || hour || ' ' ||"
            " minute || ' ' || second || ' ' || attributes FROM journal ORDER BY id");
        std::vector<std::string> rows;
        while (row->next()) rows.push_back(row->get_string(0));
        return rows;
    }
    std::int64_t id_of(const std::string& vault_path) {
        repository repo((folder / "v" / "quillmark.db").string());
        return repo.catalogue().resolve(vault_path)->file_id();
    }

    // Whether `line` is the final line of a check-in of `source` as `vault_path`.
    static bool checked_in(const std::string& line, const std::string& source,
                           const std::string& vault_path, std::size_t bytes) {
        const std::string head = "Checked in " + source + " as " + vault_path + ": " +
                                 std::to_string(bytes) + " bytes in ";
        static const std::regex tail(R"([0-9]+\.[0-9]{2} s \(([0-9]+\.[0-9] MB/s|-)\))");
        return line.starts_with(head) && std::regex_match(line.substr(head.size()), tail);
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::scoped_env runtime{"XDG_RUNTIME_DIR", (folder / "run").string()};
};

TEST_F(checkin_command_test, checks_in_every_file_in_order_with_one_line_each) {
    const std::string a = local("a.txt", "alpha"), b = local("b.txt", "bravo!");
    const result r = run({"checkin", a, b, "--to", "\\Docs", "--description", "x"});
    ASSERT_EQ(r.code, exit_ok) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 2u) << r.out;
    EXPECT_TRUE(checked_in(out[0], a, "\\Docs\\a.txt", 5)) << out[0];
    EXPECT_TRUE(checked_in(out[1], b, "\\Docs\\b.txt", 6)) << out[1];
    EXPECT_LT(id_of("\\Docs\\a.txt"), id_of("\\Docs\\b.txt"));
}

TEST_F(checkin_command_test, a_missing_file_is_reported_and_the_others_are_checked_in) {
    const std::string a = local("a.txt", "alpha"), b = local("b.txt", "bravo!");
    const std::string missing = (folder / "missing.txt").string();
    const result r = run({"checkin", a, missing, b});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: " + missing + ": Couldn't open file: " + missing + "\n");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 2u) << r.out;
    EXPECT_TRUE(checked_in(out[0], a, "\\a.txt", 5)) << out[0];
    EXPECT_TRUE(checked_in(out[1], b, "\\b.txt", 6)) << out[1];
}

TEST_F(checkin_command_test, report_lines_show_control_characters_as_pictures) {
    const std::string a = local("a.txt", "alpha");
    // Joined as text: a path made of a non-ASCII name does not round-trip
    // through the Windows code page.
    const std::string base = (folder / "gone").string();
    const std::string gone = base + "\nfile.txt";
    const std::string gone_shown = base + "␊file.txt";
    const result r =
        run({"checkin", a, gone, "--to", "\\Line\nbreak\tx", "--description", "one\ntwo"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: " + gone_shown + ": Couldn't open file: " + gone_shown + "\n");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1u) << r.out;
    EXPECT_TRUE(checked_in(out[0], a, "\\Line␊break␉x\\a.txt", 5)) << out[0];
    EXPECT_TRUE(journal().back().ends_with(" one\ntwo")) << journal().back();
}

TEST_F(checkin_command_test, date_option_dates_the_journal_rows) {
    const std::vector<std::string> before = journal();
    ASSERT_EQ(run({"checkin", local("a.txt", "alpha"), "--date", "2024-05-06 07:08:09",
                   "--description", "dated"})
                  .code,
              exit_ok);
    const std::int64_t a = id_of("\\a.txt");
    const std::vector<std::string> after = journal();
    EXPECT_EQ(
        std::vector<std::string>(after.begin() + static_cast<long>(before.size()), after.end()),
        (std::vector<std::string>{"1 2024 5 6 7 8 9 ",
                                  std::to_string(a) + " 2024 5 6 7 8 9 dated"}));
}

TEST_F(checkin_command_test, refuses_while_another_writer_holds_the_vault_and_only_that_vault) {
    const std::string a = local("a.txt", "alpha");
    const std::vector<std::string> before = journal();
    auto holder = try_lock_writer(folder / "v" / "quillmark.db", std::chrono::milliseconds(0));
    ASSERT_TRUE(holder);
    const result r = run({"checkin", a});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillmark: another check-in is running; try again when it has finished\n");
    EXPECT_EQ(journal(), before);

    ASSERT_EQ(run({"init", "--vault", (folder / "w").string()}).code, exit_ok);
    EXPECT_EQ(run({"--db", (folder / "w" / "quillmark.db").string(), "checkin", a}).code, exit_ok);
    holder->release();
    EXPECT_EQ(run({"--db", (folder / "v" / "quillmark.db").string(), "checkin", a}).code, exit_ok);
}

TEST_F(checkin_command_test, a_folder_brings_every_file_below_it_in_path_order) {
    QUILLMARK_NEED_SYMLINKS();
    const fs::path proj = folder / "proj";
    fs::create_directories(proj / "sub" / "deeper");
    fs::create_directories(proj / "empty");
    std::ofstream(proj / "b.txt") << "bravo!";
    std::ofstream(proj / "sub" / "a.txt") << "alpha";
    std::ofstream(proj / "sub" / "deeper" / "c.txt") << "charlie";
    fs::create_symlink(proj / "b.txt", proj / "link.txt");
    const std::string single = local("single.txt", "solo");

    const result r = run({"checkin", single, proj.string(), "--to", "\\Docs"});
    ASSERT_EQ(r.code, exit_ok) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 5u) << r.out;
    EXPECT_TRUE(checked_in(out[0], single, "\\Docs\\single.txt", 4)) << out[0];
    EXPECT_TRUE(checked_in(out[1], (proj / "b.txt").string(), "\\Docs\\proj\\b.txt", 6)) << out[1];
    // A link to a file brings the file's bytes under the link's name.
    EXPECT_TRUE(checked_in(out[2], (proj / "link.txt").string(), "\\Docs\\proj\\link.txt", 6))
        << out[2];
    EXPECT_TRUE(checked_in(out[3], (proj / "sub" / "a.txt").string(),
                           "\\Docs\\proj\\sub\\a.txt", 5))
        << out[3];
    EXPECT_TRUE(checked_in(out[4], (proj / "sub" / "deeper" / "c.txt").string(),
                           "\\Docs\\proj\\sub\\deeper\\c.txt", 7))
        << out[4];
    repository repo((folder / "v" / "quillmark.db").string());
    EXPECT_THROW(repo.catalogue().resolve("\\Docs\\proj\\empty"), tuv::file_not_found_exception);
}

TEST_F(checkin_command_test, what_a_folder_holds_besides_files_and_folders_is_reported) {
    QUILLMARK_NEED_SYMLINKS();
    const fs::path proj = folder / "proj";
    fs::create_directories(proj / "inner");
    std::ofstream(proj / "inner" / "a.txt") << "alpha";
    fs::create_directory_symlink(proj / "inner", proj / "loop");
    fs::create_symlink(proj / "nowhere", proj / "dangling");

    const result r = run({"checkin", (proj / ".").string()});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: " + (proj / "." / "dangling").string() +
                         ": not a regular file; not checked in\n"
                         "quillmark: " + (proj / "." / "loop").string() +
                         ": a link to a folder; not followed\n");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1u) << r.out;
    EXPECT_TRUE(checked_in(out[0], (proj / "." / "inner" / "a.txt").string(),
                           "\\proj\\inner\\a.txt", 5))
        << out[0];
}

TEST_F(checkin_command_test, special_files_named_on_the_command_line_are_refused_unread) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs or /dev/zero";
#else
    const fs::path fifo = folder / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string notes = local("notes.txt", "n");
    const result r = run({"checkin", fifo.string(), "/dev/zero", notes});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: " + fifo.string() + ": not a regular file; not checked in\n"
                     "quillmark: /dev/zero: not a regular file; not checked in\n");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1u) << r.out;
    EXPECT_TRUE(checked_in(out[0], notes, "\\notes.txt", 1)) << out[0];
#endif
}

TEST_F(checkin_command_test, final_line_names_the_file_as_stored_and_a_moved_moment) {
    const std::string a = local("a.txt", "a");
    const char* dates[] = {"2099-01-01 00:00:00", "now", "now"};
    const char* folders[] = {"P", "\\P\\", "\\\\P"};
    for (int i = 0; i < 3; ++i) {
        const std::vector<std::string> out =
            lines(run({"checkin", a, "--to", folders[i], "--date", dates[i], "--future"}).out);
        ASSERT_EQ(out.size(), i == 0 ? 1u : 2u);
        EXPECT_TRUE(checked_in(out[0], a, "\\P\\a.txt", 1)) << out[0];
        if (i > 0) {
            EXPECT_EQ(out[1], "Note: the time now is not later than the latest version of "
                              "\\P\\a.txt, so this version is dated a second after it: "
                              "2099-01-01 00:00:0" + std::to_string(i));
        }
    }
}

TEST_F(checkin_command_test, back_dated_version_fails_with_exit_1_and_the_moments) {
    const std::string q = local("q.txt", "later");
    ASSERT_EQ(run({"checkin", q, "--date", "2026-06-01 12:00:00"}).code, exit_ok);
    const result r = run({"checkin", local("q.txt", "earlier"), "--date", "2026-01-01 12:00:00"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: " + q + ": Cannot check in " + q +
                         " as \\q.txt: its latest version is dated 2026-06-01 12:00:00, and a "
                         "new version must be later (asked for 2026-01-01 12:00:00)\n");
}

// A version dated far ahead would lock the check-in program out of the file
// until that day: taken only with --future, and the refusal that follows
// says the way out.
TEST_F(checkin_command_test, a_date_far_ahead_is_taken_only_when_meant) {
    const std::string q = local("q.txt", "ahead");
    const result refused = run({"checkin", q, "--date", "2099-01-01 00:00:00"});
    EXPECT_EQ(refused.code, exit_usage);
    EXPECT_EQ(refused.err,
              "--date: 2099-01-01 00:00:00 is more than a day after now, and until then the "
              "check-in program cannot add a version of these files; add --future if it is "
              "meant\nRun with --help for more information.\n");
    ASSERT_EQ(run({"checkin", q, "--date", "2099-01-01 00:00:00", "--future"}).code, exit_ok);
    const result later = run({"checkin", q, "--date", "2026-01-01 12:00:00"});
    EXPECT_EQ(later.code, exit_failed);
    EXPECT_EQ(later.err, "quillmark: " + q + ": Cannot check in " + q +
                             " as \\q.txt: its latest version is dated 2099-01-01 00:00:00, and a "
                             "new version must be later (asked for 2026-01-01 12:00:00); that "
                             "date is still to come: check the file into another vault directory, "
                             "or give a later date with quillmark checkin --date ... --future\n");
}

TEST_F(checkin_command_test, checkout_without_a_moment_names_the_latest_version_even_unchanged) {
    const std::string q = local("q.txt", "same");
    ASSERT_EQ(run({"checkin", q, "--date", "2026-06-01 12:00:00"}).code, exit_ok);
    ASSERT_EQ(run({"checkin", q, "--date", "2026-07-01 12:00:00"}).code, exit_ok);
    const std::string dest = (folder / "out.txt").string();
    EXPECT_EQ(run({"checkout", "\\q.txt", dest}).out,
              "Checked out \\q.txt as of 2026-07-01 12:00:00 to " + dest + " (4 bytes)\n");
}

TEST_F(checkin_command_test, checkout_before_the_first_version_says_when_that_is) {
    ASSERT_EQ(run({"checkin", local("q.txt", "q"), "--date", "2026-06-01 12:00:00"}).code, exit_ok);
    const std::string dest = (folder / "out.txt").string();
    const result r = run({"checkout", "\\q.txt", dest, "--at", "2026-01-01 00:00:00"});
    EXPECT_EQ(r.code, exit_failed);
    EXPECT_EQ(r.err, "quillmark: \\q.txt has no version at 2026-01-01 00:00:00: its first "
                     "version is dated 2026-06-01 12:00:00\n");
    EXPECT_FALSE(fs::exists(dest));
}

}  // namespace
}  // namespace tuv::tools
