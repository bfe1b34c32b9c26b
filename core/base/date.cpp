#include "core/base/date.h"

#include <cerrno>

#include "core/base/errors.h"
#include "core/base/parse_time.h"

namespace tuv {
namespace {

// mktime on the calendar fields of `fields`, with daylight saving decided by
// mktime so that a text produced by to_text() reads back to its value. It
// carries fields that are out of range into the next ones (30 February into
// March, second 60 into the next minute, a time in a spring-forward gap an
// hour on); `out` gets the fields as it left them. nullopt when the moment
// lies beyond time_t.
std::optional<std::time_t> normalised(const std::tm& fields, std::tm& out) {
    out = std::tm{};
    out.tm_year = fields.tm_year;
    out.tm_mon = fields.tm_mon;
    out.tm_mday = fields.tm_mday;
    out.tm_hour = fields.tm_hour;
    out.tm_min = fields.tm_min;
    out.tm_sec = fields.tm_sec;
    out.tm_isdst = -1;
    errno = 0;
    const std::time_t seconds = std::mktime(&out);
    if (seconds == -1 && errno == EOVERFLOW) return std::nullopt;
    return seconds;
}

bool same_day(const std::tm& a, const std::tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday;
}

std::time_t seconds_from_text(const std::string& text) {
    if (text == "now") return std::time(nullptr);

    // The whole text must be the date: "10:00:00xyz" or an embedded NUL is
    // not a date with something after it.
    std::tm tm{};
    const char* end = parse_time(text.c_str(), date_format, tm);
    if (end != text.c_str() + text.size()) throw invalid_date_exception();
    const std::optional<std::time_t> seconds = local_moment(tm);
    if (!seconds) throw invalid_date_exception();
    return *seconds;
}

}  // namespace

std::optional<std::time_t> local_moment(const std::tm& fields) {
    std::tm tm{};
    const std::optional<std::time_t> seconds = normalised(fields, tm);
    // Refusing a time in a spring-forward gap rather than taking mktime's
    // shifted one keeps one rule: the clock never showed it.
    if (!seconds || !same_day(tm, fields) || tm.tm_hour != fields.tm_hour ||
        tm.tm_min != fields.tm_min || tm.tm_sec != fields.tm_sec) {
        return std::nullopt;
    }
    return seconds;
}

std::optional<std::time_t> local_day_start(const std::tm& fields) {
    std::tm midnight{};
    midnight.tm_year = fields.tm_year;
    midnight.tm_mon = fields.tm_mon;
    midnight.tm_mday = fields.tm_mday;
    std::tm tm{};
    const std::optional<std::time_t> seconds = normalised(midnight, tm);
    // Where a daylight-saving change skips midnight the day begins after the
    // gap, where mktime puts it: only the day must stay.
    if (!seconds || !same_day(tm, fields)) return std::nullopt;
    return seconds;
}

date::date(const std::string& text) : seconds_(seconds_from_text(text)) {}

void date::set(const std::string& text) {
    seconds_ = seconds_from_text(text);
    changed_ = true;
}

void date::to_tm(std::tm& out) const {
    out = std::tm{};
    if (localtime_r(&seconds_, &out) == nullptr) out = std::tm{};
}

std::string date::to_text() const {
    std::tm tm{};
    if (localtime_r(&seconds_, &tm) == nullptr) return {};
    // Room for "YYYY-MM-DD HH:MM:SS" and its NUL; strftime gives 0 for
    // anything longer.
    char buffer[20];
    const std::size_t length = std::strftime(buffer, sizeof buffer, date_format, &tm);
    return std::string(buffer, length);
}

}  // namespace tuv
