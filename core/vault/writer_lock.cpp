#include "core/vault/writer_lock.h"

#include <system_error>

#include "core/base/errors.h"

namespace tuv {

std::optional<platform::file_lock> try_lock_writer(const std::filesystem::path& database,
                                                   std::chrono::milliseconds timeout) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(database, error);
    if (error)
        throw tuv_error("Cannot find the vault " + database.string() + ": " + error.message());
    const std::filesystem::perms mode = std::filesystem::status(real, error).permissions();
    if (error)
        throw tuv_error("Cannot examine the vault " + real.string() + ": " + error.message());
    try {
        return platform::file_lock::try_acquire(real.string() + writer_lock_suffix, mode, timeout);
    } catch (const platform::lock_error& e) {
        throw tuv_error(e.what());
    }
}

}  // namespace tuv
