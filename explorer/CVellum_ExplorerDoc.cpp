#include "explorer/CVellum_ExplorerDoc.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <filesystem>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/search.h"
#include "explorer/export_runner.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

using tuv::gui::prompt_answer;
using tuv::gui::prompt_buttons;
using tuv::gui::prompt_icon;

namespace tuv::explorer {

void tell_export_failures(gui::prompter& prompts, int failures, const QString& destination,
                          const std::string& problems) {
    if (failures == 0) return;
    QString text = QString("Export to %1: %2 files or versions could not be written; ")
                       .arg(destination)
                       .arg(failures);
    if (problems.empty()) {
        text += QString("the reasons are in %1.").arg(QDir(destination).filePath(export_log_name));
    } else {
        // The log itself could not be written there: say what it would hold.
        QStringList lines = QString::fromStdString(problems).split('\n', Qt::SkipEmptyParts);
        if (lines.size() > 5) lines = lines.mid(0, 5) << "...";
        text += "why:\n" + lines.join('\n');
    }
    prompts.message(nullptr, text.toStdString(), gui::caption_explorer, prompt_icon::exclamation);
}

repository* open_explorer_vault(gui::prompter& prompts) {
    try {
        return open_repository(platform::read_db_path().value_or(std::string()));
    } catch (const std::runtime_error&) {
        prompts.message(nullptr, gui::support_error_text, gui::caption_explorer,
                        prompt_icon::error);
        return nullptr;
    }
}

}  // namespace tuv::explorer

using namespace tuv::explorer;

CVellum_ExplorerDoc::CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts,
                                         QObject* parent)
    : QObject(parent), repo_(repo), prompts_(prompts) {
    separator_ = repo_ != nullptr ? QString::fromStdString(repo_->path_separator()) : "\\";
    root_ = separator_;
    current_ = root_;
}

CVellum_ExplorerDoc::~CVellum_ExplorerDoc() {
    // A running check-in program goes on without us; only our watch ends.
    if (checkin_ != nullptr) checkin_->disconnect(this);
}

QString CVellum_ExplorerDoc::parent_of(const QString& location) const {
    const qsizetype cut = location.lastIndexOf(separator_);
    return cut <= 0 ? root_ : location.left(cut);
}

QString CVellum_ExplorerDoc::child_of(const QString& folder, const QString& name) const {
    return folder.endsWith(separator_) ? folder + name : folder + separator_ + name;
}

void CVellum_ExplorerDoc::go_to(const QString& location) {
    search_mode_ = false;
    current_ = location;
    list_mode_ = location == root_ ? mode_top_level : mode_folder;
    reload_change_ranges();
    rebuild_history();
    emit views_changed();
}

void CVellum_ExplorerDoc::reload_change_ranges() {
    if (repo_ == nullptr) return;
    const auto entry = repo_->catalogue().resolve(current_.toStdString());
    change_ranges_.clear();
    repo_->journal().get_change_range(entry->file_id(), 0, 0, tuv::LEVEL_YEARS, change_type_,
                                      change_ranges_);
}

void CVellum_ExplorerDoc::rebuild_history() {
    history_.clear();
    if (repo_ == nullptr) return;
    repo_->catalogue().changes_under(current_.toStdString(), 0, 0, tuv::LEVEL_YEARS, change_type_,
                                     false, history_);
    if (slider_.use_time_filter) keep_within(history_, period_of(slider_));
}

void CVellum_ExplorerDoc::set_selected_range(double from, double to) {
    slider_.from = from;
    slider_.to = to;
    slider_.range_selected = true;
}

void CVellum_ExplorerDoc::set_time_span(std::time_t earliest, std::time_t latest) {
    slider_.earliest = earliest;
    slider_.latest = latest;
    slider_.times_set = true;
}

std::pair<std::time_t, std::time_t> CVellum_ExplorerDoc::vault_time_span() const {
    if (repo_ == nullptr) return {0, 0};
    return {repo_->first_version_date(-1).seconds(), repo_->last_version_date(-1).seconds()};
}

void CVellum_ExplorerDoc::run_search(const std::string& format,
                                     const std::vector<std::string>& arguments) {
    search_results_.clear();
    if (repo_ != nullptr) tuv::search(*repo_, search_results_, format, arguments);
}

void CVellum_ExplorerDoc::check_in() {
    const auto files =
        prompts_.open_files(nullptr, checkin_dialog_title, {}, {{"All Files (*.*)", "*"}});
    if (!files || files->empty()) return;
    QStringList chosen;
    for (const std::string& file : *files) chosen << QString::fromStdString(file);
    start_checkin(chosen);
}

bool CVellum_ExplorerDoc::checkin_running() const {
    return checkin_ != nullptr;
}

void CVellum_ExplorerDoc::start_checkin(const QStringList& files) {
    if (checkin_ != nullptr) return;  // one check-in at a time, as when the window is hidden
    emit hide_main_window();
    std::string program;
    try {
        const CRegistry machine(platform::registry_root::local_machine, platform::quillmark_key);
        if (!machine.is_open()) {
            prompts_.message(nullptr, "Unable to open registry", tuv::gui::caption_explorer,
                             prompt_icon::error);
            checkin_ended();
            return;
        }
        machine.query(platform::checkin_program_value, program);
    } catch (const platform::registry_error&) {
        prompts_.message(nullptr, "Unable to open registry", tuv::gui::caption_explorer,
                         prompt_icon::error);
        checkin_ended();
        return;
    }
    checkin_ = new QProcess(this);
    connect(checkin_, &QProcess::finished, this, [this] { checkin_ended(); });
    connect(checkin_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // the others end in finished()
        prompts_.message(nullptr, "Unable to create Quillmark_Checkin process",
                         tuv::gui::caption_explorer, prompt_icon::error);
        checkin_ended();
    });
    // Every path whole, whatever "#" or "," it holds; so is the location.
    checkin_->start(QString::fromStdString(program), QStringList{"--to", current_, "--files"} + files);
}

void CVellum_ExplorerDoc::checkin_ended() {
    if (checkin_ != nullptr) {
        checkin_->deleteLater();
        checkin_ = nullptr;
    }
    emit show_main_window();
    refresh_ = true;
    emit repository_size_requested();
    emit views_changed();
}

void CVellum_ExplorerDoc::add_cabinet(const tuv::gui::name_asker& ask) {
    if (repo_ == nullptr) return;
    try {
        QStringList existing;
        std::vector<std::unique_ptr<tuv::file_entry>> children;
        repo_->catalogue().list_directory(current_.toStdString(), children);
        for (const auto& child : children) {
            if (child->is_directory()) existing << QString::fromStdString(child->name());
        }
        const std::int64_t parent = repo_->catalogue().resolve(current_.toStdString())->file_id();
        for (;;) {
            const std::optional<QString> name = ask();
            if (!name) return;
            if (existing.contains(*name, Qt::CaseInsensitive)) {
                if (prompts_.message(nullptr,
                                     "Cabinate already exists. Do you want to add another?",
                                     tuv::gui::caption_explorer, prompt_icon::error,
                                     prompt_buttons::yes_no) == prompt_answer::yes) {
                    continue;
                }
                return;
            }
            repo_->catalogue().create_directory(name->toStdString(), parent, "now");
            break;
        }
    } catch (const std::exception&) {
        prompts_.message(nullptr, "Can not create cabinet", tuv::gui::caption_explorer,
                         prompt_icon::error);
        return;
    }
    refresh_ = true;
    emit views_changed();
}

void CVellum_ExplorerDoc::export_vault(const export_chooser& choose) {
    if (repo_ == nullptr) return;
    const std::optional<export_choice> choice = choose();
    if (!choice) return;
    run_export(*repo_, root_.toStdString(), choice->destination, choice->mode, prompts_);
}

void CVellum_ExplorerDoc::refresh() {
    // An open database outlives its folder's removal: without this the
    // window would go on showing a vault that is gone, as if all were well.
    std::error_code error;
    if (repo_ != nullptr && !std::filesystem::exists(repo_->folder(), error)) {
        prompts_.message(nullptr,
                         "The vault " + repo_->folder().string() +
                             " is no longer there: it was moved or removed while the explorer "
                             "was open.\nThe window shows what it held; start the explorer "
                             "again once the vault is back or registered anew.",
                         tuv::gui::caption_explorer, prompt_icon::error);
        return;
    }
    refresh_ = true;
    emit repository_size_requested();
    emit views_changed();
}

void CVellum_ExplorerDoc::set_change_type(int type) {
    change_type_ = type;
    try {
        reload_change_ranges();
        rebuild_history();
    } catch (const tuv::tuv_error& error) {
        prompts_.message(nullptr, error.what() + std::string(change_type_hint),
                         tuv::gui::caption_explorer, prompt_icon::exclamation);
        current_ = root_;
        list_mode_ = mode_top_level;
        search_mode_ = false;
        try {
            reload_change_ranges();
            rebuild_history();
        } catch (const tuv::tuv_error&) {
            // Already said: the overview shows what the filter leaves.
            history_.clear();
        }
    }
    emit views_changed();
}
