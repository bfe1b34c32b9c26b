// The check-in program's whole sequence over a presentation of the test's
// own: the vault from the registry, the form, the run on a worker thread and
// what the person is told, on a real vault.
#include "checkin/checkin_program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "checkin/checkin_form.h"
#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/file_entry.h"
#include "platform/named_mutex.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv::checkin_app {
namespace {

namespace fs = std::filesystem;

// Runs the work at once on a thread of its own; records what it is shown as
// "<file line> <caption>".
class test_progress : public checkin_progress {
  public:
    explicit test_progress(std::vector<std::string>& shown) : shown_(shown) {}
    void run(const std::function<void()>& work, const std::function<void()>&) override {
        std::thread(work).join();
    }
    void show(const progress_state& state, std::size_t count, const std::string& name) override {
        shown_.push_back(progress_file_text(state.file + 1, count, name) + " " +
                         progress_caption(state.percent));
    }
    gui::native_window window() override { return this; }

  private:
    std::vector<std::string>& shown_;
};

// The main dialog as a person fills it in.
class test_windows : public checkin_windows {
  public:
    bool ask_details(checkin_form& form, repository&) override {
        ++asked;
        form.set_directory("\\Cab");
        form.set_date({2026, 1, 2});
        form.set_time({3, 4, 5});
        form.set_description("O'Brien");
        return submit;
    }
    std::unique_ptr<checkin_progress> show_progress() override {
        return std::make_unique<test_progress>(shown);
    }

    bool submit = true;
    int asked = 0;
    std::vector<std::string> shown;
};

fs::path write_text(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class checkin_program_test : public ::testing::Test {
  protected:
    checkin_program_test() {
        test::register_vault(vault.db_path());
        program.set_opener([this](const std::string& db_path) {
            opened.push_back(db_path);
            return &vault.repo();
        });
    }

    // The form's version of a vault file, and its description.
    std::string stored(const std::string& path) {
        const auto entry = vault.repo().catalogue().resolve(path);
        return entry->read(date("2026-01-02 03:04:05")) + " | " + entry->attributes();
    }
    // Every message as "<caption> <icon>: <text>".
    std::vector<std::string> told() const {
        std::vector<std::string> lines;
        for (const auto& prompt : prompts.prompts()) {
            lines.push_back(prompt.caption + " " + std::to_string(int(prompt.icon)) + ": " +
                            prompt.text);
        }
        return lines;
    }

    // One per case: ctest may run the cases side by side.
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::test_vault vault;
    gui::scripted_prompter prompts;
    test_windows windows;
    checkin_program program{name, prompts, windows};
    std::vector<std::string> opened;
};

TEST_F(checkin_program_test, checks_the_files_in_with_the_forms_directory_date_and_description) {
    const fs::path a = write_text(folder / "a.txt", "first");
    const fs::path b = write_text(folder / "b.txt", "second");

    EXPECT_EQ(program.run({"--files", utf8_of(a), utf8_of(b)}), 0);

    EXPECT_TRUE(told().empty());
    EXPECT_EQ(opened, std::vector{vault.db_path()});
    EXPECT_EQ(stored("\\Cab\\a.txt"), "first | O'Brien");
    EXPECT_EQ(stored("\\Cab\\b.txt"), "second | O'Brien");
    // The last path given goes in first.
    ASSERT_FALSE(windows.shown.empty());
    EXPECT_EQ(windows.shown.front(), "File 1 of 2: b.txt 0% completed");
    EXPECT_EQ(windows.shown.back(), "File 2 of 2: a.txt 100% completed");
}

TEST_F(checkin_program_test, a_cancelled_dialog_checks_nothing_in) {
    windows.submit = false;
    EXPECT_EQ(program.run({"--files", utf8_of(write_text(folder / "a.txt", "a"))}), 0);
    EXPECT_EQ(windows.asked, 1);
    EXPECT_TRUE(told().empty());
    EXPECT_TRUE(windows.shown.empty());
    EXPECT_THROW(vault.repo().catalogue().resolve("\\Cab"), file_not_found_exception);
}

TEST_F(checkin_program_test, no_file_is_told) {
    EXPECT_EQ(program.run({}), 1);
    EXPECT_EQ(windows.asked, 0);
    EXPECT_EQ(told(),
              std::vector<std::string>{"Quillmark 3: Please select the file for Quillmark."});
}

// The other instance holds the mutex on a thread of its own: Windows lets
// the thread that holds a mutex take it again.
TEST_F(checkin_program_test, a_second_instance_names_the_files_and_leaves_the_vault_alone) {
    std::promise<bool> taken;
    std::promise<void> release;
    std::future<bool> held = taken.get_future();
    std::thread other([&, released = release.get_future()] {
        const auto mutex = platform::named_mutex::try_acquire(name + "MARROWGATE", {});
        taken.set_value(mutex.has_value());
        released.wait();
    });
    EXPECT_TRUE(held.get());
    const fs::path a = write_text(folder / "a.txt", "a");
    const fs::path b = write_text(folder / "b#1.txt", "b");

    EXPECT_EQ(program.run({"--files", utf8_of(a), utf8_of(b)}), 1);
    release.set_value();
    other.join();

    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(told(), std::vector<std::string>{
                          "Quillmark 3: Another instance of the application is already running.\n"
                          "These files were not checked in; check them in when it has "
                          "finished:\n" +
                          utf8_of(a) + "\n" + utf8_of(b)});
}

}  // namespace
}  // namespace tuv::checkin_app
