// The server around Tuv_ShellExt: its entry point, its class factory and
// its four exports. It loads for every user, so that an administrator
// without a vault can register it for the machine, and gives its class only
// to a user who has one ("db_path"); the vault itself is opened at first
// need, not under the loader lock.
#include "shellext/windows/module.h"

#include <olectl.h>

#include <new>
#include <string>

#include "platform/quillmark_registry.h"
#include "platform/wide_text.h"
#include "shellext/windows/com_registration.h"
#include "shellext/windows/resource.h"
#include "shellext/windows/shell_ext_com.h"

namespace tuv::shell::win {
namespace {

class class_factory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One factory object lives as long as the module; it needs no count.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) Tuv_ShellExt();
        if (object == nullptr) return E_OUTOFMEMORY;
        const HRESULT result = object->QueryInterface(iid, out);
        object->Release();
        return result;
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            lock_module();
        } else {
            unlock_module();
        }
        return S_OK;
    }
};

class_factory factory;

bool user_has_vault() {
    try {
        const std::optional<std::string> path = platform::read_db_path();
        return path && !path->empty();
    } catch (const std::exception&) {
        return false;
    }
}

// The server's own file, in UTF-8 as the registry layer takes it.
std::string module_path() {
    std::wstring path(32768, L'\0');
    const DWORD length =
        ::GetModuleFileNameW(module().instance, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return platform::to_utf8(path);
}

}  // namespace

module_state& module() {
    static module_state state;
    return state;
}

void lock_module() {
    ::InterlockedIncrement(reinterpret_cast<LONG*>(&module().lock_count));
}

void unlock_module() {
    ::InterlockedDecrement(reinterpret_cast<LONG*>(&module().lock_count));
}

}  // namespace tuv::shell::win

using namespace tuv::shell::win;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module().instance = instance;
        ::DisableThreadLibraryCalls(instance);
        module().menu_bitmap = static_cast<HBITMAP>(::LoadImageA(
            instance, MAKEINTRESOURCEA(IDB_MENU_ITEM), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    } else if (reason == DLL_PROCESS_DETACH) {
        if (module().menu_bitmap != nullptr) ::DeleteObject(module().menu_bitmap);
        module().menu_bitmap = nullptr;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return module().lock_count == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, class_id) || !user_has_vault()) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, out);
}

STDAPI DllRegisterServer() {
    const std::string path = module_path();
    if (path.empty()) return SELFREG_E_CLASS;
    return register_server(path);
}

STDAPI DllUnregisterServer() {
    return unregister_server();
}
