// The properties program on a real vault: what it finds for a local path and
// lists for each vault file, its start-up messages, the dialog's Check&Out
// and Cancel, the command line, and the whole program started headless (its
// test build, Quillmark_Property_scripted: the shipped main plus a script).
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/db/db.h"
#include "core/storage/vault_folder.h"
#include "core/vault/repository.h"
#include "gui/CAboutDlg.h"
#include "property/CVellum_PropertyApp.h"
#include "property/CVellum_PropertyDlg.h"
#include "property/command_line.h"
#include "property/property_model.h"
#include "tests/support/combo_items.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

using namespace tuv::property;
using tuv::gui::prompt_icon;
using tuv::gui::vault_paths_for;
namespace fs = std::filesystem;

namespace {

const QString not_present = "File is not present in Quillmark Database.";

// Each row as "moment | description".
QStringList rows_of(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows << model.index(row, 0).data().toString() + " | " + model.index(row, 1).data().toString();
    }
    return rows;
}

QStringList texts(const std::vector<std::string>& paths) {
    QStringList out;
    for (const std::string& path : paths) out << QString::fromStdString(path);
    return out;
}

}  // namespace

class property_test : public QObject {
    Q_OBJECT
  private slots:
    // The report checked in from its folder twice, the second time unchanged
    // and without a description; a backup copy, whose source path holds the
    // report's, once into another cabinet.
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        tuv::test::register_vault(vault_->db_path());
        checkin(report_, "version one", "\\Letters", "2026-01-02 03:04:05", "first draft");
        checkin(files_ / "backup" / report_.relative_path(), "old", "\\Backup\\Letters",
                "2026-01-05 10:00:00", "O'Brien's copy");
        checkin(report_, "version one", "\\Letters", "2026-02-03 04:05:06", "");
        prompter_ = std::make_unique<tuv::gui::scripted_prompter>();
        app_ = std::make_unique<CVellum_PropertyApp>(*prompter_);
        app_->set_opener([this](const std::string&) { return &vault_->repo(); });
    }
    void cleanup() {
        app_.reset();
        vault_.reset();
    }

    void each_matching_vault_path_lists_its_own_versions_oldest_first() {
        property_model model(repo(), vault_paths_for(repo(), report_.string()));
        tuv::property::version_model versions;
        QAbstractItemModelTester tester(&versions);
        QCOMPARE(texts(model.vault_paths()),
                 (QStringList{"\\Letters\\report.txt", "\\Backup\\Letters\\report.txt"}));
        QCOMPARE(versions.headerData(0, Qt::Horizontal).toString(), "Modification Time");
        QCOMPARE(versions.headerData(1, Qt::Horizontal).toString(), "Description");

        model.select(0);
        versions.set_rows(model.versions());
        QCOMPARE(rows_of(versions),
                 (QStringList{"2026-1-2 3:4:5 | first draft", "2026-2-3 4:5:6 |  "}));
        const auto rows = model.checkout_rows({1});
        QCOMPARE(rows.size(), 1u);
        QCOMPARE(QString::fromStdString(rows[0].source), "\\Letters\\report.txt");
        QCOMPARE(QString::fromStdString(rows[0].date.value_or("")), "2026-2-3 4:5:6");

        model.select(1);
        versions.set_rows(model.versions());
        QCOMPARE(rows_of(versions), QStringList{"2026-1-5 10:0:0 | O'Brien's copy"});
    }

    // Case counts, as file names compare here; the file checked in from
    // exactly this path comes first, so it is the one preselected, and a
    // backup whose path holds it after it.
    void the_exact_file_comes_first_and_case_counts() {
        const fs::path folder = fs::canonical(files_.path()) / "case";
        checkin(folder / "a.txt.bak", "backup", "\\Backup", "2026-03-01 00:00:00", "");
        checkin(folder / "a.txt", "small", "\\Small", "2026-03-01 00:00:01", "");
        checkin(folder / "A.txt", "capital", "\\Capital", "2026-03-01 00:00:02", "");
        QCOMPARE(texts(vault_paths_for(repo(), (folder / "A.txt").string())),
                 QStringList{"\\Capital\\A.txt"});
        QCOMPARE(texts(vault_paths_for(repo(), (folder / "a.txt").string())),
                 (QStringList{"\\Small\\a.txt", "\\Backup\\a.txt.bak"}));
    }

    // The path reaches the vault through the command line; "%", "_" and
    // quotes stand for themselves, so the look-alike never matches.
    void the_local_path_is_matched_literally_data() {
        QTest::addColumn<QStringList>("arguments");  // %1: the folder of the files
        QTest::addColumn<QStringList>("expected");
        const QStringList odd{"\\Cab\\100% O'Brien_1.txt"};
        QTest::newRow("absolute") << QStringList{"%1/100% O'Brien_1.txt"} << odd;
        QTest::newRow("arguments joined by blanks") << QStringList{"%1/100%", "O'Brien_1.txt"} << odd;
        QTest::newRow("quoted") << QStringList{"\"%1/100% O'Brien_1.txt\""} << odd;
        QTest::newRow("relative") << QStringList{"./100% O'Brien_1.txt"} << odd;
        QTest::newRow("relative with ..") << QStringList{"../odd/100% O'Brien_1.txt"} << odd;
        QTest::newRow("quoted in parts: kept") << QStringList{"\"%1/100%", "O'Brien_1.txt\""}
                                               << QStringList{};
    }
    void the_local_path_is_matched_literally() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        const fs::path folder = fs::canonical(files_.path()) / "odd";
        checkin(folder / "100% O'Brien_1.txt", "odd", "\\Cab", "2026-03-01 00:00:00", "");
        checkin(folder / "1000 O'BrienX1.txt", "look-alike", "\\Cab", "2026-03-01 00:00:01", "");
        std::vector<std::string> args;
        for (QString argument : arguments) {
            args.push_back(argument.replace("%1", QString::fromStdString(folder.string())).toStdString());
        }

        const fs::path previous = fs::current_path();
        fs::current_path(folder);
        const std::string path = local_path_from(args);
        fs::current_path(previous);
        QCOMPARE(texts(vault_paths_for(repo(), path)), expected);
    }

    // What the command line leaves as it is.
    void command_line_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::newRow("none") << QStringList{} << "";
        QTest::newRow("empty quotes") << QStringList{"\"\""} << "";
        QTest::newRow("absolute, as given") << QStringList{"/x/./y//a.txt"} << "/x/./y//a.txt";
        QTest::newRow("a quote inside") << QStringList{"/x/\"a.txt"} << "/x/\"a.txt";
    }
    void command_line() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        std::vector<std::string> args;
        for (const QString& argument : arguments) args.push_back(argument.toStdString());
        QCOMPARE(QString::fromStdString(local_path_from(args)), path);
    }

    void start_up_without_a_dialog_data() {
        QTest::addColumn<QString>("db_path");  // in the registry; "": none
        QTest::addColumn<bool>("empty_journal");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("code");
        const int error = int(prompt_icon::error), information = int(prompt_icon::information);
        QTest::newRow("no vault registered")
            << "" << false << "/x/a.txt"
            << "No Quillmark vault is set up for this user: the registry has no db_path.\n"
               "To make a vault, run: quillmark init" << error << 1;
        QTest::newRow("vault cannot be opened")
            << "/nonexistent/q.db" << false << "/x/a.txt"
            << "Cannot open the Quillmark vault /nonexistent/q.db:\ncannot open database "
               "/nonexistent/q.db: unable to open database file\nTo make a vault, run: quillmark init"
            << error << 1;
        QTest::newRow("no match") << "(test vault)" << false << "/x/a.txt" << not_present
                                  << information << 0;
        // The root's journal row matches an empty path.
        QTest::newRow("empty path") << "(test vault)" << false << ""
                                    << "Please select a file for checking Quillmark Status."
                                    << information << 0;
        QTest::newRow("empty path, empty journal") << "(test vault)" << true << "" << not_present
                                                   << information << 0;
    }
    void start_up_without_a_dialog() {
        QFETCH(QString, db_path);
        QFETCH(bool, empty_journal);
        QFETCH(QString, path);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(int, code);
        if (db_path != "(test vault)") {
            // The program's own opener, read only.
            app_ = std::make_unique<CVellum_PropertyApp>(*prompter_);
            tuv::test::register_vault(db_path.toStdString());
        }
        if (empty_journal) vault_->database().execute("DELETE FROM journal");
        bool shown = false;
        app_->set_dialog_runner([&](CVellum_PropertyDlg&) { shown = true; });

        QCOMPARE(app_->run(path.toStdString()), code);
        QVERIFY(!shown);
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text, message.toStdString());
        QCOMPARE(prompter_->prompts()[0].caption, "Quillmark Properties");
        QCOMPARE(int(prompter_->prompts()[0].icon), icon);
    }

    void the_dialog_shows_the_file_and_refills_for_the_chosen_path() {
        run_dialog([&](CVellum_PropertyDlg& dialog) {
            QCOMPARE(dialog.windowTitle(), "Quillmark Properties");
            QStringList labels;
            for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
            labels.sort();
            QCOMPARE(labels, (QStringList{"Details :", "File Name:", "Quillmark Path:", "Source Path:"}));
            QCOMPARE(dialog.file_name().text(), "report.txt");
            QCOMPARE(dialog.source_path().text(), QString::fromStdString(report_.string()));
            QCOMPARE(tuv::test::combo_items(dialog.vault_paths()),
                     (QStringList{"\\Letters\\report.txt", "\\Backup\\Letters\\report.txt"}));
            QCOMPARE(dialog.check_out_button().text(), "Check&Out");
            QVERIFY(dialog.check_out_button().isDefault());
            QCOMPARE(dialog.cancel_button().text(), "&Cancel");
            QStringList buttons;
            for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
                buttons << button->text();
            }
            QVERIFY(buttons.contains("&About Quillmark Properties..."));

            dialog.vault_paths().setCurrentIndex(1);
            QCOMPARE(rows_of(*dialog.versions().model()), QStringList{"2026-1-5 10:0:0 | O'Brien's copy"});
            dialog.vault_paths().setCurrentIndex(0);
            QCOMPARE(rows_of(*dialog.versions().model()),
                     (QStringList{"2026-1-2 3:4:5 | first draft", "2026-2-3 4:5:6 |  "}));
            select_version(dialog, 0);
            tuv::test::screenshot(dialog, "property-main");
        });
        QVERIFY(prompter_->prompts().empty());

        CAboutDlg about(tuv::gui::properties_about);
        QCOMPARE(about.windowTitle(), "Quillmark Properties");
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
        QVERIFY(texts.contains("Quillmark Properties Version 1.0-beta"));
        tuv::test::screenshot(about, "property-about");
    }

    // The first version over a local file of the same name, replacing it.
    void check_out_tells_how_it_went_and_stays_open_data() {
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("message");  // "<caption>: <text>"
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("content");  // the local file's afterwards
        QTest::newRow("written") << false << "Quillmark Properties!: Checkout done!"
                                 << int(prompt_icon::information) << "version one";
        QTest::newRow("damaged container")
            << true << "Quillmark Properties: File could not be checked out."
            << int(prompt_icon::error) << "local edits";
    }
    void check_out_tells_how_it_went_and_stays_open() {
        QFETCH(bool, damaged);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(QString, content);
        const fs::path target = files_ / "report.txt";
        std::ofstream(target, std::ios::binary) << "local edits";
        if (damaged) fs::resize_file(container(), 0);
        prompter_->answer_path(target.string());
        prompter_->answer(tuv::gui::prompt_answer::ok);

        bool still_open = false;
        const int result = run_dialog([&](CVellum_PropertyDlg& dialog) {
            select_version(dialog, 0);
            dialog.check_out_button().click();
            still_open = dialog.isVisible();
        });
        QVERIFY(still_open);
        QCOMPARE(result, int(QDialog::Rejected));  // closed by Cancel afterwards
        const auto& prompts = prompter_->prompts();
        QCOMPARE(prompts.size(), 3u);
        QCOMPARE(prompts[0].caption, "Quillmark: Save file as");
        QCOMPARE(prompts[0].text, "report.txt");
        QCOMPARE(prompts[1].caption, "Quillmark: Checkout");
        QCOMPARE(prompts[2].caption + ": " + prompts[2].text, message.toStdString());
        QCOMPARE(int(prompts[2].icon), icon);
        QCOMPARE(QString::fromStdString(tuv::test::file_contents(target)), content);
    }

    void cancel_closes_without_a_checkout() {
        const int result = run_dialog([&](CVellum_PropertyDlg& dialog) { select_version(dialog, 1); });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(prompter_->prompts().empty());
    }

    void the_real_program_starts_and_ends_headless_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("message");  // "": none, the dialog was shown
        QTest::newRow("a path the vault does not know") << "/nowhere/a.txt" << not_present;
        QTest::newRow("a relative path it knows") << "report.txt" << "";
    }
    void the_real_program_starts_and_ends_headless() {
        QFETCH(QString, argument);
        QFETCH(QString, message);
        const QString script = QString::fromStdString((files_ / "script.json").string());
        std::ofstream(script.toStdString()) << "{}";
        QProcess program;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLMARK_PROPERTY_SCRIPT", script);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QString::fromStdString(report_.parent_path().string()));
        program.start(QUILLMARK_PROPERTY_SCRIPTED, {argument});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);

        QFile log(script + ".log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QJsonArray prompts = QJsonDocument::fromJson(log.readAll()).array();
        QCOMPARE(prompts.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(prompts[0]["text"].toString(), message);
            QCOMPARE(prompts[0]["caption"].toString(), "Quillmark Properties");
            QCOMPARE(prompts[0]["icon"].toString(), "information");
        }
    }

  private:
    tuv::repository& repo() { return vault_->repo(); }

    // Writes the local file and checks it in.
    void checkin(const fs::path& path, const std::string& content, const std::string& directory,
                 const std::string& when, const std::string& description) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        repo().checkin_file(path, directory, when, "text/plain", description);
    }

    // Runs the program on the report with the dialog open: `act` runs once
    // it shows, then Cancel closes it. Returns the dialog's result.
    int run_dialog(const std::function<void(CVellum_PropertyDlg&)>& act) {
        int result = -1;
        app_->set_dialog_runner([&](CVellum_PropertyDlg& dialog) {
            QTimer::singleShot(0, &dialog, [&] {
                act(dialog);
                dialog.cancel_button().click();
            });
            result = dialog.exec();
        });
        const int code = app_->run(report_.string());
        if (code != 0) return -code;
        return result;
    }

    static void select_version(CVellum_PropertyDlg& dialog, int row) {
        dialog.versions().setCurrentIndex(dialog.versions().model()->index(row, 0));
    }

    fs::path container() {
        auto row = vault_->database().query("SELECT path FROM disk_info ORDER BY disk_id LIMIT 1");
        return row->next() ? tuv::local_path(repo().folder(), row->get_string(0)) : fs::path();
    }

    tuv::test::temp_dir files_;
    fs::path report_ = fs::canonical(files_.path()) / "letters" / "report.txt";
    std::unique_ptr<tuv::test::test_vault> vault_;
    std::unique_ptr<tuv::gui::scripted_prompter> prompter_;
    std::unique_ptr<CVellum_PropertyApp> app_;
};

QTEST_MAIN(property_test)
#include "property_test.moc"
