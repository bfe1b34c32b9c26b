#include "core/vault/search.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

const std::string head =
    "SELECT file_info.*, journal.attributes FROM file_info, journal"
    " WHERE file_info.file_id = journal.inode AND (";
const std::string tail = ") ORDER BY file_info.file_id, journal.id DESC";

class search_test : public ::testing::Test {
  protected:
    // A file under the root with one journal row per description given.
    std::int64_t file(const std::string& name, const std::vector<std::string>& descriptions,
                      const std::string& time = "2024-01-02 03:04:05") {
        const std::int64_t id = v.repo().catalogue().create_file(name, 1, 10, time, "text/plain");
        int day = 0;
        for (const auto& description : descriptions) {
            ++day;
            // One day each, from 1 January: at most nine descriptions.
            v.repo().journal().insert_change(id, day == 1 ? CHANGE_CREATED : CHANGE_MODIFIED,
                                             date("2024-01-0" + std::to_string(day) + " 00:00:00"),
                                             "/src/" + name, description);
        }
        return id;
    }

    // "name=attributes" of each result, in result order.
    std::vector<std::string> found(const std::string& format,
                                   const std::vector<std::string>& arguments) {
        std::vector<std::unique_ptr<file_entry>> out;
        search(v.repo(), out, format, arguments);
        std::vector<std::string> names;
        for (const auto& entry : out) names.push_back(entry->name() + "=" + entry->attributes());
        return names;
    }

    std::string error_of(const std::string& format, const std::vector<std::string>& arguments) {
        std::vector<std::unique_ptr<file_entry>> out;
        try {
            search(v.repo(), out, format, arguments);
        } catch (const tuv_error& e) {
            EXPECT_TRUE(out.empty());
            return e.what();
        }
        return "no error";
    }

    std::vector<search_param> params_of(const std::string& format,
                                        const std::vector<std::string>& arguments) {
        return build_search_query(format, arguments).params;
    }

    test::test_vault v;
};

TEST_F(search_test, worked_example_keeps_conditions_and_operators_in_format_order) {
    const search_query q = build_search_query(" (( %d & %c ) | ( %b  & %a )) & %N & %A",
                                              {"100", "200", "100", "200", "*x*", "*y*"});
    EXPECT_EQ(q.sql, head + " (  ( " + " creation_time >= ?" + " AND " + " creation_time <= ?" +
                         " ) " + " OR " + " ( " + " modification_time >= ?" + " AND " +
                         " modification_time <= ?" + " ) " + " ) " + " AND " +
                         "path LIKE ? ESCAPE '\\'" + " AND " + "attributes LIKE ? ESCAPE '\\'" +
                         tail);
    const std::vector<search_param> expected{
        100, 200, 100, 200, std::string("%x%"), std::string("%y%")};
    EXPECT_EQ(q.params, expected);
}

TEST_F(search_test, only_the_six_specifier_letters_are_accepted) {
    for (int c = 0; c < 128; ++c) {
        const std::string format = std::string("%") + static_cast<char>(c);
        const std::string letter(1, static_cast<char>(c));
        if (std::string("NAabcd").find(static_cast<char>(c)) != std::string::npos && c != 0) {
            EXPECT_NO_THROW(build_search_query(format, {"1"})) << letter;
        } else {
            EXPECT_EQ(error_of(format, {"1"}),
                      "Unknown format specifier in the search format string")
                << c;
        }
    }
    EXPECT_EQ(error_of("%N & %", {"a"}), "Unknown format specifier in the search format string");
    EXPECT_EQ(error_of("%%", {}), "Unknown format specifier in the search format string");
}

TEST_F(search_test, argument_count_must_match_the_specifiers) {
    file("a.txt", {"one"});
    EXPECT_EQ(error_of("%N", {"*", "*"}), "search: invalid number of arguments");
    EXPECT_EQ(error_of("%N & %A", {"*"}), "search: invalid number of arguments");
    EXPECT_EQ(error_of("%N", {}), "search: invalid number of arguments");
    EXPECT_EQ(error_of("", {"*"}), "search: invalid number of arguments");
}

TEST_F(search_test, malformed_formats_are_refused_before_the_database_sees_them) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"(%N", 1},      {"%N)", 1},     {")%N(", 1},      {"%N &", 1},
        {"%N |", 1},     {"& %N", 1},    {"%N & | %N", 2}, {"%N %N", 2},
        {"(%N)(%N)", 2}, {"() & %N", 1}, {"%N & ()", 1},
    };
    for (const auto& [format, specifiers] : cases) {
        EXPECT_EQ(error_of(format, std::vector<std::string>(specifiers, "*")),
                  "search: malformed format")
            << format;
    }
    EXPECT_EQ(error_of("", {}), "search: malformed format");
    EXPECT_EQ(error_of("  ", {}), "search: malformed format");
}

TEST_F(search_test, nested_groups_and_filler_are_well_formed) {
    file("a.txt", {"one"});
    EXPECT_EQ(found("((%N)) xyz", {"a.txt"}), std::vector<std::string>{"a.txt=one"});
    EXPECT_EQ(found("%N | ( %A & %a )", {"none", "one", "4000000000"}),
              std::vector<std::string>{"a.txt=one"});
    EXPECT_EQ(found("%N | ( %A & %a )", {"none", "one", "1000"}), std::vector<std::string>{});
}

TEST_F(search_test, star_is_the_only_wildcard) {
    EXPECT_EQ(params_of("%N", {"*a*b*"}), std::vector<search_param>{std::string("%a%b%")});
    EXPECT_EQ(params_of("%A", {"50%_off\\"}),
              std::vector<search_param>{std::string("50\\%\\_off\\\\")});

    file("report.txt", {"r"});
    file("report_2024.txt", {"r"});
    file("reportX2024.txt", {"r"});
    file("100%.txt", {"r"});
    file("100x.txt", {"r"});
    EXPECT_EQ(found("%N", {"report_*"}), std::vector<std::string>{"report_2024.txt=r"});
    EXPECT_EQ(found("%N", {"100%*"}), std::vector<std::string>{"100%.txt=r"});
    EXPECT_EQ(found("%N", {"REPORT.TXT"}), std::vector<std::string>{"report.txt=r"});
    EXPECT_EQ(found("%N", {"report"}), std::vector<std::string>{});
    EXPECT_EQ(found("%N", {"*2024*"}),
              (std::vector<std::string>{"report_2024.txt=r", "reportX2024.txt=r"}));
}

TEST_F(search_test, descriptions_with_percent_and_underscore_match_literally) {
    file("a.txt", {"50% off"});
    file("b.txt", {"500 off"});
    file("c.txt", {"snake_case"});
    file("d.txt", {"snakeXcase"});
    file("e.txt", {"C:\\temp"});
    EXPECT_EQ(found("%A", {"*50%*"}), std::vector<std::string>{"a.txt=50% off"});
    EXPECT_EQ(found("%A", {"*e_c*"}), std::vector<std::string>{"c.txt=snake_case"});
    EXPECT_EQ(found("%A", {"*\\*"}), std::vector<std::string>{"e.txt=C:\\temp"});
}

TEST_F(search_test, quotes_are_searched_as_typed_and_cannot_change_the_query) {
    file("O'Brien.txt", {"it's 'done'"});
    file("OBrien.txt", {"its done"});
    EXPECT_EQ(found("%N", {"*O'Brien*"}), std::vector<std::string>{"O'Brien.txt=it's 'done'"});
    EXPECT_EQ(found("%A", {"*'done'*"}), std::vector<std::string>{"O'Brien.txt=it's 'done'"});
    EXPECT_EQ(found("%N", {"x' OR '1'='1"}), std::vector<std::string>{});
    EXPECT_EQ(found("%a", {"0) OR (1=1"}), std::vector<std::string>{});
}

TEST_F(search_test, numbers_are_read_as_signed_64_bit_and_saturate) {
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    const std::pair<const char*, std::int64_t> cases[] = {
        {"007", 7},
        {"", 0},
        {"abc", 0},
        {" \t+12x3", 12},
        {"-5", -5},
        {"4294967296", 4294967296},
        {"-2147483649", -2147483649},
        {"9223372036854775807", largest},
        {"9223372036854775808", largest},
        {"-9223372036854775808", smallest},
        {"-99999999999999999999", smallest},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(std::get<std::int64_t>(params_of("%a", {text}).at(0)), value) << text;
    }
}

TEST_F(search_test, time_bounds_include_their_ends) {
    const std::int64_t at = date(std::string("2024-01-02 03:04:05")).seconds();
    file("a.txt", {"one"});
    const std::string on = std::to_string(at);
    const std::string before = std::to_string(at - 1);
    EXPECT_EQ(found("%d & %c", {on, on}), std::vector<std::string>{"a.txt=one"});
    EXPECT_EQ(found("%b & %a", {on, on}), std::vector<std::string>{"a.txt=one"});
    EXPECT_EQ(found("%N & %c", {"a.txt", before}), std::vector<std::string>{});
    EXPECT_EQ(found("%N & %b", {"a.txt", std::to_string(at + 1)}), std::vector<std::string>{});
}

TEST_F(search_test, file_with_three_matching_rows_is_listed_once_with_its_latest) {
    file("a.txt", {"v1", "v2", "v3"});
    EXPECT_EQ(found("%A", {"v*"}), std::vector<std::string>{"a.txt=v3"});
    EXPECT_EQ(found("%A", {"v1"}), std::vector<std::string>{"a.txt=v1"});
}

TEST_F(search_test, catalogue_row_without_journal_rows_is_never_listed) {
    v.repo().catalogue().create_file("lonely.txt", 1, 10, "2024-01-02 03:04:05", "text/plain");
    file("kept.txt", {"hit"});
    EXPECT_EQ(found("%N", {"*.txt"}), std::vector<std::string>{"kept.txt=hit"});
    // A top-level "|" stays inside the join.
    EXPECT_EQ(found("%N | %A", {"lonely.txt", "hit"}), std::vector<std::string>{"kept.txt=hit"});
}

TEST_F(search_test, results_come_in_ascending_id_order_and_are_appended) {
    const std::int64_t a =
        v.repo().catalogue().create_file("a", 1, 1, "2024-01-02 03:04:05", "text/plain");
    const std::int64_t b =
        v.repo().catalogue().create_file("b", 1, 1, "2024-01-02 03:04:05", "text/plain");
    const std::int64_t c =
        v.repo().catalogue().create_file("c", 1, 1, "2024-01-02 03:04:05", "text/plain");
    for (const std::int64_t id : {c, a, b, c}) {
        v.repo().journal().insert_change(id, CHANGE_MODIFIED,
                                         date(std::string("2024-01-01 00:00:00")), "", "x");
    }
    std::vector<std::unique_ptr<file_entry>> out;
    out.push_back(std::make_unique<file_entry>(v.repo(), 1, "earlier"));
    search(v.repo(), out, "%A", {"x"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0]->attributes(), "earlier");
    EXPECT_EQ(out[1]->file_id(), a);
    EXPECT_EQ(out[2]->file_id(), b);
    EXPECT_EQ(out[3]->file_id(), c);
}

TEST_F(search_test, entries_carry_their_catalogue_row) {
    const std::int64_t id = file("a.txt", {"one"}, "2023-05-06 07:08:09");
    std::vector<std::unique_ptr<file_entry>> out;
    search(v.repo(), out, "%N", {"a.txt"});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]->file_id(), id);
    EXPECT_EQ(out[0]->parent_id(), 1);
    EXPECT_EQ(out[0]->mime_type(), "text/plain");
    EXPECT_EQ(out[0]->size(), 10u);
    EXPECT_EQ(out[0]->modification_date().to_text(), "2023-05-06 07:08:09");
    EXPECT_EQ(out[0]->full_path(), "\\a.txt");
}

}  // namespace
}  // namespace tuv
