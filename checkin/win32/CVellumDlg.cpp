#include "checkin/win32/CVellumDlg.h"

#include <commctrl.h>

#include "checkin/checkin_form.h"
#include "checkin/win32/CSelectCabinate.h"
#include "checkin/win32/resource.h"
#include "gui/captions.h"
#include "gui/win32/CAboutDlg.h"
#include "gui/win32/app_icon.h"
#include "gui/win32/dialog_host.h"
#include "gui/win32/dialog_items.h"

namespace tuv::win32 {
namespace {

using checkin_app::calendar_day;
using checkin_app::clock_time;

SYSTEMTIME system_time(calendar_day day, clock_time time) {
    SYSTEMTIME value{};
    value.wYear = static_cast<WORD>(day.year);
    value.wMonth = static_cast<WORD>(day.month);
    value.wDay = static_cast<WORD>(day.day);
    value.wHour = static_cast<WORD>(time.hour);
    value.wMinute = static_cast<WORD>(time.minute);
    value.wSecond = static_cast<WORD>(time.second);
    return value;
}

SYSTEMTIME picker_value(HWND picker) {
    SYSTEMTIME value{};
    ::SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

void set_picker(HWND picker, SYSTEMTIME value) {
    ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value));
}

}  // namespace

CVellumDlg::CVellumDlg(checkin_app::checkin_form& form, repository& repo, gui::prompter& prompter)
    : form_(form), repo_(repo), prompter_(prompter) {}

bool CVellumDlg::run(HWND owner) {
    return run_modal(*this, IDD_CHECKIN, owner) == IDOK;
}

INT_PTR CVellumDlg::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (CAboutDlg::answer(window, message, wparam, gui::checkin_about)) return TRUE;
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            start();
            // The description is what the person writes; the rest is chosen.
            ::SetFocus(::GetDlgItem(window, IDC_DESCRIPTION));
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom == IDC_DATE && header->code == DTN_DATETIMECHANGE) date_changed();
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_BROWSE:
                    browse();
                    return TRUE;
                case IDOK:
                    submit();
                    return TRUE;
                case IDCANCEL:
                    ::EndDialog(window, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void CVellumDlg::start() {
    CAboutDlg::add_to_system_menu(window_, gui::checkin_about);
    set_app_icons(window_);
    set_item_text(window_, IDC_SOURCE, form_.source_text());
    show_destination();

    // Both pickers hold a whole moment and stop at the opening one: the
    // time picker carries the chosen day, so on an earlier day any time
    // of it can be chosen, on the opening day none past the opening.
    const SYSTEMTIME opened[2] = {{}, system_time(form_.latest_date(), form_.latest_time())};
    const HWND date = ::GetDlgItem(window_, IDC_DATE);
    const HWND time = ::GetDlgItem(window_, IDC_TIME);
    ::SendMessageW(date, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"yyyy-MM-dd"));
    ::SendMessageW(time, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm:ss"));
    for (const HWND picker : {date, time}) {
        ::SendMessageW(picker, DTM_SETRANGE, GDTR_MAX, reinterpret_cast<LPARAM>(opened));
    }
    set_picker(date, system_time(form_.date(), {}));
    set_picker(time, system_time(form_.date(), form_.time()));

    ::SendDlgItemMessageW(window_, IDC_DESCRIPTION, EM_LIMITTEXT, checkin_app::description_limit,
                          0);
}

void CVellumDlg::show_destination() {
    set_item_text(window_, IDC_DESTINATION, form_.destination_text());
}

// A new day keeps the time of day, unless on the opening day that is past
// the opening.
void CVellumDlg::date_changed() {
    const SYSTEMTIME day = picker_value(::GetDlgItem(window_, IDC_DATE));
    form_.set_date({day.wYear, day.wMonth, day.wDay});
    set_picker(::GetDlgItem(window_, IDC_TIME), system_time(form_.date(), form_.time()));
}

void CVellumDlg::browse() {
    CSelectCabinate picker(repo_, prompter_);
    if (const std::optional<std::string> path = picker.run(window_)) {
        form_.set_directory(*path);
        show_destination();
    }
}

void CVellumDlg::submit() {
    const SYSTEMTIME day = picker_value(::GetDlgItem(window_, IDC_DATE));
    const SYSTEMTIME time = picker_value(::GetDlgItem(window_, IDC_TIME));
    form_.set_date({day.wYear, day.wMonth, day.wDay});
    form_.set_time({time.wHour, time.wMinute, time.wSecond});
    form_.set_description(from_edit_lines(item_text(window_, IDC_DESCRIPTION)));
    ::EndDialog(window_, IDOK);
}

}  // namespace tuv::win32
