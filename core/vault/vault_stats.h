// The figures of a vault: how much it holds and how much room that takes.
//
// A version of a file is one check-in of it, changed or not (journal.h);
// its size is the sum of the chunks live at its moment. Logical bytes are
// the sizes of all versions of all files added up (what exporting every
// version writes), chunk bytes what the distinct chunks hold (each once,
// uncompressed), stored bytes what they take in the containers (compressed
// where that was smaller).
#pragma once

#include <cstdint>
#include <optional>

namespace tuv {

class repository;

// What the vault holds, counted: cheap next to vault_stats, which also adds
// up the size of every version.
struct vault_counts {
    std::uint64_t directories = 0;  // the root among them
    std::uint64_t files = 0;
    std::uint64_t chunks = 0;
    std::uint64_t containers = 0;
};

struct vault_stats {
    std::uint64_t files = 0;
    std::uint64_t directories = 0;
    std::uint64_t versions = 0;
    std::uint64_t chunks = 0;
    std::uint64_t logical_bytes = 0;
    std::uint64_t chunk_bytes = 0;
    std::uint64_t stored_bytes = 0;
    std::uint64_t containers = 0;

    // logical_bytes / chunk_bytes: how many times over sharing chunks pays;
    // none while no chunk holds a byte.
    std::optional<double> dedup_ratio() const;
    // chunk_bytes / stored_bytes: what compression saves; none while
    // nothing is stored.
    std::optional<double> compression_ratio() const;
};

// Counts the entries, chunks and containers of the vault of `repo`
// (borrowed) in one snapshot. Throws db_exception when the database cannot
// be queried.
vault_counts count_vault(repository& repo);

// Reads the figures of the vault of `repo` (borrowed) in one snapshot.
// Throws db_exception when the database cannot be queried.
vault_stats collect_vault_stats(repository& repo);

}  // namespace tuv
