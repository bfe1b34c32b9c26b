// The check-in of one local file as a new version of one vault file: where
// it happens. A check-in runs in three steps, so that a group of them can
// share one transaction and one sync (core/vault/checkin_group.h, which owns
// the check-in and is how every program checks files in):
//
//   1. open_source: before anything is written, the source is checked and
//      opened;
//   2. start_chunks: its chunks are set on their way (cut, hashed and
//      compressed on threads of the pipeline's own);
//   3. write: inside the caller's transaction, the catalogue rows and
//      journal rows of the new version, and its blocks through the caller's
//      block writer, whose container bytes the caller syncs before it
//      commits.
//
// The order of the writes is in docs/storage.md.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/base/date.h"
#include "core/db/settings.h"
#include "core/storage/file_io.h"
#include "core/storage/vault_storage.h"
#include "core/vault/own_files.h"

namespace tuv {

class block_writer;
class catalogue;
class chunk_pipeline;
class db;
class file_entry;
class journal;
class progress_observer;

// When a version is dated: a moment given, or the time the check-in was
// asked for ("now"), which gives way to the second after the file's latest
// version where that is later.
struct checkin_moment {
    date moment;
    bool now = false;

    // "now" or "YYYY-MM-DD HH:MM:SS". Throws invalid_date_exception.
    static checkin_moment parse(const std::string& when);
};

// One file to check in.
struct checkin_request {
    std::filesystem::path source;
    std::string directory;  // a full vault path; "" or the separator for the root
    checkin_moment when;
    std::string mime_type;
    std::string description;  // kept in the file's journal row
};

// What a check-in stored.
struct checkin_result {
    std::string vault_path;  // the file's full vault path
    std::time_t moment = 0;  // the new version's moment
    // The moment was "now", which fell on (or before) the file's latest
    // version, so the version took the second after that one instead.
    bool moved = false;
    std::uint64_t size = 0;  // bytes stored: the file as it was read
    // The file's size when it was opened, and when it had been read; a file
    // that changed meanwhile is stored as it was read.
    std::uint64_t size_at_open = 0;
    std::uint64_t size_at_end = 0;
    bool changed_while_read() const { return size != size_at_open || size != size_at_end; }
};

// The directories the check-ins of one transaction found or made, so that
// the files of one folder do not each look its path up again. Valid only in
// that transaction: rolled back, the ids may be gone.
struct known_directories {
    // By parent id and name.
    std::map<std::pair<std::int64_t, std::string>, std::int64_t> by_name;
    // Those the transaction made: no other writer sees them before it
    // commits, so no name in them needs a lock, or a second look after one.
    std::set<std::int64_t> made;
    // The names the transaction gave entries in those: any other is in
    // none of them, and needs no look-up.
    std::set<std::pair<std::int64_t, std::string>> named_in_made;
    void clear() {
        by_name.clear();
        made.clear();
        named_in_made.clear();
    }
};

class checkin {
  public:
    // Borrows the catalogue, the journal and what `storage` names, which
    // must outlive the check-in. New chunks are cut by `chunks` and stored
    // as `storage` says; `separator` is the vault's path separator.
    checkin(tuv::catalogue& catalogue, tuv::journal& journal, vault_storage storage,
            const chunk_settings& chunks, std::string separator);
    checkin(const checkin&) = delete;
    checkin& operator=(const checkin&) = delete;

    // Checks the source and opens it, before anything is written: refuses
    // a name the vault cannot hold, a source that is not a regular file
    // ("Cannot check in <source>: it is not a regular file") or is one of
    // the vault's own files, its database or a container ("Cannot check in
    // <source>: it is one of the vault's own files"), and one that cannot
    // be opened ("Couldn't open file: <source>").
    // Once learn_own_files() has run, safe to call from one other thread
    // than the one that writes.
    std::unique_ptr<file_handle> open_source(const std::filesystem::path& source);
    // Asks the database which files are the vault's own, which open_source
    // would otherwise ask at its first call, on the thread it runs on.
    void learn_own_files();

    // Sets the chunks of `input` on their way: reading starts at once.
    // `input` must outlive the pipeline. Safe to call from another thread
    // than the one that writes; such a thread may pass a connection of its
    // own (`lookups`, used only from that thread), through which a small
    // file's chunks stored already are found before they are compressed.
    // A file of at most `cut_here_up_to` bytes is cut, hashed and
    // compressed at once, on the calling thread (chunk_pipeline.h).
    std::unique_ptr<chunk_pipeline> start_chunks(file_handle& input, db* lookups = nullptr,
                                                 std::uint64_t cut_here_up_to = 0) const;

    // Writes the new version of the file that `request` names, inside the
    // caller's transaction: finds or makes the directories of its path and
    // its entry, adds the journal rows (each directory on the path
    // modified, the file created or modified), then its chunks from
    // `chunks` through `writer`. `known` holds the directories found or
    // made so far in the transaction, and takes those of this path.
    // `observer` (may be null) hears the progress after every chunk.
    //
    // A file's versions must follow each other in time (the block map dates
    // them): a moment at or before the file's latest version is refused
    // with tuv_error "Cannot check in <source> as <vault path>: its latest
    // version is dated <latest>, and a new version must be later (asked for
    // <moment>)", except that "now" then takes the second after the latest
    // version (result.moved). A vault path whose folder is a file, or whose
    // name is a directory, is refused ("... is not a directory", "... is a
    // directory").
    checkin_result write(file_handle& input, chunk_pipeline& chunks, const checkin_request& request,
                         block_writer& writer, known_directories& known,
                         progress_observer* observer);

  private:
    // The entry of the file the request names, with the directories of its
    // path found or made (`directories`, the root first); its date moved
    // past its latest version when the request allows it. A new file's row
    // is made with `size`, the size it is expected to have.
    struct destination {
        std::unique_ptr<file_entry> entry;
        std::vector<std::int64_t> directories;
        std::string vault_path;
        date moment;
        bool created = false;
        bool moved = false;
    };
    destination find_or_make(const checkin_request& request, known_directories& known,
                             std::uint64_t size);
    // The entry `name` in the folder `parent`, or null; where other writers
    // work at once, locked for this one when it is the file to write (and
    // its folder when the name is not there yet), unless this transaction
    // made the folder.
    std::unique_ptr<file_entry> find_for_writing(const std::string& name, std::int64_t parent,
                                                 bool is_file, const known_directories& known);

    tuv::catalogue& catalogue_;
    tuv::journal& journal_;
    vault_storage storage_;
    chunk_settings chunks_;
    std::string separator_;
    std::optional<own_files> own_;  // taken once, before the first source
};

}  // namespace tuv
