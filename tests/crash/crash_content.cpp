#include "tests/crash/crash_content.h"

#include <random>

namespace tuv::test {
namespace {

constexpr std::size_t base_size = 24 * 1024;
// Mid-January: no clock change near any step, so every moment has exactly
// one local time and the date text reads back to the same second.
constexpr std::time_t first_moment = 1705320000;  // 2024-01-15, around noon

struct file_place {
    const char* folder;
    const char* name;
};
constexpr file_place files[] = {{"\\", "alpha.bin"},
                                {"\\docs", "beta.txt"},
                                {"\\docs", "gamma.dat"},
                                {"\\docs\\old", "delta.bin"},
                                {"\\docs\\old", "epsilon.log"}};
constexpr std::int64_t file_count = sizeof files / sizeof files[0];

// Sixteen letters: random, yet the vault stores such chunks compressed to
// about half, so the kills also land while compressed chunks are written.
std::string random_bytes(std::mt19937_64& rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + (rng() & 0x0f));
    return bytes;
}

}  // namespace

crash_version crash_step(std::int64_t step) {
    const std::int64_t file = step % file_count;
    std::mt19937_64 base_rng(static_cast<std::uint64_t>(file) + 1);
    const std::string base = random_bytes(base_rng, base_size);

    std::mt19937_64 rng(0x5eed0000ULL + static_cast<std::uint64_t>(step));
    std::string content;
    switch (rng() % 10) {
        case 0: break;  // empty
        case 1:         // long: several containers' worth
            for (int i = 0; i < 4; ++i) content += base;
            content += random_bytes(rng, rng() % 4096);
            break;
        default: content = base.substr(0, rng() % (base_size + 1)); break;
    }
    const int edits = static_cast<int>(rng() % 4);
    for (int i = 0; i < edits && !content.empty(); ++i) {
        const std::size_t at = rng() % content.size();
        const std::string bytes = random_bytes(rng, 1 + rng() % 300);
        if (rng() % 2 == 0) {
            content.replace(at, bytes.size(), bytes);
        } else {
            content.insert(at, bytes);
        }
    }
    return {files[file].folder, files[file].name, content, first_moment + step};
}

std::string crash_vault_path(const crash_version& version) {
    return (version.folder == "\\" ? "" : version.folder) + "\\" + version.name;
}

}  // namespace tuv::test
