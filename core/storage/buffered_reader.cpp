#include "core/storage/buffered_reader.h"

#include <algorithm>
#include <cstring>

namespace tuv {

buffered_reader::buffered_reader(file_handle& file, std::size_t buffer_size)
    : file_(file),
      buffer_(
          std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(buffer_size, 1))),
      capacity_(std::max<std::size_t>(buffer_size, 1)) {}

bool buffered_reader::refill() {
    next_ = 0;
    end_ = file_.read_at(file_offset_, buffer_.get(), capacity_);
    file_offset_ += end_;
    return end_ > 0;
}

std::size_t buffered_reader::read(void* data, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        if (next_ == end_ && !refill()) break;
        const std::size_t n = std::min(size - done, end_ - next_);
        std::memcpy(out + done, buffer_.get() + next_, n);
        next_ += n;
        done += n;
    }
    return done;
}

}  // namespace tuv
