#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "core/db/db.h"
#include "core/db/write_transaction.h"
#include "core/storage/block_writer.h"
#include "core/storage/disk_manager.h"
#include "core/storage/file_io.h"
#include "core/storage/md5.h"
#include "core/storage/vault_folder.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

constexpr std::uint64_t gib = std::uint64_t{1} << 30;
constexpr std::time_t t1 = 1000, t2 = 2000, t3 = 3000;

std::span<const std::uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

vault_options containers_of(std::uint64_t size) {
    vault_options options;
    options.container_size = size;
    return options;
}

class block_writer_test : public ::testing::Test {
  protected:
    std::int64_t new_file(const std::string& name) {
        return v.repo().catalogue().create_file(name, 1, 0, "2024-01-01 00:00:00", "text/plain");
    }

    // Writes one version made of `chunks` as the check-in does: block by
    // block, then closing what lies beyond its end; returns its size.
    static std::uint64_t write_version(block_writer& writer, std::int64_t file_id,
                                       std::time_t when, const std::vector<std::string>& chunks) {
        std::uint64_t offset = 0;
        for (const auto& chunk : chunks) {
            writer.write_block(bytes_of(chunk), md5_hex(chunk), when, offset, file_id);
            offset += chunk.size();
        }
        writer.close_blocks_after(file_id, offset, when);
        return offset;
    }

    // Checks in one version made of `chunks`, synced, with the file's size.
    void version(std::int64_t file_id, std::time_t when, const std::vector<std::string>& chunks) {
        block_writer writer(v.repo().storage());
        const std::uint64_t size = write_version(writer, file_id, when, chunks);
        writer.sync_containers();
        file_entry entry(v.repo(), file_id, "");
        entry.set_size(size);
        entry.flush();
    }

    std::vector<std::string> rows(const std::string& sql) {
        return test::query_rows(v.database(), sql);
    }
    std::vector<std::string> blocks() {
        return rows(
            "SELECT bmap.file_id, chunk.checksum, creation_date, deletion_date, virtual_offset"
            " FROM bmap JOIN chunk USING(chunk_id) ORDER BY block_id");
    }
    static std::string block(std::int64_t file, const std::string& chunk, std::time_t created,
                             std::time_t deleted, std::uint64_t offset) {
        return std::to_string(file) + " " + md5_hex(chunk) + " " + std::to_string(created) + " " +
               std::to_string(deleted) + " " + std::to_string(offset);
    }
    std::vector<std::string> chunks() {
        return rows("SELECT checksum, size, refcount FROM chunk ORDER BY chunk_id");
    }
    static std::string chunk(const std::string& bytes, int refcount) {
        return md5_hex(bytes) + " " + std::to_string(bytes.size()) + " " + std::to_string(refcount);
    }

    // The bytes a chunk row points at in its container.
    std::string stored(const std::string& bytes) {
        auto row = v.database().query(
            "SELECT path, physical_offset, size FROM chunk JOIN disk_info USING(disk_id)"
            " WHERE checksum = ?",
            {md5_hex(bytes)});
        if (!row->next()) return "<no chunk>";
        std::string out(static_cast<std::size_t>(row->get_int64("size")), '\0');
        const auto file = file_system::local().open(
            local_path(v.repo().folder(), row->get_string("path")), open_mode::read);
        out.resize(file->read_at(static_cast<std::uint64_t>(row->get_int64("physical_offset")),
                                 out.data(), out.size()));
        return out;
    }

    test::test_vault v{containers_of(1000)};
};

TEST_F(block_writer_test, versions_close_replaced_blocks_and_reuse_known_chunks) {
    const std::string x(100, 'x'), y(50, 'y'), x2(100, 'z');
    const std::int64_t f = new_file("f.txt");

    version(f, t1, {x, y});
    EXPECT_EQ(chunks(), (std::vector<std::string>{chunk(x, 2), chunk(y, 2)}));
    EXPECT_EQ(blocks(), (std::vector<std::string>{block(f, x, t1, 0, 0), block(f, y, t1, 0, 100)}));

    // X2 at 0 closes X and, by the inclusive end bound, Y at 100, which then
    // comes back as a new block of the same chunk.
    version(f, t2, {x2, y});
    const std::vector<std::string> after_t2{block(f, x, t1, t2, 0), block(f, y, t1, t2, 100),
                                            block(f, x2, t2, 0, 0), block(f, y, t2, 0, 100)};
    EXPECT_EQ(chunks(), (std::vector<std::string>{chunk(x, 2), chunk(y, 3), chunk(x2, 2)}));
    EXPECT_EQ(blocks(), after_t2);
    EXPECT_EQ(rows("SELECT size FROM file_info WHERE file_id = " + std::to_string(f)),
              std::vector<std::string>{"150"});

    version(f, t3, {x2, y});
    EXPECT_EQ(chunks(), (std::vector<std::string>{chunk(x, 2), chunk(y, 3), chunk(x2, 2)}));
    EXPECT_EQ(blocks(), after_t2);
}

TEST_F(block_writer_test, after_a_changed_chunk_only_the_next_unchanged_one_gets_a_new_block) {
    const std::string a(100, 'a'), a2(100, 'A'), b(50, 'b'), c(50, 'c'), d(30, 'd');
    const std::int64_t f = new_file("f.txt");
    version(f, t1, {a, b, c, d});
    version(f, t2, {a2, b, c, d});
    // A2 closes A and B (B begins where A2 ends); B comes back as a new
    // block; C and D stay as they were.
    EXPECT_EQ(blocks(), (std::vector<std::string>{
                            block(f, a, t1, t2, 0), block(f, b, t1, t2, 100), block(f, c, t1, 0, 150),
                            block(f, d, t1, 0, 200), block(f, a2, t2, 0, 0), block(f, b, t2, 0, 100)}));
    EXPECT_EQ(chunks(), (std::vector<std::string>{chunk(a, 2), chunk(b, 3), chunk(c, 2),
                                                  chunk(d, 2), chunk(a2, 2)}));
}

TEST_F(block_writer_test, one_writer_writing_two_versions_compares_the_second_with_the_first) {
    const std::string a(100, 'a'), b(50, 'b'), c(50, 'c');
    const std::int64_t empty = new_file("empty.txt"), f = new_file("f.txt"), g = new_file("g.txt");
    block_writer writer(v.repo().storage());
    // An empty version, then a longer one.
    write_version(writer, empty, t1, {""});
    write_version(writer, empty, t2, {a});
    // A unchanged (no row), C replacing B; another new file written between
    // the two versions, while the rows of the first may still wait.
    write_version(writer, f, t1, {a, b});
    write_version(writer, g, t1, {c});
    write_version(writer, f, t2, {a, c});
    writer.sync_containers();
    EXPECT_EQ(blocks(),
              (std::vector<std::string>{block(empty, "", t1, t2, 0), block(empty, a, t2, 0, 0),
                                        block(f, a, t1, 0, 0), block(f, b, t1, t2, 100),
                                        block(g, c, t1, 0, 0), block(f, c, t2, 0, 100)}));
}

// Blocks a version closes get their deletion date with the rows that wait,
// yet before the file's block map is read again.
TEST_F(block_writer_test, blocks_a_shorter_version_closed_are_closed_when_the_file_comes_again) {
    const std::string a(100, 'a'), b(50, 'b'), c(50, 'c');
    const std::int64_t f = new_file("f.txt"), g = new_file("g.txt");
    version(f, t1, {a, b});
    block_writer writer(v.repo().storage());
    write_version(writer, f, t2, {a});
    write_version(writer, g, t2, {c});
    write_version(writer, f, t3, {a, b});
    writer.sync_containers();
    EXPECT_EQ(blocks(), (std::vector<std::string>{block(f, a, t1, 0, 0), block(f, b, t1, t2, 100),
                                                  block(g, c, t2, 0, 0), block(f, b, t3, 0, 100)}));
}

// A file's live blocks are read once and kept up to date as its version
// replaces them: whatever differs from the version before, by one chunk or
// by its length, and however many blocks the file has, each version reads
// back as it was written.
TEST_F(block_writer_test, each_version_reads_back_whatever_changed_and_however_many_blocks) {
    const auto numbered = [](int n, int changed) {
        std::vector<std::string> chunks;
        for (int i = 0; i < n; ++i)
            chunks.push_back((i == changed ? "new " : "chunk ") + std::to_string(i));
        return chunks;
    };
    // The chunks of the version at T, by offset.
    const auto at = [&](std::int64_t f, std::time_t when) {
        return rows("SELECT chunk.checksum FROM bmap JOIN chunk USING(chunk_id) WHERE file_id = " +
                    std::to_string(f) + " AND creation_date <= " + std::to_string(when) +
                    " AND (deletion_date = 0 OR deletion_date > " + std::to_string(when) +
                    ") AND size > 0 ORDER BY virtual_offset");
    };
    const auto checksums = [](const std::vector<std::string>& chunks) {
        std::vector<std::string> out;
        for (const auto& c : chunks) out.push_back(md5_hex(c));
        return out;
    };
    struct change {
        const char* name;
        std::vector<std::string> first, second;
    };
    const std::vector<change> changes{
        {"unchanged", numbered(5, -1), numbered(5, -1)},
        {"middle chunk", numbered(5, -1), numbered(5, 2)},
        {"last chunk", numbered(5, -1), numbered(5, 4)},
        {"longer", numbered(5, -1), numbered(7, -1)},
        {"shorter", numbered(5, -1), numbered(3, -1)},
        {"swapped", {"one", "two"}, {"two", "one"}},
        {"ends in an empty chunk", {"a", ""}, {"a", "b", ""}},
        {"many blocks, one changed", numbered(300, -1), numbered(300, 150)},
    };
    for (const change& c : changes) {
        SCOPED_TRACE(c.name);
        const std::int64_t f = new_file(std::string(c.name) + ".txt");
        version(f, t1, c.first);
        version(f, t2, c.second);
        std::vector<std::string> first = c.first, second = c.second;
        std::erase(first, "");
        std::erase(second, "");
        EXPECT_EQ(at(f, t1), checksums(first));
        EXPECT_EQ(at(f, t2), checksums(second));
    }
}

TEST_F(block_writer_test, shared_chunk_is_stored_once_for_the_vault) {
    const std::string shared(80, 's'), tail_a = "tail of a", tail_b = "tail of b";
    const std::int64_t a = new_file("a.txt"), b = new_file("b.txt");
    version(a, t1, {shared, tail_a});
    version(b, t2, {shared, tail_b});

    EXPECT_EQ(chunks(),
              (std::vector<std::string>{chunk(shared, 3), chunk(tail_a, 2), chunk(tail_b, 2)}));
    EXPECT_EQ(blocks(),
              (std::vector<std::string>{block(a, shared, t1, 0, 0), block(a, tail_a, t1, 0, 80),
                                        block(b, shared, t2, 0, 0), block(b, tail_b, t2, 0, 80)}));
    // Back to back in one container, which is exactly as long as its use.
    const std::uint64_t used = shared.size() + tail_a.size() + tail_b.size();
    EXPECT_EQ(rows("SELECT total_size - free_size FROM disk_info"),
              std::vector<std::string>{std::to_string(used)});
    EXPECT_EQ(std::filesystem::file_size(v.layout().data / "tuv_s1"), used);
    for (const auto& bytes : {shared, tail_a, tail_b}) EXPECT_EQ(stored(bytes), bytes);
}

// A look-up that found nothing (stored_id 0) may predate a chunk this
// writer stored meanwhile: here one of a new file whose rows still wait,
// then inserted when a changed version begins to replace blocks, with a
// statement for each of its chunks after that.
TEST_F(block_writer_test, a_chunk_stored_after_its_look_up_is_not_stored_again) {
    const std::string shared(80, 's');
    const std::int64_t changed = new_file("changed.txt"), fresh = new_file("fresh.txt");
    std::vector<std::string> old_chunks;
    for (int i = 0; i < 60; ++i) old_chunks.push_back("old " + std::to_string(i));
    version(changed, t1, old_chunks);

    block_writer writer(v.repo().storage());
    writer.write_block(bytes_of(shared), md5_hex(shared), t2, 0, fresh, {}, 0);
    writer.close_blocks_after(fresh, shared.size(), t2);
    std::uint64_t offset = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string chunk = i < 59 ? "new " + std::to_string(i) : shared;
        writer.write_block(bytes_of(chunk), md5_hex(chunk), t2, offset, changed, {}, 0);
        offset += chunk.size();
    }
    writer.close_blocks_after(changed, offset, t2);
    writer.sync_containers();
    EXPECT_EQ(rows("SELECT refcount FROM chunk WHERE checksum = '" + md5_hex(shared) + "'"),
              std::vector<std::string>{"3"});
}

TEST_F(block_writer_test, find_chunk_knows_only_inserted_chunks) {
    block_writer store(v.repo().storage());
    EXPECT_EQ(store.find_chunk(md5_hex("abc")), 0);
    const std::int64_t id = store.insert_chunk(bytes_of("abc"), md5_hex("abc"));
    EXPECT_EQ(store.find_chunk(md5_hex("abc")), id);
    EXPECT_EQ(chunks(), std::vector<std::string>{chunk("abc", 1)});
    EXPECT_EQ(stored("abc"), "abc");
}

TEST_F(block_writer_test, many_checksums_are_found_in_their_order) {
    block_writer store(v.repo().storage());
    const std::int64_t a = store.insert_chunk(bytes_of("a"), md5_hex("a"));
    const std::int64_t b = store.insert_chunk(bytes_of("b"), md5_hex("b"));
    // More than one statement holds, with repeats and unknown ones.
    std::vector<std::string> asked;
    std::vector<std::int64_t> expected;
    for (int i = 0; i < 70; ++i) {
        const std::string text = i % 3 == 0 ? "a" : i % 3 == 1 ? "b" : std::to_string(i);
        asked.push_back(md5_hex(text));
        expected.push_back(text == "a" ? a : text == "b" ? b : 0);
    }
    EXPECT_EQ(find_stored_chunks(v.database(), asked), expected);
}

TEST_F(block_writer_test, overlap_closes_blocks_holding_the_offset_and_one_starting_at_the_end) {
    const std::int64_t f = new_file("f.txt");
    const std::string a(100, 'a'), b(50, 'b'), c(30, 'c');
    version(f, t1, {a, b, c});
    // [50, 100) lies in A; B begins right at 100; C at 150 is left alone.
    block_writer(v.repo().storage()).close_overlapping_blocks(f, 50, 50, t2);
    EXPECT_EQ(blocks(), (std::vector<std::string>{block(f, a, t1, t2, 0), block(f, b, t1, t2, 100),
                                                  block(f, c, t1, 0, 150)}));
    // Blocks beyond a new end are closed; one ending exactly there is not.
    block_writer(v.repo().storage()).close_blocks_after(f, 150, t3);
    EXPECT_EQ(blocks()[2], block(f, c, t1, t3, 150));
}

TEST_F(block_writer_test, offsets_beyond_four_gib_reach_rows_and_container) {
    test::test_vault big{containers_of(5 * gib)};
    disk_manager(big.database(), 5 * gib, big.layout().data, big.layout().directory)
        .allocate(4 * gib + gib / 2);
    // The bytes of that allocation, as a hole: a container shorter than its
    // chunks reach takes nothing more.
    file_system::local()
        .open(big.layout().data / "tuv_s1", open_mode::read_write)
        ->truncate(4 * gib + gib / 2);
    const std::int64_t f =
        big.repo().catalogue().create_file("big", 1, 0, "2024-01-01 00:00:00", "x");
    const std::string far = "bytes far out";
    block_writer writer(big.repo().storage());
    writer.write_block(bytes_of(far), md5_hex(far), t1, 6 * gib, f);
    writer.sync_containers();
    auto row = big.database().query(
        "SELECT physical_offset, virtual_offset FROM chunk JOIN bmap USING(chunk_id)");
    ASSERT_TRUE(row->next());
    EXPECT_EQ(row->get_int64("physical_offset"), static_cast<std::int64_t>(4 * gib + gib / 2));
    EXPECT_EQ(row->get_int64("virtual_offset"), static_cast<std::int64_t>(6 * gib));
    row.reset();
    // The container is sparse: only these bytes were written.
    std::string back(far.size(), '\0');
    file_system::local()
        .open(big.layout().data / "tuv_s1", open_mode::read)
        ->read_at(4 * gib + gib / 2, back.data(), back.size());
    EXPECT_EQ(back, far);
}

// Container bytes reach the disk through sync_containers() alone, which says
// what failed; a writer that ends without it (its rows rolled back) writes
// none.
TEST_F(block_writer_test, only_sync_writes_container_bytes_and_it_reports_failures) {
    for (const auto& [operation, what] : {std::pair{test::fs_operation::write_at, "write"},
                                          std::pair{test::fs_operation::sync, "sync"}}) {
        test::faulty_file_system faulty;
        test::test_vault w{containers_of(1000)};
        w.repo().set_file_system(faulty);
        const std::int64_t f = w.repo().catalogue().create_file("f", 1, 0, "2024-01-01 00:00:00", "x");
        {
            write_transaction rolled_back(w.database());
            block_writer dropped(w.repo().storage());
            write_version(dropped, f, t1, {"never synced"});
        }
        EXPECT_EQ(faulty.calls(test::fs_operation::write_at), 0);

        block_writer writer(w.repo().storage());
        write_version(writer, f, t2, {"synced"});
        faulty.fail(operation, 1, EIO);
        EXPECT_EQ(test::failure<io_error>([&] { writer.sync_containers(); }),
                  std::string("Cannot ") + what + " " + (w.layout().data / "tuv_s1").string() +
                      ": " + std::strerror(EIO));
        EXPECT_FALSE(writer.synced());
    }
}

}  // namespace
}  // namespace tuv
