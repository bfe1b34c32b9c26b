#include "explorer/TFormView.h"

#include <QCheckBox>
#include <QResizeEvent>
#include <algorithm>

#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/CVellum_Slider.h"

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
      slider_(new CVellum_Slider(this)),
      line_(
          document, slider_->scale(), [this] { slider_->update(); },
          [this](bool on) {
              const QSignalBlocker quiet(time_filter_);
              time_filter_->setChecked(on);
          },
          this) {
    time_filter_->move(left_edge, 6);
    time_filter_->adjustSize();
    slider_->setGeometry(left_edge, time_filter_->geometry().bottom() + 6, fallback_right,
                         slider_->sizeHint().height());
    setMinimumHeight(slider_->geometry().bottom() + 6);
    connect(time_filter_, &QCheckBox::toggled, this,
            [this](bool on) { line_.time_filter_clicked(on); });
    connect(slider_, &CVellum_Slider::RANGE_CHANGED, this, &TFormView::RANGE_CHANGED);
    connect(slider_, &CVellum_Slider::ZOOM_CLICKED, this, &TFormView::ZOOM_CLICKED);
    connect(slider_, &CVellum_Slider::REFRESH_HVIEW, this, &TFormView::REFRESH_HVIEW);
    connect(&document_, &CVellum_ExplorerDoc::views_changed, this,
            [this] { line_.views_changed(); });
    update_from_document();
}

void TFormView::update_from_document() {
    line_.update_from_document();
}

void TFormView::RANGE_CHANGED(int, int) {
    line_.range_changed();
}

void TFormView::ZOOM_CLICKED(int which, int) {
    line_.zoom_clicked(which);
}

void TFormView::REFRESH_HVIEW(int, int) {
    line_.drag_ended();
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
