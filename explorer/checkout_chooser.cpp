#include "explorer/checkout_chooser.h"

#include "explorer/CVellumCheckout.h"
#include "explorer/checkout_choice.h"

namespace tuv::explorer {

gui::date_chooser checkout_dialog_chooser(repository& repo, gui::prompter& prompter,
                                          QWidget* owner) {
    return [&repo, &prompter, owner](const gui::checkout_row& row) {
        const std::vector<std::string> versions = version_texts(repo, row.source);
        return CVellumCheckout::choose(repo, prompter, owner, row.source, versions,
                                       static_cast<int>(versions.size()) - 1);
    };
}

}  // namespace tuv::explorer
