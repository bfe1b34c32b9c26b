// Full vault paths of many entries at once. Each directory's path is read
// once and remembered, so the paths of a long list of results cost one query
// per distinct folder, not one per entry.
//
// Holds no entry; the paths are those of the moment each folder was first
// asked for, so use one instance for one list and let it go.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace tuv {

class file_entry;

class entry_paths {
  public:
    // `separator`: the vault's path separator.
    explicit entry_paths(std::string separator) : separator_(std::move(separator)) {}

    // The same path as entry.full_path(), and the same errors when a folder
    // on the way up is missing.
    std::string of(file_entry& entry);

  private:
    std::string separator_;
    std::unordered_map<std::int64_t, std::string> folders_;
};

}  // namespace tuv
