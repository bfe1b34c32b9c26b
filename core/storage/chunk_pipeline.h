// Cuts a file into chunks and computes their checksums (and, when the vault
// compresses, the compressed form of the chunks it does not hold yet) on a
// thread of its own, handing the chunks over in file order, so that the
// check-in's database work overlaps with reading, chunking, hashing and
// compressing. Chunks are hashed several at a time (md5_many.h). Hashing
// and compressing, the costliest steps, are shared: the producer does them
// while it cannot cut (every slot is full, or the file is cut), and hashes
// once enough chunks wait to fill the hash's lanes; the consumer does them
// itself when it reaches a chunk that nobody has done yet.
//
// Whether a chunk is stored already is known only once it is hashed, and
// only the consumer's thread may ask the database: the consumer asks for
// every hashed chunk ahead of the one it hands out, in the file's order, so
// that the chunks to compress are known early enough for the producer to
// compress them too. With shared frames it also groups consecutive new
// chunks into frames there; a frame is compressed as one piece of work.
//
// Memory is bounded by `depth` buffers of max_size bytes (twice that when
// compressing) and one zstd context per thread, whatever the size of the
// file; only the pages chunks touch are ever resident. A file cut on the
// calling thread (see the constructor) is held whole instead.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/db/settings.h"
#include "core/storage/buffered_reader.h"

namespace tuv {

class chunk_compressor;
class file_handle;

// Which chunks a chunk_pipeline compresses, and how.
struct pipeline_compression {
    // The zstd level; 0 hands every chunk out uncompressed.
    int level = 0;
    // For each checksum, the id of the stored chunk with it, or 0: only
    // chunks without one are compressed. Asked for all the chunks hashed
    // ahead at once, so that a database answers many in one statement.
    // Called on the consumer's thread, from chunk_pipeline::next(), so it
    // may use what the consumer uses. Empty: every chunk is compressed.
    std::function<std::vector<std::int64_t>(std::span<const std::string> checksums)> find_stored =
        {};
    // For a file cut on the constructor's thread, where find_stored may not
    // be called: for each checksum, the id of a chunk with it that is
    // stored for good (committed, so it stays), or 0 when there is none or
    // it cannot tell. Called on that thread. Empty: such a file's chunks
    // are all compressed.
    std::function<std::vector<std::int64_t>(std::span<const std::string> checksums)>
        find_committed = {};
    // Whether consecutive chunks to compress are compressed together, as
    // one frame of up to shared_frame_limit bytes (chunk_codec.h), rather
    // than each on its own.
    bool shared_frames = false;
};

class chunk_pipeline {
  public:
    struct chunk {
        std::uint64_t offset;
        std::span<const std::uint8_t> bytes;
        std::string checksum;  // md5_hex of bytes
        // What find_stored said, when it holds until the chunk is stored:
        // the id of the stored chunk with this checksum, or 0 when there was
        // none and no chunk handed out since has the same checksum (so that
        // none is stored yet, unless something else stores one meanwhile).
        // Empty when nobody asked, or a chunk handed out since may have the
        // same checksum.
        std::optional<std::int64_t> stored_id;
        // The bytes compressed; empty when the chunk is to be stored raw
        // (compression is off, or would not make it smaller) or is stored
        // already. For the first chunk of a shared frame, the whole frame.
        std::span<const std::uint8_t> compressed;
        // For a chunk compressed in a frame shared with the chunks handed
        // out right after it: where its bytes begin in the frame's content
        // (0 for the first, which brings the frame).
        std::optional<std::uint32_t> frame_offset;
    };

    // `input` is borrowed and must outlive the pipeline; reading starts at
    // offset 0 at once. `depth` chunks may wait between the two threads; by
    // default as many as 16 MiB of max_size buffers hold (64 at the default
    // chunk sizes, so that a shared frame's chunks are cut and hashed well
    // before the writer needs the frame), but at least 32 (so that chunks
    // are hashed 16 at a time, the lanes of AVX-512) and at most 64, so that
    // small chunks do not make the threads wait on each other at every one;
    // never more than max_depth. Only the pages chunks touch are resident.
    // Throws tuv_error for settings that break the chunker's rules.
    //
    // A file small enough that all its chunks fit in the `depth` slots, or
    // of at most `cut_here_up_to` bytes (and at most 2,046 times min_size),
    // is cut, hashed and compressed here, on the calling thread (which may
    // be another than the consumer's), without a thread of the pipeline's
    // own, and read no further than the size it has now; it is held whole,
    // twice when compressing. find_stored may not be called from here:
    // find_committed says which chunks need no compression.
    chunk_pipeline(file_handle& input, const chunk_settings& settings,
                   pipeline_compression compression = {}, std::size_t depth = 0,
                   std::uint64_t cut_here_up_to = 0);
    // The most chunks that wait, whatever `depth` asks: a chunk is looked up
    // with find_stored at most this many chunks before it is handed out.
    static constexpr std::size_t max_depth = 64;
    // Stops the producer and waits for it.
    ~chunk_pipeline();
    chunk_pipeline(const chunk_pipeline&) = delete;
    chunk_pipeline& operator=(const chunk_pipeline&) = delete;

    // The next chunk, valid until the next call; nullptr after the file's
    // last chunk (which may be empty) was handed out. Rethrows the error
    // that stopped the producer (a read error of the file) and what
    // find_stored throws.
    const chunk* next();

    // The file's size when the pipeline began.
    std::uint64_t size_at_start() const { return size_at_start_; }

  private:
    // What a cut chunk goes through. A thread takes a chunk to hash or to
    // compress by moving it on to `hashing` or `compressing` (a compare and
    // swap, so only one thread does), and on again when done; only the
    // consumer moves a `hashed` chunk on, after its look-up. The slots are
    // not locked: a mutex taken for every step let one thread starve the
    // other of it. The mutex is only for sleeping.
    //
    // With shared frames, only the consumer moves a new chunk (`unframed`)
    // on, in the file's order: into the open frame (`framing`), or, when it
    // cannot join it, into a frame of its own, the open one being closed
    // (its first chunk `to_compress`, the rest `framing` until the first
    // chunk's compression makes them all `ready`).
    enum class stage : std::uint8_t {
        cut,
        hashing,
        hashed,
        unframed,
        framing,
        to_compress,
        compressing,
        ready
    };
    struct slot {
        std::uint8_t* buffer = nullptr;      // max_size bytes of storage_
        std::uint8_t* compressed = nullptr;  // room for a frame, in storage_, when compressing
        chunk data;
        bool last = false;
        std::size_t frame_chunks = 1;  // of the frame it begins, when it is compressed
        std::atomic<stage> state{stage::cut};
    };

    void produce(file_handle& input);
    // Hashes the oldest chunks nobody hashes yet when at least `at_least`
    // of them wait, else compresses the newest chunk to compress that
    // nobody compresses yet (the consumer works from the oldest on); false
    // when it did neither.
    bool help(chunk_compressor* compressor, std::size_t at_least = 1);
    // Whether the producer may help now, or may have to later.
    bool work_for_producer();
    bool work_may_come();
    // Moves `s` from `from` to `to` unless another thread did first.
    static bool take(slot& s, stage from, stage to);
    // Takes up to hash_batch_ chunks to hash, from the `first` on, and
    // hashes them together; false when there were none.
    bool hash_from(std::uint64_t first);
    // Compresses the chunk of `s`, which the caller took, with the rest of
    // its frame.
    void compress(slot& s, chunk_compressor& compressor);
    // The consumer asks find_stored about every hashed chunk not handed out
    // yet, in order, so that the producer knows early which to compress,
    // and puts the new ones into frames.
    void look_up_hashed();
    // Puts the new chunk at `index` into a frame; false when that left no
    // frame ready to compress.
    bool place_in_frame(std::uint64_t index);
    bool close_frame();
    // The consumer's chunk waits for its frame to close: it hashes or waits
    // for the chunk after the frame.
    void wait_for_frame_end();
    // Whether a chunk handed out before the one at `index` (and after the
    // last given back) may have its checksum.
    bool may_repeat_earlier(std::uint64_t index);
    // For a file cut on the constructor's thread: asks find_stored about
    // the next max_depth chunks that find_committed did not find.
    void look_up_cut_here();
    std::unique_ptr<chunk_compressor> make_compressor() const;
    // A thread sleeps until what it waits for is there: for the consumer, a
    // quarter of the slots filled (or the end), or its chunk no longer
    // being hashed or compressed; for the producer, a quarter of the slots
    // free, or chunks to compress. A thread wakes the other only when it
    // sleeps for what was just done: waking costs a system call and a
    // switch, and batching keeps the threads from waiting on each other at
    // every chunk.
    enum class waiting : std::uint8_t {
        nobody,
        consumer_for_chunks,
        consumer_for_its_chunk,
        consumer_for_cut,
        producer_for_slots,
        producer_for_work
    };
    template <typename Done>
    void wait(waiting what, Done done);
    void wake(waiting what);
    std::size_t batch() const { return std::max<std::size_t>(1, slots_.size() / 4); }
    slot& at(std::uint64_t index) { return slots_[index % slots_.size()]; }
    std::uint64_t in_flight() const { return produced_ - consumed_; }

    chunk_settings settings_;
    pipeline_compression compression_;
    std::uint64_t size_at_start_ = 0;
    // Cut on the constructor's thread: nobody may wait, and no chunk waits
    // for a look-up.
    bool synchronous_ = false;
    std::uint64_t looked_up_here_ = 0;  // chunks before it were looked up
    // The file reader's buffer: the whole file, when it is cut here.
    std::size_t read_buffer_size_ = buffered_reader::default_buffer_size;
    std::unique_ptr<chunk_compressor> consumer_compressor_;
    // The slots' buffers, one allocation for all. Not zero-filled: only the
    // pages a chunk touches are ever faulted in, so a small file costs
    // little however large max_size is.
    std::unique_ptr<std::uint8_t[]> storage_;
    std::vector<slot> slots_;
    // The producer hashes once this many chunks wait, so that the lanes of
    // md5_many are filled.
    std::size_t hash_batch_;
    // At most half the slots of `depth`, so that the chunk after a frame can
    // always be cut while the frame waits for it; the same for a file cut
    // here, so that a file's frames do not depend on where it was cut.
    std::size_t most_frame_chunks_;
    std::atomic<std::size_t> cut_waiting_{0};  // chunks in stage::cut
    std::atomic<std::uint64_t> produced_{0};  // chunks cut so far; the producer's
    std::atomic<std::uint64_t> consumed_{0};  // chunks handed out and given back; the consumer's
    bool handed_out_ = false;                 // slot of consumed_ is with the consumer
    bool ended_ = false;                      // the last chunk was handed out and given back
    std::atomic<bool> finished_{false};       // the producer cut the last chunk or failed
    std::atomic<bool> stop_{false};
    std::exception_ptr error_;  // set before finished_
    // What each thread sleeps for; each writes only its own.
    // The chunks looked up and put into frames so far; the consumer's.
    std::uint64_t classified_ = 0;
    struct open_frame {
        std::uint64_t first;
        std::size_t chunks;
        std::size_t bytes;
    };
    std::optional<open_frame> open_;  // the consumer's
    std::atomic<waiting> consumer_waits_{waiting::nobody};
    std::atomic<waiting> producer_waits_{waiting::nobody};
    std::mutex sleep_;
    std::condition_variable woken_;
    std::thread producer_;
};

}  // namespace tuv
