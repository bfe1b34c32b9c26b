// The search pane's work, without a toolkit: part of a name, part of a
// description, and when the time filter is on the slider's period, turned
// into a search of the vault whose files under the current location the
// list then shows.
#pragma once

#include <optional>
#include <string>

#include "core/vault/search_form.h"
#include "explorer/history_period.h"
#include "gui/prompter.h"

namespace tuv::explorer {

class explorer_document;

inline constexpr const char* caption_search_pane = "Quillmark Search";
inline constexpr const char* nothing_found = "No items found matching the criteria";
inline constexpr const char* refine_search = "Please refine your search criteria.";

// The search format and its arguments for the pane's fields: files created
// or modified within `period` (both bounds included, exactly the period the
// history list shows), whose name and description contain the texts as
// typed (a `*` in them is a wildcard, everything else is literal).
search_request search_request_of(const std::string& name, const std::string& description,
                                 const std::optional<time_period>& period);

// Runs the search and puts the list into search mode with its results;
// says so over `owner` when there are none, or when the vault refuses the
// search (and then the list stays as it was).
void search_vault(explorer_document& document, const std::string& name,
                  const std::string& description, gui::native_window owner);

}  // namespace tuv::explorer
