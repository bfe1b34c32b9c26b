#include "gui/checkout_sequence.h"

#include <QtTest>
#include <filesystem>
#include <fstream>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "gui/version_text.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"

using namespace tuv::gui;
namespace fs = std::filesystem;

namespace {

const QString save_as =
    "save Quillmark: Save file as [report.txt] All Files (*.*)=*.*, Text Files (*.txt)=*.txt";
const QString replace_prompt =
    "exclamation ok/cancel Quillmark: Checkout: "
    "File with the same name already exist. \n Do you really want to replace it?";
const char* const first_version = "2026-1-2 3:4:5";
const char* const old_text = "a local text, older and longer than any version\n";

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

tuv::vault_options separated_by(const std::string& separator) {
    tuv::vault_options options;
    options.separator = separator;
    return options;
}

// A vault holding <sep>Docs<sep>report.txt as "version one" (2026-01-02
// 03:04:05) and "version two" a month later; a local folder holding
// report.txt with old_text.
struct fixture {
    explicit fixture(const std::string& separator = "\\")
        : vault(separated_by(separator)), source(separator + "Docs" + separator + "report.txt") {
        const fs::path file = staging / "report.txt";
        write_file(file, "version one");
        vault.repo().checkin_file(file, separator + "Docs", "2026-01-02 03:04:05", "text/plain",
                                  "");
        write_file(file, "version two");
        vault.repo().checkin_file(file, separator + "Docs", "2026-02-03 04:05:06", "text/plain",
                                  "");
        write_file(local / "report.txt", old_text);
    }
    QString local_path(const fs::path& name) const {
        return QString::fromStdU16String((local / name).u16string());
    }
    checkout_summary run(const std::vector<checkout_row>& rows, const checkout_policy& policy,
                         const date_chooser& choose = {}) {
        return checkout_to_local_file(vault.repo(), prompts, nullptr, rows, policy, choose);
    }

    tuv::test::temp_dir staging;
    tuv::test::test_vault vault;
    tuv::test::temp_dir local;
    scripted_prompter prompts;
    std::string source;
};

const checkout_policy& policy_named(const QString& name) {
    if (name == "explorer") return explorer_policy;
    if (name == "properties") return properties_policy;
    return shell_page_policy;
}

// Every prompt as one line, in the order a person saw them.
QStringList shown(const scripted_prompter& prompts) {
    const char* const icons[] = {"none", "information", "exclamation", "error", "question"};
    QStringList lines;
    for (const prompt_record& record : prompts.prompts()) {
        if (record.what == prompt_record::kind::save_file) {
            QStringList filters;
            for (const file_filter& filter : record.filters) {
                filters << filter.label + "=" + filter.pattern;
            }
            lines << "save " + record.caption + " [" + record.text + "] " + filters.join(", ");
        } else {
            lines << QString(icons[static_cast<int>(record.icon)]) +
                         (record.buttons == prompt_buttons::ok_cancel ? " ok/cancel " : " ") +
                         record.caption + ": " + record.text;
        }
    }
    return lines;
}

}  // namespace

class checkout_sequence_test : public QObject {
    Q_OBJECT

  private slots:
    // Two rows of the first version: the first saved as `destination` (""
    // cancels the dialog), the second as a new file, second.txt.
    void two_rows_data() {
        QTest::addColumn<QString>("policy");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("expected");  // %1: the destination's full path
        QTest::addColumn<QString>("content");       // the destination's afterwards; "": none
        QTest::addColumn<bool>("stopped");
        const QString done_p = "information Quillmark Properties!: Checkout done!";
        const QString done_e = "information Quillmark Explorer: Checkout done!";
        const QString fixed_failure = "error Quillmark Properties: File could not be checked out.";
        const QString unreachable = "missing/Größe.txt";
        // clang-format off
        QTest::newRow("replaced") << "properties" << "report.txt" << "ok"
            << QStringList{save_as, replace_prompt, done_p, save_as, done_p} << "version one" << false;
        QTest::newRow("kept: next row") << "properties" << "report.txt" << "cancel"
            << QStringList{save_as, replace_prompt, save_as, done_p} << old_text << false;
        QTest::newRow("shell page, kept: ends") << "shell page" << "report.txt" << "cancel"
            << QStringList{save_as, replace_prompt} << old_text << true;
        QTest::newRow("explorer, failed: own text, next row") << "explorer" << unreachable << ""
            << QStringList{save_as, "error Quillmark Explorer: Couldn't open %1: No such file or directory", save_as, done_e}
            << "" << false;
        QTest::newRow("properties, failed: fixed text, next row") << "properties" << unreachable
            << "" << QStringList{save_as, fixed_failure, save_as, done_p} << "" << false;
        QTest::newRow("shell page, failed: ends") << "shell page" << unreachable << ""
            << QStringList{save_as, fixed_failure} << "" << true;
        QTest::newRow("save-as cancelled: ends") << "explorer" << "" << ""
            << QStringList{save_as} << "" << true;
        // clang-format on
    }
    void two_rows() {
        QFETCH(QString, policy);
        QFETCH(QString, destination);
        QFETCH(QString, answer);
        QFETCH(QStringList, expected);
        QFETCH(QString, content);
        QFETCH(bool, stopped);
        fixture f;
        const fs::path path = f.local.path() / destination.toStdU16String();
        const QString full_path = QString::fromStdU16String(path.u16string());
        f.prompts.answer_path(destination.isEmpty() ? std::nullopt : std::optional(full_path));
        if (!answer.isEmpty())
            f.prompts.answer(answer == "ok" ? prompt_answer::ok : prompt_answer::cancel);
        f.prompts.answer_path(f.local_path("second.txt"));

        const checkout_row row{f.source, first_version};
        const checkout_summary summary = f.run({row, row}, policy_named(policy));

        QCOMPARE(shown(f.prompts), expected.replaceInStrings("%1", full_path));
        if (!destination.isEmpty()) {
            QCOMPARE(fs::exists(path), !content.isEmpty());
            QCOMPARE(QString::fromStdString(tuv::test::file_contents(path)), content);
        }
        QCOMPARE(fs::exists(f.local / "second.txt"), !stopped);
        QCOMPARE(summary.checked_out, expected.filter("Checkout done!").size());
        QCOMPARE(summary.stopped, stopped);
    }

    void failure_writes_nothing_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("message");
        QTest::newRow("source not in the vault")
            << "\\Docs\\absent.txt" << first_version << "No such file or directory: absent.txt";
        QTest::newRow("date no calendar has") << "\\Docs\\report.txt"
                                              << "2026-2-30 0:0:0"
                                              << "Invalid date format";
    }
    void failure_writes_nothing() {
        QFETCH(QString, source);
        QFETCH(QString, when);
        QFETCH(QString, message);
        fixture f;
        f.prompts.answer_path(f.local_path("new.txt"));

        f.run({{source.toStdString(), when.toStdString()}}, explorer_policy);

        QCOMPARE(shown(f.prompts).last(), "error Quillmark Explorer: " + message);
        QVERIFY(!fs::exists(f.local / "new.txt"));
    }

    // The suggested name is cut at the vault's own separator.
    void suggested_name_data() {
        QTest::addColumn<QString>("separator");
        QTest::newRow("backslash") << "\\";
        QTest::newRow("slash") << "/";
    }
    void suggested_name() {
        QFETCH(QString, separator);
        fixture f(separator.toStdString());
        f.prompts.answer_path(std::nullopt);
        f.run({{f.source, first_version}}, properties_policy);
        QCOMPARE(shown(f.prompts), QStringList{save_as});
    }

    // The explorer asks each row's date and writes the chosen version; a
    // cancelled chooser ends the run quietly, a failing one with a message
    // (the other programs leave that failure to their caller).
    void explorer_date_chooser_data() {
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QStringList>("expected");
        const QString done = "information Quillmark Explorer: Checkout done!";
        QTest::newRow("cancelled") << false << QStringList{save_as, done};
        QTest::newRow("failed") << true
                                << QStringList{save_as, done,
                                               "error Quillmark Explorer: Some error has occured. "
                                               "Please contact technical support."};
    }
    void explorer_date_chooser() {
        QFETCH(bool, fails);
        QFETCH(QStringList, expected);
        fixture f;
        f.prompts.answer_path(f.local_path("chosen.txt"));
        f.prompts.answer_path(f.local_path("second.txt"));
        QStringList asked;
        const date_chooser choose = [&](const checkout_row& row) -> std::optional<std::string> {
            asked << QString::fromStdString(row.source);
            if (asked.size() == 1) return first_version;
            if (fails) throw tuv::tuv_error(std::string("the versions could not be read"));
            return std::nullopt;
        };
        const std::vector<checkout_row> rows(3, {f.source, std::nullopt});

        const checkout_summary summary = f.run(rows, explorer_policy, choose);

        QCOMPARE(asked, QStringList(2, "\\Docs\\report.txt"));
        QCOMPARE(shown(f.prompts), expected);
        QCOMPARE(tuv::test::file_contents(f.local / "chosen.txt"), std::string("version one"));
        QCOMPARE(summary.checked_out, 1);
        QVERIFY(summary.stopped);
        if (fails) QVERIFY_THROWS_EXCEPTION(tuv::tuv_error, f.run(rows, properties_policy, choose));
    }

    // The lists' text of a local moment, which a checkout reads back.
    void version_list_text_data() {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("text");
        QTest::newRow("no leading zeros") << QDateTime({2026, 1, 2}, {3, 4, 5}) << "2026-1-2 3:4:5";
        QTest::newRow("two digits")
            << QDateTime({2026, 12, 31}, {23, 59, 58}) << "2026-12-31 23:59:58";
        QTest::newRow("after 2038") << QDateTime({2040, 7, 15}, {10, 0}) << "2040-7-15 10:0:0";
    }
    void version_list_text() {
        QFETCH(QDateTime, moment);
        QFETCH(QString, text);
        const std::time_t seconds = moment.toSecsSinceEpoch();
        QCOMPARE(QString::fromStdString(tuv::gui::version_list_text(seconds)), text);
        QCOMPARE(tuv::date(text.toStdString()).seconds(), seconds);
    }
};

QTEST_GUILESS_MAIN(checkout_sequence_test)
#include "checkout_sequence_test.moc"
