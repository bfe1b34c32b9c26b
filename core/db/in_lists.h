// Statements over many values at once: "... IN (?, ?, ...)" or multi-row
// inserts, cut into batches whose sizes are powers of two, so that the
// statements have few distinct texts, each prepared once. (Padding a list
// to the next size measured slower on a server: larger plans.)
#pragma once

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

}  // namespace tuv
