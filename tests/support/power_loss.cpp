#include "tests/support/power_loss.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

namespace tuv::test {
namespace {

namespace fs = std::filesystem;

// The simulation SQLite's files report to; null when none is running.
power_loss* active = nullptr;

std::string read_whole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(fs::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// SQLite's shared-memory index: memory that happens to have a file.
bool is_index(const fs::path& path) {
    const std::string name = path.filename().string();
    return name.size() > 4 && name.compare(name.size() - 4, 4, "-shm") == 0;
}

// What a dead disk answers, worded as the POSIX file system words failures.
[[noreturn]] void dead(const std::string& what, const fs::path& path) {
    throw io_error("Cannot " + what + " " + path.string() + ": " + std::strerror(EIO),
                   std::error_code(EIO, std::generic_category()));
}

// --- The file seam ------------------------------------------------------------

class power_loss_file : public file_handle {
  public:
    power_loss_file(power_loss& power, std::unique_ptr<file_handle> inner, bool tracked)
        : power_(power), inner_(std::move(inner)), tracked_(tracked) {}

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        return inner_->read_at(offset, data, size);
    }
    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        if (tracked_ && !power_.on()) dead("write", path());
        inner_->write_at(offset, data, size);
        if (tracked_) power_.wrote();
    }
    void sync() override {
        if (!tracked_) return inner_->sync();
        if (!power_.on()) dead("sync", path());
        power_.synced(path());
    }
    void truncate(std::uint64_t size) override {
        if (tracked_ && !power_.on()) dead("truncate", path());
        inner_->truncate(size);
        if (tracked_) power_.wrote();
    }
    std::uint64_t size() override { return inner_->size(); }
    const fs::path& path() const override { return inner_->path(); }

  private:
    power_loss& power_;
    std::unique_ptr<file_handle> inner_;
    bool tracked_;
};

class power_loss_file_system : public file_system {
  public:
    explicit power_loss_file_system(power_loss& power) : power_(power) {}

    std::unique_ptr<file_handle> open(const fs::path& path, open_mode mode) override {
        file_system& local = file_system::local();
        const bool tracked = power_.tracks(path);
        if (!tracked || mode == open_mode::read) {
            return std::make_unique<power_loss_file>(power_, local.open(path, mode), tracked);
        }
        if (!power_.on()) dead("open", path);
        const bool creating = local.status(path).kind == path_kind::missing;
        auto inner = local.open(path, mode);
        if (creating) {
            power_.created(path);
            power_.wrote();
        }
        return std::make_unique<power_loss_file>(power_, std::move(inner), true);
    }
    void sync_directory(const fs::path& folder) override {
        if (!power_.tracks(folder)) return file_system::local().sync_directory(folder);
        if (!power_.on()) dead("sync the folder", folder);
        power_.synced_folder(folder, true);
    }
    void rename(const fs::path& from, const fs::path& to) override {
        const bool tracked = power_.tracks(from) || power_.tracks(to);
        if (tracked && !power_.on()) dead("rename " + from.string() + " to", to);
        file_system::local().rename(from, to);
        if (!tracked) return;
        power_.renamed(from, to);
        power_.wrote();
    }
    void remove(const fs::path& path) override {
        const bool tracked = power_.tracks(path);
        if (tracked && !power_.on()) dead("remove", path);
        file_system::local().remove(path);
        if (!tracked) return;
        power_.removed(path);
        power_.wrote();
    }
    path_status status(const fs::path& path) override {
        return file_system::local().status(path);
    }
    void copy_permissions(const fs::path& from, const fs::path& to) noexcept override {
        file_system::local().copy_permissions(from, to);
    }

  private:
    power_loss& power_;
};

// --- The SQLite VFS shim --------------------------------------------------------

sqlite3_vfs* machine_vfs = nullptr;  // SQLite's default before the shim
sqlite3_vfs shim_vfs;

// The machine VFS's file follows this one in the space SQLite gives.
struct shim_file {
    sqlite3_file base;
    power_loss* power;  // null for a file no simulation tracks
    const char* name;   // SQLite keeps it valid until xClose
    // A log this connection created: the unix VFS syncs its folder at its
    // first sync, so that the log is found again after a crash.
    bool sync_folder;

    sqlite3_file* inner() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

shim_file* shim(sqlite3_file* file) {
    return reinterpret_cast<shim_file*>(file);
}

// The simulation a file reports to, while it runs.
power_loss* tracker(sqlite3_file* file) {
    power_loss* power = shim(file)->power;
    return power != nullptr && power == active ? power : nullptr;
}

template <auto method>
struct pass;
template <class R, class... A, R (*sqlite3_io_methods::*method)(sqlite3_file*, A...)>
struct pass<method> {
    static R call(sqlite3_file* file, A... args) {
        sqlite3_file* inner = shim(file)->inner();
        return (inner->pMethods->*method)(inner, args...);
    }
};

int shim_write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    power_loss* power = tracker(file);
    if (power != nullptr && !power->on()) return SQLITE_IOERR_WRITE;
    const int rc = pass<&sqlite3_io_methods::xWrite>::call(file, data, amount, offset);
    if (power != nullptr && rc == SQLITE_OK) power->wrote();
    return rc;
}

int shim_truncate(sqlite3_file* file, sqlite3_int64 size) {
    power_loss* power = tracker(file);
    if (power != nullptr && !power->on()) return SQLITE_IOERR_TRUNCATE;
    const int rc = pass<&sqlite3_io_methods::xTruncate>::call(file, size);
    if (power != nullptr && rc == SQLITE_OK) power->wrote();
    return rc;
}

int shim_sync(sqlite3_file* file, int flags) {
    power_loss* power = tracker(file);
    if (power == nullptr) return pass<&sqlite3_io_methods::xSync>::call(file, flags);
    if (!power->on()) return SQLITE_IOERR_FSYNC;
    shim_file* f = shim(file);
    power->synced(f->name);
    if (f->sync_folder) power->synced_folder(fs::path(f->name).parent_path(), false);
    f->sync_folder = false;
    return SQLITE_OK;
}

const sqlite3_io_methods shim_methods = {
    3,
    pass<&sqlite3_io_methods::xClose>::call,
    pass<&sqlite3_io_methods::xRead>::call,
    shim_write,
    shim_truncate,
    shim_sync,
    pass<&sqlite3_io_methods::xFileSize>::call,
    pass<&sqlite3_io_methods::xLock>::call,
    pass<&sqlite3_io_methods::xUnlock>::call,
    pass<&sqlite3_io_methods::xCheckReservedLock>::call,
    pass<&sqlite3_io_methods::xFileControl>::call,
    pass<&sqlite3_io_methods::xSectorSize>::call,
    pass<&sqlite3_io_methods::xDeviceCharacteristics>::call,
    pass<&sqlite3_io_methods::xShmMap>::call,
    pass<&sqlite3_io_methods::xShmLock>::call,
    pass<&sqlite3_io_methods::xShmBarrier>::call,
    pass<&sqlite3_io_methods::xShmUnmap>::call,
    pass<&sqlite3_io_methods::xFetch>::call,
    pass<&sqlite3_io_methods::xUnfetch>::call,
};

int shim_open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
    shim_file* f = shim(file);
    f->power = active != nullptr && name != nullptr && active->tracks(name) ? active : nullptr;
    f->name = name;
    f->sync_folder = false;
    bool creating = false;
    if (f->power != nullptr && (flags & SQLITE_OPEN_CREATE) != 0) {
        std::error_code ignored;
        creating = !fs::exists(name, ignored);
        if (creating && !f->power->on()) {
            file->pMethods = nullptr;
            return SQLITE_CANTOPEN;
        }
    }
    const int rc = machine_vfs->xOpen(machine_vfs, name, f->inner(), flags, out_flags);
    // SQLite closes what the machine VFS left open, through the shim.
    file->pMethods = f->inner()->pMethods != nullptr ? &shim_methods : nullptr;
    if (rc == SQLITE_OK && creating) {
        f->power->created(name);
        f->power->wrote();
        f->sync_folder =
            (flags & (SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL)) != 0;
    }
    return rc;
}

int shim_delete(sqlite3_vfs*, const char* name, int sync_folder) {
    power_loss* power = active != nullptr && active->tracks(name) ? active : nullptr;
    if (power == nullptr) return machine_vfs->xDelete(machine_vfs, name, sync_folder);
    if (!power->on()) return SQLITE_IOERR_DELETE;
    const int rc = machine_vfs->xDelete(machine_vfs, name, 0);
    if (rc != SQLITE_OK) return rc;
    power->removed(name);
    power->wrote();
    if (sync_folder == 0) return SQLITE_OK;
    if (!power->on()) return SQLITE_IOERR_DIR_FSYNC;
    power->synced_folder(fs::path(name).parent_path(), true);
    return SQLITE_OK;
}

// Makes the shim SQLite's default VFS, once per process. Every other call
// goes to the machine VFS as it is (its functions get the shim's copy of
// its own fields).
void install_shim() {
    if (machine_vfs != nullptr) return;
    machine_vfs = sqlite3_vfs_find(nullptr);
    shim_vfs = *machine_vfs;
    shim_vfs.pNext = nullptr;
    shim_vfs.zName = "power_loss";
    shim_vfs.szOsFile = static_cast<int>(sizeof(shim_file)) + machine_vfs->szOsFile;
    shim_vfs.xOpen = shim_open;
    shim_vfs.xDelete = shim_delete;
    sqlite3_vfs_register(&shim_vfs, 1);
}

}  // namespace

power_loss::power_loss(fs::path folder)
    : folder_(fs::canonical(folder)), files_(std::make_unique<power_loss_file_system>(*this)) {
    install_shim();
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
        if (!entry.is_regular_file() || is_index(entry.path())) continue;
        images_.push_back(read_whole(entry.path()));
        live_[entry.path()] = durable_[entry.path()] = images_.size() - 1;
    }
    active = this;
}

power_loss::~power_loss() {
    if (active == this) active = nullptr;
}

file_system& power_loss::files() {
    return *files_;
}

void power_loss::restore() {
    std::vector<fs::path> strays;
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
        if (entry.is_regular_file() && durable_.count(entry.path()) == 0) {
            strays.push_back(entry.path());
        }
    }
    for (const fs::path& stray : strays) fs::remove(stray);
    for (const auto& [path, image] : durable_) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << images_[image];
    }
    live_ = durable_;
    cut_.reset();
    off_ = false;
    syncs_ = 0;
    writes_after_ = {0};
}

bool power_loss::tracks(const fs::path& path) const {
    const fs::path inside = path.lexically_normal().lexically_relative(folder_);
    return !inside.empty() && *inside.begin() != "..";
}

bool power_loss::on() {
    if (!off_ && cut_ && syncs_ == cut_->syncs && writes_after_.back() >= cut_->writes) {
        off_ = true;
    }
    return !off_;
}

void power_loss::created(const fs::path& path) {
    images_.emplace_back();
    live_[path.lexically_normal()] = images_.size() - 1;
}

void power_loss::renamed(const fs::path& from, const fs::path& to) {
    const auto moved = live_.find(from.lexically_normal());
    if (moved == live_.end()) return created(to);
    const std::size_t image = moved->second;
    live_.erase(moved);
    live_[to.lexically_normal()] = image;
}

void power_loss::removed(const fs::path& path) {
    live_.erase(path.lexically_normal());
}

void power_loss::synced(const fs::path& path) {
    const auto file = live_.find(path.lexically_normal());
    if (file != live_.end()) images_[file->second] = read_whole(path);
    ++syncs_;
    writes_after_.push_back(0);
}

void power_loss::synced_folder(const fs::path& folder, bool counted) {
    fs::path named = folder.lexically_normal();
    if (!named.has_filename()) named = named.parent_path();  // a trailing separator
    std::erase_if(durable_, [&](const auto& name) { return name.first.parent_path() == named; });
    for (const auto& [path, image] : live_) {
        if (path.parent_path() == named) durable_[path] = image;
    }
    if (!counted) return;
    ++syncs_;
    writes_after_.push_back(0);
}

}  // namespace tuv::test
