// What the main dialog of the check-in program asks, without the widgets:
// the selection it shows, the destination directory, the moment from the
// date and time pickers, and the description. Texts are UTF-8.
#pragma once

#include <compare>
#include <string>

#include "checkin/command_line.h"

namespace tuv::checkin_app {

inline constexpr const char* multiple_files_text = "Multiple Files are selected";
// In characters (code points), not bytes.
inline constexpr std::size_t description_limit = 1000;

// A day of the local calendar, as the date picker shows it.
struct calendar_day {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    auto operator<=>(const calendar_day&) const = default;
};

// A time of day to the second, as the time picker shows it.
struct clock_time {
    int hour = 0;  // 0 to 23
    int minute = 0;
    int second = 0;
    auto operator<=>(const clock_time&) const = default;
};

class checkin_form {
  public:
    // `opened_day` and `opened_time` are the moment the dialog opened: the
    // pickers start there and never go past it. The directory is form B's
    // destination, else the root.
    checkin_form(const command_line& line, std::string separator, calendar_day opened_day,
                 clock_time opened_time);

    // The Source File text: the selected path, or multiple_files_text.
    std::string source_text() const;
    // The Destination File text: the directory, and with one file selected
    // the separator (unless the directory is the root) and its name.
    std::string destination_text() const;

    const std::string& directory() const { return directory_; }
    void set_directory(std::string directory) { directory_ = std::move(directory); }

    calendar_day date() const { return date_; }
    clock_time time() const { return time_; }
    // Each is kept at or before the opening moment: a date after it becomes
    // its day; a time on its day past it becomes its time.
    void set_date(calendar_day date);
    void set_time(clock_time time);
    calendar_day latest_date() const { return opened_day_; }
    // The latest time the time picker offers on the chosen day.
    clock_time latest_time() const;
    // "%Y-%m-%d %H:%M:%S", e.g. "2008-05-17 14:03:22".
    std::string date_text() const;

    const std::string& description() const { return description_; }
    // Keeps the first description_limit characters of UTF-8 `text`.
    void set_description(const std::string& text);

  private:
    command_line line_;
    std::string separator_;
    std::string directory_;
    calendar_day opened_day_;
    clock_time opened_time_;
    calendar_day date_;
    clock_time time_;
    std::string description_;
};

// The first `limit` characters of UTF-8 `text`, cut between characters.
std::string first_characters(const std::string& text, std::size_t limit);

}  // namespace tuv::checkin_app
