#include "core/vault/writer_lock.h"

#include <system_error>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/open_database.h"

namespace tuv {

std::optional<writer_lock> try_lock_writer(const std::filesystem::path& database,
                                           std::chrono::milliseconds timeout) {
    if (is_server_address(utf8_of(database))) return writer_lock();
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(database, error);
    if (error)
        throw tuv_error("Cannot find the vault " + utf8_of(database) + ": " + error.message());
    const std::filesystem::perms mode = std::filesystem::status(real, error).permissions();
    if (error)
        throw tuv_error("Cannot examine the vault " + utf8_of(real) + ": " + error.message());
    try {
        std::filesystem::path lock = real;
        lock += writer_lock_suffix;
        auto file = platform::file_lock::try_acquire(lock, mode, timeout);
        if (!file) return std::nullopt;
        return writer_lock(std::move(*file));
    } catch (const platform::lock_error& e) {
        throw tuv_error(e.what());
    }
}

}  // namespace tuv
