#include "checkin/checkin_program.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>

#include "checkin/checkin_batch.h"
#include "checkin/checkin_form.h"
#include "checkin/command_line.h"
#include "core/base/utf8_path.h"
#include "core/vault/repository.h"
#include "core/vault/writer_lock.h"
#include "gui/captions.h"
#include "platform/named_mutex.h"

using namespace std::chrono_literals;

namespace tuv::checkin_app {
namespace {

using gui::prompt_answer;
using gui::prompt_buttons;
using gui::prompt_icon;

constexpr auto instance_wait = 500ms;
constexpr auto writer_wait = 500ms;

std::string refused_text(const std::vector<std::string>& pieces) {
    std::string text =
        "Nothing was checked in: the command line names what is not the full path of an "
        "existing file:\n";
    for (const std::string& piece : pieces) text += piece + "\n";
    return text +
           "A path holding \"#\" or \",\" cannot be given joined with others; give each path "
           "as an argument of its own after --files.";
}

std::string second_instance_text(const command_line& line) {
    std::string text = "Another instance of the application is already running.";
    if (line.files.empty()) return text;
    text += "\nThese files were not checked in; check them in when it has finished:";
    // Named in the order given, the reverse of the order of checking in.
    for (auto file = line.files.rbegin(); file != line.files.rend(); ++file) {
        text += "\n" + utf8_of(*file);
    }
    return text;
}

// Whole seconds of the local time now: the pickers show no more.
checkin_form form_opened_now(const command_line& line, const std::string& separator) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return checkin_form(line, separator, {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                        {local.tm_hour, local.tm_min, local.tm_sec});
}

}  // namespace

std::string progress_caption(int percent) {
    return std::to_string(percent) + "% completed";
}

std::string progress_file_text(std::size_t number, std::size_t count, const std::string& name) {
    if (count == 1) return name;
    return "File " + std::to_string(number) + " of " + std::to_string(count) + ": " + name;
}

checkin_program::checkin_program(std::string name, gui::prompter& prompter,
                                 checkin_windows& windows)
    : name_(std::move(name)), prompter_(prompter), windows_(windows), open_(open_repository) {}

int checkin_program::run(const std::vector<std::string>& arguments) {
    std::optional<platform::named_mutex> instance;
    try {
        instance = platform::named_mutex::try_acquire(name_ + "MARROWGATE", instance_wait);
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), gui::caption_checkin, prompt_icon::error);
        return 1;
    }
    const command_line line = read_command_line(arguments);
    if (!instance) {
        // The files are not handed over: the running one has its own form,
        // date and description, which these may not share. Say which are left.
        prompter_.message(nullptr, second_instance_text(line), gui::caption_checkin,
                          prompt_icon::error);
        return 1;
    }

    std::string db_path;
    repository* repo = gui::open_registered_vault(prompter_, gui::caption_checkin, open_, db_path);
    if (repo == nullptr) return 1;

    if (line.files.empty() && line.refused.empty()) {
        prompter_.message(nullptr, gui::no_file_text, gui::caption_checkin, prompt_icon::error);
        return 1;
    }
    if (!line.refused.empty()) {
        // The line was cut inside a path: what is left may name other files.
        prompter_.message(nullptr, refused_text(line.refused), gui::caption_checkin,
                          prompt_icon::error);
        return 1;
    }
    checkin_form form = form_opened_now(line, repo->path_separator());
    if (!windows_.ask_details(form, *repo)) return 0;
    return lock_and_check_in(*repo, db_path, form, line.files) ? 0 : 1;
}

// Takes the vault's writer lock, asking again while another check-in holds
// it, then checks the files in. True when every one went in.
bool checkin_program::lock_and_check_in(repository& repo, const std::string& db_path,
                                        const checkin_form& form,
                                        const std::vector<std::filesystem::path>& files) {
    std::optional<writer_lock> writer;
    try {
        while (!(writer = try_lock_writer(db_path, writer_wait))) {
            const auto answer = prompter_.message(
                nullptr,
                "Another check-in of this vault is running.\nRetry when it has finished, or "
                "Cancel to check nothing in.",
                gui::caption_checkin, prompt_icon::exclamation, prompt_buttons::retry_cancel);
            if (answer != prompt_answer::retry) return false;
        }
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), gui::caption_checkin, prompt_icon::error);
        return false;
    }

    checkin_batch batch(repo, {files, form.directory(), form.date_text(), form.description()});
    const std::unique_ptr<checkin_progress> progress = windows_.show_progress();
    const auto show = [&progress, &files](const progress_state& state) {
        progress->show(state, files.size(), utf8_of(files[state.file].filename()));
    };
    const auto report = [&show](std::size_t file, int percent, bool waiting) {
        show({file, percent, waiting});
    };
    if (!files.empty()) show({});

    std::vector<file_outcome> outcomes;
    const auto run_batch = [&] {
        progress->run([&] { outcomes = batch.run(report); }, [&batch] { batch.cancel(); });
    };
    run_batch();
    while (gave_up_waiting(outcomes) && !batch.cancelled()) {
        // The files already in stay; a retry goes on from the one given up on.
        const auto left = std::find_if(outcomes.begin(), outcomes.end(),
                                       [](const file_outcome& outcome) { return outcome.busy; });
        show({static_cast<std::size_t>(left - outcomes.begin()), 0, false});
        if (prompter_.message(progress->window(),
                              "Another program is using the vault, and the check-in stopped "
                              "waiting for it.\nRetry when it has finished, or Cancel to check "
                              "nothing more in.",
                              gui::caption_checkin, prompt_icon::exclamation,
                              prompt_buttons::retry_cancel) != prompt_answer::retry) {
            break;
        }
        run_batch();
    }
    writer.reset();

    for (const file_outcome& outcome : outcomes) {
        // A wait given up on was told, with the offer to retry.
        if (outcome.database_error && !outcome.busy) {
            prompter_.message(progress->window(),
                              outcome.message + "\nPlease try checkin again in some time",
                              gui::caption_checkin, prompt_icon::error);
        }
    }
    // That box, or the offer to retry, said all there is to say about a
    // single file (unless a Cancel came first and nothing was offered).
    if (outcomes.size() == 1 && outcomes.front().database_error && !batch.cancelled()) return false;
    if (!needs_summary(outcomes)) return true;
    const bool failed = std::any_of(outcomes.begin(), outcomes.end(), [](const auto& outcome) {
        return outcome.status == file_status::failed;
    });
    prompter_.report(progress->window(), summary_heading(outcomes, batch.cancelled()),
                     summary_lines(outcomes), gui::caption_checkin,
                     failed ? prompt_icon::error : prompt_icon::information);
    return false;
}

}  // namespace tuv::checkin_app
