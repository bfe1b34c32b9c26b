// Many versions of one file, made by random edits, must each read back byte
// for byte at its own moment: the block map's dates, the reuse of unchanged
// chunks and the closing of replaced ones all have to agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/storage/buffered_reader.h"
#include "core/storage/chunker.h"
#include "core/storage/file_io.h"
#include "core/storage/version_reader.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Small chunks, so a few kilobytes make dozens of them.
vault_options small_chunks() {
    vault_options options;
    options.chunks = {64, 1024, 16, 61};
    return options;
}

// Noon on a day of 2024 (no daylight-saving change is near noon).
std::string moment_text(int version) {
    char text[32];
    std::snprintf(text, sizeof text, "2024-%02d-%02d 12:%02d:00", 1 + version / 28,
                  1 + version % 28, version % 60);
    return text;
}

class version_roundtrip_test : public ::testing::TestWithParam<unsigned> {
  protected:
    version_roundtrip_test() : v(small_chunks()), random(GetParam()) {}

    std::string random_bytes(std::size_t count) {
        std::string bytes(count, '\0');
        // Low-entropy stretches now and then, so identical chunks recur.
        const bool repetitive = pick(0, 3) == 0;
        for (char& c : bytes) c = static_cast<char>(repetitive ? pick(0, 2) : pick(0, 255));
        return bytes;
    }
    std::size_t pick(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    }

    // Where the chunker ends the chunks of `data` (its real cut points).
    std::vector<std::size_t> chunk_ends(const std::string& data) {
        const fs::path scratch = folder / "scratch";
        std::ofstream(scratch, std::ios::binary) << data;
        auto file = file_system::local().open(scratch, open_mode::read);
        buffered_reader reader(*file);
        std::vector<std::uint8_t> buffer(v.repo().chunk_max_size());
        std::vector<std::size_t> ends;
        std::size_t offset = 0;
        for (;;) {
            std::size_t length = 0;
            const chunk_status status =
                read_chunk(reader, buffer.data(), length, v.repo().chunks());
            offset += length;
            ends.push_back(offset);
            if (status == chunk_status::last) return ends;
        }
    }

    // One random edit of `data`, of every kind the check-in has to handle.
    void edit(std::string& data) {
        const std::size_t at = pick(0, data.size());
        switch (pick(0, 6)) {
            case 0:  // insertion
                data.insert(at, random_bytes(pick(1, 3000)));
                break;
            case 1:  // deletion
                data.erase(at, pick(1, 3000));
                break;
            case 2:  // truncation
                data.resize(at);
                break;
            case 3:  // append
                data += random_bytes(pick(1, 5000));
                break;
            case 4:  // a copy of a stretch elsewhere: chunks shared within the file
                data.insert(at, data.substr(pick(0, data.size()), pick(1, 4000)));
                break;
            case 5: {  // a cut exactly where a chunk ends
                const std::vector<std::size_t> ends = chunk_ends(data);
                data.resize(ends[pick(0, ends.size() - 1)]);
                break;
            }
            default:  // checked in unchanged
                break;
        }
    }

    test::temp_dir folder;
    test::test_vault v;
    std::mt19937 random;
};

TEST_P(version_roundtrip_test, every_version_reads_back_byte_for_byte) {
    const fs::path local = folder / "data.bin";
    std::vector<std::string> versions;
    std::string data = random_bytes(20000);
    constexpr int count = 60;
    for (int i = 0; i < count; ++i) {
        if (i > 0) edit(data);
        if (i == count / 2) data.clear();  // an empty version in the middle
        std::ofstream(local, std::ios::binary) << data;
        v.repo().checkin_file(local, "\\Dir", moment_text(i), "application/octet-stream", "");
        versions.push_back(data);
    }

    const fs::path out = folder / "out.bin";
    for (int i = 0; i < count; ++i) {
        const std::uint64_t size =
            test::checkout_path(v.repo(), "\\Dir\\data.bin", out, moment_text(i));
        EXPECT_EQ(size, versions[static_cast<std::size_t>(i)].size()) << "version " << i;
        ASSERT_EQ(contents(out), versions[static_cast<std::size_t>(i)]) << "version " << i;
    }

    // The first and last version dates name the first and last versions.
    const std::int64_t id = v.repo().catalogue().resolve("\\Dir\\data.bin")->file_id();
    test::checkout_path(v.repo(), "\\Dir\\data.bin", out, v.repo().first_version_date(id));
    EXPECT_EQ(contents(out), versions.front());
    test::checkout_path(v.repo(), "\\Dir\\data.bin", out, v.repo().last_version_date(id));
    EXPECT_EQ(contents(out), versions.back());

    // The new vault compresses: the low-entropy stretches are stored
    // compressed, the random ones raw, and both read back above.
    auto forms = v.database().query(
        "SELECT SUM(codec IS NOT NULL), SUM(codec IS NULL AND size > 0) FROM chunk");
    ASSERT_TRUE(forms->next());
    EXPECT_GT(forms->get_int64(0), 0);
    EXPECT_GT(forms->get_int64(1), 0);
}

TEST_P(version_roundtrip_test, pieces_of_any_size_hand_over_the_same_bytes) {
    const fs::path local = folder / "data.bin";
    std::vector<std::string> versions;
    std::string data = random_bytes(60000);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) edit(data);
        std::ofstream(local, std::ios::binary) << data;
        v.repo().checkin_file(local, "\\Dir", moment_text(i), "application/octet-stream", "");
        versions.push_back(data);
    }
    const std::int64_t id = v.repo().catalogue().resolve("\\Dir\\data.bin")->file_id();
    // 1: every block on its own; 1500: several blocks, never more than one
    // piece unless a block alone is larger (at most 1024 bytes here), or
    // than a piece and the shared frame that ends it, which is never split.
    auto largest_frame = v.database().query(
        "SELECT COALESCE(MAX(frame_offset + size), 0) FROM chunk WHERE codec = 3");
    ASSERT_TRUE(largest_frame->next());
    const auto frame = static_cast<std::size_t>(largest_frame->get_int64(0));
    largest_frame.reset();
    for (const std::size_t piece : {std::size_t{1}, std::size_t{1500}, std::size_t{1} << 20}) {
        version_reader reader(v.repo().storage(), piece);
        for (int i = 0; i < 4; ++i) {
            std::string read;
            std::size_t largest = 0;
            const std::uint64_t size =
                reader.read(id, date(moment_text(i)).seconds(), [&](std::span<const std::uint8_t> b) {
                    read.append(reinterpret_cast<const char*>(b.data()), b.size());
                    largest = std::max(largest, b.size());
                });
            EXPECT_EQ(size, versions[static_cast<std::size_t>(i)].size());
            ASSERT_EQ(read, versions[static_cast<std::size_t>(i)]) << "piece " << piece << ", version " << i;
            EXPECT_LE(largest, std::max<std::size_t>(piece, 1024) + frame);
        }
    }
}

TEST_P(version_roundtrip_test, a_damaged_block_stops_the_read_after_the_pieces_before_it) {
    const fs::path local = folder / "data.bin";
    const std::string data = random_bytes(60000);
    std::ofstream(local, std::ios::binary) << data;
    v.repo().checkin_file(local, "\\Dir", moment_text(0), "application/octet-stream", "");
    const fs::path container = v.layout().data / "tuv_s1";
    // The first byte of the stored form of the chunk at offset 45000: a raw
    // chunk's, or its frame's magic number. A frame holds 32 KiB at most
    // here (half the pipeline's 64 slots of 1 KiB chunks), so pieces before
    // it are read first.
    std::uint64_t damaged_at = 0, physical = 0;
    bool raw = true;
    {
        auto row = v.database().query(
            "SELECT physical_offset, codec IS NULL FROM bmap JOIN chunk USING(chunk_id)"
            " WHERE virtual_offset <= 45000 AND virtual_offset + size > 45000");
        ASSERT_TRUE(row->next());
        physical = static_cast<std::uint64_t>(row->get_int64(0));
        raw = row->get_int64(1) != 0;
        row = v.database().query(
            "SELECT MIN(virtual_offset) FROM bmap JOIN chunk USING(chunk_id)"
            " WHERE physical_offset = ?",
            {static_cast<std::int64_t>(physical)});
        ASSERT_TRUE(row->next());
        damaged_at = static_cast<std::uint64_t>(row->get_int64(0));
    }
    {
        std::fstream f(container, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(static_cast<std::streamoff>(physical));
        const char old = static_cast<char>(f.get());
        f.seekp(static_cast<std::streamoff>(physical));
        f.put(static_cast<char>(old ^ 0x5a));
    }
    std::string read;
    version_reader reader(v.repo().storage(), 1500);
    const std::int64_t file_id = v.repo().catalogue().resolve("\\Dir\\data.bin")->file_id();
    const std::string detail = "the bytes in container " + container.string() + " at " +
                               std::to_string(physical) +
                               (raw ? " do not match their checksum" : " do not decompress");
    try {
        reader.read(file_id, date(moment_text(0)).seconds(), [&](std::span<const std::uint8_t> b) {
            read.append(reinterpret_cast<const char*>(b.data()), b.size());
        });
        FAIL() << "no error";
    } catch (const vault_damaged_error& e) {
        // The storage layer names the file by its id; a caller that knows
        // its path names it so.
        EXPECT_EQ(std::string(e.what()), "The vault is damaged: file id " +
                                             std::to_string(file_id) + ", offset " +
                                             std::to_string(damaged_at) + ": " + detail);
        EXPECT_EQ(std::string(e.named("\\Dir\\data.bin").what()),
                  "The vault is damaged: \\Dir\\data.bin, offset " +
                      std::to_string(damaged_at) + ": " + detail);
        EXPECT_EQ(e.offset(), damaged_at);
    }
    // Whole pieces before the damaged block were handed over, nothing after.
    EXPECT_GT(read.size(), 0u);
    EXPECT_LE(read.size(), damaged_at);
    EXPECT_EQ(read, data.substr(0, read.size()));
}

TEST_P(version_roundtrip_test, blocks_read_ahead_give_each_file_its_latest_version) {
    // a.bin has versions before its latest; b.bin is empty; c.bin loses a
    // block (a gap) after its blocks were read ahead.
    std::vector<std::string> latest;
    std::vector<std::int64_t> ids;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
        std::string data = name[0] == 'b' ? std::string() : random_bytes(20000);
        for (int i = 0; i < (name[0] == 'a' ? 3 : 1); ++i) {
            if (i > 0) edit(data);
            std::ofstream(folder / name, std::ios::binary) << data;
            v.repo().checkin_file(folder / name, "\\Dir", moment_text(i),
                                  "application/octet-stream", "");
        }
        latest.push_back(data);
        ids.push_back(v.repo().catalogue().resolve(std::string("\\Dir\\") + name)->file_id());
    }
    const std::int64_t directory = v.repo().catalogue().resolve("\\Dir")->file_id();

    latest_blocks ahead;
    std::vector<std::int64_t> asked = ids;
    asked.push_back(directory);
    ahead.fetch(v.repo().storage(), asked);
    EXPECT_FALSE(ahead.holds(directory));
    v.database().execute(
        "DELETE FROM bmap WHERE file_id = ? AND deletion_date = 0 AND virtual_offset > 0 AND"
        " virtual_offset = (SELECT MIN(virtual_offset) FROM bmap WHERE file_id = ? AND"
        " deletion_date = 0 AND virtual_offset > 0)",
        {ids[2], ids[2]});

    version_reader reader(v.repo().storage());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ASSERT_TRUE(ahead.holds(ids[i])) << i;
        std::string read;
        const auto sink = [&](std::span<const std::uint8_t> b) {
            read.append(reinterpret_cast<const char*>(b.data()), b.size());
        };
        if (i == 2) {
            // The rows read ahead are the file's rows before the damage.
            EXPECT_EQ(reader.read_latest(ids[i], sink, &ahead), latest[i].size());
            EXPECT_EQ(read, latest[i]);
            // Read by itself, the damage shows.
            EXPECT_THROW(reader.read_latest(ids[i], sink, &ahead), vault_damaged_error);
        } else {
            EXPECT_EQ(reader.read_latest(ids[i], sink, &ahead), latest[i].size());
            EXPECT_EQ(read, latest[i]) << i;
        }
        // Rows are read once: let go of once used.
        EXPECT_FALSE(ahead.holds(ids[i])) << i;
    }
}

// Fixed 100-byte chunks: a file of 100 bytes ends exactly where a chunk ends.
class version_roundtrip_boundary_test : public ::testing::Test {
  protected:
    version_roundtrip_boundary_test() : v(fixed_chunks()) {}
    static vault_options fixed_chunks() {
        vault_options options;
        options.chunks = {100, 100, 16, 1};
        return options;
    }
    void checkin(const std::string& data, const std::string& when) {
        std::ofstream(folder / "data.bin", std::ios::binary) << data;
        v.repo().checkin_file(folder / "data.bin", "\\Dir", when, "application/octet-stream", "");
    }

    test::temp_dir folder;
    test::test_vault v;
};

TEST_F(version_roundtrip_boundary_test, growing_past_a_chunk_end_and_back_reads_each_version) {
    const std::string a(100, 'a');
    const std::string grown = a + std::string(50, 'c');
    checkin(a, "2024-01-01 12:00:00");
    checkin(grown, "2024-01-02 12:00:00");
    checkin(a, "2024-01-03 12:00:00");

    const fs::path out = folder / "out.bin";
    test::checkout_path(v.repo(), "\\Dir\\data.bin", out, "2024-01-01 12:00:00");
    EXPECT_EQ(contents(out), a);
    test::checkout_path(v.repo(), "\\Dir\\data.bin", out, "2024-01-02 12:00:00");
    EXPECT_EQ(contents(out), grown);
    test::checkout_path(v.repo(), "\\Dir\\data.bin", out, "2024-01-03 12:00:00");
    EXPECT_EQ(contents(out), a);
    // The latest version is the one the last check-in made.
    const std::int64_t id = v.repo().catalogue().resolve("\\Dir\\data.bin")->file_id();
    EXPECT_EQ(v.repo().last_version_date(id).to_text(), "2024-01-03 12:00:00");
}

INSTANTIATE_TEST_SUITE_P(seeds, version_roundtrip_test, ::testing::Values(1u, 7u, 2024u));

}  // namespace
}  // namespace tuv
