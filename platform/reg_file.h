// The Windows ".reg" export format for one registry root, in memory and as
// text. Pure functions on strings; the file handling is in registry.cpp.
//
// Text accepted by parse_reg_file():
//   Windows Registry Editor Version 5.00      first non-empty line; a UTF-8
//                                             BOM before it is skipped
//   [HKEY_CURRENT_USER\Some\Key]              a key; must be under the root
//   "name"="text"                             a text value
//   @="text"                                  the key's default value
//   "name"=dword:00000001                     other types, kept as written; a
//   "name"=hex:01,02,\                        line ending in '\' continues on
//     03                                      the next line
// Blank lines and lines starting with ';' are ignored, CRLF is accepted and
// surrounding spaces and tabs are trimmed. Inside quotes \\ is a backslash,
// \" a quote, \n a line feed and \r a carriage return; any other escape is an
// error. A key or value that appears twice is merged, the later value winning.
//
// format_reg_file() writes the header, a blank line, then each key with its
// values and a blank line after it, LF line endings. Comments are not kept.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace platform {

struct reg_value {
    std::string name;  // "" is the default value
    // Decoded text for text values; for other types the data exactly as
    // written after '=', continuation lines joined with '\n'.
    std::string data;
    bool is_text = true;
};

struct reg_key_section {
    std::string path;               // below the root, e.g. "SOFTWARE\\Vendor"; "" is the root
    std::vector<reg_value> values;  // in file order, each name once

    reg_value* find_value(std::string_view name);
    const reg_value* find_value(std::string_view name) const;
};

struct reg_document {
    std::vector<reg_key_section> keys;  // in file order, each path once

    reg_key_section* find_key(std::string_view path);
    const reg_key_section* find_key(std::string_view path) const;
    // The section for path, appended when missing.
    reg_key_section& add_key(std::string_view path);
    // True for the root, for a key with its own section and for any key that
    // has a section somewhere below it.
    bool has_key(std::string_view path) const;
    // True when some section lies below the key (not counting its own).
    bool has_subkeys(std::string_view path) const;
    // Removes the key's own section and every section below it; returns how
    // many went. The root ("") takes every section with it.
    std::size_t remove_key(std::string_view path);
};

// Case-insensitive comparison of key and value names (ASCII letters only).
bool same_registry_name(std::string_view a, std::string_view b);

// A sub-key path the file format can hold: "" or backslash-separated
// non-empty components without NUL, CR or LF.
bool valid_key_path(std::string_view path);

// Throws registry_error "malformed registry file <file>, line <n>: <reason>".
// file is used only in that message.
reg_document parse_reg_file(std::string_view text, registry_root root,
                            const std::filesystem::path& file);

std::string format_reg_file(const reg_document& document, registry_root root);

}  // namespace platform
