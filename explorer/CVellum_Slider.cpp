#include "explorer/CVellum_Slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

using tuv::explorer::slider_part;

namespace {

// Where a range's status text may be broken: before its end, then before
// its start.
constexpr QLatin1String range_end{" To: "};
constexpr QLatin1String range_start{" From: "};
constexpr double smallest_point_size = 6.5;

// The status text as it fits `row`: on one line, else a range broken before
// its end and then also before its start, each tried from `font`'s size
// down a little; `font` becomes the size chosen. What still does not fit at
// the smallest size goes on two lines, which the caller cuts off.
QStringList status_lines(const QString& text, QFont& font, const QRect& row) {
    std::vector<QStringList> choices{{text}};
    const qsizetype end = text.lastIndexOf(range_end);
    if (end > 0) {
        const QString first = text.left(end);
        choices.push_back({first, text.mid(end + 1)});
        const qsizetype start = first.indexOf(range_start);
        if (start > 0) {
            choices.push_back({first.left(start), first.mid(start + 1), text.mid(end + 1)});
        }
    }
    const double largest = font.pointSizeF();
    for (const QStringList& lines : choices) {
        for (double size = largest; size >= smallest_point_size; size -= 0.5) {
            font.setPointSizeF(size);
            const QFontMetrics metrics(font);
            int widest = 0;
            for (const QString& line : lines) {
                widest = std::max(widest, metrics.horizontalAdvance(line));
            }
            if (widest <= row.width() && metrics.lineSpacing() * lines.size() <= row.height()) {
                return lines;
            }
        }
    }
    // Narrower still: the two ends at the smallest size, each cut at its end.
    font.setPointSizeF(smallest_point_size);
    return choices[std::min<std::size_t>(1, choices.size() - 1)];
}

constexpr int preferred_height = 76;

QRect qt_rect(const tuv::gui::rect& area) {
    return {area.left, area.top, area.width, area.height};
}

tuv::gui::point plain_point(const QPoint& at) {
    return {at.x(), at.y()};
}

}  // namespace

CVellum_Slider::CVellum_Slider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(preferred_height);
    scale_.layout({width(), height()});
}

QSize CVellum_Slider::sizeHint() const { return {640, preferred_height}; }
QSize CVellum_Slider::minimumSizeHint() const { return {350, preferred_height}; }

void CVellum_Slider::set_range(double minimum, double maximum) {
    scale_.set_range(minimum, maximum);
    update();
}

void CVellum_Slider::set_selection(double from, double to) {
    const std::optional<int> corrected = scale_.set_selection(from, to);
    update();
    if (corrected) emit RANGE_CHANGED(*corrected, 0);
}

void CVellum_Slider::set_times(std::time_t earliest, std::time_t latest) {
    scale_.set_times(earliest, latest);
    update();
}

void CVellum_Slider::set_zoom_level(int level) {
    scale_.set_zoom_level(level);
    update();
}

void CVellum_Slider::set_highlight(double from, double to) {
    scale_.set_highlight(from, to);
    update();
}

void CVellum_Slider::set_highlight_on(bool on) {
    if (scale_.set_highlight_on(on)) update();
}

void CVellum_Slider::resizeEvent(QResizeEvent* event) {
    scale_.layout({width(), height()});
    QWidget::resizeEvent(event);
}

void CVellum_Slider::paint_ticks(QPainter& painter, const QRect& line) {
    if (scale_.empty()) return;
    const double span = scale_.maximum() - scale_.minimum();
    const double left = line.left() + scale_.thumb_size();
    const double unit = scale_.scale_width() / span;  // pixels per unit
    const QFontMetrics metrics(painter.font());
    // Label every n-th unit, n the smallest that leaves room for its text.
    const int widest = metrics.horizontalAdvance(scale_.zoom_level() == tuv::explorer::zoom_month
                                                     ? "May 0000"
                                                     : "0000") + 8;
    int every = 1;
    while (every * unit < widest && every < 1 << 20) every *= 2;
    const QColor tick = palette().color(QPalette::Mid);
    QColor text = palette().color(QPalette::WindowText);
    text.setAlphaF(0.6f);
    const int first = static_cast<int>(std::ceil(scale_.minimum()));
    const int last = static_cast<int>(std::floor(scale_.maximum()));
    for (int k = first; k <= last; ++k) {
        const double x = left + (k - scale_.minimum()) * unit;
        const bool labelled = (k - first) % every == 0 && k < last;
        if (unit >= 4 || labelled) {
            painter.setPen(QPen(tick, 1));
            const int length = labelled ? line.height() / 3 : line.height() / 6;
            painter.drawLine(QPointF(x, line.bottom() - length), QPointF(x, line.bottom()));
        }
        if (!labelled) continue;
        painter.setPen(text);
        const std::time_t moment =
            tuv::explorer::unit_start(scale_.zoom_level(), scale_.earliest(), k);
        const QRectF cell(x + 3, line.top() + 2, every * unit - 4, line.height() / 2.0);
        painter.drawText(
            cell, Qt::AlignLeft | Qt::AlignVCenter,
            QString::fromStdString(tuv::explorer::tick_text(scale_.zoom_level(), moment)));
    }
}

void CVellum_Slider::paint_button(QPainter& painter, const QRect& area, const QString& text,
                                  bool pressed) {
    const QPalette& colours = palette();
    painter.setPen(QPen(colours.color(QPalette::Mid), 1));
    painter.setBrush(pressed ? colours.color(QPalette::Mid) : colours.color(QPalette::Button));
    painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setPen(colours.color(QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter, text);
}

void CVellum_Slider::paintEvent(QPaintEvent*) {
    scale_.layout({width(), height()});
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Window));
    const QRect line = qt_rect(scale_.track());

    // The span's ends above the track.
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.9);
    painter.setFont(small);
    painter.setPen(colours.color(QPalette::WindowText));
    const QRect labels(line.left(), 0, line.width(), line.top());
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(scale_.start_label()));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromStdString(scale_.end_label()));

    // The track, and the whole span the form marks as the highlighted range.
    painter.setPen(QPen(colours.color(QPalette::Mid), 1));
    painter.setBrush(colours.color(QPalette::Base));
    painter.drawRoundedRect(QRectF(line).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    const QColor accent = colours.color(QPalette::Highlight);
    if (scale_.highlight_on() && !scale_.empty()) {
        QColor wash = accent;
        wash.setAlphaF(0.08f);
        const double left = scale_.x_of(scale_.highlight_from()) + scale_.thumb_size();
        const double right = scale_.x_of(scale_.highlight_to()) + scale_.thumb_size();
        painter.fillRect(QRectF(left, line.top() + 1, right - left, line.height() - 2), wash);
    }
    paint_ticks(painter, line);

    if (!scale_.empty()) {
        // The selected band: clearly filled, with the thumbs as grips at its ends.
        QColor fill = accent;
        fill.setAlphaF(0.35f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRect(QRectF(qt_rect(scale_.band())).adjusted(0, 2, 0, -2));
        for (const QRect& thumb : {qt_rect(scale_.from_thumb()), qt_rect(scale_.to_thumb())}) {
            painter.setPen(QPen(accent.darker(130), 1.5));
            painter.setBrush(accent);
            painter.drawRoundedRect(QRectF(thumb).adjusted(1, 1, -1, -1), 4, 4);
            painter.setPen(QPen(colours.color(QPalette::HighlightedText), 1.5));
            const double middle = thumb.left() + thumb.width() / 2.0;
            const double top = thumb.top() + thumb.height() * 0.3;
            const double bottom = thumb.top() + thumb.height() * 0.7;
            for (const double dx : {-3.0, 0.0, 3.0}) {
                painter.drawLine(QPointF(middle + dx, top), QPointF(middle + dx, bottom));
            }
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(line).adjusted(-2, -2, 2, 2), 6, 6);
    }

    painter.setFont(font());
    paint_button(painter, qt_rect(scale_.zoom_in_button()), "Zoom+", zoom_in_pressed_);
    paint_button(painter, qt_rect(scale_.zoom_out_button()), "Zoom-", zoom_out_pressed_);
    QFont bold = font();
    bold.setBold(true);
    const QRect status = qt_rect(scale_.status_row());
    const QStringList lines =
        status_lines(QString::fromStdString(scale_.status_text()), bold, status);
    painter.setFont(bold);
    painter.setPen(colours.color(QPalette::WindowText));
    const QFontMetrics metrics(bold);
    QStringList shown;
    for (const QString& line : lines) {
        shown << metrics.elidedText(line, Qt::ElideRight, status.width());
    }
    painter.drawText(status, Qt::AlignCenter, shown.join('\n'));
}

void CVellum_Slider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    scale_.layout({width(), height()});  // a hidden widget gets its resize event only when shown
    const tuv::gui::point point = plain_point(event->position().toPoint());
    const slider_part part = scale_.part_at(point);
    if (part == slider_part::zoom_in_button) zoom_in_pressed_ = true;
    if (part == slider_part::zoom_out_button) zoom_out_pressed_ = true;
    if (!scale_.dragging()) scale_.press(point);  // Qt grabs the mouse while a button is down
    update();
}

void CVellum_Slider::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<int> moved = scale_.drag_to(plain_point(event->position().toPoint()));
    if (!moved) return;
    emit RANGE_CHANGED(*moved, 0);
    update();
}

void CVellum_Slider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool over = rect().contains(event->position().toPoint());
    const bool zoom_in = zoom_in_pressed_;
    const bool zoom_out = zoom_out_pressed_;
    zoom_in_pressed_ = zoom_out_pressed_ = false;
    const bool dragged = scale_.release();
    update();
    if (zoom_in && over) emit ZOOM_CLICKED(tuv::explorer::zoom_in, 0);
    if (zoom_out && over) emit ZOOM_CLICKED(tuv::explorer::zoom_out, 0);
    if (dragged) emit REFRESH_HVIEW(0, 0);
}

void CVellum_Slider::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    scale_.layout({width(), height()});
    switch (event->key()) {
        case Qt::Key_Z:
            emit ZOOM_CLICKED(modifiers & Qt::AltModifier ? tuv::explorer::zoom_out
                                                          : tuv::explorer::zoom_in,
                              0);
            return;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const std::optional<int> moved =
                scale_.arrow(event->key() == Qt::Key_Left ? -1 : 1,
                             modifiers & Qt::ShiftModifier, modifiers & Qt::ControlModifier);
            if (moved) {
                emit RANGE_CHANGED(*moved, 0);
                update();
            }
            return;
        }
        default: QWidget::keyPressEvent(event);
    }
}

void CVellum_Slider::keyReleaseEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
    if (arrow && !event->isAutoRepeat()) {
        emit REFRESH_HVIEW(0, 0);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CVellum_Slider::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CVellum_Slider::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}
