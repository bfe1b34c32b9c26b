// The explorer's search pane: a name, a description, Reset, Search and the
// close button; the search itself is pane_search's.
//
// Borrows the document, which must outlive the pane.
#pragma once

#include <QWidget>
#include <optional>

class CVellum_ExplorerDoc;
class QLineEdit;
class QPushButton;

class CSearchFiltters : public QWidget {
    Q_OBJECT
  public:
    explicit CSearchFiltters(CVellum_ExplorerDoc& document, QWidget* parent = nullptr);

    QLineEdit& name_field() const { return *name_; }
    QLineEdit& description_field() const { return *description_; }
    QPushButton& reset_button() const { return *reset_; }
    QPushButton& search_button() const { return *search_; }
    QPushButton& close_button() const { return *close_; }

    // Empties both fields.
    void reset();
    // Runs the search and puts the list into search mode with its results;
    // says so when there are none, or when the vault refuses the search.
    void search();

  signals:
    // "X": the main frame hides the pane.
    void SEARCH_CLOSE(int unused1, int unused2);

  protected:
    // The pane's own accelerators, Alt+R (Reset) and Alt+S (Search), come
    // before the window's menu while the focus is in the pane: the menu's
    // "&Search (F3)" shares the letter.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CVellum_ExplorerDoc& document_;
    QLineEdit* name_;
    QLineEdit* description_;
    QPushButton* reset_;
    QPushButton* search_;
    QPushButton* close_;
};
