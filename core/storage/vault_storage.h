// What the storage layer works on: one vault's database, the file systems its
// local files and its containers are read and written through, and where the
// containers lie. The storage classes take it by value and borrow the
// database and the file systems, which must outlive them; the repository
// makes one (repository::storage()).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tuv {

class db;
class file_system;

struct vault_storage {
    db& database;
    // Local files: those checked in and written out.
    file_system& files;
    // The containers: files beside a local vault's database, large objects
    // in a vault on a database server (core/storage/large_object_store.h).
    file_system& containers;
    // The vault folder: stored container paths are relative to it.
    std::filesystem::path folder;
    // Where new containers are made.
    std::filesystem::path data_directory;
    // The capacity of a new container; absent in a vault that never stores
    // content (only a writer needs it, and fails without it).
    std::optional<std::uint64_t> container_size;
    // The zstd level new chunks are compressed at; 0 stores them raw.
    int compression_level = 0;
    // Whether a compressed chunk is stored without its frame header where
    // it can be (codec 2), or as a whole frame (codec 1).
    bool headerless_frames = false;
    // Whether consecutive new chunks of a file share one frame (codec 3).
    bool shared_frames = false;
    // Whether the chunk table has the stored_size and codec columns; a vault
    // made before compression has neither, and holds raw chunks only.
    bool stored_form_columns = false;
    // Whether it has the frame_offset column too: only such a vault can
    // hold chunks that share a frame.
    bool frame_offset_column = false;
    // Whether the database is on a server: then the vault has no files on
    // this machine, and its containers are large objects.
    bool on_server = false;
};

}  // namespace tuv
