// The explorer from its start: one instance, the registry, the clean-up of
// the folder View writes to, and the main window with its panes, search pane
// and repository size, screenshot in each list mode.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "core/vault/repository.h"
#include "explorer/CLeftView.h"
#include "explorer/CMainFrame.h"
#include "explorer/CSearchFiltters.h"
#include "explorer/CVellum_ExplorerApp.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/CVellum_HView.h"
#include "explorer/CVellum_Slider.h"
#include "explorer/TFormView.h"
#include "explorer/temp_folder.h"
#include "platform/named_mutex.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "tests/support/checks.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace fs = std::filesystem;
using tuv::gui::prompt_icon;

class explorer_window_test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        vault_ = std::make_unique<tuv::test::test_vault>();
        tuv::test::register_vault(vault_->db_path());
        auto& repo = vault_->repo();
        for (const char* name : {"Letters", "Projects"}) {
            std::ofstream(files_.path() / "draft.txt") << "first " << name;
            repo.checkin_file(files_.path() / "draft.txt", std::string("\\") + name,
                              "2026-01-05 09:30:00", "text/plain", "first draft");
        }
        std::ofstream(files_.path() / "draft.txt") << "second, longer";
        repo.checkin_file(files_.path() / "draft.txt", "\\Letters", "2026-02-10 16:45:00",
                          "text/plain", "after review");
        prompter_ = std::make_unique<tuv::gui::scripted_prompter>();
        app_ = std::make_unique<CVellum_ExplorerApp>(*prompter_);
        app_->set_opener([this](const std::string&) { return &vault_->repo(); });
    }
    void cleanup() {
        app_.reset();
        vault_.reset();
    }

    void one_explorer_at_a_time() {
        const auto first = platform::named_mutex::try_acquire("Quillmark_Explorer", {});
        QVERIFY(first);
        int code = -1;
        QCOMPARE(app_->start(code), nullptr);
        QCOMPARE(code, 0);
        QCOMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text, "One Instance of Quillmark Explorer is already running!");
        QCOMPARE(prompter_->prompts()[0].icon, prompt_icon::information);
    }

    void start_up_clears_only_the_view_folder() {
        const fs::path temp = files_.path() / "tmp";
        const fs::path views = tuv::explorer::view_folder(temp);
        fs::create_directories(views / "12" / "deeper");
        std::ofstream(views / "12" / "deeper" / "2026-1-5 9.30.0_a.txt") << "a";
        std::ofstream(views / "read-only.txt") << "b";
        fs::permissions(views / "read-only.txt", fs::perms::owner_read);
        std::ofstream(temp / "not ours.txt") << "c";
        platform::create_registry_key(platform::registry_root::current_user, platform::quillmark_key)
            .set(platform::temp_dir_value, temp.string());

        int code = -1;
        QVERIFY(app_->start(code) != nullptr);
        QVERIFY(fs::is_empty(views));
        QVERIFY(fs::exists(temp / "not ours.txt"));
    }

    void the_window_shows_the_vault_in_each_mode_and_its_size() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        QCOMPARE(frame->windowTitle(), "Quillmark Explorer");
        QCOMPARE(frame->list().model()->rowCount(), 3);  // "..", Letters, Projects
        QVERIFY(frame->repository_size_text().startsWith("Repository Size : "));
        tuv::test::screenshot(*frame, "explorer-top-level");

        frame->list().rows().navigate(1);  // into \Letters
        QCOMPARE(frame->list().model()->index(1, 0).data().toString(), "draft.txt");
        QCOMPARE(frame->list().model()->index(1, 1).data().toString(), "2");
        tuv::test::screenshot(*frame, "explorer-folder");

        frame->list().rows().navigate(1);  // the versions of draft.txt, newest first
        QCOMPARE(frame->list().model()->index(1, 1).data().toString(), "after review");
        tuv::test::screenshot(*frame, "explorer-versions");
    }

    void view_opens_a_copy_and_a_missing_container_is_named() {
        const fs::path temp = files_.path() / "tmp";
        platform::create_registry_key(platform::registry_root::current_user, platform::quillmark_key)
            .set(platform::temp_dir_value, temp.string());
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        std::vector<fs::path> opened;
        frame->list().set_file_opener([&](const fs::path& file) {
            opened.push_back(file);
            return true;
        });
        frame->list().rows().navigate(1);  // \Letters
        frame->list().setCurrentIndex(frame->list().model()->index(1, 0));  // draft.txt
        frame->list().view_selected();
        QCOMPARE(opened.size(), 1u);
        QCOMPARE(opened[0].parent_path().parent_path(), tuv::explorer::view_folder(temp));
        QCOMPARE(opened[0].filename().string(), "2026-2-10 16.45.0_draft.txt");
        QCOMPARE(tuv::test::file_contents(opened[0]), "second, longer");

        // No program for its type: said, and saved where the person chooses.
        frame->list().set_file_opener([](const fs::path&) { return false; });
        const fs::path saved = files_.path() / "saved.txt";
        prompter_->answer(tuv::gui::prompt_answer::yes);
        prompter_->answer_path(saved.string());
        frame->list().view_selected();
        QCOMPARE(prompter_->prompts()[0].text,
                 std::string("No program on this computer opens \\Letters\\draft.txt "
                             "(the version of 2026-2-10 16:45:0, written to " +
                             opened[0].string() +
                             ").\nDo you want to save this version somewhere else "
                             "instead?"));
        QCOMPARE(tuv::test::file_contents(saved), "second, longer");
        const std::size_t asked = prompter_->prompts().size();

        for (const auto& container : fs::directory_iterator(vault_->repo().data_directory())) {
            fs::remove(container.path());
        }
        frame->list().view_selected();
        QCOMPARE(opened.size(), 1u);
        QCOMPARE(prompter_->prompts().size(), asked + 1);
        QCOMPARE(prompter_->prompts()[asked].text,
                 std::string("Couldn't open disk (1, '" +
                             (vault_->repo().data_directory() / "tuv_s1").string() + "')"));
        QCOMPARE(prompter_->prompts()[asked].icon, prompt_icon::error);
    }

    void search_pane_toggles_and_its_close_button_hides_it() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        for (int i = 0; i < 3; ++i) frame->toggle_search_pane();
        QVERIFY(frame->search_pane_shown());
        QVERIFY(frame->search_list() != nullptr);
        tuv::test::screenshot(*frame, "explorer-search-pane");
        emit frame->search_form()->SEARCH_CLOSE(0, 0);
        QTRY_VERIFY(!frame->search_pane_shown());
    }

    // Before the person changes it: 700 x 500, the tree 175 wide, the time
    // line 112 high; the list's View says what it does in the status bar.
    void first_look_and_the_view_prompt() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QCOMPARE(frame->size(), QSize(700, 500));
        QCOMPARE(frame->findChild<QSplitter*>("main_splitter")->sizes()[0], 175);
        QCOMPARE(frame->findChild<TFormView*>()->height(), 112);
        tuv::test::screenshot(*frame, "explorer-first-size");

        CVellum_HView& list = frame->list();
        list.rows().navigate(1);  // into \Letters, whose row 1 is draft.txt
        const QModelIndex file = list.model()->index(1, 0);
        list.setCurrentIndex(file);
        QString tip;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            menu->setActiveAction(menu->actions().front());
            tip = frame->statusBar()->currentMessage();
            menu->close();
        });
        emit list.customContextMenuRequested(list.visualRect(file).center());
        QCOMPARE(tip, "View or Open File.");
    }

    // At 800 x 600 with the search pane open the whole time line is in
    // sight, its right end included.
    void time_line_in_sight_beside_the_search_pane() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        frame->resize(800, 600);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        frame->toggle_search_pane();
        auto* form = frame->findChild<TFormView*>();
        QTRY_VERIFY(form->slider().geometry().right() < form->width());
        QVERIFY(form->visibleRegion().boundingRect().contains(form->slider().geometry()));
        tuv::test::screenshot(*frame, "explorer-800x600-search");
    }

    // The size counts the containers in the registry's DataDir, else those
    // in the vault's own data folder.
    void repository_size_reads_data_dir() {
        const tuv::test::temp_dir elsewhere;
        fs::create_directories(elsewhere / "empty");
        std::ofstream(elsewhere / "tuv_s1", std::ios::binary) << std::string(3 << 20, 'x');
        const struct {
            fs::path data_dir;
            QString text;
        } cases[] = {{elsewhere.path(), "Repository Size : 3 MB"},
                     {elsewhere / "empty", "Repository Size : 0 MB"}};
        for (const auto& item : cases) {
            platform::create_registry_key(platform::registry_root::current_user,
                                          platform::quillmark_key)
                .set(platform::data_dir_value, item.data_dir.string());
            CVellum_ExplorerApp app(*prompter_);
            app.set_opener([this](const std::string&) { return &vault_->repo(); });
            int code = -1;
            CMainFrame* frame = app.start(code);
            QVERIFY(frame != nullptr);
            QCOMPARE(frame->repository_size_text(), item.text);
        }
    }

    // Inside the main window, whose menu "&Search (F3)" shares the letter:
    // with the focus in the pane, Alt+S searches and Alt+R resets.
    void search_pane_accelerators_come_before_the_menu() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        frame->list().setFocus();
        QTest::keyClick(&frame->list(), Qt::Key_F3);
        QVERIFY(frame->search_pane_shown());
        QLineEdit& name = frame->search_form()->name_field();
        name.setFocus();
        QTest::keyClicks(&name, "no such file");
        QTest::keyClick(&name, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(prompter_->prompts().size(), 1u);
        QCOMPARE(prompter_->prompts()[0].text, "No items found matching the criteria");
        QVERIFY(frame->search_pane_shown());
        QTest::keyClick(&name, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(name.text(), "");
        QVERIFY(frame->search_pane_shown());
    }

    // The tree's column stays between a tenth and two fifths of the width,
    // whether the window or the bar moves.
    void tree_column_keeps_its_share() {
        int code = -1;
        CMainFrame* frame = app_->start(code);
        QVERIFY(frame != nullptr);
        auto* splitter = frame->findChild<QSplitter*>("main_splitter");
        QVERIFY(splitter != nullptr);
        const auto tree_share = [&] {
            const QList<int> sizes = splitter->sizes();
            return double(sizes[0]) / (sizes[0] + sizes[1]);
        };
        for (const int tree : {5, 850}) {
            splitter->setSizes({tree, 900 - tree});
            emit splitter->splitterMoved(tree, 1);
            QVERIFY2(tree_share() >= 0.099 && tree_share() <= 0.401,
                     qPrintable(QString::number(tree_share())));
        }
        frame->resize(2000, 600);
        QTRY_VERIFY(tree_share() <= 0.401);
        // Beside the search form, the search list has the column's share.
        const int total = splitter->sizes()[0] + splitter->sizes()[1];
        splitter->setSizes({total / 5, total - total / 5});
        const int column = splitter->sizes()[0];
        frame->toggle_search_pane();
        QCOMPARE(splitter->sizes()[0], column + frame->search_form()->width());
        frame->toggle_search_pane();
        QCOMPARE(splitter->sizes()[0], column);
    }

  private:
    tuv::test::temp_dir files_;
    std::unique_ptr<tuv::test::test_vault> vault_;
    std::unique_ptr<tuv::gui::scripted_prompter> prompter_;
    std::unique_ptr<CVellum_ExplorerApp> app_;
};

QTEST_MAIN(explorer_window_test)
#include "explorer_window_test.moc"
