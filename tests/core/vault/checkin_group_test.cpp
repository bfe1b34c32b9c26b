// Check-ins in groups: reported only once committed, and a file that fails
// never takes another file of its group down with it.
#include "core/vault/checkin_group.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "core/vault/verify.h"
#include "tests/support/checks.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

constexpr const char* when = "2024-05-06 07:08:09";

class checkin_group_test : public ::testing::Test {
  protected:
    checkin_group_test() : v(options()) {}
    static vault_options options() {
        vault_options o;
        o.chunks = {100, 100, 16, 1};
        o.container_size = 1000;
        return o;
    }

    fs::path local(const std::string& name, const std::string& content) {
        std::ofstream(folder / name, std::ios::binary) << content;
        return folder / name;
    }

    // Adds the files to one group (of at most `files` files), then commits;
    // returns what was reported, in order: "<name> as <vault path>" or
    // "<name>: <error>".
    std::vector<std::string> check_in(const std::vector<fs::path>& sources, std::size_t files) {
        std::vector<std::string> reported;
        checkin_group group(
            v.repo(),
            [&](const checkin_group::outcome& done) {
                const std::string name = done.source.filename().string();
                if (!done.error) {
                    reported.push_back(name + " as " + done.result.vault_path);
                    return;
                }
                try {
                    std::rethrow_exception(done.error);
                } catch (const std::exception& e) {
                    reported.push_back(name + ": " + e.what());
                }
            },
            checkin_group::limits{1 << 20, files, std::chrono::seconds(60)});
        for (const fs::path& source : sources) {
            group.add(source, "\\g", when, "text/plain", "");
        }
        group.commit();
        return reported;
    }

    std::string read(const std::string& vault_path) {
        return v.repo().catalogue().resolve(vault_path)->read(date(std::string(when)));
    }
    void expect_verified() {
        repository fresh(v.db_path());
        EXPECT_EQ(verify_vault(fresh, {true}).problems, std::vector<std::string>{});
    }

    test::temp_dir folder;
    test::test_vault v;
};

TEST_F(checkin_group_test, files_are_reported_once_their_group_is_committed) {
    const fs::path a = local("a.txt", std::string(150, 'a'));
    const fs::path b = local("b.txt", std::string(250, 'b'));
    const fs::path c = local("c.txt", "c");
    std::vector<std::string> reported;
    std::vector<std::string> seen_by_others;  // committed files, when each report came
    {
        checkin_group group(
            v.repo(),
            [&](const checkin_group::outcome& done) {
                reported.push_back(done.source.filename().string());
                repository other(v.db_path());
                seen_by_others.push_back(test::query_rows(
                    other.database(),
                    "SELECT COUNT(*) FROM file_info WHERE mime_type <> 'directory'")[0]);
            },
            checkin_group::limits{1 << 20, 2, std::chrono::seconds(60)});
        group.add(a, "\\g", when, "text/plain", "");
        group.add(b, "\\g", when, "text/plain", "");
        EXPECT_EQ(reported, std::vector<std::string>{});
        group.add(c, "\\g", when, "text/plain", "");
        // Small files are still being read ahead: none is checked in yet.
        EXPECT_EQ(reported, std::vector<std::string>{});
        group.commit();  // a and b make a full group, then c one of its own
    }
    EXPECT_EQ(reported, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(seen_by_others, (std::vector<std::string>{"2", "2", "3"}));
    EXPECT_EQ(read("\\g\\b.txt"), std::string(250, 'b'));
}

TEST_F(checkin_group_test, a_failing_file_leaves_the_others_of_its_group_committed) {
    const fs::path a = local("a.txt", std::string(150, 'a'));
    const fs::path b = local("b.txt", std::string(250, 'b'));
    const fs::path bad = local("bad.txt", std::string(120, 'x'));
    const fs::path gone = folder / "gone.txt";
    const fs::path c = local("c.txt", std::string(90, 'c'));
    // bad.txt fails half-way: its catalogue row and the journal rows of its
    // directories are in when its own journal row is refused.
    v.database().execute(
        "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.journal"
        " WHEN NEW.src_path LIKE '%bad.txt'"
        " BEGIN SELECT RAISE(ABORT, 'injected database fault'); END");
    EXPECT_EQ(
        check_in({a, gone, b, bad, c}, 10),
        (std::vector<std::string>{
            "a.txt as \\g\\a.txt", "gone.txt: Couldn't open file: " + gone.string(),
            "b.txt as \\g\\b.txt", "bad.txt: injected database fault", "c.txt as \\g\\c.txt"}));
    EXPECT_EQ(read("\\g\\a.txt"), std::string(150, 'a'));
    EXPECT_EQ(read("\\g\\b.txt"), std::string(250, 'b'));
    EXPECT_EQ(read("\\g\\c.txt"), std::string(90, 'c'));
    EXPECT_EQ(test::failure<file_not_found_exception>(
                  [&] { v.repo().catalogue().resolve("\\g\\bad.txt"); }),
              "No such file or directory: bad.txt");
    EXPECT_TRUE(v.database().transactional());
    expect_verified();
}

// Each file is dated by its own text, though a run reads a repeated one once.
TEST_F(checkin_group_test, each_file_takes_the_date_it_was_added_with) {
    const std::vector<std::string> dates = {when, when, "2024-05-07 07:08:09",
                                            "2024-13-01 00:00:00", when};
    std::vector<std::string> dated;
    checkin_group group(v.repo(), [&](const checkin_group::outcome& done) {
        dated.push_back(done.error ? "refused" : date(done.result.moment).to_text());
    });
    for (std::size_t i = 0; i < dates.size(); ++i) {
        group.add(local(std::to_string(i), "x"), "\\g", dates[i], "text/plain", "");
    }
    group.commit();
    EXPECT_EQ(dated,
              (std::vector<std::string>{when, when, "2024-05-07 07:08:09", "refused", when}));
}

// The group makes \g; the second a.txt it adds there finds the first, and
// as a version dated the same second it is refused.
TEST_F(checkin_group_test, a_name_given_twice_in_a_folder_the_group_made_is_one_file) {
    fs::create_directories(folder / "x");
    fs::create_directories(folder / "y");
    std::ofstream(folder / "x" / "a.txt", std::ios::binary) << "first";
    std::ofstream(folder / "y" / "a.txt", std::ios::binary) << "second";
    EXPECT_EQ(check_in({folder / "x" / "a.txt", folder / "y" / "a.txt"}, 10),
              (std::vector<std::string>{
                  "a.txt as \\g\\a.txt",
                  "a.txt: Cannot check in " + (folder / "y" / "a.txt").string() +
                      " as \\g\\a.txt: its latest version is dated 2024-05-06 07:08:09, and a "
                      "new version must be later (asked for 2024-05-06 07:08:09)"}));
    EXPECT_EQ(test::query_rows(v.database(), "SELECT COUNT(*) FROM file_info WHERE path = 'a.txt'"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(read("\\g\\a.txt"), "first");
}

// The first sync of a container fails with an I/O error.
class checkin_group_sync_test : public checkin_group_test {
  protected:
    checkin_group_sync_test() {
        v.repo().set_file_system(files);
        files.fail(test::fs_operation::sync, 1, EIO);
    }
    ~checkin_group_sync_test() override { v.repo().set_file_system(file_system::local()); }

    test::faulty_file_system files;
    const fs::path a = local("a.txt", std::string(450, 'a'));
};

TEST_F(checkin_group_sync_test, a_failed_sync_of_the_group_checks_each_file_in_again_alone) {
    const fs::path b = local("b.txt", std::string(250, 'b'));
    EXPECT_EQ(check_in({a, b}, 10),
              (std::vector<std::string>{"a.txt as \\g\\a.txt", "b.txt as \\g\\b.txt"}));
    EXPECT_EQ(read("\\g\\a.txt"), std::string(450, 'a'));
    EXPECT_EQ(read("\\g\\b.txt"), std::string(250, 'b'));
    EXPECT_EQ(files.unsynced(), std::set<fs::path>{});
    expect_verified();
}

TEST_F(checkin_group_sync_test, a_failed_sync_of_a_single_file_is_its_failure) {
    const fs::path gone = folder / "gone.txt";
    EXPECT_EQ(
        check_in({gone, a}, 10),
        (std::vector<std::string>{"gone.txt: Couldn't open file: " + gone.string(),
                                  "a.txt: Cannot sync " + (v.layout().data / "tuv_s1").string() +
                                      ": Input/output error"}));
    EXPECT_EQ(test::failure<file_not_found_exception>([&] { v.repo().catalogue().resolve("\\g"); }),
              "No such file or directory: g");
    expect_verified();
}

}  // namespace
}  // namespace tuv
