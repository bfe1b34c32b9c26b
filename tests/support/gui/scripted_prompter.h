// A prompter for tests (gui/prompter.h): answers queued in advance, every
// prompt recorded. It stays in the namespace of the interface it fakes.
//
// A message with an OK button alone, and a report, need no answer (it answers OK); every
// other prompt takes the next queued answer, which must be of its kind: a
// button for a question, a path (or a cancel) for a dialog. A prompt with
// no fitting answer throws std::logic_error naming it, so a test that did
// not expect it fails loudly.
#pragma once

#include <deque>
#include <variant>

#include "gui/prompter.h"

namespace tuv::gui {

struct prompt_record {
    enum class kind { message, save_file, open_files, browse_folder };
    kind what = kind::message;
    std::string text;     // the message, or the suggested name or folder of a dialog
    std::string caption;  // the box's caption or the dialog's title
    prompt_icon icon = prompt_icon::none;
    prompt_buttons buttons = prompt_buttons::ok;
    std::vector<file_filter> filters;
    std::string details;  // a report's lines
};

class scripted_prompter : public prompter {
  public:
    void answer(prompt_answer button) { answers_.emplace_back(button); }
    // The path a dialog returns; nullopt cancels it.
    void answer_path(std::optional<std::string> path) { answers_.emplace_back(std::move(path)); }
    void answer_files(std::vector<std::string> paths) { answers_.emplace_back(std::move(paths)); }

    const std::vector<prompt_record>& prompts() const { return prompts_; }

    prompt_answer message(native_window owner, const std::string& text, const std::string& caption,
                          prompt_icon icon, prompt_buttons buttons) override;
    void report(native_window owner, const std::string& text, const std::string& details,
                const std::string& caption, prompt_icon icon) override;
    std::optional<std::string> save_file(native_window owner, const std::string& title,
                                         const std::string& suggested,
                                         const std::vector<file_filter>& filters) override;
    std::optional<std::vector<std::string>> open_files(
        native_window owner, const std::string& title, const std::string& folder,
        const std::vector<file_filter>& filters) override;
    std::optional<std::string> browse_folder(native_window owner, const std::string& title,
                                             const std::string& folder) override;

  private:
    using queued =
        std::variant<prompt_answer, std::optional<std::string>, std::vector<std::string>>;
    template <typename T>
    T next(const prompt_record& record);

    std::deque<queued> answers_;
    std::vector<prompt_record> prompts_;
};

}  // namespace tuv::gui
