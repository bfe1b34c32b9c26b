#include "core/chunk_pipeline.h"

#include "core/buffered_reader.h"
#include "core/chunker.h"
#include "core/md5.h"

namespace tuv {

chunk_pipeline::chunk_pipeline(file_handle& input, const chunk_settings& settings,
                               std::size_t depth)
    : settings_(settings), slots_(depth < 2 ? 2 : depth) {
    validate(settings_);
    for (slot& s : slots_)
        s.buffer = std::make_unique_for_overwrite<std::uint8_t[]>(settings_.max_size);
    producer_ = std::thread([this, &input] { produce(input); });
}

chunk_pipeline::~chunk_pipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    producer_.join();
}

void chunk_pipeline::hash(slot& s, std::unique_lock<std::mutex>& lock) {
    s.state = hash_state::hashing;
    lock.unlock();
    std::string checksum = md5_hex(s.data.bytes.data(), s.data.bytes.size());
    lock.lock();
    s.data.checksum = std::move(checksum);
    s.state = hash_state::done;
    changed_.notify_all();
}

bool chunk_pipeline::hash_one_pending(std::unique_lock<std::mutex>& lock) {
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        slot& s = slots_[i % slots_.size()];
        if (s.state == hash_state::pending) {
            hash(s, lock);
            return true;
        }
    }
    return false;
}

void chunk_pipeline::produce(file_handle& input) {
    try {
        buffered_reader reader(input);
        std::uint64_t offset = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            // Wait for a free slot, hashing what waits meanwhile.
            while (!stop_ && produced_ - consumed_ == slots_.size()) {
                if (!hash_one_pending(lock)) changed_.wait(lock);
            }
            if (stop_) return;
            slot& s = slots_[produced_ % slots_.size()];
            lock.unlock();
            std::size_t length = 0;
            const bool last =
                read_chunk(reader, s.buffer.get(), length, settings_) == chunk_status::last;
            lock.lock();
            s.data.offset = offset;
            s.data.bytes = std::span<const std::uint8_t>(s.buffer.get(), length);
            s.last = last;
            s.state = hash_state::pending;
            offset += length;
            ++produced_;
            changed_.notify_all();
            if (last) {
                // Help with what is left, then stop.
                while (!stop_ && hash_one_pending(lock)) {
                }
                finished_ = true;
                changed_.notify_all();
                return;
            }
            hash_one_pending(lock);
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        finished_ = true;
        changed_.notify_all();
    }
}

const chunk_pipeline::chunk* chunk_pipeline::next() {
    std::unique_lock lock(mutex_);
    if (handed_out_) {
        ended_ = slots_[consumed_ % slots_.size()].last;
        ++consumed_;
        handed_out_ = false;
        changed_.notify_all();
    }
    if (ended_) return nullptr;
    changed_.wait(lock, [this] { return produced_ > consumed_ || finished_; });
    if (produced_ == consumed_) {
        // The producer stopped before cutting the last chunk: it failed.
        std::rethrow_exception(error_);
    }
    slot& s = slots_[consumed_ % slots_.size()];
    if (s.state == hash_state::pending) hash(s, lock);
    changed_.wait(lock, [&s] { return s.state == hash_state::done; });
    handed_out_ = true;
    return &s.data;
}

}  // namespace tuv
