// The check-in of one local file as a new version of one vault file.
#include <vector>

#include "core/block_reader.h"
#include "core/chunk_pipeline.h"
#include "core/db.h"
#include "core/errors.h"
#include "core/file_entry.h"
#include "core/file_io.h"
#include "core/journal.h"
#include "core/progress_observer.h"
#include "core/repository.h"
#include "core/vault_path.h"
#include "core/write_transaction.h"

namespace tuv {
namespace {

struct journal_time {
    int year, month, day, hour, minute, second;
};

journal_time journal_time_of(const date& moment) {
    std::tm t{};
    moment.to_tm(t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// The vault path's names below the root, in order.
std::vector<std::string> split_below_root(const std::string& path, const std::string& separator) {
    std::vector<std::string> names;
    std::size_t start = path.starts_with(separator) ? separator.size() : 0;
    while (start <= path.size()) {
        const std::size_t cut = path.find(separator, start);
        const std::size_t end = cut == std::string::npos ? path.size() : cut;
        if (end > start) names.push_back(path.substr(start, end - start));
        if (cut == std::string::npos) break;
        start = cut + separator.size();
    }
    return names;
}

int percent(std::uint64_t done, std::uint64_t total) {
    // An empty file is done as soon as it starts.
    return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

}  // namespace

void repository::checkin_file(const std::filesystem::path& source, const std::string& directory,
                              const std::string& when, const std::string& mime_type,
                              const std::string& description) {
    const std::string& separator = path_separator_;
    const date moment(when);
    const journal_time at = journal_time_of(moment);
    const std::string name = source.filename().string();
    const std::string folder = directory.empty() ? separator : directory;
    const std::string vault_path = join_vault_path(folder, name, separator);
    check_entry_name(name, separator);

    // Open the source before anything is written: a file that vanished
    // leaves the vault untouched.
    std::unique_ptr<file_handle> input;
    try {
        input = files_->open(source, open_mode::read);
    } catch (const io_error&) {
        throw tuv_error("Couldn't open file: " + source.string());
    }
    const std::uint64_t total = input->size();

    // Until commit() every row below can be taken back, and it is on any
    // error: the caller never inherits an open transaction.
    write_transaction transaction(*database_);

    // Find the directories of the path, creating those that are missing.
    const std::unique_ptr<file_entry> root = resolve(separator);
    std::vector<std::int64_t> directories{root->file_id()};
    std::unique_ptr<file_entry> entry;
    bool created = false;
    const std::vector<std::string> names = split_below_root(vault_path, separator);
    std::string walked = separator;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool is_file = i + 1 == names.size();
        walked = join_vault_path(walked, names[i], separator);
        std::unique_ptr<file_entry> found;
        try {
            found = resolve(names[i], directories.back());
        } catch (const file_not_found_exception&) {
        }
        if (is_file) {
            if (found && found->is_directory()) {
                throw tuv_error("Cannot check in " + source.string() + ": " + walked +
                                " is a directory");
            }
            if (found) {
                entry = std::move(found);
                entry->modification_date() = moment;
                entry->modification_date().set_changed(true);
            } else {
                const std::int64_t id =
                    create_file(names[i], directories.back(), 0, moment, mime_type);
                entry = std::make_unique<file_entry>(*this);
                entry->load(id);
                created = true;
            }
        } else if (found) {
            if (!found->is_directory()) {
                throw tuv_error("Cannot check in " + source.string() + ": " + walked +
                                " is not a directory");
            }
            directories.push_back(found->file_id());
        } else {
            directories.push_back(create_directory(names[i], directories.back(), moment));
        }
    }

    // Every directory on the path changed, the root first, then the file.
    for (const std::int64_t id : directories) {
        journal_->insert_change(id, CHANGE_MODIFIED, at.year, at.month, at.day, at.hour, at.minute,
                                at.second, "", "");
    }
    journal_->insert_change(entry->file_id(), created ? CHANGE_CREATED : CHANGE_MODIFIED, at.year,
                            at.month, at.day, at.hour, at.minute, at.second, source.string(),
                            description);

    // The content, chunk by chunk, cut and hashed on a second thread.
    chunk_pipeline chunks(*input, chunks_);
    std::uint64_t offset = 0;
    while (const chunk_pipeline::chunk* c = chunks.next()) {
        entry->write(c->offset, c->bytes, c->checksum);
        offset = c->offset + c->bytes.size();
        if (observer_ != nullptr) observer_->update(percent(offset, total));
    }
    entry->block_reader().close_blocks_after(entry->file_id(), offset, moment.seconds());
    entry->flush();

    // Invariant: no committed row refers to container bytes that were not synced.
    entry->block_reader().sync_containers();
    transaction.commit();
}

}  // namespace tuv
