// The rules for the name of a new entry, the messages that refuse one (the
// cabinet name message is shared with the explorer, gui/captions.h), and the
// New Cabinet flow of the cabinet picker.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "gui/prompter.h"

namespace tuv::checkin_app {

inline constexpr const char* entry_name_message =
    "Please enter a valid value in text field.\n '$#@!~`&^%?<>;:'+=|* ' characters are not allowed.";
inline constexpr const char* duplicate_caption = "Error";
// The new-name dialog: "Quillmark: Add New %s" and "%s Name" with the kind.
std::string new_name_title(const std::string& kind);
std::string new_name_label(const std::string& kind);

// The first check, of the dialog that asks for any new name: not empty and
// none of the entry characters.
bool is_valid_entry_name(const std::string& name);

// "CabinateName <existing>Already exist".
std::string duplicate_message(const std::string& existing);

// Asks for a new cabinet's name; nullopt when the person cancels.
using name_asker = std::function<std::optional<std::string>()>;

// The New Cabinet flow among `siblings`, the cabinets already in the chosen
// one: asks until the person cancels or gives a valid cabinet name that
// equals no sibling without regard to case, refusing the others through the
// prompter over `owner`. Returns the name, or nullopt when cancelled.
std::optional<std::string> ask_new_cabinet(std::span<const std::string> siblings,
                                           gui::prompter& prompter, gui::native_window owner,
                                           const name_asker& ask);

}  // namespace tuv::checkin_app
