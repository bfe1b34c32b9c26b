// What the checkout dialog shows, without a toolkit: a file's version times
// in the order of their moments, and the description of the chosen one.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tuv {
class file_entry;
class repository;
}  // namespace tuv

namespace tuv::explorer {

// The moments of a file's versions as the lists show them, oldest first.
std::vector<std::string> version_texts(repository& repo, const std::string& vault_path);

// The texts ordered by the moments they name, not as text: "2025-9-30 ..."
// comes before "2025-10-1 ...". A text that names no moment goes last; equal
// moments keep their order.
std::vector<std::string> in_time_order(const std::vector<std::string>& texts);

// One vault file whose version is being chosen. Borrows the repository.
class checkout_choice {
  public:
    checkout_choice(repository& repo, std::string vault_path);
    ~checkout_choice();

    const std::string& vault_path() const { return vault_path_; }
    // The file's own name, the last part of its path.
    std::string name() const;
    // The description recorded with the version of `time_text`, " " when
    // there is none. The vault's errors (and a text naming no moment) pass
    // on.
    std::string description(const std::string& time_text);

  private:
    repository& repo_;
    std::string vault_path_;
    std::unique_ptr<file_entry> entry_;  // resolved at the first description
};

}  // namespace tuv::explorer
