// Copying a vault on this machine into an empty database on a server (a team
// vault): every row with its own key, and every container into a large
// object, in one transaction, so a copy that fails leaves the server's
// database as empty as it was. The vault copied is only read.
#pragma once

#include <cstdint>
#include <string>

namespace tuv {

class repository;

struct migrate_counts {
    std::uint64_t rows = 0;
    std::uint64_t containers = 0;
    std::uint64_t bytes = 0;  // of the containers
};

// Copies `source` into the database at `address` (core/db/open_database.h).
// Throws what open_database() throws for the address; tuv_error "The
// database <address> already holds a vault (it has a <table> table); nothing
// was changed"; tuv_error "Cannot copy container <id> (<path>): <reason>"
// when a container cannot be read; db_exception for the server's errors.
migrate_counts migrate_vault(repository& source, const std::string& address);

}  // namespace tuv
