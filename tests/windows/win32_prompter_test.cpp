// The Win32 prompter's boxes, answered through their messages.
#include "gui/win32/win32_prompter.h"

#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers build on windows.h.
#include <dlgs.h>

#include <fstream>

#include "core/base/utf8_path.h"
#include "gui/win32/gui_resources.h"
#include "tests/support/temp_dir.h"
#include "tests/windows/window_driver.h"

namespace tuv::win32 {
namespace {

using gui::prompt_answer;
using gui::prompt_buttons;
using gui::prompt_icon;
using test::window_driver;

struct pressed_button {
    const char* name;
    prompt_buttons buttons;
    int button;
    prompt_answer answer;
};

void PrintTo(const pressed_button& pressed, std::ostream* out) {
    *out << pressed.name;
}

class message_box_test : public ::testing::TestWithParam<pressed_button> {};

TEST_P(message_box_test, answers_the_button_pressed) {
    std::vector<std::string> texts;
    window_driver driver([&](window_driver& person) {
        const HWND box = person.wait_for("Prompter test");
        texts = test::static_texts(box);
        test::press(box, GetParam().button);
    });
    win32_prompter prompter;
    const prompt_answer answer = prompter.message(nullptr, "Go on?", "Prompter test",
                                                  prompt_icon::question, GetParam().buttons);
    ASSERT_EQ(driver.finish(), "");
    EXPECT_EQ(answer, GetParam().answer);
    EXPECT_EQ(texts, std::vector<std::string>{"Go on?"});
}

INSTANTIATE_TEST_SUITE_P(
    buttons, message_box_test,
    ::testing::Values(
        pressed_button{"ok", prompt_buttons::ok, IDOK, prompt_answer::ok},
        pressed_button{"cancel", prompt_buttons::ok_cancel, IDCANCEL, prompt_answer::cancel},
        pressed_button{"yes", prompt_buttons::yes_no, IDYES, prompt_answer::yes},
        pressed_button{"no", prompt_buttons::yes_no, IDNO, prompt_answer::no},
        pressed_button{"retry", prompt_buttons::retry_cancel, IDRETRY, prompt_answer::retry}),
    [](const ::testing::TestParamInfo<pressed_button>& info) { return info.param.name; });

TEST(report_test, shows_the_text_above_the_details_one_line_each) {
    struct {
        std::string text, details;
    } seen;
    window_driver driver([&](window_driver& person) {
        const HWND box = person.wait_for("Report test");
        seen.text = test::item_text(box, IDC_REPORT_TEXT);
        seen.details = test::item_text(box, IDC_REPORT_DETAILS);
        test::press(box, IDOK);
    });
    win32_prompter().report(nullptr, "Two went in.\nOne did not.", "Checked in: a\nFailed: b",
                            "Report test", prompt_icon::error);
    ASSERT_EQ(driver.finish(), "");
    EXPECT_EQ(seen.text, "Two went in.\nOne did not.");
    EXPECT_EQ(seen.details, "Checked in: a\r\nFailed: b");
}

// Callers ask before replacing a file in their own words: the dialog does
// not ask first.
TEST(save_file_test, returns_an_existing_file_without_asking) {
    const test::temp_dir folder;
    const std::string existing = utf8_of(folder / "kept.txt");
    std::ofstream(folder / "kept.txt") << "kept";
    window_driver driver([&](window_driver& person) {
        const HWND dialog = person.wait_for("Save test");
        test::set_item_text(dialog, cmb13, existing);
        test::press(dialog, IDOK);
        person.wait_gone(dialog);
    });
    const auto chosen = win32_prompter().save_file(nullptr, "Save test", "suggested.txt",
                                                   {{"Text Files (*.txt)", "*.txt"}});
    ASSERT_EQ(driver.finish(), "");
    EXPECT_EQ(chosen, existing);
}

TEST(open_dialog_paths_test, one_path_or_a_folder_and_names) {
    EXPECT_EQ(open_dialog_paths(L"C:\\docs\\a.txt\0"), std::vector<std::string>{"C:\\docs\\a.txt"});
    EXPECT_EQ(open_dialog_paths(L"C:\\docs\0a.txt\0b \xE9.doc\0"),
              (std::vector<std::string>{"C:\\docs\\a.txt", "C:\\docs\\b \xC3\xA9.doc"}));
    EXPECT_EQ(open_dialog_paths(L"C:\\\0a.txt\0b.txt\0"),
              (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
}

}  // namespace
}  // namespace tuv::win32
