// The check-in program's dialogs, driven headless: the cabinet tree and the
// New Cabinet flow, the main dialog's pickers and Submit. Each dialog is
// saved as a screenshot for a person to look at.
#include <QAbstractItemModelTester>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

#include "checkin/CCheckinProgressDlg.h"
#include "checkin/CCreateNewDialog.h"
#include "checkin/CSelectCabinate.h"
#include "checkin/CVellumDlg.h"
#include "checkin/cabinet_names.h"
#include "checkin/checkin_form.h"
#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "gui/CAboutDlg.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/screenshot.h"
#include "tests/support/test_vault.h"

using namespace tuv::checkin_app;
using tuv::gui::prompt_icon;
using tuv::test::screenshot;

namespace {

QStringList names_under(const QAbstractItemModel& model, const QModelIndex& parent) {
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        names << model.index(row, 0, parent).data().toString();
    }
    return names;
}

}  // namespace

class checkin_dialogs_test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        auto& repo = vault_->repo();
        const std::int64_t cab = repo.catalogue().create_directory("Cab", 1, "2026-01-01 10:00:00");
        repo.catalogue().create_directory("Company", cab, "2026-01-01 10:00:00");
        repo.catalogue().create_directory("archive", 1, "2026-01-01 10:00:00");
    }
    void cleanup() { vault_.reset(); }

    void cabinet_tree_fills_as_it_opens_and_names_paths() {
        CSelectCabinate dialog(vault_->repo(), prompter_);
        QAbstractItemModelTester tester(&dialog.model());
        tuv::gui::cabinet_model& model = dialog.model();
        const QModelIndex root = model.root_index();
        QCOMPARE(root.data().toString(), "\\");
        QCOMPARE(names_under(model, root), (QStringList{"archive", "Cab"}));
        const QModelIndex cab = model.index(1, 0, root);
        QCOMPARE(model.rowCount(cab), 1);  // a placeholder until opened
        QCOMPARE(model.rowCount(model.index(0, 0, root)), 0);
        dialog.tree().expand(cab);
        QCOMPARE(names_under(model, cab), QStringList{"Company"});
        const QModelIndex company = model.index(0, 0, cab);
        dialog.tree().setCurrentIndex(company);
        QCOMPARE(dialog.destination_path(), "\\Cab\\Company");
        dialog.tree().setCurrentIndex(root);
        QCOMPARE(dialog.destination_path(), "\\");
        dialog.tree().setCurrentIndex(company);
        screenshot(dialog, "checkin-select-cabinet");
    }

    void new_cabinet_refuses_bad_and_duplicate_names_until_one_fits() {
        CSelectCabinate dialog(vault_->repo(), prompter_);
        const QModelIndex cab = dialog.model().index(1, 0, dialog.model().root_index());
        dialog.tree().setCurrentIndex(cab);
        QStringList names{"a/b", "a b", "a\\b", "company", "Reports"};
        dialog.set_name_asker([&]() -> std::optional<std::string> {
            if (names.isEmpty()) return std::nullopt;
            return names.takeFirst().toStdString();
        });
        dialog.new_cabinet();

        QCOMPARE(dialog.destination_path(), "\\Cab\\Reports");
        QCOMPARE(names_under(dialog.model(), cab), (QStringList{"Company", "Reports"}));
        const auto& prompts = prompter_.prompts();
        QCOMPARE(prompts.size(), 4u);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(prompts[i].text, tuv::gui::cabinet_name_message);
            QCOMPARE(prompts[i].caption, "Quillmark!");
            QCOMPARE(prompts[i].icon, prompt_icon::exclamation);
        }
        QCOMPARE(prompts[3].text, "CabinateName CompanyAlready exist");
        QCOMPARE(prompts[3].caption, "Error");
        // Nothing is written until a file goes in.
        QVERIFY_THROWS_EXCEPTION(tuv::tuv_error,
                                 vault_->repo().catalogue().resolve("\\Cab\\Reports"));
    }

    void new_name_dialog_refuses_entry_characters_and_stays_open() {
        CCreateNewDialog dialog("Cabinet", prompter_);
        QCOMPARE(dialog.windowTitle(), "Quillmark: Add New Cabinet");
        auto* edit = dialog.findChild<QLineEdit*>();
        QTest::keyClicks(edit, "a#b");
        dialog.add();
        QCOMPARE(prompter_.prompts().back().text, entry_name_message);
        QCOMPARE(edit->text(), "");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QTest::keyClicks(edit, "Reports");
        screenshot(dialog, "checkin-new-cabinet");
        dialog.add();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.name(), "Reports");
    }

    void main_dialog_shows_the_selection_and_submits_the_moment() {
        checkin_form form(parse_command_line("/home/me/letters/a.txt"), "\\", {2026, 3, 14},
                          {15, 9, 26});
        CVellumDlg dialog(form, vault_->repo(), prompter_);
        QCOMPARE(dialog.windowTitle(), "Quillmark");
        QCOMPARE(dialog.destination().text(), "\\a.txt");
        QCOMPARE(dialog.date_picker().maximumDate(), QDate(2026, 3, 14));
        QCOMPARE(dialog.time_picker().maximumTime(), QTime(15, 9, 26));
        dialog.date_picker().setDate(QDate(2026, 3, 13));
        QCOMPARE(dialog.time_picker().maximumTime(), QTime(23, 59, 59));
        dialog.time_picker().setTime(QTime(22, 0, 5));
        QTest::keyClicks(&dialog.description(), "O'Brien's draft");
        screenshot(dialog, "checkin-main");
        for (auto* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "&Submit") button->click();
        }
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(form.date_text(), "2026-03-13 22:00:05");
        QCOMPARE(form.description(), "O'Brien's draft");
    }

    void progress_and_about_look_right() {
        CCheckinProgressDlg progress;
        progress.show_file(2, 5, "quarterly report.pdf");
        progress.set_progress(42);
        QCOMPARE(progress.windowTitle(), "42% completed");
        progress.set_waiting(true);
        progress.set_waiting(false);  // the usual note again
        QCOMPARE(progress.findChildren<QLabel*>().front()->text(),
                 "This may take some time. Please wait..");
        screenshot(progress, "checkin-progress");
        CAboutDlg about(tuv::gui::checkin_about);
        QCOMPARE(about.windowTitle(), "About Quillmark");
        screenshot(about, "about");
    }

  private:
    std::unique_ptr<tuv::test::test_vault> vault_;
    tuv::gui::scripted_prompter prompter_;
};

QTEST_MAIN(checkin_dialogs_test)
#include "checkin_dialogs_test.moc"
