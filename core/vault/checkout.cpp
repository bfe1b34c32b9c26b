// Writing one version of a vault file to a local file.
#include "core/vault/checkout.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/storage/file_io.h"
#include "core/vault/file_entry.h"
#include "core/vault/own_files.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

// A name beside the destination that no other checkout uses at once.
std::filesystem::path temporary_beside(const std::filesystem::path& destination) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return destination.parent_path() /
           path_from_utf8("." + utf8_of(destination.filename()) + ".quillmark-" +
                          std::to_string(getpid()) + "-" + std::to_string(stamp) + "-" +
                          std::to_string(counter++));
}

// The file a checkout to `destination` replaces. A link (chain) to a regular
// file is written through, as cp does: its final target is replaced in its
// own folder and the link stays a link. Anything else that exists is
// refused before a byte is written: renaming over a device, FIFO or folder
// would destroy it, and a dangling link could point anywhere (a link planted
// in a shared folder must not make us create files elsewhere).
path_status replaced_file(file_system& files, const std::filesystem::path& destination) {
    if (destination.empty()) {
        throw tuv_error(std::string("Cannot write the version: the destination is empty"));
    }
    const path_status status = files.status(destination);
    switch (status.kind) {
        case path_kind::missing:
        case path_kind::regular:
            return status;
        case path_kind::dangling_link:
            throw tuv_error("Cannot write " + utf8_of(destination) +
                            ": it is a symbolic link to a file that does not exist");
        case path_kind::other:
            break;
    }
    throw tuv_error("Cannot write " + utf8_of(destination) + ": it is not a regular file");
}

}  // namespace

bool file_exists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::filesystem::path checkout_target(repository& vault, const file_entry& entry,
                                      const std::filesystem::path& destination, own_files* own) {
    if (entry.is_directory()) throw tuv_error(std::string("Attempt to call read() on a directory"));
    path_status status = replaced_file(vault.files(), destination);
    std::optional<own_files> looked_up;
    if (own == nullptr) own = &looked_up.emplace(vault.storage());
    if (own->holds(status)) {
        throw tuv_error("Cannot write " + utf8_of(destination) +
                        ": it is one of the vault's own files");
    }
    return std::move(status.target);
}

// The version goes to a temporary file beside the file it replaces, which it
// replaces only once complete: a failed checkout leaves the destination as
// it was.
replacement_file::replacement_file(file_system& files, std::filesystem::path target,
                                   const std::filesystem::path& destination)
    : files_(files), target_(std::move(target)), partial_(temporary_beside(target_)) {
    try {
        out_ = files_.open(partial_, open_mode::create_new);
    } catch (const io_error& error) {
        // The system's reason tells a full disk from a read-only folder.
        throw tuv_error("Couldn't open " + utf8_of(destination) +
                        (error.reason() ? ": " + error.reason().message() : std::string()));
    }
    // A file written over keeps its permissions, as cp keeps them; a new
    // one is private to its owner.
    files_.copy_permissions(target_, partial_);
}

replacement_file::~replacement_file() {
    if (committed_) return;
    out_.reset();
    try {
        files_.remove(partial_);
    } catch (const io_error&) {
        // The original error matters more than a stray temporary file.
    }
}

void replacement_file::write(std::span<const std::uint8_t> bytes) {
    out_->write_at(written_, bytes.data(), bytes.size());
    written_ += bytes.size();
}

void replacement_file::commit(checkout_sync sync) {
    if (sync == checkout_sync::durable) out_->sync();
    out_.reset();
    files_.rename(partial_, target_);
    committed_ = true;
    if (sync == checkout_sync::durable) {
        files_.sync_directory(target_.parent_path().empty() ? "." : target_.parent_path());
    }
}

std::uint64_t checkout(repository& vault, file_entry& entry,
                       const std::filesystem::path& destination, const date& moment,
                       checkout_sync sync, own_files* own) {
    replacement_file out(vault.files(), checkout_target(vault, entry, destination, own),
                         destination);
    entry.read_version(moment, [&](std::span<const std::uint8_t> bytes) { out.write(bytes); });
    out.commit(sync);
    return out.written();
}

}  // namespace tuv
