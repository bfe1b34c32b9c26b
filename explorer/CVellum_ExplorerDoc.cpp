#include "explorer/CVellum_ExplorerDoc.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QProgressDialog>
#include <exception>
#include <thread>

#include "gui/captions.h"

CVellum_ExplorerDoc::CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts,
                                         QObject* parent)
    : QObject(parent), explorer_document(repo, prompts, *this) {}

CVellum_ExplorerDoc::~CVellum_ExplorerDoc() {
    // A running check-in program goes on without us; only our watch ends.
    if (checkin_ != nullptr) checkin_->disconnect(this);
}

void CVellum_ExplorerDoc::reload_views() {
    emit views_changed();
}

void CVellum_ExplorerDoc::recount_repository_size() {
    emit repository_size_requested();
}

void CVellum_ExplorerDoc::set_main_window_hidden(bool hidden) {
    if (hidden) {
        emit hide_main_window();
    } else {
        emit show_main_window();
    }
}

bool CVellum_ExplorerDoc::launch_checkin(const std::string& program,
                                         const std::vector<std::string>& arguments) {
    QStringList listed;
    for (const std::string& argument : arguments) listed << QString::fromStdString(argument);
    auto* process = new QProcess(this);
    process->start(QString::fromStdString(program), listed);
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    checkin_ = process;
    connect(process, &QProcess::finished, this, [this] {
        checkin_->deleteLater();
        checkin_ = nullptr;
        checkin_ended();
    });
    return true;
}

void CVellum_ExplorerDoc::run_in_background(const std::string& busy_text,
                                            const std::function<void()>& work) {
    QProgressDialog busy(QString::fromStdString(busy_text), QString(), 0, 0,
                         QApplication::activeWindow());
    busy.setWindowTitle(tuv::gui::caption_explorer);
    busy.setMinimumDuration(500);
    busy.setValue(0);  // starts the timer that shows it

    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Input waits until the end: nothing else may use the vault meanwhile.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    busy.reset();
    if (failure) std::rethrow_exception(failure);
}
