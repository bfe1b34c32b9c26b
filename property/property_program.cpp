#include "property/property_program.h"

#include <exception>

#include "core/vault/repository.h"
#include "gui/captions.h"
#include "gui/checkout_sequence.h"
#include "gui/version_rows.h"
#include "property/property_model.h"

namespace tuv::property {
namespace {

void tell(const std::exception& error, gui::prompter& prompter, gui::native_window owner) {
    prompter.message(owner, error.what(), gui::caption_properties, gui::prompt_icon::error);
}

}  // namespace

property_program::property_program(gui::prompter& prompter, property_windows& windows)
    : prompter_(prompter), windows_(windows), open_([this](const std::string& db_path) {
          // The program only reads: it never takes the writer's part.
          repository_ = std::make_unique<repository>(db_path, repository::access::read_only);
          return repository_.get();
      }) {}

property_program::~property_program() = default;

int property_program::run(const std::string& local_path) {
    std::string db_path;
    repository* repo =
        gui::open_registered_vault(prompter_, gui::caption_properties, open_, db_path);
    if (repo == nullptr) return 1;

    std::vector<std::string> vault_paths;
    try {
        vault_paths = gui::vault_paths_for(*repo, local_path);
    } catch (const std::exception& error) {
        tell(error, prompter_, nullptr);
        return 1;
    }
    // In this order: an empty path matches every entry of a vault that has
    // any, so an empty vault answers "not present" even then.
    if (vault_paths.empty()) {
        prompter_.message(nullptr, not_present_text, gui::caption_properties,
                          gui::prompt_icon::information);
        return 0;
    }
    if (local_path.empty()) {
        prompter_.message(nullptr, no_file_text, gui::caption_properties,
                          gui::prompt_icon::information);
        return 0;
    }
    property_model model(*repo, std::move(vault_paths));
    windows_.show_dialog(local_path, model, *repo);
    return 0;
}

void select_vault_path(property_model& model, int index, gui::prompter& prompter,
                       gui::native_window owner) {
    try {
        model.select(index);
    } catch (const std::exception& error) {
        tell(error, prompter, owner);
    }
}

void check_out_rows(property_model& model, repository& repo, std::vector<int> rows,
                    gui::prompter& prompter, gui::native_window owner) {
    // The checkout shows its own failures; this is what surrounds it (a save
    // dialog that failed).
    try {
        gui::checkout_to_local_file(repo, prompter, owner, model.checkout_rows(std::move(rows)),
                                    gui::properties_policy);
    } catch (const std::exception& error) {
        tell(error, prompter, owner);
    }
}

}  // namespace tuv::property
