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

void CCheckinProgressDlg::show_state(const tuv::checkin_app::progress_state& state,
                                     std::size_t count, const std::string& name) {
    show_file(state.file + 1, count, name);
    set_progress(state.percent);
    set_waiting(state.waiting);
}

void CCheckinProgressDlg::show_file(std::size_t number, std::size_t count,
                                    const std::string& name) {
    file_->setText(
        QString::fromStdString(tuv::checkin_app::progress_file_text(number, count, name)));
}

void CCheckinProgressDlg::set_progress(int percent) {
    bar_->setValue(percent);
    setWindowTitle(QString::fromStdString(tuv::checkin_app::progress_caption(percent)));
}

int CCheckinProgressDlg::progress() const { return bar_->value(); }

void CCheckinProgressDlg::set_waiting(bool waiting) {
    note_->setText(waiting ? tuv::checkin_app::progress_waiting_note
                           : tuv::checkin_app::progress_note);
}

void CCheckinProgressDlg::reject() {
    // The dialog stays until the check-in has stopped; the run closes it.
    if (!cancel_->isEnabled()) return;
    cancel_->setEnabled(false);
    cancel_->setText(tuv::checkin_app::cancelling_text);
    emit cancel_requested();
}
