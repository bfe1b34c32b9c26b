#include "tests/support/test_vault.h"

#include "core/base/date.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"

namespace tuv::test {
namespace {

vault_options in_folder(vault_options options, const temp_dir& folder) {
    if (options.directory.empty()) options.directory = folder / "vault";
    return options;
}

}  // namespace

test_vault::test_vault(vault_options options)
    : layout_(install_vault(in_folder(std::move(options), folder_))),
      repository_(std::make_unique<repository>(utf8_of(layout_.database))) {}

void register_vault(const std::string& db_path) {
    auto key = platform::create_registry_key(platform::registry_root::current_user,
                                             platform::quillmark_key);
    if (db_path.empty()) {
        key.remove(platform::db_path_value);
    } else {
        key.set(platform::db_path_value, db_path);
    }
}

std::uint64_t checkout_path(repository& repo, const std::string& vault_path,
                            const std::filesystem::path& destination, const std::string& when) {
    return checkout_path(repo, vault_path, destination, date(when));
}

std::uint64_t checkout_path(repository& repo, const std::string& vault_path,
                            const std::filesystem::path& destination, const date& when) {
    return checkout(repo, *repo.catalogue().resolve(vault_path), destination, when);
}

}  // namespace tuv::test
