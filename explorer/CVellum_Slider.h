// The time slider: a horizontal scale of the vault's time span with two
// thumbs and the band between them, the "Zoom+" and "Zoom-" buttons, the
// start and end labels and the status text. It paints what slider_scale
// computes and forwards the mouse and keys to it; it tells its parent what
// happened only through its three signals.
#pragma once

#include <QWidget>

#include "explorer/slider_scale.h"

class CVellum_Slider : public QWidget {
    Q_OBJECT
  public:
    explicit CVellum_Slider(QWidget* parent = nullptr);

    const tuv::explorer::slider_scale& scale() const { return scale_; }
    // For the form that keeps the scale in step with the document; it
    // repaints the slider after its changes.
    tuv::explorer::slider_scale& scale() { return scale_; }

    // Every setter repaints. set_selection reports a correction it had to
    // make through RANGE_CHANGED (0 the from end, 1 the to end).
    void set_range(double minimum, double maximum);
    void set_selection(double from, double to);
    void set_times(std::time_t earliest, std::time_t latest);
    void set_zoom_level(int level);
    void set_highlight(double from, double to);
    void set_highlight_on(bool on);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // which: 0 the from end moved, 1 the to end, 2 the band.
    void RANGE_CHANGED(int which, int unused);
    // which: 3 zoom in, 4 zoom out.
    void ZOOM_CLICKED(int which, int unused);
    // A drag or an arrow key ended: time to reload the list, once.
    void REFRESH_HVIEW(int unused1, int unused2);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void paint_ticks(QPainter& painter, const QRect& line);
    void paint_button(QPainter& painter, const QRect& area, const QString& text, bool pressed);

    tuv::explorer::slider_scale scale_;
    bool zoom_in_pressed_ = false;
    bool zoom_out_pressed_ = false;
};
