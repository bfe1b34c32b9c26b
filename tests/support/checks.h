// Small helpers the tests share: what an operation threw, a file's bytes, the
// rows of a query as text, and seeded random bytes that are the same on every
// machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/db/db.h"

namespace tuv::test {

// What an operation threw as E, or "<no exception>".
template <typename E, typename F>
std::string failure(F&& operation) {
    try {
        operation();
    } catch (const E& e) {
        return e.what();
    }
    return "<no exception>";
}

// Whether symbolic links can be made here: not under Wine, nor on Windows
// without the privilege.
inline bool symlinks_work() {
    const auto base = std::filesystem::temp_directory_path();
    const auto link =
        base / ("quillmark-link-probe-" + std::to_string(reinterpret_cast<std::uintptr_t>(&base)));
    std::error_code error;
    std::filesystem::create_symlink(base, link, error);
    if (error) return false;
    std::filesystem::remove(link, error);
    return true;
}

// Skips the calling test where symlinks_work() is false.
#define QUILLMARK_NEED_SYMLINKS() \
    if (!::tuv::test::symlinks_work()) GTEST_SKIP() << "symbolic links cannot be made here"

// Every byte of a local file; empty when it cannot be read.
inline std::string file_contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A text file as the C runtime reads text: on Windows "\r\n" becomes "\n".
inline std::string text_file_contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rows of a query, each as its columns joined by blanks.
inline std::vector<std::string> query_rows(db& database, const std::string& sql) {
    std::vector<std::string> out;
    auto row = database.query(sql);
    while (row->next()) {
        std::string line;
        for (int i = 0; i < row->column_count(); ++i) {
            line += (i == 0 ? "" : " ") + row->get_string(i);
        }
        out.push_back(line);
    }
    return out;
}

// `size` bytes from splitmix64 seeded with `seed`, written out here rather
// than taken from a standard distribution, whose output may differ between
// libraries: golden vectors depend on these bytes. Each output gives 8
// bytes, low byte first.
inline std::vector<std::uint8_t> random_bytes(std::size_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        z ^= z >> 31;
        for (std::size_t b = 0; b < 8 && i + b < size; ++b) {
            out[i + b] = static_cast<std::uint8_t>(z >> (8 * b));
        }
    }
    return out;
}

}  // namespace tuv::test
