// The check-in program from its start to its end: one instance, the vault
// from the registry, the writer lock, the run and what the person is told;
// last, the whole program started headless with a script (its test build,
// Quillmark_Checkin_scripted: the shipped main plus the script).
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>

#include "checkin/CVellumApp.h"
#include "checkin/checkin_form.h"
#include "core/base/errors.h"
#include "core/db/db_sqlite.h"
#include "core/vault/file_entry.h"
#include "core/vault/verify.h"
#include "core/vault/writer_lock.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/held_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

using tuv::gui::prompt_icon;
using tuv::test::register_vault;
namespace fs = std::filesystem;

namespace {

fs::path write_text(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
    return path;
}

const std::string gave_up_text =
    "Another program is using the vault, and the check-in stopped waiting for it.\nRetry when "
    "it has finished, or Cancel to check nothing more in.";

// Answers as scripted_prompter does, after `on_message`: what happens while
// the person reads the box.
class watching_prompter : public tuv::gui::scripted_prompter {
  public:
    std::function<void()> on_message;

    tuv::gui::prompt_answer message(tuv::gui::native_window owner, const std::string& text,
                                    const std::string& caption, prompt_icon icon,
                                    tuv::gui::prompt_buttons buttons) override {
        if (on_message) on_message();
        return scripted_prompter::message(owner, text, caption, icon, buttons);
    }
};

}  // namespace

class checkin_app_test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        register_vault(vault_->db_path());
        prompter_ = std::make_unique<watching_prompter>();
        app_ = std::make_unique<CVellumApp>(*prompter_);
        app_->set_opener([this](const std::string&) { return &vault_->repo(); });
        app_->set_details_asker([](tuv::checkin_app::checkin_form& form, tuv::repository&) {
            form.set_directory("\\Cab");
            form.set_date({2026, 1, 2});
            form.set_time({3, 4, 5});
            form.set_description("O'Brien");
            return true;
        });
    }
    void cleanup() {
        app_.reset();
        vault_.reset();
    }

    void start_up_failures_are_told_and_end_the_program_data() {
        QTest::addColumn<QString>("db_path");  // in the registry
        QTest::addColumn<QString>("command_line");
        QTest::addColumn<QString>("message");
        QTest::newRow("no vault registered")
            << "" << "/x/a.txt"
            << "No Quillmark vault is set up for this user: the registry has no db_path.\n"
               "To make a vault, run: quillmark init";
        QTest::newRow("vault cannot be opened")
            << "/nonexistent/q.db"
            << "/x/a.txt"
            << "Cannot open the Quillmark vault /nonexistent/q.db:\ncannot open database "
               "/nonexistent/q.db: unable to open database file\nTo make a vault, run: quillmark "
               "init";
    }
    void start_up_failures_are_told_and_end_the_program() {
        QFETCH(QString, db_path);
        QFETCH(QString, command_line);
        QFETCH(QString, message);
        register_vault(db_path.toStdString());
        app_->set_opener([](const std::string& path) -> tuv::repository* {
            tuv::repository open(path);  // throws for a vault it cannot open
            return nullptr;
        });
        QCOMPARE(app_->run({command_line.toStdString()}), 1);
        expect_one(message.toStdString(), prompt_icon::error);
    }

    void a_running_writer_is_waited_for_or_given_up() {
        const auto writer = tuv::try_lock_writer(vault_->db_path(), {});
        QVERIFY(writer);
        prompter_->answer(tuv::gui::prompt_answer::cancel);
        QCOMPARE(app_->run({write_text(files_ / "a.txt", "a").string()}), 1);
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text,
                 "Another check-in of this vault is running.\nRetry when it has finished, or "
                 "Cancel to check nothing in.");
        QCOMPARE(prompter_->prompts()[0].buttons, tuv::gui::prompt_buttons::retry_cancel);
        QVERIFY_THROWS_EXCEPTION(tuv::tuv_error,
                                 vault_->repo().catalogue().resolve("\\Cab\\a.txt"));
    }

    void a_run_checks_in_what_it_can_and_sums_up_the_rest() {
        const fs::path a = write_text(files_ / "a.txt", "first");
        const fs::path gone = files_ / "gone.txt";
        // The last path first.
        QCOMPARE(app_->run({"--files", a.string(), gone.string()}), 1);
        expect_one("Not every file was checked in.\n1 checked in, 1 failed, 0 not checked in.",
                   prompt_icon::error);
        QCOMPARE(prompter_->prompts()[0].details,
                 "Failed: Cannot check in " + gone.string() +
                     ": it does not exist\nChecked in: " + a.string() + " as \\Cab\\a.txt");
        const auto entry = vault_->repo().catalogue().resolve("\\Cab\\a.txt");
        QCOMPARE(entry->attributes(), "O'Brien");
        QCOMPARE(entry->read(tuv::date("2026-01-02 03:04:05")), "first");
    }

    // A joined command line cut inside a path stores nothing: not the
    // folder's other files, not a name found in the current folder.
    void a_joined_line_cut_inside_a_path_checks_nothing_in() {
        const fs::path hashed = write_text(files_ / "hash#1.txt", "whole");
        write_text(files_ / "hash", "another file");
        const fs::path before = fs::current_path();
        fs::current_path(files_);
        write_text(files_ / "1.txt", "here");
        const int code = app_->run({hashed.string()});
        fs::current_path(before);
        QCOMPARE(code, 1);
        expect_one("Nothing was checked in: the command line names what is not the full path of "
                   "an existing file:\n1.txt\nA path holding \"#\" or \",\" cannot be given "
                   "joined with others; give each path as an argument of its own after --files.",
                   prompt_icon::error);
        QVERIFY_THROWS_EXCEPTION(tuv::tuv_error, vault_->repo().catalogue().resolve("\\Cab\\hash"));
        QCOMPARE(app_->run({"--files", hashed.string()}), 0);
        QCOMPARE(vault_->repo()
                     .catalogue()
                     .resolve("\\Cab\\hash#1.txt")
                     ->read(tuv::date("2026-01-02 03:04:05")),
                 "whole");
    }

    void a_database_error_ends_the_run_and_asks_to_try_again() {
        const fs::path a = write_text(files_ / "a.txt", "a");
        const fs::path b = write_text(files_ / "b.txt", "b");
        dynamic_cast<tuv::db_sqlite&>(vault_->database()).set_busy_timeout(20);
        tuv::test::held_database other(vault_->db_path());
        prompter_->answer(tuv::gui::prompt_answer::cancel);
        const int code = app_->run({a.string() + "#" + b.string()});
        other.release();

        QCOMPARE(code, 1);
        const auto& prompts = prompter_->prompts();
        QCOMPARE(prompts.size(), 2u);
        QCOMPARE(prompts[0].text, gave_up_text);
        QCOMPARE(prompts[0].icon, prompt_icon::exclamation);
        QCOMPARE(prompts[0].buttons, tuv::gui::prompt_buttons::retry_cancel);
        QCOMPARE(prompts[1].text, "Not every file was checked in.\n0 checked in, 1 failed, 1 not "
                                  "checked in.");
        QCOMPARE(prompts[1].details,
                 "Failed: " + b.string() + ": database is busy\nNot checked in: " + a.string());
        QVERIFY_THROWS_EXCEPTION(tuv::tuv_error,
                                 vault_->repo().catalogue().resolve("\\Cab\\b.txt"));
        QVERIFY(tuv::verify_vault(vault_->repo(), {.read_data = true}).clean());
    }

    void retry_checks_in_the_files_left_once_the_other_program_lets_go() {
        const fs::path a = write_text(files_ / "a.txt", "a");
        const fs::path b = write_text(files_ / "b.txt", "b");
        dynamic_cast<tuv::db_sqlite&>(vault_->database()).set_busy_timeout(20);
        tuv::test::held_database other(vault_->db_path());
        prompter_->on_message = [&] { other.release(); };
        prompter_->answer(tuv::gui::prompt_answer::retry);

        QCOMPARE(app_->run({"--files", a.string(), b.string()}), 0);
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text, gave_up_text);
        for (const char* name : {"a", "b"}) {
            const std::string path = std::string("\\Cab\\") + name + ".txt";
            QCOMPARE(
                vault_->repo().catalogue().resolve(path)->read(tuv::date("2026-01-02 03:04:05")),
                name);
        }
        QVERIFY(tuv::verify_vault(vault_->repo(), {.read_data = true}).clean());
    }

    void the_progress_window_says_while_another_program_holds_the_vault() {
        const QString waiting = "Waiting for another program that is using the vault...";
        tuv::test::held_database other(vault_->db_path());
        bool said = false;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (const QWidget* window : QApplication::topLevelWidgets()) {
                for (const QLabel* label : window->findChildren<QLabel*>()) {
                    said = said || label->text() == waiting;
                }
            }
            if (said) other.release();
        });
        look.start(10);

        QCOMPARE(app_->run({write_text(files_ / "a.txt", "a").string()}), 0);
        QVERIFY(said);
        QCOMPARE(vault_->repo()
                     .catalogue()
                     .resolve("\\Cab\\a.txt")
                     ->read(tuv::date("2026-01-02 03:04:05")),
                 "a");
    }

    void the_real_program_checks_in_headless() {
        const fs::path a = write_text(files_ / "a b.txt", "alpha");
        const fs::path b = write_text(files_ / "b.txt", "beta");
        const QString script = QString::fromStdString((files_ / "script.json").string());
        write_text(script.toStdString(),
                   R"({"form": {"directory": "\\Cab", "date": "2026-02-03", "time": "04:05:06",
                                "description": "from the desktop"}})");
        QProcess program;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLMARK_CHECKIN_SCRIPT", script);
        program.setProcessEnvironment(environment);
        program.start(QUILLMARK_CHECKIN_SCRIPTED,
                      {"--files", QString::fromStdString(a.string()), QString::fromStdString(b.string())});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QFile log(script + ".log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().simplified(), "[ ]");
        for (const char* path : {"\\Cab\\a b.txt", "\\Cab\\b.txt"}) {
            QCOMPARE(vault_->repo().catalogue().resolve(path)->attributes(), "from the desktop");
        }
        QVERIFY(tuv::verify_vault(vault_->repo(), {.read_data = true}).clean());
    }

  private:
    void expect_one(const std::string& text, prompt_icon icon) {
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text, text);
        QCOMPARE(prompter_->prompts()[0].caption, "Quillmark");
        QCOMPARE(prompter_->prompts()[0].icon, icon);
    }

    tuv::test::temp_dir folder_;
    fs::path files_ = folder_.path();
    std::unique_ptr<tuv::test::test_vault> vault_;
    std::unique_ptr<watching_prompter> prompter_;
    std::unique_ptr<CVellumApp> app_;
};

QTEST_MAIN(checkin_app_test)
#include "checkin_app_test.moc"
