// The explorer's one document, without a toolkit: the state every pane
// shares (the vault, the current location, the list mode, the change-type
// filter, the slider's period, the refresh flag, the last search's results
// and the history of the current location) and the document's commands
// (check in, add cabinet, export, refresh, change type). It never draws: it
// changes its state and asks its presentation to update the views. The Qt
// and the Win32 explorers are presentations of it.
//
// Borrows the repository (the process's, which outlives the document; may be
// null when the vault could not be opened, and then every command does
// nothing), the prompter and the presentation, which must outlive it.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/vault/catalogue.h"
#include "explorer/history_period.h"
#include "export/export_engine.h"

namespace tuv {
class file_entry;
class repository;
}  // namespace tuv

namespace tuv::gui {
class prompter;
}

namespace tuv::explorer {

// What the list shows.
inline constexpr int mode_top_level = 101;
inline constexpr int mode_folder = 102;
inline constexpr int mode_versions = 103;

inline constexpr const char* checkin_dialog_title = "Quillmark: Select file for CheckIn";
inline constexpr const char* change_type_hint = "\nPlease use other Change Type.";

// What the export dialog returns: the destination folder and which versions.
struct export_choice {
    std::string destination;
    version_mode mode = version_mode::latest;
};
using export_chooser = std::function<std::optional<export_choice>()>;

// The export dialog's choice of versions (0 latest, 1 oldest, 2 all, the
// order of its buttons) as the export engine's mode; another number throws
// std::invalid_argument.
version_mode export_mode(int choice);

// Asks for a new cabinet's name; nullopt when the person cancels.
using cabinet_name_asker = std::function<std::optional<std::string>()>;

// What a presentation does for the document.
class document_presentation {
  public:
    virtual ~document_presentation() = default;

    // Every pane shows the document's state again.
    virtual void reload_views() = 0;
    // The status bar's repository size is to be counted again.
    virtual void recount_repository_size() = 0;
    // Hides the main window while the check-in program runs, or shows it.
    virtual void set_main_window_hidden(bool hidden) = 0;
    // Starts `program` with `arguments` without waiting; once it has ended
    // the presentation calls the document's checkin_ended(). False when it
    // could not start.
    virtual bool launch_checkin(const std::string& program,
                                const std::vector<std::string>& arguments) = 0;
    // Runs `work` on a worker thread while the windows keep drawing and
    // input waits (the vault is the worker's meanwhile); once it has run for
    // half a second, a busy indicator shows `busy_text`. What `work` throws
    // comes back on the calling thread.
    virtual void run_in_background(const std::string& busy_text,
                                   const std::function<void()>& work) = 0;
};

class explorer_document {
  public:
    explorer_document(repository* repo, gui::prompter& prompts,
                      document_presentation& presentation);
    virtual ~explorer_document();
    explorer_document(const explorer_document&) = delete;
    explorer_document& operator=(const explorer_document&) = delete;

    repository* vault() const { return repo_; }
    gui::prompter& prompts() const { return prompts_; }
    document_presentation& presentation() const { return presentation_; }
    // Has the presentation show the state again.
    void update_views() { presentation_.reload_views(); }

    // --- Locations (full vault paths) -----------------------------------
    const std::string& root_location() const { return root_; }
    const std::string& current_location() const { return current_; }
    void set_current_location(const std::string& location) { current_ = location; }
    // The parent folder of a location; the root stays the root.
    std::string parent_of(const std::string& location) const;
    // A child's location: `folder` and `name` joined by the separator.
    std::string child_of(const std::string& folder, const std::string& name) const;
    // The file whose versions the list shows in mode 103.
    const std::string& versions_file() const { return versions_file_; }
    void set_versions_file(const std::string& path) { versions_file_ = path; }

    int list_mode() const { return list_mode_; }
    void set_list_mode(int mode) { list_mode_ = mode; }

    // Makes `location` current as the tree does: search mode off, mode 101
    // for the root and 102 otherwise, change ranges and history reloaded,
    // views updated. Errors of the vault pass on.
    void go_to(const std::string& location);

    // --- Change ranges and history ---------------------------------------
    int change_type() const { return change_type_; }
    // Reloads the change ranges of the current location with the filter.
    // Throws the journal's errors (none matching is rec_not_found).
    void reload_change_ranges();
    const std::vector<std::tm>& change_ranges() const { return change_ranges_; }
    // The children of the current location that changed (changes_under with
    // the filter), kept to the slider's period when the time filter is on;
    // none while the list shows a file's versions.
    void rebuild_history();
    const std::vector<change_entry>& history() const { return history_; }

    // --- Slider ------------------------------------------------------------
    const slider_state& slider() const { return slider_; }
    void set_use_time_filter(bool on) { slider_.use_time_filter = on; }
    void set_zoom_level(int level) { slider_.zoom_level = level; }
    void set_selected_range(double from, double to);
    void set_time_span(std::time_t earliest, std::time_t latest);
    // The first and last block creation moments of the whole vault.
    std::pair<std::time_t, std::time_t> vault_time_span() const;

    // --- Refresh, search -------------------------------------------------
    bool refresh_flag() const { return refresh_; }
    void set_refresh_flag(bool on) { refresh_ = on; }
    // Replaces the last results with the files the search matches.
    void run_search(const std::string& format, const std::vector<std::string>& arguments);
    std::vector<std::unique_ptr<file_entry>>& search_results() { return search_results_; }
    bool search_mode() const { return search_mode_; }
    void set_search_mode(bool on) { search_mode_ = on; }

    // --- Commands ----------------------------------------------------------
    // Ctrl+N: asks for files and runs the check-in program on them.
    void check_in();
    // Starts the check-in program on local files, each path an argument of
    // its own, and the current location ("--to DIR --files PATH..."). Hides
    // the main window first and shows it again once the program has ended
    // (checkin_ended) or could not start; never waits.
    void start_checkin(const std::vector<std::string>& files);
    bool checkin_running() const { return checkin_running_; }
    // The presentation's word that the check-in program has ended.
    void checkin_ended();

    // Ctrl+W: a new cabinet under the current location, named by `ask`.
    void add_cabinet(const cabinet_name_asker& ask);
    // Writes the whole vault below the chosen folder.
    void export_vault(const export_chooser& choose);
    // F5.
    void refresh();
    // 0 (all), CHANGE_CREATED or CHANGE_MODIFIED. On a journal error says so
    // and goes back to the overview of the root.
    void set_change_type(int type);

  private:
    repository* repo_;
    gui::prompter& prompts_;
    document_presentation& presentation_;
    std::string separator_;
    std::string root_;
    std::string current_;
    std::string versions_file_;
    int list_mode_ = mode_top_level;
    int change_type_ = 0;
    slider_state slider_;
    bool refresh_ = false;
    bool search_mode_ = false;
    bool checkin_running_ = false;
    std::vector<std::tm> change_ranges_;
    std::vector<change_entry> history_;
    std::vector<std::unique_ptr<file_entry>> search_results_;
};

// The arguments the check-in program gets for `files` and the vault folder
// `location`: "--to", the location, "--files" and each path whole, whatever
// "#" or "," it holds.
std::vector<std::string> checkin_arguments(const std::string& location,
                                           const std::vector<std::string>& files);

// Tells the person that an export into `destination` did not write
// everything: how many failures, where their log is, and the lines the log
// could not take (`problems`, e.g. when the folder cannot be written).
// Says nothing when there were none.
void tell_export_failures(gui::prompter& prompts, int failures, const std::string& destination,
                          const std::string& problems);

// Exports `source` (a vault path) to `destination` in the background
// (document_presentation::run_in_background) and tells the person what
// could not be written. Returns the number of failures. Exceptions that the
// engine lets through (memory) pass on.
int run_export(explorer_document& document, const std::string& source,
               const std::string& destination, version_mode mode);

}  // namespace tuv::explorer
