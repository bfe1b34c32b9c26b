#include "gui/win32/window_main.h"

#include <windows.h>
// The other Windows headers build on windows.h.
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <filesystem>

#include "gui/win32/win32_prompter.h"
#include "platform/utf8_process.h"
#include "platform/wide_text.h"

namespace tuv::win32 {

int window_main(const window_program& program) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_DATE_CLASSES | ICC_TREEVIEW_CLASSES |
                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    // The folder browser's new style and the shell's dialogs want COM on
    // this thread, apartment-threaded.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = 1;
    try {
        win32_prompter prompts;
        std::vector<std::string> arguments = platform::utf8_arguments(0, nullptr);
        if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own name
        code = program(arguments, prompts);
    } catch (const std::exception& error) {
        ::MessageBoxW(nullptr, platform::to_wide(error.what()).c_str(),
                      platform::to_wide(program_name()).c_str(), MB_OK | MB_ICONERROR);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
}

std::string program_name() {
    std::wstring file(32768, L'\0');
    file.resize(::GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size())));
    return platform::to_utf8(std::filesystem::path(file).stem().wstring());
}

}  // namespace tuv::win32
