// Shows each window of the Win32 check-in, properties and explorer programs,
// and the explorer's time line at each of its units, over a vault of its own
// and has a picture taken of it, one PNG per window, in the folder its
// argument names (see capture()). scripts/windows-screenshots
// runs it on a virtual display and takes the pictures.
#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <future>

#include "checkin/checkin_form.h"
#include "checkin/command_line.h"
#include "checkin/win32/CCheckinProgressDlg.h"
#include "checkin/win32/CCreateNewDialog.h"
#include "checkin/win32/CSelectCabinate.h"
#include "checkin/win32/CVellumDlg.h"
#include "checkin/win32/resource.h"
#include "core/base/date.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "explorer/checkout_choice.h"
#include "explorer/explorer_document.h"
#include "explorer/win32/CNewCab.h"
#include "explorer/win32/CVellumCheckout.h"
#include "explorer/win32/CVellumProperties.h"
#include "explorer/win32/CVellum_ExplorerApp.h"
#include "explorer/win32/CVellum_Slider.h"
#include "explorer/win32/Quillmark_ExportDlg.h"
#include "explorer/win32/TFormView.h"
#include "explorer/win32/resource.h"
#include "gui/captions.h"
#include "gui/version_rows.h"
#include "gui/win32/CAboutDlg.h"
#include "gui/win32/gui_resources.h"
#include "gui/win32/win32_prompter.h"
#include "platform/wide_text.h"
#include "property/property_model.h"
#include "property/win32/CVellum_PropertyDlg.h"
#include "property/win32/resource.h"
#include "tests/support/gui/quiet_presentation.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"
#include "tests/windows/window_driver.h"

namespace tuv {
namespace {

using test::window_driver;

// Has the window taken: Wine hands what its windows paint to the X
// display, so the picture is taken from there, by the script that runs
// this on a virtual display. It is asked with "<name>.rect" holding the
// window's place on the screen ("left top width height") and answers with
// "<name>.png".
void capture(HWND window, const std::filesystem::path& folder, const std::string& name) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    // Wine may leave an active window's caption drawn as inactive once its
    // controls have made their pop-ups; it is drawn again as it is.
    test::send(window, WM_NCACTIVATE, TRUE);
    RECT frame;
    ::GetWindowRect(window, &frame);
    std::ofstream(folder / (name + ".rect.new"))
        << frame.left << ' ' << frame.top << ' ' << frame.right - frame.left << ' '
        << frame.bottom - frame.top << '\n';
    std::filesystem::rename(folder / (name + ".rect.new"), folder / (name + ".rect"));
    for (int tries = 0; !std::filesystem::exists(folder / (name + ".png")); ++tries) {
        if (tries == 600) throw std::runtime_error("no picture was taken of " + name);
        ::Sleep(100);
    }
}

// The person's files, in a folder whose name reads well in the pictures
// (of the screenshots' own Wine prefix), made here and removed at the end.
class documents {
  public:
    documents() {
        if (!std::filesystem::create_directory(folder_)) {
            throw std::runtime_error("C:\\Documents is there already");
        }
    }
    ~documents() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }

  private:
    std::filesystem::path folder_ = L"C:\\Documents";
};

// The tree or list control inside a view of the explorer's main window.
HWND control(HWND parent, int view) {
    return ::GetDlgItem(::GetDlgItem(parent, view), IDC_VIEW_CONTROL);
}

// Enter on the list's row whose name is `name`.
void activate_named(HWND list, const std::string& name) {
    const std::wstring wanted = platform::to_wide(name);
    for (LRESULT row = 0; row < test::send(list, LVM_GETITEMCOUNT); ++row) {
        wchar_t text[256] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 256;
        test::send(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        if (wanted != text) continue;
        LVITEMW state{};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        test::send(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        test::send(list, WM_KEYDOWN, VK_RETURN);
        return;
    }
    throw std::runtime_error("no row " + name + " in the explorer's list");
}

// The explorer at the top, in a folder, in a file's versions, with the time
// filter at each unit and with the search pane; the tree opened down to the
// folder.
void explorer_shots(window_driver& person, const std::filesystem::path& folder) {
    const HWND frame = person.wait_for("Quillmark Explorer");
    capture(frame, folder, "explorer-top-level");
    const HWND tree = control(frame, IDC_TREE);
    HTREEITEM item = nullptr;
    for (const char* name : {"Projects", "2024", "Reports"}) {
        item = test::child_named(tree, item, name);
        test::send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }
    test::send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    const HWND list = control(frame, IDC_LIST);
    for (const char* name : {"Projects", "2024", "Reports"}) activate_named(list, name);
    capture(frame, folder, "explorer-folder");
    activate_named(list, "Quarterly report.txt");
    capture(frame, folder, "explorer-versions");
    activate_named(list, "..");
    // The time filter on, at each of the slider's units.
    const HWND form = ::FindWindowExW(frame, nullptr, L"TFormView", nullptr);
    test::click(form, win32::IDC_TIME_FILTER);
    const HWND slider = ::FindWindowExW(form, nullptr, L"CVellum_Slider", nullptr);
    // The vault's years call for years; Z zooms in.
    for (const char* unit : {"year", "month", "day"}) {
        if (std::string(unit) != "year") test::send(slider, WM_KEYDOWN, 'Z');
        capture(frame, folder, std::string("explorer-zoom-") + unit);
    }
    test::send(frame, WM_COMMAND, ID_SEARCH);
    const HWND pane = ::GetDlgItem(frame, IDC_SEARCH_PANE);
    const HWND search = ::GetDlgItem(pane, IDC_SEARCH_FORM);
    test::set_item_text(search, IDC_SEARCH_NAME, "report");
    test::click(search, IDC_SEARCH_RUN);
    capture(frame, folder, "explorer-search-pane");
    ::PostMessageW(frame, WM_CLOSE, 0, 0);
}

void check_in(repository& repo, const documents& files, const std::string& name,
              const std::string& directory, const std::string& when, const std::string& text,
              const std::string& description) {
    std::ofstream(files / name, std::ios::binary) << text;
    repo.checkin_file(files / name, directory, when, "text/plain", description, nullptr);
}

// The explorer's time line over check-ins from February 2019 to May 2024,
// filtering, at years, months and days (the slider focused), each with a
// part of the span selected.
void time_line_shots(const std::filesystem::path& folder) {
    test::test_vault vault;
    for (const char* when : {"2019-02-11 09:00:00", "2024-05-20 17:00:00"}) {
        vault.database().execute(
            "INSERT INTO bmap(file_id, chunk_id, creation_date, virtual_offset) "
            "VALUES (1, 1, ?, 0)",
            {static_cast<std::int64_t>(date(std::string(when)).seconds())});
    }
    gui::scripted_prompter prompter;
    explorer::quiet_presentation frame;  // nothing the time line needs for its pictures
    explorer::explorer_document document(&vault.repo(), prompter, frame);
    const HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 40, 40, 820, 114,
                                        nullptr, nullptr, nullptr, nullptr);
    win32::TFormView form(document, host);
    const HWND box = ::GetDlgItem(form.window(), win32::IDC_TIME_FILTER);
    ::SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(form.window(), WM_COMMAND, MAKEWPARAM(win32::IDC_TIME_FILTER, BN_CLICKED),
                   reinterpret_cast<LPARAM>(box));
    const HWND slider = form.slider().window();

    // This thread keeps painting while another waits for the picture.
    const DWORD painter = ::GetCurrentThreadId();
    const auto take = [&](const std::string& name) {
        std::atomic<bool> taken{false};
        window_driver driver([&](window_driver&) {
            const auto done = [&] {
                taken = true;
                ::PostThreadMessageW(painter, WM_NULL, 0, 0);
            };
            try {
                capture(form.window(), folder, name);
            } catch (...) {
                done();
                throw;
            }
            done();
        });
        MSG message;
        while (!taken && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        const std::string failure = driver.finish();
        if (!failure.empty()) throw std::runtime_error(name + ": " + failure);
    };
    form.slider().set_selection(1, 3);
    take("explorer-timeline-year");
    ::SendMessageW(slider, WM_KEYDOWN, 'Z', 0);
    form.slider().set_selection(14, 18);
    take("explorer-timeline-month");
    ::SendMessageW(slider, WM_KEYDOWN, 'Z', 0);
    ::SetForegroundWindow(host);
    ::SetFocus(slider);
    form.slider().set_selection(400, 460);
    take("explorer-timeline-day");
    ::DestroyWindow(host);
}

int run(const std::filesystem::path& folder) {
    test::test_vault vault;
    repository& repo = vault.repo();
    const documents files;
    check_in(repo, files, "plan.txt", "\\Projects\\2024\\Reports", "2024-03-01 09:00:00", "a", "");
    check_in(repo, files, "plan.txt", "\\Projects\\2024\\Budget", "2024-03-01 09:00:00", "a", "");
    check_in(repo, files, "plan.txt", "\\Projects\\2025", "2025-01-10 10:00:00", "a", "");
    check_in(repo, files, "plan.txt", "\\Archive", "2023-12-31 17:00:00", "a", "");
    check_in(repo, files, "minutes.txt", "\\Archive", "2020-06-15 10:00:00", "m", "");
    check_in(repo, files, "plan.txt", "\\Clients\\Northwind", "2024-06-01 12:00:00", "a", "");
    for (const auto& [when, text, description] :
         {std::tuple{"2024-04-02 08:15:00", "draft", "First draft for the team"},
          std::tuple{"2024-04-09 16:40:12", "reviewed", "Reviewed by O'Brien, figures checked"},
          std::tuple{"2024-05-20 11:05:30", "final", ""}}) {
        check_in(repo, files, "Quarterly report.txt", "\\Projects\\2024\\Reports", when, text,
                 description);
    }
    gui::scripted_prompter prompter;
    const auto shot = [&](const std::string& caption, const std::string& name,
                          const std::function<void(window_driver&, HWND)>& before,
                          const std::function<void()>& show) {
        window_driver driver([&](window_driver& person) {
            const HWND window = person.wait_for(caption);
            before(person, window);
            capture(window, folder, name);
            test::press(window, IDCANCEL);
        });
        show();
        const std::string failure = driver.finish();
        if (!failure.empty()) throw std::runtime_error(name + ": " + failure);
    };

    const std::string local = utf8_of(files / "Quarterly report.txt");
    checkin_app::checkin_form form(checkin_app::parse_command_line(local), "\\", {2024, 6, 14},
                                   {15, 9, 26});
    form.set_directory("\\Projects\\2024\\Reports");
    shot(
        "Quillmark", "checkin-main",
        [](window_driver&, HWND window) {
            test::set_item_text(window, IDC_DESCRIPTION,
                                "Figures for the second quarter,\r\nas sent to the board.");
        },
        [&] { win32::CVellumDlg(form, repo, prompter).run(nullptr); });

    shot(
        "SelectCabinet", "checkin-select-cabinet",
        [](window_driver&, HWND window) {
            const HWND tree = ::GetDlgItem(window, IDC_CABINETS);
            const auto root =
                reinterpret_cast<HTREEITEM>(test::send(tree, TVM_GETNEXTITEM, TVGN_ROOT));
            const HTREEITEM projects = test::child_named(tree, root, "Projects");
            test::send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(projects));
            const HTREEITEM year = test::child_named(tree, projects, "2024");
            test::send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(year));
            test::send(tree, TVM_SELECTITEM, TVGN_CARET,
                       reinterpret_cast<LPARAM>(test::child_named(tree, year, "Reports")));
        },
        [&] { win32::CSelectCabinate(repo, prompter).run(nullptr); });

    shot(
        "Quillmark: Add New Cabinet", "checkin-new-cabinet",
        [](window_driver&, HWND window) { test::set_item_text(window, IDC_NAME, "Minutes"); },
        [&] { win32::CCreateNewDialog("Cabinet", prompter).run(nullptr); });

    {
        win32::CCheckinProgressDlg progress;
        std::promise<void> taken;
        window_driver driver([&](window_driver& person) {
            const HWND window = person.wait_for("42% completed");
            capture(window, folder, "checkin-progress");
            taken.set_value();
        });
        progress.show({1, 42, false}, 3, "Quarterly report.txt");
        progress.run([&] { taken.get_future().wait(); }, [] {});
        const std::string failure = driver.finish();
        if (!failure.empty()) throw std::runtime_error("checkin-progress: " + failure);
    }

    shot(
        "Quillmark", "checkin-summary", [](window_driver&, HWND) {},
        [&] {
            win32::win32_prompter().report(
                nullptr,
                "Not every file was checked in.\n2 checked in, 1 failed, 0 not checked in.",
                "Checked in: C:\\Documents\\plan.txt as \\Projects\\2024\\plan.txt\n"
                "Failed: C:\\Documents\\locked.xlsx: Couldn't open file: "
                "C:\\Documents\\locked.xlsx\n"
                "Checked in: C:\\Documents\\Quarterly report.txt as "
                "\\Projects\\2024\\Quarterly report.txt",
                gui::caption_checkin, gui::prompt_icon::error);
        });

    property::property_model model(repo, gui::vault_paths_for(repo, local));
    shot(
        "Quillmark Properties", "properties",
        [](window_driver&, HWND window) {
            LVITEMW chosen{};
            chosen.stateMask = chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
            test::send(::GetDlgItem(window, IDC_VERSIONS), LVM_SETITEMSTATE, 1,
                       reinterpret_cast<LPARAM>(&chosen));
        },
        [&] { win32::CVellum_PropertyDlg(local, model, repo, prompter).run(nullptr); });

    shot(
        "About Quillmark", "about", [](window_driver&, HWND) {},
        [] { win32::CAboutDlg(gui::checkin_about).run(nullptr); });

    const std::string report = "\\Projects\\2024\\Reports\\Quarterly report.txt";
    shot(
        "Quillmark Explorer: Checkout", "explorer-checkout", [](window_driver&, HWND) {},
        [&] {
            const auto versions = explorer::version_texts(repo, report);
            CVellumCheckout(repo, prompter, report, versions, 1).run(nullptr);
        });
    shot(
        "Quillmark Explorer:  File Properties", "explorer-properties", [](window_driver&, HWND) {},
        [&] {
            const auto entry = repo.catalogue().resolve(report);
            const std::uint64_t size = entry->version_size(date("2024-05-20 11:05:30"));
            CVellumProperties(
                {entry->name(), report, entry->mime_type(), std::to_string(size) + " Bytes", false})
                .run(nullptr);
        });
    shot(
        "Export", "explorer-export",
        [](window_driver&, HWND window) {
            test::set_item_text(window, IDC_EXPORT_FOLDER, "C:\\Documents\\Export");
        },
        [&] { Quillmark_ExportDlg(prompter).run(nullptr); });
    shot(
        "Add New Cabinet Dialog", "explorer-new-cabinet",
        [](window_driver&, HWND window) { test::set_item_text(window, IDC_NAME, "Minutes"); },
        [&] { CNewCab(prompter).run(nullptr); });

    // The explorer opens the vault the registry names: this one, in the
    // screenshots' own Wine prefix.
    test::register_vault(vault.db_path());
    window_driver driver([&](window_driver& person) { explorer_shots(person, folder); });
    CVellum_ExplorerApp(prompter, [&](const std::string&) { return &repo; }).run();
    const std::string failure = driver.finish();
    if (!failure.empty()) throw std::runtime_error("explorer: " + failure);

    time_line_shots(folder);
    return 0;
}

}  // namespace
}  // namespace tuv

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: win32_screenshots FOLDER\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    ::InitCommonControlsEx(&controls);
    try {
        return tuv::run(tuv::path_from_utf8(argv[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "win32_screenshots: %s\n", error.what());
        return 1;
    }
}
