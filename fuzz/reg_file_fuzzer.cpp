// parse_reg_file: any text. Properties: it either parses or fails with
// registry_error; what it parses, written out by format_reg_file and parsed
// again, is the same document, and formatting that gives the same text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/reg_file.h"
#include "platform/registry.h"

namespace {

bool same(const platform::reg_document& a, const platform::reg_document& b) {
    if (a.keys.size() != b.keys.size()) return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const auto& x = a.keys[k];
        const auto& y = b.keys[k];
        if (x.path != y.path || x.values.size() != y.values.size()) return false;
        for (std::size_t v = 0; v < x.values.size(); ++v) {
            if (x.values[v].name != y.values[v].name || x.values[v].data != y.values[v].data ||
                x.values[v].is_text != y.values[v].is_text) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto root = size > 0 && data[0] % 2 == 0 ? platform::registry_root::current_user
                                                   : platform::registry_root::local_machine;
    platform::reg_document document;
    try {
        document = platform::parse_reg_file(text, root, "fuzz.reg");
    } catch (const platform::registry_error&) {
        return 0;
    }
    const std::string written = platform::format_reg_file(document, root);
    platform::reg_document again;
    try {
        again = platform::parse_reg_file(written, root, "fuzz.reg");
    } catch (const platform::registry_error& e) {
        std::fprintf(stderr, "the written form does not parse: %s\n", e.what());
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(same(document, again));
    FUZZ_CHECK(platform::format_reg_file(again, root) == written);
    return 0;
}
