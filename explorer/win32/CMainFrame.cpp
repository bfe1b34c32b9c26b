#include "explorer/win32/CMainFrame.h"

#include <windowsx.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <filesystem>

#include "core/base/utf8_path.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "explorer/repository_size.h"
#include "explorer/win32/CLeftView.h"
#include "explorer/win32/CSearchFiltters.h"
#include "explorer/win32/CVellum_ExplorerDoc.h"
#include "explorer/win32/CVellum_HView.h"
#include "explorer/win32/CVellum_ThinFrameSplitterWnd.h"
#include "explorer/win32/Quillmark_ExportDlg.h"
#include "explorer/win32/TFormView.h"
#include "explorer/win32/resource.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/win32/CAboutDlg.h"
#include "gui/win32/window_host.h"
#include "platform/program_folder.h"
#include "platform/wide_text.h"

namespace {

const wchar_t* const class_name = L"CMainFrame";
constexpr int first_width = 700;
constexpr int first_height = 500;
// A restored window smaller than this on a side snaps back to the first size.
constexpr int least_width = 690;
constexpr int least_height = 490;
constexpr int tree_width = 175;
constexpr int search_form_width = 190;
constexpr int bar_width = 4;  // between the columns; the one that can be dragged
constexpr UINT_PTR size_timer = 1;
constexpr UINT size_period_ms = 1000;
// Room in the status bar's size part beside its text, and for the grip.
constexpr int size_part_margin = 32;
const char* const help_file = "quillmark-help.html";

int text_width(HWND window, const std::wstring& text) {
    const HDC dc = ::GetDC(window);
    const HGDIOBJ before =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, before);
    ::ReleaseDC(window, dc);
    return size.cx;
}

}  // namespace

CMainFrame::CMainFrame(CVellum_ExplorerDoc& document)
    : document_(document), left_width_(tree_width) {
    tuv::win32::register_window_class<CMainFrame>(class_name, ::GetSysColorBrush(COLOR_BTNFACE));
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    window_ =
        ::CreateWindowExW(0, class_name, platform::to_wide(tuv::gui::caption_explorer).c_str(),
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                          first_width, first_height, nullptr,
                          ::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)), instance, this);
    if (window_ == nullptr) tuv::win32::throw_not_made(class_name);
    accelerators_ = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    status_ = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), instance, nullptr);
    // The tree first: on a refresh it rebuilds the history the list shows.
    tree_ = std::make_unique<CLeftView>(document_, window_, IDC_TREE);
    list_ = std::make_unique<CVellum_HView>(document_, window_, IDC_LIST);
    form_ = std::make_unique<tuv::win32::TFormView>(document_, window_);
    RECT form;
    ::GetWindowRect(form_->window(), &form);
    form_height_ = form.bottom - form.top;
    ::CheckMenuRadioItem(::GetMenu(window_), ID_VIEW_ALL_CHANGES, ID_VIEW_MODIFIED,
                         ID_VIEW_ALL_CHANGES, MF_BYCOMMAND);
    ::SetTimer(window_, size_timer, size_period_ms, nullptr);
    update_repository_size();
    layout();
}

CMainFrame::~CMainFrame() {
    search_list_.reset();
    search_form_.reset();
    search_pane_.reset();
    form_.reset();
    list_.reset();
    tree_.reset();
    if (window_ != nullptr) ::DestroyWindow(window_);
}

bool CMainFrame::translate(MSG& message) {
    if (window_ == nullptr) return false;
    if (accelerators_ != nullptr && ::TranslateAcceleratorW(window_, accelerators_, &message)) {
        return true;
    }
    return search_form_ && ::IsDialogMessageW(search_form_->window(), &message);
}

LRESULT CMainFrame::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == CSearchFiltters::close_message()) {
        if (search_pane_) toggle_search_pane();
        return 0;
    }
    switch (message) {
        case WM_NCCREATE:
            window_ = window;
            return ::DefWindowProcW(window, message, wparam, lparam);
        case WM_ACTIVATE:
            // The focus comes back where it was, not always to the list.
            if (LOWORD(wparam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus != nullptr && ::IsChild(window, focus)) focus_ = focus;
            } else if (focus_ != nullptr && ::IsWindow(focus_) && ::IsChild(window, focus_)) {
                ::SetFocus(focus_);
                return 0;
            }
            return ::DefWindowProcW(window, message, wparam, lparam);
        case WM_SIZE:
            if (wparam == SIZE_RESTORED && !sizing_) snap_size();
            layout();
            return 0;
        case WM_ENTERSIZEMOVE:
            sizing_ = true;
            return 0;
        case WM_EXITSIZEMOVE:
            sizing_ = false;
            snap_size();
            return 0;
        case WM_SETFOCUS:
            if (list_) ::SetFocus(list_->window());
            return 0;
        case WM_COMMAND:
            command(LOWORD(wparam));
            return 0;
        case WM_MENUSELECT:
            menu_selected(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HMENU>(lparam));
            return 0;
        case WM_TIMER:
            if (wparam == size_timer) update_repository_size();
            return 0;
        case WM_SETCURSOR: {
            POINT at;
            ::GetCursorPos(&at);
            ::ScreenToClient(window, &at);
            if (LOWORD(lparam) == HTCLIENT && on_bar(at)) {
                ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
                return TRUE;
            }
            return ::DefWindowProcW(window, message, wparam, lparam);
        }
        case WM_LBUTTONDOWN:
            if (on_bar({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)})) {
                dragging_ = true;
                ::SetCapture(window);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (dragging_) {
                left_width_ = GET_X_LPARAM(lparam);
                layout();
            }
            return 0;
        case WM_LBUTTONUP:
            if (dragging_) ::ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED:
            dragging_ = false;
            return 0;
        case WM_CLOSE:
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::KillTimer(window, size_timer);
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            window_ = nullptr;
            return ::DefWindowProcW(window, message, wparam, lparam);
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

void CMainFrame::command(UINT id) {
    switch (id) {
        case ID_FILE_CHECKIN:
            document_.check_in();
            break;
        case ID_FILE_ADD_CABINET:
            tree_->add_cabinet();
            break;
        case ID_FILE_EXPORT:
            export_vault();
            break;
        case ID_APP_EXIT:
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
            break;
        case ID_VIEW_ALL_CHANGES:
        case ID_VIEW_ADDED:
        case ID_VIEW_MODIFIED:
            set_change_type(id);
            break;
        case ID_VIEW_REFRESH:
            document_.refresh();
            break;
        case ID_SEARCH:
            toggle_search_pane();
            break;
        case ID_HELP_CONTENTS:
            show_help();
            break;
        case ID_APP_ABOUT:
            tuv::win32::CAboutDlg(tuv::gui::explorer_about).run(window_);
            break;
    }
}

void CMainFrame::set_change_type(UINT id) {
    ::CheckMenuRadioItem(::GetMenu(window_), ID_VIEW_ALL_CHANGES, ID_VIEW_MODIFIED, id,
                         MF_BYCOMMAND);
    document_.set_change_type(id == ID_VIEW_ADDED      ? tuv::CHANGE_CREATED
                              : id == ID_VIEW_MODIFIED ? tuv::CHANGE_MODIFIED
                                                       : 0);
}

void CMainFrame::export_vault() {
    document_.export_vault([this]() -> std::optional<tuv::explorer::export_choice> {
        Quillmark_ExportDlg dialog(document_.prompts());
        if (!dialog.run(window_)) return std::nullopt;
        return tuv::explorer::export_choice{dialog.destination(), dialog.mode()};
    });
}

void CMainFrame::show_help() {
    // Beside the program, in the build tree as installed.
    const std::filesystem::path page = platform::program_folder() / help_file;
    const auto opened = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(window_, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32) {
        document_.prompts().message(window_,
                                    "The help page " + tuv::utf8_of(page) + " could not be opened.",
                                    tuv::gui::caption_explorer, tuv::gui::prompt_icon::error);
    }
}

void CMainFrame::menu_selected(UINT item, UINT flags, HMENU menu) {
    // A command's prompt is the string of its id; a closed menu, a popup's
    // title and a separator have none.
    wchar_t prompt[256] = {};
    const bool closed = flags == 0xFFFF && menu == nullptr;
    if (!closed && !(flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU))) {
        ::LoadStringW(::GetModuleHandleW(nullptr), item, prompt,
                      static_cast<int>(std::size(prompt)));
    }
    ::SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(prompt));
}

void CMainFrame::reload_views() {
    tree_->views_changed();
    list_->views_changed();
    if (search_list_) search_list_->views_changed();
    form_->views_changed();
}

void CMainFrame::set_hidden(bool hidden) {
    if (hidden) {
        ::ShowWindow(window_, SW_HIDE);
        return;
    }
    ::ShowWindow(window_, SW_SHOW);
    ::BringWindowToTop(window_);
    ::SetForegroundWindow(window_);
}

void CMainFrame::toggle_search_pane() {
    if (search_pane_) {
        search_list_.reset();
        search_form_.reset();
        search_pane_.reset();
        ::ShowWindow(tree_->window(), SW_SHOW);
        left_width_ -= search_form_width;
        layout();
        ::SetFocus(list_->window());
        return;
    }
    search_pane_ = std::make_unique<CVellum_ThinFrameSplitterWnd>(window_, IDC_SEARCH_PANE);
    search_form_ = std::make_unique<CSearchFiltters>(document_, search_pane_->window());
    search_list_ =
        std::make_unique<CVellum_HView>(document_, search_pane_->window(), IDC_SEARCH_LIST);
    search_pane_->set_panes(search_form_->window(), search_form_width, search_list_->window());
    ::ShowWindow(tree_->window(), SW_HIDE);
    // The form comes beside the column the tree had; the list takes that.
    left_width_ += search_form_width;
    layout();
    ::SetFocus(::GetDlgItem(search_form_->window(), IDC_SEARCH_NAME));
}

void CMainFrame::update_repository_size() {
    if (!count_size_ || document_.vault() == nullptr) return;
    count_size_ = false;
    if (const auto bytes = tuv::explorer::vault_repository_bytes(*document_.vault())) {
        show_size(tuv::explorer::repository_size_text(*bytes));
    }
}

void CMainFrame::show_size(const std::string& text) {
    size_text_ = text;
    layout();
    ::SendMessageW(status_, SB_SETTEXTW, 1,
                   reinterpret_cast<LPARAM>(platform::to_wide(size_text_).c_str()));
}

void CMainFrame::layout() {
    if (!tree_ || !list_ || !form_ || status_ == nullptr) return;  // still being made
    RECT client;
    ::GetClientRect(window_, &client);
    ::SendMessageW(status_, WM_SIZE, 0, 0);
    RECT status;
    ::GetWindowRect(status_, &status);
    const int size_part = text_width(status_, platform::to_wide(size_text_)) + size_part_margin;
    const int parts[] = {std::max<int>(0, client.right - size_part), -1};
    ::SendMessageW(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

    const int height = std::max<int>(0, client.bottom - (status.bottom - status.top));
    keep_tree_width(client.right);
    const HWND left = search_pane_ ? search_pane_->window() : tree_->window();
    ::MoveWindow(left, 0, 0, left_width_, height, TRUE);
    // The list above the time line, which keeps its height.
    const int right = left_width_ + bar_width;
    const int width = std::max(0, static_cast<int>(client.right) - right);
    const int list_height = std::max(0, height - form_height_ - bar_width);
    ::MoveWindow(list_->window(), right, 0, width, list_height, TRUE);
    ::MoveWindow(form_->window(), right, height - form_height_, width, form_height_, TRUE);
}

void CMainFrame::keep_tree_width(int width) {
    // The search form's fixed width comes on top of the column's share.
    const int form = search_pane_ ? search_form_width : 0;
    const int room = width - bar_width - form;
    if (room <= 0) return;
    left_width_ = std::clamp(left_width_, form + room / 10, form + room * 2 / 5);
}

bool CMainFrame::on_bar(POINT at) const {
    RECT status;
    ::GetWindowRect(status_, &status);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&status), 2);
    return at.x >= left_width_ && at.x < left_width_ + bar_width && at.y < status.top;
}

void CMainFrame::snap_size() {
    if (::IsIconic(window_) || ::IsZoomed(window_)) return;
    RECT frame;
    ::GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int snapped_width = width < least_width ? first_width : width;
    const int snapped_height = height < least_height ? first_height : height;
    if (snapped_width == width && snapped_height == height) return;
    ::SetWindowPos(window_, nullptr, 0, 0, snapped_width, snapped_height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
