// What the window programs and the command line read from the catalogue and
// the journal, asked of the core so that the schema stays in it: a folder's
// files with their versions, whether a directory has sub-directories, the
// root entry, and the moment of a file's latest version. The vault's counts
// are in vault_stats.h.
//
// A version of a file is one journal row of it (journal.h); a check-in that
// changed nothing adds a row and no block. Every function borrows what it is
// given for the call only and throws db_exception when the database cannot
// be queried.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "core/base/date.h"

namespace tuv {

class db;
class repository;

// The versions of one file: how many, and the first and last moments in the
// journal's local calendar fields (month 0 to 11, year since 1900, as
// std::tm has them; the fields the journal does not store are 0). first and
// last are the earliest and latest in calendar order; both are zero while
// count is 0.
struct version_span {
    int count = 0;
    std::tm first{};
    std::tm last{};
};

// The files directly in the directory `folder_id`, by name (the entry's own
// name, not its path), each with its versions. One query however many files
// the folder holds, so that a folder of thousands costs one read. A file
// without a journal row is missing from the map; directories are never in it.
std::unordered_map<std::string, version_span> file_versions_in(repository& repo,
                                                               std::int64_t folder_id);
// The same for the files of `names` only (a page of a long folder): one
// query by the folder and the names.
std::unordered_map<std::string, version_span> file_versions_in(repository& repo,
                                                               std::int64_t folder_id,
                                                               std::span<const std::string> names);

// The versions of one entry. Throws rec_not_found_exception as
// journal::get_change_range does when the entry has no journal row.
version_span versions_of(repository& repo, std::int64_t file_id);

// Whether the directory `directory_id` has at least one sub-directory: one
// index seek by parent that stops at the first, so a folder of many files is
// not listed to find none. False for an id that is no directory.
bool has_subdirectories(repository& repo, std::int64_t directory_id);

// The root of the catalogue: the entry without a parent (the first made,
// should there be more), or nullopt in a catalogue without one.
struct root_entry {
    std::int64_t file_id = 0;
    std::string name;  // the separator
    date created;
};
std::optional<root_entry> find_root_entry(repository& repo);

// The moment of the latest version of the file `file_id`: what `quillmark
// checkout`, the export's latest mode and the check-in's "a new version must
// be later" all take. It is the latest of the file's journal rows; the
// catalogue's modification time and the block map's dates carry the same
// moment to the second where the journal's calendar fields cannot (an hour
// that a daylight-saving change repeats), and a vault an older build dated
// back can hold a block later than the journal says, so the latest of all
// three counts. At that moment every block of the file is as it is now, so
// it reads the content of the last check-in, also when that check-in changed
// nothing or only shortened the file. The epoch for an id that has none.
date latest_version_date(repository& repo, std::int64_t file_id);
// The same through `database`, for the check-in, which asks inside its own
// transaction and has no repository at hand.
date latest_version_date(db& database, std::int64_t file_id);

}  // namespace tuv
