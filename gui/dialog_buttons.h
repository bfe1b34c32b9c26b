// The button row the programs' dialogs end with: one button that confirms
// (the default, Enter presses it) and one that cancels.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;

namespace tuv::gui {

// A button box for `dialog` whose cancel button rejects it. The confirming
// button only emits QDialogButtonBox::accepted: the dialog connects it to
// what confirming does (accept(), or a check before it).
QDialogButtonBox* dialog_buttons(QDialog& dialog, const QString& confirm, const QString& cancel);

}  // namespace tuv::gui
