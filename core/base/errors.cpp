#include "core/base/errors.h"

#include <array>
#include <utility>

namespace tuv {
namespace {

// The texts never change, so one constant table serves every thread.
const std::array<std::pair<std::int32_t, std::string>, 8>& code_table() {
    static const std::array<std::pair<std::int32_t, std::string>, 8> table{{
        {0, "Success"},
        {1, "General Failure"},
        {2, "General DB Exception"},
        {3, "Could not find database"},
        {4, "Database connection lost"},
        {5, "Unable to open database connection"},
        {6, "Database is busy"},
        {7, "Database is locked"},
    }};
    return table;
}

}  // namespace

tuv_error::tuv_error(const std::string& message) : std::runtime_error(message), code_(no_code) {}

tuv_error::tuv_error(std::int32_t code) : std::runtime_error(std::string()), code_(code) {}

const char* tuv_error::what() const noexcept {
    if (code_ == no_code) return std::runtime_error::what();
    for (const auto& [code, text] : code_table()) {
        if (code == code_) return text.c_str();
    }
    // Only codes from the table are ever raised; a foreign one has no text.
    return "Couldn't find error code";
}

const std::string& tuv_error::message_for(std::int32_t code) {
    for (const auto& entry : code_table()) {
        if (entry.first == code) return entry.second;
    }
    throw tuv_error(std::string("Couldn't find error code"));
}

rec_not_found_exception::rec_not_found_exception(const std::string& detail)
    : db_exception("Record Not Found : " + detail) {}

file_not_found_exception::file_not_found_exception(const std::string& missing_path,
                                                   std::int64_t parent_inode)
    : tuv_error("No such file or directory: " + missing_path),
      missing_path_(missing_path),
      parent_inode_(parent_inode) {}

invalid_date_exception::invalid_date_exception() : tuv_error(std::string("Invalid date format")) {}

vault_damaged_error::vault_damaged_error(std::int64_t file_id, std::uint64_t offset,
                                         std::string detail)
    : vault_damaged_error(file_id, offset, std::move(detail),
                          "file id " + std::to_string(file_id)) {}

vault_damaged_error::vault_damaged_error(std::int64_t file_id, std::uint64_t offset,
                                         std::string detail, const std::string& file)
    : tuv_error("The vault is damaged: " + file + ", offset " + std::to_string(offset) + ": " +
                detail),
      file_id_(file_id),
      offset_(offset),
      detail_(std::move(detail)) {}

vault_damaged_error vault_damaged_error::named(const std::string& vault_path) const {
    return vault_damaged_error(file_id_, offset_, detail_, vault_path);
}

}  // namespace tuv
