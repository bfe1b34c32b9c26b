// The cabinets as the trees show them: names compared and ordered without
// regard to case in the alphabets the tree folds, paths of tree items, and
// the listing of a real vault.
#include "gui/cabinet_listing.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/base/errors.h"
#include "tests/support/checks.h"
#include "tests/support/test_vault.h"

namespace tuv::gui {
namespace {

TEST(cabinet_listing_test, names_are_the_same_without_regard_to_case) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"Reports", "rEPORTS", true}, {"Été", "été", true},
        {"ÄB", "äb", true},           {"Łódź", "łÓDŹ", true},
        {"Москва", "мОСКВА", true},   {"Ёж", "ёж", true},
        {"ΣΟΦΙΑ", "σοφια", true},     {"a", "b", false},
        {"Été", "Ete", false},        {"×", "÷", false},  // signs, not letters
        {"ß", "ss", false},           {"Reports", "Reports ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(same_cabinet_name(c.a, c.b), c.same);
        EXPECT_EQ(same_cabinet_name(c.b, c.a), c.same);
    }
}

TEST(cabinet_listing_test, order_is_without_regard_to_case_then_as_written) {
    const struct {
        const char* first;
        const char* second;
    } cases[] = {
        {"apple", "Banana"}, {"B", "b"},   {"Zoo", "été"},
        {"zebra", "Армия"},  {"ÄB", "äb"}, {"été", "ÉTÉS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " | " + c.second);
        EXPECT_TRUE(cabinet_order(c.first, c.second));
        EXPECT_FALSE(cabinet_order(c.second, c.first));
    }
    EXPECT_FALSE(cabinet_order("Été", "Été"));
}

TEST(cabinet_listing_test, position_among_sorted_names) {
    const std::vector<std::string> names{"archive", "Cab", "Company", "Été"};
    const struct {
        const char* name;
        std::size_t position;
    } cases[] = {{"Archive", 0}, {"b", 1},   {"CAB", 1}, {"cab", 2},
                 {"company", 3}, {"été", 4}, {"Я", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cabinet_position(names, c.name), c.position);
    }
}

TEST(cabinet_listing_test, path_of_a_tree_item) {
    EXPECT_EQ(cabinet_path({}, "\\"), "\\");
    const std::vector<std::string> names{"Cab", "Company"};
    EXPECT_EQ(cabinet_path(names, "\\"), "\\Cab\\Company");
    EXPECT_EQ(cabinet_path(names, "/"), "/Cab/Company");
}

TEST(cabinet_listing_test, lists_the_directories_of_a_vault_sorted) {
    test::test_vault vault;
    catalogue& cat = vault.repo().catalogue();
    const char* const when = "2026-01-01 10:00:00";
    const std::int64_t root = 1;
    const std::int64_t cab = cat.create_directory("Cab", root, when);
    cat.create_directory("Company", cab, when);
    cat.create_directory("zeta", root, when);
    cat.create_directory("Été", root, when);
    cat.create_directory("archive", root, when);
    const test::temp_dir local;
    std::ofstream(local / "note.txt") << "note";
    vault.repo().checkin_file(local / "note.txt", "\\", when, "text/plain", "");

    std::vector<std::string> listed;
    for (const cabinet& c : list_cabinets(vault.repo(), "\\")) {
        listed.push_back(c.name + (c.has_cabinets ? "+" : ""));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"archive", "Cab+", "zeta", "Été"}));
    EXPECT_TRUE(holds_cabinets(vault.repo(), "\\Cab"));
    EXPECT_FALSE(holds_cabinets(vault.repo(), "\\Cab\\Company"));
    EXPECT_FALSE(holds_cabinets(vault.repo(), "\\note.txt"));
    EXPECT_FALSE(holds_cabinets(vault.repo(), "\\gone"));

    EXPECT_EQ(listing_failed_text("\\note.txt", test::failure<tuv_error>([&] {
                                      list_cabinets(vault.repo(), "\\note.txt");
                                  })),
              "Cannot list the cabinet \\note.txt: \\note.txt not a directory");
}

}  // namespace
}  // namespace tuv::gui
