#include "export/export_engine.h"

#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/base/vault_path.h"
#include "core/db/read_snapshot.h"
#include "core/storage/version_reader.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "export/file_writer.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

// Versions up to this size are read into memory and written by the file
// writer; larger ones are streamed by checkout() on the export's thread.
constexpr std::size_t small_version = 1 << 20;

// Stops reading a version that turns out larger than its entry said.
struct larger_than_small {};

std::string format_moment(const std::tm& moment, const char* format) {
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &moment);
    return std::string(buffer, length);
}

// A vault name becomes one local path component. A name that would climb out
// of its folder or name another one must not: the vault only forbids its own
// separator in names, so "..", "a/b" or "/etc" can be stored there. On
// Windows a name that is not UTF-8 (from a vault filled elsewhere) has no
// local form either.
fs::path local_name(const std::string& vault_path, const std::string& name) {
    const auto refuse = [&] {
        return tuv_error("Cannot export " + vault_path + ": \"" + name +
                         "\" cannot be a local file name");
    };
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
        throw refuse();
    }
    try {
        return path_from_utf8(name);
    } catch (const fs::filesystem_error&) {
        throw refuse();
    }
}

// Creates the folder and every folder above it. A failure is left for the
// checkout that needs the folder to report, with the path it could not open.
void make_directories(const fs::path& path) {
    if (path.empty()) return;
    std::error_code ignored;
    fs::create_directories(path, ignored);
}

}  // namespace

std::string versioned_name(const std::string& name, const std::tm& moment) {
    const std::string suffix = format_moment(moment, "_%Y-%m-%d %H-%M-%S");
    // Leading dots belong to the name (".profile" has no extension).
    const std::size_t stem = name.find_first_not_of('.');
    const std::size_t dot = stem == std::string::npos ? stem : name.find('.', stem);
    if (dot == std::string::npos) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

export_engine::export_engine(repository& repo, std::string source, fs::path destination_root,
                             version_mode mode, entry_filter filter, std::ostream& progress,
                             std::ostream& problems)
    : repo_(repo),
      source_(std::move(source)),
      destination_root_(std::move(destination_root)),
      log_path_(destination_root_ / export_log_name),
      version_mode_(mode),
      entry_filter_(filter),
      progress_(progress),
      problems_(problems) {
    // When the root does not exist yet this fails; write_log() tries again
    // once the export has made the folders.
    open_log();
}

export_engine::~export_engine() = default;

void export_engine::run() {
    // The reader outlives the writer, which reads through it.
    std::unique_ptr<version_reader> small_reader;
    std::unique_ptr<file_writer> writer;
    if (version_mode_ == version_mode::latest) {
        small_reader = std::make_unique<version_reader>(repo_.storage());
        small_reader_ = small_reader.get();
        writer = std::make_unique<file_writer>(repo_.files());
        writer_ = writer.get();
    }
    struct detach {
        export_engine& engine;
        ~detach() {
            engine.writer_ = nullptr;
            engine.small_reader_ = nullptr;
            engine.own_.reset();
        }
    } detached{*this};
    std::unique_ptr<file_entry> entry;
    std::string path;
    try {
        entry = repo_.catalogue().resolve(source_);
        // Local paths follow the entry's own path, whatever form named it.
        path = entry->full_path();
    } catch (const file_not_found_exception& error) {
        // Said on the error stream too: with no log line of its own before,
        // a user may look there first.
        problems_ << with_control_pictures(error.what()) << "\n";
        log_error(error);
        return;
    } catch (const tuv_error& error) {
        log_error(error);
        return;
    }
    try {
        const fs::path local = local_path_of(path);
        if (entry->is_directory()) {
            make_directories(local);
            export_tree(*entry, path, local, entry_filter_);
        } else {
            // A file named as a source is exported whatever the filter says.
            make_directories(local.parent_path());
            export_file(*entry, path, local);
        }
    } catch (const tuv_error& error) {
        log_error(error);
    }
    settle();
}

void export_engine::export_tree(const file_entry& directory_entry, const std::string& directory,
                                const fs::path& local, entry_filter filter) {
    std::vector<std::unique_ptr<file_entry>> entries;
    try {
        repo_.catalogue().list_directory(directory_entry, entries);
    } catch (const tuv_error& error) {
        log_error(error);
        return;
    }
    const auto wants = [filter](entry_filter kind) {
        return (static_cast<int>(filter) & static_cast<int>(kind)) != 0;
    };
    // The small files' blocks are read many files a statement, ahead of
    // their files.
    latest_blocks ahead;
    std::size_t read_up_to = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::unique_ptr<file_entry>& entry = entries[i];
        if (i >= read_up_to && wants(entry_filter::files))
            read_up_to = read_ahead(entries, i, ahead);
        // One file's failure must not cost the files after it.
        try {
            const std::string path =
                join_vault_path(directory, entry->name(), repo_.path_separator());
            if (entry->is_directory()) {
                // Below the given directory everything goes: the filter
                // chooses only among its direct entries.
                if (wants(entry_filter::directories)) {
                    const fs::path sub = local / local_name(path, entry->name());
                    make_directories(sub);
                    export_tree(*entry, path, sub, entry_filter::both);
                }
            } else if (wants(entry_filter::files)) {
                export_file(*entry, path, local / local_name(path, entry->name()), &ahead);
            }
        } catch (const tuv_error& error) {
            log_error(error);
        }
        entry.reset();
    }
}

std::size_t export_engine::read_ahead(const std::vector<std::unique_ptr<file_entry>>& entries,
                                      std::size_t first, latest_blocks& ahead) {
    if (version_mode_ != version_mode::latest || writer_ == nullptr) return entries.size();
    std::vector<std::int64_t> small;
    std::size_t i = first;
    for (; i < entries.size() && small.size() < 64; ++i) {
        if (!entries[i]->is_directory() && entries[i]->size() <= small_version) {
            small.push_back(entries[i]->file_id());
        }
    }
    try {
        ahead.fetch(repo_.storage(), small);
    } catch (const tuv_error&) {
        // Reading ahead only saves statements: each file read by itself
        // reports what is wrong.
    }
    return i;
}

void export_engine::export_file(file_entry& entry, const std::string& path, const fs::path& local,
                                latest_blocks* ahead) {
    // The latest version is read by one statement, which sees one snapshot
    // of the vault by itself.
    if (version_mode_ == version_mode::latest) {
        export_latest(entry, path, local, ahead);
        return;
    }
    // One snapshot per file: the version looked up is the one read, though a
    // check-in commits meanwhile, and the database's lock is taken once for
    // the file's queries, not once per query. It is held no longer than
    // reading the version holds it anyway.
    const read_snapshot snapshot(repo_.database());
    // checkout() writes beside `local` and renames only a complete version,
    // so a failure leaves an existing local file as it was.
    switch (version_mode_) {
        case version_mode::latest:  // exported above
            break;
        case version_mode::oldest:
            checkout(repo_, entry, local, repo_.first_version_date(entry.file_id()),
                     checkout_sync::unsynced, &own());
            break;
        case version_mode::all:
            export_versions(entry, path, local);
            break;
    }
}

void export_engine::export_latest(file_entry& entry, const std::string& path, const fs::path& local,
                                  latest_blocks* ahead) {
    // The checks come first, as in checkout(): what they refuse is not read.
    fs::path target = checkout_target(repo_, entry, local, &own());
    if (writer_ != nullptr && entry.size() <= small_version) {
        // Blocks read ahead need no statement: they are decoded by whichever
        // thread has time, the writer's or this one.
        std::optional<std::vector<block_row>> blocks;
        if (ahead != nullptr) blocks = ahead->take(entry.file_id());
        std::uint64_t size = 0;
        if (blocks) {
            for (const block_row& block : *blocks) size += block.size;
        }
        if (blocks && size <= small_version) {
            writer_->add(std::move(target), local, size,
                         [reader = small_reader_, id = entry.file_id(), blocks = std::move(*blocks),
                          size, path](std::vector<std::uint8_t>& bytes) {
                             bytes.reserve(size);
                             try {
                                 reader->read_blocks(
                                     id, blocks, [&](std::span<const std::uint8_t> piece) {
                                         bytes.insert(bytes.end(), piece.begin(), piece.end());
                                     });
                             } catch (const vault_damaged_error& damage) {
                                 throw damage.named(path);
                             }
                         });
            return;
        }
        std::vector<std::uint8_t> bytes;
        bytes.reserve(entry.size());
        std::exception_ptr failure;
        try {
            entry.read_latest(
                [&](std::span<const std::uint8_t> piece) {
                    if (bytes.size() + piece.size() > small_version) throw larger_than_small{};
                    bytes.insert(bytes.end(), piece.begin(), piece.end());
                },
                ahead);
            writer_->add(std::move(target), local, std::move(bytes), nullptr);
            return;
        } catch (const larger_than_small&) {
            // Streamed below instead.
        } catch (const tuv_error&) {
            failure = std::current_exception();
        }
        if (failure) {
            writer_->add(std::move(target), local, {}, failure);
            return;
        }
    }
    // As checkout() writes it: beside `local`, renamed only once complete.
    replacement_file out(repo_.files(), std::move(target), local);
    entry.read_latest([&](std::span<const std::uint8_t> piece) { out.write(piece); });
    out.commit(checkout_sync::unsynced);
}

void export_engine::export_versions(file_entry& entry, const std::string& path,
                                    const fs::path& local) {
    std::vector<std::tm> moments;
    repo_.journal().get_change_range(entry.file_id(), 0, 0, LEVEL_ALL, 0, moments);
    const std::string name = utf8_of(local.filename());
    for (const std::tm& moment : moments) {
        const std::string time_text = format_moment(moment, date_format);
        const fs::path versioned =
            local.parent_path() / path_from_utf8(versioned_name(name, moment));
        progress_ << "date" << time_text << '\n'
                  << "file" << with_control_pictures(utf8_of(versioned)) << '\n'
                  << std::flush;
        try {
            checkout(repo_, entry, versioned, date(time_text), checkout_sync::unsynced, &own());
        } catch (const file_not_found_exception& error) {
            log_error(error);
        } catch (const tuv_error& error) {
            log_version_error(error, path, time_text);
        }
    }
}

own_files& export_engine::own() {
    if (!own_) own_.emplace(repo_.storage());
    return *own_;
}

fs::path export_engine::local_path_of(const std::string& vault_path) const {
    const std::string& separator = repo_.path_separator();
    fs::path local = destination_root_;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = vault_path.find(separator, start);
        const std::size_t end = cut == std::string::npos ? vault_path.size() : cut;
        if (end > start) {
            local /= local_name(vault_path, vault_path.substr(start, end - start));
        }
        if (cut == std::string::npos) return local;
        start = cut + separator.size();
    }
}

void export_engine::settle() {
    if (writer_ == nullptr) return;
    writer_->settle([this](const std::exception_ptr& failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const tuv_error& error) {
            record_error(error);
        }
    });
}

void export_engine::log_error(const tuv_error& error) {
    settle();
    record_error(error);
}

void export_engine::record_error(const tuv_error& error) {
    ++failures_;
    if (const auto* missing = dynamic_cast<const file_not_found_exception*>(&error)) {
        write_log(
            {std::string("Exception: ") + error.what(), "Filename: " + missing->missing_path(),
             "Parent ID: " + std::to_string(static_cast<std::uint64_t>(missing->parent_inode()))});
        return;
    }
    write_log({std::string("Exception: ") + error.what()});
}

void export_engine::log_version_error(const tuv_error& error, const std::string& path,
                                      const std::string& time_text) {
    settle();
    ++failures_;
    write_log({std::string("Exception: ") + error.what() + ". FileName: " + path +
               ". check-in time: " + time_text});
}

void export_engine::open_log() {
    // Only a regular file, or nothing at all, takes the log: opening a FIFO
    // would stop the export for good, and a dangling link could make it
    // create a file anywhere. The lines go to the error stream instead.
    std::error_code ignored;
    if (fs::exists(fs::symlink_status(log_path_, ignored)) &&
        !fs::is_regular_file(fs::status(log_path_, ignored))) {
        return;
    }
    log_.clear();
    log_.open(log_path_, std::ios::out | std::ios::app);
}

void export_engine::write_log(std::initializer_list<std::string> lines) {
    // A name or a message may hold a line break: each line must stay one
    // line, so that the log can be read line by line.
    std::string text;
    for (const std::string& line : lines) text += with_control_pictures(line) + "\n";
    if (!log_.is_open()) {
        // A failure before the export made any folder (a source not in the
        // vault) makes the root, so that its log has a place.
        make_directories(destination_root_);
        open_log();
    }
    if (log_.is_open()) {
        // Flushed line by line: the log must hold what happened even if the
        // run is cut short.
        log_ << text << std::flush;
        if (log_) return;
    }
    problems_ << text << std::flush;
}

}  // namespace tuv
