#include "explorer/checkout_choice.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "core/base/date.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "gui/version_text.h"

namespace tuv::explorer {

std::vector<std::string> version_texts(repository& repo, const std::string& vault_path) {
    const auto file = repo.catalogue().resolve(vault_path);
    std::vector<std::tm> moments;
    repo.journal().get_change_range(file->file_id(), 0, 0, LEVEL_ALL, 0, moments);
    std::vector<std::string> texts;
    texts.reserve(moments.size());
    for (const std::tm& moment : moments) texts.push_back(gui::version_list_text(moment));
    return texts;
}

std::vector<std::string> in_time_order(const std::vector<std::string>& texts) {
    struct keyed {
        std::optional<std::time_t> moment;
        const std::string* text;
    };
    std::vector<keyed> keys;
    keys.reserve(texts.size());
    for (const std::string& text : texts) {
        std::optional<std::time_t> moment;
        try {
            moment = date(text).seconds();
        } catch (const invalid_date_exception&) {
        }
        keys.push_back({moment, &text});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const keyed& a, const keyed& b) {
        if (!a.moment || !b.moment) return a.moment.has_value() && !b.moment.has_value();
        return *a.moment < *b.moment;
    });
    std::vector<std::string> ordered;
    ordered.reserve(keys.size());
    for (const keyed& key : keys) ordered.push_back(*key.text);
    return ordered;
}

checkout_choice::checkout_choice(repository& repo, std::string vault_path)
    : repo_(repo), vault_path_(std::move(vault_path)) {}

checkout_choice::~checkout_choice() = default;

std::string checkout_choice::name() const {
    const std::string& separator = repo_.path_separator();
    const std::size_t at = vault_path_.rfind(separator);
    return at == std::string::npos ? vault_path_ : vault_path_.substr(at + separator.size());
}

std::string checkout_choice::description(const std::string& time_text) {
    if (!entry_) entry_ = repo_.catalogue().resolve(vault_path_);
    const std::string text = entry_->attributes_at(date(time_text));
    return text.empty() ? " " : text;
}

}  // namespace tuv::explorer
