// A way for end-to-end tests to drive the real program: when the variable
// QUILLMARK_CHECKIN_SCRIPT names a JSON file, its answers replace the
// person, and every prompt is written to that file's name plus ".log".
//
//   {"answers": ["retry", "ok"],
//    "form": {"directory": "\\Cab", "date": "2026-01-02", "time": "03:04:05",
//             "description": "text"}}
//
// "answers" are the buttons for the questions, in order ("ok", "cancel",
// "yes", "no", "retry"); "form" submits the main dialog with those fields
// (each optional), and without it the dialog is cancelled. The log is a
// JSON array of {"caption", "text", "icon"}.
#pragma once

#include <QString>
#include <memory>

#include "gui/scripted_prompter.h"

class CVellumApp;

namespace tuv::checkin {

class script_hook {
  public:
    // Null when the variable is not set. Throws std::runtime_error for a
    // script that cannot be read.
    static std::unique_ptr<script_hook> from_environment();
    ~script_hook();  // writes the log

    gui::prompter& prompter() { return prompter_; }
    // Puts the scripted form in place of the main dialog.
    void install(CVellumApp& app);

  private:
    explicit script_hook(QString path) : path_(std::move(path)) {}

    QString path_;
    gui::scripted_prompter prompter_;
    bool submit_ = false;
    QString directory_, date_, time_, description_;
};

}  // namespace tuv::checkin
