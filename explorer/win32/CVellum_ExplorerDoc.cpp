#include "explorer/win32/CVellum_ExplorerDoc.h"

#include "core/base/utf8_path.h"
#include "explorer/win32/CMainFrame.h"
#include "explorer/win32/busy_work.h"
#include "explorer/win32/process_watch.h"
#include "gui/win32/window_host.h"
#include "platform/wide_text.h"
#include "platform/windows_command_line.h"

namespace {

const wchar_t* const class_name = L"CVellum_ExplorerDoc";
constexpr UINT checkin_ended_message = WM_APP + 1;

}  // namespace

CVellum_ExplorerDoc::CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts)
    : explorer_document(repo, prompts, *this) {
    tuv::win32::register_window_class<CVellum_ExplorerDoc>(class_name);
    messages_ = tuv::win32::create_window(*this, class_name, L"", 0, 0, HWND_MESSAGE);
}

CVellum_ExplorerDoc::~CVellum_ExplorerDoc() {
    // A running check-in program goes on without us; only our watch ends.
    checkin_.reset();
    ::DestroyWindow(messages_);
}

HWND CVellum_ExplorerDoc::owner() const {
    return frame_ != nullptr ? frame_->window() : nullptr;
}

LRESULT CVellum_ExplorerDoc::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != checkin_ended_message) return ::DefWindowProcW(window, message, wparam, lparam);
    checkin_.reset();
    checkin_ended();
    return 0;
}

void CVellum_ExplorerDoc::reload_views() {
    if (frame_ != nullptr) frame_->reload_views();
}

void CVellum_ExplorerDoc::recount_repository_size() {
    if (frame_ != nullptr) frame_->request_size_count();
}

void CVellum_ExplorerDoc::set_main_window_hidden(bool hidden) {
    if (frame_ != nullptr) frame_->set_hidden(hidden);
}

bool CVellum_ExplorerDoc::launch_checkin(const std::string& program,
                                         const std::vector<std::string>& arguments) {
    // Every argument whole: the check-in program splits the line again.
    std::wstring line = platform::to_wide(platform::windows_command_line(program, arguments));
    line.push_back(L'\0');  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(tuv::path_from_utf8(program).c_str(), line.data(), nullptr, nullptr,
                          FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    ::CloseHandle(started.hThread);
    checkin_ = std::make_unique<tuv::win32::process_watch>(started.hProcess, messages_,
                                                           checkin_ended_message);
    return true;
}

void CVellum_ExplorerDoc::run_in_background(const std::string& busy_text,
                                            const std::function<void()>& work) {
    tuv::win32::run_busy(owner(), busy_text, work);
}
