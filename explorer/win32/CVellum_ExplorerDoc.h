// The explorer's document in the Win32 explorer: the shared document
// (explorer_document) with its presentation in Win32. The main frame reloads
// its panes when the document asks; the check-in program is started with
// CreateProcessW and watched from a thread of its own, whose word comes back
// through the document's message-only window; long work runs with
// run_busy.
#pragma once

#include <windows.h>

#include <memory>

#include "explorer/explorer_document.h"

class CMainFrame;

namespace tuv::win32 {
class process_watch;
}

class CVellum_ExplorerDoc : private tuv::explorer::document_presentation,
                            public tuv::explorer::explorer_document {
  public:
    // Borrows the repository (may be null) and the prompter.
    CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts);
    ~CVellum_ExplorerDoc() override;

    // The frame that shows the document, borrowed until it is set to null;
    // without one nothing is shown.
    void set_frame(CMainFrame* frame) { frame_ = frame; }
    // Where the prompts of the document's windows are owned: the frame's
    // window, or null.
    HWND owner() const;

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    void reload_views() override;
    void recount_repository_size() override;
    void set_main_window_hidden(bool hidden) override;
    bool launch_checkin(const std::string& program,
                        const std::vector<std::string>& arguments) override;
    void run_in_background(const std::string& busy_text,
                           const std::function<void()>& work) override;

    CMainFrame* frame_ = nullptr;
    HWND messages_ = nullptr;
    std::unique_ptr<tuv::win32::process_watch> checkin_;
};
