// `quillmark search`: the files whose name and check-in description match,
// optionally changed in a period and under one vault directory, as the
// explorer's search pane finds them.
#pragma once

#include <ostream>
#include <string>

namespace tuv {
class repository;
}

namespace tuv::tools {

// Every member has an initializer, so that a designated initializer may
// name only the options given.
struct search_options {
    std::string name{};         // part of the file name; "*" is a wildcard
    std::string description{};  // part of a check-in description
    std::string from{};         // first day, "YYYY-MM-DD" local; empty: no period
    std::string to{};           // last day, "YYYY-MM-DD" local; empty: no period
    std::string under{};        // full vault path of a directory; empty: the root
};

// Writes one line per matching file, in ascending id order (the order the
// files were catalogued), nothing when none matches:
//
//   <full vault path> TAB <versions> TAB <first version> TAB <last version>
//
// where versions is the number of the file's journal rows and the two dates
// are its oldest and newest journal row, "YYYY-MM-DD HH:MM:SS", and the path
// shows control characters as pictures (core/base/control_pictures.h).
// Directories are never listed.
//
// With --from and --to a file matches when it was created or modified from
// the start of the first day to the start of the day after the last day
// (both included, as the explorer's time filter does).
//
// Throws tuv_error "--from and --to must be given together", "Invalid date
// \"<text>\" for --from: expected YYYY-MM-DD" (or --to), "\"<path>\" is not a
// full vault path: it must begin with \"<separator>\"", "<path> not a
// directory", file_not_found_exception for a missing directory, and what the
// search and the database throw.
void run_search(repository& repo, const search_options& options, std::ostream& out);

}  // namespace tuv::tools
