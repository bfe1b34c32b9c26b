#include "checkin/win32/CCheckinProgressDlg.h"

#include <commctrl.h>

#include <exception>
#include <optional>
#include <stdexcept>
#include <thread>

#include "checkin/win32/resource.h"
#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

namespace tuv::win32 {
namespace {

// Posted by show(): the latest state is waiting to be shown.
constexpr UINT show_message = WM_APP + 1;
// Posted by the worker when the work has ended, to wake the loop.
constexpr UINT done_message = WM_APP + 2;

constexpr const char* cancel_text = "&Cancel";

}  // namespace

CCheckinProgressDlg::CCheckinProgressDlg() {
    if (create_modeless(*this, IDD_PROGRESS, nullptr) == nullptr) {
        throw std::runtime_error("The progress window could not be made (error " +
                                 std::to_string(::GetLastError()) + ").");
    }
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
}

CCheckinProgressDlg::~CCheckinProgressDlg() {
    ::DestroyWindow(window_);
}

INT_PTR CCheckinProgressDlg::handle(HWND window, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            set_app_icons(window);
            ::SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
            update();
            return TRUE;
        case show_message:
            update();
            return TRUE;
        case WM_COMMAND:
            // Closing the window is asking to cancel too.
            if (LOWORD(wparam) == IDCANCEL) {
                cancel_pressed();
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void CCheckinProgressDlg::run(const std::function<void()>& work,
                              const std::function<void()>& cancel) {
    cancel_ = &cancel;
    ::EnableWindow(::GetDlgItem(window_, IDCANCEL), TRUE);
    set_item_text(window_, IDCANCEL, cancel_text);

    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        ::PostMessageW(window_, done_message, 0, 0);
    });
    // The window (and any other of this thread) keeps answering meanwhile.
    std::optional<int> quit;
    MSG message;
    while (!done) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // Ending the program: stop the work, and end once it has stopped.
            quit = static_cast<int>(message.wParam);
            cancel_pressed();
            continue;
        }
        if (!::IsDialogMessageW(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    worker.join();
    cancel_ = nullptr;
    if (quit) ::PostQuitMessage(*quit);
    if (failure) std::rethrow_exception(failure);
}

void CCheckinProgressDlg::show(const checkin_app::progress_state& state, std::size_t count,
                               const std::string& name) {
    {
        const std::lock_guard lock(mutex_);
        latest_ = {state, count, name};
    }
    // One message at a time is enough: it shows the latest state.
    if (!posted_.exchange(true)) ::PostMessageW(window_, show_message, 0, 0);
}

void CCheckinProgressDlg::update() {
    posted_ = false;
    shown now;
    {
        const std::lock_guard lock(mutex_);
        now = latest_;
    }
    set_window_text(window_, checkin_app::progress_caption(now.state.percent));
    set_item_text(
        window_, IDC_PROGRESS_NOTE,
        now.state.waiting ? checkin_app::progress_waiting_note : checkin_app::progress_note);
    set_item_text(window_, IDC_PROGRESS_FILE,
                  now.count == 0
                      ? std::string()
                      : checkin_app::progress_file_text(now.state.file + 1, now.count, now.name));
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, now.state.percent, 0);
}

void CCheckinProgressDlg::cancel_pressed() {
    const HWND button = ::GetDlgItem(window_, IDCANCEL);
    if (cancel_ == nullptr || !::IsWindowEnabled(button)) return;
    set_item_text(window_, IDCANCEL, checkin_app::cancelling_text);
    ::EnableWindow(button, FALSE);
    (*cancel_)();
}

}  // namespace tuv::win32
