#include "explorer/win32/CVellum_HView.h"

#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/base/errors.h"
#include "explorer/explorer_document.h"
#include "explorer/view_commands.h"
#include "explorer/win32/CVellumCheckout.h"
#include "explorer/win32/CVellumProperties.h"
#include "explorer/win32/CVellum_ExplorerDoc.h"
#include "explorer/win32/popup_menu.h"
#include "explorer/win32/resource.h"
#include "gui/prompter.h"
#include "gui/win32/window_host.h"
#include "platform/wide_text.h"

using namespace tuv::explorer;

namespace {

const wchar_t* const class_name = L"CVellum_HView";
// Asks the view to show the next page, once the list has drawn its last row.
constexpr UINT show_more_message = WM_APP + 1;

// In pixels, as the Qt list has them.
constexpr int versions_name_width = 200;
constexpr int least_width = 100;
constexpr int count_width = 100;
constexpr int least_date_width = 125;
constexpr int date_padding = 16;
// Beside a column's title in its header.
constexpr int title_padding = 24;

// The desktop's default program for the file; false when there is none.
bool open_with_desktop(const std::filesystem::path& file) {
    const auto started = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return started > 32;
}

int text_width(HWND window, const wchar_t* text) {
    const HDC dc = ::GetDC(window);
    const HGDIOBJ before =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    ::SelectObject(dc, before);
    ::ReleaseDC(window, dc);
    return size.cx;
}

void say(CVellum_ExplorerDoc& document, HWND owner, const tuv::tuv_error& error) {
    document.prompts().message(owner, error.what(), caption_error,
                               tuv::gui::prompt_icon::exclamation);
}

}  // namespace

CVellum_HView::CVellum_HView(CVellum_ExplorerDoc& document, HWND parent, int id)
    : document_(document), rows_(document) {
    tuv::win32::register_window_class<CVellum_HView>(class_name);
    window_ =
        tuv::win32::create_window(*this, class_name, L"", WS_CHILD | WS_VISIBLE, 0, parent, id);
    list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                  LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                              0, 0, 0, 0, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VIEW_CONTROL)),
                              ::GetModuleHandleW(nullptr), nullptr);
    if (list_ == nullptr) tuv::win32::throw_not_made(WC_LISTVIEWW);
    const LPARAM styles = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    ::SetWindowSubclass(list_, list_procedure, 0, reinterpret_cast<DWORD_PTR>(this));
    ::DragAcceptFiles(list_, TRUE);
    if (document_.vault() != nullptr) {
        choose_ = checkout_dialog_chooser(*document_.vault(), document_.prompts(),
                                          [this] { return owner(); });
    }
    // A list made after the others (the search pane's) shows the state now.
    reload();
}

CVellum_HView::~CVellum_HView() {
    if (!::IsWindow(window_)) return;
    ::RemoveWindowSubclass(list_, list_procedure, 0);
    ::DestroyWindow(window_);
}

LRESULT CVellum_HView::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            ::MoveWindow(list_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            fit_columns();
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(list_);
            return 0;
        case WM_NOTIFY:
            return notify(*reinterpret_cast<NMHDR*>(lparam));
        case WM_CONTEXTMENU:
            show_menu(lparam);
            return 0;
        case WM_COMMAND:
            command(LOWORD(wparam));
            return 0;
        case show_more_message:
            show_more();
            return 0;
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

void CVellum_HView::views_changed() {
    reload();
}

void CVellum_HView::reload() {
    try {
        rows_.reload();
    } catch (const tuv::tuv_error& error) {
        say(document_, owner(), error);
    }
    more_asked_ = false;
    set_columns();
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.shown()), 0);
    ::InvalidateRect(list_, nullptr, TRUE);
}

void CVellum_HView::show_more() {
    more_asked_ = false;
    const std::size_t more = rows_.read_next_page();
    if (more == 0) return;
    rows_.show_next(more);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.shown()),
                            LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void CVellum_HView::set_columns() {
    const std::vector<std::string>& titles = rows_.column_titles();
    if (titles == titles_) return;
    while (ListView_DeleteColumn(list_, 0)) {
    }
    for (std::size_t at = 0; at < titles.size(); ++at) {
        const std::wstring title = platform::to_wide(titles[at]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM | LVCF_WIDTH;
        column.fmt = LVCFMT_CENTER;
        column.cx = least_width;
        column.pszText = const_cast<wchar_t*>(title.c_str());
        column.iSubItem = static_cast<int>(at);
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, at, reinterpret_cast<LPARAM>(&column));
    }
    titles_ = titles;
    fit_columns();
}

void CVellum_HView::fit_columns() {
    RECT client{};
    ::GetClientRect(list_, &client);
    const int width = client.right;
    if (titles_.size() == 2) {
        ListView_SetColumnWidth(list_, 0, versions_name_width);
        ListView_SetColumnWidth(list_, 1, std::max(least_width, width - versions_name_width));
        return;
    }
    if (titles_.size() != 4) return;
    // Wide enough for the longest moment, and the titles, in the fonts in
    // use.
    const HWND header = ListView_GetHeader(list_);
    const auto title = [&](std::size_t column) {
        return text_width(header, platform::to_wide(titles_[column]).c_str()) + title_padding;
    };
    const int count = std::max(count_width, title(1));
    const int date =
        std::max({least_date_width, text_width(list_, L"2026-12-31 23:59:59") + date_padding,
                  title(2), title(3)});
    ListView_SetColumnWidth(list_, 0, std::max(least_width, width - count - 2 * date));
    ListView_SetColumnWidth(list_, 1, count);
    ListView_SetColumnWidth(list_, 2, date);
    ListView_SetColumnWidth(list_, 3, date);
}

LRESULT CVellum_HView::notify(NMHDR& header) {
    if (header.hwndFrom != list_) return 0;
    switch (header.code) {
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            const auto row = static_cast<std::size_t>(item.iItem);
            if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || row >= rows_.shown()) return 0;
            const std::wstring text = platform::to_wide(rows_.cell_text(item.iItem, item.iSubItem));
            ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
            // The last row in sight: the next page follows, once this one is
            // drawn.
            if (row + 1 == rows_.shown() && rows_.has_more() && !more_asked_) {
                more_asked_ = true;
                ::PostMessageW(window_, show_more_message, 0, 0);
            }
            return 0;
        }
        case LVN_ODFINDITEMW:
            return find_row(reinterpret_cast<const NMLVFINDITEMW&>(header));
        case LVN_ITEMACTIVATE:
            // The selected row: Enter may come with a bare header, without
            // the row (as under Wine), and a double-click selects first.
            rows_.navigate(ListView_GetNextItem(list_, -1, LVNI_SELECTED));
            return 0;
        default:
            return 0;
    }
}

LRESULT CVellum_HView::find_row(const NMLVFINDITEMW& find) const {
    // Typing selects the next row whose name starts with what was typed.
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || find.lvfi.psz == nullptr) return -1;
    const auto folded = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string typed = folded(platform::to_utf8(find.lvfi.psz));
    const int count = static_cast<int>(rows_.shown());
    for (int step = 0; step < count; ++step) {
        const int row = (std::max(0, find.iStart) + step) % count;
        if (folded(rows_.row_at(row).name).starts_with(typed)) return row;
    }
    return -1;
}

std::vector<int> CVellum_HView::selected_rows() const {
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
        rows.push_back(row);
    }
    return rows;
}

void CVellum_HView::view_selected() {
    open_versions(document_, rows_, selected_rows(), open_with_desktop);
}

void CVellum_HView::check_out_selected() {
    check_out(document_, rows_, selected_rows(), choose_);
}

void CVellum_HView::properties_of_selected() {
    const std::vector<int> rows = selected_rows();
    std::optional<property_texts> texts;
    try {
        texts = properties_of(document_, rows_, rows);
    } catch (const tuv::tuv_error& error) {
        say(document_, owner(), error);
    }
    if (texts && CVellumProperties(*texts).run(owner())) {
        properties_check_out(document_, rows_, rows.front(), choose_);
    }
}

void CVellum_HView::check_out_folder() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) return;
    tuv::explorer::check_out_folder(document_, rows_, rows.front());
}

void CVellum_HView::command(UINT id) {
    switch (id) {
        case ID_LIST_VIEW:
            view_selected();
            break;
        case ID_LIST_CHECKOUT:
            check_out_selected();
            break;
        case ID_LIST_PROPERTIES:
            properties_of_selected();
            break;
        case ID_LIST_CHECKIN:
            document_.check_in();
            break;
        case ID_LIST_CHECKOUT_FOLDER:
            check_out_folder();
            break;
    }
}

void CVellum_HView::show_menu(LPARAM at) {
    POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    int row = -1;
    if (at == -1) {
        // From the keyboard: at the selected row, or the list's corner.
        row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
        RECT item{};
        if (row >= 0) ListView_GetItemRect(list_, row, &item, LVIR_LABEL);
        point = {item.left, item.bottom};
        ::ClientToScreen(list_, &point);
    } else {
        LVHITTESTINFO hit{};
        hit.pt = point;
        ::ScreenToClient(list_, &hit.pt);
        row = ListView_HitTest(list_, &hit);
        if (!(hit.flags & LVHT_ONITEM)) row = -1;
    }
    if (row >= 0 && static_cast<std::size_t>(row) < rows_.shown()) {
        const int kind = rows_.row_at(row).kind;
        if (kind == row_file || kind == row_version) {
            command(tuv::win32::track_popup(IDR_ROW_MENU, point, owner()));
            return;
        }
    } else if (document_.list_mode() == mode_versions && !document_.search_mode()) {
        return;  // nothing to act on beside a file's versions
    }
    command(tuv::win32::track_popup(IDR_FOLDER_MENU, point, owner()));
}

void CVellum_HView::dropped(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT at = 0; at < count; ++at) {
        std::wstring name(::DragQueryFileW(drop, at, nullptr, 0) + 1, L'\0');
        name.resize(::DragQueryFileW(drop, at, name.data(), static_cast<UINT>(name.size())));
        // Files only, as they are: a folder among them refuses the drop.
        std::error_code error;
        if (!std::filesystem::is_regular_file(name, error)) {
            files.clear();
            break;
        }
        files.push_back(platform::to_utf8(name));
    }
    ::DragFinish(drop);
    if (!files.empty()) document_.start_checkin(files);
}

LRESULT CALLBACK CVellum_HView::list_procedure(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam, UINT_PTR, DWORD_PTR view) {
    if (message != WM_DROPFILES) return ::DefSubclassProc(window, message, wparam, lparam);
    try {
        reinterpret_cast<CVellum_HView*>(view)->dropped(reinterpret_cast<HDROP>(wparam));
    } catch (const std::exception& error) {
        tuv::win32::show_failure(::GetAncestor(window, GA_ROOT), error);
    }
    return 0;
}
