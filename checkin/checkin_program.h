// The check-in program without its windows: one instance per user, the vault
// from the registry, the main dialog, then every selected file checked in on
// a worker thread while a progress window shows how far it has come, and a
// summary when not every file went in.
//
// The Qt program (CVellumApp) and the Win32 one run this same sequence; each
// gives its windows through checkin_windows.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/prompter.h"
#include "gui/registered_vault.h"

namespace tuv {
class repository;
}

namespace tuv::checkin_app {

class checkin_form;

// The texts of the progress window, the same in every presentation.
inline constexpr const char* progress_note = "This may take some time. Please wait..";
inline constexpr const char* progress_waiting_note =
    "Waiting for another program that is using the vault...";
inline constexpr const char* cancelling_text = "Cancelling...";
// The window's caption: "<percent>% completed".
std::string progress_caption(int percent);
// The file line: its name alone, or "File <number> of <count>: <name>".
std::string progress_file_text(std::size_t number, std::size_t count, const std::string& name);

// What the progress window shows at one moment.
struct progress_state {
    std::size_t file = 0;  // the index of the file in the run
    int percent = 0;
    bool waiting = false;  // for another program that holds the database
};

// The progress window, modeless, shown while the check-ins run.
class checkin_progress {
  public:
    virtual ~checkin_progress() = default;
    // Runs `work` on a thread of its own and returns when it has ended; the
    // window keeps painting meanwhile, and its Cancel (once) calls `cancel`
    // on the window's thread.
    virtual void run(const std::function<void()>& work, const std::function<void()>& cancel) = 0;
    // Shows `state`; `name` is the file's name, `count` the run's files.
    // May be called from any thread: the window changes on its own.
    virtual void show(const progress_state& state, std::size_t count, const std::string& name) = 0;
    // The window, as owner of the messages shown over it.
    virtual gui::native_window window() = 0;
};

// What a presentation gives the program.
class checkin_windows {
  public:
    virtual ~checkin_windows() = default;
    // Shows the main dialog on `form` (with Browse over `repo`); true when it
    // was submitted.
    virtual bool ask_details(checkin_form& form, repository& repo) = 0;
    // Makes and shows the progress window.
    virtual std::unique_ptr<checkin_progress> show_progress() = 0;
};

class checkin_program {
  public:
    // Borrows both, which must outlive the program. `name` is the
    // program's file name without its extension: the single instance is a
    // mutex named after it.
    checkin_program(std::string name, gui::prompter& prompter, checkin_windows& windows);

    // The process's repository (open_repository) unless a test gives its own.
    void set_opener(gui::vault_opener open) { open_ = std::move(open); }

    // Runs the program on its arguments (checkin/command_line.h) and returns
    // its exit code: 0 when every file was checked in or the dialog was
    // cancelled, 1 otherwise.
    int run(const std::vector<std::string>& arguments);

  private:
    bool lock_and_check_in(repository& repo, const std::string& db_path, const checkin_form& form,
                           const std::vector<std::filesystem::path>& files);

    std::string name_;
    gui::prompter& prompter_;
    checkin_windows& windows_;
    gui::vault_opener open_;
};

}  // namespace tuv::checkin_app
