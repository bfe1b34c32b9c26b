// A run of check-ins: the order, a file that fails among others, Cancel in
// the middle of a large file or while another program holds the vault, and
// what each leaves in the vault.
#include "checkin/checkin_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/verify.h"
#include "tests/support/checks.h"
#include "tests/support/held_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv::checkin_app {
namespace {

namespace fs = std::filesystem;

fs::path write_file(const fs::path& path, std::size_t size, std::uint64_t seed) {
    const auto bytes = test::random_bytes(size, seed);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<file_status> statuses(const std::vector<file_outcome>& outcomes) {
    std::vector<file_status> out;
    for (const auto& outcome : outcomes) out.push_back(outcome.status);
    return out;
}

class checkin_batch_test : public ::testing::Test {
  protected:
    test::temp_dir files;
    test::test_vault vault;
    repository& repo = vault.repo();
};

TEST_F(checkin_batch_test, a_failing_file_is_reported_and_the_others_go_in) {
    const fs::path a = write_file(files / "a.txt", 100, 1);
    const fs::path late = write_file(files / "late.txt", 100, 2);
    const fs::path c = write_file(files / "c.txt", 100, 3);
    const fs::path gone = files / "gone.txt";
    repo.checkin_file(late, "\\Cab", "2026-06-01 12:00:00", "text/plain", "");

    checkin_batch batch(
        repo,
        {{a, late, gone, files.path(), c}, "\\Cab", "2026-01-01 12:00:00", "O'Brien's draft"});
    const auto outcomes = batch.run({});

    EXPECT_EQ(statuses(outcomes),
              (std::vector{file_status::checked_in, file_status::failed, file_status::failed,
                           file_status::failed, file_status::checked_in}));
    EXPECT_TRUE(needs_summary(outcomes));
    EXPECT_EQ(summary_heading(outcomes, false),
              "Not every file was checked in.\n2 checked in, 3 failed, 0 not checked in.");
    EXPECT_EQ(summary_lines(outcomes),
              "Checked in: " + a.string() + " as \\Cab\\a.txt" + "\nFailed: Cannot check in " +
                  late.string() +
                  " as \\Cab\\late.txt: its latest version is dated 2026-06-01 12:00:00, and a "
                  "new version must be later (asked for 2026-01-01 12:00:00)" +
                  "\nFailed: Cannot check in " + gone.string() + ": it does not exist" +
                  "\nFailed: Cannot check in " + files.path().string() +
                  ": it is a folder, and only files can be checked in" +
                  "\nChecked in: " + c.string() + " as \\Cab\\c.txt");
    // The description is stored as typed.
    EXPECT_EQ(repo.catalogue().resolve("\\Cab\\c.txt")->attributes(), "O'Brien's draft");
}

TEST_F(checkin_batch_test, cancel_rolls_back_the_file_being_checked_in_and_keeps_those_done) {
    const fs::path small = write_file(files / "small.bin", 1000, 4);
    const fs::path big = write_file(files / "big.bin", 16 << 20, 5);
    const fs::path after = write_file(files / "after.bin", 1000, 6);

    checkin_batch batch(repo, {{small, big, after}, "\\", "2026-01-01 12:00:00", ""});
    int seen = 0;
    const auto outcomes = batch.run([&](std::size_t file, int percent, bool) {
        if (file == 1 && percent >= 30) batch.cancel();
        seen = std::max(seen, file == 1 ? percent : 0);
    });

    EXPECT_EQ(statuses(outcomes), (std::vector{file_status::checked_in, file_status::cancelled,
                                               file_status::not_started}));
    EXPECT_LT(seen, 100) << "the cancel came before the end of the file";
    EXPECT_THROW(repo.catalogue().resolve("\\big.bin"), file_not_found_exception);
    EXPECT_TRUE(verify_vault(repo, {.read_data = true}).clean());
    EXPECT_EQ(summary_heading(outcomes, batch.cancelled()),
              "The check-in was cancelled.\n1 checked in, 0 failed, 2 not checked in.");
    EXPECT_EQ(summary_lines(outcomes),
              "Checked in: " + small.string() +
                  " as \\small.bin\nCancelled, nothing of it was stored: " + big.string() +
                  "\nNot checked in: " + after.string());
}

// Cancelled, not failed: the wait ended at the cancel, not when it gave up
// (that would fail the file as busy).
TEST_F(checkin_batch_test, cancel_ends_the_wait_for_another_program) {
    const fs::path a = write_file(files / "a.bin", 1000, 7);
    test::held_database other(vault.db_path());

    checkin_batch batch(repo, {{a}, "\\", "2026-01-01 12:00:00", ""});
    bool waited = false;
    const auto outcomes = batch.run([&](std::size_t, int, bool waiting) {
        waited = waited || waiting;
        if (waiting) batch.cancel();
    });
    other.release();

    EXPECT_TRUE(waited);
    EXPECT_EQ(statuses(outcomes), std::vector{file_status::cancelled});
    EXPECT_THROW(repo.catalogue().resolve("\\a.bin"), file_not_found_exception);
    EXPECT_TRUE(verify_vault(repo, {.read_data = true}).clean());
}

}  // namespace
}  // namespace tuv::checkin_app
