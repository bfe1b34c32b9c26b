#include "explorer/export_runner.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <exception>
#include <sstream>
#include <thread>

#include "explorer/CVellum_ExplorerDoc.h"
#include "gui/captions.h"

namespace tuv::explorer {

int run_export(repository& repo, const std::string& source, const QString& destination,
               version_mode mode, gui::prompter& prompts) {
    std::ostringstream progress;
    std::ostringstream problems;
    export_engine engine(repo, source, destination.toStdString(), mode, entry_filter::both,
                         progress, problems);

    QProgressDialog busy(QString("Exporting to %1 ...").arg(destination), QString(), 0, 0,
                         QApplication::activeWindow());
    busy.setWindowTitle(gui::caption_explorer);
    busy.setMinimumDuration(500);
    busy.setValue(0);  // starts the timer that shows it

    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            engine.run();
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

    tell_export_failures(prompts, engine.failures(), destination, problems.str());
    return engine.failures();
}

}  // namespace tuv::explorer
