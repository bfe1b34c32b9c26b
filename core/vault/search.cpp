#include "core/vault/search.h"

#include <cstdint>
#include <limits>
#include <variant>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/sql_builder.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// The user's conditions form one group after the join, so that a top-level
// "|" cannot escape it and pair rows of one file with another's journal.
constexpr const char* head =
    "SELECT file_info.*, journal.attributes FROM file_info, journal"
    " WHERE file_info.file_id = journal.inode AND (";
// Each file's rows together, latest journal row first: that row's
// description is the one the entry carries.
constexpr const char* tail = ") ORDER BY file_info.file_id, journal.id DESC";

struct specifier {
    char letter;
    const char* sql;
    bool pattern;
};

enum class token_kind { condition, open, close, op };

struct token {
    token_kind kind;
    const char* sql;
    const specifier* condition;  // conditions only
};

// `\` (like_escape) escapes the LIKE wildcards, so that only `*` acts as one.
constexpr specifier specifiers[] = {
    {'N', "path LIKE ? ESCAPE '\\'", true},  {'A', "attributes LIKE ? ESCAPE '\\'", true},
    {'a', " modification_time <= ?", false}, {'b', " modification_time >= ?", false},
    {'c', " creation_time <= ?", false},     {'d', " creation_time >= ?", false},
};

const specifier* find_specifier(char letter) {
    for (const specifier& s : specifiers) {
        if (s.letter == letter) return &s;
    }
    return nullptr;
}

std::string translate_pattern(const std::string& text) {
    std::string pattern;
    pattern.reserve(text.size());
    for (const char c : text) {
        if (c == '*') {
            pattern += '%';
        } else {
            append_like_literal(pattern, std::string_view(&c, 1));
        }
    }
    return pattern;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads as strtoll does: a value beyond 64 bits saturates at the end it
// lies beyond, so that no bound wraps round to its opposite.
std::int64_t translate_number(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude in 64 unsigned bits: INT64_MIN's is one more than INT64_MAX.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (limit - digit) / 10) {
            return negative ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
        }
        value = value * 10 + digit;
    }
    return negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
}

// True when the tokens read as: operand (operator operand)*, where an
// operand is a condition or a parenthesised expression.
bool well_formed(const std::vector<token>& tokens) {
    bool want_operand = true;
    int depth = 0;
    for (const token& t : tokens) {
        if (want_operand) {
            if (t.kind == token_kind::condition) {
                want_operand = false;
            } else if (t.kind == token_kind::open) {
                ++depth;
            } else {
                return false;
            }
        } else {
            if (t.kind == token_kind::op) {
                want_operand = true;
            } else if (t.kind == token_kind::close) {
                if (depth == 0) return false;
                --depth;
            } else {
                return false;
            }
        }
    }
    return !want_operand && depth == 0;
}

}  // namespace

search_query build_search_query(const std::string& format,
                                const std::vector<std::string>& arguments) {
    // First the shape: every specifier known, one argument each, a proper
    // expression. Arguments are only read once all of that holds.
    std::vector<token> tokens;
    for (std::size_t i = 0; i < format.size(); ++i) {
        switch (format[i]) {
            case '(':
                tokens.push_back({token_kind::open, " ( ", nullptr});
                break;
            case ')':
                tokens.push_back({token_kind::close, " ) ", nullptr});
                break;
            case '&':
                tokens.push_back({token_kind::op, " AND ", nullptr});
                break;
            case '|':
                tokens.push_back({token_kind::op, " OR ", nullptr});
                break;
            case '%': {
                const specifier* s =
                    i + 1 < format.size() ? find_specifier(format[i + 1]) : nullptr;
                if (s == nullptr) {
                    throw tuv_error(
                        std::string("Unknown format specifier in the search format string"));
                }
                ++i;
                tokens.push_back({token_kind::condition, s->sql, s});
                break;
            }
            default:
                break;  // filler
        }
    }
    std::size_t conditions = 0;
    for (const token& t : tokens) {
        if (t.kind == token_kind::condition) ++conditions;
    }
    if (conditions != arguments.size()) {
        throw tuv_error(std::string("search: invalid number of arguments"));
    }
    if (!well_formed(tokens)) throw tuv_error(std::string("search: malformed format"));

    search_query query;
    query.sql = head;
    std::size_t next = 0;
    for (const token& t : tokens) {
        query.sql += t.sql;
        if (t.kind != token_kind::condition) continue;
        const std::string& argument = arguments[next++];
        if (t.condition->pattern) {
            query.params.emplace_back(translate_pattern(argument));
        } else {
            query.params.emplace_back(translate_number(argument));
        }
    }
    query.sql += tail;
    return query;
}

void search(repository& repo, std::vector<std::unique_ptr<file_entry>>& out,
            const std::string& format, const std::vector<std::string>& arguments) {
    const search_query query = build_search_query(format, arguments);
    std::vector<db_param> params;
    params.reserve(query.params.size());
    for (const search_param& p : query.params) {
        std::visit([&params](const auto& value) { params.emplace_back(value); }, p);
    }

    // Collected apart first, so that a failure midway appends nothing.
    std::vector<std::unique_ptr<file_entry>> found;
    auto rows = repo.database().query(query.sql, params);
    std::int64_t previous = 0;
    while (rows->next()) {
        const std::int64_t id = rows->get_int64("file_id");
        // Only a file's first row counts: its latest matching journal row.
        if (!found.empty() && id == previous) continue;
        previous = id;
        found.push_back(file_entry::from_row(repo, *rows, rows->get_string("attributes")));
    }
    rows.reset();
    for (auto& entry : found) out.push_back(std::move(entry));
}

}  // namespace tuv
