#include "tests/support/scoped_env.h"

#include <stdlib.h>

#include <utility>

namespace tuv::test {
namespace {

#ifdef _WIN32
// The C runtime's own calls; setting a variable empty removes it.
void setenv(const char* name, const char* value, int) {
    _putenv_s(name, value);
}
void unsetenv(const char* name) {
    _putenv_s(name, "");
}
#endif

}  // namespace

scoped_env::scoped_env(std::string name, std::optional<std::string> value)
    : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) previous_ = old;
    if (value) {
        setenv(name_.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

scoped_env::~scoped_env() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

}  // namespace tuv::test
