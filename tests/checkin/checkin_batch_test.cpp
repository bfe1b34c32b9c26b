// A run of check-ins: the order, a file that fails among others, Cancel in
// the middle of a large file or while another program holds the vault, and
// what each leaves in the vault.
#include <QTest>
#include <chrono>
#include <fstream>

#include "checkin/checkin_batch.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/verify.h"
#include "tests/support/checks.h"
#include "tests/support/held_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

using namespace tuv::checkin_app;
namespace fs = std::filesystem;

namespace {

fs::path write_file(const fs::path& path, std::size_t size, std::uint64_t seed) {
    const auto bytes = tuv::test::random_bytes(size, seed);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<file_status> statuses(const std::vector<file_outcome>& outcomes) {
    std::vector<file_status> out;
    for (const auto& outcome : outcomes) out.push_back(outcome.status);
    return out;
}

}  // namespace

class checkin_batch_test : public QObject {
    Q_OBJECT
  private slots:
    void a_failing_file_is_reported_and_the_others_go_in() {
        tuv::test::temp_dir files;
        tuv::test::test_vault vault;
        auto& repo = vault.repo();
        const fs::path a = write_file(files.path() / "a.txt", 100, 1);
        const fs::path late = write_file(files.path() / "late.txt", 100, 2);
        const fs::path c = write_file(files.path() / "c.txt", 100, 3);
        repo.checkin_file(late, "\\Cab", "2026-06-01 12:00:00", "text/plain", "");

        checkin_batch batch(repo, {{a, late, files.path() / "gone.txt", files.path(), c},
                                   "\\Cab", "2026-01-01 12:00:00", "O'Brien's draft"});
        const auto outcomes = batch.run({});

        QCOMPARE(statuses(outcomes),
                 (std::vector{file_status::checked_in, file_status::failed, file_status::failed,
                              file_status::failed, file_status::checked_in}));
        QVERIFY(needs_summary(outcomes));
        const std::string d = files.path().string();
        QCOMPARE(summary_heading(outcomes, false),
                 "Not every file was checked in.\n2 checked in, 3 failed, 0 not checked in.");
        QCOMPARE(summary_lines(outcomes),
                 "Checked in: " + d + "/a.txt as \\Cab\\a.txt"
                 "\nFailed: Cannot check in " + d + "/late.txt as \\Cab\\late.txt: its latest "
                 "version is dated 2026-06-01 12:00:00, and a new version must be later (asked "
                 "for 2026-01-01 12:00:00)"
                 "\nFailed: Cannot check in " + d + "/gone.txt: it does not exist"
                 "\nFailed: Cannot check in " + d + ": it is a folder, and only files can be "
                 "checked in"
                 "\nChecked in: " + d + "/c.txt as \\Cab\\c.txt");
        // The description is stored as typed.
        QCOMPARE(repo.catalogue().resolve("\\Cab\\c.txt")->attributes(), "O'Brien's draft");
    }

    void cancel_rolls_back_the_file_being_checked_in_and_keeps_those_done() {
        tuv::test::temp_dir files;
        tuv::test::test_vault vault;
        auto& repo = vault.repo();
        const fs::path small = write_file(files.path() / "small.bin", 1000, 4);
        const fs::path big = write_file(files.path() / "big.bin", 16 << 20, 5);
        const fs::path after = write_file(files.path() / "after.bin", 1000, 6);

        checkin_batch batch(repo, {{small, big, after}, "\\", "2026-01-01 12:00:00", ""});
        int seen = 0;
        const auto outcomes = batch.run([&](std::size_t file, int percent, bool) {
            if (file == 1 && percent >= 30) batch.cancel();
            seen = std::max(seen, file == 1 ? percent : 0);
        });

        QCOMPARE(statuses(outcomes), (std::vector{file_status::checked_in, file_status::cancelled,
                                                  file_status::not_started}));
        QVERIFY2(seen < 100, "the cancel came before the end of the file");
        QVERIFY_THROWS_EXCEPTION(tuv::file_not_found_exception,
                                 repo.catalogue().resolve("\\big.bin"));
        QVERIFY(tuv::verify_vault(repo, {.read_data = true}).clean());
        QCOMPARE(summary_heading(outcomes, batch.cancelled()),
                 "The check-in was cancelled.\n1 checked in, 0 failed, 2 not checked in.");
        QCOMPARE(summary_lines(outcomes),
                 "Checked in: " + small.string() +
                     " as \\small.bin\nCancelled, nothing of it was stored: " + big.string() +
                     "\nNot checked in: " + after.string());
    }

    void cancel_ends_the_wait_for_another_program_at_once() {
        tuv::test::temp_dir files;
        tuv::test::test_vault vault;
        auto& repo = vault.repo();
        const fs::path a = write_file(files.path() / "a.bin", 1000, 7);
        tuv::test::held_database other(vault.db_path());

        checkin_batch batch(repo, {{a}, "\\", "2026-01-01 12:00:00", ""});
        const auto start = std::chrono::steady_clock::now();
        const auto outcomes = batch.run([&](std::size_t, int, bool waiting) {
            if (waiting) batch.cancel();
        });
        const auto took = std::chrono::steady_clock::now() - start;
        other.release();

        QCOMPARE(statuses(outcomes), std::vector{file_status::cancelled});
        // Far less than the whole wait, 25 s.
        QVERIFY(took < std::chrono::seconds(5));
        QVERIFY_THROWS_EXCEPTION(tuv::file_not_found_exception,
                                 repo.catalogue().resolve("\\a.bin"));
        QVERIFY(tuv::verify_vault(repo, {.read_data = true}).clean());
    }
};

QTEST_GUILESS_MAIN(checkin_batch_test)
#include "checkin_batch_test.moc"
