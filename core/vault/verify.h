// Checks a vault's integrity: that every row points at what it needs and that
// every version can be read back. Only reads; never repairs anything.
//
// Checked, always:
//  - the catalogue has a root (the first entry without a parent); every
//    other entry's parent is a directory of the catalogue, and following
//    the parents leads to the root;
//  - every catalogue entry has at least one journal row, and no two
//    versions of a file share a moment;
//  - every block-map row belongs to a catalogue entry and its chunk exists;
//  - every chunk's container is registered in disk_info, every container
//    file can be opened and is at least as long as its chunks reach;
//  - every chunk's refcount is 1 + the number of blocks that use it;
//  - no block was closed before or at the moment it was made (it would
//    belong to no version);
//  - every state of every file's block map (one per moment a block of it
//    was made; a version that changed nothing shares the state before it)
//    is tiled by its blocks from offset 0: no gap, no overlap (live blocks
//    included), and an empty block only as the last one.
// With `read_data`, also every chunk's bytes are read back and checked
// against their MD5 (chunks in a container already found missing or short
// are not read again).
//
// All rows are read in one snapshot, so a check-in running at the same time
// is either wholly seen or not at all.
//
// A data folder or container outside the vault's folder is a warning, not a
// problem: the vault is whole where it is, only a copy of its folder would
// not be (core/vault_folder.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tuv {

class repository;

struct verify_options {
    bool read_data = false;
};

struct verify_report {
    // What was looked at.
    std::uint64_t files = 0;     // catalogue entries that are not directories
    std::uint64_t versions = 0;  // of files: check-ins, as journal.h counts them
    std::uint64_t chunks = 0;
    std::uint64_t containers = 0;
    // One line per problem, naming the entry, block, chunk or container.
    std::vector<std::string> problems;
    // outside_folder_warnings(); they do not make the vault unclean.
    std::vector<std::string> warnings;

    bool clean() const { return problems.empty(); }
    // "N files, N versions, N chunks, N containers checked: " and "no
    // problems" or the number of problems.
    std::string summary() const;
};

// Checks the vault of `repo` (borrowed). Containers are opened through
// repo.containers(). Damage is reported, never thrown; a database that cannot be
// queried at all (a missing table) throws db_exception.
verify_report verify_vault(repository& repo, const verify_options& options = {});

}  // namespace tuv
