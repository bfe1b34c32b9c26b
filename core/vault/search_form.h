// What the search form asks for, as a search format with its arguments (see
// core/search.h), and the filter its results go through before they are
// shown. The explorer's search pane and `quillmark search` share both.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tuv {

class file_entry;

// Seconds in the day by which the form carries the period's end further.
inline constexpr std::int64_t search_period_extension = 86400;

struct search_form {
    std::string name;         // part of a name; empty: any name
    std::string description;  // part of a check-in description; empty: any
    // The period, in seconds since the epoch, when the time filter is on
    // (both given); the form widens it by search_period_extension at the end.
    std::optional<std::int64_t> period_start;
    std::optional<std::int64_t> period_end;
    std::string directory;  // full vault path the results must lie under
};

struct search_request {
    std::string format;
    std::vector<std::string> arguments;
};

// The format and arguments for the form's fields:
//  - with both period ends: " (( %d & %c ) | ( %b  & %a )) & " and the
//    arguments start, end + 1 day, start, end + 1 day, in decimal: entries
//    created or modified in the period, both bounds included;
//  - "%N" with "*" for an empty name, else "*" + name + "*";
//  - " & %A" with "*" + description + "*" when a description is given.
// Texts are passed as typed: the search binds them, quotes included.
search_request build_search_request(const search_form& form);

// Removes the directories from `results`, and every entry that does not lie
// under `directory` (a full vault path, with or without a trailing
// separator; the root keeps everything). Order is kept. Throws as
// file_entry::full_path() does.
void filter_search_results(std::vector<std::unique_ptr<file_entry>>& results,
                           const std::string& directory, const std::string& separator);

}  // namespace tuv
