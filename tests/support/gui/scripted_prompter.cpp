#include "tests/support/gui/scripted_prompter.h"

#include <stdexcept>

namespace tuv::gui {

template <typename T>
T scripted_prompter::next(const prompt_record& record) {
    prompts_.push_back(record);
    if (answers_.empty() || !std::holds_alternative<T>(answers_.front())) {
        throw std::logic_error("no scripted answer fits the prompt \"" + record.caption +
                               "\": " + record.text);
    }
    T value = std::get<T>(std::move(answers_.front()));
    answers_.pop_front();
    return value;
}

prompt_answer scripted_prompter::message(native_window, const std::string& text,
                                         const std::string& caption, prompt_icon icon,
                                         prompt_buttons buttons) {
    const prompt_record record{prompt_record::kind::message, text, caption, icon, buttons, {}, {}};
    if (buttons == prompt_buttons::ok) {
        prompts_.push_back(record);
        return prompt_answer::ok;
    }
    return next<prompt_answer>(record);
}

void scripted_prompter::report(native_window, const std::string& text, const std::string& details,
                               const std::string& caption, prompt_icon icon) {
    prompts_.push_back(
        {prompt_record::kind::message, text, caption, icon, prompt_buttons::ok, {}, details});
}

std::optional<std::string> scripted_prompter::save_file(native_window, const std::string& title,
                                                        const std::string& suggested,
                                                        const std::vector<file_filter>& filters) {
    return next<std::optional<std::string>>({prompt_record::kind::save_file,
                                             suggested,
                                             title,
                                             prompt_icon::none,
                                             prompt_buttons::ok,
                                             filters,
                                             {}});
}

std::optional<std::vector<std::string>> scripted_prompter::open_files(
    native_window, const std::string& title, const std::string& folder,
    const std::vector<file_filter>& filters) {
    std::vector<std::string> files =
        next<std::vector<std::string>>({prompt_record::kind::open_files,
                                        folder,
                                        title,
                                        prompt_icon::none,
                                        prompt_buttons::ok,
                                        filters,
                                        {}});
    if (files.empty()) return std::nullopt;
    return files;
}

std::optional<std::string> scripted_prompter::browse_folder(native_window, const std::string& title,
                                                            const std::string& folder) {
    return next<std::optional<std::string>>({prompt_record::kind::browse_folder,
                                             folder,
                                             title,
                                             prompt_icon::none,
                                             prompt_buttons::ok,
                                             {},
                                             {}});
}

}  // namespace tuv::gui
