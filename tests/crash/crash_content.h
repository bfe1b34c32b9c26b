// What the crash test checks in at each step: a pure function of the step
// number, so the killed child and the test that checks the vault afterwards
// agree on every version's bytes without telling each other more than the
// step.
//
// Five files in three folders take turns. Each version is a prefix of its
// file's own base text with a few bytes overwritten or inserted, so versions
// share most chunks with earlier ones; some are empty and some much longer
// than the rest, so that chunks are shared, containers fill and new ones are
// made.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "core/db/settings.h"

namespace tuv::test {

// Small chunks and containers: a few check-ins already fill a container.
inline constexpr chunk_settings crash_chunks{256, 2048, 32, 509};
inline constexpr std::uint64_t crash_container_size = 16384;

struct crash_version {
    std::string folder;  // full vault path of the folder
    std::string name;
    std::string content;
    std::time_t moment;  // the check-in date: one second per step
};

crash_version crash_step(std::int64_t step);

// The full vault path of a version's file.
std::string crash_vault_path(const crash_version& version);

}  // namespace tuv::test
