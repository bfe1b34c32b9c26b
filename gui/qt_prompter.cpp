#include "gui/qt_prompter.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

namespace tuv::gui {
namespace {

QMessageBox::Icon to_qt(prompt_icon icon) {
    switch (icon) {
        case prompt_icon::information: return QMessageBox::Information;
        case prompt_icon::exclamation: return QMessageBox::Warning;
        case prompt_icon::error: return QMessageBox::Critical;
        case prompt_icon::question: return QMessageBox::Question;
        case prompt_icon::none: break;
    }
    return QMessageBox::NoIcon;
}

// "All Files (*.*);;Text Files (*.txt)": Qt reads the patterns from the
// labels, not from the callers' patterns. "*.*" there would hide every name
// without a dot, which on this system means most programs and many
// documents: whatever form a caller gives it ("*" or "*.*"), all files are
// all files.
QString filter_text(const std::vector<file_filter>& filters) {
    QStringList parts;
    for (const file_filter& filter : filters) {
        QString label = filter.label;
        if (filter.pattern == "*" || filter.pattern == "*.*") label.replace("(*.*)", "(*)");
        parts << label;
    }
    return parts.join(";;");
}

}  // namespace

prompt_answer qt_prompter::message(QWidget* owner, const QString& text, const QString& caption,
                                   prompt_icon icon, prompt_buttons buttons) {
    QMessageBox box(to_qt(icon), caption, text, QMessageBox::NoButton, owner);
    switch (buttons) {
        case prompt_buttons::ok: box.setStandardButtons(QMessageBox::Ok); break;
        case prompt_buttons::ok_cancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case prompt_buttons::yes_no: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case prompt_buttons::retry_cancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok: return prompt_answer::ok;
        case QMessageBox::Yes: return prompt_answer::yes;
        case QMessageBox::No: return prompt_answer::no;
        case QMessageBox::Retry: return prompt_answer::retry;
        default: break;
    }
    return buttons == prompt_buttons::ok ? prompt_answer::ok : prompt_answer::cancel;
}

void qt_prompter::report(QWidget* owner, const QString& text, const QString& details,
                         const QString& caption, prompt_icon icon) {
    QMessageBox box(to_qt(icon), caption, text, QMessageBox::Ok, owner);
    box.setDetailedText(details);
    // The list is the point of the box: shown at once, not behind a button.
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole) button->click();
    }
    box.exec();
}

std::optional<QString> qt_prompter::save_file(QWidget* owner, const QString& title,
                                              const QString& suggested,
                                              const std::vector<file_filter>& filters) {
    const QString path = QFileDialog::getSaveFileName(owner, title, suggested, filter_text(filters),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QStringList> qt_prompter::open_files(QWidget* owner, const QString& title,
                                                   const QString& folder,
                                                   const std::vector<file_filter>& filters) {
    const QStringList paths = QFileDialog::getOpenFileNames(owner, title, folder, filter_text(filters));
    if (paths.isEmpty()) return std::nullopt;
    return paths;
}

std::optional<QString> qt_prompter::browse_folder(QWidget* owner, const QString& title,
                                                  const QString& folder) {
    const QString path = QFileDialog::getExistingDirectory(owner, title, folder);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace tuv::gui
