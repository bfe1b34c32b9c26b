// The check-in of one local file as a new version of one vault file.
#include "core/vault/checkin.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "core/base/errors.h"
#include "core/base/vault_path.h"
#include "core/db/db.h"
#include "core/storage/block_writer.h"
#include "core/storage/chunk_pipeline.h"
#include "core/storage/file_io.h"
#include "core/vault/checkin_group.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// The source path the journal keeps: absolute, so that the file can be
// looked up by its full path later whatever folder the check-in ran in.
std::string recorded_source(const std::filesystem::path& source) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    return (error ? source : absolute.lexically_normal()).string();
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

// The moment of the file's latest version: its modification time, which
// every check-in sets, or a later journal row where an older build dated a
// version back.
std::time_t latest_version(db& database, const file_entry& file) {
    std::time_t latest = file.modification_date().seconds();
    auto row = database.query(
        "SELECT year, month, day, hour, minute, second FROM journal WHERE inode = ?"
        " ORDER BY year DESC, month DESC, day DESC, hour DESC, minute DESC, second DESC LIMIT 1",
        {file.file_id()});
    if (row->next()) {
        std::tm t{};
        t.tm_year = row->get_int(0) - 1900;
        t.tm_mon = row->get_int(1) - 1;
        t.tm_mday = row->get_int(2);
        t.tm_hour = row->get_int(3);
        t.tm_min = row->get_int(4);
        t.tm_sec = row->get_int(5);
        t.tm_isdst = -1;
        latest = std::max(latest, std::mktime(&t));
    }
    return latest;
}

int percent(std::uint64_t done, std::uint64_t total) {
    // An empty file is done as soon as it starts.
    // A file that grew while it was read stays at 100.
    return total == 0 || done >= total ? 100 : static_cast<int>(done * 100 / total);
}

}  // namespace

checkin_result repository::checkin_file(const std::filesystem::path& source,
                                       const std::string& directory, const std::string& when,
                                       const std::string& mime_type,
                                       const std::string& description) {
    // A group of one: committed as soon as the file is in.
    checkin_group::outcome done;
    checkin_group one(
        *this, [&done](const checkin_group::outcome& o) { done = o; },
        checkin_group::limits{0, 1, {}});
    one.add(source, directory, when, mime_type, description);
    one.commit();
    if (done.error) std::rethrow_exception(done.error);
    return done.result;
}

std::unique_ptr<file_handle> repository::open_checkin_source(const std::filesystem::path& source,
                                                             const std::string& when,
                                                             own_files& own) {
    const date moment(when);  // a bad date is refused before anything else
    check_entry_name(source.filename().string(), path_separator_);

    // The source is opened before anything is written: a file that vanished
    // leaves the vault untouched. Devices and FIFOs are refused before they
    // are opened, as reading them could hang or never end.
    path_status status{path_kind::missing, source, {}};
    try {
        status = files_->status(source);
    } catch (const io_error&) {
        // Left for the open below to report.
    }
    if (status.kind == path_kind::other) {
        throw tuv_error("Cannot check in " + source.string() + ": it is not a regular file");
    }
    // The vault's own files by identity, links followed: the database and
    // its log files, and anything in the data folder.
    bool own_file = false;
    if (status.kind == path_kind::regular) {
        std::filesystem::path folder = status.target.parent_path();
        if (folder.empty()) folder = ".";
        if (folder != own.last_folder) {
            own.last_folder_is_data = files_->status(folder).identity == own.data_folder;
            own.last_folder = std::move(folder);
        }
        own_file = own.last_folder_is_data ||
                   std::ranges::find(own.present, status.identity) != own.present.end();
        for (const std::filesystem::path& log : own.absent) {
            own_file = own_file || files_->status(log).identity == status.identity;
        }
    }
    if (own_file) {
        throw tuv_error("Cannot check in " + source.string() + ": it is one of the vault's own files");
    }
    try {
        return files_->open(source, open_mode::read);
    } catch (const io_error&) {
        throw tuv_error("Couldn't open file: " + source.string());
    }
}

std::unique_ptr<chunk_pipeline> repository::start_chunks(file_handle& input) {
    // Only the chunks the vault does not hold yet are worth compressing.
    pipeline_compression compression{compression_.level};
    if (compression.level != 0) {
        compression.find_stored = [&database = *database_](const std::string& checksum) {
            return find_stored_chunk(database, checksum);
        };
    }
    return std::make_unique<chunk_pipeline>(input, chunks_, std::move(compression));
}

checkin_result repository::checkin_into(file_handle& input, chunk_pipeline& chunks,
                                        const std::filesystem::path& source,
                                        const std::string& directory, const std::string& when,
                                        const std::string& mime_type,
                                        const std::string& description, block_writer& writer,
                                        known_directories& known) {
    const std::string& separator = path_separator_;
    date moment(when);
    const std::string name = source.filename().string();
    const std::string folder = directory.empty() ? separator : directory;
    const std::string vault_path = join_vault_path(folder, name, separator);

    checkin_result result;
    result.size_at_open = input.size();

    // Find the directories of the path, creating those that are missing.
    std::unique_ptr<file_entry> entry;
    std::string walked = separator;
    auto root = known.find({0, separator});
    if (root == known.end())
        root = known.emplace(std::pair{0, separator}, resolve(separator)->file_id()).first;
    std::vector<std::int64_t> directories{root->second};
    bool created = false;
    const std::vector<std::string> names = split_below_root(vault_path, separator);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool is_file = i + 1 == names.size();
        walked = join_vault_path(walked, names[i], separator);
        const std::pair<std::int64_t, std::string> place{directories.back(), names[i]};
        if (const auto seen = known.find(place); !is_file && seen != known.end()) {
            directories.push_back(seen->second);
            continue;
        }
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
                const std::time_t latest = latest_version(*database_, *found);
                if (moment.seconds() <= latest) {
                    if (when != "now") {
                        // A version dated in the future locks out every
                        // caller whose dates stop at today: say the way out.
                        const bool ahead = latest > std::time(nullptr);
                        throw tuv_error(
                            "Cannot check in " + source.string() + " as " + walked +
                            ": its latest version is dated " + date(latest).to_text() +
                            ", and a new version must be later (asked for " + moment.to_text() +
                            ")" +
                            (ahead ? "; that date is still to come: check the file into "
                                     "another vault directory, or give a later date with "
                                     "quillmark checkin --date ... --future"
                                   : ""));
                    }
                    moment = date(latest + 1);
                    result.moved = true;
                }
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
            known.emplace(place, directories.back());
        } else {
            directories.push_back(create_directory(names[i], directories.back(), moment));
            known.emplace(place, directories.back());
        }
    }
    // The file's journal row makes it, not a directory of the same name
    // there, what its name is resolved to from now on.
    known.erase({directories.back(), names.back()});

    // Every directory on the path changed, the root first, then the file.
    for (const std::int64_t id : directories) {
        journal_->insert_change(id, CHANGE_MODIFIED, moment, "", "");
    }
    journal_->insert_change(entry->file_id(), created ? CHANGE_CREATED : CHANGE_MODIFIED, moment,
                            recorded_source(source), description);

    // The content, chunk by chunk, cut and hashed on a second thread. The
    // writer's container bytes are synced by the caller, before it commits.
    std::uint64_t offset = 0;
    while (const chunk_pipeline::chunk* c = chunks.next()) {
        writer.write_block(c->bytes, c->checksum, moment.seconds(), c->offset, entry->file_id(),
                           c->compressed, c->stored_id);
        offset = c->offset + c->bytes.size();
        if (observer_ != nullptr) observer_->update(percent(offset, result.size_at_open));
    }
    writer.close_blocks_after(entry->file_id(), offset, moment.seconds());
    entry->set_size(offset);
    entry->flush();

    result.size = offset;
    result.vault_path = walked;
    result.moment = moment.seconds();
    try {
        result.size_at_end = input.size();
    } catch (const io_error&) {
        result.size_at_end = result.size_at_open;  // the content is in; only the warning is lost
    }
    return result;
}

}  // namespace tuv
