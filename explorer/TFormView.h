// The explorer's bottom pane: the "Use time filter" check box and the time
// slider. It sets the slider from the document (the unit the vault's span
// calls for, the stored range or the whole span), stores every change of
// the selection in the document, zooms, and on the slider's REFRESH_HVIEW
// has the list show the new period without refilling the tree.
//
// Borrows the document, which must outlive the form.
#pragma once

#include <QWidget>

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
    void time_filter_clicked(bool on);
    void refresh_list();
    void select_whole_scale(int zoom_level, double maximum);

    CVellum_ExplorerDoc& document_;
    QCheckBox* time_filter_;
    CVellum_Slider* slider_;
    bool refreshing_ = false;  // the views change because the form asked
};
