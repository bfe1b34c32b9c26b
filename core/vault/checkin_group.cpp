#include "core/vault/checkin_group.h"

#include <cassert>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "core/db/db.h"
#include "core/db/write_transaction.h"
#include "core/storage/block_writer.h"
#include "core/storage/chunk_pipeline.h"
#include "core/storage/file_io.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// Files are opened ahead of the one being written while they are at most
// this many, and read while their sizes add up to at most this many bytes;
// a larger file is only opened (its pipeline has threads of its own).
constexpr std::size_t read_ahead_files = 16;
constexpr std::uint64_t read_ahead_bytes = 1 << 20;

}  // namespace

// A thread of the group's own that opens the files given (checking each
// source first) and sets up the chunk pipelines of the small ones (a small
// file's pipeline cuts, hashes and compresses it at once) while the
// caller's thread writes the rows of the files before them. It only reads
// the files: the catalogue and the database's writes stay with the caller's
// thread. Files are taken in the order they were started, and collected in
// that order.
class checkin_group::read_ahead {
  public:
    struct opened {
        std::unique_ptr<file_handle> input;
        std::unique_ptr<chunk_pipeline> chunks;  // null for a large file
    };

    // `steps` must have learnt its own files. `lookups`, a connection of
    // the thread's own (or null), tells which of a file's chunks are stored
    // already, so that they are not compressed.
    read_ahead(checkin& steps, std::unique_ptr<db> lookups)
        : steps_(steps), lookups_(std::move(lookups)), thread_([this] { run(); }) {}
    ~read_ahead() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    read_ahead(const read_ahead&) = delete;
    read_ahead& operator=(const read_ahead&) = delete;

    void start(std::filesystem::path source) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(job{std::move(source), {}, 0, nullptr, false});
        ++waiting_;
        changed_.notify_all();
    }
    // Waits for the oldest file not collected yet; rethrows what opening it
    // or setting up its pipeline threw.
    opened collect() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return jobs_.front().done; });
        job taken = std::move(jobs_.front());
        jobs_.pop_front();
        if (taken.held > 0) {
            held_ -= taken.held;
            changed_.notify_all();  // the thread may wait for room
        }
        if (taken.error) std::rethrow_exception(taken.error);
        return std::move(taken.result);
    }

  private:
    struct job {
        std::filesystem::path source;
        opened result;
        std::uint64_t held;  // its size, when it was read ahead
        std::exception_ptr error;
        bool done;
    };

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || waiting_ > 0; });
            if (stop_) return;
            // The deque keeps this job where it is while others come and go.
            job& next = jobs_[jobs_.size() - waiting_];
            lock.unlock();
            opened result;
            std::uint64_t size = 0;
            std::exception_ptr error;
            try {
                result.input = steps_.open_source(next.source);
                size = result.input->size();
            } catch (...) {
                error = std::current_exception();
            }
            const bool small = result.input && size <= read_ahead_bytes;
            lock.lock();
            if (small) {
                // Those before it are collected in time, so room comes.
                changed_.wait(
                    lock, [&] { return stop_ || held_ == 0 || held_ + size <= read_ahead_bytes; });
                if (stop_) return;
                held_ += size;
                lock.unlock();
                try {
                    result.chunks =
                        steps_.start_chunks(*result.input, lookups_.get(), read_ahead_bytes);
                } catch (...) {
                    error = std::current_exception();
                }
                lock.lock();
            }
            next.result = std::move(result);
            next.held = small ? size : 0;
            next.error = error;
            next.done = true;
            --waiting_;
            changed_.notify_all();
        }
    }

    checkin& steps_;
    std::unique_ptr<db> lookups_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<job> jobs_;     // started and not collected, oldest first
    std::size_t waiting_ = 0;  // the last ones of jobs_, not taken up yet
    std::uint64_t held_ = 0;   // the sizes of the files read and not collected
    bool stop_ = false;
    std::thread thread_;
};

checkin_group::checkin_group(repository& repo, report_fn report, limits bounds)
    : repo_(repo),
      checkin_(repo.catalogue(), repo.journal(), repo.storage(), repo.chunks(),
               repo.path_separator()),
      report_(std::move(report)),
      limits_(bounds) {}

checkin_group::~checkin_group() {
    reader_.reset();  // before the file it may still be reading closes
    abandon();
}

void checkin_group::add(const std::filesystem::path& source, const std::string& directory,
                        const std::string& when, const std::string& mime_type,
                        const std::string& description, progress_observer* observer) {
    checkin_request request{source, directory, {}, mime_type, description};
    try {
        if (last_moment_ && when == last_when_) {
            request.when = *last_moment_;
        } else {
            request.when = checkin_moment::parse(when);
            // "now" is read again for every file.
            if (!request.when.now) {
                last_when_ = when;
                last_moment_ = request.when;
            }
        }
    } catch (...) {
        // Refused before anything of it is read.
        member m;
        m.asked = std::move(request);
        m.done.source = source;
        m.done.error = std::current_exception();
        enter(std::move(m));
        return;
    }
    add(std::move(request), observer);
}

void checkin_group::add(checkin_request request, progress_observer* observer) {
    member m;
    m.asked = std::move(request);
    m.done.source = m.asked.source;
    m.observer = observer;
    enter(std::move(m));
}

void checkin_group::enter(member m) {
    // Files are opened, and small ones read, cut, hashed and compressed, a
    // few files ahead of the one being written, on the reader's thread, so
    // that neither thread waits for the other at every file.
    if (!m.done.error) {
        if (!reader_) {
            checkin_.learn_own_files();
            reader_ = std::make_unique<read_ahead>(checkin_, lookup_connection());
        }
        reader_->start(m.asked.source);
        m.reading = true;
    }
    ahead_.push_back(std::move(m));
    while (ahead_.size() > read_ahead_files) take_oldest();
}

void checkin_group::take_oldest() {
    member oldest = std::move(ahead_.front());
    ahead_.pop_front();
    collect(oldest);
    take(std::move(oldest));
}

std::unique_ptr<db> checkin_group::lookup_connection() {
    if (repo_.storage().compression_level == 0) return nullptr;
    try {
        return repo_.database().clone();
    } catch (const db_exception&) {
        return nullptr;  // the files are compressed whole instead
    }
}

void checkin_group::commit() {
    while (!ahead_.empty()) take_oldest();
    commit_group();
}

void checkin_group::collect(member& m) {
    if (!m.reading) return;
    m.reading = false;
    const auto start = clock::now();
    try {
        read_ahead::opened got = reader_->collect();
        m.input = std::move(got.input);
        m.chunks = std::move(got.chunks);
    } catch (...) {
        m.done.error = std::current_exception();  // nothing of it was written
    }
    m.done.time += clock::now() - start;
}

void checkin_group::take(member m) {
    const auto start = clock::now();
    members_.push_back(std::move(m));
    member& x = members_.back();
    const bool clean = check_in(x);
    x.done.time += clock::now() - start;
    if (!clean) {
        abandon();
        check_in_again(members_.size() - 1, limits_);
        report_all();
        return;
    }
    if (!x.done.error) bytes_ += x.done.result.size;
    if (members_.size() >= limits_.files || bytes_ >= limits_.bytes ||
        clock::now() - started_ >= limits_.time) {
        commit_group();
    }
}

void checkin_group::begin() {
    transaction_ = std::make_unique<write_transaction>(repo_.database());
    writer_ = std::make_unique<block_writer>(repo_.storage());
    known_.clear();
    bytes_ = 0;
    started_ = clock::now();
}

bool checkin_group::check_in(member& m) {
    if (m.done.error) return true;
    bool clean = true;
    // The file's observer hears of the wait for the write lock too, and may
    // end it.
    repo_.database().set_busy_observer(m.observer);
    try {
        if (!transaction_) begin();
        if (!m.chunks) m.chunks = checkin_.start_chunks(*m.input);
        m.done.result = checkin_.write(*m.input, *m.chunks, m.asked, *writer_, known_, m.observer);
    } catch (...) {
        m.done.error = std::current_exception();
        // A transaction that did not begin holds nothing of the file.
        clean = transaction_ == nullptr;
    }
    repo_.database().set_busy_observer(nullptr);
    m.chunks.reset();
    m.input.reset();
    return clean;
}

void checkin_group::commit_group() {
    if (!transaction_) {
        report_all();
        return;
    }
    const auto start = clock::now();
    std::exception_ptr error;
    // The file added last hears of a wait for the database, and may end it.
    repo_.database().set_busy_observer(members_.empty() ? nullptr : members_.back().observer);
    try {
        // Invariant: no committed row refers to container bytes that were not synced.
        writer_->sync_containers();
        assert(writer_->synced());
        transaction_->commit();
    } catch (...) {
        error = std::current_exception();
    }
    repo_.database().set_busy_observer(nullptr);
    const auto took = clock::now() - start;
    if (!error) {
        transaction_.reset();
        writer_.reset();
        for (member& m : members_) {
            if (!m.done.error) m.done.time += took;
        }
        report_all();
        return;
    }
    abandon();
    std::size_t went_in = 0;
    for (const member& m : members_) went_in += m.done.error ? 0 : 1;
    if (went_in > 1) {
        // The sync is not tried again: each file is read and its bytes are
        // written anew, then synced on their own.
        check_in_again(members_.size(), limits{0, 1, {}});
    } else {
        for (member& m : members_) {
            if (!m.done.error) m.done.error = error;
        }
    }
    report_all();
}

void checkin_group::abandon() noexcept {
    transaction_.reset();  // rolls back
    if (writer_) writer_->give_back_uncommitted_space();
    writer_.reset();
    known_.clear();
}

void checkin_group::check_in_again(std::size_t end, limits bounds) {
    std::vector<member*> again;
    for (std::size_t i = 0; i < end; ++i) {
        if (!members_[i].done.error) again.push_back(&members_[i]);
    }
    if (again.empty()) return;
    // Their progress was shown; the observers follow the files being added.
    std::size_t next = 0;
    checkin_group group(
        repo_, [&](const outcome& o) { again[next++]->done = o; }, bounds);
    for (const member* m : again) group.add(m->asked);
    group.commit();
}

void checkin_group::report_all() {
    std::vector<member> done;
    done.swap(members_);
    for (const member& m : done) report_(m.done);
}

}  // namespace tuv
