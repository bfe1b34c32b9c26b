// Shows how far the check-in has come while it runs on another thread, and
// lets the person cancel it.
#pragma once

#include <QDialog>
#include <string>

#include "checkin/checkin_program.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CCheckinProgressDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CCheckinProgressDlg(QWidget* parent = nullptr);

    // All of what the check-in reports at one moment.
    void show_state(const tuv::checkin_app::progress_state& state, std::size_t count,
                    const std::string& name);
    // File `number` of `count` (from 1), named `name`, has begun.
    void show_file(std::size_t number, std::size_t count, const std::string& name);
    // Bar and caption: "<percent>% completed".
    void set_progress(int percent);
    int progress() const;
    // While `waiting`, says that the check-in waits for another program that
    // is using the vault, in place of the usual note.
    void set_waiting(bool waiting);

  signals:
    // Cancel was pressed, or the window was closed, once.
    void cancel_requested();

  protected:
    void reject() override;

  private:
    QLabel* note_;
    QLabel* file_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};
