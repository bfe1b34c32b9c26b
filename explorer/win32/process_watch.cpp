#include "explorer/win32/process_watch.h"

namespace tuv::win32 {

process_watch::process_watch(HANDLE process, HWND window, UINT message)
    : process_(process), stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    waiter_ = std::thread([this, window, message] {
        const HANDLE handles[] = {process_, stop_};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
            ::PostMessageW(window, message, 0, 0);
        }
    });
}

process_watch::~process_watch() {
    ::SetEvent(stop_);
    waiter_.join();
    ::CloseHandle(stop_);
    ::CloseHandle(process_);
}

}  // namespace tuv::win32
