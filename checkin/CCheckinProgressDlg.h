// Shows how far the check-in has come while it runs on another thread, and
// lets the person cancel it.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class CCheckinProgressDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CCheckinProgressDlg(QWidget* parent = nullptr);

    // File `number` of `count` (from 1), named `name`, has begun.
    void show_file(int number, int count, const QString& name);
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
