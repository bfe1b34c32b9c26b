#include "explorer/CSearchFiltters.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>

#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/pane_search.h"

CSearchFiltters::CSearchFiltters(CVellum_ExplorerDoc& document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      name_(new QLineEdit(this)),
      description_(new QLineEdit(this)),
      reset_(new QPushButton("&Reset", this)),
      search_(new QPushButton("&Search", this)),
      close_(new QPushButton("X", this)) {
    auto* name_label = new QLabel("File  name  or cabinets", this);
    auto* description_label = new QLabel("Description", this);
    name_label->setBuddy(name_);
    description_label->setBuddy(description_);
    search_->setDefault(true);
    close_->setFixedWidth(close_->fontMetrics().horizontalAdvance("X") + 16);
    close_->setToolTip("Close the search");

    auto* grid = new QGridLayout(this);
    grid->addWidget(name_label, 0, 0);
    grid->addWidget(close_, 0, 1, Qt::AlignRight);
    grid->addWidget(name_, 1, 0, 1, 2);
    grid->addWidget(description_label, 2, 0, 1, 2);
    grid->addWidget(description_, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(reset_);
    buttons->addWidget(search_);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setRowStretch(5, 1);

    connect(reset_, &QPushButton::clicked, this, &CSearchFiltters::reset);
    connect(search_, &QPushButton::clicked, this, &CSearchFiltters::search);
    // The pane is no dialog: Enter in a field stands for the default button.
    connect(name_, &QLineEdit::returnPressed, this, &CSearchFiltters::search);
    connect(description_, &QLineEdit::returnPressed, this, &CSearchFiltters::search);
    connect(close_, &QPushButton::clicked, this, [this] { emit SEARCH_CLOSE(0, 0); });
    for (QWidget* child :
         std::initializer_list<QWidget*>{name_, description_, reset_, search_, close_}) {
        child->installEventFilter(this);
    }
}

bool CSearchFiltters::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() != Qt::AltModifier ||
        (key->key() != Qt::Key_S && key->key() != Qt::Key_R)) {
        return QWidget::eventFilter(watched, event);
    }
    // Claimed at the override, so that no shortcut of the window takes it;
    // when the key itself arrives, its button is pressed as a mnemonic would.
    event->accept();
    if (event->type() == QEvent::KeyPress) {
        (key->key() == Qt::Key_S ? search_ : reset_)->animateClick();
    }
    return true;
}

void CSearchFiltters::reset() {
    name_->clear();
    description_->clear();
}

void CSearchFiltters::search() {
    tuv::explorer::search_vault(document_, name_->text().toStdString(),
                                description_->text().toStdString(), this);
}
