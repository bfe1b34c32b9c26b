#include "checkin/CCheckinProgressDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_icon.h"

CCheckinProgressDlg::CCheckinProgressDlg(QWidget* parent)
    : QDialog(parent),
      note_(new QLabel),
      file_(new QLabel),
      bar_(new QProgressBar),
      cancel_(new QPushButton("&Cancel")) {
    setWindowIcon(tuv::gui::app_icon());
    bar_->setRange(0, 100);
    bar_->setMinimumWidth(360);
    file_->setTextFormat(Qt::PlainText);
    connect(cancel_, &QPushButton::clicked, this, &CCheckinProgressDlg::reject);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(file_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    set_progress(0);
    set_waiting(false);
}

void CCheckinProgressDlg::show_file(int number, int count, const QString& name) {
    file_->setText(count == 1 ? name : QString("File %1 of %2: %3").arg(number).arg(count).arg(name));
}

void CCheckinProgressDlg::set_progress(int percent) {
    bar_->setValue(percent);
    setWindowTitle(QString::asprintf("%d%% completed", percent));
}

int CCheckinProgressDlg::progress() const { return bar_->value(); }

void CCheckinProgressDlg::set_waiting(bool waiting) {
    note_->setText(waiting ? "Waiting for another program that is using the vault..."
                           : "This may take some time. Please wait..");
}

void CCheckinProgressDlg::reject() {
    // The dialog stays until the check-in has stopped; the run closes it.
    if (!cancel_->isEnabled()) return;
    cancel_->setEnabled(false);
    cancel_->setText("Cancelling...");
    emit cancel_requested();
}
