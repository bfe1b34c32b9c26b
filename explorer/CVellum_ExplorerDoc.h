// The explorer's document in the Qt explorer: the shared document
// (explorer_document) with its presentation in Qt. The panes reload on
// views_changed(); the check-in program runs as a QProcess, the exports on
// a worker thread while a busy indicator names the destination.
#pragma once

#include <QObject>

#include "explorer/explorer_document.h"

class QProcess;

class CVellum_ExplorerDoc : public QObject,
                            private tuv::explorer::document_presentation,
                            public tuv::explorer::explorer_document {
    Q_OBJECT
  public:
    // Borrows the repository (may be null) and the prompter.
    CVellum_ExplorerDoc(tuv::repository* repo, tuv::gui::prompter& prompts,
                        QObject* parent = nullptr);
    ~CVellum_ExplorerDoc() override;

  signals:
    void views_changed();
    // The status bar's repository size is to be counted again.
    void repository_size_requested();
    void hide_main_window();
    void show_main_window();

  private:
    void reload_views() override;
    void recount_repository_size() override;
    void set_main_window_hidden(bool hidden) override;
    bool launch_checkin(const std::string& program,
                        const std::vector<std::string>& arguments) override;
    void run_in_background(const std::string& busy_text,
                           const std::function<void()>& work) override;

    QProcess* checkin_ = nullptr;
};
