#include "explorer/win32/CVellum_ExplorerApp.h"

#include <windows.h>

#include "core/base/errors.h"
#include "explorer/win32/CLeftView.h"
#include "explorer/win32/CMainFrame.h"
#include "explorer/win32/CVellum_ExplorerDoc.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/wide_text.h"

CVellum_ExplorerApp::CVellum_ExplorerApp(tuv::gui::prompter& prompter, tuv::gui::vault_opener open)
    : prompter_(prompter), open_(std::move(open)) {}

CVellum_ExplorerApp::~CVellum_ExplorerApp() {
    if (document_) document_->set_frame(nullptr);
    frame_.reset();
    document_.reset();
}

int CVellum_ExplorerApp::run() {
    // Another explorer's window, whoever started it.
    if (::FindWindowW(nullptr, platform::to_wide(tuv::gui::caption_explorer).c_str()) != nullptr) {
        prompter_.message(nullptr, tuv::explorer::already_running_text, tuv::gui::caption_explorer,
                          tuv::gui::prompt_icon::information);
        return 0;
    }
    int exit_code = 0;
    session_ = tuv::explorer::start_explorer(prompter_, open_, exit_code);
    if (!session_) return exit_code;
    document_ = std::make_unique<CVellum_ExplorerDoc>(session_->vault, prompter_);
    frame_ = std::make_unique<CMainFrame>(*document_);
    document_->set_frame(frame_.get());
    frame_->tree().go_to_location(document_->root_location());
    ::ShowWindow(frame_->window(), SW_SHOWNORMAL);
    ::UpdateWindow(frame_->window());

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (frame_->translate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
