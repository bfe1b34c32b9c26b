#include "property/CVellum_PropertyApp.h"

#include "property/CVellum_PropertyDlg.h"

CVellum_PropertyApp::CVellum_PropertyApp(tuv::gui::prompter& prompter)
    : prompter_(prompter),
      run_dialog_([](CVellum_PropertyDlg& dialog) { dialog.exec(); }),
      program_(prompter, *this) {}

void CVellum_PropertyApp::show_dialog(const std::string& local_path,
                                      tuv::property::property_model& model, tuv::repository& repo) {
    CVellum_PropertyDlg dialog(local_path, model, repo, prompter_);
    run_dialog_(dialog);
}
