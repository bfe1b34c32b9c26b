#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/named_mutex.h"
#include "platform/wide_text.h"
#include "platform/windows_error.h"

namespace platform {

std::optional<named_mutex> named_mutex::try_acquire(const std::string& name,
                                                    std::chrono::milliseconds timeout) {
    if (!valid_mutex_name(name)) throw named_mutex_error("invalid mutex name \"" + name + "\"");
    const HANDLE handle = ::CreateMutexW(nullptr, FALSE, to_wide(name).c_str());
    if (handle == nullptr) {
        throw named_mutex_error("cannot create mutex " + name + ": " +
                                windows_error_text(::GetLastError()));
    }
    const auto wait = static_cast<DWORD>(
        std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1));
    switch (::WaitForSingleObject(handle, wait)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // its holder died holding it
            return named_mutex(handle);
        case WAIT_TIMEOUT:
            ::CloseHandle(handle);
            return std::nullopt;
        default: {
            const DWORD error = ::GetLastError();
            ::CloseHandle(handle);
            throw named_mutex_error("cannot wait for mutex " + name + ": " +
                                    windows_error_text(error));
        }
    }
}

named_mutex::named_mutex(named_mutex&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

named_mutex& named_mutex::operator=(named_mutex&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

named_mutex::~named_mutex() {
    release();
}

void named_mutex::release() noexcept {
    if (handle_ == nullptr) return;
    ::ReleaseMutex(handle_);
    ::CloseHandle(std::exchange(handle_, nullptr));
}

}  // namespace platform
