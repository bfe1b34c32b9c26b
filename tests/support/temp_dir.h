// A fresh, empty folder under the system's temporary directory, removed with
// everything in it when the object is destroyed.
#pragma once

#include <filesystem>

namespace tuv::test {

class temp_dir {
  public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name, as a convenience for building file names.
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace tuv::test
