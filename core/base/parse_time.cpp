#include "core/base/parse_time.h"

namespace tuv {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a number in [low, high] at `input` into `out`. The digit limit comes
// from `high` so "20081" under %Y leaves the trailing '1' for the format's next
// element, and "13" under %m reads just the '1'.
const char* read_number(const char* input, int low, int high, int& out) {
    int max_digits = 0;
    for (int rest = high; rest > 0; rest /= 10) ++max_digits;

    if (!is_digit(*input)) return nullptr;
    int value = 0;
    for (int digits = 0; digits < max_digits && is_digit(*input); ++digits) {
        const int next = value * 10 + (*input - '0');
        if (digits > 0 && next > high) break;
        value = next;
        ++input;
    }
    if (value < low || value > high) return nullptr;
    out = value;
    return input;
}

// Handles the conversion character `conv` (the one after '%').
const char* convert(const char* input, char conv, std::tm& tm) {
    int value = 0;
    switch (conv) {
        case '%':
            return *input == '%' ? input + 1 : nullptr;
        case 'Y':
            if ((input = read_number(input, 0, 9999, value))) tm.tm_year = value - 1900;
            return input;
        case 'y':
            // The POSIX pivot: 69..99 are the last century, 0..68 this one.
            if ((input = read_number(input, 0, 99, value)))
                tm.tm_year = value < 69 ? value + 100 : value;
            return input;
        case 'm':
            if ((input = read_number(input, 1, 12, value))) tm.tm_mon = value - 1;
            return input;
        case 'd':
        case 'e':
            if ((input = read_number(input, 1, 31, value))) tm.tm_mday = value;
            return input;
        case 'H':
        case 'k':
            if ((input = read_number(input, 0, 23, value))) tm.tm_hour = value;
            return input;
        case 'M':
            if ((input = read_number(input, 0, 59, value))) tm.tm_min = value;
            return input;
        case 'S':
            // 60 and 61 leave room for leap seconds.
            if ((input = read_number(input, 0, 61, value))) tm.tm_sec = value;
            return input;
        case 'D':
            return parse_time(input, "%m/%d/%y", tm);
        case 'R':
            return parse_time(input, "%H:%M", tm);
        case 'T':
            return parse_time(input, "%H:%M:%S", tm);
        default:
            // Includes the NUL after a lone trailing '%'.
            return nullptr;
    }
}

}  // namespace

const char* parse_time(const char* input, const char* format, std::tm& tm) {
    while (*format != '\0') {
        const char f = *format++;
        if (is_space(f)) {
            while (is_space(*input)) ++input;
        } else if (f != '%') {
            if (*input != f) return nullptr;
            ++input;
        } else {
            const char conv = *format;
            if (conv == '\0') return nullptr;
            ++format;
            input = convert(input, conv, tm);
            if (input == nullptr) return nullptr;
        }
    }
    return input;
}

}  // namespace tuv
