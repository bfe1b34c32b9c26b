#include "gui/win32/dialog_host.h"

#include "gui/win32/dialog_items.h"
#include "platform/wide_text.h"

namespace tuv::win32 {

void show_failure(HWND window, const std::exception& error) noexcept {
    try {
        ::MessageBoxW(window, platform::to_wide(error.what()).c_str(),
                      platform::to_wide(window_text(window)).c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory for the text: nothing more can be said.
    }
}

}  // namespace tuv::win32
