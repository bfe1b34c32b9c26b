// The vault's directories ("cabinets") as the window programs' trees show
// them, without a toolkit: the Qt model (gui/cabinet_model.h) and the Win32
// tree view fill their items from these and agree on order and names.
//
// Borrows the repository for each call.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tuv {
class repository;
}

namespace tuv::gui {

// A directory directly inside another.
struct cabinet {
    std::string name;
    // It holds directories of its own: the tree offers to expand it.
    bool has_cabinets = false;
};

// The directories directly in the directory at the full vault path `path`,
// sorted by cabinet_order. Throws what the catalogue throws.
std::vector<cabinet> list_cabinets(repository& repo, const std::string& path);

// Whether the directory at `path` holds directories; false when it cannot be
// listed (listing it then tells why).
bool holds_cabinets(repository& repo, const std::string& path);

// The message for a directory that could not be listed.
std::string listing_failed_text(const std::string& path, const std::string& reason);

// The vault path of a tree item from the names of the items from the top
// down: the separator alone for none, "\Cab\Company" for {"Cab", "Company"}.
std::string cabinet_path(std::span<const std::string> names, const std::string& separator);

// Whether two names are the same without regard to case (the letters of the
// Latin, Greek and Cyrillic alphabets fold; other characters compare as
// they are).
bool same_cabinet_name(const std::string& a, const std::string& b);

// The tree's order: without regard to case, then as written.
bool cabinet_order(const std::string& a, const std::string& b);

// Where `name` goes among `names` (sorted by cabinet_order).
std::size_t cabinet_position(std::span<const std::string> names, const std::string& name);

}  // namespace tuv::gui
