// Tuv_FileExt for Nautilus 43 (libnautilus-extension-4): the module entry
// points Nautilus looks up when it loads the library, and one object type,
// Tuv_ShellExt, that adds "Quillmark Checkin" and "Quillmark Properties" to
// the context menu of selected items and a "Quillmark" section to the
// properties of one file the vault knows. What they do is shell_ext.h's; this
// file only translates between Nautilus's objects and it.
//
// Nautilus calls everything here on its main thread. No C++ exception may
// cross into Nautilus: each entry from it catches everything and, at worst,
// offers nothing. Messages go to Quillmark_Shell, a separate process, which
// shows them as the other programs do, so Qt never enters Nautilus.
#include <gio/gio.h>
#include <glib-object.h>
// Its header declares the module entry points without C linkage.
extern "C" {
#include <nautilus-extension.h>
}

#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/CRegistry.h"
#include "platform/process.h"
#include "shellext/registration.h"
#include "shellext/shell_ext.h"

namespace {

namespace fs = std::filesystem;
using namespace tuv::shell;

// Nautilus makes one object of each listed type when it loads the module and
// keeps it while it runs: the extension's state lives in that object.
struct TuvShellExt {
    GObject parent;
    vault_holder holder;  // made in instance_init, destroyed in finalize
};

struct TuvShellExtClass {
    GObjectClass parent;
};

// Registered once per process by nautilus_module_initialize and handed out
// by nautilus_module_list_types, which wants it in storage that outlives the
// call: the one state that must be module-wide.
GType shell_ext_type = 0;

constexpr const char* selection_key = "tuv-shell-selection";
constexpr const char* path_key = "tuv-shell-path";

// Quillmark_Shell shows each message; when it cannot be started the message
// still reaches the file manager's log.
class helper_prompter : public shell_prompter {
  public:
    void message(const shell_message& message) override {
        if (const std::optional<fs::path> helper = registered_helper()) {
            try {
                platform::start_detached(*helper, message_arguments(message));
                return;
            } catch (const platform::process_error&) {
            }
        }
        g_warning("%s: %s", message.caption.c_str(), message.text.c_str());
    }

  private:
    // The one `quillmark shell-integration install` registered from a build
    // tree, else the one installed beside the other programs.
    static std::optional<fs::path> registered_helper() {
        try {
            const CRegistry registry(platform::registry_root::classes_root,
                                     class_key() + "\\LocalServer32");
            std::string path;
            if (registry.query("", path) && !path.empty()) return path;
        } catch (const std::exception&) {
        }
        const fs::path installed = fs::path(QUILLMARK_INSTALLED_BIN_DIR) / shell_program;
        std::error_code error;
        if (fs::is_regular_file(installed, error)) return installed;
        return std::nullopt;
    }
};

// The local items of Nautilus's file list; others (a remote location) have
// no path the programs could read, and are left out.
std::vector<selected_item> items_of(GList* files) {
    std::vector<selected_item> items;
    for (GList* file = files; file != nullptr; file = file->next) {
        NautilusFileInfo* info = NAUTILUS_FILE_INFO(file->data);
        GFile* location = nautilus_file_info_get_location(info);
        if (location == nullptr) continue;
        char* path = g_file_get_path(location);
        g_object_unref(location);
        if (path == nullptr) continue;
        items.push_back({path, nautilus_file_info_is_directory(info) != FALSE});
        g_free(path);
    }
    return items;
}

template <typename T>
void attach(NautilusMenuItem* item, const char* key, T value) {
    g_object_set_data_full(G_OBJECT(item), key, new T(std::move(value)),
                           [](gpointer data) { delete static_cast<T*>(data); });
}

template <typename T>
const T& attached(NautilusMenuItem* item, const char* key) {
    return *static_cast<const T*>(g_object_get_data(G_OBJECT(item), key));
}

void run_checkin(NautilusMenuItem* item, gpointer) {
    try {
        helper_prompter prompts;
        start_checkin(attached<selection>(item, selection_key), prompts);
    } catch (const std::exception& error) {
        g_warning("Quillmark Checkin: %s", error.what());
    }
}

void run_properties(NautilusMenuItem* item, gpointer) {
    try {
        helper_prompter prompts;
        start_properties(attached<std::string>(item, path_key), prompts);
    } catch (const std::exception& error) {
        g_warning("Quillmark Properties: %s", error.what());
    }
}

vault_holder& holder_of(gpointer provider) {
    return reinterpret_cast<TuvShellExt*>(provider)->holder;
}

GList* get_file_items(NautilusMenuProvider* provider, GList* files) {
    try {
        // As the Windows module refuses to load: no vault, no menu.
        if (holder_of(provider).vault() == nullptr) return nullptr;
        const std::vector<selected_item> items = items_of(files);
        GList* entries = nullptr;
        for (const menu_command command : menu_for(items)) {
            NautilusMenuItem* item = nullptr;
            if (command == menu_command::checkin) {
                item = nautilus_menu_item_new("Tuv_ShellExt::checkin", checkin_item_text,
                                              checkin_help_text, "quillmark");
                attach(item, selection_key, select_files(items));
                g_signal_connect(item, "activate", G_CALLBACK(run_checkin), nullptr);
            } else {
                item = nautilus_menu_item_new("Tuv_ShellExt::properties", properties_item_text,
                                              properties_help_text, "quillmark");
                attach(item, path_key, single_file(items)->path);
                g_signal_connect(item, "activate", G_CALLBACK(run_properties), nullptr);
            }
            entries = g_list_append(entries, item);
        }
        return entries;
    } catch (const std::exception& error) {
        g_warning("Quillmark: %s", error.what());
        return nullptr;
    }
}

void append_row(GListStore* rows, const std::string& name, const std::string& value) {
    NautilusPropertiesItem* row = nautilus_properties_item_new(name.c_str(), value.c_str());
    g_list_store_append(rows, row);
    g_object_unref(row);
}

GList* get_models(NautilusPropertiesModelProvider* provider, GList* files) {
    try {
        tuv::repository* repo = holder_of(provider).vault();
        if (repo == nullptr) return nullptr;
        const std::optional<shell_page> page = page_for(*repo, items_of(files));
        if (!page) return nullptr;
        // Nautilus shows name and value pairs, read only: each vault file's
        // path, then its versions, oldest first, with their descriptions.
        GListStore* rows = g_list_store_new(NAUTILUS_TYPE_PROPERTIES_ITEM);
        for (const page_file& file : page->files) {
            append_row(rows, page_vault_path_label, file.vault_path);
            for (const tuv::gui::version_row& version : file.versions) {
                append_row(rows, version.moment, version.description);
            }
        }
        if (page->more > 0) append_row(rows, page_more_label, page_more_text(page->more));
        NautilusPropertiesModel* model =
            nautilus_properties_model_new(page_title, G_LIST_MODEL(rows));
        g_object_unref(rows);
        return g_list_append(nullptr, model);
    } catch (const std::exception& error) {
        g_warning("Quillmark: %s", error.what());
        return nullptr;
    }
}

void menu_provider_init(gpointer iface, gpointer) {
    static_cast<NautilusMenuProviderInterface*>(iface)->get_file_items = get_file_items;
}

void properties_provider_init(gpointer iface, gpointer) {
    static_cast<NautilusPropertiesModelProviderInterface*>(iface)->get_models = get_models;
}

// GLib allocates the instance as plain memory; the holder is built into it.
void instance_init(GTypeInstance* instance, gpointer) {
    new (&reinterpret_cast<TuvShellExt*>(instance)->holder) vault_holder;
}

void finalize(GObject* object) {
    reinterpret_cast<TuvShellExt*>(object)->holder.~vault_holder();
    G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)))->finalize(object);
}

void class_init(gpointer klass, gpointer) {
    G_OBJECT_CLASS(klass)->finalize = finalize;
}

}  // namespace

extern "C" {

void nautilus_module_initialize(GTypeModule* module) {
    static const GTypeInfo info = {
        sizeof(TuvShellExtClass), nullptr, nullptr,       class_init, nullptr, nullptr,
        sizeof(TuvShellExt),      0,       instance_init, nullptr};
    shell_ext_type =
        g_type_module_register_type(module, G_TYPE_OBJECT, "Tuv_ShellExt", &info, GTypeFlags(0));
    static const GInterfaceInfo menu = {menu_provider_init, nullptr, nullptr};
    g_type_module_add_interface(module, shell_ext_type, NAUTILUS_TYPE_MENU_PROVIDER, &menu);
    static const GInterfaceInfo properties = {properties_provider_init, nullptr, nullptr};
    g_type_module_add_interface(module, shell_ext_type, NAUTILUS_TYPE_PROPERTIES_MODEL_PROVIDER,
                                &properties);
}

void nautilus_module_shutdown(void) {}

void nautilus_module_list_types(const GType** types, int* num_types) {
    *types = &shell_ext_type;
    *num_types = 1;
}

}  // extern "C"
