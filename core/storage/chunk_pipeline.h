// Cuts a file into chunks and computes their checksums (and, when the vault
// compresses, their compressed form) on a thread of its own, handing the
// chunks over in file order, so that the check-in's database work overlaps
// with reading, chunking, hashing and compressing. Chunks are hashed several
// at a time (md5_many.h). Hashing and compressing, the costliest steps, are
// shared: the consumer does the waiting chunks itself when it reaches one
// the producer has not done yet.
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

class chunk_pipeline {
  public:
    struct chunk {
        std::uint64_t offset;
        std::span<const std::uint8_t> bytes;
        std::string checksum;  // md5_hex of bytes
        // The bytes compressed; empty when the chunk is to be stored raw
        // (compression is off, or would not make it smaller).
        std::span<const std::uint8_t> compressed;
    };

    // `input` is borrowed and must outlive the pipeline; reading starts at
    // offset 0 at once. `depth` chunks may wait between the two threads; by
    // default as many as 4 MiB of max_size buffers hold, but at least 32 (so
    // that chunks are hashed 16 at a time, the lanes of AVX-512) and at most
    // 64, so that small chunks do not make the threads wait on each other at
    // every one.
    // Chunks are compressed at zstd `compression_level`, or not at all
    // when it is 0. Throws tuv_error for settings that break the chunker's
    // rules.
    // A file small enough that all its chunks fit in the `depth` slots is
    // cut, hashed and compressed here, on the calling thread, without a
    // thread of the pipeline's own, and read no further than the size it
    // has now.
    chunk_pipeline(file_handle& input, const chunk_settings& settings,
                   int compression_level = 0, std::size_t depth = 0);
    // Stops the producer and waits for it.
    ~chunk_pipeline();
    chunk_pipeline(const chunk_pipeline&) = delete;
    chunk_pipeline& operator=(const chunk_pipeline&) = delete;

    // The next chunk, valid until the next call; nullptr after the file's
    // last chunk (which may be empty) was handed out. Rethrows the error
    // that stopped the producer (a read error of the file).
    const chunk* next();

  private:
    enum class hash_state { pending, hashing, done };
    struct slot {
        std::uint8_t* buffer = nullptr;      // max_size bytes of storage_
        std::uint8_t* compressed = nullptr;  // max_size bytes of storage_, when compressing
        chunk data;
        bool last = false;
        hash_state state = hash_state::pending;
    };

    void produce(file_handle& input);
    // Hashes (and compresses with `compressor`, when there is one) the
    // oldest chunks nobody hashes yet, up to hash_batch_ of them together
    // (md5_many.h), unlocking meanwhile; false when there were none.
    bool hash_pending(std::unique_lock<std::mutex>& lock, chunk_compressor* compressor);
    std::unique_ptr<chunk_compressor> make_compressor() const;
    // A thread that waits is woken once what it waits for is there: for
    // the consumer, a quarter of the slots filled (or the end, or its
    // chunk's checksum); for the producer, a quarter of them free. Waking
    // costs a system call and a switch; batching them keeps the threads
    // from waiting on each other at every chunk.
    enum class waiting { nobody, consumer_for_chunks, consumer_for_hash, producer_for_slots };
    void wait(std::unique_lock<std::mutex>& lock, waiting what);
    void wake(waiting what);
    std::size_t batch() const { return std::max<std::size_t>(1, slots_.size() / 4); }

    chunk_settings settings_;
    int compression_level_;
    std::unique_ptr<chunk_compressor> consumer_compressor_;
    // The slots' buffers, one allocation for all. Not zero-filled: only the
    // pages a chunk touches are ever faulted in, so a small file costs
    // little however large max_size is.
    std::unique_ptr<std::uint8_t[]> storage_;
    std::vector<slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // The producer hashes once this many chunks wait, so that the lanes of
    // md5_many are filled; the consumer hashes what waits when it must.
    std::size_t hash_batch_;
    std::size_t pending_ = 0;     // chunks in hash_state::pending
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
