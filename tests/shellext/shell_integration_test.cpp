// `quillmark shell-integration install|remove` in temporary folders: what it
// records and copies, that remove takes all of it away, and that the Dolphin
// service menu passes desktop-file-validate.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/quillmark_registry.h"
#include "platform/reg_file.h"
#include "platform/registry.h"
#include "shellext/registration.h"
#include "tests/support/checks.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tools/cli.h"

namespace {

namespace fs = std::filesystem;
using platform::registry_root;
using ::testing::HasSubstr;

// A real shared library that needs no sanitizer runtime: SQLite's, as this
// process loaded it.
fs::path loadable_library() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sqlite3_libversion), &info) == 0) return {};
    return info.dli_fname;
}

class shell_integration_test : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(bin_);
        fs::create_directories(library_.parent_path());
        fs::copy_file(loadable_library(), library_);
        std::ofstream(bin_ / "Quillmark_Shell") << "";
        std::ofstream(bin_ / "Quillmark_Property") << "";
        // What `quillmark init` leaves, which must stay as it is.
        platform::create_registry_key(registry_root::local_machine, platform::quillmark_key)
            .set(platform::checkin_program_value, (bin_ / "Quillmark_Checkin").string());
        platform::create_registry_key(registry_root::current_user, platform::quillmark_key)
            .set(platform::db_path_value, "/v/quillmark.db");
    }

    int run(const std::string& action) {
        const std::vector<std::string> args{"quillmark", "shell-integration", action,
                                            "--nautilus-dir", nautilus_.string()};
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        out_.str("");
        err_.str("");
        return tuv::tools::run_cli(static_cast<int>(argv.size()), argv.data(), out_, err_,
                                   {bin_, false});
    }

    static std::optional<std::string> value(registry_root root, const std::string& key,
                                            const std::string& name) {
        const auto open = platform::open_registry_key(root, key);
        return open ? open->query(name) : std::nullopt;
    }

    // Every registry root as its file reads, and every file and folder below
    // the folders the command writes to.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> state;
        for (const registry_root root : {registry_root::current_user, registry_root::local_machine,
                                         registry_root::classes_root}) {
            const std::string text = tuv::test::file_contents(platform::registry_file(root));
            state[std::string(platform::registry_root_name(root))] = platform::format_reg_file(
                platform::parse_reg_file(
                    text.empty() ? "Windows Registry Editor Version 5.00\n" : text, root, "-"),
                root);
        }
        for (const fs::path& top : {data_, nautilus_}) {
            if (!fs::exists(top)) continue;
            for (const auto& entry : fs::recursive_directory_iterator(top)) {
                state[entry.path().string()] =
                    entry.is_directory() ? "<folder>" : tuv::test::file_contents(entry.path());
            }
        }
        return state;
    }

    fs::path menu_file() const {
        return data_ / "kio" / "servicemenus" / "quillmark-shell.desktop";
    }

    tuv::test::temp_dir dir_;
    const fs::path bin_ = dir_ / "my bin $1" / "bin";
    const fs::path library_ = dir_ / "my bin $1" / "lib" / "quillmark" / "libtuv_fileext.so";
    const fs::path data_ = dir_ / "data";
    const fs::path nautilus_ = dir_ / "extensions-4";
    tuv::test::scoped_env registry_{"QUILLMARK_REGISTRY_DIR", (dir_ / "registry").string()};
    tuv::test::scoped_env data_env_{"XDG_DATA_HOME", data_.string()};
    std::ostringstream out_, err_;
};

TEST_F(shell_integration_test, install_records_the_registration_and_puts_both_files_in_place) {
    ASSERT_EQ(run("install"), 0) << err_.str();
    const std::string id = tuv::shell::class_id;
    EXPECT_EQ(value(registry_root::local_machine, tuv::shell::approved_key, id),
              "Quillmark Shell Extension");
    EXPECT_EQ(value(registry_root::classes_root, "CLSID\\" + id, ""), "Tuv_ShellExt Class");
    EXPECT_EQ(value(registry_root::classes_root, "CLSID\\" + id + "\\InprocServer32", ""),
              (nautilus_ / "libtuv_fileext.so").string());
    EXPECT_EQ(
        value(registry_root::classes_root, "CLSID\\" + id + "\\InprocServer32", "ThreadingModel"),
        "Apartment");
    EXPECT_EQ(value(registry_root::classes_root, "CLSID\\" + id + "\\LocalServer32", ""),
              (bin_ / "Quillmark_Shell").string());
    EXPECT_TRUE(platform::open_registry_key(registry_root::classes_root,
                                            "*\\shellex\\PropertySheetHandlers\\" + id));

    EXPECT_EQ(tuv::test::file_contents(nautilus_ / "libtuv_fileext.so"),
              tuv::test::file_contents(library_));
    EXPECT_EQ(tuv::test::file_contents(menu_file()), tuv::shell::service_menu_text(bin_));
    struct stat info {};
    ASSERT_EQ(stat(menu_file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_THAT(tuv::shell::service_menu_text(bin_),
                HasSubstr("Exec=\"" + dir_.path().string() +
                          "/my bin \\\\$1/bin/Quillmark_Shell\" "
                          "--checkin %F\n"));
}

TEST_F(shell_integration_test, install_then_remove_leaves_no_trace) {
    const auto before = snapshot();
    ASSERT_EQ(run("install"), 0) << err_.str();
    ASSERT_EQ(run("install"), 0) << err_.str();
    EXPECT_NE(snapshot(), before);
    ASSERT_EQ(run("remove"), 0) << err_.str();
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(fs::exists(data_ / "kio"));
    ASSERT_EQ(run("remove"), 0) << err_.str();
}

TEST_F(shell_integration_test, service_menu_passes_desktop_file_validate) {
    ASSERT_EQ(run("install"), 0) << err_.str();
    const std::string command = "desktop-file-validate '" + menu_file().string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_EQ(output, "");
}

TEST_F(shell_integration_test, a_library_nautilus_cannot_load_is_refused_before_anything_is_done) {
    const std::string advice =
        ", which Nautilus cannot load; install from an optimised build (scripts/build, then "
        "build/release/bin/quillmark shell-integration install)\n";
    const std::string real = tuv::test::file_contents(loadable_library());
    const struct {
        std::string bytes;
        std::string reason;
    } cases[] = {
        // The text the old check looked for, in a library that does not link it.
        {real + "libasan.so.8", ""},
        {"not a library", " is not a 64-bit shared library"},
        {real.substr(0, 200), " is not a 64-bit shared library"},
    };
    for (const auto& item : cases) {
        std::ofstream(library_, std::ios::binary | std::ios::trunc) << item.bytes;
        if (item.reason.empty()) {
            EXPECT_EQ(run("install"), 0) << err_.str();
            continue;
        }
        const auto before = snapshot();
        EXPECT_EQ(run("install"), 1);
        EXPECT_EQ(err_.str(), "quillmark: " + library_.string() + item.reason + advice);
        EXPECT_EQ(snapshot(), before);
    }
}

// The library this build really makes: refused when built with the address
// sanitizer (as the debug preset builds it), installed otherwise.
TEST_F(shell_integration_test, the_library_this_build_makes_installs_unless_sanitized) {
    fs::copy_file(QUILLMARK_NAUTILUS_EXTENSION, library_, fs::copy_options::overwrite_existing);
    if (!QUILLMARK_SANITIZED) {
        EXPECT_EQ(run("install"), 0) << err_.str();
        return;
    }
    const auto before = snapshot();
    EXPECT_EQ(run("install"), 1);
    EXPECT_THAT(err_.str(), HasSubstr(library_.string() +
                                      " was built with the address sanitizer, which Nautilus "
                                      "cannot load; install from an optimised build"));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(shell_integration_test, nothing_is_recorded_for_a_program_that_is_not_there) {
    fs::remove(bin_ / "Quillmark_Shell");
    const auto before = snapshot();
    EXPECT_EQ(run("install"), 1);
    EXPECT_EQ(err_.str(), "quillmark: " + (bin_ / "Quillmark_Shell").string() +
                              " is missing; build it first\n");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(shell_integration_test, a_nautilus_folder_it_cannot_write_is_named_with_what_to_run) {
    std::ofstream(dir_ / "extensions-4") << "a file, not a folder";
    EXPECT_EQ(run("install"), 1);
    EXPECT_THAT(err_.str(),
                HasSubstr("Everything else is done. Nautilus loads extensions only from " +
                          nautilus_.string() + "; to finish, run: sudo install -m 0644 '" +
                          library_.string() + "' '" + nautilus_.string() + "/'"));
    EXPECT_TRUE(fs::exists(menu_file()));
}

}  // namespace
