#include "explorer/history_period.h"

#include <algorithm>

namespace tuv::explorer {
namespace {

std::time_t local_time_of(std::tm fields) {
    fields.tm_isdst = -1;  // let the calendar decide, as the journal's stamps do
    return std::mktime(&fields);
}

}  // namespace

std::time_t unit_start(int zoom_level, std::time_t earliest, int units) {
    std::tm base{};
    localtime_r(&earliest, &base);
    std::tm fields{};
    fields.tm_year = base.tm_year + (zoom_level == zoom_year ? units : 0);
    fields.tm_mon = zoom_level == zoom_year ? 0 : base.tm_mon + (zoom_level == zoom_month ? units : 0);
    fields.tm_mday = zoom_level == zoom_day ? base.tm_mday + units : 1;  // mktime carries over
    return local_time_of(fields);
}

time_period period_of(const slider_state& slider) {
    const int from = static_cast<int>(slider.from);
    const int to = static_cast<int>(slider.to);
    time_period period{unit_start(slider.zoom_level, slider.earliest, from),
                       unit_start(slider.zoom_level, slider.earliest, to + 1) - 1};
    if (slider.zoom_level != zoom_day) {
        period.start = std::max(period.start, slider.earliest);
        period.end = std::min(period.end, slider.latest);
    }
    return period;
}

void keep_within(std::vector<change_entry>& entries, const time_period& period) {
    std::erase_if(entries, [&](const change_entry& entry) {
        const std::time_t moment = local_time_of(entry.time);
        return moment < period.start || moment > period.end;
    });
}

}  // namespace tuv::explorer
