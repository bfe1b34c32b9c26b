#include "core/storage/md5.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/checks.h"

namespace tuv {
namespace {

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
    EXPECT_EQ(md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5_hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5_hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5_hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5_hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5_hex("1234567890123456789012345678901234567890"
                      "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST_F(md5_test, empty_input_through_every_overload) {
    EXPECT_EQ(md5_hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_hex(std::span<const std::uint8_t>()), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(to_hex(md5().finish()), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(md5_test, million_a) {
    EXPECT_EQ(md5_hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Digests computed once with md5sum over the same bytes, so they check this
// code against an implementation that shares nothing with it. The lengths sit
// on both sides of the padding boundaries (55/56 bytes into a block) and of
// whole blocks.
TEST_F(md5_test, random_data_matches_independent_digests) {
    const std::vector<std::pair<std::size_t, std::string>> expected = {
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
    for (const auto& [size, digest] : expected) {
        const auto data = random_bytes(size, 0x5eed0000 + size);
        EXPECT_EQ(md5_hex(data), digest) << size << " bytes";
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

}  // namespace
}  // namespace tuv
