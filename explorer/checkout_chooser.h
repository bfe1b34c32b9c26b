// The explorer's way to pick the version of a file row for its checkout:
// the checkout dialog over the file's versions, the newest selected.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "gui/checkout_sequence.h"

namespace tuv {
class repository;
}

namespace tuv::explorer {

// A date chooser that shows CVellumCheckout for each row over `owner`.
// Borrows everything it is given for as long as the chooser lives.
gui::date_chooser checkout_dialog_chooser(repository& repo, gui::prompter& prompter,
                                          QWidget* owner);

}  // namespace tuv::explorer
