// A vault on a database server: several writers checking in at once, every
// version exported byte for byte, and a check-in whose connection to the
// server is lost half-way. Runs where QUILLMARK_TEST_PG names a server
// (tests/support/pg_cluster).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/open_database.h"
#include "core/vault/catalogue.h"
#include "core/vault/file_entry.h"
#include "core/vault/installer.h"
#include "core/vault/journal.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"
#include "core/vault/verify.h"
#include "export/export_engine.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_schema.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

std::string random_text(std::size_t size, std::uint64_t seed) {
    const std::vector<std::uint8_t> bytes = test::random_bytes(size, seed);
    return {bytes.begin(), bytes.end()};
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class team_vault_test : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!schema.available()) GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
        vault_options options;
        options.directory = folder / "desktop";
        options.chunks = {512, 8192, 16, 509};
        // Small containers, so that the writers fill several.
        options.container_size = 96 << 10;
        install_server_vault(schema.address(), options);
    }

    test::test_schema schema;
    test::temp_dir folder;
};

TEST_F(team_vault_test, four_writers_at_once_and_every_version_exports_byte_for_byte) {
    constexpr int writers = 4;
    constexpr int rounds = 3;
    std::vector<std::string> written;
    std::vector<std::vector<std::string>> shared(writers);
    for (int w = 0; w < writers; ++w) {
        for (int r = 0; r < rounds; ++r) shared[w].push_back(random_text(20000, 10 * w + r));
        written.insert(written.end(), shared[w].begin(), shared[w].end());
        written.push_back(random_text(50000, 100 + w));
    }

    std::vector<std::string> errors(writers);
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            try {
                repository repo(schema.address());
                const fs::path own = folder / ("own" + std::to_string(w) + ".bin");
                write_file(own, written[static_cast<std::size_t>(w * (rounds + 1) + rounds)]);
                const fs::path mine = folder / std::to_string(w);
                fs::create_directory(mine);
                for (int r = 0; r < rounds; ++r) {
                    write_file(mine / "shared.bin", shared[w][r]);
                    repo.checkin_file(mine / "shared.bin", "\\team", "now", "", "");
                    if (r == 0) repo.checkin_file(own, "\\team", "now", "", "");
                }
            } catch (const std::exception& e) {
                errors[w] = e.what();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(errors, std::vector<std::string>(writers));

    repository repo(schema.address());
    std::ostringstream progress;
    std::ostringstream problems;
    export_engine(repo, "\\team", folder / "out", version_mode::all, entry_filter::both, progress,
                  problems)
        .run();
    EXPECT_EQ(problems.str(), "");
    std::vector<std::string> exported;
    for (const auto& item : fs::recursive_directory_iterator(folder / "out")) {
        if (item.is_regular_file()) exported.push_back(test::file_contents(item.path()));
    }
    std::sort(exported.begin(), exported.end());
    std::sort(written.begin(), written.end());
    EXPECT_TRUE(exported == written) << exported.size() << " files exported";

    const verify_report report = verify_vault(repo, {.read_data = true});
    EXPECT_EQ(report.problems, std::vector<std::string>());
    EXPECT_GT(report.containers, 1u);
}

// Ends the writer's session on the server at its first progress report, as
// a server that stops would, and waits until it is gone.
class session_cutter : public progress_observer {
  public:
    session_cutter(db& admin, std::int64_t session) : admin_(admin), session_(session) {}
    void update(int) override {
        if (done_) return;
        done_ = true;
        admin_.query("SELECT pg_terminate_backend(?)", {session_});
        while (admin_.query("SELECT 1 FROM pg_stat_activity WHERE pid = ?", {session_})->next()) {
            std::this_thread::yield();
        }
    }

  private:
    db& admin_;
    std::int64_t session_;
    bool done_ = false;
};

TEST_F(team_vault_test, a_check_in_that_loses_the_server_leaves_the_vault_as_it_was) {
    const std::string first = random_text(30000, 1);
    const std::string second = random_text(1 << 20, 2);
    const fs::path source = folder / "a.bin";
    {
        repository repo(schema.address());
        write_file(source, first);
        repo.checkin_file(source, "\\", "2024-01-01 00:00:00", "", "");
        auto session = repo.database().query("SELECT pg_backend_pid()");
        session->next();
        const std::unique_ptr<db> admin = open_database(schema.address(), db_open_mode::existing);
        session_cutter cutter(*admin, session->get_int64(0));
        session.reset();
        write_file(source, second);
        const std::string failure = test::failure<tuv_error>(
            [&] { repo.checkin_file(source, "\\", "2024-01-02 00:00:00", "", "", &cutter); });
        const std::string lost =
            "Lost the connection to the database server of " + repo.database().name() + ": ";
        EXPECT_EQ(failure.substr(0, lost.size()), lost) << failure;
    }

    // The server is there again for a new connection: the file is as it was,
    // and takes the next version.
    repository repo(schema.address());
    EXPECT_TRUE(verify_vault(repo, {.read_data = true}).clean());
    EXPECT_EQ(test::checkout_path(repo, "\\a.bin", folder / "back", "now"), first.size());
    EXPECT_EQ(test::file_contents(folder / "back"), first);
    repo.checkin_file(source, "\\", "2024-01-02 00:00:00", "", "");
    EXPECT_EQ(test::checkout_path(repo, "\\a.bin", folder / "back2", "now"), second.size());
    EXPECT_EQ(test::file_contents(folder / "back2"), second);
}

// What the explorer and the properties program read, as text: the time line
// at every level, the changes in a period, the versions of a local file.
std::vector<std::string> reads(repository& repo) {
    std::vector<std::string> out;
    const auto when = [](const std::tm& t) {
        char text[64];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
        return std::string(text);
    };
    const auto step = [&](const std::string& name, const std::function<std::string()>& read) {
        try {
            out.push_back(name + ": " + read());
        } catch (const std::exception& e) {
            out.push_back(name + " failed: " + e.what());
        }
    };
    const std::int64_t file = repo.catalogue().resolve("\\Docs\\a.txt")->file_id();
    const struct {
        int from, to, level;
    } ranges[] = {{0, 0, LEVEL_ALL},
                  {0, 0, LEVEL_YEARS},
                  {2024, 2025, LEVEL_YEARS},
                  {2024, 2025, LEVEL_MONTHS},
                  {3, 2025, LEVEL_DAYS}};
    for (const auto& r : ranges) {
        const std::string name = "range " + std::to_string(r.level) + " " + std::to_string(r.from);
        step(name, [&] {
            std::vector<std::tm> times;
            repo.journal().get_change_range(file, r.from, r.to, r.level, 0, times);
            std::string text;
            for (const std::tm& t : times) text += when(t) + ";";
            return text;
        });
        if (r.level == LEVEL_ALL) continue;
        step("changes " + name, [&] {
            std::vector<change_entry> changes;
            repo.catalogue().changes_under("\\Docs", r.from, r.to, r.level, 0, false, changes);
            std::string text;
            for (const change_entry& c : changes) text += c.full_path + " " + when(c.time) + ";";
            return text;
        });
    }
    step("sources", [&] {
        std::vector<std::int64_t> inodes;
        repo.journal().inodes_for_source("a.txt", inodes);
        return std::to_string(inodes.size());
    });
    return out;
}

TEST_F(team_vault_test, the_programs_reads_answer_as_on_a_local_vault) {
    test::test_vault local;
    repository team(schema.address());
    const std::pair<const char*, const char*> checkins[] = {{"a.txt", "2024-05-06 07:08:09"},
                                                            {"a.txt", "2025-03-02 10:00:00"},
                                                            {"a.txt", "2025-03-20 11:00:00"},
                                                            {"b.txt", "2025-03-21 12:00:00"}};
    for (const auto& [name, when] : checkins) {
        write_file(folder / name, when);
        for (repository* repo : {&local.repo(), &team}) {
            repo->checkin_file(folder / name, "\\Docs", when, "text/plain", "one");
        }
    }
    EXPECT_EQ(reads(team), reads(local.repo()));
}

}  // namespace
}  // namespace tuv
