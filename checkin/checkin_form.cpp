#include "checkin/checkin_form.h"

#include "gui/command_line.h"

namespace tuv::checkin_app {

checkin_form::checkin_form(const command_line& line, std::string separator,
                           const QDateTime& opened)
    : line_(line),
      separator_(std::move(separator)),
      directory_(line.destination && !line.destination->empty() ? *line.destination : separator_),
      // Whole seconds: the pickers show no more, and the text carries no more.
      opened_(opened.addMSecs(-opened.time().msec())),
      date_(opened_.date()),
      time_(opened_.time()) {}

QString checkin_form::source_text() const {
    return line_.multiple ? QString(multiple_files_text) : QString::fromStdString(line_.selection);
}

QString checkin_form::destination_text() const {
    std::string text = directory_;
    if (!line_.multiple) {
        if (text != separator_) text += separator_;
        text += gui::file_name_of(line_.selection);
    }
    return QString::fromStdString(text);
}

void checkin_form::set_date(QDate date) {
    date_ = std::min(date, latest_date());
    time_ = std::min(time_, latest_time());
}

void checkin_form::set_time(QTime time) { time_ = std::min(time, latest_time()); }

QTime checkin_form::latest_time() const {
    return date_ < opened_.date() ? QTime(23, 59, 59) : opened_.time();
}

std::string checkin_form::date_text() const {
    return (date_.toString("yyyy-MM-dd") + time_.toString(" HH:mm:ss")).toStdString();
}

}  // namespace tuv::checkin_app
