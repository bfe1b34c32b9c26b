#include "checkin/checkin_batch.h"

#include <algorithm>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"

namespace tuv::checkin_app {
namespace {

// Thrown from the progress observer, inside the check-in's transaction, so
// that the file being checked in rolls back like any other failure.
struct cancelled_error {};

class batch_observer : public progress_observer {
  public:
    batch_observer(std::size_t file, const checkin_batch::progress_fn& progress,
                   const std::atomic<bool>& cancelled)
        : file_(file), progress_(progress), cancelled_(cancelled) {}

    void update(int percent) override {
        if (cancelled_) throw cancelled_error{};
        if (percent != last_) tell(percent);
    }

    // Between the slices of a wait for the database, so that Cancel ends
    // the wait within one.
    void still_busy() override {
        if (cancelled_) throw cancelled_error{};
        if (waiting_) return;
        waiting_ = true;
        tell(last_);
    }

    void no_longer_busy() override {
        waiting_ = false;
        tell(last_);
    }

  private:
    void tell(int percent) {
        last_ = percent;
        if (progress_) progress_(file_, std::max(percent, 0), waiting_);
    }

    std::size_t file_;
    const checkin_batch::progress_fn& progress_;
    const std::atomic<bool>& cancelled_;
    int last_ = -1;
    bool waiting_ = false;
};

file_outcome untried(const std::filesystem::path& file) {
    file_outcome outcome;
    outcome.file = file;
    return outcome;
}

// Whether a run checks the file in: it has not been tried, or the wait for
// the database gave up on it.
bool left_to_check_in(const file_outcome& outcome) {
    return outcome.status == file_status::not_started || outcome.busy;
}

// Says why a path cannot be checked in before the engine is asked, in the
// person's terms; empty when it can be tried.
std::string refusal(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
        return "Cannot check in " + utf8_of(file) + ": it does not exist";
    }
    if (std::filesystem::is_directory(status)) {
        return "Cannot check in " + utf8_of(file) +
               ": it is a folder, and only files can be "
               "checked in";
    }
    return {};
}

}  // namespace

checkin_batch::checkin_batch(repository& repo, batch_request request)
    : repo_(repo), request_(std::move(request)) {
    for (const auto& file : request_.files) outcomes_.push_back(untried(file));
}

std::vector<file_outcome> checkin_batch::run(const progress_fn& progress) {
    bool stopped = false;
    for (std::size_t i = 0; i < outcomes_.size(); ++i) {
        if (!left_to_check_in(outcomes_[i])) continue;
        if (stopped || cancelled_) {
            outcomes_[i] = untried(request_.files[i]);
            continue;
        }
        outcomes_[i] = check_in(i, progress);
        stopped = outcomes_[i].database_error;
    }
    return outcomes_;
}

file_outcome checkin_batch::check_in(std::size_t index, const progress_fn& progress) {
    file_outcome outcome = untried(request_.files[index]);
    outcome.status = file_status::failed;
    outcome.message = refusal(outcome.file);
    if (!outcome.message.empty()) return outcome;

    batch_observer observer(index, progress, cancelled_);
    try {
        outcome.result = repo_.checkin_file(outcome.file, request_.directory, request_.date_text,
                                            "text/plain", request_.description, &observer);
        outcome.status = file_status::checked_in;
    } catch (const cancelled_error&) {
        outcome.status = file_status::cancelled;
    } catch (const db_exception& error) {
        outcome.message = error.what();
        outcome.database_error = true;
        outcome.busy = dynamic_cast<const db_busy_exception*>(&error) != nullptr;
    } catch (const std::exception& error) {
        outcome.message = error.what();
    }
    return outcome;
}

bool needs_summary(const std::vector<file_outcome>& outcomes) {
    return std::any_of(outcomes.begin(), outcomes.end(), [](const file_outcome& outcome) {
        return outcome.status != file_status::checked_in;
    });
}

bool gave_up_waiting(const std::vector<file_outcome>& outcomes) {
    return std::any_of(outcomes.begin(), outcomes.end(),
                       [](const file_outcome& outcome) { return outcome.busy; });
}

std::string summary_heading(const std::vector<file_outcome>& outcomes, bool cancelled) {
    std::size_t checked_in = 0, failed = 0;
    for (const file_outcome& outcome : outcomes) {
        if (outcome.status == file_status::checked_in) ++checked_in;
        if (outcome.status == file_status::failed) ++failed;
    }
    const std::size_t left = outcomes.size() - checked_in - failed;
    return std::string(cancelled ? "The check-in was cancelled." : "Not every file was checked in.") +
           "\n" + std::to_string(checked_in) + " checked in, " + std::to_string(failed) +
           " failed, " + std::to_string(left) + " not checked in.";
}

std::string summary_lines(const std::vector<file_outcome>& outcomes) {
    std::string text;
    for (const file_outcome& outcome : outcomes) {
        if (!text.empty()) text += "\n";
        switch (outcome.status) {
            case file_status::checked_in:
                text += "Checked in: " + utf8_of(outcome.file) + " as " + outcome.result.vault_path;
                break;
            case file_status::failed: {
                // The engine's messages mostly name the file already.
                const std::string file = utf8_of(outcome.file);
                text += "Failed: ";
                if (outcome.message.find(file) == std::string::npos) text += file + ": ";
                text += outcome.message;
                break;
            }
            case file_status::cancelled:
                text += "Cancelled, nothing of it was stored: " + utf8_of(outcome.file);
                break;
            case file_status::not_started:
                text += "Not checked in: " + utf8_of(outcome.file);
                break;
        }
    }
    return text;
}

}  // namespace tuv::checkin_app
