#include "explorer/explorer_start.h"

#include <chrono>
#include <exception>
#include <string>

#include "core/base/utf8_path.h"
#include "explorer/temp_folder.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

namespace tuv::explorer {
namespace {

using gui::prompt_icon;

// The lock that keeps to one explorer, named after its window's title.
const char* const instance_name = "Quillmark_Explorer";

void say(gui::prompter& prompter, const std::string& text, prompt_icon icon) {
    prompter.message(nullptr, text, gui::caption_explorer, icon);
}

}  // namespace

std::optional<explorer_session> start_explorer(gui::prompter& prompter,
                                               const gui::vault_opener& open, int& exit_code) {
    exit_code = 1;
    std::optional<platform::named_mutex> instance;
    try {
        instance = platform::named_mutex::try_acquire(instance_name, std::chrono::milliseconds(0));
    } catch (const std::exception& error) {
        say(prompter, error.what(), prompt_icon::error);
        return std::nullopt;
    }
    if (!instance) {
        say(prompter, already_running_text, prompt_icon::information);
        exit_code = 0;
        return std::nullopt;
    }
    try {
        const CRegistry registry(platform::registry_root::current_user, platform::quillmark_key);
        if (!registry.is_open()) {
            say(prompter, "Unable to open registry", prompt_icon::error);
            return std::nullopt;
        }
        std::string temp_dir;
        registry.query(platform::temp_dir_value, temp_dir);
        clear_view_folder(path_from_utf8(temp_dir));
    } catch (const std::runtime_error&) {
        say(prompter, gui::support_error_text, prompt_icon::error);
        return std::nullopt;
    }
    std::string db_path;
    repository* vault = gui::open_registered_vault(prompter, gui::caption_explorer, open, db_path);
    if (vault == nullptr) return std::nullopt;
    exit_code = 0;
    return explorer_session{std::move(*instance), vault};
}

}  // namespace tuv::explorer
