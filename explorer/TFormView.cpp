#include "explorer/TFormView.h"

#include <QCheckBox>
#include <QResizeEvent>
#include <algorithm>

#include "core/base/errors.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/CVellum_Slider.h"
#include "gui/captions.h"
#include "gui/prompter.h"

using tuv::gui::prompt_icon;

namespace {

constexpr int left_edge = 10;
constexpr int right_gap = 30;   // the slider stops this far before the form's right edge
constexpr int narrowest = 350;  // below this it keeps its right edge at fallback_right,
                                // or at the form's edge when that is nearer
constexpr int fallback_right = 500;

}  // namespace

TFormView::TFormView(CVellum_ExplorerDoc& document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      time_filter_(new QCheckBox("Use time filter", this)),
      slider_(new CVellum_Slider(this)) {
    time_filter_->move(left_edge, 6);
    time_filter_->adjustSize();
    slider_->setGeometry(left_edge, time_filter_->geometry().bottom() + 6, fallback_right,
                         slider_->sizeHint().height());
    setMinimumHeight(slider_->geometry().bottom() + 6);
    connect(time_filter_, &QCheckBox::toggled, this, &TFormView::time_filter_clicked);
    connect(slider_, &CVellum_Slider::RANGE_CHANGED, this, &TFormView::RANGE_CHANGED);
    connect(slider_, &CVellum_Slider::ZOOM_CLICKED, this, &TFormView::ZOOM_CLICKED);
    connect(slider_, &CVellum_Slider::REFRESH_HVIEW, this, &TFormView::REFRESH_HVIEW);
    connect(&document_, &CVellum_ExplorerDoc::views_changed, this, [this] {
        if (!refreshing_) update_from_document();
    });
    update_from_document();
}

void TFormView::select_whole_scale(int zoom_level, double maximum) {
    slider_->set_zoom_level(zoom_level);
    document_.set_zoom_level(zoom_level);
    slider_->set_range(0.0, maximum);
    slider_->set_highlight(0.0, maximum);
    document_.set_selected_range(0.0, maximum);
    slider_->set_selection(0.0, maximum);
}

void TFormView::update_from_document() {
    try {
        const auto [earliest, latest] = document_.vault_time_span();
        const tuv::explorer::scale_unit unit = tuv::explorer::natural_unit(earliest, latest);
        // The times come first: the slider's texts count from them.
        slider_->set_times(earliest, latest);
        slider_->set_range(0.0, unit.maximum);
        const tuv::explorer::slider_state& kept = document_.slider();
        bool reselected = false;
        if (kept.use_time_filter && unit.zoom_level == slider_->scale().zoom_level()) {
            slider_->set_selection(kept.from, kept.to);
        } else {
            reselected = kept.use_time_filter && (kept.from != 0.0 || kept.to != unit.maximum ||
                                                  kept.zoom_level != unit.zoom_level);
            select_whole_scale(unit.zoom_level, unit.maximum);
        }
        document_.set_time_span(earliest, latest);
        slider_->set_highlight_on(true);
        const QSignalBlocker quiet(time_filter_);
        time_filter_->setChecked(kept.use_time_filter);
        // The list was built for the period before: it follows the label.
        if (reselected) refresh_list();
    } catch (const std::exception&) {
        document_.prompts().message(this, tuv::gui::support_error_text,
                                    tuv::gui::caption_explorer, prompt_icon::error);
    }
}

void TFormView::RANGE_CHANGED(int, int) {
    document_.set_selected_range(slider_->scale().from(), slider_->scale().to());
}

void TFormView::ZOOM_CLICKED(int which, int) {
    const tuv::explorer::slider_scale& scale = slider_->scale();
    const tuv::explorer::zoom_result result =
        tuv::explorer::zoom(scale.zoom_level(), which, scale.earliest(), scale.latest());
    if (result.refusal != nullptr) {
        document_.prompts().message(this, result.refusal, tuv::gui::caption_explorer,
                                    prompt_icon::information);
        return;
    }
    if (!result.unit) return;
    select_whole_scale(result.unit->zoom_level, result.unit->maximum);
    // The label now names the whole span: so does the list.
    if (document_.slider().use_time_filter) refresh_list();
}

void TFormView::REFRESH_HVIEW(int, int) {
    if (document_.slider().use_time_filter) refresh_list();
}

void TFormView::time_filter_clicked(bool on) {
    document_.set_use_time_filter(on);
    if (on) document_.set_selected_range(slider_->scale().from(), slider_->scale().to());
    // The list follows the box at once rather than at the next drag.
    refresh_list();
}

void TFormView::refresh_list() {
    // The tree keeps its items: only the list shows the new period. The form
    // does not answer its own update, so a zoomed-in scale stays zoomed.
    const bool refill_tree = document_.refresh_flag();
    document_.set_refresh_flag(false);
    refreshing_ = true;
    try {
        document_.rebuild_history();
        emit document_.views_changed();
    } catch (const std::exception&) {
        document_.prompts().message(this, tuv::gui::support_error_text,
                                    tuv::gui::caption_explorer, prompt_icon::error);
    }
    refreshing_ = false;
    document_.set_refresh_flag(refill_tree);
}

void TFormView::resizeEvent(QResizeEvent* event) {
    QRect area = slider_->geometry();
    int right = event->size().width() - right_gap;
    // Never past the form's edge, where its end could not be reached.
    if (right - area.left() < narrowest) right = std::min(fallback_right, event->size().width() - 1);
    area.setRight(right);
    slider_->setGeometry(area);
    QWidget::resizeEvent(event);
}
