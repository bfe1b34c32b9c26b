// The check-in of one local file as a new version of one vault file.
#include "core/vault/checkin.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/base/vault_path.h"
#include "core/db/db.h"
#include "core/storage/block_writer.h"
#include "core/storage/chunk_pipeline.h"
#include "core/vault/catalogue.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/progress_observer.h"

namespace tuv {
namespace {

// The source path the journal keeps: absolute, so that the file can be
// looked up by its full path later whatever folder the check-in ran in; in
// UTF-8, as every text of the vault.
std::string recorded_source(const std::filesystem::path& source) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    return utf8_of(error ? source : absolute.lexically_normal());
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
    // A file that grew while it was read stays at 100.
    return total == 0 || done >= total ? 100 : static_cast<int>(done * 100 / total);
}

}  // namespace

checkin_moment checkin_moment::parse(const std::string& when) {
    return {date(when), when == "now"};
}

checkin::checkin(tuv::catalogue& catalogue, tuv::journal& journal, vault_storage storage,
                 const chunk_settings& chunks, std::string separator)
    : catalogue_(catalogue),
      journal_(journal),
      storage_(std::move(storage)),
      chunks_(chunks),
      separator_(std::move(separator)) {}

void checkin::learn_own_files() {
    if (!own_) own_.emplace(storage_);
}

std::unique_ptr<file_handle> checkin::open_source(const std::filesystem::path& source) {
    check_entry_name(utf8_of(source.filename()), separator_);

    // The source is opened before anything is written: a file that vanished
    // leaves the vault untouched. Devices and FIFOs are refused before they
    // are opened, as reading them could hang or never end.
    path_status status{path_kind::missing, source, {}};
    try {
        status = storage_.files.status(source);
    } catch (const io_error&) {
        // Left for the open below to report.
    }
    if (status.kind == path_kind::other) {
        throw tuv_error("Cannot check in " + utf8_of(source) + ": it is not a regular file");
    }
    if (status.kind == path_kind::regular) {
        learn_own_files();
        if (own_->holds(status)) {
            throw tuv_error("Cannot check in " + utf8_of(source) +
                            ": it is one of the vault's own files");
        }
    }
    try {
        return storage_.files.open(source, open_mode::read);
    } catch (const io_error&) {
        throw tuv_error("Couldn't open file: " + utf8_of(source));
    }
}

std::unique_ptr<chunk_pipeline> checkin::start_chunks(file_handle& input, db* lookups,
                                                      std::uint64_t cut_here_up_to) const {
    // Only the chunks the vault does not hold yet are worth compressing.
    pipeline_compression compression{storage_.compression_level};
    compression.shared_frames = storage_.shared_frames;
    if (compression.level != 0) {
        compression.find_stored = [&database = storage_.database](
                                      std::span<const std::string> checksums) {
            return find_stored_chunks(database, checksums);
        };
    }
    if (compression.level != 0 && lookups != nullptr) {
        // The other connection sees only committed chunks, which is all
        // the pipeline may rely on from this thread.
        compression.find_committed = [lookups](std::span<const std::string> checksums) {
            try {
                return find_stored_chunks(*lookups, checksums);
            } catch (const db_exception&) {
                // Not knowing only costs a compression.
                return std::vector<std::int64_t>(checksums.size(), 0);
            }
        };
    }
    return std::make_unique<chunk_pipeline>(input, chunks_, std::move(compression), 0,
                                            cut_here_up_to);
}

std::unique_ptr<file_entry> checkin::find_for_writing(const std::string& name, std::int64_t parent,
                                                      bool is_file,
                                                      const known_directories& known) {
    std::unique_ptr<file_entry> found = catalogue_.find_child(name, parent);
    db& database = storage_.database;
    if (!database.many_writers() || (found && !is_file) || known.made.contains(parent)) {
        return found;
    }
    const auto lock = [&database](std::int64_t id) {
        database.query("SELECT file_id FROM file_info WHERE file_id = ? FOR UPDATE", {id});
    };
    // The file this writer gives a version, or the folder it may make a
    // name in, is locked until it commits; what was read before the lock is
    // read again, as the writer that held it may have changed it.
    lock(found ? found->file_id() : parent);
    const bool locked_file = found != nullptr;
    found = catalogue_.find_child(name, parent);
    if (found && is_file && !locked_file) lock(found->file_id());
    return found;
}

checkin::destination checkin::find_or_make(const checkin_request& request, known_directories& known,
                                           std::uint64_t size) {
    const std::string& separator = separator_;
    const std::string source = utf8_of(request.source);
    const std::string folder = request.directory.empty() ? separator : request.directory;

    destination found_at;
    found_at.moment = request.when.moment;
    auto root = known.by_name.find({0, separator});
    if (root == known.by_name.end()) {
        root =
            known.by_name.emplace(std::pair{0, separator}, catalogue_.resolve(separator)->file_id())
                .first;
    }
    std::vector<std::int64_t>& directories = found_at.directories;
    directories.push_back(root->second);
    std::string walked = separator;
    const std::vector<std::string> names = split_below_root(
        join_vault_path(folder, utf8_of(request.source.filename()), separator), separator);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool is_file = i + 1 == names.size();
        walked = join_vault_path(walked, names[i], separator);
        const std::pair<std::int64_t, std::string> place{directories.back(), names[i]};
        if (const auto seen = known.by_name.find(place); !is_file && seen != known.by_name.end()) {
            directories.push_back(seen->second);
            continue;
        }
        const bool in_made = known.made.contains(place.first);
        std::unique_ptr<file_entry> found =
            in_made && !known.named_in_made.contains(place)
                ? nullptr
                : find_for_writing(names[i], directories.back(), is_file, known);
        if (in_made && !found) known.named_in_made.insert(place);
        if (!is_file) {
            if (found && !found->is_directory()) {
                throw tuv_error("Cannot check in " + source + ": " + walked +
                                " is not a directory");
            }
            if (found) {
                directories.push_back(found->file_id());
            } else {
                directories.push_back(
                    catalogue_.create_directory(names[i], directories.back(), found_at.moment));
                known.made.insert(directories.back());
            }
            known.by_name.emplace(place, directories.back());
            continue;
        }
        if (!found) {
            found = catalogue_.create_file_entry(names[i], directories.back(), size,
                                                 found_at.moment, request.mime_type);
            found_at.created = true;
        } else if (found->is_directory()) {
            throw tuv_error("Cannot check in " + source + ": " + walked + " is a directory");
        } else if (const std::time_t latest =
                       latest_version_date(storage_.database, found->file_id()).seconds();
                   found_at.moment.seconds() <= latest) {
            if (!request.when.now) {
                // A version dated in the future locks out every caller
                // whose dates stop at today: say the way out.
                const bool ahead = latest > std::time(nullptr);
                throw tuv_error(
                    "Cannot check in " + source + " as " + walked +
                    ": its latest version is dated " + date(latest).to_text() +
                    ", and a new version must be later (asked for " + found_at.moment.to_text() +
                    ")" +
                    (ahead ? "; that date is still to come: check the file into another vault "
                             "directory, or give a later date with quillmark checkin --date ... "
                             "--future"
                           : ""));
            }
            found_at.moment = date(latest + 1);
            found_at.moved = true;
        }
        found_at.entry = std::move(found);
    }
    // The file's journal row makes it, not a directory of the same name
    // there, what its name is resolved to from now on.
    known.by_name.erase({directories.back(), names.back()});
    found_at.vault_path = walked;
    return found_at;
}

checkin_result checkin::write(file_handle& input, chunk_pipeline& chunks,
                              const checkin_request& request, block_writer& writer,
                              known_directories& known, progress_observer* observer) {
    checkin_result result;
    result.size_at_open = chunks.size_at_start();
    destination to = find_or_make(request, known, result.size_at_open);
    file_entry& entry = *to.entry;
    // A new file's row has its dates and expected size already: unless the
    // file changed size while it was read, it needs no second statement.
    if (!to.created) {
        entry.modification_date() = to.moment;
        entry.modification_date().set_changed(true);
    }

    // Every directory on the path changed, the root first, then the file.
    std::vector<journal::change> changes;
    changes.reserve(to.directories.size() + 1);
    for (const std::int64_t id : to.directories) changes.push_back({id, CHANGE_MODIFIED, {}, {}});
    changes.push_back({entry.file_id(), to.created ? CHANGE_CREATED : CHANGE_MODIFIED,
                       recorded_source(request.source), request.description});
    journal_.insert_changes(changes, to.moment);

    // The content, chunk by chunk, cut and hashed on a second thread. The
    // writer's container bytes are synced by the caller, before it commits.
    if (to.created) writer.begin_new_file(entry.file_id());
    std::uint64_t offset = 0;
    while (const chunk_pipeline::chunk* c = chunks.next()) {
        writer.write_block(c->bytes, c->checksum, to.moment.seconds(), c->offset, entry.file_id(),
                           c->compressed, c->stored_id, c->frame_offset);
        offset = c->offset + c->bytes.size();
        if (observer != nullptr) observer->update(percent(offset, result.size_at_open));
    }
    writer.close_blocks_after(entry.file_id(), offset, to.moment.seconds());
    if (offset != entry.size()) entry.set_size(offset);
    entry.flush();

    result.size = offset;
    result.vault_path = to.vault_path;
    result.moment = to.moment.seconds();
    result.moved = to.moved;
    try {
        result.size_at_end = input.size();
    } catch (const io_error&) {
        result.size_at_end = result.size_at_open;  // the content is in; only the warning is lost
    }
    return result;
}

}  // namespace tuv
