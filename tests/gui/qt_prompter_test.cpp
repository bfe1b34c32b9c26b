// The real prompter's file dialog: what a person sees listed in it.
#include "gui/qt_prompter.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <fstream>

#include "tests/support/screenshot.h"
#include "tests/support/temp_dir.h"

namespace {

// The names the open dialog lists once it has read its folder.
QStringList listed_names(QFileDialog& dialog, int expected) {
    auto* view = dialog.findChild<QAbstractItemView*>("listView");
    if (view == nullptr) return {};
    QStringList names;
    // Whatever is listed by then is what the person would see.
    (void)QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= expected; },
                          5000);
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    }
    names.sort();
    return names;
}

}  // namespace

class qt_prompter_test : public QObject {
    Q_OBJECT

  private slots:
    void all_files_lists_names_without_a_dot_data() {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("*") << "*";
        QTest::newRow("*.*") << "*.*";
    }

    void all_files_lists_names_without_a_dot() {
        QFETCH(QString, pattern);
        const tuv::test::temp_dir folder;
        for (const char* name : {"a.txt", "Makefile", "notes"}) std::ofstream(folder / name) << "";
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            seen = listed_names(*dialog, 3);
            dialog->reject();
        });
        tuv::gui::qt_prompter prompts;
        prompts.open_files(nullptr, "Check In", folder.path().string(),
                           {{"All Files (*.*)", pattern.toStdString()}});
        QCOMPARE(seen, (QStringList{"Makefile", "a.txt", "notes"}));
    }

    // A report of thousands of lines fits the screen, its list scrolling.
    void a_long_report_fits_the_screen() {
        QStringList lines;
        for (int i = 0; i < 3000; ++i) lines << QString("Not checked in: /home/me/file%1.txt").arg(i);
        QSize shown;
        bool list_visible = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            shown = box->frameGeometry().size();
            auto* list = box->findChild<QTextEdit*>();
            list_visible = list != nullptr && list->isVisible();
            tuv::test::screenshot(*box, "checkin-summary-long");
            box->accept();
        });
        tuv::gui::qt_prompter prompts;
        prompts.report(
            nullptr, "The check-in was cancelled.\n12 checked in, 0 failed, 2988 not checked in.",
            lines.join('\n').toStdString(), "Quillmark", tuv::gui::prompt_icon::information);
        QVERIFY(list_visible);
        QVERIFY2(shown.height() <= QGuiApplication::primaryScreen()->availableSize().height(),
                 qPrintable(QString::number(shown.height())));
    }
};

QTEST_MAIN(qt_prompter_test)
#include "qt_prompter_test.moc"
