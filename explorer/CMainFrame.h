// The explorer's main window: the cabinet tree on the left (or the search
// pane in its place), the list above the time line on the right, the menus
// and the status bar with the repository's size.
#pragma once

#include <QMainWindow>

class CLeftView;
class CSearchFiltters;
class CVellum_ExplorerDoc;
class CVellum_HView;
class CVellum_ThinFrameSplitterWnd;
class QLabel;
class QResizeEvent;
class QSettings;
class QSplitter;
class QStackedWidget;
class TFormView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // Borrows the document, which must outlive the window.
    explicit CMainFrame(CVellum_ExplorerDoc& document, QWidget* parent = nullptr);

    CLeftView& tree() { return *tree_; }
    CVellum_HView& list() { return *list_; }
    TFormView& time_line() { return *form_; }
    // The search pane's list while it is shown, else null.
    CVellum_HView* search_list() { return search_list_; }
    CSearchFiltters* search_form() { return search_form_; }

    // F3, the Search menu and the search form's X: shows the search pane in
    // place of the tree, or hides it.
    void toggle_search_pane();
    bool search_pane_shown() const { return search_pane_ != nullptr; }

    // Counts the container files when a count was asked for since the last
    // one (the timer does this every second).
    void update_repository_size();
    QString repository_size_text() const;

    void export_vault();
    void show_help();

    // The window's size and the splitters' positions, kept between runs.
    void save_layout(QSettings& settings) const;
    void restore_layout(const QSettings& settings);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void make_menus();
    // Keeps the tree's column between 10% and 40% of the window's width.
    void keep_tree_width();

    CVellum_ExplorerDoc& document_;
    QSplitter* main_;
    QStackedWidget* left_;
    QSplitter* right_;
    CLeftView* tree_;
    CVellum_HView* list_;
    TFormView* form_;
    QLabel* size_;
    CVellum_ThinFrameSplitterWnd* search_pane_ = nullptr;
    CSearchFiltters* search_form_ = nullptr;
    CVellum_HView* search_list_ = nullptr;
    bool count_size_ = true;
};
