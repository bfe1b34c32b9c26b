// md5_many against md5, one message after another: the first byte says how
// many messages there are (1 to 64), then two bytes each give its start and
// two its length in the rest of the data, the pool (so messages overlap,
// repeat, are empty or run to the pool's end, in any mix of lengths).
// Property: on every path this processor has, each digest is exactly the
// scalar md5's of its message, whatever lane it ran in and whatever ran
// beside it.
#include <cstdint>
#include <span>
#include <vector>

#include "core/storage/md5.h"
#include "core/storage/md5_many.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t count = 1 + fuzz::take(data, size, 1) % 64;
    std::vector<std::uint32_t> starts, lengths;
    for (std::size_t i = 0; i < count; ++i) {
        starts.push_back(fuzz::take(data, size, 2));
        lengths.push_back(fuzz::take(data, size, 2));
    }
    // Repeating the pool lets short inputs still make messages of many blocks.
    std::vector<std::uint8_t> pool(data, data + size);
    while (!pool.empty() && pool.size() < 4096) pool.insert(pool.end(), data, data + size);

    std::vector<std::span<const std::uint8_t>> messages;
    std::vector<tuv::md5::digest> expected;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t start = pool.empty() ? 0 : starts[i] % pool.size();
        const std::size_t length = lengths[i] % (pool.size() - start + 1);
        messages.emplace_back(pool.data() + start, length);
        tuv::md5 hash;
        hash.update(messages.back().data(), length);
        expected.push_back(hash.finish());
    }
    for (const tuv::md5_path path :
         {tuv::md5_path::scalar, tuv::md5_path::avx2, tuv::md5_path::avx512}) {
        if (!tuv::md5_path_available(path)) continue;
        std::vector<tuv::md5::digest> out(count);
        tuv::md5_many(messages, out, path);
        FUZZ_CHECK(out == expected);
    }
    return 0;
}
