// The fuzz targets take their choices from the first bytes of the data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The next `bytes` bytes of the data as one number, the first the most
// significant, taken off the data; fewer when the data ends first.
inline std::uint32_t take(const std::uint8_t*& data, std::size_t& size, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes && size > 0; ++i, ++data, --size) value = value << 8 | *data;
    return value;
}

}  // namespace fuzz
