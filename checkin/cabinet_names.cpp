#include "checkin/cabinet_names.h"

#include <algorithm>

#include "core/base/vault_path.h"
#include "gui/cabinet_listing.h"
#include "gui/captions.h"

namespace tuv::checkin_app {

std::string new_name_title(const std::string& kind) {
    return "Quillmark: Add New " + kind;
}

std::string new_name_label(const std::string& kind) {
    return kind + " Name";
}

bool is_valid_entry_name(const std::string& name) {
    return !name.empty() && name.find_first_of(entry_forbidden_characters) == std::string::npos;
}

std::string duplicate_message(const std::string& existing) {
    return "CabinateName " + existing + "Already exist";
}

std::optional<std::string> ask_new_cabinet(std::span<const std::string> siblings,
                                           gui::prompter& prompter, gui::native_window owner,
                                           const name_asker& ask) {
    for (;;) {
        std::optional<std::string> name = ask();
        if (!name) return std::nullopt;
        if (!is_valid_cabinet_name(*name)) {
            prompter.message(owner, gui::cabinet_name_message, gui::caption_warning,
                             gui::prompt_icon::exclamation);
            continue;
        }
        const auto existing = std::find_if(siblings.begin(), siblings.end(), [&](const auto& s) {
            return gui::same_cabinet_name(s, *name);
        });
        if (existing == siblings.end()) return name;
        prompter.message(owner, duplicate_message(*existing), duplicate_caption,
                         gui::prompt_icon::exclamation);
    }
}

}  // namespace tuv::checkin_app
