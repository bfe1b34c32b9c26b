// A way for end-to-end tests to drive a real window program, in the builds of
// the programs that the tests make (tests/checkin, tests/property; no
// shipped program has it): when an environment variable names a JSON file,
// the answers it lists replace the person, and every prompt is written to
// that file's name plus ".log".
//
//   {"answers": ["retry", "ok"], ...what the program itself reads...}
//
// "answers" are the buttons for the questions, in order ("ok", "cancel",
// "yes", "no", "retry"). The log is a JSON array of {"caption", "text",
// "icon"}, written when the script is destroyed.
#pragma once

#include <QJsonObject>
#include <QString>
#include <memory>

#include "tests/support/gui/scripted_prompter.h"

namespace tuv::gui {

class prompt_script {
  public:
    // Null when `variable` is not set. Throws std::runtime_error for a
    // script that cannot be read or names an unknown answer.
    static std::unique_ptr<prompt_script> from_environment(const char* variable);
    ~prompt_script();
    prompt_script(const prompt_script&) = delete;
    prompt_script& operator=(const prompt_script&) = delete;

    gui::prompter& prompter() { return prompter_; }
    // The whole script, for the parts a program reads itself.
    const QJsonObject& script() const { return script_; }

  private:
    prompt_script(QString path, QJsonObject script)
        : path_(std::move(path)), script_(std::move(script)) {}

    QString path_;
    QJsonObject script_;
    scripted_prompter prompter_;
};

}  // namespace tuv::gui
