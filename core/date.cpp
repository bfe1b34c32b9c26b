#include "core/date.h"

#include "core/errors.h"
#include "core/parse_time.h"

namespace tuv {
namespace {

std::time_t seconds_from_text(const std::string& text) {
    if (text == "now") return std::time(nullptr);

    // Zero everything the format does not name, and let mktime decide daylight
    // saving so that a text produced by to_text() reads back to its value.
    std::tm tm{};
    tm.tm_isdst = -1;
    if (parse_time(text.c_str(), date_format, tm) == nullptr) throw invalid_date_exception();
    return std::mktime(&tm);
}

}  // namespace

date::date(const std::string& text) : seconds_(seconds_from_text(text)) {}

void date::set(const std::string& text) {
    seconds_ = seconds_from_text(text);
    changed_ = true;
}

void date::to_tm(std::tm& out) const {
    out = std::tm{};
    if (localtime_r(&seconds_, &out) == nullptr) out = std::tm{};
}

std::string date::to_text() const {
    std::tm tm{};
    if (localtime_r(&seconds_, &tm) == nullptr) return {};
    // Room for "YYYY-MM-DD HH:MM:SS" and its NUL; strftime gives 0 for
    // anything longer.
    char buffer[20];
    const std::size_t length = std::strftime(buffer, sizeof buffer, date_format, &tm);
    return std::string(buffer, length);
}

}  // namespace tuv
