// Check-ins of many files with one transaction and one sync per group of
// files, so that small files do not each pay for a sync of the containers
// and a commit (two waits for the disk). A file is reported only once its
// group is committed, so whatever was reported survives a crash;
// docs/storage.md gives the order of the writes.
//
// A file that fails before it writes anything (it cannot be opened, or is
// refused) leaves the group as it is. One that fails later takes the
// group's transaction with it, as SQLite may end it by itself anyway (a
// full disk, an I/O error): the files before it in the group are then
// checked in again as a group of their own, so none fails for its sake.
// Should the group's sync or commit fail, each of its files is checked in
// again alone, in a transaction and a sync of its own.
//
// While one file's rows are written, the next ones (up to 16 files) are
// already checked and opened, and the small ones among them (up to 1 MiB)
// read, cut, hashed and compressed, on a thread of the group's own: add()
// hands the file it is given to that thread and checks in the oldest of
// those given before once they are too many. So a file is opened and read
// at any time until it is reported, and the progress observer given with a
// file must stay alive until that file is reported.
//
// Each file goes through the steps of a check-in (core/vault/checkin.h).
// Borrows the repository, which must outlive the group. Use from one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/vault/checkin.h"

namespace tuv {

class block_writer;
class chunk_pipeline;
class db;
class file_handle;
class progress_observer;
class repository;
class write_transaction;

class checkin_group {
  public:
    // A group is committed once it holds this many files, or this many bytes
    // of them, or its first file began this long ago, whichever comes first
    // (checked after each file). The time bounds how long a file waits to be
    // reported.
    struct limits {
        std::uint64_t bytes = 8 << 20;
        std::size_t files = 1024;
        std::chrono::milliseconds time{200};
    };

    // What became of one file.
    struct outcome {
        std::filesystem::path source;
        checkin_result result;     // when committed
        std::exception_ptr error;  // when not: what the check-in raised
        // The file's own check-in and the sync and commit of its group.
        std::chrono::duration<double> time{};
    };
    // Called once per file, in the order they were added, once the file's
    // group is committed or the file has failed.
    using report_fn = std::function<void(const outcome&)>;

    checkin_group(repository& repo, report_fn report, limits bounds);
    explicit checkin_group(repository& repo, report_fn report)
        : checkin_group(repo, std::move(report), limits{}) {}
    // Rolls back the files not committed yet, unreported: a caller that
    // leaves without commit() has not reported them either.
    ~checkin_group();
    checkin_group(const checkin_group&) = delete;
    checkin_group& operator=(const checkin_group&) = delete;

    // Checks the file in (core/vault/checkin.h) into the open group
    // (beginning one when none is open), once enough files are added after
    // it or commit() is called; commits the group when it is full. `observer`
    // (may be null) hears the file's progress, and of waits for the
    // database while the file is written and while its group commits.
    // Failures of the file are reported, not thrown.
    void add(checkin_request request, progress_observer* observer = nullptr);
    // The same, dated by `when` ("now" or "YYYY-MM-DD HH:MM:SS"); a date
    // that cannot be read is the file's failure.
    void add(const std::filesystem::path& source, const std::string& directory,
             const std::string& when, const std::string& mime_type, const std::string& description,
             progress_observer* observer = nullptr);

    // Checks in the files added and not checked in yet, commits the open
    // group, if any, and reports its files.
    void commit();

  private:
    struct member {
        checkin_request asked;
        outcome done;
        progress_observer* observer = nullptr;
        // Once collected from reader_, until the file's check-in: the
        // source, open, and for a small file its chunks, already on their
        // way.
        std::unique_ptr<file_handle> input;
        std::unique_ptr<chunk_pipeline> chunks;
        bool reading = false;  // handed to reader_ and not collected yet
    };
    class read_ahead;
    using clock = std::chrono::steady_clock;

    // A second connection to the database for the thread that reads ahead,
    // or null when it would not be used or cannot be opened.
    std::unique_ptr<db> lookup_connection();
    // Adds the member to those read ahead (handing it to reader_ unless it
    // failed already), and checks in the oldest of them while they are too
    // many.
    void enter(member m);
    void take_oldest();
    // Takes the member's source and pipeline from reader_ when it was handed
    // there; a failure goes to done.error.
    void collect(member& m);
    // Checks the member in and adds it to the open group; commits the group
    // when it is full.
    void take(member m);
    void begin();
    // Checks the member in inside the open transaction (beginning one when
    // none is open); a failure goes to done.error. False when the failure
    // came after the file began writing, so the transaction may hold some
    // of its rows.
    bool check_in(member& m);
    // Commits the open group, if any, and reports its files.
    void commit_group();
    // Rolls back the open transaction, if any, and gives back the
    // container space written for it.
    void abandon() noexcept;
    // Checks in again the members before `end` that had gone in and were
    // rolled back, as groups within `bounds`, and takes their new outcomes.
    void check_in_again(std::size_t end, limits bounds);
    void report_all();

    repository& repo_;
    tuv::checkin checkin_;
    report_fn report_;
    limits limits_;
    std::unique_ptr<write_transaction> transaction_;
    std::unique_ptr<block_writer> writer_;
    known_directories known_;             // in the open transaction
    std::vector<member> members_;         // the open group's files, in order
    std::deque<member> ahead_;            // added, not checked in yet, oldest first
    std::unique_ptr<read_ahead> reader_;  // made at the first file
    std::uint64_t bytes_ = 0;
    clock::time_point started_;
    // The last date given as text and its moment: a run dates its files
    // alike, and reading a date looks the time zone up again each time.
    std::string last_when_;
    std::optional<checkin_moment> last_moment_;
};

}  // namespace tuv
