#include "core/vault/verify.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/db/read_snapshot.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/disk_manager.h"
#include "core/storage/file_io.h"
#include "core/storage/vault_folder.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"

namespace tuv {
namespace {

std::string counted(std::uint64_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

struct catalogue_entry {
    std::int64_t parent;
    std::string name;
    bool directory;
};

// The catalogue in memory: the check names entries by path, and following
// parents row by row through the database would cost a query per step.
class catalogue {
  public:
    catalogue(db& database, std::string separator) : separator_(std::move(separator)) {
        auto rows =
            database.query("SELECT file_id, parent_id, path, mime_type FROM file_info"
                           " ORDER BY file_id");
        while (rows->next()) {
            const std::int64_t id = rows->get_int64(0);
            const std::int64_t parent = rows->get_int64(1);
            entries_.emplace(id, catalogue_entry{parent, rows->get_string(2),
                                                 rows->get_string(3) == directory_mime_type});
            order_.push_back(id);
            if (parent == 0 && !root_) root_ = id;
        }
    }

    const std::vector<std::int64_t>& ids() const { return order_; }
    const std::optional<std::int64_t>& root() const { return root_; }
    const catalogue_entry* find(std::int64_t id) const {
        const auto found = entries_.find(id);
        return found == entries_.end() ? nullptr : &found->second;
    }

    // Whether following the parents from `id` leads to the root; entries on
    // a cycle of parents are added to `cycle_members` when one is found.
    bool reachable(std::int64_t id, std::set<std::int64_t>& cycle_members) {
        enum { walking = 1, yes = 2, no = 3 };
        std::vector<std::int64_t> walk;
        int outcome = no;
        for (std::int64_t at = id;;) {
            const auto known = state_.find(at);
            if (known != state_.end()) {
                if (known->second == walking) {
                    cycle_members.insert(std::find(walk.begin(), walk.end(), at), walk.end());
                    outcome = no;
                } else {
                    outcome = known->second;
                }
                break;
            }
            if (root_ && at == *root_) {
                outcome = yes;
                walk.push_back(at);
                break;
            }
            const catalogue_entry* entry = find(at);
            if (entry == nullptr) break;
            state_[at] = walking;
            walk.push_back(at);
            at = entry->parent;
        }
        for (const std::int64_t step : walk) state_[step] = outcome;
        return outcome == yes;
    }

    // The full path of an entry that leads to the root; any other is named
    // by its id and name.
    std::string label(std::int64_t id) {
        std::set<std::int64_t> ignored;
        const catalogue_entry* entry = find(id);
        if (entry == nullptr) return "file id " + std::to_string(id);
        if (!reachable(id, ignored)) {
            return "entry " + std::to_string(id) + " '" + entry->name + "'";
        }
        if (root_ && id == *root_) return separator_;
        std::vector<const std::string*> names;
        for (std::int64_t at = id; !(root_ && at == *root_); at = find(at)->parent) {
            names.push_back(&find(at)->name);
        }
        std::string path;
        for (auto name = names.rbegin(); name != names.rend(); ++name) path += separator_ + **name;
        return path;
    }

  private:
    std::string separator_;
    std::unordered_map<std::int64_t, catalogue_entry> entries_;
    std::vector<std::int64_t> order_;
    std::optional<std::int64_t> root_;
    std::unordered_map<std::int64_t, int> state_;
};

struct block_row {
    std::int64_t block_id;
    std::int64_t chunk_id;
    std::uint64_t offset;
    std::optional<std::uint64_t> size;  // none: the chunk row is missing
    std::int64_t created;
    std::int64_t deleted;  // 0 while live
};

// A tiling problem, reported once per file with the first version it spoils.
struct tiling_fault {
    std::int64_t first_moment;
    std::uint64_t versions = 0;
};
enum class tiling_kind { gap, overlap, empty_inside };

std::string moment_text(std::int64_t seconds) {
    const std::string text = date(static_cast<std::time_t>(seconds)).to_text();
    return text.empty() ? std::to_string(seconds) + " s" : text;
}

// The chunks check_data reads back, hashed together (md5_many.h) once
// about a megabyte of them is in hand. Problems are reported in the chunks'
// order, as when each was checked on its own.
class data_batch {
  public:
    explicit data_batch(std::vector<std::pair<std::int64_t, std::string>>& problems)
        : problems_(problems) {}

    // Room for `size` bytes after the chunks added so far; valid until the
    // next call.
    std::uint8_t* room(std::uint64_t size) {
        if (bytes_.size() < used_ + size) bytes_.resize(used_ + size);
        return bytes_.data() + used_;
    }

    // The chunk whose `size` bytes were put at room(), to be checked against
    // `checksum`; `said` begins the line when they do not match.
    void add(std::int64_t chunk_id, std::uint64_t size, std::string checksum, std::string said) {
        entries_.push_back({chunk_id, used_, size, std::move(checksum), std::move(said), false});
        used_ += size;
        if (used_ >= flush_bytes) flush();
    }

    // A chunk found wrong before its bytes could be hashed.
    void add_problem(std::int64_t chunk_id, std::string text) {
        entries_.push_back({chunk_id, 0, 0, {}, std::move(text), true});
    }

    void flush() {
        std::vector<std::span<const std::uint8_t>> bytes;
        std::vector<std::string_view> checksums;
        for (const entry& e : entries_) {
            if (e.failed) continue;
            bytes.emplace_back(bytes_.data() + e.at, e.size);
            checksums.emplace_back(e.checksum);
        }
        const std::vector<bool> matches = matching_checksums(bytes, checksums);
        std::size_t checked = 0;
        for (entry& e : entries_) {
            if (e.failed) {
                problems_.emplace_back(e.chunk_id, std::move(e.text));
            } else if (!matches[checked++]) {
                problems_.emplace_back(e.chunk_id, e.text + checksum_mismatch);
            }
        }
        entries_.clear();
        used_ = 0;
    }

  private:
    static constexpr std::uint64_t flush_bytes = 1 << 20;
    struct entry {
        std::int64_t chunk_id;
        std::uint64_t at;
        std::uint64_t size;
        std::string checksum;
        std::string text;  // the problem, or what begins a mismatch's line
        bool failed;
    };
    std::vector<std::pair<std::int64_t, std::string>>& problems_;
    std::vector<entry> entries_;
    std::vector<std::uint8_t> bytes_;  // kept at its largest: no refill per batch
    std::uint64_t used_ = 0;
};

class checker {
  public:
    checker(repository& repo, const verify_options& options, verify_report& report)
        : repo_(repo),
          database_(repo.database()),
          options_(options),
          report_(report),
          catalogue_(database_, repo.path_separator()),
          stored_(stored_size_sql(repo.storage())) {}

    void run() {
        check_catalogue();
        check_journal();
        check_version_moments();
        check_containers();
        check_refcounts();
        check_blocks();
        if (options_.read_data) check_data();
        name_chunk_problems();

        auto& out = report_.problems;
        for (auto* part : {&catalogue_problems_, &journal_problems_, &block_problems_}) {
            out.insert(out.end(), part->begin(), part->end());
        }
        for (const auto& [chunk_id, text] : chunk_problems_) {
            out.push_back(chunk_label(chunk_id) + ": " + text);
        }
        for (auto* part : {&container_problems_, &version_problems_}) {
            out.insert(out.end(), part->begin(), part->end());
        }
        for (const auto& [chunk_id, text] : data_problems_) {
            out.push_back(chunk_label(chunk_id) + ": " + text);
        }
    }

  private:
    void check_catalogue() {
        const auto& root = catalogue_.root();
        if (!root) {
            catalogue_problems_.push_back("the catalogue has no root directory");
        } else if (!catalogue_.find(*root)->directory) {
            catalogue_problems_.push_back("the root (id " + std::to_string(*root) +
                                          ") is not a directory");
        }
        std::set<std::int64_t> cycle;
        for (const std::int64_t id : catalogue_.ids()) {
            const catalogue_entry& entry = *catalogue_.find(id);
            if (!entry.directory) ++report_.files;
            if (root && id == *root) continue;
            const catalogue_entry* parent = catalogue_.find(entry.parent);
            if (parent == nullptr) {
                catalogue_problems_.push_back(catalogue_.label(id) + ": its parent " +
                                              std::to_string(entry.parent) +
                                              " is not in the catalogue");
            } else if (!parent->directory) {
                catalogue_problems_.push_back(catalogue_.label(id) + ": its parent " +
                                              catalogue_.label(entry.parent) +
                                              " is not a directory");
            } else {
                catalogue_.reachable(id, cycle);
            }
        }
        // Only the entries of the cycle itself: their children are merely cut off.
        for (const std::int64_t id : cycle) {
            catalogue_problems_.push_back(catalogue_.label(id) + ": its parents form a cycle");
        }
    }

    void check_journal() {
        report_.versions = count_file_versions(database_);
        auto rows = database_.query(
            "SELECT file_id FROM file_info WHERE NOT EXISTS"
            " (SELECT 1 FROM journal WHERE journal.inode = file_info.file_id) ORDER BY file_id");
        while (rows->next()) {
            journal_problems_.push_back(catalogue_.label(rows->get_int64(0)) +
                                        ": no journal row");
        }
    }

    // Two versions of a file at one moment cannot both be read: the block
    // map tells them apart by moment alone.
    void check_version_moments() {
        auto rows = database_.query(
            "SELECT journal.inode, year, month, day, hour, minute, second, COUNT(*) FROM journal"
            " JOIN file_info ON file_info.file_id = journal.inode"
            " WHERE file_info.mime_type <> ?"
            " GROUP BY journal.inode, year, month, day, hour, minute, second HAVING COUNT(*) > 1"
            " ORDER BY journal.inode, year, month, day, hour, minute, second",
            {directory_mime_type});
        while (rows->next()) {
            const std::string moment =
                journal_moment_text(rows->get_int(1), rows->get_int(2), rows->get_int(3),
                                    rows->get_int(4), rows->get_int(5), rows->get_int(6));
            journal_problems_.push_back(catalogue_.label(rows->get_int64(0)) + ": " +
                                        std::to_string(rows->get_int64(7)) +
                                        " versions share the moment " + moment +
                                        "; only the last of them can be read");
        }
    }

    void check_containers() {
        struct extent {
            std::uint64_t end = 0;
            std::uint64_t chunks = 0;
            std::int64_t first_chunk = 0;
        };
        std::map<std::int64_t, extent> extents;
        {
            auto rows = database_.query(
                "SELECT disk_id, MAX(physical_offset + " + stored_ + "), COUNT(*), MIN(chunk_id)"
                " FROM chunk WHERE physical_offset >= 0 AND " + stored_ + " >= 0 GROUP BY disk_id");
            while (rows->next()) {
                extents[rows->get_int64(0)] = {static_cast<std::uint64_t>(rows->get_int64(1)),
                                               static_cast<std::uint64_t>(rows->get_int64(2)),
                                               rows->get_int64(3)};
            }
        }
        {
            auto rows = database_.query("SELECT chunk_id, physical_offset, " + stored_ +
                                        " FROM chunk WHERE physical_offset < 0 OR size < 0 OR " +
                                        stored_ + " < 0 ORDER BY chunk_id");
            while (rows->next()) {
                const std::int64_t id = rows->get_int64(0);
                chunk_problems_.emplace_back(
                    id, "impossible place in its container: offset " +
                            std::to_string(rows->get_int64(1)) + ", size " +
                            std::to_string(rows->get_int64(2)));
                bad_chunks_.insert(id);
            }
        }
        report_.chunks = count("SELECT COUNT(*) FROM chunk");

        auto rows = database_.query("SELECT disk_id, path FROM disk_info ORDER BY disk_id");
        while (rows->next()) {
            ++report_.containers;
            const std::int64_t disk_id = rows->get_int64(0);
            const std::filesystem::path path = local_path(repo_.folder(), rows->get_string(1));
            const auto used = extents.find(disk_id);
            const std::uint64_t reach = used == extents.end() ? 0 : used->second.end;
            if (used != extents.end()) extents.erase(used);
            try {
                const std::uint64_t length = repo_.containers().open(path, open_mode::read)->size();
                container_lengths_[disk_id] = {path, length};
                if (length < reach) {
                    container_problems_.push_back(
                        short_container_text(disk_id, path, length, reach));
                }
            } catch (const io_error& e) {
                container_problems_.push_back("container " + std::to_string(disk_id) + ": " +
                                              e.what());
            }
        }
        // What is left lies in containers that disk_info does not know.
        for (const auto& [disk_id, used] : extents) {
            chunk_problems_.emplace_back(
                used.first_chunk,
                "its container " + std::to_string(disk_id) + " is not registered" +
                    (used.chunks > 1 ? " (" + counted(used.chunks - 1, "more chunk lies",
                                                      "more chunks lie") +
                                           " in it)"
                                     : std::string()));
        }
    }

    void check_refcounts() {
        // The usage counts come from one grouped pass over the block map:
        // it has no index by chunk.
        auto rows = database_.query(
            "SELECT chunk.chunk_id, chunk.refcount, COALESCE(used.n, 0) FROM chunk"
            " LEFT JOIN (SELECT chunk_id, COUNT(*) AS n FROM bmap GROUP BY chunk_id) AS used"
            " ON used.chunk_id = chunk.chunk_id"
            " WHERE chunk.refcount <> 1 + COALESCE(used.n, 0) ORDER BY chunk.chunk_id");
        while (rows->next()) {
            const std::int64_t blocks = rows->get_int64(2);
            chunk_problems_.emplace_back(
                rows->get_int64(0), "refcount " + std::to_string(rows->get_int64(1)) + ", but " +
                                        counted(static_cast<std::uint64_t>(blocks), "block uses",
                                                "blocks use") +
                                        " it (expected " + std::to_string(1 + blocks) + ")");
        }
    }

    // One pass over the block map in file order: blocks without their
    // chunk or their entry, and the tiling of every version.
    void check_blocks() {
        auto rows = database_.query(
            "SELECT bmap.file_id, bmap.block_id, bmap.chunk_id, bmap.virtual_offset,"
            " chunk.size, bmap.creation_date, bmap.deletion_date"
            " FROM bmap LEFT JOIN chunk ON chunk.chunk_id = bmap.chunk_id"
            " ORDER BY bmap.file_id, bmap.virtual_offset, bmap.block_id");
        std::map<std::int64_t, std::pair<std::uint64_t, std::string>> missing_chunks;
        std::optional<std::int64_t> file;
        std::vector<block_row> blocks;
        const auto finish_file = [&] {
            if (file) check_file(*file, blocks, missing_chunks);
            blocks.clear();
        };
        while (rows->next()) {
            const std::int64_t file_id = rows->get_int64(0);
            if (file != file_id) {
                finish_file();
                file = file_id;
            }
            block_row b{rows->get_int64(1),
                        rows->get_int64(2),
                        static_cast<std::uint64_t>(rows->get_int64(3)),
                        std::nullopt,
                        rows->get_int64(5),
                        rows->get_int64(6)};
            if (!rows->is_null("size")) b.size = static_cast<std::uint64_t>(rows->get_int64(4));
            blocks.push_back(b);
        }
        finish_file();
        for (const auto& [chunk_id, use] : missing_chunks) {
            block_problems_.push_back(
                "chunk " + std::to_string(chunk_id) + " is missing; " +
                (use.first == 1 ? "the block " + use.second + " uses it"
                                : std::to_string(use.first) + " blocks use it, the first " +
                                      use.second));
        }
    }

    void check_file(std::int64_t file_id, const std::vector<block_row>& blocks,
                    std::map<std::int64_t, std::pair<std::uint64_t, std::string>>& missing) {
        const bool known = catalogue_.find(file_id) != nullptr;
        if (!known) {
            block_problems_.push_back("file id " + std::to_string(file_id) +
                                      " is not in the catalogue, yet " +
                                      counted(blocks.size(), "block belongs", "blocks belong") +
                                      " to it");
        }
        bool complete = true;
        for (const block_row& b : blocks) {
            if (bad_chunks_.contains(b.chunk_id)) complete = false;
            if (b.size) continue;
            complete = false;
            auto& use = missing[b.chunk_id];
            if (use.first++ == 0) {
                use.second = "of " + catalogue_.label(file_id) + " at offset " +
                             std::to_string(b.offset);
            }
        }
        // Without its entry the file cannot be named; without a chunk's true
        // size its tiling cannot be judged. Both are reported already.
        if (!known || !complete) return;
        check_closing_order(file_id, blocks);

        std::vector<std::int64_t> moments;
        for (const block_row& b : blocks) moments.push_back(b.created);
        std::sort(moments.begin(), moments.end());
        moments.erase(std::unique(moments.begin(), moments.end()), moments.end());

        // A sweep through the moments, keeping the blocks live at each one in
        // offset order (ties by block id, as the rows come).
        std::vector<std::size_t> by_creation(blocks.size()), by_deletion;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            by_creation[i] = i;
            if (blocks[i].deleted != 0) by_deletion.push_back(i);
        }
        std::stable_sort(by_creation.begin(), by_creation.end(),
                         [&](auto a, auto b) { return blocks[a].created < blocks[b].created; });
        std::stable_sort(by_deletion.begin(), by_deletion.end(),
                         [&](auto a, auto b) { return blocks[a].deleted < blocks[b].deleted; });
        std::set<std::size_t> live;  // indexes, which follow the offset order
        std::size_t next_created = 0, next_deleted = 0;
        std::map<std::pair<tiling_kind, std::uint64_t>, tiling_fault> faults;
        const auto fault = [&](tiling_kind kind, std::uint64_t offset, std::int64_t moment) {
            auto [at, fresh] = faults.try_emplace({kind, offset}, tiling_fault{moment});
            ++at->second.versions;
        };
        for (const std::int64_t moment : moments) {
            for (; next_created < by_creation.size() &&
                   blocks[by_creation[next_created]].created <= moment;
                 ++next_created) {
                const block_row& b = blocks[by_creation[next_created]];
                // Closed before it was made (a back-dated check-in): never live.
                if (b.deleted != 0 && b.deleted <= moment) continue;
                live.insert(by_creation[next_created]);
            }
            for (; next_deleted < by_deletion.size() &&
                   blocks[by_deletion[next_deleted]].deleted <= moment;
                 ++next_deleted) {
                live.erase(by_deletion[next_deleted]);
            }
            if (live.empty()) continue;
            std::uint64_t expected = 0;
            std::size_t seen = 0;
            for (const std::size_t i : live) {
                const block_row& b = blocks[i];
                ++seen;
                if (b.offset > expected) {
                    fault(tiling_kind::gap, expected, moment);
                } else if (b.offset < expected) {
                    fault(tiling_kind::overlap, b.offset, moment);
                } else if (*b.size == 0 && seen < live.size()) {
                    fault(tiling_kind::empty_inside, b.offset, moment);
                }
                expected = std::max(expected, b.offset + *b.size);
            }
        }
        for (const auto& [what, seen] : faults) {
            const auto& [kind, offset] = what;
            std::string text = catalogue_.label(file_id) + ", version of " +
                               moment_text(seen.first_moment) + ": ";
            const std::string at = std::to_string(offset);
            switch (kind) {
                case tiling_kind::gap: text += "no block begins at offset " + at; break;
                case tiling_kind::overlap:
                    text += "the block at offset " + at + " overlaps the one before it";
                    break;
                case tiling_kind::empty_inside:
                    text += "an empty block at offset " + at + " is not the last";
                    break;
            }
            if (seen.versions > 1) {
                text += " (and in " + counted(seen.versions - 1, "later version", "later versions") +
                        ")";
            }
            version_problems_.push_back(text);
        }
    }

    // A block closed at or before the moment it was made was never part of
    // any version: the version it was written for is lost (older builds let
    // a check-in date a version at or before the file's latest one).
    void check_closing_order(std::int64_t file_id, const std::vector<block_row>& blocks) {
        const block_row* first = nullptr;
        std::uint64_t count = 0;
        for (const block_row& b : blocks) {
            if (b.deleted == 0 || b.deleted > b.created) continue;
            if (first == nullptr) first = &b;
            ++count;
        }
        if (first == nullptr) return;
        std::string text = catalogue_.label(file_id) + ": the block at offset " +
                           std::to_string(first->offset) + ", made at " +
                           moment_text(first->created) + ", was closed at " +
                           moment_text(first->deleted) + ", so no version holds it";
        if (count > 1) text += " (" + counted(count - 1, "more block", "more blocks") + " too)";
        block_problems_.push_back(text + "; a version was lost");
    }

    void check_data() {
        auto rows = database_.query("SELECT chunk_id, disk_id, physical_offset, size, checksum, " +
                                    stored_ + " AS stored_size, " + codec_sql(repo_.storage()) +
                                    " AS codec, " + frame_offset_sql(repo_.storage()) +
                                    " AS frame_offset FROM chunk"
                                    " ORDER BY disk_id, physical_offset, frame_offset");
        std::optional<std::int64_t> open_disk;
        std::unique_ptr<file_handle> container;
        std::vector<std::uint8_t> stored;
        data_batch batch(data_problems_);
        // The chunks of a shared frame come one after the other: the frame
        // is read and decoded once for all of them.
        chunk_decoder decoder;
        bool frame_read = false;  // `stored` holds the frame at frame_read_at
        std::uint64_t frame_read_at = 0;
        std::uint64_t frame_read_size = 0;
        while (rows->next()) {
            const std::int64_t chunk_id = rows->get_int64(0);
            const std::int64_t disk_id = rows->get_int64(1);
            if (bad_chunks_.contains(chunk_id)) continue;
            const auto known = container_lengths_.find(disk_id);
            // Unregistered, missing or unreadable containers are reported already.
            if (known == container_lengths_.end()) continue;
            const auto& [path, length] = known->second;
            const auto offset = static_cast<std::uint64_t>(rows->get_int64(2));
            const auto size = static_cast<std::uint64_t>(rows->get_int64(3));
            const auto stored_size = static_cast<std::uint64_t>(rows->get_int64(5));
            std::optional<std::int64_t> codec;
            if (!rows->is_null("codec")) codec = rows->get_int64(6);
            std::optional<std::uint64_t> frame_offset;
            if (!rows->is_null("frame_offset")) {
                frame_offset = static_cast<std::uint64_t>(rows->get_int64(7));
            }
            const bool shared = codec == static_cast<std::int64_t>(chunk_codec::shared_frame);
            // Chunks past a short container's end are covered by its line.
            if (offset > length || stored_size > length - offset) continue;
            const std::string where =
                "container " + std::to_string(disk_id) + " (" + utf8_of(path) + ")";
            try {
                if (open_disk != disk_id) {
                    container.reset();
                    open_disk = disk_id;
                    container = repo_.containers().open(path, open_mode::read);
                    decoder.forget();
                    frame_read = false;
                }
                // A raw chunk is read straight into the batch, a compressed
                // one decoded into it.
                std::uint8_t* into = batch.room(codec ? size : stored_size);
                std::uint8_t* read_to = into;
                if (codec) {
                    stored.resize(stored_size);
                    read_to = stored.data();
                }
                const bool read_already = shared && frame_read && frame_read_at == offset &&
                                          frame_read_size == stored_size;
                const std::size_t got =
                    read_already ? stored_size : container->read_at(offset, read_to, stored_size);
                frame_read = shared && got == stored_size;
                frame_read_at = offset;
                frame_read_size = stored_size;
                if (got < stored_size) {
                    batch.add_problem(chunk_id, where + " ends before the chunk's " +
                                                    std::to_string(stored_size) + " bytes at " +
                                                    std::to_string(offset));
                    continue;
                }
                const std::string said =
                    "the bytes in " + where + " at " + std::to_string(offset) + " ";
                // A shared frame holds no more than shared_frame_limit bytes.
                const auto problem =
                    decoder.decode(container.get(), offset, std::span(read_to, stored_size), codec,
                                   size, frame_offset, shared_frame_limit, into);
                if (problem) {
                    batch.add_problem(chunk_id, said + *problem);
                } else {
                    batch.add(chunk_id, size, rows->get_string(4), said);
                }
            } catch (const io_error& e) {
                batch.add_problem(chunk_id, e.what());
            }
        }
        batch.flush();
    }

    // Chunks are named by the first block that uses them, found in one pass
    // over the block map, and only when there is something to report.
    void name_chunk_problems() {
        std::set<std::int64_t> wanted;
        for (const auto& [id, text] : chunk_problems_) wanted.insert(id);
        for (const auto& [id, text] : data_problems_) wanted.insert(id);
        if (wanted.empty()) return;
        auto rows = database_.query(
            "SELECT chunk_id, file_id, virtual_offset FROM bmap"
            " ORDER BY file_id, virtual_offset, block_id");
        while (rows->next() && !wanted.empty()) {
            const std::int64_t chunk_id = rows->get_int64(0);
            if (wanted.erase(chunk_id) == 0) continue;
            chunk_users_[chunk_id] = catalogue_.label(rows->get_int64(1)) + ", offset " +
                                     std::to_string(rows->get_int64(2));
        }
    }

    std::string chunk_label(std::int64_t chunk_id) const {
        const auto user = chunk_users_.find(chunk_id);
        return "chunk " + std::to_string(chunk_id) + " (" +
               (user == chunk_users_.end() ? std::string("unused") : user->second) + ")";
    }

    std::uint64_t count(const std::string& sql) {
        auto row = database_.query(sql);
        return row->next() ? static_cast<std::uint64_t>(row->get_int64(0)) : 0;
    }

    repository& repo_;
    db& database_;
    const verify_options& options_;
    verify_report& report_;
    catalogue catalogue_;
    const std::string stored_;  // SQL for a chunk's length in its container

    std::vector<std::string> catalogue_problems_, journal_problems_, block_problems_,
        container_problems_, version_problems_;
    std::vector<std::pair<std::int64_t, std::string>> chunk_problems_, data_problems_;
    std::set<std::int64_t> bad_chunks_;
    std::map<std::int64_t, std::pair<std::filesystem::path, std::uint64_t>> container_lengths_;
    std::map<std::int64_t, std::string> chunk_users_;
};

}  // namespace

std::string verify_report::summary() const {
    return counted(files, "file", "files") + ", " + counted(versions, "version", "versions") +
           ", " + counted(chunks, "chunk", "chunks") + ", " +
           counted(containers, "container", "containers") + " checked: " +
           (problems.empty() ? std::string("no problems")
                             : counted(problems.size(), "problem", "problems"));
}

verify_report verify_vault(repository& repo, const verify_options& options) {
    verify_report report;
    const read_snapshot snapshot(repo.database());
    checker(repo, options, report).run();
    // A vault on a server has no folder of its own to copy.
    if (!repo.folder().empty()) report.warnings = outside_folder_warnings(repo.storage());
    return report;
}

}  // namespace tuv
