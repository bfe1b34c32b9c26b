// Long work off the window's thread: the work runs on a worker thread while
// the calling (window) thread goes on painting and answering timers and sent
// messages, and input waits in its queue until the work is done, so nothing
// else reaches the vault meanwhile. Once the work has run for half a
// second, a small window (IDD_BUSY, "Quillmark Explorer") says what is being
// done.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tuv::win32 {

// Runs `work` as above, the busy window over `owner` (may be null); what
// `work` throws is thrown again here.
void run_busy(HWND owner, const std::string& busy_text, const std::function<void()>& work);

}  // namespace tuv::win32
