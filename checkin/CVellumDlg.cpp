#include "checkin/CVellumDlg.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>

#include "checkin/CSelectCabinate.h"
#include "checkin/checkin_form.h"
#include "gui/CAboutDlg.h"
#include "gui/app_icon.h"
#include "gui/captions.h"

namespace {

QDate to_qt(tuv::checkin_app::calendar_day day) {
    return QDate(day.year, day.month, day.day);
}
QTime to_qt(tuv::checkin_app::clock_time time) {
    return QTime(time.hour, time.minute, time.second);
}

}  // namespace

CVellumDlg::CVellumDlg(tuv::checkin_app::checkin_form& form, tuv::repository& repo,
                       tuv::gui::prompter& prompter, QWidget* parent)
    : QDialog(parent),
      form_(form),
      repo_(repo),
      prompter_(prompter),
      source_(new QLineEdit),
      destination_(new QLineEdit),
      date_(new QDateEdit),
      time_(new QTimeEdit),
      description_(new QPlainTextEdit) {
    setWindowTitle(tuv::gui::caption_checkin);
    setWindowIcon(tuv::gui::app_icon());

    source_->setReadOnly(true);
    source_->setText(QString::fromStdString(form_.source_text()));
    source_->setCursorPosition(0);
    source_->setToolTip(source_->text());
    destination_->setReadOnly(true);
    auto* browse_button = new QPushButton("Bro&wse");
    browse_button->setAutoDefault(false);
    connect(browse_button, &QPushButton::clicked, this, &CVellumDlg::browse);
    auto* destination_row = new QHBoxLayout;
    destination_row->addWidget(destination_, 1);
    destination_row->addWidget(browse_button);

    date_->setDisplayFormat("yyyy-MM-dd");
    date_->setCalendarPopup(true);
    date_->setMaximumDate(to_qt(form_.latest_date()));
    date_->setDate(to_qt(form_.date()));
    time_->setDisplayFormat("HH:mm:ss");
    time_->setMaximumTime(to_qt(form_.latest_time()));
    time_->setTime(to_qt(form_.time()));
    connect(date_, &QDateEdit::dateChanged, this, [this](QDate date) {
        form_.set_date({date.year(), date.month(), date.day()});
        time_->setMaximumTime(to_qt(form_.latest_time()));
        time_->setTime(to_qt(form_.time()));
    });
    connect(time_, &QTimeEdit::timeChanged, this, [this](QTime time) {
        form_.set_time({time.hour(), time.minute(), time.second()});
    });

    description_->setTabChangesFocus(true);
    description_->setMinimumSize(360, 90);
    connect(description_, &QPlainTextEdit::textChanged, this, [this] {
        // The limit holds for pasted text too.
        const QString text = description_->toPlainText();
        const auto limit = static_cast<qsizetype>(tuv::checkin_app::description_limit);
        if (text.size() <= limit) return;
        description_->setPlainText(text.left(limit));
        description_->moveCursor(QTextCursor::End);
    });

    auto* fields = new QFormLayout;
    fields->addRow("Source File:", source_);
    fields->addRow("Destination File:", destination_row);
    fields->addRow("Date", date_);
    fields->addRow("Time", time_);
    fields->addRow("Description :", description_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* submit_button = buttons->addButton("&Submit", QDialogButtonBox::AcceptRole);
    buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    submit_button->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVellumDlg::submit);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(CAboutDlg::button_row(tuv::gui::checkin_about, buttons, this));
    resize(560, sizeHint().height());
    refresh();
}

void CVellumDlg::refresh() {
    destination_->setText(QString::fromStdString(form_.destination_text()));
    destination_->setCursorPosition(0);
}

void CVellumDlg::browse() {
    CSelectCabinate select(repo_, prompter_, this);
    if (select.exec() != QDialog::Accepted) return;
    form_.set_directory(select.destination_path().toStdString());
    refresh();
}

void CVellumDlg::submit() {
    form_.set_description(description_->toPlainText().toStdString());
    accept();
}
