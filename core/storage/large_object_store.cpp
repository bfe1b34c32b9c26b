#include "core/storage/large_object_store.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <map>
#include <string>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"

namespace tuv {
namespace {

// lo_open's modes (INV_READ, INV_READ | INV_WRITE).
constexpr const char* open_for_reading = "262144";
constexpr const char* open_for_writing = "393216";
// lo_get and lo_put take lengths of 32 bits; a longer read goes in parts.
constexpr std::size_t largest_part = std::size_t{64} << 20;

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path,
                       const std::exception& reason) {
    throw io_error("Cannot " + what + " " + utf8_of(path) + ": " + reason.what());
}

// Reads up to `size` bytes at `offset` into `out`, fewer at the end of
// the object.
std::size_t read_parts(db& database, std::int64_t object, std::uint64_t offset, char* out,
                       std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t part = std::min(size - done, largest_part);
        auto row = database.query(
            "SELECT lo_get(?, ?, ?)",
            {object, static_cast<std::int64_t>(offset + done), static_cast<std::int64_t>(part)});
        row->next();
        const std::string bytes = row->get_string(0);
        std::memcpy(out + done, bytes.data(), bytes.size());
        done += bytes.size();
        if (bytes.size() < part) break;  // the end of the container
    }
    return done;
}

std::optional<std::int64_t> find_object(db& database, const std::filesystem::path& path) {
    auto row =
        database.query("SELECT object_id FROM container_object WHERE path = ?", {utf8_of(path)});
    if (!row->next()) return std::nullopt;
    return row->get_int64(0);
}

}  // namespace

struct large_object_store::reading {
    std::mutex turn;
    std::unique_ptr<db> connection;
    // The connection while it is being opened ahead.
    std::future<std::unique_ptr<db>> opening;
    // Containers by path: a committed container keeps its object.
    std::map<std::filesystem::path, std::int64_t> objects;

    // Container bytes in aligned blocks, the most recently used kept. A
    // restore reads frames of a few KiB each, from a few regions of a
    // container at a time (each version's new chunks lie together): one
    // statement a frame would cost a round trip each. Committed container
    // bytes never change (space is only ever added), so a block stays true;
    // one that ended short (the end of the container then) serves only
    // what it holds.
    static constexpr std::size_t block_size = std::size_t{64} << 10;
    static constexpr std::size_t most_blocks = 64;
    struct block {
        std::string bytes;
        std::uint64_t last_use = 0;
    };
    std::map<std::pair<std::int64_t, std::uint64_t>, block> blocks;  // by object and index
    std::uint64_t uses = 0;

    std::size_t read(std::int64_t object, std::uint64_t offset, char* out, std::size_t size);
};

namespace {

class large_object_file : public file_handle {
  public:
    // Reads and writes through `writer`, or, when null, reads through
    // `reader` one at a time.
    large_object_file(db* writer, large_object_store::reading* reader, std::int64_t object,
                      std::filesystem::path path)
        : writer_(writer), reader_(reader), object_(object), path_(std::move(path)) {}

    std::size_t read_at(std::uint64_t offset, void* data, std::size_t size) override {
        auto* out = static_cast<char*>(data);
        try {
            if (writer_ == nullptr) return reader_->read(object_, offset, out, size);
            return read_parts(*writer_, object_, offset, out, size);
        } catch (const db_exception& e) {
            fail("read", path_, e);
        }
    }

    void write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        try {
            for (std::size_t done = 0; done < size;) {
                const std::size_t part = std::min(size - done, largest_part);
                writing().query("SELECT lo_put(?, ?, ?)",
                                {object_, static_cast<std::int64_t>(offset + done),
                                 db_param::blob(in + done, part)});
                done += part;
            }
        } catch (const db_exception& e) {
            fail("write", path_, e);
        }
    }

    // The writer's commit makes the bytes durable.
    void sync() override {}

    void truncate(std::uint64_t size) override {
        try {
            writing().query(std::string("SELECT lo_truncate64(fd, ?), lo_close(fd) FROM (SELECT "
                                        "lo_open(?, ") +
                                open_for_writing + ") AS fd) AS opened",
                            {static_cast<std::int64_t>(size), object_});
        } catch (const db_exception& e) {
            fail("truncate", path_, e);
        }
    }

    std::uint64_t size() override {
        const std::string sql =
            std::string("SELECT lo_lseek64(fd, 0, 2), lo_close(fd) FROM (SELECT lo_open(?, ") +
            (writer_ != nullptr ? open_for_writing : open_for_reading) + ") AS fd) AS opened";
        try {
            if (writer_ != nullptr) return length(*writer_, sql);
            const std::lock_guard lock(reader_->turn);
            return length(*reader_->connection, sql);
        } catch (const db_exception& e) {
            fail("read the size of", path_, e);
        }
    }

    const std::filesystem::path& path() const override { return path_; }

  private:
    db& writing() {
        if (writer_ == nullptr) {
            throw io_error("Cannot write " + utf8_of(path_) + ": it was opened for reading");
        }
        return *writer_;
    }

    std::uint64_t length(db& database, const std::string& sql) {
        auto row = database.query(sql, {object_});
        row->next();
        return static_cast<std::uint64_t>(row->get_int64(0));
    }

    db* writer_;
    large_object_store::reading* reader_;
    std::int64_t object_;
    std::filesystem::path path_;
};

}  // namespace

std::size_t large_object_store::reading::read(std::int64_t object, std::uint64_t offset, char* out,
                                              std::size_t size) {
    const std::lock_guard lock(turn);
    if (size == 0) return 0;
    if (size > most_blocks / 2 * block_size)
        return read_parts(*connection, object, offset, out, size);
    const std::uint64_t first = offset / block_size;
    const std::uint64_t last = (offset + size - 1) / block_size;
    // What the read needs of block `b`, past its start.
    const auto needs = [&](std::uint64_t b) {
        return std::min<std::uint64_t>(offset + size - b * block_size, block_size);
    };
    const auto missing = [&](std::uint64_t b) {
        const auto found = blocks.find({object, b});
        return found == blocks.end() || found->second.bytes.size() < needs(b);
    };
    std::uint64_t from = first;
    while (from <= last && !missing(from)) ++from;
    if (from <= last) {
        std::uint64_t to = last;
        while (!missing(to)) --to;
        std::string bytes(static_cast<std::size_t>(to - from + 1) * block_size, '\0');
        const std::size_t got =
            read_parts(*connection, object, from * block_size, bytes.data(), bytes.size());
        for (std::uint64_t b = from; b <= to; ++b) {
            const std::size_t at = static_cast<std::size_t>(b - from) * block_size;
            blocks[{object, b}].bytes =
                bytes.substr(std::min(at, got), got > at ? std::min(got - at, block_size) : 0);
        }
    }
    std::size_t done = 0;
    for (std::uint64_t b = first; b <= last; ++b) {
        block& cached = blocks.at({object, b});
        cached.last_use = ++uses;
        const std::uint64_t start = b == first ? offset - b * block_size : 0;
        if (cached.bytes.size() <= start) break;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(cached.bytes.size() - start, size - done));
        std::memcpy(out + done, cached.bytes.data() + start, n);
        done += n;
        if (cached.bytes.size() < block_size) break;  // the end of the container
    }
    while (blocks.size() > most_blocks) {
        blocks.erase(std::ranges::min_element(
            blocks, {}, [](const auto& entry) { return entry.second.last_use; }));
    }
    return done;
}

large_object_store::large_object_store(db& database, bool reads_soon)
    : writer_(database), reading_(std::make_unique<reading>()) {
    // clone() reads only what opening the writer set, so it may run beside
    // the writer's statements. A failure shows at the first read, as it
    // would have without opening ahead.
    if (reads_soon) {
        reading_->opening =
            std::async(std::launch::async, [&database] { return database.clone(); });
    }
}

large_object_store::~large_object_store() = default;

void large_object_store::create_schema(db& database) {
    database.execute(
        "CREATE TABLE container_object(path TEXT PRIMARY KEY, object_id INTEGER NOT NULL)");
}

std::unique_ptr<file_handle> large_object_store::open(const std::filesystem::path& path,
                                                      open_mode mode) {
    try {
        if (mode == open_mode::read) {
            const std::lock_guard lock(reading_->turn);
            if (!reading_->connection) {
                reading_->connection =
                    reading_->opening.valid() ? reading_->opening.get() : writer_.clone();
            }
            auto known = reading_->objects.find(path);
            if (known == reading_->objects.end()) {
                const std::optional<std::int64_t> object = find_object(*reading_->connection, path);
                if (!object) {
                    throw io_error("Cannot open " + utf8_of(path) + ": it does not exist");
                }
                known = reading_->objects.emplace(path, *object).first;
            }
            return std::make_unique<large_object_file>(nullptr, reading_.get(), known->second,
                                                       path);
        }
        std::optional<std::int64_t> object = find_object(writer_, path);
        if (object && mode == open_mode::create_new) {
            throw io_error("Cannot create " + utf8_of(path) + ": it exists already");
        }
        if (!object) {
            auto made = writer_.query("SELECT lo_create(0)");
            made->next();
            object = made->get_int64(0);
            made.reset();
            writer_.execute("INSERT INTO container_object(path, object_id) VALUES(?, ?)",
                            {utf8_of(path), *object});
            // Large objects belong to the role that made them: every role
            // that may use the vault's tables may use its containers too.
            writer_.execute("GRANT SELECT, UPDATE ON LARGE OBJECT " + std::to_string(*object) +
                            " TO PUBLIC");
        }
        return std::make_unique<large_object_file>(&writer_, nullptr, *object, path);
    } catch (const db_exception& e) {
        fail("open", path, e);
    }
}

void large_object_store::remove(const std::filesystem::path& path) {
    try {
        writer_.query(
            "SELECT lo_unlink(CAST(object_id AS oid)) FROM container_object WHERE path = ?",
            {utf8_of(path)});
        writer_.execute("DELETE FROM container_object WHERE path = ?", {utf8_of(path)});
    } catch (const db_exception& e) {
        fail("remove", path, e);
    }
}

path_status large_object_store::status(const std::filesystem::path& path) {
    try {
        const bool exists = find_object(writer_, path).has_value();
        return {exists ? path_kind::regular : path_kind::missing, path, {}};
    } catch (const db_exception& e) {
        fail("examine", path, e);
    }
}

void large_object_store::rename(const std::filesystem::path& from, const std::filesystem::path&) {
    throw io_error("Cannot rename " + utf8_of(from) + ": a container is never renamed");
}

}  // namespace tuv
