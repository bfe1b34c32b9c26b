// What the main dialog of the check-in program asks, without the widgets:
// the selection it shows, the destination directory, the moment from the
// date and time pickers, and the description.
#pragma once

#include <QDateTime>
#include <QString>
#include <string>

#include "checkin/command_line.h"

namespace tuv::checkin_app {

inline constexpr const char* multiple_files_text = "Multiple Files are selected";
inline constexpr int description_limit = 1000;

class checkin_form {
  public:
    // `opened` is the moment the dialog opened: the pickers start there and
    // never go past it. The directory is form B's destination, else the root.
    checkin_form(const command_line& line, std::string separator, const QDateTime& opened);

    // The Source File text: the selected path, or multiple_files_text.
    QString source_text() const;
    // The Destination File text: the directory, and with one file selected
    // the separator (unless the directory is the root) and its name.
    QString destination_text() const;

    const std::string& directory() const { return directory_; }
    void set_directory(std::string directory) { directory_ = std::move(directory); }

    QDate date() const { return date_; }
    QTime time() const { return time_; }
    // Each is kept at or before the opening moment: a date after it becomes
    // its day; a time on its day past it becomes its time.
    void set_date(QDate date);
    void set_time(QTime time);
    QDate latest_date() const { return opened_.date(); }
    // The latest time the time picker offers on the chosen day.
    QTime latest_time() const;
    // "%Y-%m-%d %H:%M:%S", e.g. "2008-05-17 14:03:22".
    std::string date_text() const;

    const QString& description() const { return description_; }
    // Keeps the first description_limit characters.
    void set_description(const QString& text) { description_ = text.left(description_limit); }

  private:
    command_line line_;
    std::string separator_;
    std::string directory_;
    QDateTime opened_;
    QDate date_;
    QTime time_;
    QString description_;
};

}  // namespace tuv::checkin_app
