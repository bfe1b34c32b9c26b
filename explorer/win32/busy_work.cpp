#include "explorer/win32/busy_work.h"

#include <commctrl.h>

#include <chrono>
#include <exception>
#include <thread>

#include "explorer/win32/resource.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

namespace tuv::win32 {
namespace {

constexpr auto busy_delay = std::chrono::milliseconds(500);
// Bounds the paints of one wake, should a window never validate itself.
constexpr int paints_per_wake = 100;

class busy_window {
  public:
    explicit busy_window(std::string text) : text_(std::move(text)) {}
    ~busy_window() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    busy_window(const busy_window&) = delete;
    busy_window& operator=(const busy_window&) = delete;

    // Once: a window that cannot be made leaves the work to end unseen.
    void show(HWND owner) {
        tried_ = true;
        window_ = create_modeless(*this, IDD_BUSY, owner);
        if (window_ != nullptr) ::ShowWindow(window_, SW_SHOWNA);
    }
    bool tried() const { return tried_; }

    INT_PTR handle(HWND window, UINT message, WPARAM, LPARAM) {
        if (message != WM_INITDIALOG) return FALSE;
        set_item_text(window, IDC_BUSY_TEXT, text_);
        ::SendDlgItemMessageW(window, IDC_BUSY_BAR, PBM_SETMARQUEE, TRUE, 0);
        return FALSE;
    }

  private:
    std::string text_;
    HWND window_ = nullptr;
    bool tried_ = false;
};

// What the window thread does meanwhile: paints, timers, and the messages
// that other threads send, which would otherwise wait for it.
void pump_output() {
    MSG message;
    for (int i = 0;
         i < paints_per_wake && ::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i) {
        ::DispatchMessageW(&message);
    }
    while (::PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        ::DispatchMessageW(&message);
    }
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

void run_busy(HWND owner, const std::string& busy_text, const std::function<void()>& work) {
    const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        ::SetEvent(done);
    });
    busy_window busy(busy_text);
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        DWORD wait = INFINITE;
        if (!busy.tried()) {
            const auto left = busy_delay - (std::chrono::steady_clock::now() - started);
            if (left <= std::chrono::milliseconds(0)) {
                busy.show(owner);
                continue;
            }
            wait = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
        }
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &done, FALSE, wait,
                                                       QS_PAINT | QS_TIMER | QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_OBJECT_0 + 1) {
            pump_output();
        } else if (woke == WAIT_FAILED) {
            // Nothing can be drawn meanwhile, but the work still ends.
            ::WaitForSingleObject(done, INFINITE);
            break;
        }
    }
    worker.join();
    ::CloseHandle(done);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tuv::win32
