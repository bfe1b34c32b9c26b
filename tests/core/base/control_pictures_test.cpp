#include "core/base/control_pictures.h"

#include <gtest/gtest.h>

#include <string>

namespace tuv {
namespace {

TEST(control_pictures_test, pictures_control_characters_and_keeps_everything_else) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"\\Projects\\notes.txt", "\\Projects\\notes.txt"},
        {"Été – 日本 ␊", "Été – 日本 ␊"},
        {"a\nb\rc\td", "a␊b␍c␉d"},
        {"\0\x01\x1b\x1f"s, "␀␁␛␟"},
        {"del\x7f end", "del␡ end"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(with_control_pictures(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace tuv
