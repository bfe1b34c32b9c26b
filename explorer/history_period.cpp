#include "explorer/history_period.h"

#include <algorithm>

namespace tuv::explorer {
namespace {

constexpr std::time_t seconds_per_day = 86400;

std::time_t local_time_of(std::tm fields) {
    fields.tm_isdst = -1;  // let the calendar decide, as the journal's stamps do
    return std::mktime(&fields);
}

// The first moment of the month `months` after the month of `base`.
std::time_t month_start(const std::tm& base, int months) {
    std::tm fields{};
    fields.tm_year = base.tm_year;
    fields.tm_mon = base.tm_mon + months;  // mktime carries into the years
    fields.tm_mday = 1;
    return local_time_of(fields);
}

std::time_t year_start(const std::tm& base, int years) {
    std::tm fields{};
    fields.tm_year = base.tm_year + years;
    fields.tm_mday = 1;
    return local_time_of(fields);
}

}  // namespace

time_period period_of(const slider_state& slider) {
    const int from = static_cast<int>(slider.from);
    const int to = static_cast<int>(slider.to);
    if (slider.zoom_level == zoom_day) {
        return {slider.earliest + from * seconds_per_day,
                slider.earliest + (to + 1) * seconds_per_day};
    }
    std::tm base{};
    localtime_r(&slider.earliest, &base);
    time_period period = slider.zoom_level == zoom_year
                             ? time_period{year_start(base, from), year_start(base, to + 1)}
                             : time_period{month_start(base, from), month_start(base, to + 1)};
    period.start = std::max(period.start, slider.earliest);
    period.end = std::min(period.end, slider.latest);
    return period;
}

void keep_within(std::vector<change_entry>& entries, const time_period& period) {
    std::erase_if(entries, [&](const change_entry& entry) {
        const std::time_t moment = local_time_of(entry.time);
        return moment < period.start || moment > period.end;
    });
}

}  // namespace tuv::explorer
