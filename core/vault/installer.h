// Creates a new, empty vault: the folder, the database with its schema, the
// root entry and its journal row, the settings, the data folder for the
// container files and a folder for temporary files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/db/settings.h"

namespace tuv {

// Chunk sizes a new vault starts with: 2 KiB to 256 KiB, a 32-byte window
// (the longest that still counts with base 2 and 32-bit arithmetic) and a
// prime anchor near 2 Ki, for chunks of about 4 KiB on average. Chosen by
// measurement on versioned data (docs/benchmarks.md): small edits spread
// over large files cost a whole chunk each, so small chunks store versions
// in far fewer bytes, for a little more time per byte.
inline constexpr chunk_settings default_chunk_settings{2048, 262144, 32, 2039};
inline constexpr std::uint64_t default_container_size = std::uint64_t{1} << 30;

struct vault_options {
    std::filesystem::path directory;
    std::string separator = "\\";
    chunk_settings chunks = default_chunk_settings;
    std::uint64_t container_size = default_container_size;
    compression_setting compression{default_compression_level};
};

// Where the parts of a vault in `directory` live.
struct vault_layout {
    explicit vault_layout(const std::filesystem::path& directory);

    std::filesystem::path directory;
    std::filesystem::path database;  // directory/quillmark.db
    std::filesystem::path data;      // directory/data, the container files
    std::filesystem::path temp;      // directory/tmp
};

// Throws tuv_error with a message naming the value when an option is invalid.
void validate(const vault_options& options);

// Validates the options, then creates the vault. Throws tuv_error when the
// folder already holds a vault, an option is invalid or a step fails; nothing
// is left behind by a failed installation and an existing vault is never
// touched.
vault_layout install_vault(const vault_options& options);

// The data folder's setting of a vault on a server: its containers are large
// objects in the database (core/storage/large_object_store.h), named by it.
inline constexpr const char* server_containers_name = "containers";

// Creates a vault whose database is on a PostgreSQL server (`address`, as
// open_database() takes it): the schema, the settings and the root entry in
// one transaction, and this desktop's temporary folder in
// options.directory. Throws tuv_error "The database <address> already holds
// a vault (it has a <table> table); nothing was changed" when it holds any
// of the vault's tables, and tuv_error when an option is invalid or a step
// fails; a failed installation leaves nothing behind.
vault_layout install_server_vault(const std::string& address, const vault_options& options);

// Readies this desktop for a vault that install_server_vault() made on
// `address`, from another desktop or this one: opens it as every program
// will (and throws as repository's constructor does when it is no vault),
// then makes the temporary folder in `directory` when it is missing.
vault_layout join_server_vault(const std::string& address, const std::filesystem::path& directory);

}  // namespace tuv
