// The interactive checkout: what each program's policy does with a replaced,
// kept or failed row, what it shows, the name it suggests, the explorer's
// date chooser, and the lists' text of a moment that a checkout reads back.
#include "gui/checkout_sequence.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "gui/version_text.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"

namespace tuv::gui {
namespace {

namespace fs = std::filesystem;

const std::string save_as =
    "save Quillmark: Save file as [report.txt] All Files (*.*)=*.*, Text Files (*.txt)=*.txt";
const std::string replace_prompt =
    "exclamation ok/cancel Quillmark: Checkout: "
    "File with the same name already exist. \n Do you really want to replace it?";
const std::string done_p = "information Quillmark Properties!: Checkout done!";
const std::string done_e = "information Quillmark Explorer: Checkout done!";
const char* const first_version = "2026-1-2 3:4:5";
const char* const old_text = "a local text, older and longer than any version\n";

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

vault_options separated_by(const std::string& separator) {
    vault_options options;
    options.separator = separator;
    return options;
}

// A vault holding <sep>Docs<sep>report.txt as "version one" (2026-01-02
// 03:04:05) and "version two" a month later; a local folder holding
// report.txt with old_text.
struct fixture {
    explicit fixture(const std::string& separator = "\\")
        : vault(separated_by(separator)), source(separator + "Docs" + separator + "report.txt") {
        const fs::path file = staging / "report.txt";
        write_file(file, "version one");
        vault.repo().checkin_file(file, separator + "Docs", "2026-01-02 03:04:05", "text/plain",
                                  "");
        write_file(file, "version two");
        vault.repo().checkin_file(file, separator + "Docs", "2026-02-03 04:05:06", "text/plain",
                                  "");
        write_file(local / "report.txt", old_text);
    }
    std::string local_path(const std::string& name) const { return utf8_of(local / name); }
    checkout_summary run(const std::vector<checkout_row>& rows, const checkout_policy& policy,
                         const date_chooser& choose = {}) {
        return checkout_to_local_file(vault.repo(), prompts, nullptr, rows, policy, choose);
    }

    test::temp_dir staging;
    test::test_vault vault;
    test::temp_dir local;
    scripted_prompter prompts;
    std::string source;
};

// Every prompt as one line, in the order a person saw them.
std::vector<std::string> shown(const scripted_prompter& prompts) {
    const char* const icons[] = {"none", "information", "exclamation", "error", "question"};
    std::vector<std::string> lines;
    for (const prompt_record& record : prompts.prompts()) {
        if (record.what == prompt_record::kind::save_file) {
            std::string filters;
            for (const file_filter& filter : record.filters) {
                filters += (filters.empty() ? "" : ", ") + filter.label + "=" + filter.pattern;
            }
            lines.push_back("save " + record.caption + " [" + record.text + "] " + filters);
        } else {
            lines.push_back(
                icons[static_cast<int>(record.icon)] +
                std::string(record.buttons == prompt_buttons::ok_cancel ? " ok/cancel " : " ") +
                record.caption + ": " + record.text);
        }
    }
    return lines;
}

// Two rows of the first version: the first saved as `destination` (""
// cancels the dialog), the second as a new file, second.txt.
TEST(checkout_sequence_test, two_rows_show_write_and_go_on_as_the_policy_says) {
    const std::string fixed_failure = "error Quillmark Properties: File could not be checked out.";
    const std::string unreachable = "missing/Größe.txt";
    const struct {
        const char* name;
        const checkout_policy& policy;
        std::string destination;
        const char* answer;                 // to the question to replace; "" for none
        std::vector<std::string> expected;  // "%1" stands for the destination's full path
        std::string content;                // the destination's afterwards; "": none
        bool stopped;
    } cases[] = {
        {"replaced",
         properties_policy,
         "report.txt",
         "ok",
         {save_as, replace_prompt, done_p, save_as, done_p},
         "version one",
         false},
        {"kept: next row",
         properties_policy,
         "report.txt",
         "cancel",
         {save_as, replace_prompt, save_as, done_p},
         old_text,
         false},
        {"shell page, kept: ends",
         shell_page_policy,
         "report.txt",
         "cancel",
         {save_as, replace_prompt},
         old_text,
         true},
        {"explorer, failed: own text, next row",
         explorer_policy,
         unreachable,
         "",
         {save_as, "error Quillmark Explorer: Couldn't open %1: No such file or directory", save_as,
          done_e},
         "",
         false},
        {"properties, failed: fixed text, next row",
         properties_policy,
         unreachable,
         "",
         {save_as, fixed_failure, save_as, done_p},
         "",
         false},
        {"shell page, failed: ends",
         shell_page_policy,
         unreachable,
         "",
         {save_as, fixed_failure},
         "",
         true},
        {"save-as cancelled: ends", explorer_policy, "", "", {save_as}, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixture f;
        const fs::path path = f.local.path() / path_from_utf8(c.destination);
        const std::string full_path = utf8_of(path);
        f.prompts.answer_path(c.destination.empty() ? std::nullopt : std::optional(full_path));
        if (*c.answer) {
            f.prompts.answer(std::string(c.answer) == "ok" ? prompt_answer::ok
                                                           : prompt_answer::cancel);
        }
        f.prompts.answer_path(f.local_path("second.txt"));

        const checkout_row row{f.source, first_version};
        const checkout_summary summary = f.run({row, row}, c.policy);

        std::vector<std::string> expected = c.expected;
        int done = 0;
        for (std::string& line : expected) {
            if (const auto at = line.find("%1"); at != std::string::npos) {
                line.replace(at, 2, full_path);
            }
            done += line.ends_with("Checkout done!");
        }
        EXPECT_EQ(shown(f.prompts), expected);
        if (!c.destination.empty()) {
            EXPECT_EQ(fs::exists(path), !c.content.empty());
            EXPECT_EQ(test::file_contents(path), c.content);
        }
        EXPECT_EQ(fs::exists(f.local / "second.txt"), !c.stopped);
        EXPECT_EQ(summary.checked_out, done);
        EXPECT_EQ(summary.stopped, c.stopped);
    }
}

TEST(checkout_sequence_test, failure_writes_nothing) {
    const struct {
        const char* source;
        const char* when;
        const char* message;
    } cases[] = {
        {"\\Docs\\absent.txt", first_version, "No such file or directory: absent.txt"},
        {"\\Docs\\report.txt", "2026-2-30 0:0:0", "Invalid date format"},  // no calendar has it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        fixture f;
        f.prompts.answer_path(f.local_path("new.txt"));
        f.run({{c.source, c.when}}, explorer_policy);
        EXPECT_EQ(shown(f.prompts).back(), std::string("error Quillmark Explorer: ") + c.message);
        EXPECT_FALSE(fs::exists(f.local / "new.txt"));
    }
}

// The suggested name is cut at the vault's own separator.
TEST(checkout_sequence_test, suggested_name_ends_at_the_vaults_separator) {
    for (const char* separator : {"\\", "/"}) {
        SCOPED_TRACE(separator);
        fixture f(separator);
        f.prompts.answer_path(std::nullopt);
        f.run({{f.source, first_version}}, properties_policy);
        EXPECT_EQ(shown(f.prompts), std::vector{save_as});
    }
}

// The explorer asks each row's date and writes the chosen version; a
// cancelled chooser ends the run quietly, a failing one with a message
// (the other programs leave that failure to their caller).
TEST(checkout_sequence_test, explorer_date_chooser_cancelled_or_failing_ends_the_run) {
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failed" : "cancelled");
        fixture f;
        f.prompts.answer_path(f.local_path("chosen.txt"));
        f.prompts.answer_path(f.local_path("second.txt"));
        std::vector<std::string> asked;
        const date_chooser choose = [&](const checkout_row& row) -> std::optional<std::string> {
            asked.push_back(row.source);
            if (asked.size() == 1) return first_version;
            if (fails) throw tuv_error(std::string("the versions could not be read"));
            return std::nullopt;
        };
        const std::vector<checkout_row> rows(3, {f.source, std::nullopt});

        const checkout_summary summary = f.run(rows, explorer_policy, choose);

        EXPECT_EQ(asked, std::vector<std::string>(2, "\\Docs\\report.txt"));
        std::vector<std::string> expected{save_as, done_e};
        if (fails) {
            expected.push_back(
                "error Quillmark Explorer: Some error has occured. Please contact technical "
                "support.");
        }
        EXPECT_EQ(shown(f.prompts), expected);
        EXPECT_EQ(test::file_contents(f.local / "chosen.txt"), "version one");
        EXPECT_EQ(summary.checked_out, 1);
        EXPECT_TRUE(summary.stopped);
        if (fails) {
            EXPECT_THROW(f.run(rows, properties_policy, choose), tuv_error);
        }
    }
}

// The lists' text of a local moment, which a checkout reads back.
TEST(checkout_sequence_test, version_list_text_reads_back_to_its_moment) {
    const struct {
        int year, month, day, hour, minute, second;
        const char* text;
    } cases[] = {
        {2026, 1, 2, 3, 4, 5, "2026-1-2 3:4:5"},  // no leading zeros
        {2026, 12, 31, 23, 59, 58, "2026-12-31 23:59:58"},
        {2040, 7, 15, 10, 0, 0, "2040-7-15 10:0:0"},  // after 2038
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::tm local{};
        local.tm_year = c.year - 1900;
        local.tm_mon = c.month - 1;
        local.tm_mday = c.day;
        local.tm_hour = c.hour;
        local.tm_min = c.minute;
        local.tm_sec = c.second;
        local.tm_isdst = -1;
        const std::time_t seconds = std::mktime(&local);
        EXPECT_EQ(version_list_text(seconds), c.text);
        EXPECT_EQ(date(c.text).seconds(), seconds);
    }
}

}  // namespace
}  // namespace tuv::gui
