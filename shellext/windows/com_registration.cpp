#include "shellext/windows/com_registration.h"

#include <olectl.h>

#include "platform/registry.h"
#include "shellext/windows/shell_ext_com.h"

namespace tuv::shell::win {

using platform::registry_root;

std::string class_key() {
    return std::string("CLSID\\") + class_id_text;
}

std::string page_handler_key() {
    return std::string("*\\shellex\\PropertySheetHandlers\\") + class_id_text;
}

std::string menu_handler_key() {
    return std::string("*\\shellex\\ContextMenuHandlers\\") + class_id_text;
}

std::string folder_menu_handler_key() {
    return std::string("Directory\\shellex\\ContextMenuHandlers\\") + class_id_text;
}

HRESULT register_server(const std::string& module_path) {
    try {
        std::optional<platform::registry_key> approved =
            platform::open_registry_key(registry_root::local_machine, approved_key);
        if (!approved) return E_ACCESSDENIED;
        approved->set(class_id_text, approved_text);
    } catch (const platform::registry_error&) {
        return E_ACCESSDENIED;
    }
    try {
        // Made anew, so nothing of an older registration stays below it.
        platform::remove_registry_key(registry_root::classes_root, class_key());
        platform::create_registry_key(registry_root::classes_root, class_key()).set("", class_name);
        platform::registry_key server = platform::create_registry_key(
            registry_root::classes_root, class_key() + "\\InprocServer32");
        server.set("", module_path);
        server.set("ThreadingModel", threading_model);
        platform::create_registry_key(registry_root::classes_root, page_handler_key());
        platform::create_registry_key(registry_root::classes_root, menu_handler_key());
        platform::create_registry_key(registry_root::classes_root, folder_menu_handler_key());
    } catch (const platform::registry_error&) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT unregister_server() {
    try {
        if (auto approved = platform::open_registry_key(registry_root::local_machine, approved_key))
            approved->remove(class_id_text);
    } catch (const platform::registry_error&) {
        // As documented: the approval may stay when it cannot be removed.
    }
    try {
        platform::remove_registry_key(registry_root::classes_root, class_key());
        platform::remove_registry_key(registry_root::classes_root, page_handler_key());
        platform::remove_registry_key(registry_root::classes_root, menu_handler_key());
        platform::remove_registry_key(registry_root::classes_root, folder_menu_handler_key());
    } catch (const platform::registry_error&) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

}  // namespace tuv::shell::win
