// The check-in program's rules without windows: its command line, the main
// dialog's texts and moment, and new names.
#include <QTest>
#include <filesystem>
#include <fstream>

#include "checkin/cabinet_names.h"
#include "checkin/checkin_form.h"
#include "checkin/command_line.h"
#include "tests/support/temp_dir.h"

using namespace tuv::checkin_app;
namespace fs = std::filesystem;

namespace {

QStringList files_of(const command_line& line) {
    QStringList files;
    for (const auto& file : line.files) files << QString::fromStdString(file.string());
    return files;
}

const QDateTime opened(QDate(2026, 3, 14), QTime(15, 9, 26, 535));

}  // namespace

class checkin_logic_test : public QObject {
    Q_OBJECT
  private slots:
    void command_line_forms_and_order_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("destination");  // "-" for none
        QTest::addColumn<bool>("multiple");
        QTest::newRow("A, one file") << "/x/a.txt" << QStringList{"/x/a.txt"} << "-" << false;
        QTest::newRow("A, last path first")
            << "/x/a.txt#/y/b.txt#/z/c" << QStringList{"/z/c", "/y/b.txt", "/x/a.txt"} << "-" << true;
        QTest::newRow("B, one file") << "/x/a b.txt,\\Cab" << QStringList{"/x/a b.txt"} << "\\Cab"
                                     << false;
        QTest::newRow("B, folder and names, last name first")
            << "/x#a.txt#b.txt,\\Cab" << QStringList{"/x/b.txt", "/x/a.txt"} << "\\Cab" << true;
        QTest::newRow("B, the last comma starts the directory")
            << "/x/a,b.txt,\\" << QStringList{"/x/a,b.txt"} << "\\" << false;
        QTest::newRow("empty") << "" << QStringList{} << "-" << false;
    }
    void command_line_forms_and_order() {
        QFETCH(QString, text);
        QFETCH(QStringList, files);
        QFETCH(QString, destination);
        QFETCH(bool, multiple);
        const command_line line = parse_command_line(text.toStdString());
        QCOMPARE(files_of(line), files);
        QCOMPARE(line.destination ? QString::fromStdString(*line.destination) : "-", destination);
        QCOMPARE(line.multiple, multiple);
    }

    // Each path after --files arrives whole, whatever it holds; a joined
    // form's pieces must be full paths of existing files, never looked for
    // in the current folder.
    void command_line_from_arguments_data() {
        QTest::addColumn<QStringList>("arguments");  // "@" stands for the test's folder
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("destination");  // "-" for none
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("--files, whole paths")
            << QStringList{"--files", "@/hash#1.txt", "@/q,r.txt"}
            << QStringList{"@/q,r.txt", "@/hash#1.txt"} << "-" << QStringList{};
        QTest::newRow("--to a cabinet with a comma")
            << QStringList{"--to", "\\q,r", "--files", "@/a b.txt"} << QStringList{"@/a b.txt"}
            << "\\q,r" << QStringList{};
        QTest::newRow("joined, blanks join arguments")
            << QStringList{"@/a", "b.txt"} << QStringList{"@/a b.txt"} << "-" << QStringList{};
        QTest::newRow("joined, cut inside a path")
            << QStringList{"@/hash#1.txt"} << QStringList{} << "-"
            << QStringList{"@/hash", "1.txt"};
        QTest::newRow("joined, a missing file") << QStringList{"@/a b.txt#@/gone.txt"}
                                                << QStringList{"@/a b.txt"} << "-"
                                                << QStringList{"@/gone.txt"};
    }
    void command_line_from_arguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, files);
        QFETCH(QString, destination);
        QFETCH(QStringList, refused);
        const tuv::test::temp_dir folder;
        for (const char* name : {"hash#1.txt", "q,r.txt", "a b.txt", "1.txt"}) {
            std::ofstream(folder / name) << name;
        }
        const QString at = QString::fromStdString(folder.path().string());
        std::vector<std::string> given;
        for (const QString& argument : arguments) {
            given.push_back(QString(argument).replace("@", at).toStdString());
        }
        // A relative piece must not find 1.txt here.
        const fs::path before = fs::current_path();
        fs::current_path(folder.path());
        const command_line line = read_command_line(given);
        fs::current_path(before);
        QCOMPARE(files_of(line), files.replaceInStrings("@", at));
        QCOMPARE(line.destination ? QString::fromStdString(*line.destination) : "-", destination);
        QStringList refused_pieces;
        for (const std::string& piece : line.refused) refused_pieces << QString::fromStdString(piece);
        QCOMPARE(refused_pieces, refused.replaceInStrings("@", at));
    }

    void destination_text_data() {
        QTest::addColumn<QString>("command_line");
        QTest::addColumn<QString>("directory");  // empty: as the command line gives it
        QTest::addColumn<QString>("text");
        QTest::newRow("one file, the root") << "/x/a.txt" << "" << "\\a.txt";
        QTest::newRow("one file, a cabinet") << "/x/a.txt" << "\\Cab\\Company"
                                             << "\\Cab\\Company\\a.txt";
        QTest::newRow("several files") << "/x/a.txt#/x/b.txt" << "\\Cab\\Company" << "\\Cab\\Company";
        QTest::newRow("several files, the root") << "/x/a.txt#/x/b.txt" << "" << "\\";
        QTest::newRow("form B preselects") << "/x#a.txt#b.txt,\\Cab" << "" << "\\Cab";
        QTest::newRow("form B, the root") << "/x/a.txt,\\" << "" << "\\a.txt";
    }
    void destination_text() {
        QFETCH(QString, command_line);
        QFETCH(QString, directory);
        QFETCH(QString, text);
        checkin_form form(parse_command_line(command_line.toStdString()), "\\", opened);
        if (!directory.isEmpty()) form.set_directory(directory.toStdString());
        QCOMPARE(form.destination_text(), text);
    }

    void source_text_names_one_file_or_says_several() {
        QCOMPARE(checkin_form(parse_command_line("/x/a.txt"), "\\", opened).source_text(), "/x/a.txt");
        QCOMPARE(checkin_form(parse_command_line("/x/a#/x/b"), "\\", opened).source_text(),
                 "Multiple Files are selected");
    }

    void the_moment_never_passes_the_opening_and_each_picker_keeps_the_other_part() {
        checkin_form form(parse_command_line("/x/a.txt"), "\\", opened);
        QCOMPARE(form.date_text(), "2026-03-14 15:09:26");
        form.set_time(QTime(9, 5, 3));
        QCOMPARE(form.date_text(), "2026-03-14 09:05:03");
        form.set_date(QDate(2026, 3, 1));
        QCOMPARE(form.date_text(), "2026-03-01 09:05:03");
        // On an earlier day any time of the day; on the opening day not past it.
        form.set_time(QTime(23, 0, 0));
        QCOMPARE(form.date_text(), "2026-03-01 23:00:00");
        form.set_date(QDate(2026, 3, 14));
        QCOMPARE(form.date_text(), "2026-03-14 15:09:26");
        form.set_date(QDate(2026, 3, 15));
        QCOMPARE(form.date(), QDate(2026, 3, 14));
        form.set_time(QTime(15, 9, 27));
        QCOMPARE(form.time(), QTime(15, 9, 26));
    }

    void description_keeps_a_thousand_characters_as_typed() {
        checkin_form form(parse_command_line("/x/a.txt"), "\\", opened);
        form.set_description("O'Brien" + QString(1200, 'x'));
        QCOMPARE(form.description().size(), 1000);
        QVERIFY(form.description().startsWith("O'Brien"));
    }

    void entry_names_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "Reports 2026" << false;
        QTest::newRow("word") << "Reports" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("backslash passes here") << "a\\b" << true;
        QTest::newRow("slash passes here") << "a/b" << true;
        QTest::newRow("symbol") << "a#b" << false;
        QTest::newRow("quote") << "O'Brien" << false;
    }
    void entry_names() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(is_valid_entry_name(name), valid);
    }
};

QTEST_GUILESS_MAIN(checkin_logic_test)
#include "checkin_logic_test.moc"
