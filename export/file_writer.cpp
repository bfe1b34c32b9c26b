#include "export/file_writer.h"

#include <algorithm>
#include <span>

#include "core/vault/checkout.h"

namespace tuv {
namespace {

// How many versions wait undecoded before the caller decodes one itself.
constexpr std::ptrdiff_t behind = 8;

}  // namespace

file_writer::file_writer(file_system& files, std::size_t budget)
    : files_(files), budget_(budget), worker_([this] { work(); }) {}

file_writer::~file_writer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void file_writer::add(std::filesystem::path target, std::filesystem::path destination,
                      std::vector<std::uint8_t> bytes, std::exception_ptr failure) {
    const std::size_t size = bytes.size();
    queue({std::move(target), std::move(destination), std::move(bytes), std::move(failure), size,
           nullptr});
}

void file_writer::add(std::filesystem::path target, std::filesystem::path destination,
                      std::size_t size, reader read) {
    queue({std::move(target), std::move(destination), {}, nullptr, size, std::move(read)});
}

void file_writer::queue(job added) {
    std::unique_lock lock(mutex_);
    // One file larger than the budget still goes, alone.
    changed_.wait(lock, [&] { return waiting_.empty() || waiting_bytes_ + added.size <= budget_; });
    waiting_bytes_ += added.size;
    waiting_.push_back(std::move(added));
    lock.unlock();
    changed_.notify_all();
    lock.lock();
    // The writer is far behind: decode the newest, furthest from its turn.
    // Not sooner, as the caller has statements and checks of its own to run
    // (on /usr/include's files, helping from two waiting took 1.17 times as
    // long as from eight). A deque's elements stay in place while others are
    // added and taken.
    const auto unread = [](const job& j) { return j.read && !j.reading; };
    if (std::count_if(waiting_.begin(), waiting_.end(), unread) >= behind) {
        read(*std::find_if(waiting_.rbegin(), waiting_.rend(), unread), lock);
    }
}

void file_writer::read(job& work, std::unique_lock<std::mutex>& lock) {
    work.reading = true;
    const reader read = std::move(work.read);
    lock.unlock();
    std::vector<std::uint8_t> bytes;
    std::exception_ptr failure;
    try {
        read(bytes);
    } catch (...) {
        failure = std::current_exception();
        bytes.clear();
    }
    lock.lock();
    work.bytes = std::move(bytes);
    work.failure = failure;
    work.read = nullptr;
    work.reading = false;
    changed_.notify_all();
}

void file_writer::settle(const std::function<void(const std::exception_ptr&)>& report) {
    std::vector<std::exception_ptr> failures;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_.empty() && !busy_; });
        failures.swap(failures_);
    }
    for (const std::exception_ptr& failure : failures) report(failure);
}

void file_writer::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // A file the caller is decoding waits for it at the front.
        changed_.wait(lock, [&] {
            return (stopping_ && waiting_.empty()) ||
                   (!waiting_.empty() && !waiting_.front().reading);
        });
        if (waiting_.empty()) return;
        job next = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        if (next.read) read(next, lock);
        lock.unlock();
        std::exception_ptr failure;
        try {
            replacement_file out(files_, next.target, next.destination);
            if (next.failure) std::rethrow_exception(next.failure);
            if (!next.bytes.empty()) out.write(std::span<const std::uint8_t>(next.bytes));
            out.commit(checkout_sync::unsynced);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::size_t size = next.size;
        next = {};
        lock.lock();
        waiting_bytes_ -= size;
        busy_ = false;
        if (failure) failures_.push_back(failure);
        changed_.notify_all();
    }
}

}  // namespace tuv
