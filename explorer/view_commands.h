// What the list's commands do with its selected rows, without widgets: View
// (open versions), Check Out, Properties and the check out of a folder.
// Messages go through the document's prompter.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/checkout_sequence.h"

namespace tuv::explorer {

class explorer_document;
class list_rows;

inline constexpr const char* caption_search = "Quillmark: Search";
inline constexpr const char* no_selection_text = "No items selected!!";
inline constexpr const char* up_checkout_text = " '..' directory can not be checked out";

// A version a row stands for: the file's vault path and the moment's text
// (a version row's own; a file row's newest version).
struct version_target {
    std::string vault_path;
    std::string time_text;
};
version_target target_of(const list_rows& list, int row);

// Where View writes a version: a folder per vault file in `temp_dir` (so
// two files of one name never meet), and in it the moment with '.' for ':',
// '_' and the file's name: <temp_dir>/<file id>/2008-5-1 10.20.30_a.txt.
std::filesystem::path temporary_name(const std::filesystem::path& temp_dir, std::int64_t file_id,
                                     const std::string& name, const std::string& time_text);

// Opens a local file with the desktop's default program; false on failure.
using file_opener = std::function<bool(const std::filesystem::path&)>;

// View: checks each row's version out under the current user's TempDir and
// opens it.
void open_versions(explorer_document& doc, const list_rows& list, const std::vector<int>& rows,
                   const file_opener& open);

// Check Out: the shared checkout sequence with the explorer's policy; a file
// row's moment comes from `choose_date` (the checkout dialog).
gui::checkout_summary check_out(explorer_document& doc, const list_rows& list,
                                const std::vector<int>& rows, const gui::date_chooser& choose_date);

// The properties dialog's four texts.
struct property_texts {
    std::string name;
    std::string vault_path;
    std::string mime_type;
    std::string size;  // "%ld Bytes"
    bool directory = false;
};
// Of the first selected row; with none says no_selection_text and gives
// nullopt. Vault errors pass on.
std::optional<property_texts> properties_of(explorer_document& doc, const list_rows& list,
                                            const std::vector<int>& rows);
// The properties dialog's Check Out: a folder cannot be; a file runs the
// checkout sequence.
void properties_check_out(explorer_document& doc, const list_rows& list, int row,
                          const gui::date_chooser& choose_date);

// Check Out on a folder row: asks for a destination folder and exports the
// row's latest versions there. Returns the engine's failures (0 when all
// went out), nullopt when refused or cancelled.
std::optional<int> check_out_folder(explorer_document& doc, const list_rows& list, int row);

}  // namespace tuv::explorer
