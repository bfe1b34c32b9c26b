// The platform layers on Windows: the real registry (in a key apart, see
// tests/support/scoped_registry.h), the named mutex, starting programs,
// paths longer than 260 characters, and text beyond ASCII through the wide
// calls, into the programs and out of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "core/base/utf8_path.h"
#include "core/storage/file_io.h"
#include "platform/CRegistry.h"
#include "platform/long_path.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/wide_text.h"
#include "tests/support/checks.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string app_key = "SOFTWARE\\Marrowgate Software Lab\\Quillmark";

class registry_win_test : public ::testing::Test {
  protected:
    // The real key behind a key of the registry apart.
    std::string real_key(const std::string& root, const std::string& path) const {
        return std::string(std::getenv("QUILLMARK_REGISTRY_KEY")) + "\\" + root + "\\" + path;
    }

    tuv::test::temp_dir dir_;
    tuv::test::scoped_registry registry_{dir_.path()};
};

TEST_F(registry_win_test, values_round_trip_through_the_real_registry_ignoring_case) {
    EXPECT_FALSE(open_registry_key(registry_root::current_user, app_key));
    registry_key key = create_registry_key(registry_root::current_user, app_key);
    key.set("db_path", "C:\\it's a vault\\q.db");
    key.set("blank", "");
    EXPECT_EQ(key.query("DB_PATH"), "C:\\it's a vault\\q.db");
    EXPECT_EQ(key.query("blank"), "");
    EXPECT_EQ(key.query("missing"), std::nullopt);

    HKEY real = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, real_key("HKEY_CURRENT_USER", app_key).c_str(), 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, &real),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ::RegSetValueExA(real, "flag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    ::RegCloseKey(real);
    EXPECT_EQ(key.query("flag"), std::nullopt);  // not text

    const CRegistry reader(registry_root::current_user,
                           "software\\marrowgate software lab\\QUILLMARK");
    std::string out;
    EXPECT_TRUE(reader.is_open());
    EXPECT_TRUE(reader.query("db_path", out));
    EXPECT_EQ(out, "C:\\it's a vault\\q.db");

    EXPECT_TRUE(key.remove("db_path"));
    EXPECT_FALSE(key.remove("db_path"));
    EXPECT_FALSE(reader.query("db_path", out));
}

TEST_F(registry_win_test, keys_are_removed_with_their_subkeys_or_only_when_empty) {
    create_registry_key(registry_root::classes_root, "CLSID\\{x}\\InprocServer32").set("", "a.dll");
    create_registry_key(registry_root::classes_root, "CLSID\\{y}");
    EXPECT_FALSE(remove_registry_key(registry_root::classes_root, "CLSID", key_removal::if_empty));
    EXPECT_TRUE(
        remove_registry_key(registry_root::classes_root, "CLSID\\{y}", key_removal::if_empty));
    EXPECT_TRUE(remove_registry_key(registry_root::classes_root, "CLSID\\{x}"));
    EXPECT_FALSE(remove_registry_key(registry_root::classes_root, "CLSID\\{x}"));
    EXPECT_TRUE(open_registry_key(registry_root::classes_root, "CLSID"));
    EXPECT_FALSE(open_registry_key(registry_root::classes_root, "CLSID\\{x}"));
    EXPECT_EQ(tuv::test::failure<registry_error>(
                  [] { remove_registry_key(registry_root::classes_root, ""); }),
              "cannot remove the registry root HKEY_CLASSES_ROOT");
    EXPECT_EQ(tuv::test::failure<registry_error>(
                  [] { open_registry_key(registry_root::local_machine, "a\\\\b"); }),
              "invalid registry key name \"HKEY_LOCAL_MACHINE\\a\\\\b\"");
}

TEST_F(registry_win_test, a_key_removed_meanwhile_reads_as_missing_and_is_made_again_by_set) {
    registry_key key = create_registry_key(registry_root::local_machine, app_key);
    key.set("QuillmarkPath", "C:\\q\\Quillmark_Checkin.exe");
    remove_registry_key(registry_root::local_machine, "SOFTWARE");
    EXPECT_EQ(key.query("QuillmarkPath"), std::nullopt);
    key.set("QuillmarkPath", "again");
    EXPECT_EQ(key.query("QuillmarkPath"), "again");
}

TEST_F(registry_win_test, text_beyond_ascii_is_kept_as_utf16) {
    const std::string key_path = app_key + "\\Zoë";
    create_registry_key(registry_root::current_user, key_path)
        .set("Tresor ü", "C:\\日本\\résumé 😀.db");
    auto key = open_registry_key(registry_root::current_user, key_path);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->query("Tresor ü"), "C:\\日本\\résumé 😀.db");
    // What any other program reads there.
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(
        ::RegGetValueW(HKEY_CURRENT_USER, to_wide(real_key("HKEY_CURRENT_USER", key_path)).c_str(),
                       L"Tresor ü", RRF_RT_REG_SZ, nullptr, stored, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), L"C:\\日本\\résumé 😀.db");
    EXPECT_TRUE(key->remove("Tresor ü"));
}

TEST(named_mutex_win_test, another_thread_waits_and_an_abandoned_mutex_is_taken) {
    const std::string name = "Quillmark_TestMutex_" + std::to_string(::GetCurrentProcessId());
    auto mine = named_mutex::try_acquire(name, 0ms);
    ASSERT_TRUE(mine);
    bool other_got_it = true;
    std::thread([&] { other_got_it = named_mutex::try_acquire(name, 30ms).has_value(); }).join();
    EXPECT_FALSE(other_got_it);
    mine->release();
    EXPECT_FALSE(mine->held());

    // A holder whose thread ends without releasing leaves the mutex abandoned.
    std::thread([&] {
        auto held = named_mutex::try_acquire(name, 0ms);
        ASSERT_TRUE(held);
        new named_mutex(std::move(*held));  // never released: a crashed holder
    }).join();
    EXPECT_TRUE(named_mutex::try_acquire(name, 1s));
    EXPECT_EQ(tuv::test::failure<named_mutex_error>([] { named_mutex::try_acquire("a/b", 0ms); }),
              "invalid mutex name \"a/b\"");
}

TEST(process_win_test, the_program_gets_a_windows_command_line_and_a_missing_one_is_an_error) {
    tuv::test::temp_dir dir;
    tuv::test::scoped_env record(tuv::test::record_variable, (dir / "record").string());
    start_detached(QUILLMARK_TEST_RECORDER, {"C:\\a b\\one.txt#C:\\two.txt"});
    EXPECT_EQ(tuv::test::recorded_arguments(dir / "record"),
              (std::vector<std::string>{"test_recorder.exe", "C:\\a b\\one.txt#C:\\two.txt"}));
    const fs::path missing = dir / "missing.exe";
    EXPECT_EQ(tuv::test::failure<process_error>([&] { start_detached(missing, {}); }),
              "cannot start " + missing.string() + ": No such file or directory");
}

TEST(process_win_test, a_program_in_a_folder_beyond_ascii_gets_its_argument_in_utf8) {
    tuv::test::temp_dir dir;
    tuv::test::scoped_env record(tuv::test::record_variable, (dir / "record").string());
    const fs::path folder = dir / tuv::path_from_utf8("Programme 日本");
    fs::create_directory(folder);
    fs::copy_file(QUILLMARK_TEST_RECORDER, folder / "test_recorder.exe");
    start_detached(folder / "test_recorder.exe", {"C:\\Zoë\\résumé 😀.txt#C:\\日本.txt"});
    EXPECT_EQ(
        tuv::test::recorded_arguments(dir / "record"),
        (std::vector<std::string>{"test_recorder.exe", "C:\\Zoë\\résumé 😀.txt#C:\\日本.txt"}));
}

// Runs `program` on the UTF-8 `arguments` (what follows its name on the
// command line) through the wide call, as Explorer or a console would start
// it, its standard output and error into `output`; its exit code.
DWORD run_program(const fs::path& program, const std::string& arguments, const fs::path& output) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE out = ::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line = to_wide("\"" + tuv::utf8_of(program) + "\" " + arguments);
    PROCESS_INFORMATION started{};
    DWORD code = 0xFFFFFFFF;
    if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &started)) {
        ::WaitForSingleObject(started.hProcess, 60000);
        ::GetExitCodeProcess(started.hProcess, &code);
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
    }
    ::CloseHandle(out);
    return code;
}

TEST(programs_win_test, the_programs_read_arguments_and_environment_and_write_in_utf8) {
    tuv::test::temp_dir dir;
    tuv::test::scoped_registry registry{dir.path()};
    const fs::path data = dir / tuv::path_from_utf8("Daten 日本");
    const fs::path vault = data / "quillmark" / "vault";
    const fs::path source = dir / tuv::path_from_utf8("résumé 😀.txt");
    const fs::path exported = dir / tuv::path_from_utf8("Export ü");
    const fs::path output = dir / "output.txt";
    std::ofstream(source, std::ios::binary) << "résumé";

    // The vault's folder comes from the environment, as a user's own folder may be named.
    ::_wputenv_s(L"XDG_DATA_HOME", data.c_str());
    EXPECT_EQ(run_program(QUILLMARK_CLI, "init", output), 0u);
    ::_wputenv_s(L"XDG_DATA_HOME", L"");
    EXPECT_TRUE(tuv::test::text_file_contents(output).starts_with("Created the vault " +
                                                                  tuv::utf8_of(vault) + "\n"))
        << tuv::test::text_file_contents(output);
    EXPECT_EQ(run_program(QUILLMARK_CLI, "checkin \"" + tuv::utf8_of(source) + "\"", output), 0u);
    EXPECT_TRUE(tuv::test::text_file_contents(output).starts_with(
        "Checked in " + tuv::utf8_of(source) + " as \\résumé 😀.txt: 8 bytes"))
        << tuv::test::text_file_contents(output);
    EXPECT_EQ(run_program(QUILLMARK_EXPORT, "\"\\résumé 😀.txt\" \"" + tuv::utf8_of(exported) + "\"",
                          output),
              0u)
        << tuv::test::text_file_contents(output);
    EXPECT_EQ(tuv::test::file_contents(exported / tuv::path_from_utf8("résumé 😀.txt")), "résumé");
}

TEST(long_path_win_test, files_deeper_than_260_characters_are_written_renamed_and_read) {
    tuv::test::temp_dir dir;
    fs::path folder = dir.path();
    while (folder.string().size() < 300) folder /= std::string(40, 'd');
    std::error_code error;
    fs::create_directories(long_path(folder), error);
    ASSERT_FALSE(error) << error.message();
    tuv::file_system& files = tuv::file_system::local();
    {
        auto file = files.open(folder / "new.bin", tuv::open_mode::create_new);
        file->write_at(0, "long path", 9);
        file->sync();
    }
    files.rename(folder / "new.bin", folder / "kept.bin");
    files.sync_directory(folder);
    EXPECT_EQ(files.status(folder / "kept.bin").kind, tuv::path_kind::regular);
    char back[9] = {};
    EXPECT_EQ(files.open(folder / "kept.bin", tuv::open_mode::read)->read_at(0, back, 9), 9u);
    EXPECT_EQ(std::string(back, 9), "long path");
    files.remove(folder / "kept.bin");
    EXPECT_EQ(files.status(folder / "kept.bin").kind, tuv::path_kind::missing);
    fs::remove_all(long_path(dir.path()), error);
}

}  // namespace
}  // namespace platform
