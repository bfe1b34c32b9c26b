// The rules for the name of a new entry, and the messages that refuse one;
// the cabinet name message is shared with the explorer (gui/captions.h).
#pragma once

#include <QString>

namespace tuv::checkin_app {

inline constexpr const char* entry_name_message =
    "Please enter a valid value in text field.\n '$#@!~`&^%?<>;:'+=|* ' characters are not allowed.";
inline constexpr const char* duplicate_caption = "Error";

// The first check, of the dialog that asks for any new name: not empty and
// none of the entry characters.
bool is_valid_entry_name(const QString& name);

// "CabinateName <existing>Already exist".
QString duplicate_message(const QString& existing);

}  // namespace tuv::checkin_app
