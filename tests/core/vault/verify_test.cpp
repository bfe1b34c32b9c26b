#include "core/vault/verify.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/vault/repository.h"
#include "core/vault/vault_stats.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using lines = std::vector<std::string>;

constexpr const char* t1 = "2024-05-06 07:08:09";
constexpr const char* t2 = "2024-06-07 08:09:10";
constexpr const char* t3 = "2024-07-08 09:10:11";

vault_options fixed_chunks() {
    vault_options options;
    options.chunks = {100, 100, 16, 1};  // every chunk exactly 100 bytes
    options.container_size = 300;
    options.compression = {};  // raw: container offsets are the chunks' own
    return options;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The vault every case damages, chunks numbered as they are stored:
//   \docs\a.txt at t1: a*100 (chunk 1), b*100 (2), c*50 (3)   blocks 1-3
//   \b.txt      at t1: a*100 (1), b*100 (2), empty (4)        blocks 4-6
//   \docs\a.txt at t2: a*100 (1), d*100 (5), empty (4)        blocks 7-8
// Chunks 1-4 fill container 1 up to 250; chunk 5 opens container 2.
// Entries: 1 the root, 2 docs, 3 a.txt, 4 b.txt.
class verify_test : public ::testing::Test {
  protected:
    verify_test() : v(fixed_chunks()) {
        checkin("a.txt", std::string(100, 'a') + std::string(100, 'b') + std::string(50, 'c'),
                "\\docs", t1);
        checkin("b.txt", std::string(100, 'a') + std::string(100, 'b'), "\\", t1);
        checkin("a.txt", std::string(100, 'a') + std::string(100, 'd'), "\\docs", t2);
    }

    void checkin(const std::string& name, const std::string& content, const std::string& folder,
                 const std::string& when) {
        std::ofstream(local / name, std::ios::binary) << content;
        v.repo().checkin_file(local / name, folder, when, "text/plain", "");
    }
    void sql(const std::string& statement) { v.database().execute(statement); }
    lines problems(bool read_data = false) { return verify_vault(v.repo(), {read_data}).problems; }
    fs::path container(int id) { return v.layout().data / ("tuv_s" + std::to_string(id)); }

    test::temp_dir local;
    test::test_vault v;
};

TEST_F(verify_test, sound_vault_has_no_problems_and_counts_what_it_checked) {
    const verify_report report = verify_vault(v.repo(), {true});
    EXPECT_EQ(report.problems, lines{});
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.summary(), "2 files, 3 versions, 5 chunks, 2 containers checked: no problems");
}

TEST_F(verify_test, summary_counts_problems_in_the_singular_and_plural) {
    verify_report report;
    report.files = report.versions = report.chunks = report.containers = 1;
    report.problems = {"x"};
    EXPECT_EQ(report.summary(), "1 file, 1 version, 1 chunk, 1 container checked: 1 problem");
    report.problems.push_back("y");
    EXPECT_EQ(report.summary().substr(report.summary().find(':')), ": 2 problems");
}

TEST_F(verify_test, deleted_chunk_row_is_named_with_the_blocks_that_use_it) {
    sql("DELETE FROM chunk WHERE chunk_id = 2");
    EXPECT_EQ(problems(), lines{"chunk 2 is missing; 2 blocks use it, the first of \\docs\\a.txt "
                                "at offset 100"});
    sql("DELETE FROM chunk WHERE chunk_id = 3");
    EXPECT_EQ(problems().at(1),
              "chunk 3 is missing; the block of \\docs\\a.txt at offset 200 uses it");
}

TEST_F(verify_test, chunk_whose_container_row_is_deleted) {
    sql("DELETE FROM disk_info WHERE disk_id = 2");
    EXPECT_EQ(problems(), lines{"chunk 5 (\\docs\\a.txt, offset 100): its container 2 is not "
                                "registered"});
    sql("DELETE FROM disk_info WHERE disk_id = 1");
    EXPECT_EQ(problems().at(0),
              "chunk 1 (\\docs\\a.txt, offset 0): its container 1 is not "
              "registered (3 more chunks lie in it)");
}

TEST_F(verify_test, missing_container_file) {
    fs::remove(container(2));
    EXPECT_EQ(problems(true), lines{"container 2: Cannot open " + container(2).string() +
                                    ": No such file or directory"});
}

TEST_F(verify_test, truncated_container_without_reading_the_data) {
    fs::resize_file(container(1), 150);
    const lines expected{"container 1 (" + container(1).string() +
                         ") is 150 bytes long, but its chunks reach 250"};
    EXPECT_EQ(problems(), expected);
    // The chunks it cut off are not named a second time.
    EXPECT_EQ(problems(true), expected);
}

TEST_F(verify_test, checkin_into_a_truncated_container_is_refused_so_verify_still_sees_it) {
    fs::resize_file(container(2), 50);
    const std::string damage =
        "container 2 (" + container(2).string() + ") is 50 bytes long, but its chunks reach 100";
    // Its new chunk would go to container 2 at 100, past the end.
    EXPECT_EQ(test::failure<tuv_error>([&] { checkin("c.txt", std::string(100, 'e'), "\\", t3); }),
              damage + "; nothing is stored in a damaged container");
    EXPECT_EQ(fs::file_size(container(2)), 50u);
    EXPECT_EQ(problems(), lines{damage});
}

TEST_F(verify_test, overwritten_container_bytes_are_found_by_reading_the_data) {
    {
        std::fstream f(container(1), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(120);
        f.put('X');
    }
    EXPECT_EQ(problems(false), lines{});
    EXPECT_EQ(problems(true),
              lines{"chunk 2 (\\docs\\a.txt, offset 100): the bytes in container 1 (" +
                    container(1).string() + ") at 100 do not match their checksum"});
}

TEST_F(verify_test, refcount_that_does_not_match_the_blocks) {
    sql("UPDATE chunk SET refcount = 7 WHERE chunk_id = 3");
    EXPECT_EQ(problems(),
              lines{"chunk 3 (\\docs\\a.txt, offset 200): refcount 7, but 1 block uses it "
                    "(expected 2)"});
}

TEST_F(verify_test, deleted_block_row_leaves_a_gap_and_a_wrong_refcount) {
    sql("DELETE FROM bmap WHERE block_id = 2");
    EXPECT_EQ(problems(),
              (lines{"chunk 2 (\\b.txt, offset 100): refcount 3, but 1 block uses it (expected 2)",
                     std::string("\\docs\\a.txt, version of ") + t1 +
                         ": no block begins at offset 100"}));
}

TEST_F(verify_test, overlapping_blocks) {
    sql("UPDATE bmap SET virtual_offset = 150 WHERE block_id = 3");
    EXPECT_EQ(problems(), lines{std::string("\\docs\\a.txt, version of ") + t1 +
                                ": the block at offset 150 overlaps the one before it"});
}

TEST_F(verify_test, live_blocks_that_overlap) {
    sql("UPDATE bmap SET deletion_date = 0 WHERE block_id = 2");  // b*100 under d*100
    EXPECT_EQ(problems(), lines{std::string("\\docs\\a.txt, version of ") + t2 +
                                ": the block at offset 100 overlaps the one before it"});
}

// As a check-in within the second of the one before left a vault in older
// builds: a.txt's second version moved onto its first one's moment.
TEST_F(verify_test, two_versions_at_one_moment_and_blocks_closed_as_they_were_made) {
    const auto first = std::to_string(date(std::string(t1)).seconds());
    const auto second = std::to_string(date(std::string(t2)).seconds());
    sql("UPDATE bmap SET creation_date = " + first + " WHERE creation_date = " + second);
    sql("UPDATE bmap SET deletion_date = " + first + " WHERE deletion_date = " + second);
    sql("UPDATE journal SET year = 2024, month = 5, day = 6, hour = 7, minute = 8, second = 9"
        " WHERE inode = 3");
    EXPECT_EQ(problems(),
              (lines{std::string("\\docs\\a.txt: 2 versions share the moment ") + t1 +
                         "; only the last of them can be read",
                     std::string("\\docs\\a.txt: the block at offset 100, made at ") + t1 +
                         ", was closed at " + t1 +
                         ", so no version holds it (1 more block too); a version was lost"}));
}

TEST_F(verify_test, fault_shared_by_many_versions_is_one_line) {
    checkin("a.txt", std::string(100, 'a') + std::string(100, 'e'), "\\docs", t3);
    sql("DELETE FROM bmap WHERE block_id = 1");  // a*100 at 0, in every version of a.txt
    sql("UPDATE chunk SET refcount = 2 WHERE chunk_id = 1");
    EXPECT_EQ(problems(), lines{std::string("\\docs\\a.txt, version of ") + t1 +
                                ": no block begins at offset 0 (and in 2 later versions)"});
}

TEST_F(verify_test, empty_block_that_stays_live_before_new_content) {
    checkin("b.txt", std::string(100, 'a') + std::string(100, 'b') + "tail", "\\", t2);
    sql("UPDATE bmap SET deletion_date = 0 WHERE block_id = 6");
    EXPECT_EQ(problems(), lines{std::string("\\b.txt, version of ") + t2 +
                                ": an empty block at offset 200 is not the last"});
}

TEST_F(verify_test, entry_whose_parent_is_gone) {
    sql("DELETE FROM file_info WHERE file_id = 2");
    EXPECT_EQ(problems(), lines{"entry 3 'a.txt': its parent 2 is not in the catalogue"});
}

TEST_F(verify_test, entry_whose_parent_is_a_file) {
    sql("UPDATE file_info SET parent_id = 4 WHERE file_id = 2");
    EXPECT_EQ(problems(), lines{"\\b.txt\\docs: its parent \\b.txt is not a directory"});
}

TEST_F(verify_test, directories_whose_parents_form_a_cycle) {
    const std::int64_t x = v.repo().catalogue().create_directory("x", 1, t1);
    const std::int64_t y = v.repo().catalogue().create_directory("y", x, t1);
    v.repo().catalogue().create_directory("z", y, t1);
    sql("UPDATE file_info SET parent_id = " + std::to_string(y) +
        " WHERE file_id = " + std::to_string(x));
    EXPECT_EQ(problems(), (lines{"entry 5 'x': its parents form a cycle",
                                 "entry 6 'y': its parents form a cycle"}));
}

TEST_F(verify_test, catalogue_without_a_root) {
    sql("UPDATE file_info SET parent_id = 99 WHERE file_id = 1");
    EXPECT_EQ(problems(), (lines{"the catalogue has no root directory",
                                 "entry 1 '\\': its parent 99 is not in the catalogue"}));
}

TEST_F(verify_test, entry_without_a_journal_row) {
    sql("DELETE FROM journal WHERE inode = 4");
    EXPECT_EQ(problems(), lines{"\\b.txt: no journal row"});
}

TEST_F(verify_test, blocks_of_a_file_not_in_the_catalogue) {
    sql("UPDATE bmap SET file_id = 42 WHERE file_id = 4");
    EXPECT_EQ(problems(), lines{"file id 42 is not in the catalogue, yet 3 blocks belong to it"});
}

TEST_F(verify_test, impossible_chunk_size_is_reported_and_does_not_confuse_the_rest) {
    sql("UPDATE chunk SET size = -5 WHERE chunk_id = 3");
    EXPECT_EQ(problems(true), lines{"chunk 3 (\\docs\\a.txt, offset 200): impossible place in its "
                                    "container: offset 200, size -5"});
}

TEST_F(verify_test, only_reads) {
    fs::resize_file(container(1), 150);
    sql("DELETE FROM bmap WHERE block_id = 2");
    const lines found = problems(true);
    const std::string bytes = contents(container(1));
    EXPECT_EQ(problems(true), found);
    EXPECT_EQ(contents(container(1)), bytes);
    EXPECT_TRUE(v.database().transactional());
}

TEST_F(verify_test, reading_a_damaged_version_names_the_file_and_the_offset) {
    const auto read = [&](const std::string& when) -> std::string {
        try {
            test::checkout_path(v.repo(), "\\docs\\a.txt", local / "out", when);
        } catch (const vault_damaged_error& e) {
            return e.what();
        }
        return "<no exception>";
    };
    {
        std::fstream f(container(1), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(120);
        f.put('X');
    }
    EXPECT_EQ(read(t1), "The vault is damaged: \\docs\\a.txt, offset 100: the bytes in container " +
                            container(1).string() + " at 100 do not match their checksum");
    fs::resize_file(container(1), 150);
    EXPECT_EQ(read(t1), "The vault is damaged: \\docs\\a.txt, offset 100: container " +
                            container(1).string() + " ends before the block's 100 bytes at 100");
    sql("DELETE FROM bmap WHERE block_id = 2");
    EXPECT_EQ(read(t1),
              "The vault is damaged: \\docs\\a.txt, offset 100: the version has a gap: "
              "no block begins here");
}

TEST_F(verify_test, the_first_fault_of_blocks_read_together_is_reported) {
    // The three blocks of a.txt at t1 lie end to end in container 1 at 0,
    // 100 and 200 and are checked together.
    struct damage {
        std::vector<std::streamoff> overwritten;
        std::uintmax_t container_length;
        std::string expected;
    };
    const std::string bytes_at = "the bytes in container " + container(1).string() + " at ";
    const std::vector<damage> cases = {
        {{210}, 250, "offset 200: " + bytes_at + "200 do not match their checksum"},
        {{210, 120}, 250, "offset 100: " + bytes_at + "100 do not match their checksum"},
        {{120}, 220, "offset 100: " + bytes_at + "100 do not match their checksum"},
        {{}, 220, "offset 200: container " + container(1).string() +
                      " ends before the block's 50 bytes at 200"},
    };
    const std::string original = contents(container(1));
    for (const damage& d : cases) {
        std::ofstream(container(1), std::ios::binary) << original;
        {
            std::fstream f(container(1), std::ios::in | std::ios::out | std::ios::binary);
            for (const std::streamoff at : d.overwritten) f.seekp(at).put('X');
        }
        fs::resize_file(container(1), d.container_length);
        try {
            test::checkout_path(v.repo(), "\\docs\\a.txt", local / "out", t1);
            ADD_FAILURE() << "no fault found: " << d.expected;
        } catch (const vault_damaged_error& e) {
            EXPECT_EQ(e.what(), "The vault is damaged: \\docs\\a.txt, " + d.expected);
        }
    }
}

TEST_F(verify_test, damaged_chunks_read_together_are_listed_in_their_order) {
    for (const auto& [id, at] : {std::pair{2, 50}, std::pair{1, 20}, std::pair{1, 220}}) {
        std::fstream f(container(id), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(at).put('X');
    }
    EXPECT_EQ(problems(true),
              (lines{"chunk 1 (\\docs\\a.txt, offset 0): the bytes in container 1 (" +
                         container(1).string() + ") at 0 do not match their checksum",
                     "chunk 3 (\\docs\\a.txt, offset 200): the bytes in container 1 (" +
                         container(1).string() + ") at 200 do not match their checksum",
                     "chunk 5 (\\docs\\a.txt, offset 100): the bytes in container 2 (" +
                         container(2).string() + ") at 0 do not match their checksum"}));
}

// --- Figures ---------------------------------------------------------------

TEST_F(verify_test, stats_add_up_every_version_and_every_distinct_chunk) {
    const vault_stats stats = collect_vault_stats(v.repo());
    EXPECT_EQ(stats.files, 2u);
    EXPECT_EQ(stats.directories, 2u);
    EXPECT_EQ(stats.versions, 3u);
    EXPECT_EQ(stats.chunks, 5u);
    EXPECT_EQ(stats.logical_bytes, 250u + 200u + 200u);
    EXPECT_EQ(stats.chunk_bytes, 350u);
    EXPECT_EQ(stats.stored_bytes, 350u);
    EXPECT_EQ(stats.containers, 2u);
    EXPECT_DOUBLE_EQ(*stats.dedup_ratio(), 650.0 / 350.0);
    EXPECT_DOUBLE_EQ(*stats.compression_ratio(), 1.0);
}

TEST_F(verify_test, stats_count_a_check_in_that_changed_nothing_and_one_that_shrank) {
    checkin("b.txt", std::string(100, 'a') + std::string(100, 'b'), "\\", t2);
    checkin("b.txt", std::string(100, 'a'), "\\", t3);
    const vault_stats stats = collect_vault_stats(v.repo());
    EXPECT_EQ(stats.versions, 5u);
    EXPECT_EQ(stats.logical_bytes, 650u + 200u + 100u);
}

TEST(vault_stats_test, empty_vault_has_no_dedup_ratio) {
    test::test_vault empty;
    const vault_stats stats = collect_vault_stats(empty.repo());
    EXPECT_EQ(stats.directories, 1u);
    EXPECT_EQ(stats.files + stats.versions + stats.chunks + stats.stored_bytes, 0u);
    EXPECT_EQ(stats.dedup_ratio(), std::nullopt);
    EXPECT_EQ(stats.compression_ratio(), std::nullopt);
}

}  // namespace
}  // namespace tuv
