#include "explorer/CMainFrame.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "explorer/CLeftView.h"
#include "explorer/CSearchFiltters.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/CVellum_HView.h"
#include "explorer/CVellum_ThinFrameSplitterWnd.h"
#include "explorer/Quillmark_ExportDlg.h"
#include "explorer/TFormView.h"
#include "explorer/repository_size.h"
#include "gui/CAboutDlg.h"
#include "gui/app_icon.h"
#include "gui/captions.h"
#include "platform/registry.h"

namespace {

constexpr int form_height = 112;
constexpr int tree_width = 175;
constexpr int search_form_width = 190;
const char* const help_file = "quillmark-help.html";

}  // namespace

CMainFrame::CMainFrame(CVellum_ExplorerDoc& document, QWidget* parent)
    : QMainWindow(parent),
      document_(document),
      main_(new QSplitter(Qt::Horizontal)),
      left_(new QStackedWidget),
      right_(new QSplitter(Qt::Vertical)),
      size_(new QLabel) {
    setWindowTitle(tuv::gui::caption_explorer);
    setWindowIcon(tuv::gui::app_icon());
    // The first size; the window then keeps what the person makes of it.
    setMinimumSize(700, 500);
    resize(700, 500);

    // The tree first: on a refresh it rebuilds the history the list shows.
    tree_ = new CLeftView(document_);
    list_ = new CVellum_HView(document_);
    form_ = new TFormView(document_);
    left_->addWidget(tree_);
    right_->addWidget(list_);
    right_->addWidget(form_);
    right_->setStretchFactor(0, 1);
    right_->setStretchFactor(1, 0);
    right_->setChildrenCollapsible(false);
    right_->setSizes({500 - form_height, form_height});
    // The time line keeps its height; the list takes the rest.
    form_->setMinimumHeight(form_height);
    form_->setMaximumHeight(form_height + 40);
    main_->addWidget(left_);
    main_->addWidget(right_);
    main_->setStretchFactor(0, 0);
    main_->setStretchFactor(1, 1);
    main_->setChildrenCollapsible(false);
    main_->setSizes({tree_width, 700 - tree_width});
    main_->setObjectName("main_splitter");
    connect(main_, &QSplitter::splitterMoved, this, &CMainFrame::keep_tree_width);
    setCentralWidget(main_);

    statusBar()->addPermanentWidget(size_);
    make_menus();

    connect(&document_, &CVellum_ExplorerDoc::repository_size_requested, this,
            [this] { count_size_ = true; });
    connect(&document_, &CVellum_ExplorerDoc::hide_main_window, this, &QWidget::hide);
    connect(&document_, &CVellum_ExplorerDoc::show_main_window, this, [this] {
        show();
        raise();
        activateWindow();
    });
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::update_repository_size);
    timer->start(1000);
    update_repository_size();
}

void CMainFrame::make_menus() {
    QMenu* file = menuBar()->addMenu("&File");
    QAction* checkin =
        file->addAction("Quillmark &Checkin", this, [this] { document_.check_in(); });
    checkin->setShortcut(QKeySequence("Ctrl+N"));
    checkin->setStatusTip("CheckIn the file. Goto file level for checkin.");
    QAction* cabinet = file->addAction("&Add Cabinet", tree_, &CLeftView::add_cabinet);
    cabinet->setShortcut(QKeySequence("Ctrl+W"));
    cabinet->setStatusTip("Add New Cabinet.");
    QAction* exporting = file->addAction("&Export", this, &CMainFrame::export_vault);
    exporting->setShortcut(QKeySequence("Ctrl+E"));
    exporting->setStatusTip("Export all files in Quillmark");
    file->addSeparator();
    QAction* quit = file->addAction("E&xit", this, &QWidget::close);
    quit->setShortcut(QKeySequence("Alt+F4"));

    // Which changes the history shows; the keyboard reaches them too.
    QMenu* view = menuBar()->addMenu("&View");
    auto* kinds = new QActionGroup(this);
    const struct {
        const char* text;
        int type;
    } change_types[] = {{"&All Changes", 0},
                        {"A&dded Files", tuv::CHANGE_CREATED},
                        {"&Modified Files", tuv::CHANGE_MODIFIED}};
    for (const auto& kind : change_types) {
        QAction* action = view->addAction(
            kind.text, this, [this, type = kind.type] { document_.set_change_type(type); });
        action->setCheckable(true);
        action->setChecked(kind.type == 0);
        kinds->addAction(action);
    }
    view->addSeparator();
    QAction* refresh = view->addAction("&Refresh", this, [this] { document_.refresh(); });
    refresh->setShortcut(QKeySequence(Qt::Key_F5));

    QAction* search = menuBar()->addAction("&Search (F3)", this, &CMainFrame::toggle_search_pane);
    search->setShortcut(QKeySequence(Qt::Key_F3));
    search->setStatusTip("Show or hide search pane.");

    QMenu* help = menuBar()->addMenu("&Help");
    QAction* contents = help->addAction("&Contents(F1)", this, &CMainFrame::show_help);
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    help->addAction(tuv::gui::explorer_about.button, this,
                    [this] { CAboutDlg(tuv::gui::explorer_about, this).exec(); });
}

void CMainFrame::toggle_search_pane() {
    if (search_pane_ != nullptr) {
        left_->removeWidget(search_pane_);
        search_pane_->deleteLater();
        search_pane_ = nullptr;
        search_form_ = nullptr;
        search_list_ = nullptr;
        left_->setCurrentWidget(tree_);
        const QList<int> sizes = main_->sizes();
        main_->setSizes({sizes.value(0) - search_form_width, sizes.value(1) + search_form_width});
        keep_tree_width();
        return;
    }
    search_pane_ = new CVellum_ThinFrameSplitterWnd(Qt::Horizontal);
    search_form_ = new CSearchFiltters(document_);
    search_list_ = new CVellum_HView(document_);
    search_form_->setFixedWidth(search_form_width);
    search_pane_->addWidget(search_form_);
    search_pane_->addWidget(search_list_);
    search_pane_->setStretchFactor(1, 1);
    connect(search_form_, &CSearchFiltters::SEARCH_CLOSE, this, &CMainFrame::toggle_search_pane,
            Qt::QueuedConnection);
    left_->addWidget(search_pane_);
    left_->setCurrentWidget(search_pane_);
    // The form comes beside the column the tree had; the list takes that.
    const QList<int> sizes = main_->sizes();
    main_->setSizes({sizes.value(0) + search_form_width, sizes.value(1) - search_form_width});
    keep_tree_width();
}

void CMainFrame::update_repository_size() {
    if (!count_size_ || document_.vault() == nullptr) return;
    count_size_ = false;
    if (const auto bytes = tuv::explorer::vault_repository_bytes(*document_.vault())) {
        size_->setText(QString::fromStdString(tuv::explorer::repository_size_text(*bytes)));
    }
}

QString CMainFrame::repository_size_text() const {
    return size_->text();
}

void CMainFrame::export_vault() {
    document_.export_vault([this]() -> std::optional<tuv::explorer::export_choice> {
        Quillmark_ExportDlg dialog(document_.prompts(), this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return tuv::explorer::export_choice{dialog.destination().toStdString(), dialog.mode()};
    });
}

void CMainFrame::show_help() {
    // bin/../share/quillmark, in the build tree as installed.
    const QString page = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                         "/../share/quillmark/" + help_file);
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keep_tree_width();
}

void CMainFrame::keep_tree_width() {
    const QList<int> sizes = main_->sizes();
    // The search form's fixed width comes on top of the column's share.
    const int form = search_pane_ != nullptr ? search_form_width : 0;
    const int room = sizes.value(0) + sizes.value(1) - form;
    if (room <= 0) return;
    const int tree = std::clamp(sizes.value(0), form + room / 10, form + room * 2 / 5);
    if (tree != sizes.value(0)) main_->setSizes({tree, sizes.value(0) + sizes.value(1) - tree});
}

void CMainFrame::save_layout(QSettings& settings) const {
    settings.setValue("explorer/geometry", saveGeometry());
    settings.setValue("explorer/main_splitter", main_->saveState());
    settings.setValue("explorer/right_splitter", right_->saveState());
}

void CMainFrame::restore_layout(const QSettings& settings) {
    restoreGeometry(settings.value("explorer/geometry").toByteArray());
    main_->restoreState(settings.value("explorer/main_splitter").toByteArray());
    right_->restoreState(settings.value("explorer/right_splitter").toByteArray());
    keep_tree_width();
}
