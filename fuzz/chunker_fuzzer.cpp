// read_chunk: the first bytes of the fuzz data choose valid chunk settings,
// the hash base and the reader's buffer size; the rest is the file.
// Properties: the chunks put together are the file; every chunk but the
// last is at least min and at most max bytes long, the last at most max;
// and every end lies exactly where a plain, byte-by-byte reading of the
// documented rule puts it (the polynomial of the window's signed bytes,
// recomputed at every position, taken modulo the anchor with %).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunker.h"
#include "core/storage/file_io.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

namespace {

// The fuzz data as a read-only file.
class memory_file : public tuv::file_handle {
  public:
    memory_file(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read_at(std::uint64_t offset, void* out, std::size_t size) override {
        if (offset >= size_) return 0;
        const std::size_t n = std::min<std::uint64_t>(size, size_ - offset);
        std::memcpy(out, data_ + offset, n);
        return n;
    }
    void write_at(std::uint64_t, const void*, std::size_t) override {
        throw std::logic_error("read only");
    }
    void sync() override {}
    void truncate(std::uint64_t) override {}
    std::uint64_t size() override { return size_; }
    const std::filesystem::path& path() const override { return path_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::filesystem::path path_{"fuzz"};
};

struct expected_chunk {
    std::size_t length;
    bool last;
};

std::uint32_t window_hash(const std::uint8_t* end, std::uint32_t win, std::uint32_t base) {
    std::uint32_t h = 0;
    for (std::uint32_t j = 0; j < win; ++j) {
        const auto value = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(static_cast<std::int8_t>((end - win)[j])));
        h = h * base + value;
    }
    return h;
}

// The next chunk by the rule, straight from its statement.
expected_chunk reference_chunk(const std::uint8_t* data, std::size_t remaining,
                               const tuv::chunk_settings& s, std::uint32_t base) {
    if (remaining < s.min_size) return {remaining, true};
    std::size_t n = s.min_size;
    while (window_hash(data + n, s.win_size, base) % s.anchor != 0 && n < s.max_size) {
        if (n == remaining) return {n, true};
        ++n;
    }
    return {n, false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tuv::chunk_settings s{};
    s.min_size = 1 + fuzz::take(data, size, 2) % 512;
    s.max_size = s.min_size + fuzz::take(data, size, 2) % 1024;
    // Windows up to 64 bytes keep the byte-by-byte reference fast.
    s.win_size = fuzz::take(data, size, 1) % (std::min<std::uint32_t>(s.min_size, 64) + 1);
    const std::uint32_t anchor = fuzz::take(data, size, 4);
    s.anchor = anchor & 0x80000000u ? std::max<std::uint32_t>(anchor & 0x7fffffffu, 1)
                                    : 1 + anchor % 1024;
    const std::uint32_t base_choice = fuzz::take(data, size, 4);
    const std::uint32_t base = base_choice % 4 == 0 ? base_choice : 2;
    const std::size_t buffer_size = 1 + fuzz::take(data, size, 1) % 64;

    memory_file file(data, size);
    tuv::buffered_reader reader(file, buffer_size);
    std::vector<std::uint8_t> buffer(s.max_size);
    std::size_t offset = 0;
    for (std::size_t chunks = 0;; ++chunks) {
        // A chunk of at least min_size bytes, but the last: no more than this.
        FUZZ_CHECK(chunks <= size / s.min_size + 1);
        std::size_t length = 0;
        const tuv::chunk_status status = tuv::read_chunk(reader, buffer.data(), length, s, base);
        const bool last = status == tuv::chunk_status::last;
        FUZZ_CHECK(length <= s.max_size);
        if (!last) FUZZ_CHECK(length >= s.min_size);
        FUZZ_CHECK(offset + length <= size);
        FUZZ_CHECK(std::memcmp(buffer.data(), data + offset, length) == 0);
        const expected_chunk expected = reference_chunk(data + offset, size - offset, s, base);
        FUZZ_CHECK(length == expected.length && last == expected.last);
        offset += length;
        FUZZ_CHECK(reader.position() == offset);
        if (last) break;
    }
    FUZZ_CHECK(offset == size);
    return 0;
}
