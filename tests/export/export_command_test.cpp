#include "export/export_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

constexpr const char* t1 = "2024-01-02 03:04:05";
constexpr const char* t2 = "2024-03-04 05:06:07";

// Written out here rather than taken from the header: the text is part of
// the program's behaviour.
constexpr const char* usage =
    "usage:\n"
    " export_utility <[f/d/b] [a/l/o]> <src,...> <dist_dir>\n"
    " -f only files under given directories will be checked out.\n"
    " -d only subdirectories under given directories will be checked out.\n"
    " -b both file and directories under given directory will be checked out.\n"
    " -l latest version will be checked out.\n"
    " -o oldest(first) version will be checked out.\n"
    " -a all versions will be checked out.\n";

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct result {
    int code;
    std::string out;
    std::string err;
};

class export_command_test : public ::testing::Test {
  protected:
    export_command_test() {
        test::register_vault(v.db_path());
        // \docs\a.txt with two versions, \docs\sub\c.txt
        checkin("\\docs", "a.txt", "first", t1);
        checkin("\\docs\\sub", "c.txt", "charlie", t1);
        checkin("\\docs", "a.txt", "second", t2);
    }

    void checkin(const std::string& directory, const std::string& name, const std::string& content,
                 const std::string& when) {
        fs::create_directories(folder / "local");
        const fs::path source = folder / "local" / name;
        std::ofstream(source, std::ios::binary) << content;
        v.repo().checkin_file(source, directory, when, "text/plain", "desc");
    }

    result run(std::vector<std::string> args) {
        args.insert(args.begin(), "Quillmark_Export");
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        std::ostringstream out, err;
        const int code = run_export_command(static_cast<int>(argv.size()), argv.data(), out, err);
        return {code, out.str(), err.str()};
    }

    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::test_vault v;
    fs::path root = folder / "out";
};

TEST_F(export_command_test, too_few_arguments_print_the_message_and_the_usage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"\\docs"},
          std::vector<std::string>{"-l", "\\docs"}}) {
        const result r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("Invalid number of arguments\n") + usage);
    }
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(export_command_test, three_letters_are_too_many_options) {
    const result r = run({"-fdl", "\\docs", root.string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, std::string("Invalid number of options\n") + usage);
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(export_command_test, an_unknown_letter_is_an_invalid_option) {
    const result r = run({"-lx", "\\docs", root.string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, std::string("Invalid option\n") + usage);
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(export_command_test, an_empty_destination_or_source_is_refused) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"\\docs", ""}, "Invalid destination: the folder name is empty\n"},
        {{"-l", "\\docs", ""}, "Invalid destination: the folder name is empty\n"},
        {{"", root.string()}, "Invalid source: the vault path is empty\n"},
        {{"\\docs", "", root.string()}, "Invalid source: the vault path is empty\n"},
    };
    for (const auto& [args, message] : cases) {
        const result r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, message + usage);
    }
    EXPECT_FALSE(fs::exists(root));
    EXPECT_FALSE(fs::exists("docs"));  // nothing in the working folder
}

TEST_F(export_command_test, without_options_every_file_is_exported_latest) {
    const result r = run({"\\docs", root.string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "second");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
}

TEST_F(export_command_test, letters_of_one_group_or_together) {
    // l (1) with a (2) gives 3: the oldest version.
    ASSERT_EQ(run({"-la", "\\docs", root.string()}).code, 0);
    EXPECT_EQ(contents(root / "docs" / "a.txt"), "first");
    // f (1) with d (2) gives both; a lone "-" keeps the defaults.
    ASSERT_EQ(run({"-fd", "\\docs", (folder / "both").string()}).code, 0);
    EXPECT_EQ(contents(folder / "both" / "docs" / "a.txt"), "second");
    EXPECT_EQ(contents(folder / "both" / "docs" / "sub" / "c.txt"), "charlie");
    ASSERT_EQ(run({"-", "\\docs", (folder / "lone").string()}).code, 0);
    EXPECT_EQ(contents(folder / "lone" / "docs" / "a.txt"), "second");
    EXPECT_EQ(contents(folder / "lone" / "docs" / "sub" / "c.txt"), "charlie");
}

TEST_F(export_command_test, the_filter_letters_choose_files_or_subdirectories) {
    ASSERT_EQ(run({"-f", "\\docs", (folder / "f").string()}).code, 0);
    EXPECT_TRUE(fs::exists(folder / "f" / "docs" / "a.txt"));
    EXPECT_FALSE(fs::exists(folder / "f" / "docs" / "sub"));
    ASSERT_EQ(run({"-do", "\\docs", (folder / "d").string()}).code, 0);
    EXPECT_FALSE(fs::exists(folder / "d" / "docs" / "a.txt"));
    EXPECT_EQ(contents(folder / "d" / "docs" / "sub" / "c.txt"), "charlie");
}

TEST_F(export_command_test, all_versions_print_two_lines_per_version) {
    const result r = run({"-a", "\\docs\\a.txt", root.string()});
    EXPECT_EQ(r.code, 0);
    const fs::path one = root / "docs" / "a_2024-01-02 03-04-05.txt";
    const fs::path two = root / "docs" / "a_2024-03-04 05-06-07.txt";
    EXPECT_EQ(r.out, "date2024-01-02 03:04:05\nfile" + one.string() +
                         "\ndate2024-03-04 05:06:07\nfile" + two.string() + "\n");
    EXPECT_EQ(contents(one), "first");
    EXPECT_EQ(contents(two), "second");
}

TEST_F(export_command_test, sources_are_exported_in_order_and_a_missing_one_is_reported) {
    checkin("\\docs", "x,y.txt", "comma", t1);
    fs::create_directories(root);
    const result r = run({"\\docs\\missing.txt", "\\docs\\x,y.txt", "\\docs\\sub", root.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "No such file or directory: missing.txt\n");
    const std::int64_t docs = v.repo().catalogue().resolve("\\docs")->file_id();
    EXPECT_EQ(test::text_file_contents(root / "log.txt"),
              "Exception: No such file or directory: missing.txt\n"
              "Filename: missing.txt\nParent ID: " +
                  std::to_string(docs) + "\n");
    EXPECT_EQ(contents(root / "docs" / "x,y.txt"), "comma");
    EXPECT_EQ(contents(root / "docs" / "sub" / "c.txt"), "charlie");
    EXPECT_FALSE(fs::exists(root / "docs" / "a.txt"));
}

// A line break or a tab in a name shows as its control picture, so that
// each printed or logged line stays one line.
TEST_F(export_command_test, all_versions_lines_show_control_characters_as_pictures) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows file name cannot hold a line break or a tab";
#else
    checkin("\\docs\\Line\nbreak\tx", "e.txt", "echo", t1);
    const result r = run({"-a", "\\docs\\Line\nbreak\tx\\e.txt", root.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, std::string("date") + t1 + "\nfile" +
                         (root / "docs" / "Line␊break␉x" / "e_2024-01-02 03-04-05.txt").string() +
                         "\n");
    EXPECT_EQ(contents(root / "docs" / "Line\nbreak\tx" / "e_2024-01-02 03-04-05.txt"), "echo");
#endif
}

TEST_F(export_command_test, a_missing_name_is_said_and_logged_on_one_line) {
    const result r = run({"\\docs\\gone\nfile\t.txt", root.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "No such file or directory: gone␊file␉.txt\n");
    EXPECT_EQ(test::text_file_contents(root / "log.txt"),
              "Exception: No such file or directory: gone␊file␉.txt\n"
              "Filename: gone␊file␉.txt\nParent ID: " +
                  std::to_string(v.repo().catalogue().resolve("\\docs")->file_id()) + "\n");
}

TEST_F(export_command_test, a_second_run_appends_to_the_log) {
    fs::create_directories(root);
    std::ofstream(root / "docs") << "a file in the folder's way";
    const std::string line =
        "Exception: Couldn't open " + (root / "docs" / "a.txt").string() +
#ifdef _WIN32
        // Windows finds no such path where a file stands in the way.
        ": No such file or directory\n";
#else
        ": Not a directory\n";
#endif
    ASSERT_EQ(run({"-f", "\\docs", root.string()}).code, 1);
    EXPECT_EQ(test::text_file_contents(root / "log.txt"), line);
    ASSERT_EQ(run({"-f", "\\docs", root.string()}).code, 1);
    EXPECT_EQ(test::text_file_contents(root / "log.txt"), line + line);
}

TEST_F(export_command_test, without_a_registered_vault_nothing_is_exported_and_it_says_so) {
    test::register_vault("");
    const result r = run({"\\docs", root.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "No vault is registered for this user (registry value db_path)\n");
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(export_command_test, an_empty_file_as_the_vault_is_refused_and_stays_empty) {
    const fs::path empty = folder / "empty.db";
    std::ofstream{empty};
    test::register_vault(empty.string());
    const result r = run({"\\docs", root.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, empty.string() + " is not a Quillmark vault: it has no settings table\n");
    EXPECT_EQ(fs::file_size(empty), 0u);
}

TEST_F(export_command_test, a_vault_that_cannot_be_opened_is_reported_on_standard_output) {
    // A line break in the path stays on the one line.
    // Joined as text: a path made of a non-ASCII name does not round-trip
    // through the Windows code page.
    const std::string base = (folder / "no").string();
    const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
    const fs::path missing = base + "\nwhere" + separator + "quillmark.db";
    const std::string shown = base + "␊where" + separator + "quillmark.db";
    test::register_vault(missing.string());
    std::string expected;
    try {
        repository probe(missing.string());
    } catch (const tuv_error& e) {
        expected = e.what();
    }
    ASSERT_NE(expected.find(missing.string()), std::string::npos) << expected;
    expected.replace(expected.find(missing.string()), missing.string().size(), shown);
    expected += "\n";
    const result r = run({"\\docs", root.string()});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fs::exists(root));
}

}  // namespace
}  // namespace tuv
