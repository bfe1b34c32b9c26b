#include "core/storage/chunk_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/chunker.h"
#include "core/storage/file_io.h"
#include "core/storage/md5.h"
#include "tests/support/checks.h"

namespace tuv {
namespace {

// A file held in memory; reads past `fail_at` fail like a broken disk.
class memory_file : public file_handle {
  public:
    explicit memory_file(std::vector<std::uint8_t> bytes, std::uint64_t fail_at = UINT64_MAX)
        : bytes_(std::move(bytes)), fail_at_(fail_at) {}

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        if (offset + size > fail_at_) throw io_error("Cannot read memory: Input/output error");
        if (offset >= bytes_.size()) return 0;
        const std::size_t n = std::min<std::size_t>(size, bytes_.size() - offset);
        std::memcpy(data, bytes_.data() + offset, n);
        return n;
    }
    void write_at(std::uint64_t, const void*, std::size_t) override {}
    void sync() override {}
    void truncate(std::uint64_t) override {}
    std::uint64_t size() override { return bytes_.size(); }
    const std::filesystem::path& path() const override { return path_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t fail_at_;
    std::filesystem::path path_ = "memory";
};

struct expected_chunk {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
    std::string checksum;
};

// The plain, single-threaded way: read_chunk and md5_hex one after another.
std::vector<expected_chunk> plain_chunks(const std::vector<std::uint8_t>& data,
                                         const chunk_settings& settings) {
    memory_file file(data);
    buffered_reader reader(file, 4096);
    std::vector<std::uint8_t> buffer(settings.max_size);
    std::vector<expected_chunk> chunks;
    std::uint64_t offset = 0;
    for (;;) {
        std::size_t length = 0;
        const auto status = read_chunk(reader, buffer.data(), length, settings);
        chunks.push_back({offset,
                          {buffer.begin(), buffer.begin() + static_cast<long>(length)},
                          md5_hex(buffer.data(), length)});
        offset += length;
        if (status == chunk_status::last) return chunks;
    }
}

TEST(chunk_pipeline_test, hands_over_the_same_chunks_in_order_as_the_plain_loop) {
    const chunk_settings settings{64, 1024, 16, 127};
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{63}, std::size_t{1024}, std::size_t{300000}}) {
        const auto data = test::random_bytes(size, size);
        const auto expected = plain_chunks(data, settings);
        for (const std::size_t depth : {std::size_t{1}, std::size_t{2}, std::size_t{8}}) {
            memory_file file(data);
            chunk_pipeline pipeline(file, settings, {}, depth);
            std::size_t i = 0;
            while (const chunk_pipeline::chunk* c = pipeline.next()) {
                ASSERT_LT(i, expected.size()) << "size " << size << " depth " << depth;
                EXPECT_EQ(c->offset, expected[i].offset);
                EXPECT_TRUE(std::equal(c->bytes.begin(), c->bytes.end(), expected[i].bytes.begin(),
                                       expected[i].bytes.end()));
                EXPECT_EQ(c->checksum, expected[i].checksum);
                ++i;
            }
            EXPECT_EQ(i, expected.size()) << "size " << size << " depth " << depth;
            EXPECT_EQ(pipeline.next(), nullptr);
        }
    }
}

// Every other chunk is "stored": it comes with the id find_stored gave and
// uncompressed; the others come compressed, and decompress to themselves.
TEST(chunk_pipeline_test, compresses_only_the_chunks_that_are_not_stored) {
    const chunk_settings settings{256, 1024, 16, 127};
    auto data = test::random_bytes(300000, 11);
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>('a' + b % 16);
    const auto expected = plain_chunks(data, settings);
    std::map<std::string, std::int64_t> stored;
    for (std::size_t i = 0; i < expected.size(); i += 2) {
        stored[expected[i].checksum] = static_cast<std::int64_t>(i + 1);
    }
    const auto consumer = std::this_thread::get_id();
    bool asked_elsewhere = false;
    const auto find_stored = [&](const std::string& checksum) -> std::int64_t {
        asked_elsewhere = asked_elsewhere || std::this_thread::get_id() != consumer;
        const auto found = stored.find(checksum);
        return found == stored.end() ? 0 : found->second;
    };
    memory_file file(data);
    chunk_pipeline pipeline(file, settings, {3, find_stored}, 8);
    std::size_t i = 0;
    std::vector<std::uint8_t> out(settings.max_size);
    while (const chunk_pipeline::chunk* c = pipeline.next()) {
        ASSERT_LT(i, expected.size());
        EXPECT_EQ(c->checksum, expected[i].checksum);
        if (i % 2 == 0) {
            EXPECT_EQ(c->stored_id, static_cast<std::int64_t>(i + 1));
            EXPECT_TRUE(c->compressed.empty()) << "chunk " << i;
        } else if (c->bytes.size() >= settings.min_size) {  // the last may be too short
            EXPECT_EQ(c->stored_id, 0);
            ASSERT_FALSE(c->compressed.empty()) << "chunk " << i;
            EXPECT_EQ(decode_chunk(c->compressed, 1, c->bytes.size(), c->checksum, out.data()),
                      std::nullopt);
        }
        ++i;
    }
    EXPECT_EQ(i, expected.size());
    EXPECT_FALSE(asked_elsewhere);
}

TEST(chunk_pipeline_test, a_read_error_reaches_the_consumer_after_the_good_chunks) {
    const chunk_settings settings{64, 1024, 16, 127};
    const auto data = test::random_bytes(200000, 7);
    memory_file file(data, 100000);
    chunk_pipeline pipeline(file, settings);
    std::uint64_t handed = 0;
    try {
        while (const chunk_pipeline::chunk* c = pipeline.next())
            handed = c->offset + c->bytes.size();
        FAIL() << "the read error was lost";
    } catch (const io_error& e) {
        EXPECT_STREQ(e.what(), "Cannot read memory: Input/output error");
    }
    EXPECT_LE(handed, 100000u);
}

TEST(chunk_pipeline_test, stopping_early_does_not_hang) {
    const auto data = test::random_bytes(1 << 20, 3);
    memory_file file(data);
    chunk_pipeline pipeline(file, chunk_settings{64, 1024, 16, 127}, {}, 2);
    ASSERT_NE(pipeline.next(), nullptr);
    // The destructor must stop a producer that waits for a free slot.
}

}  // namespace
}  // namespace tuv
