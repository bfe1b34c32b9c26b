#include "checkin/checkin_form.h"

#include <algorithm>
#include <cstdio>

#include "gui/command_line.h"

namespace tuv::checkin_app {

checkin_form::checkin_form(const command_line& line, std::string separator, calendar_day opened_day,
                           clock_time opened_time)
    : line_(line),
      separator_(std::move(separator)),
      directory_(line.destination && !line.destination->empty() ? *line.destination : separator_),
      opened_day_(opened_day),
      opened_time_(opened_time),
      date_(opened_day),
      time_(opened_time) {}

std::string checkin_form::source_text() const {
    return line_.multiple ? std::string(multiple_files_text) : line_.selection;
}

std::string checkin_form::destination_text() const {
    std::string text = directory_;
    if (!line_.multiple) {
        if (text != separator_) text += separator_;
        text += gui::file_name_of(line_.selection);
    }
    return text;
}

void checkin_form::set_date(calendar_day date) {
    date_ = std::min(date, latest_date());
    time_ = std::min(time_, latest_time());
}

void checkin_form::set_time(clock_time time) {
    time_ = std::min(time, latest_time());
}

clock_time checkin_form::latest_time() const {
    return date_ < opened_day_ ? clock_time{23, 59, 59} : opened_time_;
}

std::string checkin_form::date_text() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date_.year, date_.month,
                  date_.day, time_.hour, time_.minute, time_.second);
    return text;
}

void checkin_form::set_description(const std::string& text) {
    description_ = first_characters(text, description_limit);
}

std::string first_characters(const std::string& text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        // A byte that does not continue a character starts one.
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && characters++ == limit) {
            return text.substr(0, at);
        }
    }
    return text;
}

}  // namespace tuv::checkin_app
