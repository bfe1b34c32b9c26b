// Statements over many values at once: "... IN (?, ?, ...)" or multi-row
// inserts, in batches whose sizes are powers of two, so that the statements
// have few distinct texts, each prepared once. Inserts cut their rows into
// such batches; a look-up may instead repeat a value to fill its list, one
// statement where the cut would send several (for a server, several waits).
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "core/db/db.h"

namespace tuv {

// Calls `each(first, n)` for batches that cover `rows` rows: as many of
// `most` (a power of two) as fit, then ever smaller powers of two.
template <std::size_t most, typename Each>
void for_batches(std::size_t rows, Each each) {
    static_assert(most > 0 && (most & (most - 1)) == 0, "a power of two");
    for (std::size_t done = 0; done < rows;) {
        std::size_t n = most;
        while (n > rows - done) n /= 2;
        each(done, n);
        done += n;
    }
}

// Calls `run(list, values)` for for_batches's batches of `items`: the list
// "(?, ?, ...)" and the items' values.
template <std::size_t most, typename Item, typename Run>
void for_in_lists(std::span<const Item> items, Run run) {
    for_batches<most>(items.size(), [&](std::size_t first, std::size_t n) {
        std::string list = "(?";
        for (std::size_t i = 1; i < n; ++i) list += ", ?";
        run(list + ")", std::vector<db_param>(items.begin() + first, items.begin() + first + n));
    });
}

// Calls `run(list, values, n)` for the items `most` (a power of two) at a
// time: `n` items, their list as long as the next power of two and filled
// with the last of them. For look-ups only, where a value named twice
// matches the same rows.
template <std::size_t most, typename Item, typename Run>
void for_padded_in_lists(std::span<const Item> items, Run run) {
    static_assert(most > 0 && (most & (most - 1)) == 0, "a power of two");
    for (std::size_t done = 0; done < items.size();) {
        const std::size_t n = std::min(most, items.size() - done);
        std::size_t size = 1;
        while (size < n) size *= 2;
        std::string list = "(?";
        for (std::size_t i = 1; i < size; ++i) list += ", ?";
        std::vector<db_param> values(items.begin() + done, items.begin() + done + n);
        values.resize(size, values.back());
        run(list + ")", values, n);
        done += n;
    }
}

}  // namespace tuv
