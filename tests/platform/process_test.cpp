#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using tuv::test::failure;

// The text of a file once it exists, or "" after a few seconds.
std::string wait_for(const std::filesystem::path& file) {
    for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return tuv::test::file_contents(file);
}

TEST(process_test, program_gets_its_name_and_each_argument_whole_and_leaves_no_child) {
    tuv::test::temp_dir dir;
    const auto out = dir / "out";
    // The shell writes to a temporary name first, so the file appears whole.
    start_detached("/bin/sh",
                   {"-c", "printf '%s|' \"$0\" \"$@\" > \"$1.tmp\"; mv \"$1.tmp\" \"$1\"",
                    "sh-name", out.string(), "a b#c,d", ""});
    EXPECT_EQ(wait_for(out), "sh-name|" + out.string() + "|a b#c,d||");
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(process_test, a_program_that_cannot_start_is_an_error_naming_it) {
    tuv::test::temp_dir dir;
    const auto plain = dir / "plain";
    std::ofstream(plain) << "#!/bin/sh\n";
    EXPECT_EQ(failure<process_error>([&] { start_detached(dir / "missing", {}); }),
              "cannot start " + (dir / "missing").string() + ": No such file or directory");
    EXPECT_EQ(failure<process_error>([&] { start_detached(plain, {}); }),
              "cannot start " + plain.string() + ": Permission denied");
    EXPECT_EQ(failure<process_error>(
                  [&] { start_detached("/bin/true", {std::string(max_argument_size + 1, 'x')}); }),
              "cannot start /bin/true: Argument list too long");
    start_detached("/bin/true", {std::string(max_argument_size, 'x')});
}

}  // namespace
}  // namespace platform
