#include "gui/qt_prompter.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

namespace tuv::gui {
namespace {

QWidget* widget(native_window owner) {
    return static_cast<QWidget*>(owner);
}

QString qt_text(const std::string& text) {
    return QString::fromStdString(text);
}

// A chosen path as UTF-8, or nullopt for none (the dialogs return an empty
// text when cancelled).
std::optional<std::string> chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

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
        QString label = qt_text(filter.label);
        if (filter.pattern == "*" || filter.pattern == "*.*") label.replace("(*.*)", "(*)");
        parts << label;
    }
    return parts.join(";;");
}

}  // namespace

prompt_answer qt_prompter::message(native_window owner, const std::string& text,
                                   const std::string& caption, prompt_icon icon,
                                   prompt_buttons buttons) {
    QMessageBox box(to_qt(icon), qt_text(caption), qt_text(text), QMessageBox::NoButton,
                    widget(owner));
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

void qt_prompter::report(native_window owner, const std::string& text, const std::string& details,
                         const std::string& caption, prompt_icon icon) {
    QMessageBox box(to_qt(icon), qt_text(caption), qt_text(text), QMessageBox::Ok, widget(owner));
    box.setDetailedText(qt_text(details));
    // The list is the point of the box: shown at once, not behind a button.
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) == QMessageBox::ActionRole) button->click();
    }
    box.exec();
}

std::optional<std::string> qt_prompter::save_file(native_window owner, const std::string& title,
                                                  const std::string& suggested,
                                                  const std::vector<file_filter>& filters) {
    return chosen(QFileDialog::getSaveFileName(widget(owner), qt_text(title), qt_text(suggested),
                                               filter_text(filters), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
}

std::optional<std::vector<std::string>> qt_prompter::open_files(
    native_window owner, const std::string& title, const std::string& folder,
    const std::vector<file_filter>& filters) {
    const QStringList paths = QFileDialog::getOpenFileNames(widget(owner), qt_text(title),
                                                            qt_text(folder), filter_text(filters));
    if (paths.isEmpty()) return std::nullopt;
    std::vector<std::string> files;
    for (const QString& path : paths) files.push_back(path.toStdString());
    return files;
}

std::optional<std::string> qt_prompter::browse_folder(native_window owner, const std::string& title,
                                                      const std::string& folder) {
    return chosen(
        QFileDialog::getExistingDirectory(widget(owner), qt_text(title), qt_text(folder)));
}

}  // namespace tuv::gui
