#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tuv::test {

#ifdef _WIN32
// Windows has no mkdtemp: try random names until one is new.
temp_dir::temp_dir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("quillmark-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + base.string());
}
#else
temp_dir::temp_dir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder from " + pattern);
    }
    path_ = pattern;
}
#endif

temp_dir::~temp_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace tuv::test
