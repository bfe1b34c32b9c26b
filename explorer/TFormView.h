// The explorer's bottom pane: the "Use time filter" check box and the time
// slider, kept in step with the document by the shared time line.
//
// Borrows the document, which must outlive the form.
#pragma once

#include <QWidget>

#include "explorer/time_line.h"

class CVellum_ExplorerDoc;
class CVellum_Slider;
class QCheckBox;

class TFormView : public QWidget {
    Q_OBJECT
  public:
    explicit TFormView(CVellum_ExplorerDoc& document, QWidget* parent = nullptr);

    CVellum_Slider& slider() const { return *slider_; }
    QCheckBox& time_filter() const { return *time_filter_; }

    // The form's update from the document; runs whenever the views change,
    // except for the changes the form itself asks for. Errors are shown.
    void update_from_document();

  public slots:
    void RANGE_CHANGED(int which, int unused);
    void ZOOM_CLICKED(int which, int unused);
    void REFRESH_HVIEW(int unused1, int unused2);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CVellum_ExplorerDoc& document_;
    QCheckBox* time_filter_;
    CVellum_Slider* slider_;
    tuv::explorer::time_line line_;
};
