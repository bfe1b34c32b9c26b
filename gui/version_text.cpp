#include "gui/version_text.h"

#include <cstdio>

#include "core/base/date.h"

namespace tuv::gui {

std::string version_list_text(std::time_t moment) {
    std::tm tm{};
    date(moment).to_tm(tm);
    return version_list_text(tm);
}

std::string version_list_text(const std::tm& local) {
    // Six ints of at most 11 characters each, five separators and the NUL.
    char buffer[72];
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d %d:%d:%d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

}  // namespace tuv::gui
