// parse_time: any format against any input. The input and the format are
// the fuzz data split at its first NUL (format first). Properties: the
// returned pointer lies within the input; every field is either left as the
// caller set it or holds a value inside its range; the fields no conversion
// names are never touched.
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "core/base/parse_time.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr int untouched = INT_MIN;

bool kept_or_within(int field, int low, int high) {
    return field == untouched || (field >= low && field <= high);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = text.find('\0');
    const std::string format = text.substr(0, cut);
    const std::string input = cut == std::string::npos ? std::string() : text.substr(cut + 1);

    std::tm tm;
    tm.tm_sec = tm.tm_min = tm.tm_hour = tm.tm_mday = tm.tm_mon = tm.tm_year = untouched;
    tm.tm_wday = tm.tm_yday = tm.tm_isdst = untouched;
    const char* begin = input.c_str();
    const char* end = tuv::parse_time(begin, format.c_str(), tm);

    if (end != nullptr) FUZZ_CHECK(end >= begin && end <= begin + std::strlen(begin));
    FUZZ_CHECK(kept_or_within(tm.tm_year, -1900, 9999 - 1900));
    FUZZ_CHECK(kept_or_within(tm.tm_mon, 0, 11));
    FUZZ_CHECK(kept_or_within(tm.tm_mday, 1, 31));
    FUZZ_CHECK(kept_or_within(tm.tm_hour, 0, 23));
    FUZZ_CHECK(kept_or_within(tm.tm_min, 0, 59));
    FUZZ_CHECK(kept_or_within(tm.tm_sec, 0, 61));
    FUZZ_CHECK(tm.tm_wday == untouched && tm.tm_yday == untouched && tm.tm_isdst == untouched);
    return 0;
}
