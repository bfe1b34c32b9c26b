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
// While one file's rows are written, the next one, when it is small, is
// already read, cut, hashed and compressed on a thread of the group's own:
// add() opens the file it is given and checks in the one given before. So
// a file is read at any time until it is reported, and a progress observer
// set on the repository when a file is added (it reports that file's
// progress) must stay alive until that file is reported.
//
// Borrows the repository, which must outlive the group. Use from one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/vault/checkin.h"
#include "core/vault/repository.h"

namespace tuv {

class block_writer;
class chunk_pipeline;
class file_handle;
class progress_observer;
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
        std::exception_ptr error;  // when not: what repository::checkin_file raises
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

    // Checks `source` in as repository::checkin_file does, into the open
    // group (beginning one when none is open), once the next file is added
    // or commit() is called; commits the group when it is full. Failures of
    // the file are reported, not thrown.
    void add(const std::filesystem::path& source, const std::string& directory,
             const std::string& when, const std::string& mime_type, const std::string& description);

    // Checks in the file added last, commits the open group, if any, and
    // reports its files.
    void commit();

  private:
    struct request {
        std::filesystem::path source;
        std::string directory;
        std::string when;
        std::string mime_type;
        std::string description;
    };
    struct member {
        request asked;
        outcome done;
        progress_observer* observer = nullptr;  // the repository's when it was added
        // From add() to the file's check-in: the source, open, and for a
        // small file its chunks, already on their way.
        std::unique_ptr<file_handle> input;
        std::unique_ptr<chunk_pipeline> chunks;
        bool reading = false;  // its pipeline is being set up by reader_
    };
    class read_ahead;
    using clock = std::chrono::steady_clock;

    // Opens the member's source; a failure goes to done.error.
    void prepare(member& m);
    // Takes the member's pipeline from reader_ when it is being set up
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
    report_fn report_;
    limits limits_;
    std::unique_ptr<write_transaction> transaction_;
    std::unique_ptr<block_writer> writer_;
    known_directories known_;                   // in the open transaction
    std::optional<repository::own_files> own_;  // taken at the first file
    std::vector<member> members_;               // the open group's files, in order
    std::optional<member> ahead_;               // added last, not checked in yet
    std::unique_ptr<read_ahead> reader_;        // made at the second file
    std::uint64_t bytes_ = 0;
    clock::time_point started_;
};

}  // namespace tuv
