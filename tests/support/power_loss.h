// A power loss, simulated for the files of one folder: the container files
// the core writes through the file seam (files(), for
// repository::set_file_system) and the database files SQLite writes through
// its VFS (a shim registered as SQLite's default once the first simulation
// is made, passing everything through to the default VFS of the machine).
//
// Each file keeps a durable image: its bytes at its last sync. Each folder
// keeps its durable names: those it had at its last sync_directory (or that
// SQLite's own VFS made durable: it syncs the folder when it first syncs a
// log it created, and when it deletes a file asking for it). A file created
// and never named by a folder sync is gone after the loss, even if it was
// synced itself (POSIX promises no more); a rename or removal not followed by
// a folder sync is undone. Every file in the folder when the simulation is
// made is taken as durable as it is.
//
// Writes (write, truncate, create, rename, remove) and sync points (a file's
// sync, a folder's sync) of both paths are counted together. Once the power
// is cut, every write and sync fails, as a dead disk would fail them: the
// file seam throws io_error "Cannot <what> <path>: Input/output error",
// SQLite gets SQLITE_IOERR. Reads go on. restore() then puts the folder back
// as a machine would find it on the next boot.
//
// Durability is the images, so nothing calls the machine's fsync. POSIX
// only (the folder syncs, the unix VFS). One simulation at a time in a
// process; not thread-safe (the check-in writes from one thread); it must
// outlive the files opened through it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/storage/file_io.h"

namespace tuv::test {

// When the power goes: once `syncs` sync points have taken effect and then
// `writes` more writes were made, the next write or sync fails. With
// `writes` equal to all the writes made before sync `syncs + 1`, that sync
// is the one that never takes effect.
struct power_cut {
    int syncs = 0;
    int writes = 0;
};

class power_loss {
  public:
    explicit power_loss(std::filesystem::path folder);
    ~power_loss();
    power_loss(const power_loss&) = delete;
    power_loss& operator=(const power_loss&) = delete;

    // The file seam; wraps file_system::local().
    file_system& files();

    void cut(power_cut when) { cut_ = when; }
    bool off() const { return off_; }
    // Sync points taken so far, and the writes made after each of them
    // (writes_after()[0]: before the first one).
    int syncs() const { return syncs_; }
    const std::vector<int>& writes_after() const { return writes_after_; }

    // Once every file opened through the simulation is closed: gives each
    // file of the folder its durable image, removes those the folder's
    // durable names do not hold and SQLite's shared-memory index (memory,
    // not data), and turns the power back on with no cut planned.
    void restore();

    // For the seam and the VFS shim.
    bool tracks(const std::filesystem::path& path) const;
    // Asked before each write and sync: false once the power is off
    // (cutting it when its moment has come).
    bool on();
    void wrote() { ++writes_after_.back(); }
    void created(const std::filesystem::path& path);
    void renamed(const std::filesystem::path& from, const std::filesystem::path& to);
    void removed(const std::filesystem::path& path);
    // The file's bytes now become its image.
    void synced(const std::filesystem::path& path);
    // The folder's names now become its durable names; `counted` when this
    // is a sync point of its own.
    void synced_folder(const std::filesystem::path& folder, bool counted);

  private:
    std::filesystem::path folder_;
    std::unique_ptr<file_system> files_;
    std::vector<std::string> images_;                    // by file number
    std::map<std::filesystem::path, std::size_t> live_;  // names now
    std::map<std::filesystem::path, std::size_t> durable_;
    std::optional<power_cut> cut_;
    bool off_ = false;
    int syncs_ = 0;
    std::vector<int> writes_after_{0};
};

}  // namespace tuv::test
