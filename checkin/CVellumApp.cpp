#include "checkin/CVellumApp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include "checkin/CCheckinProgressDlg.h"
#include "checkin/CVellumDlg.h"

namespace {

// The progress dialog as the program's progress window.
class qt_progress : public tuv::checkin_app::checkin_progress {
  public:
    qt_progress() {
        QObject::connect(&dialog_, &CCheckinProgressDlg::cancel_requested, &dialog_, [this] {
            if (cancel_) cancel_();
        });
        dialog_.show();
    }

    void run(const std::function<void()>& work, const std::function<void()>& cancel) override {
        cancel_ = cancel;
        QEventLoop loop;
        std::unique_ptr<QThread> worker(QThread::create(work));
        QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
        worker->wait();
        cancel_ = nullptr;
    }

    void show(const tuv::checkin_app::progress_state& state, std::size_t count,
              const std::string& name) override {
        // From any thread: the dialog changes on its own.
        QMetaObject::invokeMethod(
            &dialog_, [this, state, count, name] { dialog_.show_state(state, count, name); },
            Qt::QueuedConnection);
    }

    tuv::gui::native_window window() override { return &dialog_; }

  private:
    CCheckinProgressDlg dialog_;
    std::function<void()> cancel_;
};

}  // namespace

CVellumApp::CVellumApp(tuv::gui::prompter& prompter)
    : prompter_(prompter),
      ask_([this](tuv::checkin_app::checkin_form& form, tuv::repository& repo) {
          CVellumDlg dialog(form, repo, prompter_);
          return dialog.exec() == QDialog::Accepted;
      }),
      program_(QCoreApplication::applicationName().toStdString(), prompter, *this) {}

bool CVellumApp::ask_details(tuv::checkin_app::checkin_form& form, tuv::repository& repo) {
    return ask_(form, repo);
}

std::unique_ptr<tuv::checkin_app::checkin_progress> CVellumApp::show_progress() {
    return std::make_unique<qt_progress>();
}
