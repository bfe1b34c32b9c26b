#include "explorer/list_rows.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "core/base/errors.h"
#include "core/db/read_snapshot.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "explorer/explorer_document.h"
#include "gui/prompter.h"
#include "gui/version_rows.h"
#include "gui/version_text.h"

namespace tuv::explorer {
namespace {

const std::vector<std::string> entry_columns{"Name", "No. Of Versions", "1st Checkin Date",
                                             "Last Checkin Date"};
const std::vector<std::string> version_columns{"TimeStamp", "Description"};

list_row up_row() {
    return {row_up, "..", {}, 0, {}, {}, {}};
}

list_row file_row(const std::string& name, const std::string& path, const version_span& span) {
    return {row_file,
            name,
            path,
            span.count,
            gui::version_list_text(span.first),
            gui::version_list_text(span.last),
            {}};
}

std::string_view last_name(const std::string& path, const std::string& separator) {
    return std::string_view(path).substr(path.rfind(separator) + separator.size());
}

}  // namespace

list_rows::list_rows(explorer_document& document) : document_(document) {}

list_rows::~list_rows() = default;

std::vector<list_row> list_rows::read_rows() {
    std::vector<list_row> rows{up_row()};
    source_ = source::read;
    repository* repo = document_.vault();
    if (repo == nullptr) return rows;
    if (document_.search_mode()) {
        source_ = source::search;
        search_paths_ = std::make_unique<entry_paths>(repo->path_separator());
        return rows;
    }
    if (document_.list_mode() == mode_versions) {
        const std::string& path = document_.versions_file();
        const auto file = repo->catalogue().resolve(path);
        // Newest first.
        const std::vector<gui::version_row> versions = gui::versions_of(*repo, file->file_id());
        for (auto version = versions.rbegin(); version != versions.rend(); ++version) {
            rows.push_back(
                {row_version, version->moment, path, 0, {}, version->moment, version->description});
        }
        return rows;
    }
    folder_id_ = repo->catalogue().resolve(document_.current_location())->file_id();
    next_entry_ = 0;
    source_ = source::folder;
    return rows;
}

void list_rows::reload() {
    std::exception_ptr failure;
    search_paths_.reset();
    shown_ = 0;
    try {
        rows_ = read_rows();
        read_more(list_page_rows);
    } catch (const tuv_error&) {
        rows_ = {up_row()};
        source_ = source::read;
        failure = std::current_exception();
    }
    versions_columns_ = !document_.search_mode() && document_.list_mode() == mode_versions;
    shown_ = std::min(rows_.size(), list_page_rows);
    if (failure) std::rethrow_exception(failure);
}

bool list_rows::has_more() const {
    if (shown_ < rows_.size()) return true;
    switch (source_) {
        case source::folder:
            return next_entry_ < document_.history().size();
        case source::search:
            return rows_.size() < 1 + document_.search_results().size();
        default:
            return false;
    }
}

void list_rows::read_more(std::size_t count) {
    if (source_ == source::folder) read_folder_rows(count);
    if (source_ == source::search) read_search_rows(count);
}

void list_rows::read_folder_rows(std::size_t count) {
    repository& repo = *document_.vault();
    const std::string& separator = repo.path_separator();
    const std::vector<change_entry>& history = document_.history();
    // One snapshot for the page: the names and versions agree.
    const read_snapshot snapshot(repo.database());
    while (rows_.size() < count && next_entry_ < history.size()) {
        const std::size_t end = std::min(history.size(), next_entry_ + (count - rows_.size()));
        std::vector<std::string> files;
        for (std::size_t entry = next_entry_; entry < end; ++entry) {
            if (history[entry].mime_type != directory_mime_type) {
                files.emplace_back(last_name(history[entry].full_path, separator));
            }
        }
        const auto spans = file_versions_in(repo, folder_id_, files);
        for (; next_entry_ < end; ++next_entry_) {
            const change_entry& entry = history[next_entry_];
            const std::string name(last_name(entry.full_path, separator));
            if (entry.mime_type == directory_mime_type) {
                rows_.push_back({row_folder, name, entry.full_path, 0, {}, {}, {}});
                continue;
            }
            // A file removed since the history was read has no versions.
            const auto span = spans.find(name);
            if (span != spans.end()) rows_.push_back(file_row(name, entry.full_path, span->second));
        }
    }
}

void list_rows::read_search_rows(std::size_t count) {
    repository& repo = *document_.vault();
    const auto& results = document_.search_results();
    count = std::min(count, 1 + results.size());
    // One snapshot for the page: the paths and versions agree, and the
    // queries share one lock instead of taking it each.
    const read_snapshot snapshot(repo.database());
    while (rows_.size() < count) {
        file_entry& entry = *results[rows_.size() - 1];
        const std::string path = search_paths_->of(entry);
        rows_.push_back(file_row(path, path, versions_of(repo, entry.file_id())));
    }
}

std::size_t list_rows::read_next_page() {
    if (!has_more()) return 0;
    try {
        read_more(shown_ + list_page_rows);
    } catch (const tuv_error& error) {
        // What was read is shown; the rest is let go.
        source_ = source::read;
        document_.prompts().message(nullptr, error.what(), caption_error,
                                    gui::prompt_icon::exclamation);
    }
    return std::min(rows_.size() - shown_, list_page_rows);
}

void list_rows::show_next(std::size_t count) {
    shown_ = std::min(rows_.size(), shown_ + count);
}

const list_row& list_rows::row_at(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_) {
        throw std::out_of_range("list_rows::row_at: row " + std::to_string(row));
    }
    return rows_[static_cast<std::size_t>(row)];
}

const std::vector<std::string>& list_rows::column_titles() const {
    return versions_columns_ ? version_columns : entry_columns;
}

std::string list_rows::cell_text(int row, int column) const {
    const list_row& at = row_at(row);
    if (versions_columns_) {
        if (at.kind != row_version) return column == 0 ? at.name : std::string();
        return column == 0 ? at.last_time : at.description;
    }
    switch (column) {
        case 0:
            return at.name;
        case 1:
            return at.kind == row_file ? std::to_string(at.versions) : std::string();
        case 2:
            return at.first_time;
        case 3:
            return at.last_time;
        default:
            return {};
    }
}

void list_rows::leads_to(const list_row& row) {
    explorer_document& doc = document_;
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

void list_rows::navigate(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_) return;
    const list_row target = row_at(row);
    explorer_document& doc = document_;
    if (target.kind == row_version) return;
    if (target.kind == row_up && !doc.search_mode() && doc.list_mode() == mode_top_level) return;

    const std::string location = doc.current_location();
    const std::string file = doc.versions_file();
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
    doc.update_views();
}

}  // namespace tuv::explorer
