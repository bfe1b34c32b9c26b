// The check-in of one local file as a new version of one vault file: what it
// reports. The operation itself is repository::checkin_file; the order of its
// writes is in docs/storage.md.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <utility>

namespace tuv {

// What a check-in stored.
struct checkin_result {
    std::string vault_path;  // the file's full vault path
    std::time_t moment = 0;  // the new version's moment
    // The moment was "now", which fell on (or before) the file's latest
    // version, so the version took the second after that one instead.
    bool moved = false;
    std::uint64_t size = 0;  // bytes stored: the file as it was read
    // The file's size when it was opened, and when it had been read; a file
    // that changed meanwhile is stored as it was read.
    std::uint64_t size_at_open = 0;
    std::uint64_t size_at_end = 0;
    bool changed_while_read() const { return size != size_at_open || size != size_at_end; }
};

// The directories the check-ins of one transaction found or made, by parent
// id and name, so that the files of one folder do not each look its path up
// again. Valid only in that transaction: rolled back, the ids may be gone.
using known_directories = std::map<std::pair<std::int64_t, std::string>, std::int64_t>;

}  // namespace tuv
