// The check-in program's rules without windows: its command line, the main
// dialog's texts and moment, and new names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "checkin/cabinet_names.h"
#include "checkin/checkin_form.h"
#include "checkin/command_line.h"
#include "gui/captions.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace tuv::checkin_app {
namespace {

namespace fs = std::filesystem;

// Paths compare by their parts, so "/x/b.txt" equals the "/x\b.txt" that
// Windows makes of a folder and a name.
std::vector<fs::path> paths(std::initializer_list<std::string> texts) {
    return {texts.begin(), texts.end()};
}

constexpr calendar_day opened_day{2026, 3, 14};
constexpr clock_time opened_time{15, 9, 26};

checkin_form form_of(const std::string& command_line) {
    return checkin_form(parse_command_line(command_line), "\\", opened_day, opened_time);
}

TEST(checkin_logic_test, command_line_forms_and_order) {
    const struct {
        const char* name;
        const char* text;
        std::vector<fs::path> files;
        const char* destination;  // null for none
        bool multiple;
    } cases[] = {
        {"A, one file", "/x/a.txt", paths({"/x/a.txt"}), nullptr, false},
        {"A, last path first", "/x/a.txt#/y/b.txt#/z/c", paths({"/z/c", "/y/b.txt", "/x/a.txt"}),
         nullptr, true},
        {"B, one file", "/x/a b.txt,\\Cab", paths({"/x/a b.txt"}), "\\Cab", false},
        {"B, folder and names, last name first", "/x#a.txt#b.txt,\\Cab",
         paths({"/x/b.txt", "/x/a.txt"}), "\\Cab", true},
        {"B, the last comma starts the directory", "/x/a,b.txt,\\", paths({"/x/a,b.txt"}), "\\",
         false},
        {"empty", "", {}, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const command_line line = parse_command_line(c.text);
        EXPECT_EQ(line.files, c.files);
        EXPECT_EQ(line.destination,
                  c.destination ? std::optional<std::string>(c.destination) : std::nullopt);
        EXPECT_EQ(line.multiple, c.multiple);
    }
}

// Each path after --files arrives whole, whatever it holds; a joined form's
// pieces must be full paths of existing files, never looked for in the
// current folder.
TEST(checkin_logic_test, command_line_from_arguments) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;  // "@" stands for the test's folder
        std::vector<std::string> files;
        const char* destination;  // null for none
        std::vector<std::string> refused;
    } cases[] = {
        {"--files, whole paths",
         {"--files", "@/hash#1.txt", "@/q,r.txt"},
         {"@/q,r.txt", "@/hash#1.txt"},
         nullptr,
         {}},
        {"--to a cabinet with a comma",
         {"--to", "\\q,r", "--files", "@/a b.txt"},
         {"@/a b.txt"},
         "\\q,r",
         {}},
        {"joined, blanks join arguments", {"@/a", "b.txt"}, {"@/a b.txt"}, nullptr, {}},
        {"joined, cut inside a path", {"@/hash#1.txt"}, {}, nullptr, {"@/hash", "1.txt"}},
        {"joined, a missing file",
         {"@/a b.txt#@/gone.txt"},
         {"@/a b.txt"},
         nullptr,
         {"@/gone.txt"}},
    };
    const test::temp_dir folder;
    for (const char* name : {"hash#1.txt", "q,r.txt", "a b.txt", "1.txt"}) {
        std::ofstream(folder / name) << name;
    }
    const auto at_folder = [&](std::vector<std::string> texts) {
        const std::string base = folder.path().string();
        for (std::string& text : texts) {
            for (auto at = text.find('@'); at != std::string::npos;
                 at = text.find('@', at + base.size())) {
                text.replace(at, 1, base);
            }
        }
        return texts;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A relative piece must not find 1.txt here.
        const fs::path before = fs::current_path();
        fs::current_path(folder.path());
        const command_line line = read_command_line(at_folder(c.arguments));
        fs::current_path(before);
        const std::vector<std::string> files = at_folder(c.files);
        EXPECT_EQ(line.files, std::vector<fs::path>(files.begin(), files.end()));
        EXPECT_EQ(line.destination,
                  c.destination ? std::optional<std::string>(c.destination) : std::nullopt);
        EXPECT_EQ(line.refused, at_folder(c.refused));
    }
}

TEST(checkin_logic_test, destination_text) {
    const struct {
        const char* command_line;
        const char* directory;  // "": as the command line gives it
        const char* text;
    } cases[] = {
        {"/x/a.txt", "", "\\a.txt"},  // one file, the root
        {"/x/a.txt", "\\Cab\\Company", "\\Cab\\Company\\a.txt"},
        {"/x/a.txt#/x/b.txt", "\\Cab\\Company", "\\Cab\\Company"},  // several files
        {"/x/a.txt#/x/b.txt", "", "\\"},
        {"/x#a.txt#b.txt,\\Cab", "", "\\Cab"},  // form B preselects
        {"/x/a.txt,\\", "", "\\a.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command_line) + " | " + c.directory);
        checkin_form form = form_of(c.command_line);
        if (*c.directory) form.set_directory(c.directory);
        EXPECT_EQ(form.destination_text(), c.text);
    }
}

TEST(checkin_logic_test, source_text_names_one_file_or_says_several) {
    EXPECT_EQ(form_of("/x/a.txt").source_text(), "/x/a.txt");
    EXPECT_EQ(form_of("/x/a#/x/b").source_text(), "Multiple Files are selected");
}

TEST(checkin_logic_test, the_moment_never_passes_the_opening_and_each_picker_keeps_the_other_part) {
    checkin_form form = form_of("/x/a.txt");
    EXPECT_EQ(form.date_text(), "2026-03-14 15:09:26");
    form.set_time({9, 5, 3});
    EXPECT_EQ(form.date_text(), "2026-03-14 09:05:03");
    form.set_date({2026, 3, 1});
    EXPECT_EQ(form.date_text(), "2026-03-01 09:05:03");
    // On an earlier day any time of the day; on the opening day not past it.
    EXPECT_EQ(form.latest_time(), (clock_time{23, 59, 59}));
    form.set_time({23, 0, 0});
    EXPECT_EQ(form.date_text(), "2026-03-01 23:00:00");
    form.set_date({2026, 3, 14});
    EXPECT_EQ(form.date_text(), "2026-03-14 15:09:26");
    form.set_date({2026, 3, 15});
    EXPECT_EQ(form.date(), opened_day);
    form.set_time({15, 9, 27});
    EXPECT_EQ(form.time(), opened_time);
}

// A thousand characters, not bytes, and never half of one.
TEST(checkin_logic_test, description_keeps_a_thousand_characters_as_typed) {
    checkin_form form = form_of("/x/a.txt");
    std::string typed = "O'Brien";
    for (int i = 0; i < 1200; ++i) typed += "é";
    form.set_description(typed);
    EXPECT_EQ(form.description(), typed.substr(0, 7 + 993 * 2));
}

TEST(checkin_logic_test, entry_names) {
    const struct {
        const char* name;
        bool valid;
    } cases[] = {
        {"Reports 2026", false}, {"Reports", true},  {"", false},
        {"a\\b", true},          {"a/b", true},  // the separators pass this check
        {"a#b", false},          {"O'Brien", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(is_valid_entry_name(c.name), c.valid);
    }
}

// The New Cabinet flow asks again after a bad name or one that is taken
// without regard to case, and names the one that takes it.
TEST(checkin_logic_test, new_cabinet_refuses_bad_and_taken_names_until_one_fits) {
    const std::vector<std::string> siblings{"Company", "Été"};
    std::vector<std::string> typed{"a/b", "a b", "ÉTÉ", "company", "Reports"};
    gui::scripted_prompter prompts;
    const auto ask = [&]() -> std::optional<std::string> {
        if (typed.empty()) return std::nullopt;
        std::string name = typed.front();
        typed.erase(typed.begin());
        return name;
    };

    EXPECT_EQ(ask_new_cabinet(siblings, prompts, nullptr, ask), "Reports");
    std::vector<std::string> shown;
    for (const auto& prompt : prompts.prompts()) {
        EXPECT_EQ(prompt.icon, gui::prompt_icon::exclamation);
        shown.push_back(prompt.caption + ": " + prompt.text);
    }
    const std::string refused = std::string("Quillmark!: ") + gui::cabinet_name_message;
    EXPECT_EQ(shown,
              (std::vector<std::string>{refused, refused, "Error: CabinateName ÉtéAlready exist",
                                        "Error: CabinateName CompanyAlready exist"}));

    typed = {"a b"};
    EXPECT_EQ(ask_new_cabinet(siblings, prompts, nullptr, ask), std::nullopt);
}

}  // namespace
}  // namespace tuv::checkin_app
