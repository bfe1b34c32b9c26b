#include "shellext/shell_ext.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv::shell {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// "caption|icon|text".
class recording_prompter : public shell_prompter {
  public:
    void message(const shell_message& message) override {
        static const char* const icons[] = {"information", "exclamation", "error"};
        shown.push_back(message.caption + "|" + icons[static_cast<int>(message.icon)] + "|" +
                        message.text);
    }
    std::vector<std::string> shown;
};

class shell_ext_test : public ::testing::Test {
  protected:
    // The machine's Quillmark key naming `program` as the check-in program.
    static void register_checkin_program(const fs::path& program) {
        platform::create_registry_key(platform::registry_root::local_machine,
                                      platform::quillmark_key)
            .set(platform::checkin_program_value, program.string());
    }

    fs::path local_file(const std::string& name, const std::string& text = "text") {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }

    void check_in(const fs::path& source, const std::string& folder, const std::string& when,
                  const std::string& description) {
        vault_.repo().checkin_file(source, folder, when, "text/plain", description);
    }

    test::temp_dir dir_;
    test::scoped_registry registry_{dir_ / "registry"};
    test::scoped_env record_{test::record_variable, (dir_ / "record").string()};
    test::test_vault vault_;
    recording_prompter prompts_;
};

TEST_F(shell_ext_test, selection_leaves_out_folders_and_paths_that_cannot_be_passed) {
    const std::vector<selected_item> items{{"/d/a.txt", false},
                                           {"/d/sub", true},
                                           {"/d/b c.txt", false},
                                           {"/d/x#y.txt", false},
                                           {"/d/p,q.txt", false}};
    const selection chosen = select_files(items);
    EXPECT_THAT(chosen.files, ElementsAre("/d/a.txt", "/d/b c.txt"));
    EXPECT_THAT(chosen.refused, ElementsAre("/d/x#y.txt", "/d/p,q.txt"));
    EXPECT_EQ(chosen.text(), "/d/a.txt#/d/b c.txt");
}

TEST_F(shell_ext_test, menu_offers_the_checkin_for_any_selection_and_properties_for_one_file) {
    const selected_item file{"/d/a", false}, other{"/d/b", false}, folder{"/d/f", true};
    EXPECT_THAT(menu_for(std::vector{folder, folder}), ElementsAre(menu_command::checkin));
    EXPECT_THAT(menu_for(std::vector{folder, file}),
                ElementsAre(menu_command::checkin, menu_command::properties));
    EXPECT_THAT(menu_for(std::vector{file, other}), ElementsAre(menu_command::checkin));
}

TEST_F(shell_ext_test, files_that_cannot_be_passed_are_named_and_the_rest_checked_in) {
    register_checkin_program(QUILLMARK_TEST_RECORDER);
    const std::vector<selected_item> items{
        {"/d/a#1.txt", false}, {"/d/b.txt", false}, {"/d/c,2.txt", false}};
    EXPECT_TRUE(start_checkin(select_files(items), prompts_));
    EXPECT_THAT(prompts_.shown,
                ElementsAre("Quillmark|exclamation|Left out of the check-in, because the check-in "
                            "program cannot be given a path that holds \"#\" or \",\":\n"
                            "/d/a#1.txt\n/d/c,2.txt"));
    EXPECT_THAT(test::recorded_arguments(dir_ / "record"),
                ElementsAre(fs::path(QUILLMARK_TEST_RECORDER).filename().string(), "/d/b.txt"));
}

TEST_F(shell_ext_test, folders_alone_are_told_to_select_a_file_and_nothing_starts) {
    register_checkin_program(QUILLMARK_TEST_RECORDER);
    EXPECT_FALSE(start_checkin(select_files(std::vector<selected_item>{{"/d", true}}), prompts_));
    EXPECT_THAT(prompts_.shown,
                ElementsAre("Quillmark|error|Please select the file for Quillmark."));
    EXPECT_FALSE(fs::exists(dir_ / "record"));
}

TEST_F(shell_ext_test, a_program_that_cannot_be_started_is_reported) {
    const std::string registry = "Quillmark :Error|information|Unable to open registry";
    const std::string process = "Quillmark|exclamation|Unable to create Quillmark process";
    const std::vector<selected_item> items{{"/d/a.txt", false}};
    struct row {
        std::optional<std::string> program;  // nullopt: no key at all
        std::string shown;
    };
    for (const row& r : {row{std::nullopt, registry}, row{"", process},
                         row{(dir_ / "missing").string(), process}}) {
        platform::remove_registry_key(platform::registry_root::local_machine, "SOFTWARE");
        if (r.program) register_checkin_program(*r.program);
        recording_prompter prompts;
        EXPECT_FALSE(start_checkin(select_files(items), prompts));
        EXPECT_FALSE(start_properties("/d/a.txt", prompts));
        EXPECT_THAT(prompts.shown, ElementsAre(r.shown, r.shown)) << r.program.value_or("no key");
    }
}

// A Windows command line holds 32767 characters with the program's name;
// Linux takes 131072 bytes for one argument.
#ifdef _WIN32
const std::string longest_argument = "32510";
#else
const std::string longest_argument = "131071";
#endif

TEST_F(shell_ext_test, too_many_files_for_one_command_line_are_refused_with_the_reason) {
    register_checkin_program(QUILLMARK_TEST_RECORDER);
    const std::string path = "/home/someone/a rather long folder name/" + std::string(40, 'f');
    std::vector<selected_item> items(3000, selected_item{path, false});
    const std::size_t bytes = 3000 * path.size() + 2999;
    ASSERT_GT(bytes, platform::max_argument_size);
    EXPECT_FALSE(start_checkin(select_files(items), prompts_));
    EXPECT_THAT(prompts_.shown,
                ElementsAre("Quillmark|exclamation|The 3000 selected files are too many for one "
                            "check-in: their paths take " +
                            std::to_string(bytes) +
                            " bytes, and the check-in program can be given " + longest_argument +
                            " at most. Please check them in a part at a time."));
    EXPECT_FALSE(fs::exists(dir_ / "record"));
}

TEST_F(shell_ext_test, properties_program_beside_the_checkin_program_gets_the_path) {
    fs::create_directory(dir_ / "bin");
    fs::copy_file(QUILLMARK_TEST_RECORDER,
                  platform::program_file(dir_ / "bin", properties_program));
    // As `quillmark init` registers it: with ".exe" on Windows.
    register_checkin_program(platform::program_file(dir_ / "bin", "Quillmark_Checkin"));
    EXPECT_TRUE(start_properties("/d/a b#c.txt", prompts_));
    EXPECT_THAT(test::recorded_arguments(dir_ / "record"),
                ElementsAre(std::string("Quillmark_Property") + platform::program_suffix,
                            "/d/a b#c.txt"));
}

TEST_F(shell_ext_test, page_lists_the_vault_files_from_the_path_sorted_with_their_versions) {
    const fs::path report = local_file("report.txt");
    const fs::path backup = local_file("report.txt.bak");
    check_in(report, "\\Zeta", "2026-01-02 03:04:05", "first");
    check_in(report, "\\Zeta", "2026-02-03 04:05:06", "");
    check_in(backup, "\\alpha", "2026-03-01 00:00:00", "copy");
    const std::vector<selected_item> items{{(dir_ / "folder").string(), true},
                                           {report.string(), false}};

    const std::optional<shell_page> page = page_for(vault_.repo(), items);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->local_path, report.string());
    EXPECT_EQ(page->file_name, "report.txt");
    ASSERT_EQ(page->files.size(), 2u);
    EXPECT_EQ(page->files[0].vault_path, "\\alpha\\report.txt.bak");
    EXPECT_EQ(page->files[1].vault_path, "\\Zeta\\report.txt");
    std::vector<std::string> versions;
    for (const auto& version : page->files[1].versions) {
        versions.push_back(version.moment + " " + version.description);
    }
    EXPECT_THAT(versions, ElementsAre("2026-1-2 3:4:5 first", "2026-2-3 4:5:6  "));
    EXPECT_EQ(page->more, 0u);
}

TEST_F(shell_ext_test, no_page_for_several_files_or_one_the_vault_does_not_know) {
    check_in(local_file("reportX1.txt"), "\\Cab", "2026-01-02 03:04:05", "");
    check_in(local_file("other.txt"), "\\Cab", "2026-01-02 03:04:05", "");
    const auto file = [&](const std::string& name) {
        return selected_item{(dir_ / name).string(), false};
    };
    // "_" and "%" are ordinary characters, not wildcards.
    for (const auto& items : {std::vector{file("report_1.txt")}, std::vector{file("report%")},
                              std::vector{file("reportX1.txt"), file("other.txt")},
                              std::vector<selected_item>{{dir_.path().string(), true}}}) {
        EXPECT_EQ(page_for(vault_.repo(), items), std::nullopt) << items.front().path;
    }
}

TEST_F(shell_ext_test, page_keeps_to_its_limit_and_counts_the_rest) {
    const fs::path file = local_file("f");
    for (std::size_t i = 0; i <= page_file_limit; ++i) {
        check_in(file, "\\C" + std::to_string(100 + i), "2026-01-02 03:04:05", "");
    }
    const std::optional<shell_page> page =
        page_for(vault_.repo(), std::vector<selected_item>{{file.string(), false}});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->files.size(), page_file_limit);
    EXPECT_EQ(page->more, 1u);
    EXPECT_EQ(page_more_text(page->more),
              "1 more vault files: Quillmark Properties lists them all");
}

TEST_F(shell_ext_test, vault_holder_opens_only_a_registered_vault_and_follows_the_registry) {
    vault_holder holder;
    EXPECT_EQ(holder.vault(), nullptr);
    test::register_vault((dir_ / "no such vault.db").string());
    EXPECT_EQ(holder.vault(), nullptr);
    test::register_vault(vault_.db_path());
    repository* repo = holder.vault();
    ASSERT_NE(repo, nullptr);
    EXPECT_EQ(holder.vault(), repo);
    test::register_vault("");
    EXPECT_EQ(holder.vault(), nullptr);
}

TEST_F(shell_ext_test, messages_travel_as_arguments_and_back) {
    const shell_message message{"two\nlines", "Quillmark :Error", message_icon::error};
    const std::vector<std::string> arguments = message_arguments(message);
    EXPECT_THAT(arguments, ElementsAre("--message", "Quillmark :Error", "error", "two\nlines"));
    const std::optional<shell_message> back = message_from_arguments(arguments);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, message.text);
    EXPECT_EQ(back->caption, message.caption);
    EXPECT_EQ(back->icon, message.icon);
    EXPECT_EQ(message_from_arguments(std::vector<std::string>{"--message", "c", "loud", "t"}),
              std::nullopt);
}

}  // namespace
}  // namespace tuv::shell
