// The vault's `settings` table: named configuration values that installation
// writes and the programs only read.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tuv {

class db;

// Setting keys, as stored in the table.
namespace setting_key {
inline constexpr const char* path_separator = "path_separator";
inline constexpr const char* data_directory = "data_directory";
inline constexpr const char* chunk_max_size = "chunk_max_size";
inline constexpr const char* chunk_min_size = "chunk_min_size";
inline constexpr const char* chunk_win_size = "chunk_win_size";
inline constexpr const char* chunk_anchor = "chunk_anchor";
inline constexpr const char* default_disk_size = "default_disk_size";
inline constexpr const char* compression = "compression";
inline constexpr const char* compressed_codec = "compressed_codec";
}  // namespace setting_key

// The settings rows as they were when it was made; never writes. Throws
// tuv_error "<database file> is not a Quillmark vault: it has no settings
// table" without the table.
class settings_reader {
  public:
    explicit settings_reader(db& database);

    // The value of a key. Throws rec_not_found_exception
    // "Record Not Found : Could not find settings for <key>" without a row.
    std::string get_setting(const std::string& key) const;

  private:
    std::map<std::string, std::string> values_;
};

// Parses a numeric setting the way a formatted stream reads an unsigned
// number: leading white space skipped, then digits up to the first other
// character. Throws tuv_error naming the key and the text when the text does
// not begin with a number or the number exceeds `max`.
std::uint64_t parse_setting_number(const std::string& key, const std::string& text,
                                   std::uint64_t max = UINT32_MAX);

// The chunker's four numbers.
struct chunk_settings {
    std::uint32_t min_size;
    std::uint32_t max_size;
    std::uint32_t win_size;
    std::uint32_t anchor;
};

// Throws tuv_error naming the offending key and value when the numbers break
// the chunker's rules: min at least 1, anchor at least 1, window not longer
// than min, max not below min.
void validate(const chunk_settings& settings);

// Throws tuv_error unless the separator is exactly one character.
void validate_path_separator(const std::string& separator);

// How new chunks are stored: compressed with zstd at `level`, or raw when
// the level is 0. Chunks already stored keep their form.
struct compression_setting {
    int level = 0;
    bool enabled() const { return level != 0; }
};
inline constexpr int min_compression_level = 1;
inline constexpr int max_compression_level = 19;
// The level of a new vault and of a bare "zstd": chosen by measurement
// (docs/benchmarks.md).
inline constexpr int default_compression_level = 3;

// Parses the setting's text: "none", "zstd" (the default level) or
// "zstd:LEVEL" with a level from 1 to 19. Throws tuv_error "Invalid setting
// compression = "<text>": ..." otherwise.
compression_setting parse_compression(const std::string& text, int default_level);

// The setting's text, as parse_compression reads it: "none" or "zstd:LEVEL".
std::string to_text(compression_setting setting);

// The codec a newly compressed chunk is stored with (a chunk row's `codec`):
// 1, a whole zstd frame, as in a vault without the setting; 2, the frame
// without its header; 3, consecutive new chunks of a file sharing one frame
// (the others as with 2), which new vaults take. Parses "1", "2" or "3";
// throws tuv_error "Invalid setting compressed_codec = "<text>": it must be
// 1, 2 or 3" otherwise.
inline constexpr int newest_compressed_codec = 3;
int parse_compressed_codec(const std::string& text);

}  // namespace tuv
