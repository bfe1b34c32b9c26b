// The properties program's sequence over a dialog of the test's own: what it
// says of a file the vault does not know, the dialog it shows for one it
// knows, and the dialog's selection when the vault fails under it.
#include "property/property_program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/vault/catalogue.h"
#include "core/vault/file_entry.h"
#include "property/property_model.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv::property {
namespace {

namespace fs = std::filesystem;

class test_dialog : public property_windows {
  public:
    void show_dialog(const std::string& local_path, property_model& model,
                     repository& repo) override {
        shown_for.push_back(local_path);
        vault_paths = model.vault_paths();
        selected = model.selected();
        if (act) act(model, repo);
    }

    std::function<void(property_model&, repository&)> act;
    std::vector<std::string> shown_for;
    std::vector<std::string> vault_paths;
    int selected = -2;
};

// A report checked in into two cabinets.
class property_program_test : public ::testing::Test {
  protected:
    property_program_test() {
        test::register_vault(vault.db_path());
        program.set_opener([this](const std::string&) { return &vault.repo(); });
        std::ofstream(report, std::ios::binary) << "version one";
        vault.repo().checkin_file(report, "\\Letters", "2026-01-02 03:04:05", "text/plain", "");
        vault.repo().checkin_file(report, "\\Backup", "2026-01-05 10:00:00", "text/plain",
                                  "O'Brien's copy");
    }

    // Every message as "<caption> <icon>: <text>".
    std::vector<std::string> told() const {
        std::vector<std::string> lines;
        for (const auto& prompt : prompts.prompts()) {
            lines.push_back(prompt.caption + " " + std::to_string(int(prompt.icon)) + ": " +
                            prompt.text);
        }
        return lines;
    }

    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
    test::test_vault vault;
    const fs::path report = folder / "report.txt";
    gui::scripted_prompter prompts;
    test_dialog dialog;
    property_program program{prompts, dialog};
};

TEST_F(property_program_test, a_file_not_in_the_vault_is_told_without_a_dialog) {
    EXPECT_EQ(program.run(utf8_of(folder / "other.txt")), 0);
    EXPECT_TRUE(dialog.shown_for.empty());
    EXPECT_EQ(told(), std::vector<std::string>{
                          "Quillmark Properties 1: File is not present in Quillmark Database."});
}

TEST_F(property_program_test, the_dialog_shows_the_vault_paths_and_selects_one) {
    dialog.act = [&](property_model& model, repository&) {
        select_vault_path(model, 1, prompts, nullptr);
        ASSERT_EQ(model.versions().size(), 1u);
        EXPECT_EQ(model.versions()[0].description, "O'Brien's copy");
    };
    EXPECT_EQ(program.run(utf8_of(report)), 0);
    EXPECT_EQ(dialog.shown_for, std::vector{utf8_of(report)});
    EXPECT_EQ(dialog.vault_paths,
              (std::vector<std::string>{"\\Letters\\report.txt", "\\Backup\\report.txt"}));
    EXPECT_EQ(dialog.selected, -1);
    EXPECT_TRUE(told().empty());
}

// Another program changed the vault while the dialog was open.
TEST_F(property_program_test, a_selection_that_fails_is_told_and_lists_nothing) {
    dialog.act = [&](property_model& model, repository& repo) {
        select_vault_path(model, 0, prompts, nullptr);
        const auto id = repo.catalogue().resolve("\\Backup\\report.txt")->file_id();
        repo.database().execute("DELETE FROM journal WHERE inode = ?", {id});
        select_vault_path(model, 1, prompts, nullptr);
        EXPECT_TRUE(model.versions().empty());
    };
    EXPECT_EQ(program.run(utf8_of(report)), 0);
    EXPECT_EQ(told(), std::vector<std::string>{
                          "Quillmark Properties 3: No such file or directory: report.txt"});
}

}  // namespace
}  // namespace tuv::property
