// The text of a version's moment in the programs' version lists.
#pragma once

#include <ctime>
#include <string>

namespace tuv::gui {

// The local time of `moment` as "year-month-day hour:minute:second" with no
// leading zeros ("2026-1-2 3:4:5"). The lists show it and hand it back as
// the date text of a checkout, which tuv::date reads to the same moment.
std::string version_list_text(std::time_t moment);

// The same text for local calendar fields as the journal gives them.
std::string version_list_text(const std::tm& local);

}  // namespace tuv::gui
