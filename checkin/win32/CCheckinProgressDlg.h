// The progress window of the check-in under Win32 (template IDD_PROGRESS):
// modeless, shown from construction to destruction; its caption says the
// percentage, its lines what is happening and which file, its bar how far
// the file has come. run() pumps the program's messages while the work
// goes on on a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "checkin/checkin_program.h"

namespace tuv::win32 {

class CCheckinProgressDlg : public checkin_app::checkin_progress {
  public:
    // Makes and shows the window; throws std::runtime_error when it cannot
    // be made. Must be made, run and destroyed on one GUI thread.
    CCheckinProgressDlg();
    ~CCheckinProgressDlg() override;
    CCheckinProgressDlg(const CCheckinProgressDlg&) = delete;
    CCheckinProgressDlg& operator=(const CCheckinProgressDlg&) = delete;

    // Rethrows, on this thread, what `work` threw.
    void run(const std::function<void()>& work, const std::function<void()>& cancel) override;
    void show(const checkin_app::progress_state& state, std::size_t count,
              const std::string& name) override;
    gui::native_window window() override { return window_; }

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    struct shown {
        checkin_app::progress_state state;
        std::size_t count = 0;
        std::string name;
    };

    void update();
    void cancel_pressed();

    HWND window_ = nullptr;
    const std::function<void()>* cancel_ = nullptr;  // during run()
    std::mutex mutex_;
    shown latest_;                     // guarded by mutex_
    std::atomic<bool> posted_{false};  // an update is on its way to the window
};

}  // namespace tuv::win32
