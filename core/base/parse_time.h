// A strptime-style reader of text into the fields of a broken-down time.
//
// parse_time() walks `format` from its start against `input`:
//  - a white-space character in the format matches any run of white space in
//    the input, including an empty one;
//  - an ordinary character must equal the next input character;
//  - "%%" matches a literal '%';
//  - numeric conversions read at least one and at most as many decimal digits
//    as the field's upper limit has, stopping early where one more digit would
//    exceed the limit; the number must lie in the field's range:
//      %Y year 0..9999 (stored as year - 1900)   %m month 1..12 (stored - 1)
//      %d, %e day 1..31    %H, %k hour 0..23    %M minute 0..59
//      %S second 0..61
//      %y two-digit year 0..99: 69..99 mean 1969..1999, 0..68 mean 2000..2068
//  - %D, %R and %T stand for "%m/%d/%y", "%H:%M" and "%H:%M:%S".
// Any other conversion, or a format ending in a lone '%', fails the parse.
//
// Only the fields named by the format are written; the others keep what the
// caller put there (a failed parse may have written some of them). Input left
// over after the end of the format is not examined. Reading stops at the
// input's terminating NUL, never beyond it. Nothing is thrown.
#pragma once

#include <ctime>

namespace tuv {

// Returns a pointer just past the last input character consumed, or nullptr
// when the input does not match the format. Both texts are NUL-terminated and
// are only borrowed for the call.
const char* parse_time(const char* input, const char* format, std::tm& tm);

}  // namespace tuv
