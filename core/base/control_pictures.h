// Text written into line-oriented output (listings, reports, logs), where a
// name or a description may hold any character a person typed: each line
// must stay one record, so that scripts can read the output line by line.
#pragma once

#include <string>
#include <string_view>

namespace tuv {

// `text` with each C0 control character (U+0000 to U+001F) replaced by the
// Unicode control picture for it, U+2400 plus its code ("␊" for a line
// feed, "␉" for a tab, "␍" for a carriage return), and DEL by "␡" (U+2421),
// in UTF-8. Every other byte is kept, so text without control characters
// comes back unchanged. Pictures rather than backslash escapes: "\" is the
// default vault separator and the Windows one, so "\n" in a path could not be
// told from a name beginning with "n". Mapping the pictures back gives the
// text again, unless it held such a picture itself.
std::string with_control_pictures(std::string_view text);

}  // namespace tuv
