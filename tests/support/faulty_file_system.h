// A file system for tests: passes every call to file_system::local(), logs
// and counts the calls per operation and the syncs per path, and makes one
// chosen call
// fail the way the POSIX implementation reports a failure ("Cannot write
// <path>: No space left on device").
//
// A failing call does nothing before it throws. Handles opened through it
// report to it, so it must outlive them. Calls may come from several threads
// (an export writes files on one of its own); read the counts once they are
// done.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/storage/file_io.h"

namespace tuv::test {

enum class fs_operation { open, write_at, sync, sync_directory, rename, remove, truncate };

class faulty_file_system : public file_system {
  public:
    // Makes the `nth` call (1 for the next one) of `operation` counted from
    // now fail with the errno value `error` (ENOSPC, EIO, ...). One fault is
    // armed at a time; arming another replaces it. Calls after the faulty
    // one succeed again.
    void fail(fs_operation operation, int nth, int error);

    // Calls of the operation so far, failed ones included.
    int calls(fs_operation operation) const;
    // Every call so far, in order, with its path (a rename's destination).
    struct call {
        fs_operation operation;
        std::filesystem::path path;
    };
    const std::vector<call>& log() const { return log_; }
    // Successful sync() of a file or sync_directory() of a folder.
    int syncs(const std::filesystem::path& path) const;
    // Files written through this file system; and those of them written
    // since their last successful sync.
    std::set<std::filesystem::path> written() const;
    std::set<std::filesystem::path> unsynced() const;

    std::unique_ptr<file_handle> open(const std::filesystem::path& path, open_mode mode) override;
    void sync_directory(const std::filesystem::path& folder) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void remove(const std::filesystem::path& path) override;
    // Reads nothing that a fault could lose: passed on, neither logged nor
    // counted.
    void copy_permissions(const std::filesystem::path& from,
                          const std::filesystem::path& to) noexcept override {
        file_system::local().copy_permissions(from, to);
    }
    path_status status(const std::filesystem::path& path) override {
        return file_system::local().status(path);
    }

  private:
    friend class faulty_file;

    // Counts a call and throws io_error "Cannot <what> <path>: <reason>" when
    // it is the armed one.
    void enter(fs_operation operation, const std::string& what, const std::string& path);
    void wrote(const std::filesystem::path& path) {
        const std::lock_guard lock(mutex_);
        dirty_[path] = true;
    }
    void synced(const std::filesystem::path& path);

    std::mutex mutex_;  // guards what the calls change
    std::array<int, 7> calls_{};
    std::vector<call> log_;
    fs_operation fault_operation_ = fs_operation::open;
    int fault_call_ = 0;  // the call number that fails; 0 when none is armed
    int fault_error_ = 0;
    std::map<std::filesystem::path, int> syncs_;
    std::map<std::filesystem::path, bool> dirty_;  // written since the last sync
};

}  // namespace tuv::test
