// The explorer's one document: the state every pane shares (the vault, the
// current location, the list mode, the change-type filter, the slider's
// period, the refresh flag, the last search's results and the history of the
// current location) and the document's commands (check in, add cabinet,
// export, refresh, change type). It never draws: it changes its state and
// emits views_changed() for the panes to reload.
//
// Borrows the repository (the process's, which outlives the document; may be
// null when the vault could not be opened, and then every command does
// nothing) and the prompter, which must outlive the document.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/vault/catalogue.h"
#include "explorer/history_period.h"
#include "export/export_engine.h"
#include "gui/cabinet_model.h"

class QProcess;

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
    QString destination;
    version_mode mode = version_mode::latest;
};
using export_chooser = std::function<std::optional<export_choice>()>;

// Tells the person that an export into `destination` did not write
// everything: how many failures, where their log is, and the lines the log
// could not take (`problems`, e.g. when the folder cannot be written).
// Says nothing when there were none.
void tell_export_failures(gui::prompter& prompts, int failures, const QString& destination,
                          const std::string& problems);

// Opens the vault the current user's registry names (db_path), once per
// process. A failure shows support_error_text (error icon) and gives null.
repository* open_explorer_vault(gui::prompter& prompts);

}  // namespace tuv::explorer

class CVellum_ExplorerDoc : public QObject {
    Q_OBJECT
  public:
    CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts,
                        QObject* parent = nullptr);
    ~CVellum_ExplorerDoc() override;

    tuv::repository* repository() const { return repo_; }
    tuv::gui::prompter& prompts() const { return prompts_; }

    // --- Locations (full vault paths) -----------------------------------
    const QString& root_location() const { return root_; }
    QString current_location() const { return current_; }
    void set_current_location(const QString& location) { current_ = location; }
    // The parent folder of a location; the root stays the root.
    QString parent_of(const QString& location) const;
    // A child's location: `folder` and `name` joined by the separator.
    QString child_of(const QString& folder, const QString& name) const;
    // The file whose versions the list shows in mode 103.
    const QString& versions_file() const { return versions_file_; }
    void set_versions_file(const QString& path) { versions_file_ = path; }

    int list_mode() const { return list_mode_; }
    void set_list_mode(int mode) { list_mode_ = mode; }

    // Makes `location` current as the tree does: search mode off, mode 101
    // for the root and 102 otherwise, change ranges and history reloaded,
    // views updated. Errors of the vault pass on.
    void go_to(const QString& location);

    // --- Change ranges and history ---------------------------------------
    int change_type() const { return change_type_; }
    // Reloads the change ranges of the current location with the filter.
    // Throws the journal's errors (none matching is rec_not_found).
    void reload_change_ranges();
    const std::vector<std::tm>& change_ranges() const { return change_ranges_; }
    // The children of the current location that changed (changes_under with
    // the filter), kept to the slider's period when the time filter is on.
    void rebuild_history();
    const std::vector<tuv::change_entry>& history() const { return history_; }

    // --- Slider ------------------------------------------------------------
    const tuv::explorer::slider_state& slider() const { return slider_; }
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
    std::vector<std::unique_ptr<tuv::file_entry>>& search_results() { return search_results_; }
    bool search_mode() const { return search_mode_; }
    void set_search_mode(bool on) { search_mode_ = on; }

    // --- Commands ----------------------------------------------------------
    // Ctrl+N: asks for files and runs the check-in program on them.
    void check_in();
    // Starts the check-in program on local files, each path an argument of
    // its own, and the current location ("--to DIR --files PATH..."). Emits
    // hide_main_window() first and show_main_window() once the program has
    // ended or could not start; never waits.
    void start_checkin(const QStringList& files);
    bool checkin_running() const;

    // Ctrl+W: a new cabinet under the current location, named by `ask`.
    void add_cabinet(const tuv::gui::name_asker& ask);
    // Writes the whole vault below the chosen folder.
    void export_vault(const tuv::explorer::export_chooser& choose);
    // F5.
    void refresh();
    // 0 (all), CHANGE_CREATED or CHANGE_MODIFIED. On a journal error says so
    // and goes back to the overview of the root.
    void set_change_type(int type);

  signals:
    void views_changed();
    // The status bar's repository size is to be counted again.
    void repository_size_requested();
    void hide_main_window();
    void show_main_window();

  private:
    void checkin_ended();

    tuv::repository* repo_;
    tuv::gui::prompter& prompts_;
    QString separator_;
    QString root_;
    QString current_;
    QString versions_file_;
    int list_mode_ = tuv::explorer::mode_top_level;
    int change_type_ = 0;
    tuv::explorer::slider_state slider_;
    bool refresh_ = false;
    bool search_mode_ = false;
    std::vector<std::tm> change_ranges_;
    std::vector<tuv::change_entry> history_;
    std::vector<std::unique_ptr<tuv::file_entry>> search_results_;
    QProcess* checkin_ = nullptr;
};
