#include "core/storage/chunk_pipeline.h"

#include <algorithm>
#include <array>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/chunker.h"
#include "core/storage/md5_many.h"

namespace tuv {

namespace {

std::size_t depth_for(const chunk_settings& settings, std::size_t depth) {
    if (depth == 0) {
        constexpr std::size_t budget = 4 << 20;
        depth = std::clamp<std::size_t>(budget / std::max<std::size_t>(settings.max_size, 1), 32, 64);
    }
    return std::max<std::size_t>(depth, 2);
}

constexpr std::size_t max_hash_batch = 32;

// A file read no further than the size it had when the pipeline began: a
// file cut on the caller's thread must not outgrow the slots (the rest would
// wait for a consumer that never comes); one that grows is stored as it was.
class size_bounded_file : public file_handle {
  public:
    size_bounded_file(file_handle& file, std::uint64_t size) : file_(file), size_(size) {}
    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        if (offset >= size_) return 0;
        return file_.read_at(
            offset, data, static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset)));
    }
    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        file_.write_at(offset, data, size);
    }
    void sync() override { file_.sync(); }
    void truncate(std::uint64_t size) override { file_.truncate(size); }
    std::uint64_t size() override { return std::min(file_.size(), size_); }
    const std::filesystem::path& path() const override { return file_.path(); }

  private:
    file_handle& file_;
    std::uint64_t size_;
};

}  // namespace

chunk_pipeline::chunk_pipeline(file_handle& input, const chunk_settings& settings,
                               int compression_level, std::size_t depth)
    : settings_(settings),
      compression_level_(compression_level),
      slots_(depth_for(settings, depth)),
      hash_batch_(std::clamp<std::size_t>(slots_.size() / 2, 1, max_hash_batch)) {
    validate(settings_);
    const std::size_t per_slot = compression_level_ != 0 ? 2 : 1;
    storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(slots_.size() * per_slot *
                                                              settings_.max_size);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].buffer = storage_.get() + i * per_slot * settings_.max_size;
        if (per_slot == 2) slots_[i].compressed = slots_[i].buffer + settings_.max_size;
    }
    consumer_compressor_ = make_compressor();
    // A small file is cut, hashed and compressed here and now, when all its
    // chunks fit in the slots at once: for a few chunks a thread costs more
    // than it saves. Each chunk but the last holds min_size bytes or more,
    // and an empty one may end the file.
    const std::uint64_t size = input.size();
    if (size / std::max<std::uint32_t>(settings_.min_size, 1) + 2 <= slots_.size()) {
        size_bounded_file bounded(input, size);
        produce(bounded);
        return;
    }
    producer_ = std::thread([this, &input] { produce(input); });
}

chunk_pipeline::~chunk_pipeline() {
    if (!producer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    producer_.join();
}

std::unique_ptr<chunk_compressor> chunk_pipeline::make_compressor() const {
    if (compression_level_ == 0) return nullptr;
    return std::make_unique<chunk_compressor>(compression_level_);
}

bool chunk_pipeline::hash_pending(std::unique_lock<std::mutex>& lock,
                                  chunk_compressor* compressor) {
    std::array<slot*, max_hash_batch> batch;
    std::size_t n = 0;
    for (std::uint64_t i = consumed_; i < produced_ && n < hash_batch_; ++i) {
        slot& s = slots_[i % slots_.size()];
        if (s.state == hash_state::pending) {
            s.state = hash_state::hashing;
            batch[n++] = &s;
        }
    }
    if (n == 0) return false;
    pending_ -= n;
    // A slot being hashed is this thread's alone until it is marked done.
    lock.unlock();
    std::array<std::span<const std::uint8_t>, max_hash_batch> bytes;
    std::array<md5::digest, max_hash_batch> digests;
    for (std::size_t i = 0; i < n; ++i) bytes[i] = batch[i]->data.bytes;
    md5_many(std::span(bytes).first(n), std::span(digests).first(n));
    for (std::size_t i = 0; i < n; ++i) {
        slot& s = *batch[i];
        s.data.checksum = to_hex(digests[i]);
        const std::size_t compressed =
            compressor != nullptr ? compressor->compress(s.data.bytes, s.compressed) : 0;
        s.data.compressed = std::span<const std::uint8_t>(s.compressed, compressed);
    }
    lock.lock();
    for (std::size_t i = 0; i < n; ++i) batch[i]->state = hash_state::done;
    wake(waiting::consumer_for_hash);
    return true;
}

void chunk_pipeline::wait(std::unique_lock<std::mutex>& lock, waiting what) {
    waiting& mine = what == waiting::producer_for_slots ? producer_waits_ : consumer_waits_;
    mine = what;
    changed_.wait(lock);
    mine = waiting::nobody;
}

void chunk_pipeline::wake(waiting what) {
    if (consumer_waits_ == what || producer_waits_ == what) changed_.notify_all();
}

void chunk_pipeline::produce(file_handle& input) {
    try {
        buffered_reader reader(input);
        const std::unique_ptr<chunk_compressor> compressor = make_compressor();
        std::uint64_t offset = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            // Wait for a free slot, hashing what waits meanwhile.
            while (!stop_ && produced_ - consumed_ == slots_.size()) {
                if (!hash_pending(lock, compressor.get())) wait(lock, waiting::producer_for_slots);
            }
            if (stop_) return;
            slot& s = slots_[produced_ % slots_.size()];
            lock.unlock();
            std::size_t length = 0;
            const bool last =
                read_chunk(reader, s.buffer, length, settings_) == chunk_status::last;
            lock.lock();
            s.data.offset = offset;
            s.data.bytes = std::span<const std::uint8_t>(s.buffer, length);
            s.last = last;
            s.state = hash_state::pending;
            offset += length;
            ++produced_;
            ++pending_;
            if (produced_ - consumed_ >= batch()) wake(waiting::consumer_for_chunks);
            if (last) {
                finished_ = true;
                wake(waiting::consumer_for_chunks);
                // Help with what is left, then stop.
                while (!stop_ && hash_pending(lock, compressor.get())) {
                }
                return;
            }
            if (pending_ >= hash_batch_) hash_pending(lock, compressor.get());
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        finished_ = true;
        wake(waiting::consumer_for_chunks);
    }
}

const chunk_pipeline::chunk* chunk_pipeline::next() {
    std::unique_lock lock(mutex_);
    if (handed_out_) {
        ended_ = slots_[consumed_ % slots_.size()].last;
        ++consumed_;
        handed_out_ = false;
        if (slots_.size() - (produced_ - consumed_) >= batch()) wake(waiting::producer_for_slots);
    }
    if (ended_) return nullptr;
    while (produced_ == consumed_ && !finished_) wait(lock, waiting::consumer_for_chunks);
    if (produced_ == consumed_) {
        // The producer stopped before cutting the last chunk: it failed.
        std::rethrow_exception(error_);
    }
    slot& s = slots_[consumed_ % slots_.size()];
    // The oldest chunk: hashing what waits starts with it.
    if (s.state == hash_state::pending) hash_pending(lock, consumer_compressor_.get());
    while (s.state != hash_state::done) wait(lock, waiting::consumer_for_hash);
    handed_out_ = true;
    return &s.data;
}

}  // namespace tuv
