// Sets (or unsets) one environment variable for the lifetime of the object and
// restores the previous state afterwards.
#pragma once

#include <optional>
#include <string>

namespace tuv::test {

class scoped_env {
  public:
    // value == nullopt unsets the variable.
    scoped_env(std::string name, std::optional<std::string> value);
    ~scoped_env();
    scoped_env(const scoped_env&) = delete;
    scoped_env& operator=(const scoped_env&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace tuv::test
