// Loads the built libtuv_fileext.so as Nautilus does (dlopen, a GTypeModule
// whose load calls nautilus_module_initialize, then one object of each type
// nautilus_module_list_types names) and asks it for menu items and
// properties as Nautilus asks, with test objects standing in for the files.
#include <dlfcn.h>
#include <gio/gio.h>
#include <glib-object.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
// Its header declares the module entry points without C linkage.
extern "C" {
#include <nautilus-extension.h>
}

#include <fstream>
#include <string>
#include <vector>

#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "shellext/registration.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// --- A file as Nautilus hands it to extensions ----------------------------

struct TestFile {
    GObject parent;
    char* path;
    gboolean directory;
};
struct TestFileClass {
    GObjectClass parent;
};

TestFile* test_file(NautilusFileInfo* info) {
    return reinterpret_cast<TestFile*>(info);
}

GFile* file_location(NautilusFileInfo* info) {
    return g_file_new_for_path(test_file(info)->path);
}
char* file_uri(NautilusFileInfo* info) {
    return g_filename_to_uri(test_file(info)->path, nullptr, nullptr);
}
gboolean file_is_directory(NautilusFileInfo* info) {
    return test_file(info)->directory;
}
GFileType file_type(NautilusFileInfo* info) {
    return test_file(info)->directory ? G_FILE_TYPE_DIRECTORY : G_FILE_TYPE_REGULAR;
}

void file_info_init(gpointer iface, gpointer) {
    auto* info = static_cast<NautilusFileInfoInterface*>(iface);
    info->get_location = file_location;
    info->get_uri = file_uri;
    info->is_directory = file_is_directory;
    info->get_file_type = file_type;
}

void file_finalize(GObject* object) {
    g_free(reinterpret_cast<TestFile*>(object)->path);
    G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)))->finalize(object);
}

GType test_file_type() {
    static GType type = 0;
    if (type == 0) {
        static const GTypeInfo info = {
            sizeof(TestFileClass),
            nullptr,
            nullptr,
            [](gpointer klass, gpointer) { G_OBJECT_CLASS(klass)->finalize = file_finalize; },
            nullptr,
            nullptr,
            sizeof(TestFile),
            0,
            nullptr,
            nullptr};
        type = g_type_register_static(G_TYPE_OBJECT, "TestFile", &info, GTypeFlags(0));
        static const GInterfaceInfo file_info = {file_info_init, nullptr, nullptr};
        g_type_add_interface_static(type, NAUTILUS_TYPE_FILE_INFO, &file_info);
    }
    return type;
}

// A list of files as Nautilus passes it; freed with nautilus_file_info_list_free.
GList* files(const std::vector<std::pair<fs::path, bool>>& items) {
    GList* list = nullptr;
    for (const auto& [path, directory] : items) {
        auto* file = static_cast<TestFile*>(g_object_new(test_file_type(), nullptr));
        file->path = g_strdup(path.c_str());
        file->directory = directory;
        list = g_list_append(list, file);
    }
    return list;
}

// --- The module, loaded as Nautilus loads it ------------------------------

struct TestModule {
    GTypeModule parent;
};
struct TestModuleClass {
    GTypeModuleClass parent;
};

void* library = nullptr;

gboolean module_load(GTypeModule* module) {
    library = dlopen(QUILLMARK_NAUTILUS_EXTENSION, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return FALSE;
    auto initialize =
        reinterpret_cast<void (*)(GTypeModule*)>(dlsym(library, "nautilus_module_initialize"));
    if (initialize == nullptr) return FALSE;
    initialize(module);
    return TRUE;
}

// The extension's one object, made once per process as Nautilus makes it.
GObject* extension() {
    static GObject* object = [] {
        static const GTypeInfo info = {sizeof(TestModuleClass),
                                       nullptr,
                                       nullptr,
                                       [](gpointer klass, gpointer) {
                                           G_TYPE_MODULE_CLASS(klass)->load = module_load;
                                           G_TYPE_MODULE_CLASS(klass)->unload = [](GTypeModule*) {};
                                       },
                                       nullptr,
                                       nullptr,
                                       sizeof(TestModule),
                                       0,
                                       nullptr,
                                       nullptr};
        const GType type =
            g_type_register_static(G_TYPE_TYPE_MODULE, "TestModule", &info, GTypeFlags(0));
        GTypeModule* module = G_TYPE_MODULE(g_object_new(type, nullptr));
        if (!g_type_module_use(module)) {
            ADD_FAILURE() << "cannot load " << QUILLMARK_NAUTILUS_EXTENSION << ": " << dlerror();
            return static_cast<GObject*>(nullptr);
        }
        auto list_types = reinterpret_cast<void (*)(const GType**, int*)>(
            dlsym(library, "nautilus_module_list_types"));
        const GType* types = nullptr;
        int count = 0;
        list_types(&types, &count);
        EXPECT_EQ(count, 1);
        return static_cast<GObject*>(g_object_new(types[0], nullptr));
    }();
    return object;
}

// --- The tests -------------------------------------------------------------

struct menu_entry {
    std::string label;
    std::string tip;
};

class nautilus_extension_test : public ::testing::Test {
  protected:
    void SetUp() override {
        // The extension warns only when something went wrong.
        g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
        ASSERT_NE(extension(), nullptr);
        ASSERT_TRUE(NAUTILUS_IS_MENU_PROVIDER(extension()));
        ASSERT_TRUE(NAUTILUS_IS_PROPERTIES_MODEL_PROVIDER(extension()));
        tuv::test::register_vault(vault_.db_path());
        machine_key().set(platform::checkin_program_value, QUILLMARK_TEST_RECORDER);
    }

    static platform::registry_key machine_key() {
        return platform::create_registry_key(platform::registry_root::local_machine,
                                             platform::quillmark_key);
    }

    fs::path local_file(const std::string& name) {
        std::ofstream(dir_ / name) << name;
        return dir_ / name;
    }

    // The menu items for the selection; activates the one labelled
    // `activate`, if any.
    std::vector<menu_entry> menu(const std::vector<std::pair<fs::path, bool>>& selected,
                                 const std::string& activate = "") {
        GList* list = files(selected);
        GList* items =
            nautilus_menu_provider_get_file_items(NAUTILUS_MENU_PROVIDER(extension()), list);
        std::vector<menu_entry> entries;
        for (GList* item = items; item != nullptr; item = item->next) {
            char* label = nullptr;
            char* tip = nullptr;
            g_object_get(item->data, "label", &label, "tip", &tip, nullptr);
            entries.push_back({label, tip});
            if (entries.back().label == activate) {
                nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(item->data));
            }
            g_free(label);
            g_free(tip);
        }
        if (items != nullptr) nautilus_menu_item_list_free(items);
        nautilus_file_info_list_free(list);
        return entries;
    }

    // Each properties section as its title, then "name = value" per row.
    std::vector<std::vector<std::string>> sections(
        const std::vector<std::pair<fs::path, bool>>& selected) {
        GList* list = files(selected);
        GList* models = nautilus_properties_model_provider_get_models(
            NAUTILUS_PROPERTIES_MODEL_PROVIDER(extension()), list);
        std::vector<std::vector<std::string>> out;
        for (GList* model = models; model != nullptr; model = model->next) {
            auto* section = NAUTILUS_PROPERTIES_MODEL(model->data);
            std::vector<std::string> rows{nautilus_properties_model_get_title(section)};
            GListModel* items = nautilus_properties_model_get_model(section);
            for (guint i = 0; i < g_list_model_get_n_items(items); ++i) {
                auto* row = NAUTILUS_PROPERTIES_ITEM(g_list_model_get_item(items, i));
                rows.push_back(std::string(nautilus_properties_item_get_name(row)) + " = " +
                               nautilus_properties_item_get_value(row));
                g_object_unref(row);
            }
            out.push_back(rows);
        }
        g_list_free_full(models, g_object_unref);
        nautilus_file_info_list_free(list);
        return out;
    }

    tuv::test::temp_dir dir_;
    tuv::test::scoped_env registry_{"QUILLMARK_REGISTRY_DIR", (dir_ / "registry").string()};
    tuv::test::scoped_env record_{tuv::test::record_variable, (dir_ / "record").string()};
    tuv::test::test_vault vault_;
};

TEST_F(nautilus_extension_test, three_items_with_a_folder_check_in_the_two_files_joined_by_hash) {
    const fs::path a = local_file("a.txt"), b = local_file("b c.txt");
    fs::create_directory(dir_ / "folder");
    const auto entries =
        menu({{a, false}, {dir_ / "folder", true}, {b, false}}, "Quillmark Checkin");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].tip, "This will check-in the file to Quillmark");
    EXPECT_THAT(tuv::test::recorded_arguments(dir_ / "record"),
                ElementsAre("test_recorder", a.string() + "#" + b.string()));
}

TEST_F(nautilus_extension_test, folders_alone_get_the_checkin_which_says_to_select_a_file) {
    fs::create_directory(dir_ / "folder");
    platform::create_registry_key(platform::registry_root::classes_root,
                                  tuv::shell::class_key() + "\\LocalServer32")
        .set("", QUILLMARK_TEST_RECORDER);
    const auto entries = menu({{dir_ / "folder", true}}, "Quillmark Checkin");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_THAT(tuv::test::recorded_arguments(dir_ / "record"),
                ElementsAre("test_recorder", "--message", "Quillmark", "error",
                            "Please select the file for Quillmark."));
}

TEST_F(nautilus_extension_test, one_file_also_gets_the_properties_program) {
    const auto entries = menu({{local_file("a.txt"), false}});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].label, "Quillmark Checkin");
    EXPECT_EQ(entries[1].label, "Quillmark Properties");
}

TEST_F(nautilus_extension_test, one_known_file_gets_the_section_with_its_vault_paths_sorted) {
    const fs::path report = local_file("report.txt");
    vault_.repo().checkin_file(report, "\\Zeta", "2026-01-02 03:04:05", "text/plain", "first");
    vault_.repo().checkin_file(report, "\\Zeta", "2026-02-03 04:05:06", "text/plain", "second");
    vault_.repo().checkin_file(local_file("report.txt.old"), "\\Alpha", "2026-03-04 05:06:07",
                               "text/plain", "");
    EXPECT_THAT(sections({{report, false}}),
                ElementsAre(ElementsAre("Quillmark", "Quillmark Path = \\Alpha\\report.txt.old",
                                        "2026-3-4 5:6:7 =  ", "Quillmark Path = \\Zeta\\report.txt",
                                        "2026-1-2 3:4:5 = first", "2026-2-3 4:5:6 = second")));
}

TEST_F(nautilus_extension_test, two_files_or_an_unknown_file_get_no_section) {
    const fs::path a = local_file("a.txt"), b = local_file("b.txt");
    vault_.repo().checkin_file(a, "\\Cab", "2026-01-02 03:04:05", "text/plain", "");
    vault_.repo().checkin_file(b, "\\Cab", "2026-01-02 03:04:05", "text/plain", "");
    EXPECT_THAT(sections({{a, false}, {b, false}}), IsEmpty());
    EXPECT_THAT(sections({{local_file("unknown.txt"), false}}), IsEmpty());
}

TEST_F(nautilus_extension_test, without_a_vault_there_is_neither_menu_nor_section) {
    const fs::path a = local_file("a.txt");
    vault_.repo().checkin_file(a, "\\Cab", "2026-01-02 03:04:05", "text/plain", "");
    tuv::test::register_vault("");
    EXPECT_THAT(menu({{a, false}}), IsEmpty());
    EXPECT_THAT(sections({{a, false}}), IsEmpty());
}

TEST_F(nautilus_extension_test,
       a_checkin_program_that_cannot_start_is_told_through_quillmark_shell) {
    machine_key().set(platform::checkin_program_value, (dir_ / "missing").string());
    platform::create_registry_key(platform::registry_root::classes_root,
                                  tuv::shell::class_key() + "\\LocalServer32")
        .set("", QUILLMARK_TEST_RECORDER);
    menu({{local_file("a.txt"), false}}, "Quillmark Checkin");
    EXPECT_THAT(tuv::test::recorded_arguments(dir_ / "record"),
                ElementsAre("test_recorder", "--message", "Quillmark", "exclamation",
                            "Unable to create Quillmark process"));
}

}  // namespace
