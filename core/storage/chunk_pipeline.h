// Cuts a file into chunks and computes their checksums (and, when the vault
// compresses, the compressed form of the chunks it does not hold yet) on a
// thread of its own, handing the chunks over in file order, so that the
// check-in's database work overlaps with reading, chunking, hashing and
// compressing. Hashing and compressing, the costliest steps, are shared:
// the producer does them while it cannot cut (every slot is full, or the
// file is cut), the consumer does a chunk itself when it reaches one that
// nobody has done yet.
//
// Whether a chunk is stored already is known only once it is hashed, and
// only the consumer's thread may ask the database: the consumer asks for
// every hashed chunk ahead of the one it hands out, so that the chunks to
// compress are known early enough for the producer to compress them too.
//
// Memory is bounded by `depth` buffers of max_size bytes (twice that when
// compressing) and one zstd context per thread, whatever the size of the
// file; only the pages chunks touch are ever resident.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/db/settings.h"

namespace tuv {

class chunk_compressor;
class file_handle;

// Which chunks a chunk_pipeline compresses, and how.
struct pipeline_compression {
    // The zstd level; 0 hands every chunk out uncompressed.
    int level = 0;
    // The id of the stored chunk with this checksum, or 0: only chunks
    // without one are compressed. Called on the consumer's thread, from
    // chunk_pipeline::next(), so it may use what the consumer uses. Empty:
    // every chunk is compressed.
    std::function<std::int64_t(const std::string& checksum)> find_stored = {};
};

class chunk_pipeline {
  public:
    struct chunk {
        std::uint64_t offset;
        std::span<const std::uint8_t> bytes;
        std::string checksum;  // md5_hex of bytes
        // The id find_stored gave for the checksum: 0 when the chunk was not
        // stored when asked (or nobody asked).
        std::int64_t stored_id = 0;
        // The bytes compressed; empty when the chunk is to be stored raw
        // (compression is off, or would not make it smaller) or is stored
        // already.
        std::span<const std::uint8_t> compressed;
    };

    // `input` is borrowed and must outlive the pipeline; reading starts at
    // offset 0 at once. `depth` chunks may wait between the two threads; by
    // default as many as 4 MiB of max_size buffers hold (8 to 64), so that
    // small chunks do not make the threads wait on each other at every one.
    // Throws tuv_error for settings that break the chunker's rules.
    chunk_pipeline(file_handle& input, const chunk_settings& settings,
                   pipeline_compression compression = {}, std::size_t depth = 0);
    // Stops the producer and waits for it.
    ~chunk_pipeline();
    chunk_pipeline(const chunk_pipeline&) = delete;
    chunk_pipeline& operator=(const chunk_pipeline&) = delete;

    // The next chunk, valid until the next call; nullptr after the file's
    // last chunk (which may be empty) was handed out. Rethrows the error
    // that stopped the producer (a read error of the file) and what
    // find_stored throws.
    const chunk* next();

  private:
    // What a cut chunk goes through; `hashing` and `compressing` while a
    // thread works on it, unlocked.
    enum class stage { cut, hashing, hashed, to_compress, compressing, ready };
    struct slot {
        std::uint8_t* buffer = nullptr;      // max_size bytes of storage_
        std::uint8_t* compressed = nullptr;  // max_size bytes of storage_, when compressing
        chunk data;
        bool last = false;
        stage state = stage::cut;
    };

    void produce(file_handle& input);
    // Hashes the oldest chunk nobody hashes yet, else compresses the oldest
    // chunk to compress that nobody compresses yet; false when there is
    // neither.
    bool help(std::unique_lock<std::mutex>& lock, chunk_compressor* compressor);
    // Whether a chunk cut may still become work for the producer.
    bool work_may_come() const;
    // These do the chunk of `s`, unlocking meanwhile.
    void hash(slot& s, std::unique_lock<std::mutex>& lock);
    void compress(slot& s, std::unique_lock<std::mutex>& lock, chunk_compressor& compressor);
    // Asks find_stored about every hashed chunk not handed out yet.
    void look_up_hashed(std::unique_lock<std::mutex>& lock);
    std::unique_ptr<chunk_compressor> make_compressor() const;
    // A thread that waits is woken once what it waits for is there: for
    // the consumer, a quarter of the slots filled (or the end, or its
    // chunk done); for the producer, a quarter of them free, or chunks to
    // compress. Waking costs a system call and a switch; batching them
    // keeps the threads from waiting on each other at every chunk.
    enum class waiting {
        nobody,
        consumer_for_chunks,
        consumer_for_its_chunk,
        producer_for_slots,
        producer_for_work
    };
    void wait(std::unique_lock<std::mutex>& lock, waiting what);
    void wake(waiting what);
    std::size_t batch() const { return std::max<std::size_t>(1, slots_.size() / 4); }
    slot& at(std::uint64_t index) { return slots_[index % slots_.size()]; }

    chunk_settings settings_;
    pipeline_compression compression_;
    std::unique_ptr<chunk_compressor> consumer_compressor_;
    // The slots' buffers, one allocation for all. Not zero-filled: only the
    // pages a chunk touches are ever faulted in, so a small file costs
    // little however large max_size is.
    std::unique_ptr<std::uint8_t[]> storage_;
    std::vector<slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t produced_ = 0;  // chunks cut so far
    std::uint64_t consumed_ = 0;  // chunks handed out and given back
    bool handed_out_ = false;     // slot of consumed_ is with the consumer
    bool ended_ = false;          // the last chunk was handed out and given back
    bool finished_ = false;       // the producer cut the last chunk or failed
    bool stop_ = false;
    // What each thread waits for; each writes only its own.
    waiting consumer_waits_ = waiting::nobody;
    waiting producer_waits_ = waiting::nobody;
    std::exception_ptr error_;
    std::thread producer_;
};

}  // namespace tuv
