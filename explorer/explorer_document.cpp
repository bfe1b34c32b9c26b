#include "explorer/explorer_document.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/search.h"
#include "gui/cabinet_listing.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

namespace tuv::explorer {

using gui::prompt_answer;
using gui::prompt_buttons;
using gui::prompt_icon;

namespace {

constexpr std::size_t problem_lines_shown = 5;

// The check-in program's path, from the machine's part of the registry;
// nullopt when the key cannot be opened.
std::optional<std::string> checkin_program() {
    try {
        const CRegistry machine(platform::registry_root::local_machine, platform::quillmark_key);
        if (!machine.is_open()) return std::nullopt;
        std::string program;
        machine.query(platform::checkin_program_value, program);
        return program;
    } catch (const platform::registry_error&) {
        return std::nullopt;
    }
}

}  // namespace

std::vector<std::string> checkin_arguments(const std::string& location,
                                           const std::vector<std::string>& files) {
    std::vector<std::string> arguments{"--to", location, "--files"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    return arguments;
}

void tell_export_failures(gui::prompter& prompts, int failures, const std::string& destination,
                          const std::string& problems) {
    if (failures == 0) return;
    std::string text = "Export to " + destination + ": " + std::to_string(failures) +
                       " files or versions could not be written; ";
    if (problems.empty()) {
        text +=
            "the reasons are in " + utf8_of(path_from_utf8(destination) / export_log_name) + ".";
    } else {
        // The log itself could not be written there: say what it would hold.
        text += "why:";
        std::istringstream lines(problems);
        std::size_t shown = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.empty()) continue;
            if (shown++ == problem_lines_shown) {
                text += "\n...";
                break;
            }
            text += "\n" + line;
        }
    }
    prompts.message(nullptr, text, gui::caption_explorer, prompt_icon::exclamation);
}

version_mode export_mode(int choice) {
    switch (choice) {
        case 0:
            return version_mode::latest;
        case 1:
            return version_mode::oldest;
        case 2:
            return version_mode::all;
    }
    throw std::invalid_argument("no export version choice " + std::to_string(choice));
}

int run_export(explorer_document& document, const std::string& source,
               const std::string& destination, version_mode mode) {
    std::ostringstream progress;
    std::ostringstream problems;
    export_engine engine(*document.vault(), source, destination, mode, entry_filter::both, progress,
                         problems);
    document.presentation().run_in_background("Exporting to " + destination + " ...",
                                              [&engine] { engine.run(); });
    tell_export_failures(document.prompts(), engine.failures(), destination, problems.str());
    return engine.failures();
}

explorer_document::explorer_document(repository* repo, gui::prompter& prompts,
                                     document_presentation& presentation)
    : repo_(repo), prompts_(prompts), presentation_(presentation) {
    separator_ = repo_ != nullptr ? repo_->path_separator() : "\\";
    root_ = separator_;
    current_ = root_;
}

explorer_document::~explorer_document() = default;

std::string explorer_document::parent_of(const std::string& location) const {
    const std::size_t cut = location.rfind(separator_);
    return cut == std::string::npos || cut == 0 ? root_ : location.substr(0, cut);
}

std::string explorer_document::child_of(const std::string& folder, const std::string& name) const {
    return folder.ends_with(separator_) ? folder + name : folder + separator_ + name;
}

void explorer_document::go_to(const std::string& location) {
    search_mode_ = false;
    current_ = location;
    list_mode_ = location == root_ ? mode_top_level : mode_folder;
    reload_change_ranges();
    rebuild_history();
    update_views();
}

void explorer_document::reload_change_ranges() {
    if (repo_ == nullptr) return;
    const auto entry = repo_->catalogue().resolve(current_);
    change_ranges_.clear();
    repo_->journal().get_change_range(entry->file_id(), 0, 0, LEVEL_YEARS, change_type_,
                                      change_ranges_);
}

void explorer_document::rebuild_history() {
    history_.clear();
    // A file's versions show the file, not its folder's history: reading
    // the history of a folder of thousands would only slow the step down.
    if (repo_ == nullptr || (list_mode_ == mode_versions && !search_mode_)) return;
    repo_->catalogue().changes_under(current_, 0, 0, LEVEL_YEARS, change_type_, false, history_);
    if (slider_.use_time_filter) keep_within(history_, period_of(slider_));
}

void explorer_document::set_selected_range(double from, double to) {
    slider_.from = from;
    slider_.to = to;
    slider_.range_selected = true;
}

void explorer_document::set_time_span(std::time_t earliest, std::time_t latest) {
    slider_.earliest = earliest;
    slider_.latest = latest;
    slider_.times_set = true;
}

std::pair<std::time_t, std::time_t> explorer_document::vault_time_span() const {
    if (repo_ == nullptr) return {0, 0};
    return {repo_->first_version_date(-1).seconds(), repo_->last_version_date(-1).seconds()};
}

void explorer_document::run_search(const std::string& format,
                                   const std::vector<std::string>& arguments) {
    search_results_.clear();
    if (repo_ != nullptr) search(*repo_, search_results_, format, arguments);
}

void explorer_document::check_in() {
    const auto files =
        prompts_.open_files(nullptr, checkin_dialog_title, {}, {{"All Files (*.*)", "*"}});
    if (!files || files->empty()) return;
    start_checkin(*files);
}

void explorer_document::start_checkin(const std::vector<std::string>& files) {
    if (checkin_running_) return;  // one check-in at a time, as when the window is hidden
    presentation_.set_main_window_hidden(true);
    checkin_running_ = true;
    const std::optional<std::string> program = checkin_program();
    if (!program) {
        prompts_.message(nullptr, "Unable to open registry", gui::caption_explorer,
                         prompt_icon::error);
        checkin_ended();
        return;
    }
    if (!presentation_.launch_checkin(*program, checkin_arguments(current_, files))) {
        prompts_.message(nullptr, "Unable to create Quillmark_Checkin process",
                         gui::caption_explorer, prompt_icon::error);
        checkin_ended();
    }
}

void explorer_document::checkin_ended() {
    checkin_running_ = false;
    presentation_.set_main_window_hidden(false);
    refresh_ = true;
    presentation_.recount_repository_size();
    update_views();
}

void explorer_document::add_cabinet(const cabinet_name_asker& ask) {
    if (repo_ == nullptr) return;
    try {
        std::vector<std::string> existing;
        std::vector<std::unique_ptr<file_entry>> children;
        repo_->catalogue().list_directory(current_, children);
        for (const auto& child : children) {
            if (child->is_directory()) existing.push_back(child->name());
        }
        const std::int64_t parent = repo_->catalogue().resolve(current_)->file_id();
        for (;;) {
            const std::optional<std::string> name = ask();
            if (!name) return;
            const bool taken = std::any_of(
                existing.begin(), existing.end(),
                [&](const auto& other) { return gui::same_cabinet_name(other, *name); });
            if (taken) {
                if (prompts_.message(nullptr,
                                     "Cabinate already exists. Do you want to add another?",
                                     gui::caption_explorer, prompt_icon::error,
                                     prompt_buttons::yes_no) == prompt_answer::yes) {
                    continue;
                }
                return;
            }
            repo_->catalogue().create_directory(*name, parent, "now");
            break;
        }
    } catch (const std::exception&) {
        prompts_.message(nullptr, "Can not create cabinet", gui::caption_explorer,
                         prompt_icon::error);
        return;
    }
    refresh_ = true;
    update_views();
}

void explorer_document::export_vault(const export_chooser& choose) {
    if (repo_ == nullptr) return;
    const std::optional<export_choice> choice = choose();
    if (!choice) return;
    run_export(*this, root_, choice->destination, choice->mode);
}

void explorer_document::refresh() {
    // An open database outlives its folder's removal: without this the
    // window would go on showing a vault that is gone, as if all were well.
    std::error_code error;
    if (repo_ != nullptr && !std::filesystem::exists(repo_->folder(), error)) {
        prompts_.message(nullptr,
                         "The vault " + utf8_of(repo_->folder()) +
                             " is no longer there: it was moved or removed while the explorer "
                             "was open.\nThe window shows what it held; start the explorer "
                             "again once the vault is back or registered anew.",
                         gui::caption_explorer, prompt_icon::error);
        return;
    }
    refresh_ = true;
    presentation_.recount_repository_size();
    update_views();
}

void explorer_document::set_change_type(int type) {
    change_type_ = type;
    try {
        reload_change_ranges();
        rebuild_history();
    } catch (const tuv_error& error) {
        prompts_.message(nullptr, error.what() + std::string(change_type_hint),
                         gui::caption_explorer, prompt_icon::exclamation);
        current_ = root_;
        list_mode_ = mode_top_level;
        search_mode_ = false;
        try {
            reload_change_ranges();
            rebuild_history();
        } catch (const tuv_error&) {
            // Already said: the overview shows what the filter leaves.
            history_.clear();
        }
    }
    update_views();
}

}  // namespace tuv::explorer
