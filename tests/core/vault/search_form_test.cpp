#include "core/vault/search_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/search.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

const std::string time_condition = " (( %d & %c ) | ( %b  & %a )) & ";

class search_form_test : public ::testing::Test {
  protected:
    std::int64_t file(const std::string& name, std::int64_t parent, const std::string& time) {
        const std::int64_t id =
            v.repo().catalogue().create_file(name, parent, 1, time, "text/plain");
        v.repo().journal().insert_change(id, CHANGE_CREATED,
                                         date(std::string("2024-01-01 00:00:00")), "", "d");
        return id;
    }

    // Full paths of what the form would show for these fields.
    std::vector<std::string> shown(const search_form& form) {
        const search_request request = build_search_request(form);
        std::vector<std::unique_ptr<file_entry>> results;
        search(v.repo(), results, request.format, request.arguments);
        filter_search_results(results, form.directory, v.repo().path_separator());
        std::vector<std::string> paths;
        for (const auto& entry : results) paths.push_back(entry->full_path());
        return paths;
    }

    test::test_vault v;
};

TEST_F(search_form_test, empty_fields_search_every_name) {
    const search_request r = build_search_request({});
    EXPECT_EQ(r.format, "%N");
    EXPECT_EQ(r.arguments, std::vector<std::string>{"*"});
}

TEST_F(search_form_test, name_and_description_are_wrapped_in_stars_as_typed) {
    search_form form;
    form.name = "O'Brien";
    form.description = "it's";
    const search_request r = build_search_request(form);
    EXPECT_EQ(r.format, "%N & %A");
    EXPECT_EQ(r.arguments, (std::vector<std::string>{"*O'Brien*", "*it's*"}));
}

TEST_F(search_form_test, period_comes_first_and_its_end_moves_one_day_later) {
    search_form form;
    form.period_start = 1000;
    form.period_end = 2000;
    form.description = "x";
    const search_request r = build_search_request(form);
    EXPECT_EQ(r.format, time_condition + "%N & %A");
    EXPECT_EQ(r.arguments,
              (std::vector<std::string>{"1000", "88400", "1000", "88400", "*", "*x*"}));
}

TEST_F(search_form_test, half_a_period_is_no_time_filter) {
    search_form form;
    form.period_start = 1000;
    EXPECT_EQ(build_search_request(form).format, "%N");
    form.period_start.reset();
    form.period_end = 1000;
    EXPECT_EQ(build_search_request(form).format, "%N");
}

TEST_F(search_form_test, period_includes_both_widened_ends) {
    const std::int64_t start = date(std::string("2024-03-01 00:00:00")).seconds();
    const std::int64_t end = date(std::string("2024-03-05 00:00:00")).seconds();
    file("early", 1, "2024-02-29 23:59:59");
    file("first", 1, "2024-03-01 00:00:00");
    file("last", 1, "2024-03-06 00:00:00");
    file("late", 1, "2024-03-06 00:00:01");
    search_form form;
    form.period_start = start;
    form.period_end = end;
    form.directory = "\\";
    EXPECT_EQ(shown(form), (std::vector<std::string>{"\\first", "\\last"}));
}

TEST_F(search_form_test, filter_drops_directories_and_entries_outside_the_directory) {
    const std::int64_t docs =
        v.repo().catalogue().create_directory("Docs", 1, "2024-01-02 03:04:05");
    const std::int64_t docs2 =
        v.repo().catalogue().create_directory("Docs2", 1, "2024-01-02 03:04:05");
    const std::int64_t sub =
        v.repo().catalogue().create_directory("Sub", docs, "2024-01-02 03:04:05");
    file("a.txt", docs, "2024-01-02 03:04:05");
    file("b.txt", docs2, "2024-01-02 03:04:05");
    file("c.txt", sub, "2024-01-02 03:04:05");
    file("top.txt", 1, "2024-01-02 03:04:05");

    search_form form;
    form.directory = "\\";
    EXPECT_EQ(shown(form), (std::vector<std::string>{"\\Docs\\a.txt", "\\Docs2\\b.txt",
                                                     "\\Docs\\Sub\\c.txt", "\\top.txt"}));
    form.directory = "\\Docs";
    EXPECT_EQ(shown(form), (std::vector<std::string>{"\\Docs\\a.txt", "\\Docs\\Sub\\c.txt"}));
    form.directory = "\\Docs\\";
    EXPECT_EQ(shown(form), (std::vector<std::string>{"\\Docs\\a.txt", "\\Docs\\Sub\\c.txt"}));
    form.directory = "\\Docs\\Sub";
    form.name = "c";
    EXPECT_EQ(shown(form), std::vector<std::string>{"\\Docs\\Sub\\c.txt"});
}

TEST_F(search_form_test, failed_path_lookup_leaves_the_results_alone) {
    const std::int64_t orphan =
        v.repo().catalogue().create_file("orphan", 999, 1, "now", "text/plain");
    std::vector<std::unique_ptr<file_entry>> results;
    results.push_back(std::make_unique<file_entry>(v.repo(), 1, ""));
    results.push_back(std::make_unique<file_entry>(v.repo(), orphan, ""));
    EXPECT_THROW(filter_search_results(results, "\\", "\\"), rec_not_found_exception);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0]->file_id(), 1);
    EXPECT_EQ(results[1]->file_id(), orphan);
}

}  // namespace
}  // namespace tuv
