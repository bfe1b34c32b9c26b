// Reads a file front to back through a buffer of its own, one byte or many
// at a time, so the chunker can look at every byte without a call per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/storage/file_io.h"

namespace tuv {

class buffered_reader {
  public:
    static constexpr std::size_t default_buffer_size = 1 << 20;

    // `file` is borrowed and must outlive the reader; reading starts at 0.
    explicit buffered_reader(file_handle& file, std::size_t buffer_size = default_buffer_size);

    // The next byte, or -1 at the end of the file. Throws io_error when the
    // file cannot be read: an error is never taken for the end.
    int get() {
        if (next_ == end_ && !refill()) return -1;
        return buffer_[next_++];
    }

    // Reads up to `size` bytes; fewer only at the end of the file.
    std::size_t read(void* data, std::size_t size);

    // The buffered bytes not yet handed out, refilling first when there are
    // none; empty only at the end of the file. Valid until the next call
    // that reads. Lets a scanner walk the bytes in place.
    std::span<const std::uint8_t> peek() {
        if (next_ == end_) refill();
        return {buffer_.get() + next_, end_ - next_};
    }

    // Hands out the first `count` bytes of peek(); `count` must not exceed
    // its size.
    void consume(std::size_t count) { next_ += count; }

    // Bytes handed out so far.
    std::uint64_t position() const { return file_offset_ - (end_ - next_); }

  private:
    bool refill();

    file_handle& file_;
    // Not zero-filled: pages are faulted in only as the file fills them.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_;
    std::size_t next_ = 0;
    std::size_t end_ = 0;
    std::uint64_t file_offset_ = 0;  // where the buffer's end lies in the file
};

}  // namespace tuv
