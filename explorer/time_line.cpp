#include "explorer/time_line.h"

#include <exception>
#include <utility>

#include "explorer/explorer_document.h"
#include "gui/captions.h"

namespace tuv::explorer {

using gui::prompt_icon;

time_line::time_line(explorer_document& document, slider_scale& scale,
                     std::function<void()> repaint, std::function<void(bool)> show_time_filter,
                     gui::native_window owner)
    : document_(document),
      scale_(scale),
      repaint_(std::move(repaint)),
      show_time_filter_(std::move(show_time_filter)),
      owner_(owner) {}

void time_line::select_whole_scale(int zoom_level, double maximum) {
    scale_.set_zoom_level(zoom_level);
    document_.set_zoom_level(zoom_level);
    scale_.set_range(0.0, maximum);
    scale_.set_highlight(0.0, maximum);
    document_.set_selected_range(0.0, maximum);
    scale_.set_selection(0.0, maximum);
}

void time_line::update_from_document() {
    try {
        const auto [earliest, latest] = document_.vault_time_span();
        const scale_unit unit = natural_unit(earliest, latest);
        // The times come first: the slider's texts count from them.
        scale_.set_times(earliest, latest);
        scale_.set_range(0.0, unit.maximum);
        const slider_state& kept = document_.slider();
        bool reselected = false;
        if (kept.use_time_filter && unit.zoom_level == scale_.zoom_level()) {
            if (scale_.set_selection(kept.from, kept.to)) range_changed();
        } else {
            reselected = kept.use_time_filter && (kept.from != 0.0 || kept.to != unit.maximum ||
                                                  kept.zoom_level != unit.zoom_level);
            select_whole_scale(unit.zoom_level, unit.maximum);
        }
        document_.set_time_span(earliest, latest);
        scale_.set_highlight_on(true);
        repaint_();
        show_time_filter_(kept.use_time_filter);
        // The list was built for the period before: it follows the label.
        if (reselected) refresh_list();
    } catch (const std::exception&) {
        document_.prompts().message(owner_, gui::support_error_text, gui::caption_explorer,
                                    prompt_icon::error);
    }
}

void time_line::views_changed() {
    if (!refreshing_) update_from_document();
}

void time_line::range_changed() {
    document_.set_selected_range(scale_.from(), scale_.to());
}

void time_line::zoom_clicked(int which) {
    const zoom_result result = zoom(scale_.zoom_level(), which, scale_.earliest(), scale_.latest());
    if (result.refusal != nullptr) {
        document_.prompts().message(owner_, result.refusal, gui::caption_explorer,
                                    prompt_icon::information);
        return;
    }
    if (!result.unit) return;
    select_whole_scale(result.unit->zoom_level, result.unit->maximum);
    repaint_();
    // The label now names the whole span: so does the list.
    if (document_.slider().use_time_filter) refresh_list();
}

void time_line::drag_ended() {
    if (document_.slider().use_time_filter) refresh_list();
}

void time_line::time_filter_clicked(bool on) {
    document_.set_use_time_filter(on);
    if (on) document_.set_selected_range(scale_.from(), scale_.to());
    // The list follows the box at once rather than at the next drag.
    refresh_list();
}

void time_line::refresh_list() {
    // The tree keeps its items: only the list shows the new period. The form
    // does not answer its own update, so a zoomed-in scale stays zoomed.
    const bool refill_tree = document_.refresh_flag();
    document_.set_refresh_flag(false);
    refreshing_ = true;
    try {
        document_.rebuild_history();
        document_.update_views();
    } catch (const std::exception&) {
        document_.prompts().message(owner_, gui::support_error_text, gui::caption_explorer,
                                    prompt_icon::error);
    }
    refreshing_ = false;
    document_.set_refresh_flag(refill_tree);
}

}  // namespace tuv::explorer
