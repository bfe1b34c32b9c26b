#include "checkin/cabinet_names.h"

#include "core/base/vault_path.h"

namespace tuv::checkin_app {

bool is_valid_entry_name(const QString& name) {
    const std::string text = name.toStdString();
    return !text.empty() && text.find_first_of(entry_forbidden_characters) == std::string::npos;
}

QString duplicate_message(const QString& existing) {
    return "CabinateName " + existing + "Already exist";
}

}  // namespace tuv::checkin_app
