#include "explorer/CVellum_ExplorerApp.h"

#include <QApplication>
#include <QSettings>

#include "core/vault/repository.h"
#include "explorer/CMainFrame.h"
#include "explorer/CVellum_ExplorerDoc.h"

CVellum_ExplorerApp::CVellum_ExplorerApp(tuv::gui::prompter& prompter)
    : prompter_(prompter), open_(tuv::open_repository) {}

CVellum_ExplorerApp::~CVellum_ExplorerApp() = default;

CMainFrame* CVellum_ExplorerApp::start(int& exit_code) {
    session_ = tuv::explorer::start_explorer(prompter_, open_, exit_code);
    if (!session_) return nullptr;
    document_ = std::make_unique<CVellum_ExplorerDoc>(session_->vault, prompter_);
    frame_ = std::make_unique<CMainFrame>(*document_);
    document_->go_to(document_->root_location());
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
