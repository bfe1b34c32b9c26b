// The rows of the explorer's list, without a toolkit: the entries of the
// current location, the versions of one file, or the last search's results,
// as the document says, and their columns' texts. navigate() is what a
// double-click or Enter on a row does. A long list is shown in pages: rows
// only ever append after a reload, so selections and row numbers stay valid
// while the list grows. Pages past the first are read from the document's
// history and search results as they stand, which is why every change of
// those is followed by a reload (the document's views update).
//
// Borrows the document, which must outlive the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/vault/entry_paths.h"

namespace tuv::explorer {

class explorer_document;

// The kind of a row.
inline constexpr int row_up = 100;
inline constexpr int row_folder = 102;
inline constexpr int row_file = 103;
inline constexpr int row_version = 104;

inline constexpr const char* caption_error = "Quillmark Explorer: Error";

// Rows shown after a reload, and added by each further page.
inline constexpr std::size_t list_page_rows = 500;

struct list_row {
    int kind = row_up;
    std::string name;        // "..", the entry's name, or in search mode its vault path
    std::string vault_path;  // the entry's (a version row: its file's)
    int versions = 0;
    std::string first_time;   // version_list_text of the first and last versions;
    std::string last_time;    // a version row's own moment is last_time
    std::string description;  // a version row's, " " when empty
};

class list_rows {
  public:
    explicit list_rows(explorer_document& document);
    ~list_rows();

    // Reads the rows again from the document and shows the first page. A
    // vault error leaves the ".." row alone and passes on.
    void reload();

    std::size_t shown() const { return shown_; }
    // A shown row (0 to shown() - 1); throws std::out_of_range otherwise.
    const list_row& row_at(int row) const;
    bool has_more() const;
    // Reads the next page and says how many rows it adds; show_next() then
    // shows them (a presentation may announce the rows between the two). A
    // vault error while reading search rows is shown under caption_error
    // and ends the list with what was read.
    std::size_t read_next_page();
    void show_next(std::size_t count);

    // The versions of one file (two columns) or entries (four).
    bool versions_columns() const { return versions_columns_; }
    const std::vector<std::string>& column_titles() const;
    std::string cell_text(int row, int column) const;

    // Goes where the row leads. Vault errors are shown under caption_error
    // (exclamation); the views are updated anyway.
    void navigate(int row);

  private:
    // Where rows come from past the first ones read: a folder's entries and
    // search results become rows only as they are shown, since a folder may
    // hold thousands of files and a search find a whole vault, and each
    // row needs its versions read.
    enum class source { read, folder, search };

    std::vector<list_row> read_rows();
    // Reads rows until `count` are read or the source has no more.
    void read_more(std::size_t count);
    void read_folder_rows(std::size_t count);
    void read_search_rows(std::size_t count);
    void leads_to(const list_row& row);

    explorer_document& document_;
    std::vector<list_row> rows_;  // rows read; the first shown_ are shown
    std::size_t shown_ = 0;
    bool versions_columns_ = false;
    source source_ = source::read;
    std::int64_t folder_id_ = 0;
    std::size_t next_entry_ = 0;  // of the document's history, in a folder
    std::unique_ptr<entry_paths> search_paths_;
};

}  // namespace tuv::explorer
