// The Win32 explorer over a real vault, driven through its windows'
// messages: what the tree and the list show, a file's versions, a search,
// the check-out of a version and files dropped on the list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>

#include "core/base/utf8_path.h"
#include "core/vault/file_entry.h"
#include "explorer/win32/CVellum_ExplorerApp.h"
#include "explorer/win32/resource.h"
#include "gui/win32/gui_resources.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "platform/wide_text.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/test_vault.h"
#include "tests/windows/window_driver.h"

namespace tuv {
namespace {

using test::window_driver;
using table = std::vector<std::vector<std::string>>;

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The tree or list control inside a view of the main window.
HWND control(HWND parent, int view) {
    return ::GetDlgItem(::GetDlgItem(parent, view), IDC_VIEW_CONTROL);
}

std::vector<std::string> titles_of(HWND list) {
    const auto header = reinterpret_cast<HWND>(test::send(list, LVM_GETHEADER));
    std::vector<std::string> titles;
    for (LRESULT at = 0; at < test::send(header, HDM_GETITEMCOUNT); ++at) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = 64;
        test::send(list, LVM_GETCOLUMNW, at, reinterpret_cast<LPARAM>(&column));
        titles.push_back(platform::to_utf8(text));
    }
    return titles;
}

table rows_of(HWND list) {
    const std::size_t columns = titles_of(list).size();
    table rows;
    for (LRESULT row = 0; row < test::send(list, LVM_GETITEMCOUNT); ++row) {
        std::vector<std::string> cells;
        for (std::size_t column = 0; column < columns; ++column) {
            wchar_t text[256] = {};
            LVITEMW item{};
            item.iSubItem = static_cast<int>(column);
            item.pszText = text;
            item.cchTextMax = 256;
            test::send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            cells.push_back(platform::to_utf8(text));
        }
        rows.push_back(cells);
    }
    return rows;
}

void select_row(HWND list, int row) {
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    test::send(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

// Enter on a row, as the person activates it.
void activate_row(HWND list, int row) {
    select_row(list, row);
    test::send(list, WM_KEYDOWN, VK_RETURN);
}

// What Explorer hands a window that files are dropped on; the window frees it.
HDROP drop_of(const std::vector<std::filesystem::path>& files) {
    std::wstring names;
    for (const auto& file : files) names += file.wstring() + L'\0';
    names += L'\0';
    const std::size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL memory = ::GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class explorer_win32_test : public ::testing::Test {
  protected:
    explorer_win32_test() {
        test::register_vault(vault_.db_path());
        check_in("report.txt", "\\Cab", "2021-05-06 07:08:09", "first", "first draft");
        check_in("report.txt", "\\Cab", "2022-01-02 03:04:05", "second version", "");
        check_in("Q3 100% O'Brien.txt", "\\Cab", "2022-02-01 00:00:00", "q", "");
        check_in("Q3 1000 O'Brien.txt", "\\Cab", "2022-02-01 00:00:00", "q", "");
        check_in("notes.txt", "\\Other", "2023-03-04 05:06:07", "n", "");
    }

    void check_in(const std::string& name, const std::string& directory, const std::string& when,
                  const std::string& bytes, const std::string& description) {
        std::ofstream(files_ / path_from_utf8(name), std::ios::binary) << bytes;
        vault_.repo().checkin_file(files_ / path_from_utf8(name), directory, when, "text/plain",
                                   description, nullptr);
    }

    // Runs the explorer while `play` plays the person at its main window,
    // which is closed after.
    void run(const std::function<void(window_driver&, HWND)>& play) {
        window_driver driver([&](window_driver& person) {
            const HWND frame = person.wait_for("Quillmark Explorer");
            play(person, frame);
            ::PostMessageW(frame, WM_CLOSE, 0, 0);
        });
        CVellum_ExplorerApp app(prompter_, [this](const std::string&) { return &vault_.repo(); });
        EXPECT_EQ(app.run(), 0);
        EXPECT_EQ(driver.finish(), "");
    }

    test::temp_dir files_;
    test::scoped_registry registry_{files_.path()};
    test::test_vault vault_;
    gui::scripted_prompter prompter_;
};

TEST_F(explorer_win32_test, shows_the_cabinets_the_folder_and_a_files_versions) {
    std::vector<std::string> cabinets, top_titles, version_titles;
    table top, folder, versions;
    run([&](window_driver&, HWND frame) {
        cabinets = test::child_texts(control(frame, IDC_TREE), nullptr);
        const HWND list = control(frame, IDC_LIST);
        top_titles = titles_of(list);
        top = rows_of(list);
        activate_row(list, 1);
        folder = rows_of(list);
        activate_row(list, 1);
        version_titles = titles_of(list);
        versions = rows_of(list);
    });
    EXPECT_EQ(cabinets, (std::vector<std::string>{"Cab", "Other"}));
    EXPECT_EQ(top_titles, (std::vector<std::string>{"Name", "No. Of Versions", "1st Checkin Date",
                                                    "Last Checkin Date"}));
    EXPECT_EQ(top, (table{{"..", "", "", ""}, {"Cab", "", "", ""}, {"Other", "", "", ""}}));
    EXPECT_EQ(folder, (table{{"..", "", "", ""},
                             {"report.txt", "2", "2021-5-6 7:8:9", "2022-1-2 3:4:5"},
                             {"Q3 100% O'Brien.txt", "1", "2022-2-1 0:0:0", "2022-2-1 0:0:0"},
                             {"Q3 1000 O'Brien.txt", "1", "2022-2-1 0:0:0", "2022-2-1 0:0:0"}}));
    EXPECT_EQ(version_titles, (std::vector<std::string>{"TimeStamp", "Description"}));
    EXPECT_EQ(versions,
              (table{{"..", ""}, {"2022-1-2 3:4:5", " "}, {"2021-5-6 7:8:9", "first draft"}}));
    EXPECT_TRUE(prompter_.prompts().empty());
}

TEST_F(explorer_win32_test,
       alt_s_searches_names_with_percent_and_quote_as_typed_and_x_closes_the_pane) {
    table found;
    bool closed = false;
    run([&](window_driver& person, HWND frame) {
        test::send(frame, WM_COMMAND, ID_SEARCH);
        const HWND pane = ::GetDlgItem(frame, IDC_SEARCH_PANE);
        const HWND form = ::GetDlgItem(pane, IDC_SEARCH_FORM);
        test::set_item_text(form, IDC_SEARCH_NAME, "100% O'Brien");
        // Alt+S in the field: the form's Search, not the menu's.
        ::PostMessageW(::GetDlgItem(form, IDC_SEARCH_NAME), WM_SYSKEYDOWN, 'S',
                       1 | KF_ALTDOWN << 16);
        const HWND results = control(pane, IDC_SEARCH_LIST);
        person.wait_until([&] { return test::send(results, LVM_GETITEMCOUNT) == 2; },
                          "the search's results");
        found = rows_of(results);
        test::click(form, IDC_SEARCH_CLOSE);
        person.wait_gone(pane);
        closed = ::IsWindowVisible(::GetDlgItem(frame, IDC_TREE));
    });
    EXPECT_EQ(found,
              (table{{"..", "", "", ""},
                     {"\\Cab\\Q3 100% O'Brien.txt", "1", "2022-2-1 0:0:0", "2022-2-1 0:0:0"}}));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(prompter_.prompts().empty());
}

TEST_F(explorer_win32_test, a_long_list_shows_the_next_page_once_its_end_is_in_sight) {
    const std::int64_t root = vault_.repo().catalogue().resolve("\\")->file_id();
    for (int at = 0; at < 600; ++at) {
        vault_.repo().catalogue().create_directory("c" + std::to_string(1000 + at), root, "now");
    }
    LRESULT first = 0, grown = 0;
    run([&](window_driver& person, HWND frame) {
        const HWND list = control(frame, IDC_LIST);
        first = test::send(list, LVM_GETITEMCOUNT);
        test::send(list, LVM_ENSUREVISIBLE, first - 1, FALSE);
        person.wait_until([&] { return test::send(list, LVM_GETITEMCOUNT) > first; },
                          "the next page");
        grown = test::send(list, LVM_GETITEMCOUNT);
    });
    EXPECT_EQ(first, 500);
    EXPECT_EQ(grown, 603);  // "..", Cab, Other and the 600
}

TEST_F(explorer_win32_test, checks_out_the_chosen_version) {
    prompter_.answer_path(utf8_of(files_ / "out.txt"));
    run([&](window_driver&, HWND frame) {
        const HWND list = control(frame, IDC_LIST);
        activate_row(list, 1);
        activate_row(list, 1);
        select_row(list, 2);
        test::send(::GetDlgItem(frame, IDC_LIST), WM_COMMAND, ID_LIST_CHECKOUT);
    });
    EXPECT_EQ(read_file(files_ / "out.txt"), "first");
    ASSERT_EQ(prompter_.prompts().size(), 2u);
    EXPECT_EQ(prompter_.prompts()[0].caption, "Quillmark: Save file as");
    EXPECT_EQ(prompter_.prompts()[0].text, "report.txt");
    EXPECT_EQ(prompter_.prompts()[1].text, "Checkout done!");
    EXPECT_EQ(prompter_.prompts()[1].caption, "Quillmark Explorer");
}

TEST_F(explorer_win32_test, files_dropped_on_the_list_go_whole_to_the_checkin_program) {
    platform::create_registry_key(platform::registry_root::local_machine, platform::quillmark_key)
        .set(platform::checkin_program_value, QUILLMARK_CHECKIN_STAND_IN);
    const std::filesystem::path record = files_ / "record";
    const test::scoped_env recording(test::record_variable, utf8_of(record));
    const std::vector<std::filesystem::path> dropped{files_ / "a b#1,2.txt",
                                                     files_ / path_from_utf8("Zoë's file.txt")};
    for (const auto& file : dropped) std::ofstream(file) << "new";
    run([&](window_driver& person, HWND frame) {
        activate_row(control(frame, IDC_LIST), 1);
        ::PostMessageW(control(frame, IDC_LIST), WM_DROPFILES,
                       reinterpret_cast<WPARAM>(drop_of(dropped)), 0);
        person.wait_until([&] { return std::filesystem::exists(record); },
                          "the check-in program's record");
        person.wait_until([&] { return ::IsWindowVisible(frame) != FALSE; },
                          "the main window again");
    });
    const std::vector<std::string> recorded = test::recorded_arguments(record);
    ASSERT_EQ(recorded.size(), 2u);
    int count = 0;
    wchar_t** split =
        ::CommandLineToArgvW(platform::to_wide("program " + recorded[1]).c_str(), &count);
    std::vector<std::string> arguments;
    for (int at = 1; at < count; ++at) arguments.push_back(platform::to_utf8(split[at]));
    ::LocalFree(split);
    EXPECT_EQ(arguments, (std::vector<std::string>{"--to", "\\Cab", "--files", utf8_of(dropped[0]),
                                                   utf8_of(dropped[1])}));
    EXPECT_TRUE(prompter_.prompts().empty());
}

TEST_F(explorer_win32_test, a_cabinet_added_in_the_folder_the_tree_went_to_refusing_a_bad_name) {
    std::string refused_field;
    std::vector<std::string> under_cab;
    table rows;
    run([&](window_driver& person, HWND frame) {
        const HWND tree = control(frame, IDC_TREE);
        test::send(tree, TVM_SELECTITEM, TVGN_CARET,
                   reinterpret_cast<LPARAM>(test::child_named(tree, nullptr, "Cab")));
        test::send(tree, WM_KEYDOWN, VK_RETURN);
        ::PostMessageW(frame, WM_COMMAND, ID_FILE_ADD_CABINET, 0);
        const HWND ask = person.wait_for("Add New Cabinet Dialog");
        test::set_item_text(ask, IDC_NAME, "a/b");
        test::click(ask, IDOK);
        refused_field = test::item_text(ask, IDC_NAME);
        test::set_item_text(ask, IDC_NAME, "Minutes");
        test::press(ask, IDOK);
        person.wait_gone(ask);
        const HTREEITEM cab = test::child_named(tree, nullptr, "Cab");
        test::send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(cab));
        under_cab = test::child_texts(tree, cab);
        rows = rows_of(control(frame, IDC_LIST));
    });
    EXPECT_EQ(refused_field, "");
    EXPECT_EQ(under_cab, std::vector<std::string>{"Minutes"});
    EXPECT_EQ(rows.size(), 5u);
    EXPECT_THAT(rows, ::testing::Contains(std::vector<std::string>{"Minutes", "", "", ""}));
    ASSERT_EQ(prompter_.prompts().size(), 1u);
    EXPECT_EQ(prompter_.prompts()[0].text,
              "Please enter a valid value in text field.\n '\\\"/$#@!~`&^%?<>;:'+=|* ' "
              "characters are not allowed.");
    EXPECT_EQ(prompter_.prompts()[0].caption, "Quillmark!");
}

TEST_F(explorer_win32_test, export_asks_for_a_folder_and_writes_the_latest_versions_there) {
    const std::filesystem::path destination = files_ / "export";
    std::filesystem::create_directory(destination);
    prompter_.answer_path(utf8_of(destination));
    std::string shown_folder;
    run([&](window_driver& person, HWND frame) {
        ::PostMessageW(frame, WM_COMMAND, ID_FILE_EXPORT, 0);
        const HWND dialog = person.wait_for("Export");
        test::click(dialog, IDOK);
        test::click(dialog, IDC_EXPORT_BROWSE);
        shown_folder = test::item_text(dialog, IDC_EXPORT_FOLDER);
        test::press(dialog, IDOK);
        person.wait_gone(dialog);
    });
    EXPECT_EQ(shown_folder, utf8_of(destination));
    EXPECT_EQ(read_file(destination / "Cab" / "report.txt"), "second version");
    EXPECT_EQ(read_file(destination / "Other" / "notes.txt"), "n");
    ASSERT_EQ(prompter_.prompts().size(), 2u);
    EXPECT_EQ(prompter_.prompts()[0].text, "Please specify destination folder.");
    EXPECT_EQ(prompter_.prompts()[0].caption, "Quillmark Explorer");
    EXPECT_EQ(prompter_.prompts()[1].caption, "Browse for Folder");
}

TEST_F(explorer_win32_test, properties_check_out_the_version_chosen_in_the_checkout_dialog) {
    prompter_.answer_path(utf8_of(files_ / "out.txt"));
    std::vector<std::string> fields, times;
    std::string description;
    run([&](window_driver& person, HWND frame) {
        const HWND list = control(frame, IDC_LIST);
        activate_row(list, 1);
        select_row(list, 1);
        ::PostMessageW(::GetDlgItem(frame, IDC_LIST), WM_COMMAND, ID_LIST_PROPERTIES, 0);
        const HWND properties = person.wait_for("Quillmark Explorer:  File Properties");
        for (const int id :
             {IDC_PROPERTY_NAME, IDC_PROPERTY_PATH, IDC_PROPERTY_MIME_TYPE, IDC_PROPERTY_SIZE}) {
            fields.push_back(test::item_text(properties, id));
        }
        test::press(properties, IDOK);
        const HWND checkout = person.wait_for("Quillmark Explorer: Checkout");
        const HWND combo = ::GetDlgItem(checkout, IDC_CHECKOUT_TIMES);
        for (LRESULT at = 0; at < test::send(combo, CB_GETCOUNT); ++at) {
            wchar_t text[64] = {};
            test::send(combo, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text));
            times.push_back(platform::to_utf8(text));
        }
        test::send(combo, CB_SETCURSEL, 0);
        test::send(checkout, WM_COMMAND, MAKEWPARAM(IDC_CHECKOUT_TIMES, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
        description = test::item_text(checkout, IDC_CHECKOUT_DESCRIPTION);
        test::press(checkout, IDOK);
        person.wait_gone(checkout);
    });
    EXPECT_EQ(fields, (std::vector<std::string>{"report.txt", "\\Cab\\report.txt", "text/plain",
                                                "14 Bytes"}));
    EXPECT_EQ(times, (std::vector<std::string>{"2021-5-6 7:8:9", "2022-1-2 3:4:5"}));
    EXPECT_EQ(description, "first draft");
    EXPECT_EQ(read_file(files_ / "out.txt"), "first");
    ASSERT_EQ(prompter_.prompts().size(), 2u);
    EXPECT_EQ(prompter_.prompts()[1].text, "Checkout done!");
}

std::string status_text(HWND frame, int part) {
    const HWND status = ::GetDlgItem(frame, IDC_STATUS_BAR);
    std::wstring text(LOWORD(test::send(status, SB_GETTEXTLENGTHW, part)) + 1, L'\0');
    test::send(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    return platform::to_utf8(text.c_str());
}

TEST_F(explorer_win32_test, the_status_bar_shows_the_menus_prompts_and_the_repository_size) {
    const std::vector<std::pair<UINT, std::string>> prompts{
        {ID_FILE_CHECKIN, "CheckIn the file. Goto file level for checkin."},
        {ID_FILE_ADD_CABINET, "Add New Cabinet."},
        {ID_FILE_EXPORT, "Export all files in Quillmark"},
        {ID_SEARCH, "Show or hide search pane."},
        {ID_LIST_VIEW, "View or Open File."},
        {ID_APP_EXIT, ""}};
    std::vector<std::string> shown;
    std::string size;
    run([&](window_driver&, HWND frame) {
        const auto menu = reinterpret_cast<LPARAM>(::GetMenu(frame));
        for (const auto& [item, prompt] : prompts) {
            test::send(frame, WM_MENUSELECT, MAKEWPARAM(item, MF_HILITE), menu);
            shown.push_back(status_text(frame, 0));
        }
        size = status_text(frame, 1);
    });
    for (std::size_t at = 0; at < prompts.size(); ++at) EXPECT_EQ(shown[at], prompts[at].second);
    EXPECT_EQ(size, "Repository Size : 0 MB");
}

TEST_F(explorer_win32_test, a_window_made_smaller_than_690_by_490_snaps_back_on_that_side) {
    struct {
        int width, height, kept_width, kept_height;
    } const cases[] = {{600, 480, 700, 500}, {689, 600, 700, 600}, {900, 489, 900, 500}};
    std::vector<std::pair<int, int>> seen;
    run([&](window_driver&, HWND frame) {
        for (const auto& size : cases) {
            ::SetWindowPos(frame, nullptr, 0, 0, size.width, size.height,
                           SWP_NOMOVE | SWP_NOZORDER);
            RECT window;
            ::GetWindowRect(frame, &window);
            seen.emplace_back(window.right - window.left, window.bottom - window.top);
        }
    });
    ASSERT_EQ(seen.size(), std::size(cases));
    for (std::size_t at = 0; at < seen.size(); ++at) {
        EXPECT_EQ(seen[at], std::make_pair(cases[at].kept_width, cases[at].kept_height)) << at;
    }
}

TEST_F(explorer_win32_test, the_tree_is_dragged_no_wider_than_40_and_no_narrower_than_10_percent) {
    struct {
        int to;
        double least, most;  // of the window's width
    } const cases[] = {{600, 0.38, 0.40}, {10, 0.09, 0.11}, {250, 0.35, 0.37}};
    std::vector<double> shares;
    run([&](window_driver&, HWND frame) {
        for (const auto& drag : cases) {
            RECT tree, client;
            ::GetWindowRect(::GetDlgItem(frame, IDC_TREE), &tree);
            const LPARAM bar = MAKELPARAM(tree.right - tree.left + 1, 100);
            test::send(frame, WM_LBUTTONDOWN, MK_LBUTTON, bar);
            test::send(frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(drag.to, 100));
            test::send(frame, WM_LBUTTONUP, 0, MAKELPARAM(drag.to, 100));
            ::GetWindowRect(::GetDlgItem(frame, IDC_TREE), &tree);
            ::GetClientRect(frame, &client);
            shares.push_back(double(tree.right - tree.left) / client.right);
        }
    });
    ASSERT_EQ(shares.size(), std::size(cases));
    for (std::size_t at = 0; at < shares.size(); ++at) {
        EXPECT_GE(shares[at], cases[at].least) << at;
        EXPECT_LE(shares[at], cases[at].most) << at;
    }
}

TEST_F(explorer_win32_test, another_explorers_window_ends_it_at_once) {
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"Quillmark Explorer", WS_POPUP, 0, 0, 10,
                                         10, nullptr, nullptr, nullptr, nullptr);
    CVellum_ExplorerApp app(prompter_, [this](const std::string&) { return &vault_.repo(); });
    EXPECT_EQ(app.run(), 0);
    ::DestroyWindow(other);
    ASSERT_EQ(prompter_.prompts().size(), 1u);
    EXPECT_EQ(prompter_.prompts()[0].text,
              "One Instance of Quillmark Explorer is already running!");
    EXPECT_EQ(prompter_.prompts()[0].icon, gui::prompt_icon::information);
}

}  // namespace
}  // namespace tuv
