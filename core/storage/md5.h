// MD5 (RFC 1321) of byte strings, and its text form: the checksum that names
// every stored chunk and by which equal chunks are shared. Our own code, tuned
// because every checked-in byte passes through it.
//
// md5_hex gives exactly 32 lowercase hexadecimal characters, the 16 digest
// bytes in order, high nibble first. Nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tuv {

// Incremental MD5: feed the message in pieces of any size, then finish().
class md5 {
  public:
    using digest = std::array<std::uint8_t, 16>;

    void update(const void* data, std::size_t size);

    // The digest of everything fed since construction or the last finish();
    // the object then starts over on a new, empty message.
    digest finish();

  private:
    void reset();

    std::array<std::uint32_t, 4> state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::uint64_t length_ = 0;                // bytes fed so far
    std::array<std::uint8_t, 64> pending_{};  // a started block, length_ % 64 bytes of it
};

// The 32-character lowercase hexadecimal text of a digest.
std::string to_hex(const md5::digest& digest);

std::string md5_hex(const void* data, std::size_t size);
inline std::string md5_hex(std::span<const std::uint8_t> bytes) {
    return md5_hex(bytes.data(), bytes.size());
}
inline std::string md5_hex(std::string_view text) {
    return md5_hex(text.data(), text.size());
}

}  // namespace tuv
