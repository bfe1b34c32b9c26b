// The explorer's Qt presentation on a real vault: the list's model over the
// shared rows, its pages as a view fetches them, the cabinet tree, and the
// check-in program started as a process with the window hidden around it.
// The shared logic itself is explorer_logic_test's.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "core/base/date.h"
#include "core/db/db.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/hview_model.h"
#include "gui/cabinet_model.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

using namespace tuv::explorer;
using tuv::gui::prompt_answer;
using tuv::gui::prompt_icon;
namespace fs = std::filesystem;

namespace {

// Each row as its item data and its cells, joined by '|'.
QStringList rows_of(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells{model.index(row, 0).data(row_kind_role).toString()};
        for (int column = 0; column < model.columnCount(); ++column) {
            cells << model.index(row, column).data().toString();
        }
        rows << cells.join('|');
    }
    return rows;
}

QStringList headers_of(const QAbstractItemModel& model) {
    QStringList headers;
    for (int column = 0; column < model.columnCount(); ++column) {
        headers << model.headerData(column, Qt::Horizontal).toString();
    }
    return headers;
}

void write_file(const fs::path& path, std::size_t size, char fill = 'x') {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

const QStringList entry_headers{"Name", "No. Of Versions", "1st Checkin Date", "Last Checkin Date"};
const QString top_row = "100|..|||";

}  // namespace

class explorer_document_test : public QObject {
    Q_OBJECT
  private slots:
    // \Docs\a.txt twice (the second without a description), \Docs\Sub\b.txt
    // and \Mail\c.txt once.
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        checkin("a.txt", "one", "\\Docs", "2026-01-02 03:04:05", "first");
        checkin("a.txt", "two", "\\Docs", "2026-02-03 04:05:06", "");
        checkin("b.txt", "bee", "\\Docs\\Sub", "2026-02-04 10:00:00", "bee");
        checkin("c.txt", "sea", "\\Mail", "2026-03-01 12:30:00", "sea");
        prompts_ = std::make_unique<tuv::gui::scripted_prompter>();
        doc_ = std::make_unique<CVellum_ExplorerDoc>(&vault_->repo(), *prompts_);
        list_ = std::make_unique<hview_model>(*doc_);
        tester_ = std::make_unique<QAbstractItemModelTester>(
            list_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        doc_->go_to(doc_->root_location());
    }
    void cleanup() {
        tester_.reset();
        list_.reset();
        doc_.reset();
    }

    void navigating_rows_data() {
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("rows");
        const QStringList top{top_row, "102|Docs|||", "102|Mail|||"};
        const QStringList docs{top_row, "103|a.txt|2|2026-1-2 3:4:5|2026-2-3 4:5:6", "102|Sub|||"};
        const QStringList versions{"100|..|", "104|2026-2-3 4:5:6| ", "104|2026-1-2 3:4:5|first"};
        const QStringList version_headers{"TimeStamp", "Description"};
        QTest::newRow("top level") << QList<int>{} << 101 << entry_headers << top;
        QTest::newRow("folder") << QList<int>{1} << 102 << entry_headers << docs;
        QTest::newRow("file: versions newest first")
            << QList<int>{1, 1} << 103 << version_headers << versions;
    }
    void navigating_rows() {
        QFETCH(QList<int>, steps);
        QFETCH(int, mode);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, rows);
        for (const int row : steps) list_->navigate(row);
        QCOMPARE(doc_->list_mode(), mode);
        QCOMPARE(headers_of(*list_), headers);
        QCOMPARE(rows_of(*list_), rows);
        QVERIFY(prompts_->prompts().empty());
    }

    // Two and a half pages of files: the view fetches them page by page, each
    // appended after the last.
    void long_folder_comes_in_pages() {
        tester_.reset();  // it fetches every page itself, inside its own reset checks
        tuv::repository& repo = vault_->repo();
        const std::int64_t big = repo.catalogue().create_directory("Big", 1, "2026-04-01 00:00:00");
        const int files = 2 * int(list_page_rows) + int(list_page_rows) / 2;
        for (int n = 0; n < files; ++n) {
            const std::string name = "f" + std::to_string(n);
            const std::int64_t id =
                repo.catalogue().create_file(name, big, 1, "2026-04-01 00:00:00", "text/plain");
            repo.journal().insert_change(id, tuv::CHANGE_CREATED,
                                         tuv::date(std::time_t{1775001600} + n), "", "v" + name);
        }
        doc_->go_to("\\Big");
        QCOMPARE(list_->rowCount(), int(list_page_rows));
        QSignalSpy inserted(list_.get(), &QAbstractItemModel::rowsInserted);
        while (list_->canFetchMore({})) list_->fetchMore({});
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted[0][1].toInt(), int(list_page_rows));
        QCOMPARE(inserted[1][2].toInt(), files);
        QCOMPARE(list_->rowCount(), files + 1);
        const QString last = "f" + QString::number(files - 1);
        QCOMPARE(list_->index(files, 0).data().toString(), "f" + QString::number(files - 1));
        QVERIFY(!list_->canFetchMore({}));
    }

    void tree_sorted_with_expandable_folders() {
        write_file(files_ / "z.txt", 1);
        vault_->repo().checkin_file(files_ / "z.txt", "\\Aardvark", "now", "text/plain", "");
        tuv::gui::cabinet_model tree(vault_->repo(), tuv::gui::cabinet_root::hidden);
        QAbstractItemModelTester tester(&tree,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(tree.rowCount(), 3);
        QCOMPARE(tree.index(0, 0).data().toString(), "Aardvark");
        const QModelIndex docs = tree.index(1, 0);
        QCOMPARE(tree.rowCount(docs), 1);  // the placeholder
        QCOMPARE(tree.index(0, 0, docs).data().toString(), QString());
        QCOMPARE(tree.rowCount(tree.index(2, 0)), 0);
        QVERIFY(tree.expand(docs));
        QCOMPARE(tree.vault_path(tree.index(0, 0, docs)), "\\Docs\\Sub");
        tree.collapse(docs);
        QCOMPARE(tree.index(0, 0, docs).data().toString(), QString());
    }

    void hidden_while_checkin_runs_data() {
        QTest::addColumn<bool>("program_exists");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("program ends with 3") << true << QStringList{};
        QTest::newRow("program missing")
            << false << QStringList{"Unable to create Quillmark_Checkin process"};
    }
    void hidden_while_checkin_runs() {
        QFETCH(bool, program_exists);
        QFETCH(QStringList, messages);
        const fs::path program = files_ / (program_exists ? "checkin.sh" : "missing.sh");
        const fs::path out = files_ / "arguments";
        if (program_exists) {
            std::ofstream(program)
                << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << out.string() << "'\nexit 3\n";
            fs::permissions(program, fs::perms::owner_all);
        }
        platform::create_registry_key(platform::registry_root::local_machine,
                                      platform::quillmark_key)
            .set(platform::checkin_program_value, program.string());
        QSignalSpy hidden(doc_.get(), &CVellum_ExplorerDoc::hide_main_window);
        QSignalSpy shown(doc_.get(), &CVellum_ExplorerDoc::show_main_window);
        list_->navigate(1);
        prompts_->answer_files({"/f/a#1.txt", "/g/b,2.txt"});
        doc_->check_in();
        QCOMPARE(hidden.count(), 1);
        QTRY_COMPARE(shown.count(), 1);
        QVERIFY(doc_->refresh_flag());
        QStringList shown_texts;
        for (const auto& prompt : prompts_->prompts()) {
            if (prompt.what == tuv::gui::prompt_record::kind::message) {
                shown_texts << QString::fromStdString(prompt.text);
            }
        }
        QCOMPARE(shown_texts, messages);
        QCOMPARE(prompts_->prompts().at(0).caption, "Quillmark: Select file for CheckIn");
        if (program_exists) {
            std::ifstream read(out);
            const std::string arguments((std::istreambuf_iterator<char>(read)), {});
            // Every path whole, wherever it lies and whatever it holds.
            QCOMPARE(QString::fromStdString(arguments), "--to|\\Docs|--files|/f/a#1.txt|/g/b,2.txt|");
        }
    }

  private:
    void checkin(const std::string& name, const std::string& text, const std::string& directory,
                 const std::string& when, const std::string& description) {
        const fs::path source = files_ / name;
        std::ofstream(source, std::ios::binary) << text;
        vault_->repo().checkin_file(source, directory, when, "text/plain", description);
    }

    tuv::test::temp_dir files_;
    std::unique_ptr<tuv::test::test_vault> vault_;
    std::unique_ptr<tuv::gui::scripted_prompter> prompts_;
    std::unique_ptr<CVellum_ExplorerDoc> doc_;
    std::unique_ptr<hview_model> list_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

QTEST_MAIN(explorer_document_test)
#include "explorer_document_test.moc"
