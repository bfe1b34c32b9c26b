#include "explorer/pane_search.h"

#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "core/vault/search.h"
#include "explorer/explorer_document.h"

namespace tuv::explorer {

using gui::prompt_icon;

search_request search_request_of(const std::string& name, const std::string& description,
                                 const std::optional<time_period>& period) {
    search_form fields;
    fields.name = name;
    fields.description = description;
    search_request request = build_search_request(fields);
    if (period) {
        // The core's form widens its period by a day; the pane's is already
        // the exact period the history list shows, so it goes in as it is.
        const std::string start = std::to_string(period->start);
        const std::string end = std::to_string(period->end);
        request.format = " (( %d & %c ) | ( %b  & %a )) & " + request.format;
        request.arguments.insert(request.arguments.begin(), {start, end, start, end});
    }
    return request;
}

void search_vault(explorer_document& document, const std::string& name,
                  const std::string& description, gui::native_window owner) {
    const slider_state& slider = document.slider();
    std::optional<time_period> period;
    if (slider.use_time_filter) period = period_of(slider);
    const search_request request = search_request_of(name, description, period);
    try {
        document.run_search(request.format, request.arguments);
        if (document.vault() != nullptr) {
            filter_search_results(document.search_results(), document.current_location(),
                                  document.vault()->path_separator());
        }
    } catch (const std::exception&) {
        document.search_results().clear();
        document.prompts().message(owner, refine_search, caption_search_pane, prompt_icon::error);
        return;
    }
    document.set_search_mode(true);
    document.update_views();
    if (document.search_results().empty()) {
        document.prompts().message(owner, nothing_found, caption_search_pane,
                                   prompt_icon::exclamation);
    }
}

}  // namespace tuv::explorer
