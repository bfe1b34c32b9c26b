#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

const std::string app_key = "SOFTWARE\\Marrowgate Software Lab\\Quillmark";

template <typename Action>
std::string error_of(Action action) {
    try {
        action();
    } catch (const registry_error& error) {
        return error.what();
    }
    return "no error";
}

class registry_test : public ::testing::Test {
  protected:
    std::filesystem::path user_file() const { return dir_ / "HKEY_CURRENT_USER.reg"; }

    std::string read_user_file() const {
        std::ifstream in(user_file(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void write_user_file(const std::string& text) const {
        std::ofstream(user_file(), std::ios::binary) << text;
    }

    tuv::test::temp_dir dir_;
    tuv::test::scoped_env env_{"QUILLMARK_REGISTRY_DIR", dir_.path().string()};
};

TEST_F(registry_test, set_query_overwrite_and_remove_round_trip) {
    registry_key key = create_registry_key(registry_root::current_user, app_key);
    EXPECT_EQ(key.query("db_path"), std::nullopt);
    key.set("db_path", "/a.db");
    key.set("empty", "");
    EXPECT_EQ(key.query("db_path"), "/a.db");
    EXPECT_EQ(key.query("empty"), "");
    key.set("db_path", "/b.db");
    EXPECT_EQ(key.query("db_path"), "/b.db");
    EXPECT_TRUE(key.remove("db_path"));
    EXPECT_FALSE(key.remove("db_path"));
    EXPECT_EQ(key.query("db_path"), std::nullopt);
    EXPECT_EQ(key.query("empty"), "");
}

TEST_F(registry_test, writes_golden_file_text) {
    registry_key key = create_registry_key(registry_root::current_user, app_key);
    key.set("db_path", "/home/me/.local/share/quillmark/vault/quillmark.db");
    key.set("", "default value");
    EXPECT_EQ(read_user_file(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Marrowgate Software Lab\\Quillmark]\n"
              "\"db_path\"=\"/home/me/.local/share/quillmark/vault/quillmark.db\"\n"
              "@=\"default value\"\n"
              "\n");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "HKEY_CURRENT_USER.reg.lock"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
}

TEST_F(registry_test, awkward_names_and_values_round_trip_through_the_file) {
    const std::string name = "say \"hi\" C:\\dir a=b \xC3\xA9";
    const std::string value = "\"quoted\" \\\\server\\share x=y\nsecond line\r\n\xE2\x82\xAC";
    create_registry_key(registry_root::current_user, app_key).set(name, value);
    EXPECT_EQ(open_registry_key(registry_root::current_user, app_key)->query(name), value);
}

TEST_F(registry_test, key_and_value_names_ignore_case) {
    create_registry_key(registry_root::current_user, app_key).set("DB_Path", "/a.db");
    std::optional<registry_key> key = open_registry_key(
        registry_root::current_user, "software\\MARROWGATE software lab\\quillmark");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->query("db_path"), "/a.db");
    key->set("DB_PATH", "/b.db");
    // The value keeps the spelling it was created with, as on Windows.
    EXPECT_NE(read_user_file().find("\n\"DB_Path\"=\"/b.db\"\n"), std::string::npos);
    EXPECT_EQ(read_user_file().find("DB_PATH"), std::string::npos);
}

TEST_F(registry_test, open_finds_only_existing_keys_and_their_parents) {
    EXPECT_EQ(open_registry_key(registry_root::current_user, app_key), std::nullopt);
    create_registry_key(registry_root::current_user, app_key);
    EXPECT_TRUE(open_registry_key(registry_root::current_user, app_key));
    EXPECT_TRUE(
        open_registry_key(registry_root::current_user, "software\\marrowgate software lab"));
    EXPECT_EQ(open_registry_key(registry_root::current_user, "SOFTWARE\\Marrowgate"), std::nullopt);
    EXPECT_TRUE(open_registry_key(registry_root::current_user, ""));
    EXPECT_EQ(open_registry_key(registry_root::current_user, app_key + "\\More"), std::nullopt);
    EXPECT_EQ(open_registry_key(registry_root::local_machine, app_key), std::nullopt);
}

TEST_F(registry_test, removing_a_key_takes_the_keys_below_it_and_leaves_its_neighbours) {
    create_registry_key(registry_root::current_user, "A\\B\\C").set("x", "1");
    create_registry_key(registry_root::current_user, "A\\B").set("y", "2");
    create_registry_key(registry_root::current_user, "A\\BB").set("z", "3");
    create_registry_key(registry_root::current_user, "A").set("w", "4");

    EXPECT_TRUE(remove_registry_key(registry_root::current_user, "a\\b"));
    EXPECT_EQ(open_registry_key(registry_root::current_user, "A\\B"), std::nullopt);
    EXPECT_EQ(open_registry_key(registry_root::current_user, "A\\B\\C"), std::nullopt);
    EXPECT_EQ(open_registry_key(registry_root::current_user, "A\\BB")->query("z"), "3");
    EXPECT_EQ(open_registry_key(registry_root::current_user, "A")->query("w"), "4");
    EXPECT_FALSE(remove_registry_key(registry_root::current_user, "A\\B"));
    EXPECT_EQ(error_of([] { remove_registry_key(registry_root::current_user, ""); }),
              "cannot remove the registry root HKEY_CURRENT_USER");
}

TEST_F(registry_test, removing_if_empty_leaves_a_key_with_values_or_keys) {
    create_registry_key(registry_root::current_user, "Full").set("v", "1");
    create_registry_key(registry_root::current_user, "Parent\\Child");
    create_registry_key(registry_root::current_user, "Empty");

    EXPECT_FALSE(remove_registry_key(registry_root::current_user, "Full", key_removal::if_empty));
    EXPECT_FALSE(remove_registry_key(registry_root::current_user, "Parent", key_removal::if_empty));
    EXPECT_TRUE(remove_registry_key(registry_root::current_user, "Empty", key_removal::if_empty));
    EXPECT_TRUE(open_registry_key(registry_root::current_user, "Full"));
    EXPECT_TRUE(open_registry_key(registry_root::current_user, "Parent\\Child"));
    EXPECT_EQ(open_registry_key(registry_root::current_user, "Empty"), std::nullopt);
}

TEST_F(registry_test, roots_are_kept_in_separate_files) {
    create_registry_key(registry_root::local_machine, "A").set("v", "machine");
    create_registry_key(registry_root::classes_root, "A").set("v", "classes");
    EXPECT_EQ(open_registry_key(registry_root::local_machine, "A")->query("v"), "machine");
    EXPECT_EQ(open_registry_key(registry_root::classes_root, "A")->query("v"), "classes");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "HKEY_LOCAL_MACHINE.reg"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "HKEY_CLASSES_ROOT.reg"));
    EXPECT_FALSE(std::filesystem::exists(user_file()));
}

TEST_F(registry_test, reads_see_changes_made_after_opening) {
    registry_key key = create_registry_key(registry_root::current_user, "K");
    write_user_file(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\k]\n\"v\"=\"edited\"\n");
    EXPECT_EQ(key.query("v"), "edited");
}

TEST_F(registry_test, other_value_types_survive_rewrites_but_are_not_text) {
    write_user_file(
        "Windows Registry Editor Version "
        "5.00\n\n[HKEY_CURRENT_USER\\K]\n\"n\"=dword:00000001\n\"h\"=hex:01,\\\n  02\n");
    registry_key key = *open_registry_key(registry_root::current_user, "K");
    EXPECT_EQ(key.query("n"), std::nullopt);
    key.set("s", "text");
    key.set("n", "now text");
    EXPECT_EQ(key.query("n"), "now text");
    EXPECT_EQ(read_user_file(),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"n\"=\"now text\"\n"
              "\"h\"=hex:01,\\\n  02\n\"s\"=\"text\"\n\n");
    EXPECT_TRUE(key.remove("h"));
}

TEST_F(registry_test, malformed_file_is_an_error_naming_file_and_line) {
    write_user_file("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\ngarbage\n");
    const std::string expected =
        "malformed registry file " + user_file().string() + ", line 4: expected \"name\"=\"value\"";
    EXPECT_EQ(error_of([] { open_registry_key(registry_root::current_user, "K"); }), expected);
    EXPECT_EQ(error_of([] { create_registry_key(registry_root::current_user, "K"); }), expected);
}

TEST_F(registry_test, refuses_bad_key_paths_nul_bytes_and_closed_keys) {
    EXPECT_EQ(error_of([] { open_registry_key(registry_root::current_user, "A\\\\B"); }),
              "invalid registry key name \"HKEY_CURRENT_USER\\A\\\\B\"");
    EXPECT_EQ(error_of([] { create_registry_key(registry_root::current_user, "A\\"); }),
              "invalid registry key name \"HKEY_CURRENT_USER\\A\\\"");
    registry_key key = create_registry_key(registry_root::current_user, "A");
    EXPECT_EQ(error_of([&] { key.set("v", std::string("a\0b", 3)); }),
              "registry value \"v\" contains a NUL byte");
    registry_key moved = std::move(key);
    EXPECT_FALSE(key.is_open());
    EXPECT_THROW(key.query("v"), registry_error);
    moved.close();
    EXPECT_EQ(error_of([&] { moved.set("v", "x"); }),
              "registry key HKEY_CURRENT_USER\\A is closed");
}

TEST_F(registry_test, unwritable_folder_is_an_error_naming_the_path) {
    std::ofstream(dir_ / "plain-file") << "x";
    const std::filesystem::path folder = dir_ / "plain-file" / "registry";
    tuv::test::scoped_env env("QUILLMARK_REGISTRY_DIR", folder.string());
    EXPECT_EQ(error_of([] { create_registry_key(registry_root::current_user, "K"); }),
              "cannot create folder " + folder.string() + ": Not a directory");
}

TEST_F(registry_test, forked_writers_never_lose_values) {
    constexpr int writers = 8;
    constexpr int values_each = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                registry_key key = create_registry_key(registry_root::current_user, app_key);
                for (int i = 0; i < values_each; ++i)
                    key.set("w" + std::to_string(w) + "_" + std::to_string(i), "x");
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const registry_key key = *open_registry_key(registry_root::current_user, app_key);
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < values_each; ++i) {
            EXPECT_EQ(key.query("w" + std::to_string(w) + "_" + std::to_string(i)), "x")
                << w << "_" << i;
        }
    }
}

TEST_F(registry_test, threaded_writers_never_lose_values) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            registry_key key =
                create_registry_key(registry_root::current_user, "T" + std::to_string(t % 2));
            for (int i = 0; i < 20; ++i)
                key.set(std::to_string(t) + "_" + std::to_string(i), std::to_string(i));
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) {
        const registry_key key =
            *open_registry_key(registry_root::current_user, "T" + std::to_string(t % 2));
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(key.query(std::to_string(t) + "_" + std::to_string(i)), std::to_string(i));
    }
}

TEST_F(registry_test, directory_comes_from_env_in_order) {
    tuv::test::scoped_env xdg("XDG_CONFIG_HOME", "/xdg");
    tuv::test::scoped_env home("HOME", "/home/me");
    EXPECT_EQ(registry_directory(), dir_.path());
    EXPECT_EQ(registry_file(registry_root::classes_root), dir_ / "HKEY_CLASSES_ROOT.reg");
    {
        tuv::test::scoped_env unset("QUILLMARK_REGISTRY_DIR", "");
        EXPECT_EQ(registry_directory(), "/xdg/quillmark/registry");
        tuv::test::scoped_env relative("XDG_CONFIG_HOME", "relative");
        EXPECT_EQ(registry_directory(), "/home/me/.config/quillmark/registry");
        tuv::test::scoped_env empty("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(registry_directory(), "/home/me/.config/quillmark/registry");
        tuv::test::scoped_env no_home("HOME", std::nullopt);
        EXPECT_EQ(error_of([] { registry_directory(); }),
                  "cannot locate the registry folder: none of QUILLMARK_REGISTRY_DIR, "
                  "XDG_CONFIG_HOME and HOME is set");
    }
}

}  // namespace
}  // namespace platform
