// Plays the person at the windows that a test's own thread shows. The test's
// thread runs the code under test, whose dialogs pump its messages; the
// script runs on a thread of its own and reaches the windows through
// messages, waiting for each window with a generous bound.
//
// A script records what it sees for the test to check afterwards; it
// throws only when it cannot go on (a window that never comes). Then it
// closes every window of the test's thread until the code under test has
// returned, so that the test ends and says why.
#pragma once

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tuv::test {

class window_driver {
  public:
    using script = std::function<void(window_driver&)>;

    // Starts `run` at once, for the windows of the calling thread.
    explicit window_driver(script run);
    ~window_driver();
    window_driver(const window_driver&) = delete;
    window_driver& operator=(const window_driver&) = delete;

    // To be called once the code under test has returned: waits for the
    // script and returns why it failed, empty when it did not.
    std::string finish();

    // A visible top-level window of the test's thread with this caption.
    HWND wait_for(const std::string& caption) const;
    // Until `window` is gone.
    void wait_gone(HWND window) const;
    // Until `condition` holds; `what` says what was awaited.
    void wait_until(const std::function<bool()>& condition, const std::string& what) const;

  private:
    DWORD tested_thread_;
    std::atomic<bool> returned_{false};
    std::string failure_;
    std::thread thread_;
};

// Messages to a window of another thread, which must answer within the
// bound (std::runtime_error otherwise).
LRESULT send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
std::string text_of(HWND window);
std::string item_text(HWND dialog, int id);
void set_item_text(HWND dialog, int id, const std::string& text);
// The texts of a window's static controls that have any, in order: what
// a message box says.
std::vector<std::string> static_texts(HWND window);
// Clicks a button and returns once the click has been handled.
void click(HWND dialog, int id);
// The texts of a window's static controls that have any, in order: what
// a message box says.
std::vector<std::string> static_texts(HWND window);
// Clicks a button and returns at once: for a button that opens a modal
// window or ends the dialog.
void press(HWND dialog, int id);

// The texts of a tree item's children ("" for an item without text), and
// the child with the given text (null when none).
std::vector<std::string> child_texts(HWND tree, HTREEITEM item);
HTREEITEM child_named(HWND tree, HTREEITEM item, const std::string& text);

// Sets a date and time picker.
void set_moment(HWND picker, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

}  // namespace tuv::test
