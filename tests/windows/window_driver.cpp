#include "tests/windows/window_driver.h"

#include <commctrl.h>

#include <chrono>
#include <stdexcept>

#include "platform/wide_text.h"

namespace tuv::test {
namespace {

constexpr auto bound = std::chrono::seconds(30);
constexpr UINT bound_ms = 30000;

struct search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK find_captioned(HWND window, LPARAM data) {
    auto* wanted = reinterpret_cast<search*>(data);
    wchar_t caption[512] = {};
    // Read without a message: the thread may be busy.
    ::InternalGetWindowText(window, caption, static_cast<int>(std::size(caption)));
    if (!::IsWindowVisible(window) || wanted->caption != caption) return TRUE;
    wanted->found = window;
    return FALSE;
}

HTREEITEM next_item(HWND tree, WPARAM which, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        send(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(item)));
}

std::string tree_item_text(HWND tree, HTREEITEM item) {
    wchar_t text[512] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = static_cast<int>(std::size(text));
    send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return platform::to_utf8(data.pszText);
}

BOOL CALLBACK add_static_text(HWND child, LPARAM texts) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, static_cast<int>(std::size(name)));
    if (std::wstring(name) == L"Static" && ::GetWindowTextLengthW(child) > 0) {
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text_of(child));
    }
    return TRUE;
}

BOOL CALLBACK close_window(HWND window, LPARAM) {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

window_driver::window_driver(script run) : tested_thread_(::GetCurrentThreadId()) {
    thread_ = std::thread([this, run = std::move(run)] {
        try {
            run(*this);
        } catch (const std::exception& error) {
            failure_ = error.what();
            while (!returned_) {
                ::EnumThreadWindows(tested_thread_, close_window, 0);
                ::Sleep(50);
            }
        }
    });
}

window_driver::~window_driver() {
    if (thread_.joinable()) finish();
}

std::string window_driver::finish() {
    returned_ = true;
    thread_.join();
    return failure_;
}

void window_driver::wait_until(const std::function<bool()>& condition,
                               const std::string& what) const {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (returned_) throw std::runtime_error("the code under test returned before " + what);
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("still waiting for " + what);
        }
        ::Sleep(10);
    }
}

HWND window_driver::wait_for(const std::string& caption) const {
    search wanted{platform::to_wide(caption)};
    wait_until(
        [&] {
            ::EnumThreadWindows(tested_thread_, find_captioned, reinterpret_cast<LPARAM>(&wanted));
            return wanted.found != nullptr;
        },
        "the window \"" + caption + "\"");
    return wanted.found;
}

void window_driver::wait_gone(HWND window) const {
    wait_until([window] { return !::IsWindow(window); }, "a window to close");
}

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, bound_ms, &result)) {
        throw std::runtime_error("a window did not answer message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

std::string text_of(HWND window) {
    std::wstring text(static_cast<std::size_t>(send(window, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return platform::to_utf8(text);
}

std::string item_text(HWND dialog, int id) {
    return text_of(::GetDlgItem(dialog, id));
}

void set_item_text(HWND dialog, int id, const std::string& text) {
    const std::wstring wide_text = platform::to_wide(text);
    send(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide_text.c_str()));
}

std::vector<std::string> static_texts(HWND window) {
    std::vector<std::string> texts;
    ::EnumChildWindows(window, add_static_text, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void click(HWND dialog, int id) {
    send(::GetDlgItem(dialog, id), BM_CLICK);
}

void press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::vector<std::string> child_texts(HWND tree, HTREEITEM item) {
    std::vector<std::string> texts;
    for (HTREEITEM child = next_item(tree, TVGN_CHILD, item); child != nullptr;
         child = next_item(tree, TVGN_NEXT, child)) {
        texts.push_back(tree_item_text(tree, child));
    }
    return texts;
}

HTREEITEM child_named(HWND tree, HTREEITEM item, const std::string& text) {
    HTREEITEM child = next_item(tree, TVGN_CHILD, item);
    while (child != nullptr && tree_item_text(tree, child) != text) {
        child = next_item(tree, TVGN_NEXT, child);
    }
    return child;
}

void set_moment(HWND picker, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME moment{};
    moment.wYear = year;
    moment.wMonth = month;
    moment.wDay = day;
    moment.wHour = hour;
    moment.wMinute = minute;
    moment.wSecond = second;
    send(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&moment));
}

}  // namespace tuv::test
