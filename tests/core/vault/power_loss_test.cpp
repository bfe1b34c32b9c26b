// Power losses at every moment of a run of check-ins: at each sync point of
// the containers, their folder and the database's log (before it takes
// effect), and after some of the writes between them. The disk then holds
// only what was synced (tests/support/power_loss.h). After each loss the
// vault, opened again, verifies clean with every chunk read back; every
// version reported checked in reads back byte for byte; a version not
// reported is there whole or not at all; and the versions lost can be
// checked in again.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/db/db.h"
#include "core/storage/md5.h"
#include "core/vault/checkin_group.h"
#include "core/vault/file_entry.h"
#include "core/vault/installer.h"
#include "core/vault/repository.h"
#include "tests/support/power_loss.h"
#include "tests/support/temp_dir.h"
#include "tools/cli.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using test::power_cut;
using test::power_loss;

struct version {
    std::string name;  // in the vault's root
    std::string content;
    std::string moment;  // each version its own second
    int group;           // versions of one group are committed together
};

std::string random_bytes(std::mt19937& rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    return bytes;
}

std::string moment(int second) {
    return "2024-06-01 10:00:" + std::string(second < 10 ? "0" : "") + std::to_string(second);
}

std::string counted(std::int64_t n, const std::string& word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// Chunks of 256 to 2048 bytes, containers of 16 KiB: the versions before
// the run fill most of container 1, and the run opens container 2.
class power_loss_test : public ::testing::Test {
  protected:
    power_loss_test() {
        std::mt19937 rng(20240601);
        const std::string a = random_bytes(rng, 6000);
        const std::string b = random_bytes(rng, 6000);
        const std::string c = random_bytes(rng, 5000);
        std::string a1 = a;
        a1.replace(3000, 100, random_bytes(rng, 100));
        std::string f = c;
        f.replace(4000, 1000, random_bytes(rng, 700));
        // Group 0 is checked in before the run; a group of one file goes
        // through repository::checkin_file, larger ones through a
        // checkin_group.
        versions_ = {
            {"a.txt", a, moment(1), 0},
            {"b.txt", b, moment(2), 0},
            {"a.txt", a1, moment(10), 1},  // a new version of a file
            {"c.txt", c, moment(11), 2},                      // a new file
            {"d.txt", "a line before\n" + b, moment(12), 2},  // shares most chunks of b.txt
            {"a.txt", a1 + random_bytes(rng, 2000), moment(13), 2},
            {"e.txt", random_bytes(rng, 3000), moment(14), 3},
            {"b.txt", b.substr(1500), moment(15), 3},
            {"f.txt", f, moment(16), 4},  // shares chunks with c.txt
        };
        vault_options options;
        options.directory = template_ / "vault";
        options.chunks = {256, 2048, 32, 509};
        options.container_size = 16384;
        install_vault(options);
        repository repo((template_ / "vault" / "quillmark.db").string());
        for (std::size_t i = 0; i < versions_.size(); ++i) {
            const version& v = versions_[i];
            fs::create_directories(sources_ / std::to_string(i));
            std::ofstream(source(i), std::ios::binary) << v.content;
            if (v.group == 0) {
                repo.checkin_file(source(i), repo.path_separator(), v.moment, "text/plain",
                                  description(i));
            }
        }
    }

    fs::path source(std::size_t i) const {
        return sources_ / std::to_string(i) / versions_[i].name;
    }
    static std::string description(std::size_t i) { return "version " + std::to_string(i); }

    // Copies the vault as it was before the run into `folder`, runs the
    // check-ins with the power cut at `when`, puts the folder back as the
    // power loss left it and checks it; then checks in again what was lost,
    // and checks that the vault holds every version.
    void lose_power(const fs::path& folder, std::optional<power_cut> when) {
        fs::copy(template_ / "vault", folder, fs::copy_options::recursive);
        power_loss power(folder);
        if (when) power.cut(*when);
        std::vector<bool> reported;  // those checked in before, and those of the run
        for (const version& v : versions_) reported.push_back(v.group == 0);
        check_in(folder, power, reported);
        if (!when) {
            syncs_ = power.syncs();
            writes_after_ = power.writes_after();
            EXPECT_EQ(reported, std::vector<bool>(versions_.size(), true));
        }
        power.restore();
        std::vector<bool> there = check(folder, reported);
        if (::testing::Test::HasFailure()) return;
        check_in(folder, power, there);
        check(folder, std::vector<bool>(versions_.size(), true));
    }

    // Checks in the versions of the run not `done` yet, group by group,
    // until the power goes; marks those reported.
    void check_in(const fs::path& folder, power_loss& power, std::vector<bool>& done) {
        try {
            repository repo((fs::canonical(folder) / "quillmark.db").string());
            repo.set_file_system(power.files());
            for (int group = 1; group <= versions_.back().group && !power.off(); ++group) {
                check_in(repo, group, done, power);
            }
        } catch (const std::exception& e) {
            // Opening the vault makes its log: it may fail for want of power.
            if (!power.off()) ADD_FAILURE() << e.what();
        }
    }

    void check_in(repository& repo, int group, std::vector<bool>& done, power_loss& power) {
        std::vector<std::size_t> members;
        for (std::size_t i = 0; i < versions_.size(); ++i) {
            if (versions_[i].group == group && !done[i]) members.push_back(i);
        }
        const std::string root = repo.path_separator();
        std::vector<std::string> errors;
        if (members.size() == 1) {
            const std::size_t i = members[0];
            try {
                repo.checkin_file(source(i), root, versions_[i].moment, "text/plain",
                                  description(i));
                done[i] = true;
            } catch (const std::exception& e) {
                errors.push_back(e.what());
            }
        } else if (!members.empty()) {
            checkin_group checkins(
                repo,
                [&](const checkin_group::outcome& outcome) {
                    for (const std::size_t i : members) {
                        if (outcome.source == source(i) && !outcome.error) done[i] = true;
                    }
                    if (outcome.error) errors.push_back(outcome.source.string() + " failed");
                },
                checkin_group::limits{1 << 20, members.size(), std::chrono::minutes(10)});
            for (const std::size_t i : members) {
                checkins.add(source(i), root, versions_[i].moment, "text/plain", description(i));
            }
            checkins.commit();
        }
        // A check-in may fail only for want of power.
        if (!power.off()) {
            EXPECT_EQ(errors, std::vector<std::string>{}) << "group " << group;
        }
    }

    // What must hold of the vault in `folder` after a run that reported
    // `reported`. Returns which versions are there.
    std::vector<bool> check(const fs::path& folder, const std::vector<bool>& reported) {
        const std::string db_path = (folder / "quillmark.db").string();
        const char* argv[] = {"quillmark", "--db", db_path.c_str(), "verify", "--read-data"};
        std::ostringstream out;
        std::ostringstream err;
        const int code = tools::run_cli(5, argv, out, err, {});

        repository repo(db_path, repository::access::read_only);
        db& database = repo.database();
        std::set<std::string> files;
        std::int64_t versions = 0;
        std::vector<bool> present;
        for (std::size_t i = 0; i < versions_.size(); ++i) {
            const version& v = versions_[i];
            SCOPED_TRACE(description(i) + " of " + v.name);
            auto row = database.query("SELECT 1 FROM journal WHERE attributes = ?",
                                      {description(i)});
            const bool there = row->next();
            row.reset();
            present.push_back(there);
            if (there) {
                // Reported or not, a version that is there is whole.
                ++versions;
                files.insert(v.name);
                EXPECT_EQ(read_back(repo, v), md5_hex(v.content));
                continue;
            }
            EXPECT_FALSE(reported[i]) << "reported, then lost";
            // Not there at all: no block was made or closed at its moment.
            auto blocks = database.query(
                "SELECT COUNT(*) FROM bmap WHERE creation_date = ? OR deletion_date = ?",
                {date(v.moment).seconds(), date(v.moment).seconds()});
            EXPECT_EQ(blocks->next() ? blocks->get_int64(0) : -1, 0);
        }
        const auto count = [&](const char* statement) {
            auto rows = database.query(statement);
            return rows->next() ? rows->get_int64(0) : -1;
        };
        const std::int64_t chunks = count("SELECT COUNT(*) FROM chunk");
        const std::int64_t containers = count("SELECT COUNT(*) FROM disk_info");
        EXPECT_EQ(out.str() + err.str(),
                  counted(static_cast<std::int64_t>(files.size()), "file") + ", " +
                      counted(versions, "version") + ", " + counted(chunks, "chunk") + ", " +
                      counted(containers, "container") + " checked: no problems\n");
        EXPECT_EQ(code, tools::exit_ok);
        return present;
    }

    // The MD5 of the version's bytes, or why they cannot be read.
    static std::string read_back(repository& repo, const version& v) {
        try {
            return md5_hex(
                repo.catalogue().resolve(repo.path_separator() + v.name)->read(date(v.moment)));
        } catch (const std::exception& e) {
            return e.what();
        }
    }

    test::temp_dir template_;
    test::temp_dir sources_;
    std::vector<version> versions_;
    int syncs_ = 0;
    std::vector<int> writes_after_;
};

TEST_F(power_loss_test, reported_versions_survive_and_others_are_whole_or_absent) {
    // Without a loss, to count the sync points and the writes between them.
    {
        test::temp_dir folder;
        lose_power(folder / "vault", std::nullopt);
        ASSERT_FALSE(HasFailure());
        repository repo((folder / "vault" / "quillmark.db").string(),
                        repository::access::read_only);
        auto containers = repo.database().query("SELECT COUNT(*) FROM disk_info");
        ASSERT_TRUE(containers->next());
        ASSERT_EQ(containers->get_int64(0), 2) << "the run should open a container";
    }
    // After sync n - 1: no write, one, half of them, all but one, all (sync
    // n never takes effect); after the last sync, whatever is still written.
    std::vector<power_cut> cuts;
    for (int n = 0; n <= syncs_; ++n) {
        const int writes = writes_after_[static_cast<std::size_t>(n)];
        for (const int k : std::set<int>{0, 1, writes / 2, writes - 1, writes}) {
            if (k >= 0 && k <= writes) cuts.push_back({n, k});
        }
    }
    for (const power_cut& cut : cuts) {
        SCOPED_TRACE("power lost after sync " + std::to_string(cut.syncs) + " of " +
                     std::to_string(syncs_) + " and " + std::to_string(cut.writes) + " writes");
        test::temp_dir folder;
        lose_power(folder / "vault", cut);
        if (HasFailure()) return;
    }
    std::cout << syncs_ << " sync points, " << cuts.size() << " power losses\n";
}

}  // namespace
}  // namespace tuv
