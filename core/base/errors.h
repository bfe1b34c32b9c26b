// The exception family through which the core reports every failure.
//
// Every class is copyable, thrown by value and caught by reference; what() is
// the text shown to the user. An error carries either a message (code -1) or a
// code, which message_for() turns into text through one constant table.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tuv {

class tuv_error : public std::runtime_error {
  public:
    static constexpr std::int32_t no_code = -1;

    explicit tuv_error(const std::string& message);
    explicit tuv_error(std::int32_t code);

    // The message text when there is no code, else the table's text for it.
    const char* what() const noexcept override;

    std::int32_t code() const noexcept { return code_; }

    // The table's text for a code. Throws tuv_error "Couldn't find error code"
    // for a code without an entry.
    static const std::string& message_for(std::int32_t code);

  private:
    std::int32_t code_;
};

class db_exception : public tuv_error {
  public:
    // The one code ever raised: an operation needed an open connection.
    static constexpr std::int32_t connection_lost = 4;

    using tuv_error::tuv_error;
};

// Another connection held the lock a statement needed for as long as the
// statement would wait (db_sqlite.h); trying again later may succeed.
class db_busy_exception : public db_exception {
  public:
    using db_exception::db_exception;
};

// "Record Not Found : " followed by the detail.
class rec_not_found_exception : public db_exception {
  public:
    explicit rec_not_found_exception(const std::string& detail);
};

// "No such file or directory: " followed by the missing path component.
class file_not_found_exception : public tuv_error {
  public:
    file_not_found_exception(const std::string& missing_path, std::int64_t parent_inode);

    const std::string& missing_path() const noexcept { return missing_path_; }
    std::int64_t parent_inode() const noexcept { return parent_inode_; }

  private:
    std::string missing_path_;
    std::int64_t parent_inode_;
};

// "Invalid date format".
class invalid_date_exception : public tuv_error {
  public:
    invalid_date_exception();
};

// The vault's files or rows are not what its rows promise: a container that
// ends early, bytes that do not match their checksum, a version with a gap.
// "The vault is damaged: <file>, offset <offset>: <detail>", where <file> is
// "file id <id>" as the storage layer raises it, and the file's vault path
// once a caller that knows it has named it.
class vault_damaged_error : public tuv_error {
  public:
    vault_damaged_error(std::int64_t file_id, std::uint64_t offset, std::string detail);

    // The same damage, with the file named by its vault path.
    vault_damaged_error named(const std::string& vault_path) const;

    std::int64_t file_id() const noexcept { return file_id_; }
    std::uint64_t offset() const noexcept { return offset_; }
    const std::string& detail() const noexcept { return detail_; }

  private:
    vault_damaged_error(std::int64_t file_id, std::uint64_t offset, std::string detail,
                        const std::string& file);

    std::int64_t file_id_;
    std::uint64_t offset_;
    std::string detail_;
};

}  // namespace tuv
