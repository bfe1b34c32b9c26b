// The time slider's arithmetic, without a widget: the unit a vault's span
// calls for, the scale and the selection on it, where each part lies for a
// given size, what a point hits, how drags and arrow keys move the ends, the
// texts the slider shows and the period it selects in calendar time.
// CVellum_Slider paints what this class computes and forwards its input here.
//
// Invariant: minimum <= from <= to <= maximum. A scale with maximum equal
// to minimum (a vault with no check-in yet) selects nothing and moves
// nothing.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "explorer/history_period.h"
#include "gui/geometry.h"

namespace tuv::explorer {

// What the slider reports to its parent (the first parameter of its signals).
inline constexpr int moved_from = 0;
inline constexpr int moved_to = 1;
inline constexpr int moved_band = 2;
inline constexpr int zoom_in = 3;
inline constexpr int zoom_out = 4;

inline constexpr const char* at_day_level = "You are already at day level.";
inline constexpr const char* at_year_level = "You are already at year level.";

// A unit of the scale and the scale's maximum in that unit.
struct scale_unit {
    int zoom_level = zoom_day;
    double maximum = 0.0;
};

// Whole days between the two moments, at least 1.
long long span_days(std::time_t earliest, std::time_t latest);
// The scale's maximum for `zoom_level`: days, days / 30 rounded up, or the
// count of calendar years touched (local time).
double maximum_for(int zoom_level, std::time_t earliest, std::time_t latest);
// Days below 366, years above 1095, months between. A vault with no
// check-in (latest 0) gets an empty day scale.
scale_unit natural_unit(std::time_t earliest, std::time_t latest);

// Where a zoom click (zoom_in or zoom_out) leads from `zoom_level`: the new
// unit, nothing (a unit the span does not allow), or the refusal to show
// when already at the finest or coarsest unit.
struct zoom_result {
    std::optional<scale_unit> unit;
    const char* refusal = nullptr;
};
zoom_result zoom(int zoom_level, int direction, std::time_t earliest, std::time_t latest);

// A tick's label on a scale of `zoom_level` for the unit starting at
// `moment`: the year, the month's short name (January with its year) or the
// day of the month.
std::string tick_text(int zoom_level, std::time_t moment);

enum class slider_part { none, from_thumb, to_thumb, band, zoom_in_button, zoom_out_button };

class slider_scale {
  public:
    // Fixed margins of the geometry: the scale begins this far from the left
    // edge, and the form's height minus this is what the thumbs scale with.
    static constexpr int margin = 30;

    // --- State -----------------------------------------------------------
    // Swaps the ends when minimum > maximum; the selection is kept within.
    void set_range(double minimum, double maximum);
    // Sets the selection; when an end had to be corrected (outside the
    // scale, or from > to) returns which one (moved_from or moved_to).
    std::optional<int> set_selection(double from, double to);
    void set_times(std::time_t earliest, std::time_t latest);
    void set_zoom_level(int level) { zoom_level_ = level; }
    void set_highlight(double from, double to);
    // True when the flag changed (the widget repaints only then).
    bool set_highlight_on(bool on);

    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double from() const { return from_; }
    double to() const { return to_; }
    int zoom_level() const { return zoom_level_; }
    double highlight_from() const { return highlight_from_; }
    double highlight_to() const { return highlight_to_; }
    bool highlight_on() const { return highlight_on_; }
    std::time_t earliest() const { return earliest_; }
    std::time_t latest() const { return latest_; }
    bool empty() const { return maximum_ <= minimum_; }

    // --- Geometry (for a client area of `size`) ---------------------------
    void layout(gui::extent size);
    int thumb_size() const { return thumb_; }
    int scale_width() const { return scale_width_; }
    // The track the thumbs run on, from the scale's start to its end.
    gui::rect track() const;
    gui::rect from_thumb() const;
    gui::rect to_thumb() const;
    // Between the two thumbs; empty when from == to.
    gui::rect band() const;
    gui::rect zoom_in_button() const;
    gui::rect zoom_out_button() const;
    // The row below the track holding the status text.
    gui::rect status_row() const;
    // x of scale value `value` on the track (the from thumb's left edge).
    double x_of(double value) const;
    slider_part part_at(gui::point point) const;

    // --- Mouse -------------------------------------------------------------
    // A press on a thumb or the band starts dragging it and returns it; a
    // press elsewhere starts nothing.
    slider_part press(gui::point point);
    bool dragging() const { return dragging_ != slider_part::none; }
    // Moves the dragged part to follow the pointer; returns what moved.
    std::optional<int> drag_to(gui::point point);
    // Ends a drag; true when one was under way.
    bool release();

    // --- Keys -----------------------------------------------------------------
    // Left (-1) or right (+1) by one pixel of the scale: the band, or with
    // `shift` the to end, or with `ctrl` the from end. Returns what to
    // report, nothing when nothing moved.
    std::optional<int> arrow(int direction, bool shift, bool ctrl);

    // --- Texts and the period -----------------------------------------------
    std::string status_text() const;
    std::string start_label() const;  // the earliest change, in the unit's format
    std::string end_label() const;    // the latest change
    // The selection as the document keeps it, and its period.
    slider_state state() const;
    time_period period() const { return period_of(state()); }

  private:
    double fraction(double value) const;
    std::string unit_text(double value) const;
    std::string moment_text(std::time_t moment) const;

    double minimum_ = 0.0;
    double maximum_ = 1.0;
    double from_ = 0.0;
    double to_ = 1.0;
    double highlight_from_ = 0.0;
    double highlight_to_ = 0.0;
    bool highlight_on_ = false;
    int zoom_level_ = zoom_year;
    std::time_t earliest_ = std::time(nullptr);
    std::time_t latest_ = earliest_;

    gui::extent size_;
    int thumb_ = 10;
    int scale_width_ = 0;

    slider_part dragging_ = slider_part::none;
    double grab_offset_ = 0.0;  // pointer x minus the grabbed part's centre
};

}  // namespace tuv::explorer
