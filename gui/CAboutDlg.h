// The about box of the window programs: the icon, the version, OK.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
