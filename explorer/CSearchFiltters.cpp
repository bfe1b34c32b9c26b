#include "explorer/CSearchFiltters.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>

#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "gui/prompter.h"

using tuv::gui::prompt_icon;

namespace tuv::explorer {

search_request search_request_of(const std::string& name, const std::string& description,
                                 const std::optional<time_period>& period) {
    search_form fields;
    fields.name = name;
    fields.description = description;
    search_request request = build_search_request(fields);
    if (period) {
        // The core's form widens its period by a day; the pane's is already
        // the exact period the history list shows, so it goes in as it is.
        const std::string start = std::to_string(period->start);
        const std::string end = std::to_string(period->end);
        request.format = " (( %d & %c ) | ( %b  & %a )) & " + request.format;
        request.arguments.insert(request.arguments.begin(), {start, end, start, end});
    }
    return request;
}

}  // namespace tuv::explorer

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
    using namespace tuv::explorer;
    const slider_state& slider = document_.slider();
    std::optional<time_period> period;
    if (slider.use_time_filter) period = period_of(slider);
    const tuv::search_request request = search_request_of(
        name_->text().toStdString(), description_->text().toStdString(), period);
    try {
        document_.run_search(request.format, request.arguments);
        if (document_.repository() != nullptr) {
            tuv::filter_search_results(document_.search_results(),
                                       document_.current_location().toStdString(),
                                       document_.repository()->path_separator());
        }
    } catch (const std::exception&) {
        document_.search_results().clear();
        document_.prompts().message(this, refine_search, caption_search_pane, prompt_icon::error);
        return;
    }
    document_.set_search_mode(true);
    emit document_.views_changed();
    if (document_.search_results().empty()) {
        document_.prompts().message(this, nothing_found, caption_search_pane,
                                    prompt_icon::exclamation);
    }
}
