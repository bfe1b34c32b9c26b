#include "gui/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_icon.h"

CAboutDlg::CAboutDlg(const tuv::gui::about_texts& texts, QWidget* parent) : QDialog(parent) {
    setWindowTitle(texts.title);
    auto* icon = new QLabel;
    icon->setPixmap(tuv::gui::app_icon().pixmap(48, 48));
    auto* text = new QLabel(texts.text);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QHBoxLayout* CAboutDlg::button_row(const tuv::gui::about_texts& texts, QWidget* buttons,
                                   QWidget* owner) {
    auto* about = new QPushButton(texts.button);
    about->setAutoDefault(false);
    connect(about, &QPushButton::clicked, owner, [texts, owner] { CAboutDlg(texts, owner).exec(); });
    auto* row = new QHBoxLayout;
    row->addWidget(about);
    row->addStretch(1);
    row->addWidget(buttons);
    return row;
}
