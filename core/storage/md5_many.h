// MD5 of many independent messages at once (the chunks of a file, the
// blocks of a version read back): the block function runs over 8 (AVX2) or
// 16 (AVX-512) messages side by side in the lanes of the vector registers,
// which on one core hashes several times the bytes per second of md5 taking
// them one after another. Every digest is exactly md5's (md5.h), which stays
// the reference and the path on processors without those instructions; the
// path is chosen by what the processor running the program has, so one
// build runs everywhere.
//
// Messages of any lengths mix: a lane runs its message's blocks, then its
// padding, then takes the next message. Once no message waits for a lane
// and only a few are still running, those finish one by one on the scalar
// code, which beats a vector that is mostly idle.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/storage/md5.h"

namespace tuv {

enum class md5_path { scalar, avx2, avx512 };

// Whether this build has `path` and the processor can run it.
bool md5_path_available(md5_path path);

// The fastest available path, found once per process.
md5_path fastest_md5_path();

// "scalar", "AVX2" or "AVX-512".
std::string_view md5_path_name(md5_path path);

// out[i] becomes the digest of messages[i]; `out` has as many elements as
// `messages`. The messages are only read, and may overlap. The second form
// takes the given path (for tests and benchmarks) and throws tuv_error
// "MD5 path <name> is not available on this processor" when it cannot.
void md5_many(std::span<const std::span<const std::uint8_t>> messages, std::span<md5::digest> out);
void md5_many(std::span<const std::span<const std::uint8_t>> messages, std::span<md5::digest> out,
              md5_path path);

}  // namespace tuv
