// The prompter of the running programs: Qt's message boxes and file dialogs.
#pragma once

#include "gui/prompter.h"

namespace tuv::gui {

class qt_prompter : public prompter {
  public:
    prompt_answer message(QWidget* owner, const QString& text, const QString& caption,
                          prompt_icon icon, prompt_buttons buttons) override;
    void report(QWidget* owner, const QString& text, const QString& details,
                const QString& caption, prompt_icon icon) override;
    std::optional<QString> save_file(QWidget* owner, const QString& title,
                                     const QString& suggested,
                                     const std::vector<file_filter>& filters) override;
    std::optional<QStringList> open_files(QWidget* owner, const QString& title,
                                          const QString& folder,
                                          const std::vector<file_filter>& filters) override;
    std::optional<QString> browse_folder(QWidget* owner, const QString& title,
                                         const QString& folder) override;
};

}  // namespace tuv::gui
