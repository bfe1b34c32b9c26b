#include "core/storage/chunk_pipeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
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

// A pipeline's look-up of many checksums, one `find` at a time.
template <typename Find>
auto each(Find& find) {
    return [&find](std::span<const std::string> checksums) {
        std::vector<std::int64_t> ids;
        for (const std::string& checksum : checksums) ids.push_back(find(checksum));
        return ids;
    };
}

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
        // Deep enough for batches that fill every lane of md5_many; and the
        // whole file cut on this thread, in more slots than `depth`.
        const std::pair<std::size_t, std::uint64_t> runs[] = {{1, 0},  {2, 0},      {8, 0},
                                                              {64, 0}, {2, 300000}, {64, 300000}};
        for (const auto& [depth, cut_here] : runs) {
            SCOPED_TRACE("size " + std::to_string(size) + " depth " + std::to_string(depth) +
                         " cut here up to " + std::to_string(cut_here));
            memory_file file(data);
            chunk_pipeline pipeline(file, settings, {}, depth, cut_here);
            EXPECT_EQ(pipeline.size_at_start(), size);
            std::size_t i = 0;
            while (const chunk_pipeline::chunk* c = pipeline.next()) {
                ASSERT_LT(i, expected.size());
                EXPECT_EQ(c->offset, expected[i].offset);
                EXPECT_TRUE(std::equal(c->bytes.begin(), c->bytes.end(), expected[i].bytes.begin(),
                                       expected[i].bytes.end()));
                EXPECT_EQ(c->checksum, expected[i].checksum);
                ++i;
            }
            EXPECT_EQ(i, expected.size());
            EXPECT_EQ(pipeline.next(), nullptr);
        }
    }
}

// A file small enough to be cut on the calling thread that grows meanwhile
// (its size was 300 bytes, it holds 5000 when read) is cut as it was: all
// of it would not fit in the slots, and nobody would take chunks out. One
// that could be cut there but would take a slot for each of thousands of
// tiny chunks gets a thread, and is read to its end.
TEST(chunk_pipeline_test, a_small_file_that_grows_is_cut_as_it_was_on_the_calling_thread) {
    struct growing_file : memory_file {
        growing_file(std::vector<std::uint8_t> bytes, std::uint64_t size)
            : memory_file(std::move(bytes)), size_(size) {}
        std::uint64_t size() override { return size_; }
        std::uint64_t size_;
    };
    struct run {
        chunk_settings settings;
        std::uint64_t size, cut_here;
        std::size_t read;
    };
    const auto data = test::random_bytes(5000, 11);
    for (const run& r :
         {run{{64, 1024, 16, 127}, 300, 0, 300}, run{{64, 1024, 16, 127}, 3000, 1 << 20, 3000},
          run{{1, 8, 1, 3}, 3000, 1 << 20, 5000}}) {
        SCOPED_TRACE("min " + std::to_string(r.settings.min_size) + " size " +
                     std::to_string(r.size));
        const auto expected = plain_chunks(
            std::vector<std::uint8_t>(data.begin(), data.begin() + static_cast<long>(r.read)),
            r.settings);
        growing_file file(data, r.size);
        chunk_pipeline pipeline(file, r.settings, {}, 8, r.cut_here);
        std::vector<std::uint64_t> offsets;
        while (const chunk_pipeline::chunk* c = pipeline.next()) offsets.push_back(c->offset);
        ASSERT_EQ(offsets.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(offsets[i], expected[i].offset);
    }
}

// The consumer stores every chunk not stored yet, as a check-in does. A
// chunk comes compressed when it is not stored yet, and uncompressed when it
// was stored before the file was cut; what it says of the stored chunk with
// its checksum is what a look-up would say when it is handed out.
TEST(chunk_pipeline_test, compresses_the_chunks_not_stored_and_knows_which_are) {
    const chunk_settings settings{256, 256, 16, 1};  // every chunk 256 bytes
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::uint64_t b = 0; b < 8; ++b) {
        auto block = test::random_bytes(256, b);
        for (std::uint8_t& byte : block) byte = static_cast<std::uint8_t>('a' + byte % 16);
        blocks.push_back(block);
    }
    std::vector<std::uint8_t> data;
    const auto order = test::random_bytes(60, 9);  // blocks repeat, near and far
    for (const std::uint8_t b : order)
        data.insert(data.end(), blocks[b % 8].begin(), blocks[b % 8].end());
    // Depth 0 (64 slots) cuts the file on this thread, which asks only which
    // chunks are committed; the rest are asked for in one list.
    for (const std::size_t depth : {std::size_t{4}, std::size_t{16}, std::size_t{0}}) {
        std::map<std::string, std::int64_t> stored{{md5_hex(blocks[0].data(), 256), 1000},
                                                   {md5_hex(blocks[1].data(), 256), 1001}};
        const auto consumer = std::this_thread::get_id();
        bool asked_elsewhere = false;
        const auto find_stored = [&](const std::string& checksum) -> std::int64_t {
            asked_elsewhere = asked_elsewhere || std::this_thread::get_id() != consumer;
            const auto found = stored.find(checksum);
            return found == stored.end() ? 0 : found->second;
        };
        int lists = 0;
        const auto find_listed = [&](std::span<const std::string> checksums) {
            ++lists;
            return each(find_stored)(checksums);
        };
        pipeline_compression compression{3, find_listed};
        if (depth == 0) compression.find_committed = each(find_stored);
        memory_file file(data);
        chunk_pipeline pipeline(file, settings, compression, depth);
        std::vector<std::uint8_t> out(256);
        std::size_t handed = 0;
        while (const chunk_pipeline::chunk* c = pipeline.next()) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", chunk " + std::to_string(handed));
            ++handed;
            if (c->bytes.empty()) continue;  // the file ends on a chunk boundary
            const std::int64_t now = find_stored(c->checksum);
            EXPECT_EQ(c->stored_id.value_or(now), now);
            if (now >= 1000) {
                EXPECT_TRUE(c->compressed.empty());  // stored before the file was cut
            }
            if (now == 0) {
                ASSERT_FALSE(c->compressed.empty());
                EXPECT_EQ(decode_chunk(c->compressed, 1, 256, c->checksum, out.data()),
                          std::nullopt);
                stored[c->checksum] = static_cast<std::int64_t>(handed);
            }
        }
        EXPECT_EQ(handed, order.size() + 1);
        EXPECT_FALSE(asked_elsewhere);
        if (depth == 0) {
            EXPECT_EQ(lists, 1);
        }
    }
}

// With shared frames, consecutive new chunks come as frames: the first
// brings the frame, each names its place in it, and no frame holds more
// than half the slots of `depth`, wherever the file is cut. Depth 0 (64
// slots) cuts the file on this thread; so does a cut_here_up_to as large as
// the file, whatever the depth.
TEST(chunk_pipeline_test, shared_frames_hold_consecutive_new_chunks) {
    const chunk_settings settings{256, 256, 16, 1};
    std::vector<std::uint8_t> data;
    const auto order = test::random_bytes(60, 9);
    for (const std::uint8_t b : order) {
        auto block = test::random_bytes(256, b % 12);
        for (std::uint8_t& byte : block) byte = static_cast<std::uint8_t>('a' + byte % 16);
        data.insert(data.end(), block.begin(), block.end());
    }
    for (const auto& [depth, cut_here] :
         {std::pair<std::size_t, std::uint64_t>{2, 0}, {6, 0}, {16, 0}, {0, 0}, {6, data.size()}}) {
        SCOPED_TRACE("depth " + std::to_string(depth) + " cut here up to " +
                     std::to_string(cut_here));
        std::map<std::string, std::int64_t> stored;
        const auto find_stored = [&](const std::string& checksum) -> std::int64_t {
            const auto found = stored.find(checksum);
            return found == stored.end() ? 0 : found->second;
        };
        memory_file file(data);
        chunk_pipeline pipeline(file, settings, {3, each(find_stored), {}, true}, depth, cut_here);
        const std::size_t most = depth == 0 ? 32 : std::max<std::size_t>(depth / 2, 1);
        std::vector<std::uint8_t> frame, out(256);
        std::size_t in_frame = 0, framed = 0;
        std::uint64_t frame_end = 0;
        while (const chunk_pipeline::chunk* c = pipeline.next()) {
            if (c->bytes.empty()) continue;
            const bool is_new = find_stored(c->checksum) == 0;
            stored.emplace(c->checksum, static_cast<std::int64_t>(stored.size() + 1));
            if (!c->frame_offset) {
                EXPECT_EQ(decode_chunk(c->compressed, 1, 256, c->checksum, out.data()),
                          is_new ? std::nullopt : std::optional<std::string>("do not decompress"));
                continue;
            }
            if (*c->frame_offset == 0) {
                frame.assign(c->compressed.begin(), c->compressed.end());
                in_frame = frame_end = 0;
            }
            EXPECT_EQ(*c->frame_offset, frame_end);
            frame_end += c->bytes.size();
            EXPECT_LE(++in_frame, most);
            ++framed;
            EXPECT_EQ(decode_chunk(frame, 3, 256, c->checksum, out.data(), c->frame_offset),
                      std::nullopt);
        }
        EXPECT_EQ(framed > 0, depth != 2);
    }
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
