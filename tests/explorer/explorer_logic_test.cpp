// The explorer's shared logic on a real vault, over a presentation of the
// test's own: the list in each mode and where its rows lead, its pages, the
// commands on rows, the document's commands and their messages, the check-in
// program's arguments and the window hidden around it.
#include <gtest/gtest.h>

#include <exception>
#include <fstream>
#include <thread>

#include "core/base/date.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/vault_stats.h"
#include "explorer/explorer_document.h"
#include "explorer/list_rows.h"
#include "explorer/repository_size.h"
#include "explorer/view_commands.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_schema.h"
#include "tests/support/test_vault.h"

namespace tuv::explorer {
namespace {

namespace fs = std::filesystem;
using gui::prompt_answer;
using gui::prompt_icon;

// Records what the document asks of its windows; the background work runs
// on a thread of its own, as in the programs.
class recording_presentation : public document_presentation {
  public:
    void reload_views() override { ++reloads; }
    void recount_repository_size() override { said.push_back("recount"); }
    void set_main_window_hidden(bool hidden) override {
        said.push_back(hidden ? "hidden" : "shown");
    }
    bool launch_checkin(const std::string& program,
                        const std::vector<std::string>& arguments) override {
        std::string line = program;
        for (const std::string& argument : arguments) line += "|" + argument;
        said.push_back(line);
        return starts;
    }
    void run_in_background(const std::string& busy_text,
                           const std::function<void()>& work) override {
        said.push_back(busy_text);
        std::exception_ptr failure;
        std::thread([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        }).join();
        if (failure) std::rethrow_exception(failure);
    }

    int reloads = 0;
    bool starts = true;
    std::vector<std::string> said;
};

// Each shown row as its kind and its cells, joined by '|'.
std::vector<std::string> rows_of(const list_rows& list) {
    std::vector<std::string> rows;
    for (std::size_t row = 0; row < list.shown(); ++row) {
        std::string text = std::to_string(list.row_at(static_cast<int>(row)).kind);
        for (std::size_t column = 0; column < list.column_titles().size(); ++column) {
            text += "|" + list.cell_text(static_cast<int>(row), static_cast<int>(column));
        }
        rows.push_back(text);
    }
    return rows;
}

const std::vector<std::string> entry_headers{"Name", "No. Of Versions", "1st Checkin Date",
                                             "Last Checkin Date"};
const std::vector<std::string> version_headers{"TimeStamp", "Description"};
const std::string top_row = "100|..|||";

class explorer_logic_test : public ::testing::Test {
  protected:
    // \Docs\a.txt twice (the second without a description), \Docs\Sub\b.txt
    // and \Mail\c.txt once.
    void SetUp() override {
        checkin("a.txt", "one", "\\Docs", "2026-01-02 03:04:05", "first");
        checkin("a.txt", "two", "\\Docs", "2026-02-03 04:05:06", "");
        checkin("b.txt", "bee", "\\Docs\\Sub", "2026-02-04 10:00:00", "bee");
        checkin("c.txt", "sea", "\\Mail", "2026-03-01 12:30:00", "sea");
        doc_.go_to(doc_.root_location());
        list_.reload();
    }

    void checkin(const std::string& name, const std::string& text, const std::string& directory,
                 const std::string& when, const std::string& description) {
        const fs::path source = files_.path() / name;
        std::ofstream(source, std::ios::binary) << text;
        vault_.repo().checkin_file(source, directory, when, "text/plain", description);
    }

    // Goes where the row leads, and shows the list anew as the views do.
    void navigate(int row) {
        list_.navigate(row);
        list_.reload();
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& prompt : prompts_.prompts()) {
            if (prompt.what == gui::prompt_record::kind::message) texts.push_back(prompt.text);
        }
        return texts;
    }

    test::temp_dir files_;
    test::scoped_registry registry_{files_.path() / "registry"};
    test::test_vault vault_;
    gui::scripted_prompter prompts_;
    recording_presentation windows_;
    explorer_document doc_{&vault_.repo(), prompts_, windows_};
    list_rows list_{doc_};
};

TEST_F(explorer_logic_test, rows_lead_where_they_say) {
    const std::vector<std::string> top{top_row, "102|Docs|||", "102|Mail|||"};
    const std::vector<std::string> docs{top_row, "103|a.txt|2|2026-1-2 3:4:5|2026-2-3 4:5:6",
                                        "102|Sub|||"};
    const std::vector<std::string> versions{"100|..|", "104|2026-2-3 4:5:6| ",
                                            "104|2026-1-2 3:4:5|first"};
    const struct {
        const char* name;
        std::vector<int> steps;
        int mode;
        const std::vector<std::string>& headers;
        const std::vector<std::string>& rows;
    } cases[] = {
        {"top level", {}, mode_top_level, entry_headers, top},
        {"'..' at top level does nothing", {0}, mode_top_level, entry_headers, top},
        {"folder", {1}, mode_folder, entry_headers, docs},
        {"'..' goes up", {1, 2, 0}, mode_folder, entry_headers, docs},
        {"file: versions newest first", {1, 1}, mode_versions, version_headers, versions},
        {"version row does nothing", {1, 1, 2}, mode_versions, version_headers, versions},
        {"'..' leaves the versions", {1, 1, 0}, mode_folder, entry_headers, docs},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        doc_.go_to(doc_.root_location());
        list_.reload();
        for (const int row : test.steps) navigate(row);
        EXPECT_EQ(doc_.list_mode(), test.mode);
        EXPECT_EQ(list_.column_titles(), test.headers);
        EXPECT_EQ(rows_of(list_), test.rows);
    }
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(explorer_logic_test, search_row_goes_to_its_file) {
    doc_.search_results().push_back(vault_.repo().catalogue().resolve("\\Mail\\c.txt"));
    doc_.set_search_mode(true);
    list_.reload();
    EXPECT_EQ(rows_of(list_),
              (std::vector<std::string>{top_row,
                                        "103|\\Mail\\c.txt|1|2026-3-1 12:30:0|2026-3-1 12:30:0"}));
    navigate(1);
    EXPECT_FALSE(doc_.search_mode());
    EXPECT_EQ(doc_.current_location(), "\\Mail");
    EXPECT_EQ(rows_of(list_), (std::vector<std::string>{"100|..|", "104|2026-3-1 12:30:0|sea"}));
}

// Two and a half pages of files come page by page, each after the last, and
// the last row still leads to its file; search results come the same way.
TEST_F(explorer_logic_test, long_folder_comes_in_pages) {
    repository& repo = vault_.repo();
    const std::int64_t big = repo.catalogue().create_directory("Big", 1, "2026-04-01 00:00:00");
    const std::size_t files = 2 * list_page_rows + list_page_rows / 2;
    for (std::size_t n = 0; n < files; ++n) {
        const std::string name = "f" + std::to_string(n);
        const std::int64_t id =
            repo.catalogue().create_file(name, big, 1, "2026-04-01 00:00:00", "text/plain");
        repo.journal().insert_change(
            id, CHANGE_CREATED, date(std::time_t{1775001600} + std::time_t(n)), "", "v" + name);
    }
    const auto pages = [&] {
        std::vector<std::size_t> added;
        while (list_.has_more()) {
            const std::size_t more = list_.read_next_page();
            list_.show_next(more);
            added.push_back(more);
        }
        return added;
    };
    doc_.go_to("\\Big");
    list_.reload();
    EXPECT_EQ(list_.shown(), list_page_rows);
    EXPECT_EQ(pages(), (std::vector<std::size_t>{list_page_rows, list_page_rows / 2 + 1}));
    const std::string last = "f" + std::to_string(files - 1);
    EXPECT_EQ(list_.row_at(int(files)).name, last);
    navigate(int(files));
    EXPECT_EQ(doc_.versions_file(), "\\Big\\" + last);
    EXPECT_EQ(list_.cell_text(1, 1), "v" + last);

    doc_.run_search("%A", {"v*"});
    doc_.set_search_mode(true);
    list_.reload();
    EXPECT_EQ(list_.shown(), list_page_rows);
    pages();
    EXPECT_EQ(list_.shown(), files + 1);
    EXPECT_EQ(list_.row_at(int(files)).name, "\\Big\\" + last);
}

TEST_F(explorer_logic_test, missing_folder_is_reported_and_the_list_stays) {
    navigate(1);
    vault_.database().execute("DELETE FROM file_info WHERE path = 'Sub'");
    navigate(2);
    ASSERT_EQ(prompts_.prompts().size(), 1u);
    EXPECT_EQ(prompts_.prompts()[0].caption, "Quillmark Explorer: Error");
    EXPECT_EQ(prompts_.prompts()[0].icon, prompt_icon::exclamation);
    EXPECT_EQ(doc_.current_location(), "\\Docs");
}

TEST_F(explorer_logic_test, commands_on_rows) {
    EXPECT_FALSE(properties_of(doc_, list_, {}));
    EXPECT_FALSE(check_out_folder(doc_, list_, 0));
    navigate(1);
    const auto texts = properties_of(doc_, list_, {1});
    ASSERT_TRUE(texts);
    EXPECT_EQ(
        (std::vector<std::string>{texts->name, texts->vault_path, texts->mime_type, texts->size}),
        (std::vector<std::string>{"a.txt", "\\Docs\\a.txt", "text/plain", "3 Bytes"}));
    EXPECT_EQ(messages(), (std::vector<std::string>{"No items selected!!",
                                                    " '..' directory can not be checked out"}));
    EXPECT_EQ(prompts_.prompts()[0].caption, "Quillmark: Search");
}

TEST_F(explorer_logic_test, add_cabinet_with_an_existing_name) {
    const struct {
        const char* name;
        std::vector<std::string> names;
        prompt_answer answer;
        std::vector<std::string> top;
    } cases[] = {
        // In this order: the vault is the same for both.
        {"no stops", {"MAIL"}, prompt_answer::no, {top_row, "102|Docs|||", "102|Mail|||"}},
        {"yes asks again",
         {"docs", "New"},
         prompt_answer::yes,
         {top_row, "102|Docs|||", "102|Mail|||", "102|New|||"}},
    };
    for (auto test : cases) {
        SCOPED_TRACE(test.name);
        gui::scripted_prompter prompts;
        explorer_document doc(&vault_.repo(), prompts, windows_);
        prompts.answer(test.answer);
        std::size_t asked = 0;
        doc.add_cabinet([&]() -> std::optional<std::string> {
            if (asked == test.names.size()) return std::nullopt;
            return test.names[asked++];
        });
        EXPECT_EQ(asked, test.names.size());
        ASSERT_FALSE(prompts.prompts().empty());
        EXPECT_EQ(prompts.prompts()[0].text,
                  "Cabinate already exists. Do you want to add another?");
        EXPECT_EQ(prompts.prompts()[0].buttons, gui::prompt_buttons::yes_no);
        doc.go_to(doc.root_location());
        list_rows list(doc);
        list.reload();
        EXPECT_EQ(rows_of(list), test.top);
    }
}

TEST_F(explorer_logic_test, change_type_without_records_falls_back_to_overview) {
    vault_.repo().catalogue().create_directory("Empty", 1, "now");
    doc_.go_to("\\Empty");
    doc_.set_change_type(CHANGE_MODIFIED);
    EXPECT_EQ(messages(), std::vector<std::string>{"Record Not Found : Couldn't find logs in "
                                                   "journal \nPlease use other Change Type."});
    EXPECT_EQ(doc_.current_location(), "\\");
    EXPECT_EQ(doc_.list_mode(), mode_top_level);
}

TEST_F(explorer_logic_test, repository_size_in_whole_megabytes) {
    const auto write = [&](const char* name, std::size_t size) {
        fs::create_directories(files_.path() / "data");
        std::ofstream(files_.path() / "data" / name, std::ios::binary) << std::string(size, 'x');
    };
    write("tuv_s1", 2 * 1048576);
    write("tuv_s2", 1048575);
    write("notes", 5 * 1048576);
    const auto bytes = container_bytes(files_.path() / "data");
    EXPECT_EQ(bytes.value_or(0), 3145727u);
    EXPECT_EQ(repository_size_text(*bytes), "Repository Size : 2 MB");
    EXPECT_FALSE(container_bytes(files_.path() / "none"));
}

// A vault on a server has no container files here: its size is what its
// containers hold there, as stats counts it.
TEST_F(explorer_logic_test, repository_size_of_a_vault_on_a_server) {
    EXPECT_EQ(vault_repository_bytes(vault_.repo()), container_bytes(vault_.layout().data));
    test::test_schema schema;
    if (!schema.available()) GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
    vault_options options;
    options.directory = files_.path() / "desktop";
    install_server_vault(schema.address(), options);
    repository team(schema.address());
    std::ofstream(files_.path() / "big.bin", std::ios::binary) << std::string(300000, 'q');
    team.checkin_file(files_.path() / "big.bin", "\\", "now", "", "");
    const auto bytes = vault_repository_bytes(team);
    ASSERT_TRUE(bytes);
    EXPECT_GT(*bytes, 0u);
    EXPECT_EQ(*bytes, collect_vault_stats(team).stored_bytes);
}

// F5 after the vault's folder went away says so instead of showing the old
// lists as if all were well.
TEST_F(explorer_logic_test, refresh_of_a_vault_that_is_gone_says_so) {
    const fs::path folder = vault_.repo().folder();
    const fs::path moved = utf8_of(folder) + ".moved";
    fs::rename(folder, moved);
    const int reloads = windows_.reloads;
    doc_.refresh();
    fs::rename(moved, folder);
    EXPECT_EQ(windows_.reloads, reloads);
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "The vault " + utf8_of(folder) +
                              " is no longer there: it was moved or removed while the explorer "
                              "was open.\nThe window shows what it held; start the explorer "
                              "again once the vault is back or registered anew."});
}

TEST_F(explorer_logic_test, check_in_hides_the_window_until_the_program_ends) {
    platform::create_registry_key(platform::registry_root::local_machine, platform::quillmark_key)
        .set(platform::checkin_program_value, "C:\\Q\\Quillmark_Checkin.exe");
    navigate(1);
    prompts_.answer_files({"/f/a#1.txt", "/g/b,2.txt"});
    doc_.check_in();
    EXPECT_TRUE(doc_.checkin_running());
    // Every path whole, wherever it lies and whatever it holds.
    EXPECT_EQ(windows_.said,
              (std::vector<std::string>{"hidden",
                                        "C:\\Q\\Quillmark_Checkin.exe|--to|\\Docs|--files|"
                                        "/f/a#1.txt|/g/b,2.txt"}));
    doc_.checkin_ended();
    EXPECT_FALSE(doc_.checkin_running());
    EXPECT_TRUE(doc_.refresh_flag());
    EXPECT_EQ(windows_.said.back(), "recount");

    windows_.said.clear();
    windows_.starts = false;
    doc_.start_checkin({"/f/c.txt"});
    EXPECT_EQ(windows_.said.front(), "hidden");
    EXPECT_EQ(windows_.said.at(2), "shown");
    EXPECT_EQ(messages(), std::vector<std::string>{"Unable to create Quillmark_Checkin process"});
}

TEST_F(explorer_logic_test, export_that_cannot_write_says_where_and_why) {
    // A file where the destination folder should be: neither the versions
    // nor the log can be written below it.
    const fs::path blocked = files_.path() / "blocked";
    std::ofstream(blocked) << "not a folder";
    const std::string destination = utf8_of(blocked);
    doc_.export_vault([&] { return export_choice{destination, version_mode::latest}; });
    EXPECT_EQ(windows_.said.back(), "Exporting to " + destination + " ...");
    ASSERT_EQ(prompts_.prompts().size(), 1u);
    const std::string& text = prompts_.prompts()[0].text;
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "Export to " + destination + ": 3 files or versions could not be written; why:");
    EXPECT_EQ(prompts_.prompts()[0].icon, prompt_icon::exclamation);
    EXPECT_EQ(test::file_contents(blocked), "not a folder");
}

}  // namespace
}  // namespace tuv::explorer
