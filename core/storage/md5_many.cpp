#include "core/storage/md5_many.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>

#include "core/base/errors.h"
#include "core/storage/md5_lanes.h"

namespace tuv {
namespace {

using md5_detail::max_lanes;

struct lane_path {
    md5_detail::lane_kernel kernel;
    std::size_t lanes;
    // Fewer messages running than this, and none waiting: finish them on
    // the scalar code. A block costs a vector kernel about as much as that
    // many blocks cost the scalar code (chunker_bench's figures).
    std::size_t scalar_below;
};

std::optional<lane_path> lanes_of(md5_path path) {
#if defined(QUILLMARK_MD5_X86)
    if (path == md5_path::avx2) return lane_path{md5_detail::compress_8_avx2, 8, 3};
    if (path == md5_path::avx512) return lane_path{md5_detail::compress_16_avx512, 16, 3};
#endif
    (void)path;
    return std::nullopt;
}

struct lane {
    bool busy = false;
    bool in_tail = false;              // `at` points into `tail`
    const std::uint8_t* at = nullptr;  // the next block
    std::size_t blocks = 0;            // blocks left from `at`
    std::size_t message = 0;
    std::uint8_t tail[128];  // the message's last bytes and its padding
};

// Runs the messages through the lanes of `path`, refilling each lane from
// the queue as its message ends.
class lane_runner {
  public:
    lane_runner(std::span<const std::span<const std::uint8_t>> messages, std::span<md5::digest> out,
                const lane_path& path)
        : messages_(messages), out_(out), path_(path) {}

    void run() {
        for (std::size_t l = 0; l < path_.lanes; ++l) take(l);
        while (running_ > 0) {
            if (next_ == messages_.size() && running_ < path_.scalar_below) {
                for (std::size_t l = 0; l < path_.lanes; ++l) {
                    if (lanes_[l].busy) finish_scalar(l);
                }
                return;
            }
            // As many blocks as every running lane still has in its
            // current stretch; idle lanes rerun a running one's blocks.
            std::size_t blocks = std::numeric_limits<std::size_t>::max();
            const std::uint8_t* spare = nullptr;
            for (const lane& l : lanes_) {
                if (!l.busy) continue;
                blocks = std::min(blocks, l.blocks);
                spare = l.at;
            }
            const std::uint8_t* at[max_lanes];
            for (std::size_t l = 0; l < path_.lanes; ++l) {
                at[l] = lanes_[l].busy ? lanes_[l].at : spare;
            }
            path_.kernel(state_, at, blocks);
            for (std::size_t l = 0; l < path_.lanes; ++l) advance(l, blocks);
        }
    }

  private:
    std::uint32_t& word(std::size_t l, std::size_t r) { return state_[r * path_.lanes + l]; }

    // Gives lane `l` the next message, or leaves it idle.
    void take(std::size_t l) {
        lane& ln = lanes_[l];
        ln.busy = next_ < messages_.size();
        if (!ln.busy) return;
        ++running_;
        ln.message = next_++;
        const std::span<const std::uint8_t> m = messages_[ln.message];
        ln.in_tail = false;
        ln.at = m.data();
        ln.blocks = m.size() / 64;
        if (ln.blocks == 0) start_tail(ln);
        for (std::size_t r = 0; r < 4; ++r) word(l, r) = md5_detail::initial_state[r];
    }

    // The padded tail is made once the lane has run the whole blocks before
    // it: its bytes are then in the cache, where making it at the start
    // would wait on memory for every message.
    void start_tail(lane& ln) {
        ln.in_tail = true;
        ln.blocks = md5_detail::last_blocks(ln.at, messages_[ln.message].size(), ln.tail);
        ln.at = ln.tail;
    }

    void advance(std::size_t l, std::size_t blocks) {
        lane& ln = lanes_[l];
        if (!ln.busy) return;
        ln.at += 64 * blocks;
        ln.blocks -= blocks;
        if (ln.blocks > 0) return;
        if (!ln.in_tail) return start_tail(ln);
        const std::uint32_t s[4] = {word(l, 0), word(l, 1), word(l, 2), word(l, 3)};
        out_[ln.message] = md5_detail::digest_of(s);
        --running_;
        take(l);
    }

    void finish_scalar(std::size_t l) {
        lane& ln = lanes_[l];
        std::array<std::uint32_t, 4> s{word(l, 0), word(l, 1), word(l, 2), word(l, 3)};
        md5_detail::compress(s, ln.at, ln.blocks);
        if (!ln.in_tail) {
            ln.at += 64 * ln.blocks;
            start_tail(ln);
            md5_detail::compress(s, ln.at, ln.blocks);
        }
        out_[ln.message] = md5_detail::digest_of({s[0], s[1], s[2], s[3]});
    }

    std::span<const std::span<const std::uint8_t>> messages_;
    std::span<md5::digest> out_;
    lane_path path_;
    std::size_t next_ = 0;     // the first message no lane has taken
    std::size_t running_ = 0;  // busy lanes
    std::array<lane, max_lanes> lanes_;
    alignas(64) std::uint32_t state_[4 * max_lanes];
};

}  // namespace

bool md5_path_available(md5_path path) {
#if defined(QUILLMARK_MD5_X86)
    __builtin_cpu_init();
    if (path == md5_path::avx2) return __builtin_cpu_supports("avx2");
    if (path == md5_path::avx512) return __builtin_cpu_supports("avx512f");
#endif
    return path == md5_path::scalar;
}

md5_path fastest_md5_path() {
    static const md5_path fastest = [] {
        for (const md5_path path : {md5_path::avx512, md5_path::avx2}) {
            if (md5_path_available(path)) return path;
        }
        return md5_path::scalar;
    }();
    return fastest;
}

std::string_view md5_path_name(md5_path path) {
    switch (path) {
        case md5_path::avx2:
            return "AVX2";
        case md5_path::avx512:
            return "AVX-512";
        default:
            return "scalar";
    }
}

void md5_many(std::span<const std::span<const std::uint8_t>> messages, std::span<md5::digest> out) {
    md5_many(messages, out, fastest_md5_path());
}

void md5_many(std::span<const std::span<const std::uint8_t>> messages, std::span<md5::digest> out,
              md5_path path) {
    if (!md5_path_available(path)) {
        throw tuv_error("MD5 path " + std::string(md5_path_name(path)) +
                        " is not available on this processor");
    }
    const std::optional<lane_path> lanes = lanes_of(path);
    if (lanes) {
        lane_runner(messages, out, *lanes).run();
        return;
    }
    md5 hash;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        hash.update(messages[i].data(), messages[i].size());
        out[i] = hash.finish();
    }
}

}  // namespace tuv
