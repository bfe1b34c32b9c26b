// decode_chunk on damaged stored bytes: a chunk of text is compressed once;
// the fuzz data then damages that stored form (the first byte chooses how:
// bytes flipped at chosen places, the form cut short or run on, or the data
// itself taken as the stored form) and chooses the codec (a whole frame,
// one without its header, or a frame the chunk shares with others, damaged
// alike) and the size (and place in a shared frame) the row claims.
// Properties: decoding never writes outside the chunk's buffer (the
// sanitizers watch), and it either reports a problem or yields exactly the
// chunk's bytes; with the intact form and the true size it always yields
// them.
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/storage/chunk_codec.h"
#include "core/storage/md5.h"
#include "fuzz/fuzz_check.h"

namespace {

struct sample {
    std::vector<std::uint8_t> chunk;
    std::vector<std::uint8_t> stored;      // a whole frame, codec 1
    std::vector<std::uint8_t> headerless;  // without its header, codec 2
    std::vector<std::uint8_t> shared;      // between two others in one frame, codec 3
    std::string checksum;
};

constexpr std::uint64_t offset_in_frame = 1000;

const sample& the_sample() {
    static const sample s = [] {
        sample made;
        std::uint32_t state = 2024;
        for (int i = 0; i < 4096; ++i) {
            state = state * 1103515245 + 12345;
            made.chunk.push_back(static_cast<std::uint8_t>("the vault keeps  "[(state >> 16) % 17]));
        }
        made.stored.resize(made.chunk.size());
        tuv::chunk_compressor compressor(3);
        made.stored.resize(compressor.compress(made.chunk, made.stored.data()));
        const auto form = tuv::store_compressed(made.stored, made.chunk.size(),
                                                tuv::chunk_codec::zstd_headerless);
        made.headerless.assign(form.bytes.begin(), form.bytes.end());
        const std::vector<std::uint8_t> before(made.chunk.begin() + 7,
                                               made.chunk.begin() + 7 + offset_in_frame);
        const std::vector<std::uint8_t> after(made.chunk.begin(), made.chunk.begin() + 500);
        const std::span<const std::uint8_t> parts[] = {before, made.chunk, after};
        made.shared.resize(before.size() + made.chunk.size() + after.size());
        made.shared.resize(compressor.compress(parts, made.shared.data()));
        made.checksum = tuv::md5_hex(made.chunk.data(), made.chunk.size());
        return made;
    }();
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const sample& s = the_sample();
    FUZZ_CHECK(!s.stored.empty() && s.headerless.size() < s.stored.size() && !s.shared.empty());
    if (size < 2) return 0;
    const std::uint8_t mode = data[0];
    const std::uint8_t claim = data[1];
    data += 2;
    size -= 2;

    // The codec the row names: mostly one of the three zstd forms, now and
    // then raw or unknown.
    const std::optional<std::int64_t> codec = claim < 70    ? std::optional<std::int64_t>(1)
                                              : claim < 140 ? std::optional<std::int64_t>(2)
                                              : claim < 200 ? std::optional<std::int64_t>(3)
                                              : claim < 230 ? std::nullopt
                                                            : std::optional<std::int64_t>(claim);
    const std::vector<std::uint8_t>& intact = codec == 2   ? s.headerless
                                              : codec == 3 ? s.shared
                                                           : s.stored;
    std::vector<std::uint8_t> stored = intact;
    switch (mode % 4) {
        case 0:  // bytes flipped: pairs of (place, mask)
            for (std::size_t i = 0; i + 1 < size; i += 2) {
                stored[data[i] * stored.size() / 256] ^= data[i + 1];
            }
            break;
        case 1:  // cut short
            stored.resize(size > 0 ? data[0] * stored.size() / 256 : 0);
            break;
        case 2:  // run on into what follows in the container
            stored.insert(stored.end(), data, data + size);
            break;
        default:  // any bytes at all
            stored.assign(data, data + size);
            break;
    }
    // The size the row claims: mostly the true one.
    const std::uint64_t chunk_size = claim % 8 == 0 ? claim * 37u : s.chunk.size();
    // Where it lies in a shared frame: mostly the true place.
    std::optional<std::uint64_t> frame_offset;
    if (codec == 3 && claim % 5 != 0) frame_offset = claim % 3 == 0 ? claim * 29u : offset_in_frame;

    std::vector<std::uint8_t> out(chunk_size);
    const auto problem =
        tuv::decode_chunk(stored, codec, chunk_size, s.checksum, out.data(), frame_offset);
    if (!problem) {
        FUZZ_CHECK(out == s.chunk);
    }
    const bool true_place = codec != 3 || frame_offset == offset_in_frame;
    if (stored == intact && codec >= 1 && codec <= 3 && true_place &&
        chunk_size == s.chunk.size()) {
        FUZZ_CHECK(!problem);
    }
    return 0;
}
