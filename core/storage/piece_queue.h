// Decoding a version's pieces on two threads: the caller's and one helper.
// Decompressing and hashing a piece costs several times writing it, so
// while the caller writes one piece (or decodes one itself) the helper
// decodes the next. Pieces are handed over strictly in order, and a piece's
// error (a damaged block, a short container) reaches the caller, exactly as
// it was raised, when that piece's turn comes: the first fault in the
// version's order is the one reported, whichever thread found it. At most
// `in_flight` pieces are held at once, so memory does not grow with the
// file.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "core/storage/container_read.h"

namespace tuv {

// Blocks of a version that fill one piece, in the version's order: runs,
// each of blocks that lie end to end in one container (read with one read).
struct version_piece {
    struct run {
        file_handle* container;  // borrowed; read from either thread
        std::vector<stored_chunk> chunks;
    };
    std::vector<run> runs;
    std::size_t size = 0;  // the decoded bytes of all runs
};

class piece_queue {
  public:
    using sink_type = std::function<void(std::span<const std::uint8_t>)>;

    explicit piece_queue(std::size_t in_flight = 3);
    // Stops the helper once its current piece is done; pieces not handed
    // over are dropped.
    ~piece_queue();
    piece_queue(const piece_queue&) = delete;
    piece_queue& operator=(const piece_queue&) = delete;

    // Queues a piece; when `in_flight` are queued, first hands the oldest to
    // `sink`. The helper starts with the second piece: a version of one
    // piece never leaves the caller's thread.
    void push(version_piece piece, const sink_type& sink);
    // Hands every queued piece to `sink`, in order.
    void finish(const sink_type& sink);

  private:
    enum class state { queued, taken, done };
    // Room for a piece's bytes, left uninitialised: every byte is decoded
    // into it before it is handed over; and for its compressed bytes.
    struct buffer {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t capacity = 0;
        std::vector<std::uint8_t> scratch;
    };
    // Buffers kept from one version to the next by the calling thread:
    // memory never touched costs a page fault per page, which costs more
    // than decoding into it. Taken and given back on the caller's thread.
    static buffer take_buffer();
    static void give_back(buffer room);
    static std::vector<buffer>& spare();
    struct job {
        version_piece piece;
        buffer room;
        std::exception_ptr error;
        state at = state::queued;
    };

    // Hands the oldest piece over, decoding queued ones meanwhile.
    void complete_front(const sink_type& sink);
    // Decodes `work` outside the lock and marks it done.
    void decode(job& work, std::unique_lock<std::mutex>& lock);
    void help();

    std::size_t in_flight_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<job> jobs_;  // in the version's order; references stay valid
    bool stopping_ = false;
    // Once a piece's error is thrown, nothing after it is handed over.
    bool failed_ = false;
    std::thread helper_;
};

}  // namespace tuv
