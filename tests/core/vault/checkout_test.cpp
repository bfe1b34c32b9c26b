#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <fstream>
#include <iterator>
#include <string>

#include "core/base/errors.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

class checkout_test : public ::testing::Test {
  protected:
    checkout_test() {
        std::ofstream(folder / "source", std::ios::binary) << "version";
        v.repo().checkin_file(folder / "source", "\\", "2024-01-02 03:04:05", "text/plain", "");
        fs::create_directory(out);
    }

    std::string failure_of(const fs::path& destination) {
        return test::failure<tuv_error>(
            [&] { test::checkout_path(v.repo(), "\\source", destination, "now"); });
    }

    test::temp_dir folder;
    test::test_vault v;
    fs::path out = folder / "out";
};

TEST_F(checkout_test, what_is_not_a_regular_file_is_refused_and_kept) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs or Unix sockets";
#else
    ASSERT_EQ(::mkfifo((out / "fifo").c_str(), 0600), 0);
    fs::create_directory(out / "folder");
    fs::create_symlink("folder", out / "link_to_folder");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = (out / "socket").string();
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    socket_path.copy(address.sun_path, socket_path.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);

    for (const char* name : {"fifo", "folder", "link_to_folder", "socket"}) {
        EXPECT_EQ(failure_of(out / name),
                  "Cannot write " + (out / name).string() + ": it is not a regular file");
    }
    EXPECT_TRUE(fs::is_fifo(out / "fifo"));
    EXPECT_TRUE(fs::is_symlink(out / "link_to_folder"));
    EXPECT_TRUE(fs::is_socket(out / "socket"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
#endif
}

TEST_F(checkout_test, a_link_chain_is_written_through_and_stays) {
    QUILLMARK_NEED_SYMLINKS();
    fs::create_directory(folder / "elsewhere");
    std::ofstream(folder / "elsewhere" / "real") << "old";
    fs::create_symlink("../elsewhere/real", out / "first");
    fs::create_symlink("first", out / "second");
    test::checkout_path(v.repo(), "\\source", out / "second", "now");
    EXPECT_EQ(fs::read_symlink(out / "second"), "first");
    EXPECT_EQ(fs::read_symlink(out / "first"), "../elsewhere/real");
    EXPECT_EQ(test::file_contents(folder / "elsewhere" / "real"), "version");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "elsewhere"), fs::directory_iterator()),
              1);
}

TEST_F(checkout_test, a_dangling_link_is_refused_and_nothing_is_created) {
    QUILLMARK_NEED_SYMLINKS();
    fs::create_symlink(folder / "nowhere", out / "dangling");
    EXPECT_EQ(failure_of(out / "dangling"),
              "Cannot write " + (out / "dangling").string() +
                  ": it is a symbolic link to a file that does not exist");
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(checkout_test, a_file_written_over_keeps_its_permissions) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no permission bits";
#else
    const fs::path script = out / "run.sh";
    std::ofstream(script) << "old";
    const auto mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read;
    fs::permissions(script, mode);
    test::checkout_path(v.repo(), "\\source", script, "now");
    EXPECT_EQ(test::file_contents(script), "version");
    EXPECT_EQ(fs::status(script).permissions(), mode);
#endif
}

// Writing over a container or the database would destroy the vault, even
// when the name reaches them through a link.
TEST_F(checkout_test, the_vaults_own_files_are_refused_and_kept) {
    QUILLMARK_NEED_SYMLINKS();
    const fs::path container = v.layout().data / "tuv_s1";
    fs::create_symlink(container, out / "link_to_container");
    const std::string kept = test::file_contents(container);
    for (const fs::path& destination : {container, v.layout().database, out / "link_to_container",
                                        v.layout().data / "new"}) {
        EXPECT_EQ(failure_of(destination),
                  "Cannot write " + destination.string() + ": it is one of the vault's own files");
    }
    EXPECT_EQ(test::file_contents(container), kept);
    EXPECT_FALSE(fs::exists(v.layout().data / "new"));
}

}  // namespace
}  // namespace tuv
