// The check-ins of one run of the check-in program: every selected file in
// turn, into one directory, with one date and one description.
//
// Each file is its own transaction. A file that fails is reported and the
// next one goes in, except after a database error, which ends the run (the
// database is then in no state to take more). A cancelled run rolls back the
// file being checked in and starts no other; the files already done stay.
// While another program holds the vault's database, a file waits for it
// (db_sqlite.h says how long), and Cancel ends the wait too; a run that
// gave up waiting can be run again for the files it left.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/vault/checkin.h"

namespace tuv {
class repository;
}

namespace tuv::checkin_app {

enum class file_status { checked_in, failed, cancelled, not_started };

struct file_outcome {
    std::filesystem::path file;
    file_status status = file_status::not_started;
    std::string message;          // why it failed
    bool database_error = false;  // it failed on the database
    bool busy = false;            // ... held by another program for the whole wait
    checkin_result result;        // what was stored, when checked in
};

struct batch_request {
    std::vector<std::filesystem::path> files;  // in the order they go in
    std::string directory;                     // a full vault path
    std::string date_text;                     // "YYYY-MM-DD HH:MM:SS" or "now"
    std::string description;                   // stored as given
};

class checkin_batch {
  public:
    // Told the file's index in the request and its percentage so far, and
    // whether it is waiting for another program that holds the database.
    using progress_fn = std::function<void(std::size_t file, int percent, bool waiting)>;

    // Borrows the repository, which no other thread may use during run().
    checkin_batch(repository& repo, batch_request request);

    // Checks the files in, one outcome per file in request order. Run again,
    // it checks in only the files that the wait gave up on or that were not
    // started; the other outcomes stay as they were.
    std::vector<file_outcome> run(const progress_fn& progress);

    // Asks run() to stop as soon as it can. Any thread may call it.
    void cancel() noexcept { cancelled_ = true; }
    bool cancelled() const noexcept { return cancelled_; }

  private:
    file_outcome check_in(std::size_t index, const progress_fn& progress);

    repository& repo_;
    batch_request request_;
    std::vector<file_outcome> outcomes_;  // in request order
    std::atomic<bool> cancelled_{false};
};

// True when the person must be told how each file went: one failed or the
// run was cancelled.
bool needs_summary(const std::vector<file_outcome>& outcomes);

// True when the run stopped because another program held the database for
// the whole wait: running it again may check in the rest.
bool gave_up_waiting(const std::vector<file_outcome>& outcomes);

// What the summary says first: whether the run was cancelled (`cancelled`)
// or not every file went in, then how many files went which way.
std::string summary_heading(const std::vector<file_outcome>& outcomes, bool cancelled);

// One line per file, in the order they were taken.
std::string summary_lines(const std::vector<file_outcome>& outcomes);

}  // namespace tuv::checkin_app
