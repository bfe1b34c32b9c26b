#include "gui/version_text.h"

#include <cstdio>

#include "core/base/date.h"

namespace tuv::gui {

std::string version_list_text(std::time_t moment) {
    std::tm tm{};
    date(moment).to_tm(tm);
    // Six ints of at most 11 characters each, five separators and the NUL.
    char buffer[72];
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d %d:%d:%d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

}  // namespace tuv::gui
