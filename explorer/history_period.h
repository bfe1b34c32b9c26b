// The period the time slider selects, in calendar time, and the history
// entries that lie in it. The slider and the search filter both build on it.
#pragma once

#include <ctime>
#include <vector>

#include "core/vault/catalogue.h"

namespace tuv::explorer {

// Units of the slider's scale.
inline constexpr int zoom_year = 0;
inline constexpr int zoom_month = 1;
inline constexpr int zoom_day = 2;

// What the slider and the history list share (kept by the document).
struct slider_state {
    int zoom_level = zoom_day;
    bool use_time_filter = false;
    bool range_selected = false;
    double from = 0.0;  // in units of zoom_level, counted from `earliest`
    double to = 0.0;
    std::time_t earliest = 0;
    std::time_t latest = 0;
    bool times_set = false;
};

struct time_period {
    std::time_t start = 0;
    std::time_t end = 0;  // included
};

// The first moment (local midnight) of the year, month or day that lies
// `units` whole units after the one holding `earliest`, in calendar units,
// so that daylight saving changes never shift a date.
std::time_t unit_start(int zoom_level, std::time_t earliest, int units);

// The calendar period of the selected range: whole years, months or days
// from the earliest change's year, month or day, from the first moment of
// unit `from` to the last second before unit `to` + 1, so that both bounds
// are included and nothing of the next unit is; at year and month level it
// is clamped to earliest .. latest.
time_period period_of(const slider_state& slider);

// Drops the entries whose change time lies outside `period` (both bounds
// included), keeping the order of the others.
void keep_within(std::vector<change_entry>& entries, const time_period& period);

}  // namespace tuv::explorer
