#include "core/storage/large_object_store.h"

#include <algorithm>
#include <cstring>
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
        std::size_t done = 0;
        while (done < size) {
            const std::size_t part = std::min(size - done, largest_part);
            const std::string bytes = read_part(offset + done, static_cast<std::int64_t>(part));
            std::memcpy(out + done, bytes.data(), bytes.size());
            done += bytes.size();
            if (bytes.size() < part) break;  // the end of the container
        }
        return done;
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

    std::string read_part(std::uint64_t offset, std::int64_t size) {
        const char* sql = "SELECT lo_get(?, ?, ?)";
        const std::initializer_list<db_param> values{object_, static_cast<std::int64_t>(offset),
                                                     size};
        try {
            if (writer_ != nullptr) return first_value(writer_->query(sql, values));
            const std::lock_guard lock(reader_->turn);
            return first_value(reader_->connection->query(sql, values));
        } catch (const db_exception& e) {
            fail("read", path_, e);
        }
    }

    static std::string first_value(std::unique_ptr<db_recordset> row) {
        row->next();
        return row->get_string(0);
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

large_object_store::large_object_store(db& database)
    : writer_(database), reading_(std::make_unique<reading>()) {}

large_object_store::~large_object_store() = default;

void large_object_store::create_schema(db& database) {
    database.execute(
        "CREATE TABLE container_object(path TEXT PRIMARY KEY, object_id INTEGER NOT NULL)");
}

std::unique_ptr<file_handle> large_object_store::open(const std::filesystem::path& path,
                                                      open_mode mode) {
    try {
        if (mode == open_mode::read) {
            if (!reading_->connection) reading_->connection = writer_.clone();
            std::optional<std::int64_t> object;
            {
                const std::lock_guard lock(reading_->turn);
                object = find_object(*reading_->connection, path);
            }
            if (!object) throw io_error("Cannot open " + utf8_of(path) + ": it does not exist");
            return std::make_unique<large_object_file>(nullptr, reading_.get(), *object, path);
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
