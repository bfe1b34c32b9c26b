// The explorer's search pane: part of a name, part of a description, and
// when the time filter is on the slider's period, turned into a search of
// the vault whose files under the current location the list then shows.
//
// Borrows the document, which must outlive the pane.
#pragma once

#include <QWidget>
#include <optional>

#include "core/vault/search_form.h"
#include "explorer/history_period.h"

class CVellum_ExplorerDoc;
class QLineEdit;
class QPushButton;

namespace tuv::explorer {

inline constexpr const char* caption_search_pane = "Quillmark Search";
inline constexpr const char* nothing_found = "No items found matching the criteria";
inline constexpr const char* refine_search = "Please refine your search criteria.";

// The search format and its arguments for the pane's fields: files created
// or modified within `period` (both bounds included, exactly the period the
// history list shows), whose name and description contain the texts as
// typed (a `*` in them is a wildcard, everything else is literal).
search_request search_request_of(const std::string& name, const std::string& description,
                                 const std::optional<time_period>& period);

}  // namespace tuv::explorer

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
