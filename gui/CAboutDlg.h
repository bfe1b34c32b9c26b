// The about box of the window programs: the icon, the program's version, OK.
#pragma once

#include <QDialog>

#include "gui/captions.h"

class QHBoxLayout;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(const tuv::gui::about_texts& texts, QWidget* parent = nullptr);

    // A dialog's bottom row: the button that opens the box over `owner`,
    // where the system menu had its item, apart from the dialog's own
    // `buttons` on the right. It never takes Enter from them.
    static QHBoxLayout* button_row(const tuv::gui::about_texts& texts, QWidget* buttons,
                                   QWidget* owner);
};
