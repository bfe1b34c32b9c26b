// The catalogue's records: one child of a directory that changed in a
// period, as repository::changes_under gives it. The catalogue's operations
// (resolve, create, list, changes) are members of the repository.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tuv {

struct change_entry {
    int changetype = 0;      // the journal's kind of change
    std::string full_path;   // the child's full vault path
    std::uint64_t size = 0;  // the child's current size
    std::tm time{};          // when it changed (local time; unstored fields 0)
    std::string mime_type;
};

}  // namespace tuv
