#include "shellext/shell_program.h"

#include <QString>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/vault/repository.h"
#include "gui/prompter.h"
#include "gui/registered_vault.h"

namespace tuv::shell {
namespace {

namespace fs = std::filesystem;

constexpr int exit_ok = 0;
constexpr int exit_not_started = 1;
constexpr int exit_usage = 2;

gui::prompt_icon prompt_icon_of(message_icon icon) {
    switch (icon) {
        case message_icon::exclamation:
            return gui::prompt_icon::exclamation;
        case message_icon::error:
            return gui::prompt_icon::error;
        case message_icon::information:
            break;
    }
    return gui::prompt_icon::information;
}

int check_in(const std::vector<std::string>& paths, gui::prompter& prompts) {
    // As Nautilus offers nothing without a vault; here the menu is always
    // there, so the person is told why nothing happens.
    std::unique_ptr<repository> repo;
    std::string db_path;
    const auto open = [&](const std::string& path) {
        repo = std::make_unique<repository>(path, repository::access::read_only);
        return repo.get();
    };
    if (gui::open_registered_vault(prompts, process_failure_caption, open, db_path) == nullptr) {
        return exit_not_started;
    }
    std::vector<selected_item> items;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::path absolute = fs::absolute(path, error);
        items.push_back({error ? path : absolute.string(), fs::is_directory(path, error)});
    }
    prompter_messages messages(prompts);
    return start_checkin(select_files(items), messages) ? exit_ok : exit_not_started;
}

}  // namespace

void prompter_messages::message(const shell_message& message) {
    prompts_.message(nullptr, message.text, message.caption, prompt_icon_of(message.icon));
}

int run_shell_program(const std::vector<std::string>& arguments, gui::prompter& prompts) {
    if (!arguments.empty() && arguments.front() == checkin_option) {
        return check_in({arguments.begin() + 1, arguments.end()}, prompts);
    }
    if (const std::optional<shell_message> message = message_from_arguments(arguments)) {
        prompter_messages(prompts).message(*message);
        return exit_ok;
    }
    std::fprintf(stderr,
                 "usage: Quillmark_Shell --checkin PATH...\n"
                 "       Quillmark_Shell --message CAPTION information|exclamation|error TEXT\n");
    return exit_usage;
}

}  // namespace tuv::shell
