// The explorer's dialogs, driven headless on a real vault: the version
// chooser, the properties, the new cabinet and the export dialog. Each is
// saved as a screenshot for a person to look at.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <fstream>

#include "core/base/date.h"
#include "explorer/CNewCab.h"
#include "explorer/CVellumCheckout.h"
#include "explorer/CVellumProperties.h"
#include "explorer/Quillmark_ExportDlg.h"
#include "gui/captions.h"
#include "gui/version_text.h"
#include "tests/support/combo_items.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/screenshot.h"
#include "tests/support/test_vault.h"

using tuv::gui::prompt_icon;
using tuv::test::screenshot;

namespace {

const std::string report = "\\Cab\\report.txt";

// The text the explorer's lists show for a moment given as date_format.
std::string list_text(const std::string& moment) {
    return tuv::gui::version_list_text(tuv::date(moment).seconds());
}

}  // namespace

class explorer_dialogs_test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        prompter_ = std::make_unique<tuv::gui::scripted_prompter>();
    }
    void cleanup() {
        vault_.reset();
        files_.reset();
    }

    void new_cabinet_takes_only_valid_names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("two words") << "a b" << false;
        QTest::newRow("written together") << "ab" << true;
    }
    void new_cabinet_takes_only_valid_names() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        CNewCab dialog(*prompter_);
        QCOMPARE(dialog.windowTitle(), "Add New Cabinet Dialog");
        QCOMPARE(dialog.edit().maxLength(), 255);
        QTest::keyClicks(&dialog.edit(), name);
        if (accepted) screenshot(dialog, "explorer-new-cabinet");
        dialog.add();
        QCOMPARE(dialog.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(dialog.name(), accepted ? name : QString());
        QCOMPARE(prompter_->prompts().size(), accepted ? 0u : 1u);
        if (!accepted) {
            const auto& refusal = prompter_->prompts().front();
            QCOMPARE(refusal.text,
                     "Please enter a valid value in text field.\n '\\\"/$#@!~`&^%?<>;:'+=|* ' "
                     "characters are not allowed.");
            QCOMPARE(refusal.caption, "Quillmark!");
            QCOMPARE(refusal.icon, prompt_icon::exclamation);
        }
    }

    void one_version_shows_one_entry_selected_with_its_description() {
        checkin("2026-01-02 03:04:05", "first draft");
        const std::string when = list_text("2026-01-02 03:04:05");
        CVellumCheckout dialog(vault_->repo(), *prompter_, report, {when}, -1);
        QCOMPARE(dialog.windowTitle(), "Quillmark Explorer: Checkout");
        QCOMPARE(tuv::test::combo_items(dialog.times()), QStringList{QString::fromStdString(when)});
        QCOMPARE(dialog.times().currentIndex(), 0);
        QCOMPARE(dialog.description().toPlainText(), "first draft");
        const auto lines = dialog.findChildren<QLineEdit*>();
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](QLineEdit* line) {
            return line->text() == "report.txt" && line->toolTip() == "report.txt";
        }));
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](QLineEdit* line) {
            return line->text() == "\\Cab\\report.txt" && line->toolTip() == line->text();
        }));
        QCOMPARE(dialog.time_text(), when);
        screenshot(dialog, "explorer-checkout");
        QVERIFY(prompter_->prompts().empty());
    }

    void versions_are_listed_by_time_not_as_text() {
        checkin("2025-09-30 10:00:00", "september");
        checkin("2025-10-01 09:00:00", "");
        const QString september = QString::fromStdString(list_text("2025-09-30 10:00:00"));
        const QString october = QString::fromStdString(list_text("2025-10-01 09:00:00"));
        // As text, "2025-10-1 ..." would come first.
        CVellumCheckout dialog(vault_->repo(), *prompter_, report,
                               {october.toStdString(), september.toStdString()}, 1);
        QCOMPARE(tuv::test::combo_items(dialog.times()), (QStringList{september, october}));
        QCOMPARE(dialog.times().currentText(), october);
        QCOMPARE(dialog.description().toPlainText(), " ");
        dialog.times().setCurrentIndex(0);
        QCOMPARE(dialog.description().toPlainText(), "september");
    }

    void choose_returns_the_chosen_time_or_nothing() {
        checkin("2025-09-30 10:00:00", "september");
        checkin("2025-10-01 09:00:00", "october");
        const std::vector<std::string> versions{list_text("2025-09-30 10:00:00"),
                                                list_text("2025-10-01 09:00:00")};
        const auto pick_last = [](CVellumCheckout& dialog) {
            dialog.times().setCurrentIndex(1);
            dialog.accept();
            return dialog.result();
        };
        QCOMPARE(CVellumCheckout::choose(vault_->repo(), *prompter_, nullptr, report, versions, 0,
                                         pick_last),
                 versions[1]);
        const auto cancel = [](CVellumCheckout& dialog) {
            dialog.reject();
            return dialog.result();
        };
        QCOMPARE(CVellumCheckout::choose(vault_->repo(), *prompter_, nullptr, report, versions, 0,
                                         cancel),
                 std::nullopt);
    }

    void unreadable_description_shows_the_support_message() {
        CVellumCheckout dialog(vault_->repo(), *prompter_, "\\Cab\\missing.txt",
                               {list_text("2026-01-02 03:04:05")}, 0);
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text,
                 "Some error has occured. Please contact technical support.");
        QCOMPARE(prompter_->prompts()[0].caption, "Quillmark Explorer");
        QCOMPARE(dialog.description().toPlainText(), "");
    }

    void properties_show_the_four_texts() {
        CVellumProperties dialog("report.txt", "\\Cab\\report.txt", "text/plain", "42 Bytes");
        QCOMPARE(dialog.windowTitle(), "Quillmark Explorer:  File Properties");
        QVERIFY(!dialog.windowIcon().isNull());
        const QStringList expected{"report.txt", "\\Cab\\report.txt", "text/plain", "42 Bytes"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(dialog.field(i).text(), expected[i]);
            QVERIFY(dialog.field(i).isReadOnly());
        }
        screenshot(dialog, "explorer-properties");
    }

    void export_needs_a_destination_from_the_browser() {
        Quillmark_ExportDlg dialog(*prompter_);
        QCOMPARE(dialog.windowTitle(), "Export");
        dialog.accept_destination();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(prompter_->prompts().back().text, "Please specify destination folder.");
        prompter_->answer_path(std::nullopt);
        dialog.browse();
        QCOMPARE(dialog.destination(), "");
        prompter_->answer_path("/home/me/exported");
        dialog.browse();
        QCOMPARE(prompter_->prompts().back().caption, "Browse for Folder");
        QCOMPARE(prompter_->prompts().back().what, tuv::gui::prompt_record::kind::browse_folder);
        QCOMPARE(dialog.destination(), "/home/me/exported");
        screenshot(dialog, "explorer-export");
        dialog.accept_destination();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(prompter_->prompts().size(), 3u);
    }

    void export_versions_map_to_the_engine_modes_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("mode");
        QTest::newRow("latest") << "Latest" << 0 << 1;
        QTest::newRow("oldest") << "Oldest" << 1 << 3;
        QTest::newRow("all") << "All" << 2 << 2;
    }
    void export_versions_map_to_the_engine_modes() {
        QFETCH(QString, label);
        QFETCH(int, choice);
        QFETCH(int, mode);
        Quillmark_ExportDlg dialog(*prompter_);
        QCOMPARE(dialog.version_choice(), 0);
        for (auto* radio : dialog.findChildren<QRadioButton*>()) {
            if (radio->text() == label) radio->click();
        }
        QCOMPARE(dialog.version_choice(), choice);
        QCOMPARE(static_cast<int>(dialog.mode()), mode);
    }

  private:
    // Checks in a version of the report, dated `when` (date_format).
    void checkin(const std::string& when, const std::string& description) {
        if (!files_) files_ = std::make_unique<tuv::test::temp_dir>();
        const auto path = *files_ / "report.txt";
        std::ofstream(path, std::ios::binary) << when;
        vault_->repo().checkin_file(path, "\\Cab", when, "text/plain", description);
    }

    std::unique_ptr<tuv::test::test_vault> vault_;
    std::unique_ptr<tuv::test::temp_dir> files_;
    std::unique_ptr<tuv::gui::scripted_prompter> prompter_;
};

QTEST_MAIN(explorer_dialogs_test)
#include "explorer_dialogs_test.moc"
