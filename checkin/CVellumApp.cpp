#include "checkin/CVellumApp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <memory>

#include "checkin/CCheckinProgressDlg.h"
#include "checkin/CVellumDlg.h"
#include "checkin/checkin_batch.h"
#include "checkin/checkin_form.h"
#include "checkin/command_line.h"
#include "core/vault/repository.h"
#include "core/vault/writer_lock.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "gui/registered_vault.h"
#include "platform/named_mutex.h"

using namespace std::chrono_literals;
using tuv::gui::prompt_icon;

namespace {

constexpr auto instance_wait = 500ms;
constexpr auto writer_wait = 500ms;

QString refused_text(const std::vector<std::string>& pieces) {
    QString text = "Nothing was checked in: the command line names what is not the full path "
                   "of an existing file:\n";
    for (const std::string& piece : pieces) text += QString::fromStdString(piece) + "\n";
    return text + "A path holding \"#\" or \",\" cannot be given joined with others; give "
                  "each path as an argument of its own after --files.";
}

QString second_instance_text(const tuv::checkin_app::command_line& line) {
    QString text = "Another instance of the application is already running.";
    if (line.files.empty()) return text;
    text += "\nThese files were not checked in; check them in when it has finished:";
    // Named in the order given, the reverse of the order of checking in.
    for (auto file = line.files.rbegin(); file != line.files.rend(); ++file) {
        text += "\n" + QString::fromStdString(file->string());
    }
    return text;
}

// Asks whether to wait again for the program that kept the vault's
// database for as long as a check-in waits.
bool retry_the_wait(tuv::gui::prompter& prompter, QWidget* owner) {
    return prompter.message(owner,
                            "Another program is using the vault, and the check-in stopped "
                            "waiting for it.\nRetry when it has finished, or Cancel to check "
                            "nothing more in.",
                            tuv::gui::caption_checkin, prompt_icon::exclamation,
                            tuv::gui::prompt_buttons::retry_cancel) ==
           tuv::gui::prompt_answer::retry;
}

// Runs the batch on a thread of its own, so that the windows keep painting
// and Cancel answers, and returns its outcomes.
std::vector<tuv::checkin_app::file_outcome> run_in_background(
    tuv::checkin_app::checkin_batch& batch,
    const tuv::checkin_app::checkin_batch::progress_fn& report) {
    std::vector<tuv::checkin_app::file_outcome> outcomes;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] { outcomes = batch.run(report); }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return outcomes;
}

}  // namespace

CVellumApp::CVellumApp(tuv::gui::prompter& prompter)
    : prompter_(prompter),
      open_(tuv::open_repository),
      ask_([this](tuv::checkin_app::checkin_form& form, tuv::repository& repo) {
          CVellumDlg dialog(form, repo, prompter_);
          return dialog.exec() == QDialog::Accepted;
      }) {}

int CVellumApp::run(const std::vector<std::string>& arguments) {
    const std::string mutex_name = QCoreApplication::applicationName().toStdString() + "MARROWGATE";
    std::optional<platform::named_mutex> instance;
    try {
        instance = platform::named_mutex::try_acquire(mutex_name, instance_wait);
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), tuv::gui::caption_checkin, prompt_icon::error);
        return 1;
    }
    const tuv::checkin_app::command_line line = tuv::checkin_app::read_command_line(arguments);
    if (!instance) {
        // The files are not handed over: the running one has its own form,
        // date and description, which these may not share. Say which are left.
        prompter_.message(nullptr, second_instance_text(line), tuv::gui::caption_checkin,
                          prompt_icon::error);
        return 1;
    }

    std::string db_path;
    tuv::repository* repo =
        tuv::gui::open_registered_vault(prompter_, tuv::gui::caption_checkin, open_, db_path);
    if (repo == nullptr) return 1;

    if (line.files.empty() && line.refused.empty()) {
        prompter_.message(nullptr, tuv::gui::no_file_text, tuv::gui::caption_checkin,
                          prompt_icon::error);
        return 1;
    }
    if (!line.refused.empty()) {
        // The line was cut inside a path: what is left may name other files.
        prompter_.message(nullptr, refused_text(line.refused), tuv::gui::caption_checkin,
                          prompt_icon::error);
        return 1;
    }
    tuv::checkin_app::checkin_form form(line, repo->path_separator(), QDateTime::currentDateTime());
    if (!ask_(form, *repo)) return 0;
    return lock_and_check_in(*repo, db_path, form, line.files) ? 0 : 1;
}

// Takes the vault's writer lock, asking again while another check-in holds
// it, then checks the files in. True when every one went in.
bool CVellumApp::lock_and_check_in(tuv::repository& repo, const std::string& db_path,
                                   const tuv::checkin_app::checkin_form& form,
                                   const std::vector<std::filesystem::path>& files) {
    std::optional<platform::file_lock> writer;
    try {
        while (!(writer = tuv::try_lock_writer(db_path, writer_wait))) {
            const auto answer = prompter_.message(
                nullptr,
                "Another check-in of this vault is running.\nRetry when it has finished, or "
                "Cancel to check nothing in.",
                tuv::gui::caption_checkin, prompt_icon::exclamation,
                tuv::gui::prompt_buttons::retry_cancel);
            if (answer != tuv::gui::prompt_answer::retry) return false;
        }
    } catch (const std::exception& error) {
        prompter_.message(nullptr, error.what(), tuv::gui::caption_checkin, prompt_icon::error);
        return false;
    }

    tuv::checkin_app::checkin_batch batch(
        repo, {files, form.directory(), form.date_text(), form.description().toStdString()});
    CCheckinProgressDlg progress;
    QObject::connect(&progress, &CCheckinProgressDlg::cancel_requested, &progress,
                     [&batch] { batch.cancel(); });
    const auto show = [&progress, &files](std::size_t file, int percent, bool waiting) {
        progress.show_file(static_cast<int>(file) + 1, static_cast<int>(files.size()),
                           QString::fromStdString(files[file].filename().string()));
        progress.set_progress(percent);
        progress.set_waiting(waiting);
    };
    const auto report = [&progress, &show](std::size_t file, int percent, bool waiting) {
        // From the check-in thread: the dialog is changed on its own thread.
        QMetaObject::invokeMethod(
            &progress, [&show, file, percent, waiting] { show(file, percent, waiting); },
            Qt::QueuedConnection);
    };
    if (!files.empty()) show(0, 0, false);
    progress.show();

    std::vector<tuv::checkin_app::file_outcome> outcomes = run_in_background(batch, report);
    while (tuv::checkin_app::gave_up_waiting(outcomes) && !batch.cancelled()) {
        // The files already in stay; a retry goes on from the one given up on.
        const auto left = std::find_if(outcomes.begin(), outcomes.end(),
                                       [](const auto& outcome) { return outcome.busy; });
        show(static_cast<std::size_t>(left - outcomes.begin()), 0, false);
        if (!retry_the_wait(prompter_, &progress)) break;
        outcomes = run_in_background(batch, report);
    }
    writer.reset();

    for (const auto& outcome : outcomes) {
        // A wait given up on was told, with the offer to retry.
        if (outcome.database_error && !outcome.busy) {
            prompter_.message(&progress,
                              QString::fromStdString(outcome.message) +
                                  "\nPlease try checkin again in some time",
                              tuv::gui::caption_checkin, prompt_icon::error);
        }
    }
    // That box, or the offer to retry, said all there is to say about a
    // single file (unless a Cancel came first and nothing was offered).
    if (outcomes.size() == 1 && outcomes.front().database_error && !batch.cancelled()) return false;
    if (!tuv::checkin_app::needs_summary(outcomes)) return true;
    const bool failed = std::any_of(outcomes.begin(), outcomes.end(), [](const auto& outcome) {
        return outcome.status == tuv::checkin_app::file_status::failed;
    });
    prompter_.report(
        &progress,
        QString::fromStdString(tuv::checkin_app::summary_heading(outcomes, batch.cancelled())),
        QString::fromStdString(tuv::checkin_app::summary_lines(outcomes)),
        tuv::gui::caption_checkin, failed ? prompt_icon::error : prompt_icon::information);
    return false;
}
