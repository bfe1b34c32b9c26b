#include "core/vault/writer_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/base/errors.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(writer_lock_test, one_writer_per_vault_whatever_name_finds_it) {
    QUILLMARK_NEED_SYMLINKS();
    test::test_vault one, other;
    test::temp_dir folder;
    fs::create_symlink(one.layout().database, folder / "alias.db");

    const auto held = try_lock_writer(one.layout().database, 0ms);
    ASSERT_TRUE(held);
    EXPECT_FALSE(try_lock_writer(folder / "alias.db", 30ms));
    EXPECT_TRUE(try_lock_writer(other.layout().database, 0ms));
    EXPECT_TRUE(fs::exists(one.db_path() + ".lock"));
    EXPECT_FALSE(fs::exists(folder / "alias.db.lock"));
}

TEST(writer_lock_test, the_lock_file_takes_the_database_permissions_whatever_the_umask) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no permission bits";
#else
    test::test_vault v;
    const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::group_write;
    fs::permissions(v.layout().database, shared);
    const mode_t previous = ::umask(077);
    const bool locked = try_lock_writer(v.layout().database, 0ms).has_value();
    ::umask(previous);
    ASSERT_TRUE(locked);
    EXPECT_EQ(fs::status(v.db_path() + ".lock").permissions(), shared);
#endif
}

TEST(writer_lock_test, a_vault_that_is_not_there_is_named) {
    test::temp_dir folder;
    EXPECT_EQ(
        test::failure<tuv_error>([&] { try_lock_writer(folder / "none.db", 0ms); }),
        "Cannot find the vault " + (folder / "none.db").string() + ": No such file or directory");
}

}  // namespace
}  // namespace tuv
