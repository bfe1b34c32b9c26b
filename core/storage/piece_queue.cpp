#include "core/storage/piece_queue.h"

#include <algorithm>

#include "core/storage/per_thread.h"

namespace tuv {
namespace {

// As many as pieces in flight: a few MiB.
constexpr std::size_t max_spare = 4;

}  // namespace

std::vector<piece_queue::buffer>& piece_queue::spare() {
    // The caller's thread takes and gives back every buffer, so each
    // reading thread keeps its own few, as it keeps its zstd contexts.
    static per_thread<std::vector<buffer>> buffers;
    return buffers.get();
}

piece_queue::buffer piece_queue::take_buffer() {
    std::vector<buffer>& buffers = spare();
    if (buffers.empty()) return {};
    buffer room = std::move(buffers.back());
    buffers.pop_back();
    return room;
}

void piece_queue::give_back(buffer room) {
    std::vector<buffer>& buffers = spare();
    if (buffers.size() < max_spare) buffers.push_back(std::move(room));
}

piece_queue::piece_queue(std::size_t in_flight) : in_flight_(std::max<std::size_t>(in_flight, 2)) {}

piece_queue::~piece_queue() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (helper_.joinable()) helper_.join();
}

void piece_queue::push(version_piece piece, const sink_type& sink) {
    if (failed_ || piece.runs.empty()) return;
    std::unique_lock lock(mutex_);
    while (jobs_.size() >= in_flight_) {
        lock.unlock();
        complete_front(sink);
        if (failed_) return;
        lock.lock();
    }
    job& added = jobs_.emplace_back();
    added.piece = std::move(piece);
    added.room = take_buffer();
    const bool start_helper = jobs_.size() > 1 && !helper_.joinable();
    lock.unlock();
    changed_.notify_all();
    // Made only for a version of more than one piece: a thread for each of
    // thousands of small files would cost more than it saves.
    if (start_helper) helper_ = std::thread([this] { help(); });
}

void piece_queue::finish(const sink_type& sink) {
    while (!failed_) {
        {
            const std::lock_guard lock(mutex_);
            if (jobs_.empty()) return;
        }
        complete_front(sink);
    }
}

void piece_queue::complete_front(const sink_type& sink) {
    std::unique_lock lock(mutex_);
    job& front = jobs_.front();
    while (front.at != state::done) {
        // The caller decodes what the helper has not taken rather than wait.
        const auto queued = std::find_if(jobs_.begin(), jobs_.end(),
                                         [](const job& j) { return j.at == state::queued; });
        if (queued != jobs_.end()) {
            decode(*queued, lock);
        } else {
            changed_.wait(lock);
        }
    }
    job done = std::move(front);
    jobs_.pop_front();
    lock.unlock();
    if (done.error) {
        failed_ = true;
        std::rethrow_exception(done.error);
    }
    try {
        if (done.piece.size > 0) {
            sink(std::span<const std::uint8_t>(done.room.bytes.get(), done.piece.size));
        }
    } catch (...) {
        failed_ = true;
        throw;
    }
    give_back(std::move(done.room));
}

void piece_queue::decode(job& work, std::unique_lock<std::mutex>& lock) {
    work.at = state::taken;
    lock.unlock();
    try {
        if (work.room.capacity < work.piece.size) {
            work.room.bytes.reset();
            work.room.bytes.reset(new std::uint8_t[work.piece.size]);
            work.room.capacity = work.piece.size;
        }
        std::vector<stored_run> runs;
        runs.reserve(work.piece.runs.size());
        for (const version_piece::run& run : work.piece.runs) {
            runs.push_back({run.container, run.chunks});
        }
        read_stored_runs(runs, work.room.bytes.get(), work.room.scratch);
    } catch (...) {
        work.error = std::current_exception();
    }
    lock.lock();
    work.at = state::done;
    changed_.notify_all();
}

void piece_queue::help() {
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto queued = std::find_if(jobs_.begin(), jobs_.end(),
                                         [](const job& j) { return j.at == state::queued; });
        if (stopping_) return;
        if (queued != jobs_.end()) {
            decode(*queued, lock);
        } else {
            changed_.wait(lock);
        }
    }
}

}  // namespace tuv
