#include "core/base/vault_path.h"

#include "core/base/errors.h"

namespace tuv {

std::string join_vault_path(const std::string& parent, const std::string& name,
                            const std::string& separator) {
    // The root's path is the separator itself; nothing more goes between.
    if (parent == separator) return parent + name;
    return parent + separator + name;
}

void check_entry_name(const std::string& name, const std::string& separator) {
    if (name.empty()) throw tuv_error(std::string("Invalid name \"\": a name cannot be empty"));
    if (name.find(separator) != std::string::npos) {
        throw tuv_error("Invalid name \"" + name +
                        "\": a name cannot contain the path separator \"" + separator + "\"");
    }
}

bool same_name_ignoring_case(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool is_valid_cabinet_name(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(cabinet_forbidden_characters) == std::string_view::npos;
}

}  // namespace tuv
