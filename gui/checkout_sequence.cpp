#include "gui/checkout_sequence.h"

#include <exception>
#include <filesystem>
#include <stdexcept>

#include "core/base/utf8_path.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "gui/prompter.h"

namespace tuv::gui {
namespace {

// The name a vault path ends in: what follows its last separator.
std::string last_component(const std::string& source, const std::string& separator) {
    const std::size_t at = source.rfind(separator);
    return at == std::string::npos ? source : source.substr(at + separator.size());
}

class checkout_run {
  public:
    checkout_run(repository& repo, prompter& prompts, native_window owner,
                 const checkout_policy& policy, const date_chooser& choose_date)
        : repo_(repo),
          prompts_(prompts),
          owner_(owner),
          policy_(policy),
          choose_date_(choose_date) {}

    // One row, from its date to the message; whether the run goes on.
    after_row run(const checkout_row& row) {
        std::optional<std::string> when = row.date;
        if (!when) {
            if (!choose_date_) {
                throw std::invalid_argument("checkout_to_local_file: " + row.source +
                                            " has no date and there is no date chooser");
            }
            when = choose_date_(row);
            if (!when) return after_row::end_run;
        }

        const std::optional<std::string> chosen = prompts_.save_file(
            nullptr, save_as_title, last_component(row.source, repo_.path_separator()),
            {{"All Files (*.*)", "*.*"}, {"Text Files (*.txt)", "*.txt"}});
        if (!chosen) return after_row::end_run;
        const std::filesystem::path destination = path_from_utf8(*chosen);

        if (file_exists(destination) &&
            prompts_.message(owner_, replace_question, caption_checkout, prompt_icon::exclamation,
                             prompt_buttons::ok_cancel) != prompt_answer::ok) {
            return policy_.replace_declined;
        }

        try {
            checkout(repo_, *repo_.catalogue().resolve(row.source), destination, date(*when));
        } catch (const std::exception& e) {
            ++summary.failed;
            const std::string text = policy_.failure_text ? policy_.failure_text : e.what();
            prompts_.message(owner_, text, policy_.failure_caption, prompt_icon::error);
            return policy_.checkout_failed;
        }
        ++summary.checked_out;
        prompts_.message(owner_, done_text, policy_.success_caption, prompt_icon::information);
        return after_row::next_row;
    }

    checkout_summary summary;

  private:
    repository& repo_;
    prompter& prompts_;
    native_window owner_;
    const checkout_policy& policy_;
    const date_chooser& choose_date_;
};

}  // namespace

checkout_summary checkout_to_local_file(repository& repo, prompter& prompts, native_window owner,
                                        const std::vector<checkout_row>& rows,
                                        const checkout_policy& policy,
                                        const date_chooser& choose_date) {
    checkout_run run(repo, prompts, owner, policy, choose_date);
    for (const checkout_row& row : rows) {
        after_row next = after_row::end_run;
        try {
            next = run.run(row);
        } catch (const std::runtime_error&) {
            // The checkout's own failures were shown inside run(); this is
            // the date chooser or what surrounds the checkout.
            if (!policy.other_failure_caption) throw;
            prompts.message(owner, support_error_text, policy.other_failure_caption,
                            prompt_icon::error);
        }
        if (next == after_row::end_run) {
            run.summary.stopped = true;
            break;
        }
    }
    return run.summary;
}

}  // namespace tuv::gui
