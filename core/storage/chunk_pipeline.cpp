#include "core/storage/chunk_pipeline.h"

#include <algorithm>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/chunker.h"
#include "core/storage/md5.h"

namespace tuv {

namespace {

std::size_t depth_for(const chunk_settings& settings, std::size_t depth) {
    if (depth == 0) {
        constexpr std::size_t budget = 4 << 20;
        depth = std::clamp<std::size_t>(budget / std::max<std::size_t>(settings.max_size, 1), 8, 64);
    }
    return std::max<std::size_t>(depth, 2);
}

}  // namespace

chunk_pipeline::chunk_pipeline(file_handle& input, const chunk_settings& settings,
                               pipeline_compression compression, std::size_t depth)
    : settings_(settings),
      compression_(std::move(compression)),
      slots_(depth_for(settings, depth)) {
    validate(settings_);
    const std::size_t per_slot = compression_.level != 0 ? 2 : 1;
    storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(slots_.size() * per_slot *
                                                              settings_.max_size);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].buffer = storage_.get() + i * per_slot * settings_.max_size;
        if (per_slot == 2) slots_[i].compressed = slots_[i].buffer + settings_.max_size;
    }
    consumer_compressor_ = make_compressor();
    producer_ = std::thread([this, &input] { produce(input); });
}

chunk_pipeline::~chunk_pipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    producer_.join();
}

std::unique_ptr<chunk_compressor> chunk_pipeline::make_compressor() const {
    if (compression_.level == 0) return nullptr;
    return std::make_unique<chunk_compressor>(compression_.level);
}

void chunk_pipeline::hash(slot& s, std::unique_lock<std::mutex>& lock) {
    s.state = stage::hashing;
    lock.unlock();
    std::string checksum = md5_hex(s.data.bytes.data(), s.data.bytes.size());
    lock.lock();
    s.data.checksum = std::move(checksum);
    // A chunk of one byte cannot shrink; one already stored need not.
    if (compression_.level == 0 || s.data.bytes.size() < 2) {
        s.state = stage::ready;
    } else if (compression_.find_stored) {
        s.state = stage::hashed;
    } else {
        s.state = stage::to_compress;
    }
    if (&s == &at(consumed_)) wake(waiting::consumer_for_its_chunk);
}

void chunk_pipeline::compress(slot& s, std::unique_lock<std::mutex>& lock,
                              chunk_compressor& compressor) {
    s.state = stage::compressing;
    lock.unlock();
    const std::size_t length = compressor.compress(s.data.bytes, s.compressed);
    lock.lock();
    s.data.compressed = std::span<const std::uint8_t>(s.compressed, length);
    s.state = stage::ready;
    if (&s == &at(consumed_)) wake(waiting::consumer_for_its_chunk);
}

void chunk_pipeline::look_up_hashed(std::unique_lock<std::mutex>& lock) {
    bool work = false;
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        slot& s = at(i);
        if (s.state != stage::hashed) continue;
        // Nobody else touches a hashed chunk, nor reuses its slot before the
        // consumer gives it back.
        lock.unlock();
        const std::int64_t id = compression_.find_stored(s.data.checksum);
        lock.lock();
        s.data.stored_id = id;
        s.state = id != 0 ? stage::ready : stage::to_compress;
        work = work || id == 0;
    }
    if (work) wake(waiting::producer_for_work);
}

void chunk_pipeline::wait(std::unique_lock<std::mutex>& lock, waiting what) {
    const bool producer = what == waiting::producer_for_slots || what == waiting::producer_for_work;
    waiting& mine = producer ? producer_waits_ : consumer_waits_;
    mine = what;
    changed_.wait(lock);
    mine = waiting::nobody;
}

void chunk_pipeline::wake(waiting what) {
    // A producer that waits for slots takes chunks to compress meanwhile.
    const bool producer_wants =
        producer_waits_ == what ||
        (what == waiting::producer_for_work && producer_waits_ == waiting::producer_for_slots);
    if (consumer_waits_ == what || producer_wants) changed_.notify_all();
}

bool chunk_pipeline::help(std::unique_lock<std::mutex>& lock, chunk_compressor* compressor) {
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        if (at(i).state == stage::cut) {
            hash(at(i), lock);
            return true;
        }
    }
    if (compressor == nullptr) return false;
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        if (at(i).state == stage::to_compress) {
            compress(at(i), lock, *compressor);
            return true;
        }
    }
    return false;
}

bool chunk_pipeline::work_may_come() const {
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        const stage state = slots_[i % slots_.size()].state;
        if (state == stage::hashing || state == stage::hashed) return true;
    }
    return false;
}

void chunk_pipeline::produce(file_handle& input) {
    try {
        buffered_reader reader(input);
        const std::unique_ptr<chunk_compressor> compressor = make_compressor();
        std::uint64_t offset = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            // Wait for a free slot, hashing and compressing meanwhile.
            while (!stop_ && produced_ - consumed_ == slots_.size()) {
                if (!help(lock, compressor.get())) wait(lock, waiting::producer_for_slots);
            }
            if (stop_) return;
            slot& s = at(produced_);
            lock.unlock();
            std::size_t length = 0;
            const bool last =
                read_chunk(reader, s.buffer, length, settings_) == chunk_status::last;
            lock.lock();
            s.data.offset = offset;
            s.data.bytes = std::span<const std::uint8_t>(s.buffer, length);
            s.data.stored_id = 0;
            s.data.compressed = {};
            s.last = last;
            s.state = stage::cut;
            offset += length;
            ++produced_;
            if (produced_ - consumed_ >= batch()) wake(waiting::consumer_for_chunks);
            if (last) {
                finished_ = true;
                wake(waiting::consumer_for_chunks);
                // Help with what is left, then stop.
                while (!stop_) {
                    if (help(lock, compressor.get())) continue;
                    if (!work_may_come()) return;
                    wait(lock, waiting::producer_for_work);
                }
                return;
            }
            help(lock, compressor.get());
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
        ended_ = at(consumed_).last;
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
    slot& s = at(consumed_);
    if (s.state == stage::cut) hash(s, lock);
    for (;;) {
        look_up_hashed(lock);
        if (s.state == stage::to_compress) compress(s, lock, *consumer_compressor_);
        if (s.state == stage::ready) break;
        wait(lock, waiting::consumer_for_its_chunk);  // the producer is at it
    }
    handed_out_ = true;
    return &s.data;
}

}  // namespace tuv
