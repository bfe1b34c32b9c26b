#include "core/storage/chunk_pipeline.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/chunker.h"
#include "core/storage/md5.h"
#include "core/storage/md5_many.h"

namespace tuv {

namespace {

std::size_t depth_for(const chunk_settings& settings, std::size_t depth) {
    if (depth == 0) {
        constexpr std::size_t budget = 16 << 20;
        depth = std::clamp<std::size_t>(budget / std::max<std::size_t>(settings.max_size, 1), 32,
                                        chunk_pipeline::max_depth);
    }
    return std::clamp<std::size_t>(depth, 2, chunk_pipeline::max_depth);
}

constexpr std::size_t max_hash_batch = 32;

// The most slots a file cut on the constructor's thread may take: chunks of
// a byte or two must not make a small file cost a slot each.
constexpr std::uint64_t most_slots_cut_here = 2048;

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

// Ordering: a slot's data is written before its state (or produced_, for a
// slot just cut) and read after it, and every atomic is sequentially
// consistent, so that a sleeper, which announces its wait before it checks
// for what it waits for, and a waker, which changes that before it looks for
// sleepers, cannot miss each other.

chunk_pipeline::chunk_pipeline(file_handle& input, const chunk_settings& settings,
                               pipeline_compression compression, std::size_t depth,
                               std::uint64_t cut_here_up_to)
    : settings_(settings),
      compression_(std::move(compression)),
      slots_(depth_for(settings, depth)),
      hash_batch_(std::clamp<std::size_t>(slots_.size() / 2, 1, max_hash_batch)),
      most_frame_chunks_(std::max<std::size_t>(slots_.size() / 2, 1)) {
    validate(settings_);
    const bool compressing = compression_.level != 0;
    consumer_compressor_ = make_compressor();
    // A small file is cut, hashed and compressed here and now, when all its
    // chunks fit in the slots at once: for a few chunks a thread costs more
    // than it saves. Each chunk but the last holds min_size bytes or more,
    // and an empty one may end the file.
    const std::uint64_t size = input.size();
    size_at_start_ = size;
    const std::uint64_t most_chunks = size / std::max<std::uint32_t>(settings_.min_size, 1) + 2;
    if (most_chunks <= slots_.size() ||
        (size <= cut_here_up_to && most_chunks <= most_slots_cut_here)) {
        synchronous_ = true;
        if (most_chunks > slots_.size()) {
            slots_ = std::vector<slot>(static_cast<std::size_t>(most_chunks));
            hash_batch_ = max_hash_batch;
        }
        // Its chunks lie end to end in a buffer of the file's size (and
        // their compressed forms, each shorter than its chunk, in a second
        // one): slots of max_size bytes would cost a small file more in
        // memory mapped and faulted in than cutting it does.
        const auto length = static_cast<std::size_t>(size) + 1;
        read_buffer_size_ = length;
        storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(length * (compressing ? 2 : 1));
        size_bounded_file bounded(input, size);
        produce(bounded);
        // Its frames are made here too, now that every chunk is hashed (a
        // frame's compressed form fits where its chunks' forms would).
        if (compressing) {
            look_up_hashed();
            for (slot& s : slots_) {
                if (take(s, stage::to_compress, stage::compressing)) {
                    compress(s, *consumer_compressor_);
                }
            }
        }
        return;
    }
    // A slot's room for compressed bytes holds a frame begun there.
    const std::size_t room = !compressing ? 0
                             : compression_.shared_frames
                                 ? std::max<std::size_t>(settings_.max_size, shared_frame_limit)
                                 : settings_.max_size;
    const std::size_t per_slot = settings_.max_size + room;
    storage_ = std::make_unique_for_overwrite<std::uint8_t[]>(slots_.size() * per_slot);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].buffer = storage_.get() + i * per_slot;
        if (compressing) slots_[i].compressed = slots_[i].buffer + settings_.max_size;
    }
    producer_ = std::thread([this, &input] { produce(input); });
}

chunk_pipeline::~chunk_pipeline() {
    if (!producer_.joinable()) return;
    stop_ = true;
    {
        std::lock_guard lock(sleep_);
        woken_.notify_all();
    }
    producer_.join();
}

std::unique_ptr<chunk_compressor> chunk_pipeline::make_compressor() const {
    if (compression_.level == 0) return nullptr;
    return std::make_unique<chunk_compressor>(compression_.level);
}

bool chunk_pipeline::take(slot& s, stage from, stage to) {
    return s.state.compare_exchange_strong(from, to);
}

bool chunk_pipeline::hash_from(std::uint64_t first) {
    std::array<slot*, max_hash_batch> batch;
    std::size_t n = 0;
    for (std::uint64_t i = first; i < produced_ && n < hash_batch_; ++i) {
        if (take(at(i), stage::cut, stage::hashing)) batch[n++] = &at(i);
    }
    if (n == 0) return false;
    cut_waiting_ -= n;
    std::array<std::span<const std::uint8_t>, max_hash_batch> bytes;
    std::array<md5::digest, max_hash_batch> digests;
    for (std::size_t i = 0; i < n; ++i) bytes[i] = batch[i]->data.bytes;
    md5_many(std::span(bytes).first(n), std::span(digests).first(n));
    // A new chunk: the consumer puts it into a frame, in the file's order.
    const stage fresh = compression_.shared_frames ? stage::unframed : stage::to_compress;
    // A chunk of one byte cannot shrink; one already stored need not.
    const auto compressible = [&](const slot& s) {
        return compression_.level != 0 && s.data.bytes.size() >= 2;
    };
    // A committed chunk stays stored, whatever is written meanwhile: a file
    // cut here asks which are, all at once.
    const bool ask_committed = synchronous_ && compression_.find_committed;
    std::vector<std::string> asked;
    for (std::size_t i = 0; i < n; ++i) {
        batch[i]->data.checksum = to_hex(digests[i]);
        if (ask_committed && compressible(*batch[i])) asked.push_back(batch[i]->data.checksum);
    }
    std::vector<std::int64_t> committed;
    if (!asked.empty()) committed = compression_.find_committed(asked);
    std::size_t answered_last = committed.size();
    // Last first: the consumer, which looks up the hashed chunks up to the
    // first that is not, sees the batch whole or not at all, and asks for
    // it in one statement.
    for (std::size_t i = n; i-- > 0;) {
        slot& s = *batch[i];
        assert(s.state == stage::hashing);  // taken above: no other thread moves it on
        if (!compressible(s)) {
            s.state = stage::ready;
        } else if (ask_committed) {
            const std::int64_t id = committed.at(--answered_last);
            if (id != 0) s.data.stored_id = id;
            s.state = id != 0 ? stage::ready : fresh;
        } else if (compression_.find_stored && !synchronous_) {
            s.state = stage::hashed;
        } else {
            s.state = fresh;
        }
    }
    wake(waiting::consumer_for_its_chunk);
    return true;
}

void chunk_pipeline::compress(slot& s, chunk_compressor& compressor) {
    assert(s.state == stage::compressing);
    if (s.frame_chunks == 1) {
        const std::size_t length = compressor.compress(s.data.bytes, s.compressed);
        s.data.compressed = std::span<const std::uint8_t>(s.compressed, length);
    } else {
        // The frame's other chunks follow in the next slots, each `framing`:
        // no other thread touches them.
        const auto first = static_cast<std::size_t>(&s - slots_.data());
        std::vector<std::span<const std::uint8_t>> parts;
        for (std::size_t k = 0; k < s.frame_chunks; ++k) {
            parts.push_back(slots_[(first + k) % slots_.size()].data.bytes);
        }
        const std::size_t length = compressor.compress(parts, s.compressed);
        s.data.compressed = std::span<const std::uint8_t>(s.compressed, length);
        // A frame that does not shrink leaves every chunk of it raw.
        std::uint32_t at = 0;
        for (std::size_t k = 0; k < s.frame_chunks; ++k) {
            slot& part = slots_[(first + k) % slots_.size()];
            if (length > 0) part.data.frame_offset = at;
            at += static_cast<std::uint32_t>(part.data.bytes.size());
            if (k > 0) part.state = stage::ready;
        }
    }
    s.state = stage::ready;
    if (&s == &at(consumed_)) wake(waiting::consumer_for_its_chunk);
}

void chunk_pipeline::look_up_hashed() {
    bool work = false;
    // Every chunk hashed ahead is asked for at once. The producer may hash
    // more meanwhile; they wait for the next call.
    const std::uint64_t start = std::max<std::uint64_t>(classified_, consumed_);
    std::uint64_t stop = start;
    std::vector<std::string> asked;
    for (; stop < produced_; ++stop) {
        const stage state = at(stop).state;
        if (state == stage::cut || state == stage::hashing) break;
        if (state == stage::hashed) asked.push_back(at(stop).data.checksum);
    }
    std::vector<std::int64_t> ids;
    if (!asked.empty()) ids = compression_.find_stored(asked);
    std::size_t answered = 0;
    // In the file's order, so that frames hold consecutive chunks.
    for (std::uint64_t i = start; i < stop; classified_ = ++i) {
        slot& s = at(i);
        stage state = s.state;
        if (state == stage::hashed) {
            const std::int64_t id = ids.at(answered++);
            // Only the chunks before it are stored before it. One with the
            // bytes of a chunk handed out before it is stored by then: it
            // needs no compressing, and frames do not depend on whether that
            // chunk was written before the look-up.
            const bool repeat = id == 0 && may_repeat_earlier(i);
            if (!repeat) s.data.stored_id = id;
            assert(s.state == stage::hashed);  // only the consumer moves a hashed chunk on
            state = id != 0 || repeat            ? stage::ready
                    : compression_.shared_frames ? stage::unframed
                                                 : stage::to_compress;
            s.state = state;
            work = work || state == stage::to_compress;
        }
        if (compression_.shared_frames) {
            // Anything but a new chunk ends the open frame; so does the last.
            if (state == stage::unframed) {
                work = place_in_frame(i) || work;
            } else {
                work = close_frame() || work;
            }
            if (s.last) work = close_frame() || work;
        }
    }
    if (work && !synchronous_) wake(waiting::producer_for_work);
}

bool chunk_pipeline::place_in_frame(std::uint64_t index) {
    slot& s = at(index);
    const std::size_t size = s.data.bytes.size();
    bool work = false;
    if (open_ &&
        (open_->bytes + size > shared_frame_limit || open_->chunks == most_frame_chunks_)) {
        work = close_frame();
    }
    if (size > shared_frame_limit) {
        s.frame_chunks = 1;
        s.state = stage::to_compress;
        return true;
    }
    s.state = stage::framing;
    if (open_) {
        ++open_->chunks;
        open_->bytes += size;
    } else {
        open_ = open_frame{index, 1, size};
    }
    return work;
}

bool chunk_pipeline::close_frame() {
    if (!open_) return false;
    slot& first = at(open_->first);
    first.frame_chunks = open_->chunks;
    open_.reset();
    first.state = stage::to_compress;
    return true;
}

void chunk_pipeline::wait_for_frame_end() {
    const std::uint64_t after = classified_;
    if (after < produced_) {
        if (at(after).state == stage::cut) {
            hash_from(after);
            return;
        }
        wait(waiting::consumer_for_its_chunk,
             [&] { return at(after).state != stage::hashing || (finished_ && error_); });
        if (at(after).state == stage::hashing) std::rethrow_exception(error_);
        return;
    }
    wait(waiting::consumer_for_cut, [&] { return produced_ > after || finished_; });
    // The last chunk closes every frame: a producer that stopped before it failed.
    if (produced_ <= after) std::rethrow_exception(error_);
}

bool chunk_pipeline::may_repeat_earlier(std::uint64_t index) {
    const std::string& checksum = at(index).data.checksum;
    for (std::uint64_t i = consumed_; i < index; ++i) {
        const slot& earlier = at(i);
        const stage state = earlier.state;
        if (state == stage::cut || state == stage::hashing) return true;
        if (earlier.data.checksum == checksum) return true;
    }
    return false;
}

template <typename Done>
void chunk_pipeline::wait(waiting what, Done done) {
    const bool producer = what == waiting::producer_for_slots || what == waiting::producer_for_work;
    std::atomic<waiting>& mine = producer ? producer_waits_ : consumer_waits_;
    std::unique_lock lock(sleep_);
    mine = what;
    while (!done()) woken_.wait(lock);
    mine = waiting::nobody;
}

void chunk_pipeline::wake(waiting what) {
    // A producer that waits for slots takes chunks to compress meanwhile.
    const waiting producer = producer_waits_;
    const bool wanted =
        consumer_waits_ == what || producer == what ||
        (what == waiting::producer_for_work && producer == waiting::producer_for_slots);
    if (!wanted) return;
    std::lock_guard lock(sleep_);
    woken_.notify_all();
}

bool chunk_pipeline::help(chunk_compressor* compressor, std::size_t at_least) {
    if (cut_waiting_ >= at_least && hash_from(consumed_)) return true;
    if (compressor == nullptr) return false;
    for (std::uint64_t i = produced_; i > consumed_; --i) {
        if (take(at(i - 1), stage::to_compress, stage::compressing)) {
            compress(at(i - 1), *compressor);
            return true;
        }
    }
    return false;
}

bool chunk_pipeline::work_for_producer() {
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        const stage state = at(i).state;
        if (state == stage::cut || state == stage::to_compress) return true;
    }
    return false;
}

bool chunk_pipeline::work_may_come() {
    for (std::uint64_t i = consumed_; i < produced_; ++i) {
        const stage state = at(i).state;
        if (state == stage::hashing || state == stage::hashed) return true;
        // A file cut on the constructor's thread is put into frames there.
        if (!synchronous_ && (state == stage::unframed || state == stage::framing)) return true;
    }
    return false;
}

void chunk_pipeline::produce(file_handle& input) {
    try {
        buffered_reader reader(input, read_buffer_size_);
        const std::unique_ptr<chunk_compressor> compressor = make_compressor();
        std::uint64_t offset = 0;
        for (;;) {
            // Wait for a free slot, hashing and compressing meanwhile.
            while (!stop_ && in_flight() == slots_.size()) {
                if (help(compressor.get())) continue;
                wait(waiting::producer_for_slots, [&] {
                    return stop_ || slots_.size() - in_flight() >= batch() ||
                           work_for_producer();
                });
            }
            if (stop_) return;
            // The consumer gave this slot back: it is the producer's alone.
            slot& s = at(produced_);
            assert(produced_ < slots_.size() || s.state == stage::ready);
            if (synchronous_) {
                s.buffer = storage_.get() + offset;
                if (compression_.level != 0) s.compressed = s.buffer + read_buffer_size_;
            }
            std::size_t length = 0;
            const bool last = read_chunk(reader, s.buffer, length, settings_) == chunk_status::last;
            s.data.offset = offset;
            s.data.bytes = std::span<const std::uint8_t>(s.buffer, length);
            s.data.stored_id.reset();
            s.data.compressed = {};
            s.data.frame_offset.reset();
            s.frame_chunks = 1;
            s.last = last;
            s.state = stage::cut;
            offset += length;
            ++cut_waiting_;
            ++produced_;
            if (in_flight() >= batch()) wake(waiting::consumer_for_chunks);
            wake(waiting::consumer_for_cut);
            if (last) {
                finished_ = true;
                wake(waiting::consumer_for_chunks);
                // Help with what is left, then stop.
                while (!stop_) {
                    if (help(compressor.get())) continue;
                    if (!compressor || !work_may_come()) return;
                    wait(waiting::producer_for_work,
                         [&] { return stop_ || work_for_producer() || !work_may_come(); });
                }
                return;
            }
            // Between cuts it only hashes: cutting is the work nobody else
            // can do, and the writer, which waits for the chunks cut, has
            // time to compress them.
            help(nullptr, hash_batch_);
        }
    } catch (...) {
        error_ = std::current_exception();
        finished_ = true;
        wake(waiting::consumer_for_chunks);
        wake(waiting::consumer_for_its_chunk);
        wake(waiting::consumer_for_cut);
    }
}

const chunk_pipeline::chunk* chunk_pipeline::next() {
    if (handed_out_) {
        // Nobody touches a chunk while the consumer has it.
        assert(at(consumed_).state == stage::ready);
        ended_ = at(consumed_).last;
        ++consumed_;
        handed_out_ = false;
        if (slots_.size() - in_flight() >= batch()) wake(waiting::producer_for_slots);
    }
    if (ended_) return nullptr;
    if (in_flight() == 0) {
        wait(waiting::consumer_for_chunks, [&] { return finished_ || in_flight() >= batch(); });
    }
    // The producer stopped before cutting the last chunk: it failed.
    if (in_flight() == 0) std::rethrow_exception(error_);
    slot& s = at(consumed_);
    if (s.state == stage::cut) hash_from(consumed_);
    for (;;) {
        look_up_hashed();
        if (take(s, stage::to_compress, stage::compressing)) compress(s, *consumer_compressor_);
        const stage state = s.state;
        if (state == stage::ready) break;
        if (state == stage::hashed || state == stage::unframed || state == stage::to_compress) {
            continue;
        }
        if (state == stage::framing) {
            wait_for_frame_end();
            continue;
        }
        // The producer is at it: compress the next chunk meanwhile, if any.
        bool helped = false;
        for (std::uint64_t i = consumed_ + 1; i < produced_ && !helped; ++i) {
            if (take(at(i), stage::to_compress, stage::compressing)) {
                compress(at(i), *consumer_compressor_);
                helped = true;
            }
        }
        if (helped) continue;
        wait(waiting::consumer_for_its_chunk, [&] {
            const stage now = s.state;
            return (now != stage::hashing && now != stage::compressing) || (finished_ && error_);
        });
        // Only a failure (of memory) while hashing or compressing leaves it so.
        if (s.state == stage::hashing || s.state == stage::compressing) {
            std::rethrow_exception(error_);
        }
    }
    assert(s.state == stage::ready);
    if (synchronous_ && compression_.find_stored && consumed_ >= looked_up_here_) {
        look_up_cut_here();
    }
    handed_out_ = true;
    return &s.data;
}

void chunk_pipeline::look_up_cut_here() {
    // The thread that cut the file asked only which chunks are committed.
    // The rest are asked for here, on the consumer's connection, as many at
    // a time as a file cut on a thread of its own has ahead at most: one at
    // a time, each would cost a server a round trip.
    const std::uint64_t stop = std::min<std::uint64_t>(produced_, consumed_ + max_depth);
    std::vector<std::string> asked;
    std::vector<std::uint64_t> asked_at;
    for (std::uint64_t i = consumed_; i < stop; ++i) {
        if (at(i).data.stored_id) continue;
        asked.push_back(at(i).data.checksum);
        asked_at.push_back(i);
    }
    looked_up_here_ = stop;
    if (asked.empty()) return;
    const std::vector<std::int64_t> ids = compression_.find_stored(asked);
    for (std::size_t k = 0; k < asked_at.size(); ++k) {
        chunk& c = at(asked_at[k]).data;
        if (ids.at(k) != 0) {
            c.stored_id = ids[k];
        } else if (!may_repeat_earlier(asked_at[k])) {
            c.stored_id = 0;
        }
    }
}

}  // namespace tuv
