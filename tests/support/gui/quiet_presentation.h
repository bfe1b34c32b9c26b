// A presentation of the explorer's document for tests and the benchmark:
// it does only what the caller asks when the views are to be reloaded, runs
// long work at once on the calling thread, and never starts the check-in
// program.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "explorer/explorer_document.h"

namespace tuv::explorer {

class quiet_presentation : public document_presentation {
  public:
    void reload_views() override {
        if (on_reload) on_reload();
    }
    void recount_repository_size() override {}
    void set_main_window_hidden(bool) override {}
    bool launch_checkin(const std::string&, const std::vector<std::string>&) override {
        return false;
    }
    void run_in_background(const std::string&, const std::function<void()>& work) override {
        work();
    }

    std::function<void()> on_reload;
};

}  // namespace tuv::explorer
