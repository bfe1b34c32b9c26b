#include "core/db/settings.h"

#include <cctype>

#include "core/base/errors.h"
#include "core/db/db.h"

namespace tuv {
namespace {

[[noreturn]] void invalid_setting(const std::string& key, const std::string& value,
                                  const std::string& reason) {
    throw tuv_error("Invalid setting " + key + " = \"" + value + "\": " + reason);
}

}  // namespace

settings_reader::settings_reader(db& database) {
    // One statement for them all: on a server each one is a round trip, and
    // a new session's look into the catalogue costs milliseconds, so the
    // catalogue is asked only to explain a failure.
    try {
        auto rows = database.query("SELECT key, value FROM settings", {});
        while (rows->next()) values_.emplace(rows->get_string(0), rows->get_string(1));
    } catch (const std::exception&) {
        // A missing table fails as the engine's own error (SQLite's wrapper
        // passes it on unconverted): the catalogue tells which it was.
        auto table = database.query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?",
                                    {"settings"});
        if (!table->next()) {
            throw tuv_error(database.name() +
                            " is not a Quillmark vault: it has no settings table");
        }
        throw;
    }
}

std::string settings_reader::get_setting(const std::string& key) const {
    const auto found = values_.find(key);
    if (found == values_.end()) throw rec_not_found_exception("Could not find settings for " + key);
    return found->second;
}

std::uint64_t parse_setting_number(const std::string& key, const std::string& text,
                                   std::uint64_t max) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        invalid_setting(key, text, "it does not begin with a number");
    }
    std::uint64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (max - digit) / 10) {
            invalid_setting(key, text, "the number is larger than " + std::to_string(max));
        }
        value = value * 10 + digit;
    }
    return value;
}

void validate(const chunk_settings& s) {
    using std::to_string;
    if (s.min_size == 0) {
        invalid_setting(setting_key::chunk_min_size, "0", "a chunk must be at least 1 byte");
    }
    if (s.anchor == 0) {
        invalid_setting(setting_key::chunk_anchor, "0", "the anchor must be at least 1");
    }
    if (s.win_size > s.min_size) {
        invalid_setting(
            setting_key::chunk_win_size, to_string(s.win_size),
            "the window must not be longer than chunk_min_size (" + to_string(s.min_size) + ")");
    }
    if (s.max_size < s.min_size) {
        invalid_setting(setting_key::chunk_max_size, to_string(s.max_size),
                        "it must not be below chunk_min_size (" + to_string(s.min_size) + ")");
    }
}

void validate_path_separator(const std::string& separator) {
    if (separator.size() != 1) {
        invalid_setting(setting_key::path_separator, separator, "it must be exactly one character");
    }
}

compression_setting parse_compression(const std::string& text, int default_level) {
    if (text == "none") return {};
    if (text == "zstd") return {default_level};
    if (text.starts_with("zstd:") && text.size() > 5 && text.size() <= 7) {
        const std::string digits = text.substr(5);
        bool number = true;
        for (const char c : digits) number = number && std::isdigit(static_cast<unsigned char>(c));
        const int level = number ? std::stoi(digits) : 0;
        if (level >= min_compression_level && level <= max_compression_level) return {level};
    }
    invalid_setting(setting_key::compression, text,
                    "it must be none, zstd or zstd:LEVEL with a level from " +
                        std::to_string(min_compression_level) + " to " +
                        std::to_string(max_compression_level));
}

int parse_compressed_codec(const std::string& text) {
    if (text == "1") return 1;
    if (text == "2") return 2;
    if (text == "3") return 3;
    invalid_setting(setting_key::compressed_codec, text, "it must be 1, 2 or 3");
}

std::string to_text(compression_setting setting) {
    return setting.enabled() ? "zstd:" + std::to_string(setting.level) : "none";
}

}  // namespace tuv
