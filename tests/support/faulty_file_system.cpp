#include "tests/support/faulty_file_system.h"

#include <cstring>
#include <string>

namespace tuv::test {

// A handle of the local file system whose writes and syncs go through the
// owner's counters and fault.
class faulty_file : public file_handle {
  public:
    faulty_file(faulty_file_system& owner, std::unique_ptr<file_handle> inner)
        : owner_(owner), inner_(std::move(inner)) {}

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        return inner_->read_at(offset, data, size);
    }
    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        owner_.enter(fs_operation::write_at, "write", path().string());
        inner_->write_at(offset, data, size);
        owner_.wrote(path());
    }
    void sync() override {
        owner_.enter(fs_operation::sync, "sync", path().string());
        inner_->sync();
        owner_.synced(path());
    }
    void truncate(std::uint64_t size) override {
        owner_.enter(fs_operation::truncate, "truncate", path().string());
        inner_->truncate(size);
    }
    std::uint64_t size() override { return inner_->size(); }
    const std::filesystem::path& path() const override { return inner_->path(); }

  private:
    faulty_file_system& owner_;
    std::unique_ptr<file_handle> inner_;
};

void faulty_file_system::fail(fs_operation operation, int nth, int error) {
    fault_operation_ = operation;
    fault_call_ = calls(operation) + nth;
    fault_error_ = error;
}

int faulty_file_system::calls(fs_operation operation) const {
    return calls_[static_cast<std::size_t>(operation)];
}

int faulty_file_system::syncs(const std::filesystem::path& path) const {
    const auto found = syncs_.find(path);
    return found == syncs_.end() ? 0 : found->second;
}

std::set<std::filesystem::path> faulty_file_system::written() const {
    std::set<std::filesystem::path> files;
    for (const auto& [path, dirty] : dirty_) files.insert(path);
    return files;
}

std::set<std::filesystem::path> faulty_file_system::unsynced() const {
    std::set<std::filesystem::path> files;
    for (const auto& [path, dirty] : dirty_) {
        if (dirty) files.insert(path);
    }
    return files;
}

std::unique_ptr<file_handle> faulty_file_system::open(const std::filesystem::path& path,
                                                      open_mode mode) {
    enter(fs_operation::open, "open", path.string());
    return std::make_unique<faulty_file>(*this, file_system::local().open(path, mode));
}

void faulty_file_system::sync_directory(const std::filesystem::path& folder) {
    enter(fs_operation::sync_directory, "sync the folder", folder.string());
    file_system::local().sync_directory(folder);
    synced(folder);
}

void faulty_file_system::rename(const std::filesystem::path& from,
                                const std::filesystem::path& to) {
    enter(fs_operation::rename, "rename " + from.string() + " to", to.string());
    file_system::local().rename(from, to);
}

void faulty_file_system::remove(const std::filesystem::path& path) {
    enter(fs_operation::remove, "remove", path.string());
    file_system::local().remove(path);
}

void faulty_file_system::enter(fs_operation operation, const std::string& what,
                               const std::string& path) {
    const std::lock_guard lock(mutex_);
    const int nth = ++calls_[static_cast<std::size_t>(operation)];
    log_.push_back({operation, path});
    if (operation == fault_operation_ && nth == fault_call_) {
        throw io_error("Cannot " + what + " " + path + ": " + std::strerror(fault_error_));
    }
}

void faulty_file_system::synced(const std::filesystem::path& path) {
    const std::lock_guard lock(mutex_);
    ++syncs_[path];
    const auto found = dirty_.find(path);
    if (found != dirty_.end()) found->second = false;
}

}  // namespace tuv::test
