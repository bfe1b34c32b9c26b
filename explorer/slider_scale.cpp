#include "explorer/slider_scale.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace tuv::explorer {
namespace {

constexpr long long seconds_per_day = 86400;
constexpr int label_row = 18;     // start and end labels above the track
constexpr int bottom_row = 30;    // zoom buttons and the status text below it
constexpr int button_width = 56;
constexpr int button_height = 24;
constexpr int button_gap = 4;

constexpr std::array<const char*, 12> month_names{"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};

std::tm local_fields(std::time_t moment) {
    std::tm fields{};
    localtime_r(&moment, &fields);
    return fields;
}

int local_year(std::time_t moment) {
    return local_fields(moment).tm_year + 1900;
}

template <typename... Values>
std::string formatted(const char* pattern, Values... values) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

}  // namespace

long long span_days(std::time_t earliest, std::time_t latest) {
    return std::max<long long>(1, (latest - earliest) / seconds_per_day);
}

double maximum_for(int zoom_level, std::time_t earliest, std::time_t latest) {
    const long long days = span_days(earliest, latest);
    if (zoom_level == zoom_year) return local_year(latest) - local_year(earliest) + 1;
    // The scale reaches at least the unit the latest change lies in, or a
    // change late in its day (or month) would fall outside the whole span.
    std::tm first{}, last{};
    localtime_r(&earliest, &first);
    localtime_r(&latest, &last);
    if (zoom_level == zoom_month) {
        const long long months = (last.tm_year - first.tm_year) * 12LL + last.tm_mon - first.tm_mon;
        return static_cast<double>(std::max((days + 29) / 30, months));
    }
    const auto date_of = [](const std::tm& fields) {
        return std::chrono::sys_days{std::chrono::year{fields.tm_year + 1900} /
                                     std::chrono::month{unsigned(fields.tm_mon + 1)} /
                                     std::chrono::day{unsigned(fields.tm_mday)}};
    };
    return static_cast<double>(std::max<long long>(days, (date_of(last) - date_of(first)).count()));
}

scale_unit natural_unit(std::time_t earliest, std::time_t latest) {
    if (latest == 0) return {zoom_day, 0.0};  // nothing checked in yet
    const long long days = span_days(earliest, latest);
    const int level = days < 366 ? zoom_day : days > 1095 ? zoom_year : zoom_month;
    return {level, maximum_for(level, earliest, latest)};
}

zoom_result zoom(int zoom_level, int direction, std::time_t earliest, std::time_t latest) {
    const int natural = natural_unit(earliest, latest).zoom_level;
    int next = zoom_level;
    if (direction == zoom_in) {
        if (zoom_level == zoom_day) return {std::nullopt, at_day_level};
        next = zoom_level + 1;
    } else {
        if (zoom_level == zoom_year) return {std::nullopt, at_year_level};
        // Coarser than the span allows would squeeze it into one unit.
        if (natural > zoom_level - 1) return {};
        next = zoom_level - 1;
    }
    if (latest == 0) return {};
    return {scale_unit{next, maximum_for(next, earliest, latest)}, nullptr};
}

void slider_scale::set_range(double minimum, double maximum) {
    if (minimum > maximum) std::swap(minimum, maximum);
    minimum_ = minimum;
    maximum_ = maximum;
    from_ = std::clamp(from_, minimum_, maximum_);
    to_ = std::clamp(to_, from_, maximum_);
}

std::optional<int> slider_scale::set_selection(double from, double to) {
    std::optional<int> corrected;
    if (from < minimum_ || from > maximum_) {
        from = std::clamp(from, minimum_, maximum_);
        corrected = moved_from;
    }
    if (to < minimum_ || to > maximum_) {
        to = std::clamp(to, minimum_, maximum_);
        corrected = moved_to;
    }
    if (from > to) {
        from = to;
        corrected = moved_from;
    }
    from_ = from;
    to_ = to;
    return corrected;
}

void slider_scale::set_times(std::time_t earliest, std::time_t latest) {
    earliest_ = earliest;
    latest_ = latest;
}

void slider_scale::set_highlight(double from, double to) {
    highlight_from_ = from;
    highlight_to_ = to;
}

bool slider_scale::set_highlight_on(bool on) {
    const bool changed = highlight_on_ != on;
    highlight_on_ = on;
    return changed;
}

void slider_scale::layout(gui::extent size) {
    size_ = size;
    thumb_ = std::max(0, 3 * (size.height - margin) / 4);
    scale_width_ = size.width - (2 * thumb_ + 2 * margin);
}

double slider_scale::fraction(double value) const {
    return empty() ? 0.0 : (value - minimum_) / (maximum_ - minimum_);
}

double slider_scale::x_of(double value) const { return margin + scale_width_ * fraction(value); }

gui::rect slider_scale::track() const {
    const int height = std::max(8, size_.height - bottom_row - label_row - 2);
    return {margin, label_row, std::max(0, scale_width_) + 2 * thumb_, height};
}

gui::rect slider_scale::from_thumb() const {
    const gui::rect line = track();
    return {static_cast<int>(x_of(from_)), line.top, thumb_, line.height};
}

gui::rect slider_scale::to_thumb() const {
    const gui::rect line = track();
    return {static_cast<int>(x_of(to_)) + thumb_, line.top, thumb_, line.height};
}

gui::rect slider_scale::band() const {
    const gui::rect left = from_thumb();
    const gui::rect right = to_thumb();
    return {left.right() + 1, left.top, right.left - left.right() - 1, left.height};
}

gui::rect slider_scale::zoom_in_button() const {
    return {margin, size_.height - bottom_row + 3, button_width, button_height};
}

gui::rect slider_scale::zoom_out_button() const {
    return zoom_in_button().translated(button_width + button_gap, 0);
}

gui::rect slider_scale::status_row() const {
    const int left = zoom_out_button().right() + 1 + button_gap;
    return {left, size_.height - bottom_row, std::max(0, size_.width - margin - left), bottom_row};
}

slider_part slider_scale::part_at(gui::point point) const {
    if (zoom_in_button().contains(point)) return slider_part::zoom_in_button;
    if (zoom_out_button().contains(point)) return slider_part::zoom_out_button;
    if (empty()) return slider_part::none;
    if (from_thumb().contains(point)) return slider_part::from_thumb;
    if (to_thumb().contains(point)) return slider_part::to_thumb;
    if (band().contains(point)) return slider_part::band;
    return slider_part::none;
}

slider_part slider_scale::press(gui::point point) {
    const slider_part part = part_at(point);
    // The centres the drag formulas use, unrounded, so that grabbing a
    // part never makes it jump.
    double centre = 0.0;
    switch (part) {
        case slider_part::from_thumb: centre = x_of(from_) + thumb_ / 2.0; break;
        case slider_part::to_thumb: centre = x_of(to_) + 3 * thumb_ / 2.0; break;
        case slider_part::band: centre = (x_of(from_) + x_of(to_)) / 2 + thumb_; break;
        default: return slider_part::none;
    }
    dragging_ = part;
    grab_offset_ = point.x - centre;
    return part;
}

std::optional<int> slider_scale::drag_to(gui::point point) {
    if (!dragging() || empty() || scale_width_ <= 0) return std::nullopt;
    const double x = point.x - grab_offset_;
    const double range = maximum_ - minimum_;
    const auto value_at = [&](double offset) {
        return (x - margin - offset) / scale_width_ * range + minimum_;
    };
    switch (dragging_) {
        case slider_part::from_thumb:
            from_ = std::max(std::min(value_at(thumb_ / 2.0), to_), minimum_);
            return moved_from;
        case slider_part::to_thumb:
            to_ = std::min(std::max(value_at(3 * thumb_ / 2.0), from_), maximum_);
            return moved_to;
        default: {
            // The band's centre follows the pointer; at an end of the scale
            // it stops there, keeping its width.
            const double width = to_ - from_;
            const double from = std::clamp(value_at(thumb_) - width / 2, minimum_, maximum_ - width);
            from_ = from;
            to_ = from + width;
            return moved_band;
        }
    }
}

bool slider_scale::release() {
    const bool was = dragging();
    dragging_ = slider_part::none;
    return was;
}

std::optional<int> slider_scale::arrow(int direction, bool shift, bool ctrl) {
    if (empty() || scale_width_ <= 0) return std::nullopt;
    const double step = direction * (maximum_ - minimum_) / scale_width_;
    const auto outside = [&](double value) { return value < minimum_ || value > maximum_; };
    if (shift) {
        if (outside(to_ + step)) return std::nullopt;
        const double to = std::max(to_ + step, from_);
        if (to == to_) return std::nullopt;
        to_ = to;
        return moved_from;
    }
    if (ctrl) {
        if (outside(from_ + step)) return std::nullopt;
        const double from = std::min(from_ + step, to_);
        if (from == from_) return std::nullopt;
        from_ = from;
        return moved_from;
    }
    if (outside(from_ + step) || outside(to_ + step)) return std::nullopt;
    from_ += step;
    to_ += step;
    return moved_band;
}

std::string slider_scale::moment_text(std::time_t moment) const {
    const std::tm when = local_fields(moment);
    const char* month = month_names[static_cast<std::size_t>(when.tm_mon)];
    switch (zoom_level_) {
        case zoom_year:
            return std::to_string(when.tm_year + 1900);
        case zoom_month:
            return formatted("%s, %d", month, when.tm_year + 1900);
        default:
            return formatted("%s %02d, %d", month, when.tm_mday, when.tm_year + 1900);
    }
}

// The unit a scale value names, counted in calendar units from the earliest
// change's, so that the text and the period always name the same time.
std::string slider_scale::unit_text(double value) const {
    return moment_text(unit_start(zoom_level_, earliest_, static_cast<int>(value)));
}

std::string slider_scale::status_text() const {
    if (empty()) return {};
    // One unit is selected when the ends meet; a band inside one unit is
    // still a range.
    if (from_ == to_) {
        const char* unit = zoom_level_ == zoom_year    ? "year"
                           : zoom_level_ == zoom_month ? "month"
                                                       : "date";
        return "Selected " + std::string(unit) + ": " + unit_text(from_);
    }
    // The year scale reaches one past the latest year: its end names that.
    const double to = zoom_level_ == zoom_year && to_ == maximum_ ? to_ - 1 : to_;
    return "Selected Range From: " + unit_text(from_) + " To: " + unit_text(to);
}

std::string slider_scale::start_label() const {
    return empty() ? std::string() : moment_text(earliest_);
}

std::string slider_scale::end_label() const {
    return empty() ? std::string() : moment_text(latest_);
}

std::string tick_text(int zoom_level, std::time_t moment) {
    const std::tm when = local_fields(moment);
    if (zoom_level == zoom_year) return std::to_string(when.tm_year + 1900);
    if (zoom_level == zoom_month) {
        // January carries its year, so that a long month scale stays readable.
        const std::string month(month_names[static_cast<std::size_t>(when.tm_mon)], 3);
        return when.tm_mon == 0 ? month + " " + std::to_string(when.tm_year + 1900) : month;
    }
    return std::to_string(when.tm_mday);
}

slider_state slider_scale::state() const {
    slider_state state;
    state.zoom_level = zoom_level_;
    state.from = from_;
    state.to = to_;
    state.earliest = earliest_;
    state.latest = latest_;
    state.range_selected = true;
    state.times_set = true;
    return state;
}

}  // namespace tuv::explorer
