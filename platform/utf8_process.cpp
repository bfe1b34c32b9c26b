#include "platform/utf8_process.h"

#include <cstdlib>

namespace platform {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
    return {argv, argv + argc};
}

std::optional<std::string> utf8_environment_variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return value;
}

utf8_console::utf8_console() = default;

utf8_console::~utf8_console() = default;

}  // namespace platform
