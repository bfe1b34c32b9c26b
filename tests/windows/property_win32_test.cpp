// The Win32 properties dialog over a real vault, driven through its
// messages: what it lists, and Check&Out of a chosen version.
#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <fstream>

#include "core/base/utf8_path.h"
#include "property/property_program.h"
#include "property/win32/resource.h"
#include "property/win32/win32_property_windows.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"
#include "tests/windows/window_driver.h"

namespace tuv {
namespace {

using test::window_driver;

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> combo_texts(HWND combo) {
    std::vector<std::string> texts;
    const auto count = test::send(combo, CB_GETCOUNT);
    for (LRESULT row = 0; row < count; ++row) {
        std::wstring text(static_cast<std::size_t>(test::send(combo, CB_GETLBTEXTLEN, row)) + 1,
                          L'\0');
        test::send(combo, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text.data()));
        texts.push_back(utf8_of(std::filesystem::path(text.c_str())));
    }
    return texts;
}

std::vector<std::vector<std::string>> list_rows(HWND list) {
    std::vector<std::vector<std::string>> rows;
    const auto count = test::send(list, LVM_GETITEMCOUNT);
    for (LRESULT row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[256] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 256;
            test::send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            cells.push_back(utf8_of(std::filesystem::path(text)));
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(property_win32_test, lists_the_versions_and_checks_out_the_chosen_one) {
    test::test_vault vault;
    test::register_vault(vault.db_path());
    const test::temp_dir files;
    const auto local = files / "report.txt";
    std::ofstream(local, std::ios::binary) << "first";
    vault.repo().checkin_file(local, "\\Cab", "2021-05-06 07:08:09", "text/plain", "first draft",
                              nullptr);
    std::ofstream(local, std::ios::binary) << "second version";
    vault.repo().checkin_file(local, "\\Cab", "2022-01-02 03:04:05", "text/plain", "", nullptr);
    gui::scripted_prompter prompter;
    prompter.answer_path(utf8_of(files / "out.txt"));

    struct {
        std::string name, source;
        std::vector<std::string> paths;
        std::vector<std::vector<std::string>> rows;
        bool open_after_checkout = false;
    } seen;
    window_driver driver([&](window_driver& person) {
        const HWND dialog = person.wait_for("Quillmark Properties");
        seen.name = test::item_text(dialog, IDC_FILE_NAME);
        seen.source = test::item_text(dialog, IDC_SOURCE_PATH);
        seen.paths = combo_texts(::GetDlgItem(dialog, IDC_VAULT_PATHS));
        const HWND list = ::GetDlgItem(dialog, IDC_VERSIONS);
        seen.rows = list_rows(list);
        LVITEMW chosen{};
        chosen.stateMask = chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
        test::send(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&chosen));
        test::click(dialog, IDOK);
        seen.open_after_checkout = ::IsWindow(dialog);
        test::press(dialog, IDCANCEL);
    });
    win32::win32_property_windows windows(prompter);
    property::property_program program(prompter, windows);
    program.set_opener([&](const std::string&) { return &vault.repo(); });
    const int code = program.run(utf8_of(local));
    ASSERT_EQ(driver.finish(), "");

    EXPECT_EQ(code, 0);
    EXPECT_EQ(seen.name, "report.txt");
    EXPECT_EQ(seen.source, utf8_of(local));
    EXPECT_EQ(seen.paths, std::vector<std::string>{"\\Cab\\report.txt"});
    EXPECT_EQ(seen.rows, (std::vector<std::vector<std::string>>{{"2021-5-6 7:8:9", "first draft"},
                                                                {"2022-1-2 3:4:5", " "}}));
    EXPECT_TRUE(seen.open_after_checkout);
    EXPECT_EQ(read_file(files / "out.txt"), "first");
    const auto& prompts = prompter.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].caption, "Quillmark: Save file as");
    EXPECT_EQ(prompts[1].text, "Checkout done!");
    EXPECT_EQ(prompts[1].caption, "Quillmark Properties!");
}

}  // namespace
}  // namespace tuv
