#include "core/vault/checkin_group.h"

#include <cassert>
#include <condition_variable>
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

// A file up to this size is read ahead while the file before it is written:
// the most its chunks can take is a few buffers.
constexpr std::uint64_t read_ahead_limit = 1 << 20;

}  // namespace

// A thread of the group's own that sets up the chunk pipeline of the file
// read ahead (a small file's pipeline cuts, hashes and compresses it at
// once) while the caller's thread writes the rows of the file before it.
// It only reads the file: the catalogue and the database's writes stay with
// the caller's thread. One file at a time.
class checkin_group::read_ahead {
  public:
    explicit read_ahead(const checkin& steps) : steps_(steps), thread_([this] { run(); }) {}
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

    // Starts on `input`, which must stay open until collect().
    void start(file_handle& input) {
        std::lock_guard lock(mutex_);
        input_ = &input;
        changed_.notify_all();
    }
    // Waits for the pipeline started last; rethrows what setting it up threw.
    std::unique_ptr<chunk_pipeline> collect() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return input_ == nullptr; });
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        return std::move(chunks_);
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || input_ != nullptr; });
            if (stop_) return;
            lock.unlock();
            std::unique_ptr<chunk_pipeline> chunks;
            std::exception_ptr error;
            try {
                chunks = steps_.start_chunks(*input_);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            chunks_ = std::move(chunks);
            error_ = error;
            input_ = nullptr;
            changed_.notify_all();
        }
    }

    const checkin& steps_;
    std::mutex mutex_;
    std::condition_variable changed_;
    file_handle* input_ = nullptr;  // the file being set up, until it is done
    std::unique_ptr<chunk_pipeline> chunks_;
    std::exception_ptr error_;
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
        request.when = checkin_moment::parse(when);
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
    const auto start = clock::now();
    member m;
    m.asked = std::move(request);
    m.done.source = m.asked.source;
    m.observer = observer;
    prepare(m);
    m.done.time = clock::now() - start;
    enter(std::move(m));
}

void checkin_group::enter(member m) {
    std::optional<member> previous = std::move(ahead_);
    ahead_ = std::move(m);
    if (!previous) return;
    // From the second file on, each small one is read while the one before
    // it is written.
    collect(*previous);
    if (ahead_->input && ahead_->input->size() <= read_ahead_limit) {
        if (!reader_) reader_ = std::make_unique<read_ahead>(checkin_);
        reader_->start(*ahead_->input);
        ahead_->reading = true;
    }
    take(std::move(*previous));
}

void checkin_group::commit() {
    if (ahead_) {
        member last = std::move(*ahead_);
        ahead_.reset();
        collect(last);
        take(std::move(last));
    }
    commit_group();
}

void checkin_group::prepare(member& m) {
    if (m.done.error) return;
    try {
        m.input = checkin_.open_source(m.asked.source);
    } catch (...) {
        // Nothing of it will be written.
        m.done.error = std::current_exception();
    }
}

void checkin_group::collect(member& m) {
    if (!m.reading) return;
    m.reading = false;
    try {
        m.chunks = reader_->collect();
    } catch (...) {
        m.done.error = std::current_exception();  // nothing of it was written
        m.input.reset();
    }
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
