// A moment in time as whole seconds since 1970-01-01 00:00:00 UTC, with a flag
// telling whether it was assigned since it was made.
//
// Text is always local time in date_format ("YYYY-MM-DD HH:MM:SS"); the text
// "now" (exactly) stands for the current time. Reading a text that the format
// does not match from its first character to its last, or whose fields name
// no moment of the local calendar (30 February, second 60, a time that a
// daylight-saving change skips), throws invalid_date_exception ("Invalid date
// format"). A date is a plain value: it owns nothing and is copied freely.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace tuv {

// The one format dates are read in and written with.
inline constexpr const char* date_format = "%Y-%m-%d %H:%M:%S";

class date {
  public:
    // The epoch, unchanged.
    date() noexcept = default;
    // `seconds` as given, unchanged.
    explicit date(std::time_t seconds) noexcept : seconds_(seconds) {}
    // "now" or a local time in date_format, unchanged. Throws
    // invalid_date_exception when the text does not match or names no moment.
    explicit date(const std::string& text);

    // Assigns the moment the text names (as the text constructor) and marks
    // the date changed. On invalid_date_exception the date is left as it was.
    void set(const std::string& text);

    std::time_t seconds() const noexcept { return seconds_; }
    bool changed() const noexcept { return changed_; }
    void set_changed(bool changed) noexcept { changed_ = changed; }

    // The local broken-down time of the value (all fields zero if the value
    // has no local time).
    void to_tm(std::tm& out) const;

    // The local time in date_format; empty when it does not fit in 19
    // characters (a year past 9999) or the value has no local time.
    std::string to_text() const;

  private:
    std::time_t seconds_ = 0;
    bool changed_ = false;
};

// The moment the local calendar fields of `fields` name (tm_year to tm_sec;
// the rest is ignored), read as date's text is, or nullopt for fields that
// its text would refuse.
std::optional<std::time_t> local_moment(const std::tm& fields);

// The first moment of the local day that the year, month and day of
// `fields` name (midnight, or the end of a daylight-saving gap that skips
// midnight), or nullopt for a day the month does not have: the day is
// refused rather than carried into the next month, as date's text is.
std::optional<std::time_t> local_day_start(const std::tm& fields);

}  // namespace tuv
