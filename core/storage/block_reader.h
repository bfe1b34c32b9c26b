// The read side of a file's block map: the moments and sizes of its
// versions (version_reader reads their bytes). A version at T is made of the
// blocks created at or before T and not deleted at or before T, in offset
// order (bmap_live_at).
#pragma once

#include <cstdint>
#include <ctime>
#include <utility>

#include "core/storage/vault_storage.h"

namespace tuv {

class date;

// The blocks of a version at T, as a condition on `bmap` that follows a
// WHERE clause and takes T twice: made at or before T, not closed by then.
inline constexpr const char* bmap_live_at =
    " AND bmap.creation_date <= ? AND (bmap.deletion_date = 0 OR bmap.deletion_date > ?)";

class block_reader {
  public:
    explicit block_reader(vault_storage storage) : storage_(std::move(storage)) {}

    // The moment of the first and of the last check-in of the file, or of
    // the whole vault for file id -1; the epoch when there is none. The
    // dates come back marked changed.
    date first_version_date(std::int64_t file_id);
    date last_version_date(std::int64_t file_id);

    // The size of the version at T; 0 when there are no blocks.
    std::uint64_t version_size(std::int64_t file_id, std::time_t when);

  private:
    vault_storage storage_;
};

}  // namespace tuv
