#include "explorer/CVellum_ExplorerApp.h"

#include <QApplication>
#include <QSettings>
#include <chrono>

#include "core/vault/repository.h"
#include "explorer/CMainFrame.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/temp_folder.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

using tuv::gui::prompt_icon;

namespace {

// The lock that keeps to one explorer, named after its window's title.
const char* const instance_name = "Quillmark_Explorer";

}  // namespace

CVellum_ExplorerApp::CVellum_ExplorerApp(tuv::gui::prompter& prompter)
    : prompter_(prompter), open_(tuv::open_repository) {}

CVellum_ExplorerApp::~CVellum_ExplorerApp() = default;

CMainFrame* CVellum_ExplorerApp::start(int& exit_code) {
    exit_code = 1;
    try {
        instance_ = platform::named_mutex::try_acquire(instance_name, std::chrono::milliseconds(0));
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), tuv::gui::caption_explorer, prompt_icon::error);
        return nullptr;
    }
    if (!instance_) {
        prompter_.message(nullptr, "One Instance of Quillmark Explorer is already running!",
                          tuv::gui::caption_explorer, prompt_icon::information);
        exit_code = 0;
        return nullptr;
    }
    try {
        const CRegistry registry(platform::registry_root::current_user, platform::quillmark_key);
        if (!registry.is_open()) {
            prompter_.message(nullptr, "Unable to open registry", tuv::gui::caption_explorer,
                              prompt_icon::error);
            return nullptr;
        }
        std::string temp_dir;
        registry.query(platform::temp_dir_value, temp_dir);
        tuv::explorer::clear_view_folder(temp_dir);
    } catch (const std::runtime_error&) {
        prompter_.message(nullptr, tuv::gui::support_error_text, tuv::gui::caption_explorer,
                          prompt_icon::error);
        return nullptr;
    }
    std::string db_path;
    tuv::repository* repo =
        tuv::gui::open_registered_vault(prompter_, tuv::gui::caption_explorer, open_, db_path);
    if (repo == nullptr) return nullptr;

    document_ = std::make_unique<CVellum_ExplorerDoc>(repo, prompter_);
    frame_ = std::make_unique<CMainFrame>(*document_);
    document_->go_to(document_->root_location());
    exit_code = 0;
    return frame_.get();
}

int CVellum_ExplorerApp::run() {
    int exit_code = 0;
    CMainFrame* frame = start(exit_code);
    if (frame == nullptr) return exit_code;
    QSettings settings;
    frame->restore_layout(settings);
    frame->show();
    const int code = QApplication::exec();
    frame->save_layout(settings);
    return code;
}
