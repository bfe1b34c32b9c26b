// Reads one version of a file block by block, so that memory does not grow
// with the file's size. Every block's bytes are checked against their MD5,
// and the blocks must lie end to end from offset 0: a damaged vault is an
// error naming the file, the offset and the container, never a quietly
// shorter or garbled version.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "core/errors.h"
#include <vector>

namespace tuv {

class file_handle;
class repository;

class version_reader {
public:
    // `repo` is borrowed and must outlive the reader.
    explicit version_reader(repository& repo);
    ~version_reader();
    version_reader(const version_reader&) = delete;
    version_reader& operator=(const version_reader&) = delete;

    // Hands the version of `file_id` at T to `sink`, block by block, in
    // order; returns its size. Throws rec_not_found_exception "Couldn't find
    // blocks for fid = <id>" when the file has no blocks at T, and the errors
    // of block_reader::read_block for a damaged block.
    std::uint64_t read(std::int64_t file_id, std::time_t when,
                       const std::function<void(std::span<const std::uint8_t>)>& sink);

private:
    struct block;
    void read_one(const block& b, std::int64_t file_id);

    repository& repo_;
    std::map<std::int64_t, std::unique_ptr<file_handle>> containers_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace tuv
