#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "tests/support/checks.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

const std::string name = "Quillmark_TestMutex";

// Body of the forked holder; its result is the child's exit code.
int hold_in_child(int ready_fd, int go_fd, bool release_soon) {
    try {
        auto mutex = named_mutex::try_acquire(name, 0ms);
        if (!mutex) return 1;
        const char byte = 'r';
        if (::write(ready_fd, &byte, 1) != 1) return 2;
        if (release_soon) {
            std::this_thread::sleep_for(100ms);
            mutex->release();
        }
        char ignored;
        (void)::read(go_fd, &ignored, 1);
        return 0;  // _exit below skips the destructor: a crash without release
    } catch (...) {
        return 3;
    }
}

// Another process that takes the mutex and keeps it until finish() or kill().
class holder_process {
  public:
    explicit holder_process(bool release_soon = false) {
        int ready[2];
        int go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) throw std::runtime_error("pipe failed");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            ::_exit(hold_in_child(ready[1], go[0], release_soon));
        }
        ::close(ready[1]);
        ::close(go[0]);
        go_fd_ = go[1];
        char byte;
        ready_ = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~holder_process() { finish(); }

    bool ready() const { return ready_; }
    void kill() { ::kill(pid_, SIGKILL); }
    // Lets the child exit (still holding the mutex unless it released it) and
    // returns its wait status.
    int finish() {
        if (go_fd_ >= 0) ::close(std::exchange(go_fd_, -1));
        if (pid_ > 0) ::waitpid(std::exchange(pid_, -1), &status_, 0);
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int go_fd_ = -1;
    int status_ = -1;
    bool ready_ = false;
};

class named_mutex_test : public ::testing::Test {
  protected:
    tuv::test::temp_dir dir;
    tuv::test::scoped_env runtime{"XDG_RUNTIME_DIR", dir.path().string()};
};

TEST_F(named_mutex_test, acquires_and_releases) {
    auto mutex = named_mutex::try_acquire(checkin_mutex_name, 0ms);
    ASSERT_TRUE(mutex);
    EXPECT_TRUE(mutex->held());
    EXPECT_TRUE(std::filesystem::exists(dir / "Quillmark_CheckinMARROWGATE.lock"));
    mutex->release();
    EXPECT_FALSE(mutex->held());
    EXPECT_TRUE(named_mutex::try_acquire(checkin_mutex_name, 0ms));
}

TEST_F(named_mutex_test, second_acquire_in_same_process_fails_until_released) {
    auto first = named_mutex::try_acquire(name, 0ms);
    ASSERT_TRUE(first);
    EXPECT_FALSE(named_mutex::try_acquire(name, 30ms));
    EXPECT_TRUE(named_mutex::try_acquire("Quillmark_OtherMutex", 0ms));
    named_mutex moved = std::move(*first);
    EXPECT_FALSE(first->held());
    EXPECT_FALSE(named_mutex::try_acquire(name, 0ms));
    moved.release();
    EXPECT_TRUE(named_mutex::try_acquire(name, 0ms));
}

TEST_F(named_mutex_test, holder_exiting_without_release_frees_mutex) {
    holder_process holder;
    ASSERT_TRUE(holder.ready());
    EXPECT_FALSE(named_mutex::try_acquire(name, 50ms));
    const int status = holder.finish();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(named_mutex::try_acquire(name, 0ms));
}

TEST_F(named_mutex_test, killed_holder_frees_mutex) {
    holder_process holder;
    ASSERT_TRUE(holder.ready());
    EXPECT_FALSE(named_mutex::try_acquire(name, 0ms));
    holder.kill();
    const int status = holder.finish();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_TRUE(named_mutex::try_acquire(name, 0ms));
}

TEST_F(named_mutex_test, waiting_acquire_succeeds_when_holder_releases) {
    holder_process holder(true);
    ASSERT_TRUE(holder.ready());
    EXPECT_TRUE(named_mutex::try_acquire(name, 5s));
}

TEST_F(named_mutex_test, invalid_names_throw) {
    for (const std::string bad : {"", "a/b", "../up", "with space", "caf\xC3\xA9"}) {
        try {
            named_mutex::try_acquire(bad, 0ms);
            ADD_FAILURE() << bad;
        } catch (const named_mutex_error& error) {
            EXPECT_EQ(std::string(error.what()), "invalid mutex name \"" + bad + "\"");
        }
    }
}

TEST_F(named_mutex_test, missing_runtime_dir_throws_with_path_and_reason) {
    const auto missing = dir / "missing";
    tuv::test::scoped_env env("XDG_RUNTIME_DIR", missing.string());
    try {
        named_mutex::try_acquire(name, 0ms);
        ADD_FAILURE();
    } catch (const named_mutex_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot open lock file " + missing.string() +
                      "/Quillmark_TestMutex.lock: No such file or directory");
    }
}

TEST_F(named_mutex_test, relative_runtime_dir_falls_back_to_a_private_folder_in_temp_dir) {
    tuv::test::temp_dir temp;
    tuv::test::scoped_env tmpdir("TMPDIR", temp.path().string());
    tuv::test::scoped_env env("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_TRUE(named_mutex::try_acquire(name, 0ms));
    const auto folder = temp / ("quillmark-" + std::to_string(::geteuid()));
    EXPECT_TRUE(std::filesystem::exists(folder / "Quillmark_TestMutex.lock"));
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(std::filesystem::exists(dir / "Quillmark_TestMutex.lock"));
}

TEST_F(named_mutex_test, a_private_folder_that_is_not_safe_is_refused) {
    tuv::test::temp_dir temp;
    tuv::test::scoped_env tmpdir("TMPDIR", temp.path().string());
    tuv::test::scoped_env env("XDG_RUNTIME_DIR", std::nullopt);
    const auto folder = temp / ("quillmark-" + std::to_string(::geteuid()));
    const auto elsewhere = temp / "elsewhere";
    using prepare = void (*)(const std::filesystem::path&, const std::filesystem::path&);
    const prepare cases[] = {
        [](const auto& f, const auto& e) {
            std::filesystem::create_directory(e);
            std::filesystem::permissions(e, std::filesystem::perms::owner_all);
            std::filesystem::create_directory_symlink(e, f);
        },
        [](const auto& f, const auto&) {
            std::filesystem::create_directory(f);
            std::filesystem::permissions(f, std::filesystem::perms::owner_all);
            ASSERT_EQ(::chown(f.c_str(), 65534, 65534), 0);  // nobody's
        },
        [](const auto& f, const auto&) {
            std::filesystem::create_directory(f);
            std::filesystem::permissions(f, std::filesystem::perms::all);
        },
    };
    for (const prepare& make : cases) {
        std::filesystem::remove_all(folder);
        std::filesystem::remove_all(elsewhere);
        make(folder, elsewhere);
        EXPECT_EQ(
            tuv::test::failure<named_mutex_error>([] { named_mutex::try_acquire(name, 0ms); }),
            "unsafe lock folder " + folder.string() +
                ": it must be a folder of this user's own, not a link, closed to other "
                "users");
    }
}

}  // namespace
}  // namespace platform
