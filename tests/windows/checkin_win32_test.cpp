// The Win32 check-in program's windows, driven through their messages:
// the whole run over a real vault, Cancel in the middle of a file, the
// cabinet picker, and a second instance of the shipped program.
#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <atomic>
#include <fstream>
#include <future>
#include <random>

#include "checkin/checkin_program.h"
#include "checkin/win32/CSelectCabinate.h"
#include "checkin/win32/resource.h"
#include "checkin/win32/win32_checkin_windows.h"
#include "core/base/utf8_path.h"
#include "core/vault/file_entry.h"
#include "core/vault/verify.h"
#include "gui/version_rows.h"
#include "gui/win32/gui_resources.h"
#include "platform/named_mutex.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"
#include "tests/windows/window_driver.h"

namespace tuv {
namespace {

using gui::prompt_icon;
using gui::prompt_record;
using test::window_driver;

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> names_in(repository& repo, const std::string& directory) {
    std::vector<std::unique_ptr<file_entry>> entries;
    repo.catalogue().list_directory(directory, entries);
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry->name());
    return names;
}

class checkin_win32_test : public ::testing::Test {
  protected:
    void SetUp() override { test::register_vault(vault_.db_path()); }

    // Checks `file` in under `directory`, as an earlier run would have.
    void seed(const std::string& name, const std::string& directory) {
        write_file(files_ / name, name);
        vault_.repo().checkin_file(files_ / name, directory, "2020-01-01 00:00:00", "text/plain",
                                   "", nullptr);
    }

    int run(const std::vector<std::string>& arguments, checkin_app::checkin_windows& windows) {
        checkin_app::checkin_program program("checkin_win32_test", prompter_, windows);
        program.set_opener([this](const std::string&) { return &vault_.repo(); });
        return program.run(arguments);
    }

    test::test_vault vault_;
    test::temp_dir files_;
    gui::scripted_prompter prompter_;
    win32::win32_checkin_windows windows_{prompter_};
};

TEST_F(checkin_win32_test, two_files_go_into_the_chosen_cabinet_at_the_chosen_moment) {
    seed("seed.txt", "\\Cab\\Company");
    write_file(files_ / "a.txt", "alpha");
    write_file(files_ / "b.txt", "bravo");
    struct {
        std::string source, destination, picked, chosen;
    } seen;
    window_driver driver([&](window_driver& person) {
        const HWND main = person.wait_for("Quillmark");
        seen.source = test::item_text(main, IDC_SOURCE);
        seen.destination = test::item_text(main, IDC_DESTINATION);
        test::press(main, IDC_BROWSE);
        const HWND picker = person.wait_for("SelectCabinet");
        const HWND tree = ::GetDlgItem(picker, IDC_CABINETS);
        const auto root = reinterpret_cast<HTREEITEM>(test::send(tree, TVM_GETNEXTITEM, TVGN_ROOT));
        test::send(tree, TVM_SELECTITEM, TVGN_CARET,
                   reinterpret_cast<LPARAM>(test::child_named(tree, root, "Cab")));
        seen.picked = test::item_text(picker, IDC_DESTINATION_PATH);
        test::press(picker, IDOK);
        person.wait_until(
            [&] { return test::item_text(main, IDC_DESTINATION) != seen.destination; },
            "the chosen destination");
        seen.chosen = test::item_text(main, IDC_DESTINATION);
        test::set_moment(::GetDlgItem(main, IDC_DATE), 2024, 2, 3, 0, 0, 0);
        test::set_moment(::GetDlgItem(main, IDC_TIME), 2024, 2, 3, 4, 5, 6);
        test::set_item_text(main, IDC_DESCRIPTION, "Quarterly figures\r\nby O'Brien");
        test::press(main, IDOK);
    });
    const int code = run({utf8_of(files_ / "a.txt") + "#" + utf8_of(files_ / "b.txt")}, windows_);
    ASSERT_EQ(driver.finish(), "");

    EXPECT_EQ(code, 0);
    EXPECT_EQ(seen.source, "Multiple Files are selected");
    EXPECT_EQ(seen.destination, "\\");
    EXPECT_EQ(seen.picked, "\\Cab");
    EXPECT_EQ(seen.chosen, "\\Cab");
    EXPECT_TRUE(prompter_.prompts().empty());
    for (const auto& [name, bytes] : {std::pair{"a.txt", "alpha"}, std::pair{"b.txt", "bravo"}}) {
        const auto versions = gui::versions_of(vault_.repo(), std::string("\\Cab\\") + name);
        ASSERT_EQ(versions.size(), 1u) << name;
        EXPECT_EQ(versions[0].moment, "2024-2-3 4:5:6");
        EXPECT_EQ(versions[0].description, "Quarterly figures\nby O'Brien");
        test::checkout_path(vault_.repo(), std::string("\\Cab\\") + name, files_ / "out", "now");
        EXPECT_EQ(read_file(files_ / "out"), bytes);
    }
}

// The real windows, with the progress held once it is well into the file
// until the test has pressed Cancel.
class held_progress : public checkin_app::checkin_progress {
  public:
    held_progress(std::unique_ptr<checkin_app::checkin_progress> shown, std::promise<HWND>& reached,
                  std::shared_future<void> go_on)
        : shown_(std::move(shown)), reached_(reached), go_on_(std::move(go_on)) {}

    void run(const std::function<void()>& work, const std::function<void()>& cancel) override {
        shown_->run(work, cancel);
    }
    void show(const checkin_app::progress_state& state, std::size_t count,
              const std::string& name) override {
        shown_->show(state, count, name);
        if (state.percent < 30 || held_.exchange(true)) return;
        reached_.set_value(static_cast<HWND>(shown_->window()));
        go_on_.wait();
    }
    gui::native_window window() override { return shown_->window(); }

  private:
    std::unique_ptr<checkin_app::checkin_progress> shown_;
    std::promise<HWND>& reached_;
    std::shared_future<void> go_on_;
    std::atomic<bool> held_{false};
};

class held_windows : public checkin_app::checkin_windows {
  public:
    explicit held_windows(checkin_app::checkin_windows& real) : real_(real) {}
    bool ask_details(checkin_app::checkin_form& form, repository& repo) override {
        return real_.ask_details(form, repo);
    }
    std::unique_ptr<checkin_app::checkin_progress> show_progress() override {
        return std::make_unique<held_progress>(real_.show_progress(), reached, go_on.get_future());
    }

    std::promise<HWND> reached;
    std::promise<void> go_on;

  private:
    checkin_app::checkin_windows& real_;
};

TEST_F(checkin_win32_test, cancel_in_the_middle_of_a_large_file_leaves_the_vault_as_it_was) {
    std::string bytes(32 << 20, '\0');
    std::mt19937_64 random(7);
    for (char& byte : bytes) byte = static_cast<char>(random());
    write_file(files_ / "big.bin", bytes);
    held_windows windows(windows_);
    struct {
        std::string cancel_text;
        bool cancel_enabled = true;
    } seen;
    window_driver driver([&](window_driver& person) {
        test::press(person.wait_for("Quillmark"), IDOK);
        std::future<HWND> reached = windows.reached.get_future();
        person.wait_until(
            [&] { return reached.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            "the check-in to be well into the file");
        const HWND progress = reached.get();
        test::click(progress, IDCANCEL);
        seen.cancel_text = test::item_text(progress, IDCANCEL);
        seen.cancel_enabled = ::IsWindowEnabled(::GetDlgItem(progress, IDCANCEL));
        windows.go_on.set_value();
    });
    const std::string big = utf8_of(files_ / "big.bin");
    const int code = run({big}, windows);
    ASSERT_EQ(driver.finish(), "");

    EXPECT_EQ(code, 1);
    EXPECT_EQ(seen.cancel_text, "Cancelling...");
    EXPECT_FALSE(seen.cancel_enabled);
    ASSERT_EQ(prompter_.prompts().size(), 1u);
    const prompt_record& summary = prompter_.prompts()[0];
    EXPECT_EQ(summary.text,
              "The check-in was cancelled.\n0 checked in, 0 failed, 1 not checked in.");
    EXPECT_EQ(summary.details, "Cancelled, nothing of it was stored: " + big);
    EXPECT_EQ(summary.caption, "Quillmark");
    EXPECT_TRUE(names_in(vault_.repo(), "\\").empty());
    EXPECT_TRUE(gui::vault_paths_for(vault_.repo(), big).empty());
    EXPECT_TRUE(verify_vault(vault_.repo(), {.read_data = true}).clean());
}

TEST_F(checkin_win32_test, picker_expands_refuses_bad_and_duplicate_names_and_selects_the_new_one) {
    seed("x.txt", "\\Cab\\Company");
    seed("y.txt", "\\Alpha");
    struct {
        std::vector<std::string> top, cab_before, cab_expanded, cab_after;
        std::string label, after_refusal, destination;
    } seen;
    window_driver driver([&](window_driver& person) {
        const HWND picker = person.wait_for("SelectCabinet");
        const HWND tree = ::GetDlgItem(picker, IDC_CABINETS);
        const auto root = reinterpret_cast<HTREEITEM>(test::send(tree, TVM_GETNEXTITEM, TVGN_ROOT));
        seen.top = test::child_texts(tree, root);
        const HTREEITEM cab = test::child_named(tree, root, "Cab");
        seen.cab_before = test::child_texts(tree, cab);
        test::send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(cab));
        seen.cab_expanded = test::child_texts(tree, cab);
        test::send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(cab));

        test::press(picker, IDC_NEW_CABINET);
        HWND ask = person.wait_for("Quillmark: Add New Cabinet");
        seen.label = test::item_text(ask, IDC_NAME_LABEL);
        test::set_item_text(ask, IDC_NAME, "a#b");
        test::click(ask, IDOK);
        seen.after_refusal = test::item_text(ask, IDC_NAME);
        test::set_item_text(ask, IDC_NAME, "company");
        test::press(ask, IDOK);
        person.wait_gone(ask);
        ask = person.wait_for("Quillmark: Add New Cabinet");
        test::set_item_text(ask, IDC_NAME, "Reports");
        test::press(ask, IDOK);
        person.wait_until([&] { return test::item_text(picker, IDC_DESTINATION_PATH) != "\\Cab"; },
                          "the new cabinet to be selected");
        seen.destination = test::item_text(picker, IDC_DESTINATION_PATH);
        seen.cab_after = test::child_texts(tree, cab);
        test::press(picker, IDOK);
    });
    const std::optional<std::string> chosen =
        win32::CSelectCabinate(vault_.repo(), prompter_).run(nullptr);
    ASSERT_EQ(driver.finish(), "");

    EXPECT_EQ(seen.top, (std::vector<std::string>{"Alpha", "Cab"}));
    EXPECT_EQ(seen.cab_before, std::vector<std::string>{""});
    EXPECT_EQ(seen.cab_expanded, std::vector<std::string>{"Company"});
    EXPECT_EQ(seen.label, "Cabinet Name");
    EXPECT_EQ(seen.after_refusal, "");
    EXPECT_EQ(seen.destination, "\\Cab\\Reports");
    EXPECT_EQ(seen.cab_after, (std::vector<std::string>{"Company", "Reports"}));
    EXPECT_EQ(chosen, "\\Cab\\Reports");
    const auto& prompts = prompter_.prompts();
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].text,
              "Please enter a valid value in text field.\n '$#@!~`&^%?<>;:'+=|* ' characters are "
              "not allowed.");
    EXPECT_EQ(prompts[0].caption, "Quillmark!");
    EXPECT_EQ(prompts[1].text, "CabinateName CompanyAlready exist");
    EXPECT_EQ(prompts[1].caption, "Error");
    for (const auto& prompt : prompts) EXPECT_EQ(prompt.icon, prompt_icon::exclamation);
    // Nothing is made in the vault until a file goes there.
    EXPECT_EQ(names_in(vault_.repo(), "\\Cab"), std::vector<std::string>{"Company"});
}

// The shipped program, started while another instance holds the mutex.
TEST(checkin_win32_program, a_second_instance_says_so_and_ends) {
    const auto held =
        platform::named_mutex::try_acquire(platform::checkin_mutex_name, std::chrono::seconds(0));
    ASSERT_TRUE(held);
    std::wstring command = L"\"" + std::filesystem::path(QUILLMARK_CHECKIN_EXE).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    struct box_search {
        DWORD process;
        HWND box = nullptr;
    } search{process.dwProcessId};
    const auto find_box = [](HWND window, LPARAM data) -> BOOL {
        auto* wanted = reinterpret_cast<box_search*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != wanted->process || !::IsWindowVisible(window)) return TRUE;
        wanted->box = window;
        return FALSE;
    };
    for (int tries = 0; search.box == nullptr && tries < 3000; ++tries) {
        ::EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
        if (search.box == nullptr) ::Sleep(10);
    }
    ASSERT_NE(search.box, nullptr) << "no message box came";
    const std::vector<std::string> texts = test::static_texts(search.box);
    const std::string caption = test::text_of(search.box);
    ::PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    EXPECT_EQ(caption, "Quillmark");
    EXPECT_EQ(texts,
              std::vector<std::string>{"Another instance of the application is already running."});
    EXPECT_EQ(code, 1u);
}

}  // namespace
}  // namespace tuv
