#include "core/vault/search_form.h"

#include "core/vault/entry_paths.h"
#include "core/vault/file_entry.h"

namespace tuv {

search_request build_search_request(const search_form& form) {
    search_request request;
    if (form.period_start && form.period_end) {
        const std::string start = std::to_string(*form.period_start);
        const std::string end = std::to_string(*form.period_end + search_period_extension);
        request.format += " (( %d & %c ) | ( %b  & %a )) & ";
        request.arguments.insert(request.arguments.end(), {start, end, start, end});
    }
    request.format += "%N";
    request.arguments.push_back(form.name.empty() ? "*" : "*" + form.name + "*");
    if (!form.description.empty()) {
        request.format += " & %A";
        request.arguments.push_back("*" + form.description + "*");
    }
    return request;
}

void filter_search_results(std::vector<std::unique_ptr<file_entry>>& results,
                           const std::string& directory, const std::string& separator) {
    // A whole name must follow the directory: "\Docs" does not hold
    // "\Docs2\x".
    const std::string prefix = directory.ends_with(separator) ? directory : directory + separator;
    // Every path is looked up before anything moves, so that a failed
    // lookup leaves the list as it was.
    entry_paths paths(separator);
    std::vector<bool> keep;
    keep.reserve(results.size());
    for (const auto& entry : results) {
        keep.push_back(!entry->is_directory() && paths.of(*entry).starts_with(prefix));
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!keep[i]) continue;
        if (kept != i) results[kept] = std::move(results[i]);
        ++kept;
    }
    results.resize(kept);
}

}  // namespace tuv
