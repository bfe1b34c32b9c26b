#include "core/storage/chunker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "core/storage/file_io.h"
#include "core/storage/md5.h"
#include "core/vault/installer.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"

namespace tuv {
namespace {

using bytes = std::vector<std::uint8_t>;

struct chunk {
    std::uint64_t offset;
    bytes data;
    chunk_status status;
};

// Hands out `good` bytes of a real file, then fails as a broken disk would.
class failing_file : public file_handle {
  public:
    failing_file(file_handle& inner, std::uint64_t good) : inner_(inner), good_(good) {}
    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        if (offset + size > good_) throw io_error("Cannot read " + path().string() + ": I/O error");
        return inner_.read_at(offset, data, size);
    }
    void write_at(std::uint64_t, const void*, std::size_t) override {}
    void sync() override {}
    void truncate(std::uint64_t) override {}
    std::uint64_t size() override { return inner_.size(); }
    const std::filesystem::path& path() const override { return inner_.path(); }

  private:
    file_handle& inner_;
    std::uint64_t good_;
};

class chunker_test : public ::testing::Test {
  protected:
    static constexpr chunk_settings large_chunks{16384, 262144, 32, 49157};

    std::filesystem::path write_file(const bytes& data) {
        const auto path = dir_ / ("input" + std::to_string(files_++));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        return path;
    }

    // Chunks a whole file the way check-in does: until a chunk says `last`.
    // A small reader buffer puts the reader's refills inside chunks and windows.
    std::vector<chunk> chunk_file(
        const bytes& data, const chunk_settings& s, std::uint32_t base = 2,
        std::size_t reader_buffer = buffered_reader::default_buffer_size) {
        auto file = file_system::local().open(write_file(data), open_mode::read);
        buffered_reader in(*file, reader_buffer);
        // Bytes past each chunk must stay as they were.
        bytes buffer(s.max_size + 16, 0xee);
        std::vector<chunk> chunks;
        for (;;) {
            const std::uint64_t offset = in.position();
            std::size_t length = 999999999;
            const chunk_status status = read_chunk(in, buffer.data(), length, s, base);
            EXPECT_EQ(in.position(), offset + length) << "reader not left behind the chunk";
            chunks.push_back({offset, bytes(buffer.begin(), buffer.begin() + length), status});
            EXPECT_EQ(std::count(buffer.begin() + length, buffer.end(), 0xee),
                      buffer.size() - length)
                << "written past a chunk of " << length;
            std::fill(buffer.begin(), buffer.begin() + length, 0xee);
            if (status == chunk_status::last) return chunks;
        }
    }

    // The algorithm as plainly as it can be written, one byte at a time from
    // memory with a true division: what the chunker must agree with.
    // `signed_bytes` false shows what unsigned byte values would do instead.
    static std::vector<chunk> reference(const bytes& data, const chunk_settings& s,
                                        std::uint32_t base = 2, bool signed_bytes = true) {
        auto value = [&](std::uint8_t b) -> std::uint32_t {
            return signed_bytes ? static_cast<std::uint32_t>(static_cast<std::int8_t>(b)) : b;
        };
        std::vector<chunk> chunks;
        std::size_t pos = 0;
        for (;;) {
            const std::size_t M = s.min_size, X = s.max_size, W = s.win_size;
            if (data.size() - pos < M) {
                chunks.push_back({pos, bytes(data.begin() + pos, data.end()), chunk_status::last});
                return chunks;
            }
            const std::uint8_t* buf = data.data() + pos;
            std::uint32_t h = 0, p = 1;
            for (std::size_t i = 0; i < W; ++i) {
                p = p * base;
                h = h * base + value(buf[M - W + i]);
            }
            std::size_t n = M, j = M - W;
            chunk_status status = chunk_status::more;
            while (h % s.anchor != 0 && n < X) {
                if (pos + n == data.size()) {
                    status = chunk_status::last;
                    break;
                }
                ++n;
                h = h * base + value(buf[j + W]) - p * value(buf[j]);
                ++j;
            }
            chunks.push_back({pos, bytes(buf, buf + n), status});
            pos += n;
            if (status == chunk_status::last) return chunks;
        }
    }

    static bytes random_bytes(std::size_t size, std::uint64_t seed) {
        return test::random_bytes(size, seed);
    }

    static bytes text(const std::string& s) { return bytes(s.begin(), s.end()); }

    // "abc/more ij/last": each chunk's bytes, or with `sizes` its length,
    // and its status.
    static std::string describe(const std::vector<chunk>& chunks, bool sizes = false) {
        std::string out;
        for (const auto& c : chunks) {
            if (!out.empty()) out += ' ';
            out +=
                sizes ? std::to_string(c.data.size()) : std::string(c.data.begin(), c.data.end());
            out += c.status == chunk_status::last ? "/last" : "/more";
        }
        return out;
    }

    static void expect_same(const std::vector<chunk>& actual, const std::vector<chunk>& expected,
                            const std::string& what) {
        ASSERT_EQ(actual.size(), expected.size()) << what;
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(actual[i].offset, expected[i].offset) << what << ", chunk " << i;
            EXPECT_TRUE(actual[i].data == expected[i].data) << what << ", chunk " << i;
            EXPECT_EQ(actual[i].status, expected[i].status) << what << ", chunk " << i;
        }
    }

    test::temp_dir dir_;
    int files_ = 0;
};

TEST_F(chunker_test, cuts_after_the_first_window_hash_that_is_a_multiple) {
    // Window hashes after c, d, e: 292, 295, 298, 301; 301 = 43 * 7.
    EXPECT_EQ(describe(chunk_file(text("abcdefghij"), {2, 6, 2, 7})), "abcde/more fghij/last");
}

TEST_F(chunker_test, first_window_can_cut_at_min) {
    // 2*98 + 99 = 295 ends the first chunk at min; 310 (g, h) ends the second.
    EXPECT_EQ(describe(chunk_file(text("abcdefghij"), {3, 5, 2, 5})),
              "abc/more defgh/more ij/last");
}

TEST_F(chunker_test, max_cut_on_the_last_byte_leaves_an_empty_last_chunk) {
    const auto chunks = chunk_file(text("abcdefghij"), {3, 5, 2, 11});
    EXPECT_EQ(describe(chunks), "abcde/more fghij/more /last");
    EXPECT_EQ(chunks.back().offset, 10u);
}

TEST_F(chunker_test, bytes_from_0x80_count_as_negative) {
    // 2 * (-127) + 1 = -253, which as uint32 is a multiple of 3.
    const bytes data{0x80, 0x81, 0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(describe(chunk_file(data, {2, 6, 2, 3})), "\x80\x81\x01/more \x02\x03\x04/last");
    // Unsigned values would have made all six bytes one chunk.
    EXPECT_EQ(describe(reference(data, {2, 6, 2, 3}, 2, false), true), "6/more 0/last");
}

TEST_F(chunker_test, empty_file_gives_one_empty_last_chunk) {
    const auto chunks = chunk_file({}, default_chunk_settings);
    EXPECT_EQ(describe(chunks), "/last");
    EXPECT_EQ(md5_hex(chunks[0].data), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(chunker_test, file_shorter_than_min_is_one_last_chunk) {
    EXPECT_EQ(describe(chunk_file(random_bytes(1000, 1), default_chunk_settings), true), "1000/last");
}

TEST_F(chunker_test, exactly_min_bytes_with_a_cut_then_an_empty_chunk) {
    // 295 = 59 * 5
    EXPECT_EQ(describe(chunk_file(text("abc"), {3, 5, 2, 5})), "abc/more /last");
}

TEST_F(chunker_test, exactly_min_bytes_without_a_cut_is_one_last_chunk) {
    // 296
    EXPECT_EQ(describe(chunk_file(text("abd"), {3, 5, 2, 5})), "abd/last");
}

TEST_F(chunker_test, run_without_a_cut_ends_at_exactly_max) {
    // Over a run of 'a' every window hashes to 291, never a multiple of 7.
    EXPECT_EQ(describe(chunk_file(bytes(25, 'a'), {4, 10, 2, 7}), true), "10/more 10/more 5/last");
}

TEST_F(chunker_test, window_zero_or_anchor_one_gives_fixed_size_chunks) {
    const auto data = random_bytes(10000, 2);
    for (const chunk_settings s :
         {chunk_settings{300, 5000, 0, 49157}, chunk_settings{300, 5000, 32, 1}}) {
        const auto chunks = chunk_file(data, s);
        ASSERT_EQ(chunks.size(), 34u);
        for (std::size_t i = 0; i + 1 < chunks.size(); ++i) EXPECT_EQ(chunks[i].data.size(), 300u);
        EXPECT_EQ(chunks.back().data.size(), 100u);
    }
}

TEST_F(chunker_test, random_data_keeps_the_size_rules_and_matches_the_plain_algorithm) {
    const auto data = random_bytes(3 << 20, 3);
    const std::vector<chunk_settings> settings = {
        {2048, 65536, 32, 4099},  // odd anchor
        {1024, 8192, 48, 4096},   // power of two, window past 32 bytes
        {512, 4000, 16, 3000},    // even anchor with an odd part; max cuts often
        {16, 64, 8, 0xfffffffb},  // almost never a hash cut
        large_chunks,
        default_chunk_settings,
    };
    for (const auto& s : settings) {
        const std::string what =
            "min " + std::to_string(s.min_size) + " anchor " + std::to_string(s.anchor);
        const auto chunks = chunk_file(data, s, 2, 4093);
        bytes joined;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            const auto& c = chunks[i];
            EXPECT_EQ(c.status == chunk_status::last, i + 1 == chunks.size()) << what;
            if (i + 1 < chunks.size()) {
                EXPECT_GE(c.data.size(), s.min_size) << what;
                EXPECT_LE(c.data.size(), s.max_size) << what;
            }
            joined.insert(joined.end(), c.data.begin(), c.data.end());
        }
        EXPECT_TRUE(joined == data) << what;
        expect_same(chunks, reference(data, s), what);
    }
}

TEST_F(chunker_test, reader_refills_anywhere_in_a_chunk_change_nothing) {
    const auto data = random_bytes(200000, 4);
    const chunk_settings s{700, 9000, 32, 1499};
    const auto expected = reference(data, s);
    ASSERT_GT(expected.size(), 20u);
    for (const std::size_t reader_buffer : {1, 2, 31, 32, 33, 700, 701, 65536}) {
        expect_same(chunk_file(data, s, 2, reader_buffer), expected,
                    "reader buffer " + std::to_string(reader_buffer));
    }
}

TEST_F(chunker_test, other_bases_follow_the_plain_algorithm) {
    const auto data = random_bytes(300000, 5);
    for (const std::uint32_t base : {0u, 1u, 3u, 31u, 0x01000193u}) {
        const chunk_settings s{500, 20000, 20, 2003};
        expect_same(chunk_file(data, s, base, 1000), reference(data, s, base),
                    "base " + std::to_string(base));
    }
}

TEST_F(chunker_test, inserting_a_byte_near_the_start_keeps_the_later_chunks) {
    const auto original = random_bytes(4 << 20, 6);
    auto edited = original;
    edited.insert(edited.begin() + 100, 0x5a);
    std::vector<std::string> before, after;
    for (const auto& c : chunk_file(original, default_chunk_settings)) before.push_back(md5_hex(c.data));
    for (const auto& c : chunk_file(edited, default_chunk_settings)) after.push_back(md5_hex(c.data));
    ASSERT_GT(before.size(), 30u);
    // Only the first chunk or two may differ; everything behind is shared.
    std::size_t shared = 0;
    while (shared < std::min(before.size(), after.size()) &&
           before[before.size() - 1 - shared] == after[after.size() - 1 - shared]) {
        ++shared;
    }
    EXPECT_GE(shared + 2, before.size());
    EXPECT_GE(shared + 2, after.size());
    EXPECT_NE(before[0], after[0]);
}

// Where the chunks of a fixed input fall. Stored vaults share chunks by these
// cuts, so any change to them must fail here. The lists were computed by a
// separate implementation outside this code base and agree with the plain
// algorithm above.
struct golden {
    std::uint64_t offset;
    std::size_t length;
    const char* md5;
};

class chunker_golden_test : public chunker_test {
  protected:
    // Cuts `size` seeded bytes with `settings`, as the plain algorithm does
    // and as `expected` lists.
    void expect_golden(std::size_t size, const chunk_settings& settings,
                       std::span<const golden> expected) {
        const auto data = random_bytes(size, 20240601);
        const auto chunks = chunk_file(data, settings);
        expect_same(chunks, reference(data, settings), "golden input");
        expect_cuts(chunks, expected);
    }

  private:
    static void expect_cuts(const std::vector<chunk>& chunks, std::span<const golden> expected);
};

void chunker_golden_test::expect_cuts(const std::vector<chunk>& chunks,
                                      std::span<const golden> expected) {
    ASSERT_EQ(chunks.size(), expected.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].offset, expected[i].offset) << "chunk " << i;
        EXPECT_EQ(chunks[i].data.size(), expected[i].length) << "chunk " << i;
        EXPECT_EQ(md5_hex(chunks[i].data), expected[i].md5) << "chunk " << i;
        EXPECT_EQ(chunks[i].status,
                  i + 1 == chunks.size() ? chunk_status::last : chunk_status::more);
    }
}

TEST_F(chunker_golden_test, cuts_with_default_chunk_settings) {
    const golden expected[] = {
        {0, 5833, "96741eb8b273b643af1f75dff56e9c8e"},
        {5833, 2405, "0905237f7397965450b2685025738143"},
        {8238, 2071, "6ca8de9c999f447a692988436c4e8dc6"},
        {10309, 2749, "7a54b720f2f437fb3a24d6f3fd6e6499"},
        {13058, 2425, "9692b94668c5eee329c8e33a728a40a4"},
        {15483, 2414, "60b293913882bf24fa511b487d1982bb"},
        {17897, 2552, "d7e33401f85c0a209d95ce03ebce4412"},
        {20449, 3192, "1bc97ed5a5691605628451f48e33e2b7"},
        {23641, 7989, "ae7bc82bdb8481f571d8879a8e3deee6"},
        {31630, 7662, "9ea1b5dbfc5ac172d32894e7357326fa"},
        {39292, 5540, "1ce6914492771eace73fcf544915777b"},
        {44832, 4206, "7dea40ae6e5b403d2a3773e025f03066"},
        {49038, 2842, "e0a412498bb8de6f29a42ef87f069d8a"},
        {51880, 2512, "8cca2c78e4d5469b97e928af0c54f078"},
        {54392, 2798, "bb07ec6c84ecba9d144a8c9c8eceb5a7"},
        {57190, 3050, "827cb4708719b9c4daa6b2c9775293ad"},
        {60240, 2185, "2d4881080858477ffcb2b9b110e2e13f"},
        {62425, 3111, "0718c2c0072748f5547a04766978ac0f"},
    };
    expect_golden(1 << 16, default_chunk_settings, expected);
}

// Vaults keep the settings they were made with; these are large chunks.
TEST_F(chunker_golden_test, cuts_with_large_chunk_settings) {
    const golden expected[] = {
        {0, 55904, "754be22e822aaab779feae1bdcc2388e"},
        {55904, 26302, "560004ce6d76072070c4c0fec27ac9f2"},
        {82206, 133715, "962806e4edf701a02c85b7eb6e87b0ff"},
        {215921, 50863, "302a09911b79afa6ac0eb2f8951fa78c"},
        {266784, 103941, "49ccaa1d10ee4a33761ce2832edf8689"},
        {370725, 33537, "5a30aaa48799200c65f93c299edfa9c2"},
        {404262, 40662, "db7c70fc7d48fe4028a3a2d2004d5b63"},
        {444924, 44763, "ca45c3d6e56710c830204f2ce1333e5b"},
        {489687, 20991, "6d8645b9cc435590d3d973882f36f3b4"},
        {510678, 30874, "561edff78b01cfd4dd05e63c7ea62efb"},
        {541552, 25080, "43c39d657ef3c9e476425233a3e274a8"},
        {566632, 34032, "320513a9230d8d89eb042da1adfaf545"},
        {600664, 136835, "143fe34842bc151bcaa1b9da609da215"},
        {737499, 26630, "e36df4e337839cf14e90d10235439334"},
        {764129, 64047, "33d5adefd5d64e813b71386977a3cff7"},
        {828176, 37488, "60a8d0aa621cc2909530f09b4efc15de"},
        {865664, 46406, "beac233878a66ccc336194381e14f483"},
        {912070, 68410, "acc168c7a1bca86a423564a433e0a47d"},
        {980480, 68096, "53b1e0f029d6d1d914ac40486d0cd3e2"},
    };
    expect_golden(1 << 20, large_chunks, expected);
}

TEST_F(chunker_test, max_below_min_throws_before_reading) {
    auto file = file_system::local().open(write_file(text("abcdefghij")), open_mode::read);
    buffered_reader in(*file);
    bytes buffer(16);
    std::size_t length = 77;
    try {
        read_chunk(in, buffer.data(), length, {10, 5, 2, 7});
        FAIL() << "no error";
    } catch (const tuv_error& e) {
        EXPECT_STREQ(
            e.what(),
            "Invalid setting chunk_max_size = \"5\": it must not be below chunk_min_size (10)");
    }
    EXPECT_EQ(length, 77u);
    EXPECT_EQ(in.position(), 0u);
}

TEST_F(chunker_test, read_error_is_thrown_not_taken_for_the_end) {
    auto file = file_system::local().open(write_file(random_bytes(5000, 7)), open_mode::read);
    failing_file broken(*file, 3000);
    buffered_reader in(broken, 1000);
    bytes buffer(4000);
    std::size_t length = 0;
    // Never a hash cut, so the chunk runs into the failing read.
    EXPECT_THROW(read_chunk(in, buffer.data(), length, {100, 4000, 16, 0xfffffffb}), io_error);
}

}  // namespace
}  // namespace tuv
