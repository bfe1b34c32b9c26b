// The interactive checkout that the explorer, the properties program and the
// file-manager page run when the person checks out versions: for each row a
// save-as dialog, a question before replacing an existing file, the
// repository's checkout and a message saying how it went, all through a
// prompter. The three callers run this one sequence and differ only in the
// checkout_policy they pass.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/captions.h"
#include "gui/prompter.h"

namespace tuv {
class repository;
}

namespace tuv::gui {

// What the run does once a row has ended without its version written.
enum class after_row { next_row, end_run };

// How one program's run differs from the others'. A cancelled save-as
// dialog or date chooser ends the run in every program.
struct checkout_policy {
    after_row replace_declined;  // the person would not replace the file
    after_row checkout_failed;   // the repository's checkout threw
    const char* success_caption;
    // The text shown when the checkout throws; null shows the exception's
    // own text.
    const char* failure_text;
    const char* failure_caption;
    // When set, a tuv_error or other std::runtime_error from anywhere else in
    // the run (the date chooser) shows support_error_text under this caption
    // and ends the run; when null it passes to the caller.
    const char* other_failure_caption;
};

inline constexpr const char* checkout_failed_text = "File could not be checked out.";

inline constexpr checkout_policy explorer_policy{
    .replace_declined = after_row::next_row,
    .checkout_failed = after_row::next_row,
    .success_caption = caption_explorer,
    .failure_text = nullptr,
    .failure_caption = caption_explorer,
    .other_failure_caption = caption_explorer,
};
inline constexpr checkout_policy properties_policy{
    .replace_declined = after_row::next_row,
    .checkout_failed = after_row::next_row,
    .success_caption = caption_properties_done,
    .failure_text = checkout_failed_text,
    .failure_caption = caption_properties,
    .other_failure_caption = nullptr,
};
// The page checks out its focused row alone, and any end stops it.
inline constexpr checkout_policy shell_page_policy{
    .replace_declined = after_row::end_run,
    .checkout_failed = after_row::end_run,
    .success_caption = caption_properties_done,
    .failure_text = checkout_failed_text,
    .failure_caption = caption_properties,
    .other_failure_caption = nullptr,
};

// One version to check out. The caller picks the rows: the selected rows of
// a list in ascending order, or the focused row alone.
struct checkout_row {
    std::string source;  // the file's full vault path, in the vault's syntax
    // The version's date text ("now", or a local time as version_list_text
    // writes it); absent when it is to be chosen for this row.
    std::optional<std::string> date;
};

// Asks the person for the date text of a row's version (the explorer's
// checkout dialog); nullopt when they cancel, which ends the run.
using date_chooser = std::function<std::optional<std::string>(const checkout_row&)>;

struct checkout_summary {
    int checked_out = 0;   // rows whose version was written
    int failed = 0;        // rows whose checkout threw
    bool stopped = false;  // a row ended the run; the rows after it were left alone
};

// Runs the checkout for each row in order, with the message boxes over
// `owner` (may be null); the save-as dialog has no owner. `repo`, `prompts`
// and `choose_date` are used during the call only. A row without a date
// asks `choose_date`; with no chooser that is a programming error
// (std::invalid_argument). A failed checkout never escapes: it is shown as
// the policy says. A failure elsewhere in the run is shown or passed on as
// the policy says; an error that is not a runtime error (a logic error,
// bad_alloc) always passes on.
checkout_summary checkout_to_local_file(repository& repo, prompter& prompts, native_window owner,
                                        const std::vector<checkout_row>& rows,
                                        const checkout_policy& policy,
                                        const date_chooser& choose_date = {});

}  // namespace tuv::gui
