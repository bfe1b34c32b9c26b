// Throughput of the check-in hot path: MD5 of 64 KiB blocks in memory,
// chunking a 64 MiB file of random bytes with the default settings, and
// both together as check-in does them; then MD5 of the file's chunks,
// several at a time, by each path md5_many has on this processor (scalar,
// AVX2, AVX-512). Prints MB/s (10^6 bytes per second),
// best of several rounds so a busy machine distorts less.
//
// Usage: chunker_bench [file]. Without a file the input is written to a
// temporary folder and removed afterwards; with one it is written there and
// kept, so that `md5sum file` can be timed over the very same bytes.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/storage/buffered_reader.h"
#include "core/storage/chunker.h"
#include "core/storage/file_io.h"
#include "core/storage/md5.h"
#include "core/storage/md5_many.h"
#include "core/vault/installer.h"
#include "tests/support/checks.h"

namespace {

constexpr std::size_t input_size = std::size_t{64} << 20;
constexpr std::size_t block_size = std::size_t{64} << 10;
constexpr int rounds = 5;
constexpr tuv::chunk_settings default_settings = tuv::default_chunk_settings;

std::vector<std::uint8_t> random_bytes(std::size_t size) {
    return tuv::test::random_bytes(size, 42);
}

// Runs `work` `rounds` times and reports the best rate over `bytes`.
void report(const char* name, std::size_t bytes, const std::function<std::size_t()>& work) {
    double best = 0;
    std::size_t result = 0;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        result += work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(bytes) / took.count() / 1e6);
    }
    // `result` keeps the work from being optimised away.
    std::printf("%-28s %8.0f MB/s   (%zu)\n", name, best, result / rounds);
}

// Chunks the whole file; with `hash`, also takes the MD5 of every chunk.
std::size_t chunk_file(const std::filesystem::path& path, bool hash) {
    auto file = tuv::file_system::local().open(path, tuv::open_mode::read);
    tuv::buffered_reader in(*file);
    std::vector<std::uint8_t> buffer(default_settings.max_size);
    std::size_t chunks = 0;
    std::size_t length = 0;
    tuv::chunk_status status;
    do {
        status = tuv::read_chunk(in, buffer.data(), length, default_settings);
        if (hash) chunks += tuv::md5_hex(buffer.data(), length)[0] == '0';
        ++chunks;
    } while (status == tuv::chunk_status::more);
    return chunks;
}

// The chunks of `data` as read_chunk cuts the file holding them.
std::vector<std::span<const std::uint8_t>> chunks_of(const std::filesystem::path& path,
                                                     const std::vector<std::uint8_t>& data) {
    auto file = tuv::file_system::local().open(path, tuv::open_mode::read);
    tuv::buffered_reader in(*file);
    std::vector<std::uint8_t> buffer(default_settings.max_size);
    std::vector<std::span<const std::uint8_t>> chunks;
    std::size_t offset = 0;
    std::size_t length = 0;
    tuv::chunk_status status;
    do {
        status = tuv::read_chunk(in, buffer.data(), length, default_settings);
        chunks.emplace_back(data.data() + offset, length);
        offset += length;
    } while (status == tuv::chunk_status::more);
    return chunks;
}

}  // namespace

int main(int argc, char** argv) {
    const auto data = random_bytes(input_size);

    std::filesystem::path folder;
    std::filesystem::path path;
    if (argc > 1) {
        path = argv[1];
    } else {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "chunker-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
        path = folder / "input";
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    std::printf("input: %zu MiB of random bytes in %s\n", input_size >> 20, path.c_str());

    report("md5_hex, 64 KiB blocks", input_size, [&] {
        std::size_t zeros = 0;
        for (std::size_t at = 0; at < data.size(); at += block_size) {
            zeros += tuv::md5_hex(data.data() + at, block_size)[0] == '0';
        }
        return zeros;
    });
    report("read_chunk, default settings", input_size, [&] { return chunk_file(path, false); });
    report("read_chunk + md5_hex", input_size, [&] { return chunk_file(path, true); });

    // 16 at a time as check-in hashes them; 256 at a time, about a
    // megabyte, as a version is checked when it is read back.
    const auto chunks = chunks_of(path, data);
    for (const tuv::md5_path p :
         {tuv::md5_path::scalar, tuv::md5_path::avx2, tuv::md5_path::avx512}) {
        if (!tuv::md5_path_available(p)) continue;
        for (const std::size_t batch : {16, 256}) {
            const std::string name = "md5_many " + std::string(tuv::md5_path_name(p)) + ", " +
                                     std::to_string(batch) + " chunks";
            report(name.c_str(), input_size, [&] {
                std::size_t zeros = 0;
                std::vector<tuv::md5::digest> out(batch);
                for (std::size_t at = 0; at < chunks.size(); at += batch) {
                    const std::size_t n = std::min(batch, chunks.size() - at);
                    tuv::md5_many(std::span(chunks).subspan(at, n), std::span(out).first(n), p);
                    for (std::size_t i = 0; i < n; ++i) zeros += out[i][0] == 0;
                }
                return zeros;
            });
        }
    }

    if (!folder.empty()) std::filesystem::remove_all(folder);
    return 0;
}
