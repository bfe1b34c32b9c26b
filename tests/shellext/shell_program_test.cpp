// Quillmark_Shell's two uses: a message of the Nautilus extension, and
// Dolphin's check-in of the selected items.
#include "shellext/shell_program.h"

#include <QTest>
#include <filesystem>
#include <fstream>

#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/recorder.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace fs = std::filesystem;
using tuv::gui::prompt_icon;
using tuv::shell::run_shell_program;

namespace {

// "caption|text" of each prompt, with the icon's number.
QStringList shown(const tuv::gui::scripted_prompter& prompts) {
    QStringList out;
    for (const auto& prompt : prompts.prompts()) {
        out << QString::fromStdString(std::to_string(static_cast<int>(prompt.icon)) + "|" +
                                      prompt.caption + "|" + prompt.text);
    }
    return out;
}

QString icon(prompt_icon icon) {
    return QString::number(static_cast<int>(icon));
}

}  // namespace

class shell_program_test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<tuv::test::temp_dir>();
        registry_ = std::make_unique<tuv::test::scoped_env>("QUILLMARK_REGISTRY_DIR",
                                                            (dir_->path() / "registry").string());
        record_ = std::make_unique<tuv::test::scoped_env>(tuv::test::record_variable,
                                                          (dir_->path() / "record").string());
        platform::create_registry_key(platform::registry_root::local_machine,
                                      platform::quillmark_key)
            .set(platform::checkin_program_value, QUILLMARK_TEST_RECORDER);
    }
    void cleanup() {
        record_.reset();
        registry_.reset();
        dir_.reset();
    }

    void message_is_shown_with_its_caption_and_icon() {
        tuv::gui::scripted_prompter prompts;
        QCOMPARE(run_shell_program(
                     {"--message", "Quillmark :Error", "information", "Unable to open registry"},
                     prompts),
                 0);
        QCOMPARE(shown(prompts), QStringList{icon(prompt_icon::information) +
                                             "|Quillmark :Error|Unable to open registry"});
        QCOMPARE(run_shell_program({"--message", "c", "loud", "t"}, prompts), 2);
    }

    void checkin_leaves_out_folders_and_names_what_cannot_be_passed() {
        tuv::test::test_vault vault;
        tuv::test::register_vault(vault.db_path());
        const fs::path file = dir_->path() / "a b.txt", odd = dir_->path() / "x#y.txt";
        std::ofstream(file) << "a";
        std::ofstream(odd) << "x";
        tuv::gui::scripted_prompter prompts;
        QCOMPARE(run_shell_program(
                     {"--checkin", file.string(), dir_->path().string(), odd.string()}, prompts),
                 0);
        QCOMPARE(shown(prompts),
                 QStringList{icon(prompt_icon::exclamation) +
                             "|Quillmark|Left out of the check-in, because the check-in program "
                             "cannot be given a path that holds \"#\" or \",\":\n" +
                             QString::fromStdString(odd.string())});
        QCOMPARE(tuv::test::recorded_arguments(dir_->path() / "record"),
                 (std::vector<std::string>{"test_recorder", file.string()}));
    }

    // Dolphin offers the menu on folders too: a folder alone is told, as
    // the check-in program tells a command line without a file.
    void checkin_of_folders_alone_says_so_and_starts_nothing() {
        tuv::test::test_vault vault;
        tuv::test::register_vault(vault.db_path());
        tuv::gui::scripted_prompter prompts;
        QCOMPARE(run_shell_program({"--checkin", dir_->path().string()}, prompts), 1);
        QCOMPARE(shown(prompts), QStringList{icon(prompt_icon::error) +
                                             "|Quillmark|Please select the file for Quillmark."});
        QVERIFY(!fs::exists(dir_->path() / "record"));
    }

    void checkin_without_a_vault_says_so_and_starts_nothing() {
        const fs::path file = dir_->path() / "a.txt";
        std::ofstream(file) << "a";
        tuv::gui::scripted_prompter prompts;
        QCOMPARE(run_shell_program({"--checkin", file.string()}, prompts), 1);
        QCOMPARE(shown(prompts),
                 QStringList{icon(prompt_icon::error) +
                             "|Quillmark|No Quillmark vault is set up for this user: the registry "
                             "has no db_path.\nTo make a vault, run: quillmark init"});
        QVERIFY(!fs::exists(dir_->path() / "record"));
    }

  private:
    std::unique_ptr<tuv::test::temp_dir> dir_;
    std::unique_ptr<tuv::test::scoped_env> registry_, record_;
};

QTEST_MAIN(shell_program_test)
#include "shell_program_test.moc"
