// The vault's search language: a printf-like format of conditions joined by
// operators, and one text argument per condition.
//
//   %N  name pattern         path LIKE pattern            (file_info)
//   %A  description pattern  attributes LIKE pattern      (journal)
//   %a  number               modification_time <= number
//   %b  number               modification_time >= number
//   %c  number               creation_time <= number
//   %d  number               creation_time >= number
//   (  )  grouping;   &  AND;   |  OR;   every other character is filler.
//
// In a pattern `*` matches any run of characters and every other character,
// `%`, `_` and quotes included, stands for itself (ASCII letters compare
// without case). A number is a signed 64-bit decimal, seconds since the
// epoch like every time in the vault: leading white space and one sign are
// allowed, reading stops at the first non-digit, no digits give 0, and a
// value beyond 64 bits gives INT64_MAX (or INT64_MIN when negative).
// Arguments are bound to the statement, never pasted into it.
//
// Errors (tuv_error), checked in this order, before anything runs:
//  - "Unknown format specifier in the search format string": `%` followed by
//    a letter not in the table, by another character or by nothing;
//  - "search: invalid number of arguments": the format has more or fewer
//    specifiers than there are arguments;
//  - "search: malformed format": the conditions and operators do not form an
//    expression (no condition at all, an operator at either end or next to
//    another, two conditions without an operator between them, empty or
//    unbalanced parentheses).
// Database failures pass through as the database layer reports them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tuv {

class file_entry;
class repository;

// One value bound to a "?" of the statement: a translated number or pattern.
using search_param = std::variant<std::int64_t, std::string>;

struct search_query {
    std::string sql;
    std::vector<search_param> params;  // in the order of the "?" marks
};

// The statement for a format and its arguments: the file_info row of every
// catalogue entry joined with each of its journal rows, the format's
// conditions in one group after the join, ordered by file id then journal
// row. Throws as described above.
search_query build_search_query(const std::string& format,
                                const std::vector<std::string>& arguments);

// Runs the search and appends one entry per matching file to `out`, in
// ascending id order; an entry matches when one of its journal rows does
// (a catalogue row without journal rows never matches), and carries the
// description of its latest matching journal row. `out` is not cleared; on
// any error nothing is appended. The entries borrow `repo`.
void search(repository& repo, std::vector<std::unique_ptr<file_entry>>& out,
            const std::string& format, const std::vector<std::string>& arguments);

}  // namespace tuv
