// Waits, on a thread of its own, for a started program to end, and then
// posts `message` to `window` so that the window's thread learns of it.
// Destroying the watch stops the waiting (the program goes on) and posts
// nothing more.
#pragma once

#include <windows.h>

#include <thread>

namespace tuv::win32 {

class process_watch {
  public:
    // Takes the process handle over.
    process_watch(HANDLE process, HWND window, UINT message);
    ~process_watch();
    process_watch(const process_watch&) = delete;
    process_watch& operator=(const process_watch&) = delete;

  private:
    HANDLE process_;
    HANDLE stop_;
    std::thread waiter_;
};

}  // namespace tuv::win32
