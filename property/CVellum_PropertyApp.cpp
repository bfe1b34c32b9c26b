#include "property/CVellum_PropertyApp.h"

#include <exception>

#include "core/vault/repository.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/version_rows.h"
#include "property/CVellum_PropertyDlg.h"
#include "property/property_model.h"

using tuv::gui::prompt_icon;

CVellum_PropertyApp::CVellum_PropertyApp(tuv::gui::prompter& prompter)
    : prompter_(prompter),
      open_([this](const std::string& db_path) {
          // The program only reads: it never takes the writer's part.
          repository_ = std::make_unique<tuv::repository>(db_path,
                                                          tuv::repository::access::read_only);
          return repository_.get();
      }),
      run_dialog_([](CVellum_PropertyDlg& dialog) { dialog.exec(); }) {}

CVellum_PropertyApp::~CVellum_PropertyApp() = default;

int CVellum_PropertyApp::run(const std::string& local_path) {
    std::string db_path;
    tuv::repository* repo = tuv::gui::open_registered_vault(
        prompter_, tuv::gui::caption_properties, open_, db_path);
    if (repo == nullptr) return 1;

    std::vector<std::string> vault_paths;
    try {
        vault_paths = tuv::gui::vault_paths_for(*repo, local_path);
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), tuv::gui::caption_properties,
                          prompt_icon::error);
        return 1;
    }
    // In this order: an empty path matches every entry of a vault that has
    // any, so an empty vault answers "not present" even then.
    if (vault_paths.empty()) {
        prompter_.message(nullptr, "File is not present in Quillmark Database.",
                          tuv::gui::caption_properties, prompt_icon::information);
        return 0;
    }
    if (local_path.empty()) {
        prompter_.message(nullptr, "Please select a file for checking Quillmark Status.",
                          tuv::gui::caption_properties, prompt_icon::information);
        return 0;
    }
    CVellum_PropertyDlg dialog(local_path, std::move(vault_paths), *repo, prompter_);
    run_dialog_(dialog);
    return 0;
}
