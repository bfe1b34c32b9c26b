#include "core/storage/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/storage/md5_many.h"

#include "tests/support/checks.h"

namespace tuv {
namespace {

const std::vector<std::pair<std::string, std::string>> rfc_1321_suite = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890"
     "1234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

// Digests computed once with md5sum over random_bytes(size, 0x5eed0000 +
// size), so they check this code against an implementation that shares
// nothing with it. The lengths sit on both sides of the padding boundaries
// (55/56 bytes into a block) and of whole blocks.
const std::vector<std::pair<std::size_t, std::string>> md5sum_digests = {
    {1, "c9f0f895fb98ab9159f51fd0297e236d"},       {2, "4b2489f5b3796dbe0d76ba79b87daa0c"},
    {3, "1df5e092ddb6a2983e414514bf464ceb"},       {17, "53c3d32e6b33581437bf121d1b357519"},
    {55, "86f84a5150c930981d7251e0bfaf3f87"},      {56, "f865429a9205bccd64412ac52bb24d92"},
    {57, "87792c63c2d773084a22c5134d966ca0"},      {63, "706ac3b5e45b0ea64abc751353d857cc"},
    {64, "349e292ac0365789cb61be73e5939375"},      {65, "b9cc493e653105672d20679103359cbc"},
    {119, "7e06889d0f000b54522708ae4be27e2b"},     {120, "5cee3f8c1f376debf7cb62de10a42661"},
    {127, "bbe1110d40ca4c4cac97fb5105c1657e"},     {128, "87b532976efa621a67f837f356960980"},
    {129, "dd383673d58d2123941ef724f33a6644"},     {1000, "cc5fcc805ba08d99f2ca3505426f9046"},
    {4095, "0efa5abb34a2e4a2509de11187a311f5"},    {4096, "102ef190c3d6b15b97716bc5a66783ff"},
    {4097, "4cec0a5931466d3ee3196cf69e1cbdde"},    {65543, "ec3b04b45b1d62247944f25dcefb28a7"},
    {1000003, "adf401e3da412929a972701a25352572"},
};

class md5_test : public ::testing::Test {
  protected:
    static std::vector<std::uint8_t> random_bytes(std::size_t size, std::uint64_t seed) {
        return test::random_bytes(size, seed);
    }

    static std::string incremental(const std::vector<std::uint8_t>& data,
                                   const std::vector<std::size_t>& cuts) {
        md5 hash;
        std::size_t from = 0;
        for (const std::size_t cut : cuts) {
            hash.update(data.data() + from, cut - from);
            from = cut;
        }
        hash.update(data.data() + from, data.size() - from);
        return to_hex(hash.finish());
    }
};

TEST_F(md5_test, rfc_1321_test_suite) {
    for (const auto& [text, digest] : rfc_1321_suite) EXPECT_EQ(md5_hex(text), digest) << text;
}

TEST_F(md5_test, empty_input_through_every_overload) {
    EXPECT_EQ(md5_hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_hex(std::span<const std::uint8_t>()), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(to_hex(md5().finish()), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(md5_test, million_a) {
    EXPECT_EQ(md5_hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST_F(md5_test, random_data_matches_independent_digests) {
    for (const auto& [size, digest] : md5sum_digests) {
        EXPECT_EQ(md5_hex(random_bytes(size, 0x5eed0000 + size)), digest) << size << " bytes";
    }
}

TEST_F(md5_test, any_split_in_two_equals_one_shot) {
    const auto data = random_bytes(200, 7);
    const std::string whole = md5_hex(data);
    for (std::size_t cut = 0; cut <= data.size(); ++cut) {
        EXPECT_EQ(incremental(data, {cut}), whole) << "split at " << cut;
    }
}

TEST_F(md5_test, many_small_pieces_equal_one_shot) {
    const auto data = random_bytes(200, 8);
    std::vector<std::size_t> every_byte;
    for (std::size_t i = 1; i < data.size(); ++i) every_byte.push_back(i);
    EXPECT_EQ(incremental(data, every_byte), md5_hex(data));
    // Pieces that straddle block ends at changing places.
    EXPECT_EQ(incremental(data, {3, 70, 71, 135, 199}), md5_hex(data));
}

TEST_F(md5_test, finish_starts_a_new_message) {
    md5 hash;
    hash.update("xyz", 3);
    hash.finish();
    hash.update("abc", 3);
    EXPECT_EQ(to_hex(hash.finish()), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(to_hex(hash.finish()), "d41d8cd98f00b204e9800998ecf8427e");
}

// md5_many on each path, the scalar one included; paths this processor does
// not have are skipped, by name.
class md5_many_test : public ::testing::TestWithParam<md5_path> {
  protected:
    static constexpr std::size_t max_chunk = 262144;  // init's default max_size

    void SetUp() override {
        if (!md5_path_available(GetParam())) {
            GTEST_SKIP() << md5_path_name(GetParam()) << " is not available on this processor";
        }
    }

    std::vector<std::string> hex_digests(std::span<const std::span<const std::uint8_t>> messages) {
        std::vector<md5::digest> out(messages.size());
        md5_many(messages, out, GetParam());
        std::vector<std::string> hex;
        for (const md5::digest& d : out) hex.push_back(to_hex(d));
        return hex;
    }
};

TEST_P(md5_many_test, every_lane_gives_the_known_digests) {
    std::vector<std::vector<std::uint8_t>> data;
    std::vector<std::string> expected;
    for (const auto& [text, digest] : rfc_1321_suite) {
        data.emplace_back(text.begin(), text.end());
        expected.push_back(digest);
    }
    for (const auto& [size, digest] : md5sum_digests) {
        if (size > max_chunk) continue;  // no chunk is as long
        data.push_back(test::random_bytes(size, 0x5eed0000 + size));
        expected.push_back(digest);
    }
    // Each rotation starts every message once in every lane, beside other
    // neighbours that end before or after it.
    std::vector<std::span<const std::uint8_t>> messages(data.begin(), data.end());
    for (std::size_t r = 0; r < messages.size(); ++r) {
        ASSERT_EQ(hex_digests(messages), expected) << "rotated by " << r;
        std::rotate(messages.begin(), messages.begin() + 1, messages.end());
        std::rotate(expected.begin(), expected.begin() + 1, expected.end());
    }
}

TEST_P(md5_many_test, mixed_lengths_agree_with_md5_one_by_one) {
    // Overlapping pieces of one buffer, a quarter of them chunk-sized and
    // the rest under four blocks, in batches smaller than, as large as and
    // larger than the lanes: lanes end at different blocks and take new
    // messages while the others run.
    const auto data = test::random_bytes(std::size_t{1} << 20, 99);
    const auto dice = test::random_bytes(8 * 2000, 100);
    std::size_t rolled = 0;
    const auto roll = [&] {
        std::uint64_t v;
        std::memcpy(&v, dice.data() + 8 * rolled++, 8);
        return v;
    };
    for (const std::size_t count : {1, 2, 7, 8, 9, 15, 16, 17, 100}) {
        std::vector<std::span<const std::uint8_t>> messages;
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t v = roll();
            const std::size_t length = v % 4 == 0 ? v / 4 % (max_chunk + 1) : v / 4 % 200;
            messages.emplace_back(data.data() + roll() % (data.size() - length), length);
            expected.push_back(md5_hex(messages.back()));
        }
        EXPECT_EQ(hex_digests(messages), expected) << count << " messages";
    }
}

INSTANTIATE_TEST_SUITE_P(paths, md5_many_test,
                         ::testing::Values(md5_path::scalar, md5_path::avx2, md5_path::avx512),
                         [](const auto& info) {
                             return std::string(info.param == md5_path::scalar ? "scalar"
                                                : info.param == md5_path::avx2 ? "avx2"
                                                                               : "avx512");
                         });

}  // namespace
}  // namespace tuv
