// The explorer's bottom pane, without a toolkit: the "Use time filter" box
// and the time slider, kept in step with the document. It sets the slider's
// scale from the document (the unit the vault's span calls for, the stored
// range or the whole span), stores every change of the selection in the
// document, zooms, and when a drag ends has the list show the new period
// without refilling the tree. The presentation owns the slider's scale,
// paints it and forwards the slider's reports here.
//
// Borrows the document and the scale, which must outlive it.
#pragma once

#include <functional>

#include "explorer/slider_scale.h"
#include "gui/prompter.h"

namespace tuv::explorer {

class explorer_document;

class time_line {
  public:
    // `repaint` draws the slider again; `show_time_filter` sets the box
    // without reporting a click; messages go over `owner`.
    time_line(explorer_document& document, slider_scale& scale, std::function<void()> repaint,
              std::function<void(bool)> show_time_filter, gui::native_window owner);

    // The form's update from the document; errors are shown.
    void update_from_document();
    // The views changed: the form follows, unless it asked for the change.
    void views_changed();

    // The slider's reports: an end or the band moved (RANGE_CHANGED), a zoom
    // button or key (ZOOM_CLICKED: zoom_in or zoom_out), a drag or an arrow
    // key ended (REFRESH_HVIEW).
    void range_changed();
    void zoom_clicked(int which);
    void drag_ended();
    // The "Use time filter" box was clicked.
    void time_filter_clicked(bool on);

  private:
    void select_whole_scale(int zoom_level, double maximum);
    void refresh_list();

    explorer_document& document_;
    slider_scale& scale_;
    std::function<void()> repaint_;
    std::function<void(bool)> show_time_filter_;
    gui::native_window owner_;
    bool refreshing_ = false;  // the views change because the form asked
};

}  // namespace tuv::explorer
