// Tuv_FileExt.dll as the shell and regsvr32 use it: loaded from its file,
// its class made through its class factory (and through CoCreateInstance
// once registered), its interfaces called as the shell calls them.
#include <gtest/gtest.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/base/utf8_path.h"
#include "platform/long_path.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "shellext/windows/resource.h"
#include "tests/support/checks.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using platform::registry_root;

const CLSID class_id = {
    0x1ec23140, 0x80fd, 0x4221, {0x9a, 0x5e, 0xc1, 0x9c, 0xf8, 0x99, 0x3f, 0xbe}};
const std::string class_text = "{1EC23140-80FD-4221-9A5E-C19CF8993FBE}";
const std::string approved_key =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// A data object holding a drop-file list, as the shell hands one over.
class drop_data final : public IDataObject {
  public:
    explicit drop_data(const std::vector<std::wstring>& paths) {
        std::wstring list;
        for (const std::wstring& path : paths) list += path + L'\0';
        list += L'\0';
        const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        memory_ = ::GlobalAlloc(GHND, bytes);
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory_));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory_);
    }
    ~drop_data() { ::GlobalFree(memory_); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        const SIZE_T bytes = ::GlobalSize(memory_);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = ::GlobalAlloc(GHND, bytes);
        std::memcpy(::GlobalLock(medium->hGlobal), ::GlobalLock(memory_), bytes);
        ::GlobalUnlock(medium->hGlobal);
        ::GlobalUnlock(memory_);
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  private:
    HGLOBAL memory_ = nullptr;
};

BOOL CALLBACK collect_page(HPROPSHEETPAGE page, LPARAM pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return TRUE;
}

// Each message box shown on the constructing thread while the reader lives,
// as "caption|icon|text", each closed at once as if OK were clicked.
class message_box_reader {
  public:
    message_box_reader()
        : hook_(::SetWindowsHookExA(WH_CBT, on_event, nullptr, ::GetCurrentThreadId())) {
        reader = this;
    }
    ~message_box_reader() {
        ::UnhookWindowsHookEx(hook_);
        reader = nullptr;
    }
    message_box_reader(const message_box_reader&) = delete;
    message_box_reader& operator=(const message_box_reader&) = delete;

    std::vector<std::string> shown;

  private:
    static std::string icon_of(HWND box) {
        HWND control = nullptr;
        ::EnumChildWindows(
            box,
            [](HWND child, LPARAM out) -> BOOL {
                char name[16] = {};
                ::GetClassNameA(child, name, sizeof name);
                if (lstrcmpiA(name, "Static") != 0 ||
                    (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                    return TRUE;
                *reinterpret_cast<HWND*>(out) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&control));
        const auto icon = reinterpret_cast<HICON>(::SendMessageA(control, STM_GETICON, 0, 0));
        return icon != nullptr && icon == ::LoadIconA(nullptr, IDI_ERROR) ? "error" : "other";
    }

    static LRESULT CALLBACK on_event(int code, WPARAM wparam, LPARAM lparam) {
        const auto box = reinterpret_cast<HWND>(wparam);
        char name[16] = {};
        if (code == HCBT_ACTIVATE && ::GetClassNameA(box, name, sizeof name) > 0 &&
            std::string(name) == "#32770") {
            char caption[256] = {}, text[1024] = {};
            ::GetWindowTextA(box, caption, sizeof caption);
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // a message box's text
            reader->shown.push_back(std::string(caption) + "|" + icon_of(box) + "|" + text);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return ::CallNextHookEx(nullptr, code, wparam, lparam);
    }

    // A hook is called without context: the one reader of its thread.
    static thread_local message_box_reader* reader;
    HHOOK hook_;
};

thread_local message_box_reader* message_box_reader::reader = nullptr;

std::wstring wide(const fs::path& path) {
    return path.wstring();
}

// Runs a program with a command line and returns its exit code.
DWORD run(std::string command_line) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(started.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(started.hProcess, &code);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return code;
}

class com_server_test : public ::testing::Test {
  protected:
    com_server_test() {
        ::CoInitialize(nullptr);
        // The server where its path needs care: a blank and a quote.
        fs::create_directory(folder_ / "it's a dir");
        fs::copy_file(QUILLMARK_FILEEXT_DLL, dll_);
        test::register_vault(vault_.db_path());
        platform::create_registry_key(registry_root::local_machine, approved_key);
        platform::create_registry_key(registry_root::local_machine, platform::quillmark_key)
            .set(platform::checkin_program_value, QUILLMARK_CHECKIN_STAND_IN);
        for (const char* name : {"a.txt", "b.txt", "Zoë 日本.txt"}) {
            std::ofstream(folder_ / path_from_utf8(name)) << name;
            vault_.repo().checkin_file(folder_ / path_from_utf8(name), "\\", "2024-01-02 03:04:05",
                                       "text/plain", "first");
        }
        std::ofstream(folder_ / "unknown.txt") << "?";
    }
    ~com_server_test() override {
        for (auto* object : objects_) object->Release();
        if (module_ != nullptr) ::FreeLibrary(module_);
        ::CoUninitialize();
    }

    bool load() {
        module_ = ::LoadLibraryW(wide(dll_).c_str());
        return module_ != nullptr;
    }

    template <typename F>
    F* entry(const char* name) {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

    // A new object of the class, as the shell makes one; null when the
    // server is not loaded.
    template <typename I>
    I* make(REFIID iid) {
        auto* get_class = entry<HRESULT WINAPI(REFCLSID, REFIID, void**)>("DllGetClassObject");
        IClassFactory* factory = nullptr;
        if (module_ == nullptr || get_class == nullptr ||
            get_class(class_id, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
            return nullptr;
        I* object = nullptr;
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
        factory->Release();
        if (object != nullptr) objects_.push_back(object);
        return object;
    }

    // An object initialised with `paths` as the selection.
    IShellExtInit* selecting(const std::vector<fs::path>& paths, HRESULT* result = nullptr) {
        IShellExtInit* init = make<IShellExtInit>(IID_IShellExtInit);
        if (init == nullptr) return nullptr;
        std::vector<std::wstring> list;
        for (const fs::path& path : paths) list.push_back(wide(path));
        drop_data data(list);
        const HRESULT answer = init->Initialize(nullptr, &data, nullptr);
        if (result != nullptr) *result = answer;
        return init;
    }

    template <typename I>
    I* as(IUnknown* object, REFIID iid) {
        I* out = nullptr;
        if (object == nullptr) return nullptr;
        object->QueryInterface(iid, reinterpret_cast<void**>(&out));
        if (out != nullptr) objects_.push_back(out);
        return out;
    }

    bool has_key(registry_root root, const std::string& key) {
        return platform::open_registry_key(root, key).has_value();
    }

    std::optional<std::string> value(registry_root root, const std::string& key,
                                     const std::string& name) {
        auto open = platform::open_registry_key(root, key);
        return open ? open->query(name) : std::nullopt;
    }

    test::temp_dir folder_;
    test::scoped_registry registry_{folder_.path()};
    test::test_vault vault_;
    fs::path dll_ = folder_ / "it's a dir" / "Tuv_FileExt.dll";
    HMODULE module_ = nullptr;
    std::vector<IUnknown*> objects_;
};

TEST_F(com_server_test, regsvr32_registers_the_class_and_handlers_then_removes_them) {
    const std::string quoted = "\"" + dll_.string() + "\"";
    ASSERT_EQ(run("regsvr32 /s " + quoted), 0u);
    const std::string server = "CLSID\\" + class_text + "\\InprocServer32";
    EXPECT_EQ(value(registry_root::classes_root, "CLSID\\" + class_text, ""), "Tuv_ShellExt Class");
    EXPECT_EQ(value(registry_root::classes_root, server, ""), dll_.string());
    EXPECT_EQ(value(registry_root::classes_root, server, "ThreadingModel"), "Apartment");
    EXPECT_TRUE(
        has_key(registry_root::classes_root, "*\\shellex\\PropertySheetHandlers\\" + class_text));
    EXPECT_TRUE(
        has_key(registry_root::classes_root, "*\\shellex\\ContextMenuHandlers\\" + class_text));
    EXPECT_TRUE(has_key(registry_root::classes_root,
                        "Directory\\shellex\\ContextMenuHandlers\\" + class_text));
    EXPECT_EQ(value(registry_root::local_machine, approved_key, class_text),
              "Quillmark Shell Extension");

    ASSERT_EQ(run("regsvr32 /s /u " + quoted), 0u);
    EXPECT_FALSE(has_key(registry_root::classes_root, "CLSID\\" + class_text));
    EXPECT_FALSE(
        has_key(registry_root::classes_root, "*\\shellex\\PropertySheetHandlers\\" + class_text));
    EXPECT_FALSE(
        has_key(registry_root::classes_root, "*\\shellex\\ContextMenuHandlers\\" + class_text));
    EXPECT_FALSE(has_key(registry_root::classes_root,
                         "Directory\\shellex\\ContextMenuHandlers\\" + class_text));
    EXPECT_TRUE(has_key(registry_root::classes_root, "*\\shellex\\PropertySheetHandlers"));
    EXPECT_EQ(value(registry_root::local_machine, approved_key, class_text), std::nullopt);
}

TEST_F(com_server_test, registration_without_the_approved_key_is_access_denied_and_writes_nothing) {
    platform::remove_registry_key(registry_root::local_machine, approved_key);
    ASSERT_TRUE(load());
    EXPECT_EQ(entry<HRESULT WINAPI()>("DllRegisterServer")(), E_ACCESSDENIED);
    EXPECT_FALSE(has_key(registry_root::classes_root, "CLSID\\" + class_text));
}

// An administrator without a vault registers the server for the machine;
// the shell gets no class from it for a user without one.
TEST_F(com_server_test, without_db_path_it_registers_but_gives_no_class) {
    test::register_vault("");
    ASSERT_TRUE(load());
    EXPECT_EQ(entry<HRESULT WINAPI()>("DllRegisterServer")(), S_OK);
    IClassFactory* factory = nullptr;
    EXPECT_EQ(entry<HRESULT WINAPI(REFCLSID, REFIID, void**)>("DllGetClassObject")(
                  class_id, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(com_server_test, a_registered_class_is_made_by_CoCreateInstance) {
    ASSERT_TRUE(load());
    {
        // Registered for real, where COM looks.
        test::scoped_env real_registry("QUILLMARK_REGISTRY_KEY", std::nullopt);
        platform::create_registry_key(registry_root::local_machine, approved_key);
        ASSERT_EQ(entry<HRESULT WINAPI()>("DllRegisterServer")(), S_OK);
    }
    IContextMenu* menu = nullptr;
    EXPECT_EQ(::CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                 reinterpret_cast<void**>(&menu)),
              S_OK);
    if (menu != nullptr) objects_.push_back(menu);
    test::scoped_env real_registry("QUILLMARK_REGISTRY_KEY", std::nullopt);
    EXPECT_EQ(entry<HRESULT WINAPI()>("DllUnregisterServer")(), S_OK);
}

TEST_F(com_server_test, the_menu_is_a_separator_the_checkin_item_and_a_separator) {
    ASSERT_TRUE(load());
    HRESULT initialised = E_FAIL;
    auto* menu = as<IContextMenu>(selecting({folder_ / "a.txt"}, &initialised), IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(initialised, S_OK);
    const HMENU popup = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(::GetMenuItemCount(popup), 0);
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL),
              MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4));
    ASSERT_EQ(::GetMenuItemCount(popup), 3);
    char text[64] = {};
    for (UINT position = 0; position < 3; ++position) {
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        ASSERT_TRUE(::GetMenuItemInfoA(popup, position, TRUE, &item));
        EXPECT_EQ(item.wID, 100 + position);
        EXPECT_EQ((item.fType & MFT_SEPARATOR) != 0, position != 1) << position;
        if (position == 1) {
            EXPECT_STREQ(text, "Quillmark Checkin");
        }
    }
    ::DestroyMenu(popup);
}

TEST_F(com_server_test, help_text_is_given_narrow_or_wide_cut_to_the_buffer_and_terminated) {
    ASSERT_TRUE(load());
    auto* menu = as<IContextMenu>(selecting({folder_ / "a.txt"}), IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    char narrow[64];
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, narrow, sizeof narrow), S_OK);
    EXPECT_STREQ(narrow, "This will check-in the file to Quillmark");
    wchar_t wide_text[64];
    EXPECT_EQ(
        menu->GetCommandString(1, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide_text), 64),
        S_OK);
    EXPECT_STREQ(wide_text, L"This will check-in the file to Quillmark");

    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, small, 5), S_OK);
    EXPECT_EQ(std::string(small, 8), std::string("This\0###", 8));
    wchar_t small_wide[8];
    std::wmemset(small_wide, L'#', 8);
    EXPECT_EQ(
        menu->GetCommandString(1, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(small_wide), 5),
        S_OK);
    EXPECT_EQ(std::wstring(small_wide, 8), std::wstring(L"This\0###", 8));
    EXPECT_EQ(menu->GetCommandString(1, GCS_VERBA, nullptr, narrow, sizeof narrow), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, narrow, 0), E_INVALIDARG);
}

TEST_F(com_server_test, invoke_starts_the_checkin_program_on_the_files_of_the_selection) {
    // Three files, one named beyond ASCII, one deeper than 260 characters,
    // and a folder, which is left out.
    fs::path deep = folder_.path();
    while (deep.string().size() < 280) deep /= std::string(40, 'd');
    fs::create_directories(platform::long_path(deep));
    std::ofstream(fs::path(platform::long_path(deep / "deep.txt"))) << "deep";
    ASSERT_TRUE(load());
    HRESULT initialised = E_FAIL;
    const fs::path named = folder_ / path_from_utf8("Zoë 日本.txt");
    auto* menu = as<IContextMenu>(
        selecting({folder_ / "a.txt", named, folder_ / "it's a dir", deep / "deep.txt"},
                  &initialised),
        IID_IContextMenu);
    EXPECT_EQ(initialised, S_OK);
    ASSERT_NE(menu, nullptr);

    test::scoped_env record(test::record_variable, (folder_ / "record").string());
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.fMask = CMIC_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = MAKEINTRESOURCEA(1);
    EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    EXPECT_EQ(test::recorded_arguments(folder_ / "record"),
              (std::vector<std::string>{"Quillmark_Checkin.exe",
                                        (folder_ / "a.txt").string() + "#" + utf8_of(named) + "#" +
                                            (deep / "deep.txt").string()}));
    std::error_code ignored;  // best effort: a temporary folder
    fs::remove_all(platform::long_path(folder_ / std::string(40, 'd')), ignored);
}

TEST_F(com_server_test, invoke_on_folders_alone_says_to_select_a_file_and_starts_nothing) {
    ASSERT_TRUE(load());
    HRESULT initialised = E_FAIL;
    auto* menu =
        as<IContextMenu>(selecting({folder_ / "it's a dir"}, &initialised), IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(initialised, S_OK);
    test::scoped_env record(test::record_variable, (folder_ / "record").string());
    message_box_reader boxes;
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(1);
    EXPECT_EQ(menu->InvokeCommand(&info), S_FALSE);
    EXPECT_EQ(boxes.shown,
              std::vector<std::string>{"Quillmark|error|Please select the file for Quillmark."});
    EXPECT_FALSE(fs::exists(folder_ / "record"));
}

TEST_F(com_server_test, a_page_is_added_for_one_known_file_only) {
    const fs::path a = folder_ / "a.txt";
    const std::vector<std::vector<fs::path>> selections{{a},
                                                        {folder_ / path_from_utf8("Zoë 日本.txt")},
                                                        {a, folder_ / "b.txt"},
                                                        {folder_ / "unknown.txt"}};
    const std::vector<HRESULT> answers{S_OK, S_OK, E_INVALIDARG, E_INVALIDARG};
    ASSERT_TRUE(load());
    for (std::size_t i = 0; i < selections.size(); ++i) {
        auto* sheet = as<IShellPropSheetExt>(selecting(selections[i]), IID_IShellPropSheetExt);
        ASSERT_NE(sheet, nullptr);
        std::vector<HPROPSHEETPAGE> pages;
        EXPECT_EQ(sheet->AddPages(collect_page, reinterpret_cast<LPARAM>(&pages)), answers[i]) << i;
        EXPECT_EQ(pages.size(), answers[i] == S_OK ? 1u : 0u) << i;
        for (HPROPSHEETPAGE page : pages) ::DestroyPropertySheetPage(page);
    }
}

// The page as a property sheet shows it: its line about the vault files
// beyond its limit, empty while there are none.
TEST_F(com_server_test, the_page_says_how_many_vault_files_it_leaves_out) {
    const fs::path a = folder_ / "a.txt";
    ASSERT_TRUE(load());
    const auto more_line = [&]() -> std::string {
        auto* sheet = as<IShellPropSheetExt>(selecting({a}), IID_IShellPropSheetExt);
        std::vector<HPROPSHEETPAGE> pages;
        if (sheet == nullptr ||
            sheet->AddPages(collect_page, reinterpret_cast<LPARAM>(&pages)) != S_OK)
            return "<no page>";
        PROPSHEETHEADERA header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_MODELESS;
        header.nPages = static_cast<UINT>(pages.size());
        header.phpage = pages.data();
        const auto window = reinterpret_cast<HWND>(::PropertySheetA(&header));
        if (window == nullptr) return "<no sheet>";
        char text[256] = {};
        ::GetDlgItemTextA(PropSheet_GetCurrentPageHwnd(window), IDC_MORE, text, sizeof text);
        ::DestroyWindow(window);
        return text;
    };
    EXPECT_EQ(more_line(), "");
    // a.txt is one vault file already; as many again as the page lists.
    for (int i = 0; i < 16; ++i) {
        vault_.repo().checkin_file(a, "\\C" + std::to_string(i), "2024-01-02 03:04:05",
                                   "text/plain", "");
    }
    EXPECT_EQ(more_line(), "1 more vault files: Quillmark Properties lists them all");
}

// The path a person takes: the menu command on two files starts the real
// check-in program, whose dialog (another process) is submitted as it
// stands, and both files go in as new versions.
TEST_F(com_server_test, invoke_checks_the_files_in_through_the_real_program) {
    platform::create_registry_key(registry_root::local_machine, platform::quillmark_key)
        .set(platform::checkin_program_value, QUILLMARK_CHECKIN_PROGRAM);
    std::ofstream(folder_ / "a.txt") << "a, second";
    std::ofstream(folder_ / "b.txt") << "b, second";
    ASSERT_TRUE(load());
    auto* menu =
        as<IContextMenu>(selecting({folder_ / "a.txt", folder_ / "b.txt"}), IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(1);
    ASSERT_EQ(menu->InvokeCommand(&info), S_OK);

    // Generous bounds: Wine starts a program in seconds.
    const auto waited = [](const std::function<bool()>& done) {
        for (int tries = 0; tries < 600 && !done(); ++tries) ::Sleep(100);
        return done();
    };
    HWND dialog = nullptr;
    ASSERT_TRUE(
        waited([&] { return (dialog = ::FindWindowW(L"#32770", L"Quillmark")) != nullptr; }));
    wchar_t source[64] = {};
    ::GetDlgItemTextW(dialog, 1012, source, 64);
    EXPECT_STREQ(source, L"Multiple Files are selected");
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(
        waited([&] { return !::IsWindow(dialog) && !::FindWindowW(nullptr, L"Quillmark"); }));

    for (const char* name : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(name);
        const fs::path out = folder_ / (std::string(name) + ".out");
        ASSERT_TRUE(waited([&] {
            try {
                return test::checkout_path(vault_.repo(), std::string("\\") + name, out, "now") >
                           0 &&
                       test::file_contents(out) == test::file_contents(folder_ / name);
            } catch (const std::exception&) {
                return false;
            }
        }));
    }
}

}  // namespace
}  // namespace tuv
