#include "explorer/hview_model.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/read_snapshot.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "gui/prompter.h"
#include "gui/version_rows.h"
#include "gui/version_text.h"

namespace tuv::explorer {
namespace {

const QStringList entry_columns{"Name", "No. Of Versions", "1st Checkin Date", "Last Checkin Date"};
const QStringList version_columns{"TimeStamp", "Description"};

QString text_of(const std::tm& moment) {
    return QString::fromStdString(gui::version_list_text(moment));
}

list_row file_row(const QString& name, const QString& path, const version_span& span) {
    return {row_file, name, path, span.count, text_of(span.first), text_of(span.last), {}};
}

std::string_view last_name(const std::string& path, const std::string& separator) {
    return std::string_view(path).substr(path.rfind(separator) + separator.size());
}

}  // namespace

hview_model::hview_model(CVellum_ExplorerDoc& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document) {
    connect(&document_, &CVellum_ExplorerDoc::views_changed, this, [this] {
        try {
            reload();
        } catch (const tuv_error& error) {
            document_.prompts().message(nullptr, error.what(), caption_error,
                                        gui::prompt_icon::exclamation);
        }
    });
}

std::vector<list_row> hview_model::read_rows() const {
    std::vector<list_row> rows{{row_up, "..", {}, 0, {}, {}, {}}};
    repository* repo = document_.repository();
    if (repo == nullptr) return rows;
    const std::string& separator = repo->path_separator();

    if (document_.search_mode()) return rows;  // read as they are shown
    if (document_.list_mode() == mode_versions) {
        const QString path = document_.versions_file();
        const auto file = repo->catalogue().resolve(path.toStdString());
        // Newest first.
        const std::vector<gui::version_row> versions = gui::versions_of(*repo, file->file_id());
        for (auto version = versions.rbegin(); version != versions.rend(); ++version) {
            const QString text = QString::fromStdString(version->moment);
            const QString description = QString::fromStdString(version->description);
            rows.push_back({row_version, text, path, 0, {}, text, description});
        }
        return rows;
    }
    const auto folder = repo->catalogue().resolve(document_.current_location().toStdString());
    const auto spans = file_versions_in(*repo, folder->file_id());
    rows.reserve(rows.size() + document_.history().size());
    for (const change_entry& entry : document_.history()) {
        const std::string_view name = last_name(entry.full_path, separator);
        const auto text = [&] { return QString::fromUtf8(name.data(), qsizetype(name.size())); };
        const QString path = QString::fromStdString(entry.full_path);
        if (entry.mime_type == directory_mime_type) {
            rows.push_back({row_folder, text(), path, 0, {}, {}, {}});
            continue;
        }
        const auto span = spans.find(std::string(name));
        if (span != spans.end()) rows.push_back(file_row(text(), path, span->second));
    }
    return rows;
}

void hview_model::reload() {
    std::vector<list_row> rows;
    std::exception_ptr failure;
    try {
        rows = read_rows();
    } catch (const tuv_error&) {
        rows = {{row_up, "..", {}, 0, {}, {}, {}}};
        failure = std::current_exception();
    }
    beginResetModel();
    rows_ = std::move(rows);
    searching_ = document_.search_mode() && !failure;
    search_paths_.reset();
    if (searching_ && document_.repository() != nullptr) {
        search_paths_ = std::make_unique<entry_paths>(document_.repository()->path_separator());
    }
    shown_ = 0;
    versions_columns_ = !document_.search_mode() && document_.list_mode() == mode_versions;
    if (!failure) {
        try {
            read_search_rows(list_page_rows);
        } catch (const tuv_error&) {
            failure = std::current_exception();
        }
    }
    shown_ = std::min(rows_.size(), std::size_t{list_page_rows});
    endResetModel();
    if (failure) std::rethrow_exception(failure);
}

std::size_t hview_model::rows_available() const {
    if (!searching_ || search_paths_ == nullptr) return rows_.size();
    // The ".." row, then one per result.
    return 1 + document_.search_results().size();
}

void hview_model::read_search_rows(std::size_t count) {
    if (!searching_ || search_paths_ == nullptr) return;
    repository& repo = *document_.repository();
    const auto& results = document_.search_results();
    count = std::min(count, rows_available());
    // One snapshot for the page: the paths and versions agree, and the
    // queries share one lock instead of taking it each.
    const read_snapshot snapshot(repo.database());
    while (rows_.size() < count) {
        file_entry& entry = *results[rows_.size() - 1];
        const QString path = QString::fromStdString(search_paths_->of(entry));
        rows_.push_back(file_row(path, path, versions_of(repo, entry.file_id())));
    }
}

void hview_model::leads_to(const list_row& row) {
    CVellum_ExplorerDoc& doc = document_;
    if (doc.search_mode()) {
        doc.set_search_mode(false);
        if (row.kind == row_file) {
            doc.set_current_location(doc.parent_of(row.vault_path));
            doc.set_versions_file(row.vault_path);
            doc.set_list_mode(mode_versions);
        }
    } else if (row.kind == row_up) {
        // From the versions of a file back to its folder; else one folder up.
        if (doc.list_mode() != mode_versions) {
            doc.set_current_location(doc.parent_of(doc.current_location()));
        }
        doc.set_list_mode(doc.current_location() == doc.root_location() ? mode_top_level
                                                                        : mode_folder);
    } else if (row.kind == row_folder) {
        doc.set_current_location(row.vault_path);
        doc.set_list_mode(mode_folder);
    } else {
        doc.set_versions_file(row.vault_path);
        doc.set_list_mode(mode_versions);
    }
    doc.reload_change_ranges();
    doc.rebuild_history();
}

void hview_model::navigate(int row) {
    if (row < 0 || row >= rowCount()) return;
    const list_row target = row_at(row);
    CVellum_ExplorerDoc& doc = document_;
    if (target.kind == row_version) return;
    if (target.kind == row_up && !doc.search_mode() && doc.list_mode() == mode_top_level) return;

    const QString location = doc.current_location();
    const QString file = doc.versions_file();
    const int mode = doc.list_mode();
    const bool searching = doc.search_mode();
    try {
        leads_to(target);
    } catch (const tuv_error& error) {
        // The list stays where it was before the failing step.
        doc.set_current_location(location);
        doc.set_versions_file(file);
        doc.set_list_mode(mode);
        doc.set_search_mode(searching);
        doc.prompts().message(nullptr, error.what(), caption_error, gui::prompt_icon::exclamation);
    }
    emit doc.views_changed();
}

const list_row& hview_model::row_at(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_) {
        throw std::out_of_range("hview_model::row_at: row " + std::to_string(row));
    }
    return rows_[static_cast<std::size_t>(row)];
}

int hview_model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_);
}

bool hview_model::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && shown_ < rows_available();
}

void hview_model::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    try {
        read_search_rows(shown_ + list_page_rows);
    } catch (const tuv_error& error) {
        // What was read is shown; the rest of the results are let go.
        searching_ = false;
        document_.prompts().message(nullptr, error.what(), caption_error,
                                    gui::prompt_icon::exclamation);
    }
    if (shown_ >= rows_.size()) return;
    const std::size_t more = std::min(rows_.size() - shown_, std::size_t{list_page_rows});
    beginInsertRows({}, static_cast<int>(shown_), static_cast<int>(shown_ + more - 1));
    shown_ += more;
    endInsertRows();
}

int hview_model::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(versions_columns_ ? version_columns.size() : entry_columns.size());
}

QVariant hview_model::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const list_row& row = row_at(index.row());
    if (role == row_kind_role) return row.kind;
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    if (versions_columns_) {
        if (row.kind != row_version) return index.column() == 0 ? row.name : QString();
        return index.column() == 0 ? row.last_time : row.description;
    }
    switch (index.column()) {
        case 0:
            return row.name;
        case 1:
            return row.kind == row_file ? QString::number(row.versions) : QString();
        case 2:
            return row.first_time;
        case 3:
            return row.last_time;
        default:
            return {};
    }
}

QVariant hview_model::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const QStringList& titles = versions_columns_ ? version_columns : entry_columns;
    return section >= 0 && section < titles.size() ? QVariant(titles.at(section)) : QVariant();
}

}  // namespace tuv::explorer
