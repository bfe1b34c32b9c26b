#include "tests/support/test_vault.h"

namespace tuv::test {
namespace {

vault_options in_folder(vault_options options, const temp_dir& folder) {
    if (options.directory.empty()) options.directory = folder / "vault";
    return options;
}

}  // namespace

test_vault::test_vault(vault_options options)
    : layout_(install_vault(in_folder(std::move(options), folder_))),
      repository_(std::make_unique<repository>(layout_.database.string())) {}

}  // namespace tuv::test
