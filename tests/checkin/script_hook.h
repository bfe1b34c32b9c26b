// What Quillmark_Checkin_scripted (the check-in program as the end-to-end
// tests build it; never installed) puts in the person's place: when the
// variable QUILLMARK_CHECKIN_SCRIPT names a JSON file, the script
// (tests/support/gui/prompt_script.h) answers, and logs every prompt.
//
//   {"answers": ["retry", "ok"],
//    "form": {"directory": "\\Cab", "date": "2026-01-02", "time": "03:04:05",
//             "description": "text"}}
//
// "form" submits the main dialog with those fields (each optional), and
// without it the dialog is cancelled.
#pragma once

#include <QString>
#include <memory>

#include "gui/window_main.h"
#include "tests/support/gui/prompt_script.h"

class CVellumApp;

namespace tuv::checkin_app {

class script_hook : public gui::stand_in<CVellumApp> {
  public:
    // Null when the variable is not set. Throws std::runtime_error for a
    // script that cannot be read.
    static std::unique_ptr<script_hook> from_environment();

    gui::prompter& prompter() override { return script_->prompter(); }
    // Puts the scripted form in place of the main dialog.
    void install(CVellumApp& app) override;

  private:
    explicit script_hook(std::unique_ptr<gui::prompt_script> script) : script_(std::move(script)) {}

    std::unique_ptr<gui::prompt_script> script_;
    bool submit_ = false;
    QString directory_, date_, time_, description_;
};

}  // namespace tuv::checkin_app
