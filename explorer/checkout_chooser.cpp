#include "explorer/checkout_chooser.h"

#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "explorer/CVellumCheckout.h"
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

gui::date_chooser checkout_dialog_chooser(repository& repo, gui::prompter& prompter,
                                          QWidget* owner) {
    return [&repo, &prompter, owner](const gui::checkout_row& row) {
        const std::vector<std::string> versions = version_texts(repo, row.source);
        return CVellumCheckout::choose(repo, prompter, owner, row.source, versions,
                                       static_cast<int>(versions.size()) - 1);
    };
}

}  // namespace tuv::explorer
