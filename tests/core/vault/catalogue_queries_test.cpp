#include "core/vault/catalogue_queries.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

constexpr const char* t1 = "2024-01-02 03:04:05";
constexpr const char* t2 = "2024-03-04 05:06:07";
constexpr const char* t3 = "2024-05-06 07:08:09";

class catalogue_queries_test : public ::testing::Test {
  protected:
    // \docs\a.txt (t1, t3), \docs\b (t2), \docs\sub\c (t1), \top (t1)
    catalogue_queries_test() {
        checkin("\\docs", "a.txt", "alpha", t1);
        checkin("\\docs", "b", "bravo", t2);
        checkin("\\docs\\sub", "c", "charlie", t1);
        checkin("\\", "top", "top", t1);
        checkin("\\docs", "a.txt", "alpha two", t3);
    }

    void checkin(const std::string& directory, const std::string& name, const std::string& content,
                 const char* when) {
        std::ofstream(folder / name, std::ios::binary) << content;
        v.repo().checkin_file(folder / name, directory, when, "text/plain", "");
    }
    std::int64_t id(const std::string& path) {
        return v.repo().catalogue().resolve(path)->file_id();
    }

    test::temp_dir folder;
    test::test_vault v;
};

std::string text(const version_span& span) {
    return std::to_string(span.count) + " " + journal_moment_text(span.first) + " " +
           journal_moment_text(span.last);
}

TEST_F(catalogue_queries_test, a_folder_gives_each_file_directly_in_it_with_its_versions) {
    const auto spans = file_versions_in(v.repo(), id("\\docs"));
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(text(spans.at("a.txt")), "2 2024-01-02 03:04:05 2024-05-06 07:08:09");
    EXPECT_EQ(text(spans.at("b")), "1 2024-03-04 05:06:07 2024-03-04 05:06:07");
    EXPECT_EQ(text(versions_of(v.repo(), id("\\docs\\a.txt"))), text(spans.at("a.txt")));
}

TEST_F(catalogue_queries_test, only_a_directory_holding_one_has_subdirectories) {
    const struct {
        const char* path;
        bool expected;
    } cases[] = {{"\\", true}, {"\\docs", true}, {"\\docs\\sub", false}, {"\\top", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(has_subdirectories(v.repo(), id(c.path)), c.expected) << c.path;
    }
}

TEST_F(catalogue_queries_test, the_root_is_the_entry_without_a_parent) {
    const auto root = find_root_entry(v.repo());
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->file_id, id("\\"));
    EXPECT_EQ(root->name, "\\");
}

// A check-in that changed nothing makes no block, yet it is the latest
// version: the export and `quillmark checkout` both take its moment.
TEST_F(catalogue_queries_test, the_latest_version_is_the_last_check_in_whatever_it_changed) {
    const struct {
        const char* name;
        const char* second_content;
    } cases[] = {{"same", "same"}, {"changed", "changed!"}};
    for (const auto& c : cases) {
        checkin("\\later", c.name, c.name, t1);
        checkin("\\later", c.name, c.second_content, t2);
        EXPECT_EQ(latest_version_date(v.repo(), id(std::string("\\later\\") + c.name)).to_text(),
                  t2)
            << c.name;
    }
    EXPECT_EQ(latest_version_date(v.repo(), id("\\top")).to_text(), t1);
    // A folder has no blocks: its journal rows alone say when a file in it
    // last changed.
    EXPECT_EQ(latest_version_date(v.repo(), id("\\docs")).to_text(), t3);
    EXPECT_EQ(latest_version_date(v.repo(), 9999).seconds(), 0);
}

}  // namespace
}  // namespace tuv
