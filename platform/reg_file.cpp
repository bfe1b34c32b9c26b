#include "platform/reg_file.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "core/base/utf8_path.h"

namespace platform {
namespace {

constexpr std::string_view header = "Windows Registry Editor Version 5.00";
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::string_view expected_value = "expected \"name\"=\"value\"";

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view trim(std::string_view s) {
    // A stray CR counts as blank too: written back at the end of a line, it
    // would be read as part of the line break.
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// True for "dword:...", "hex:..." and "hex(N):...", the types regedit exports
// besides text; anything else after '=' is a mistake, not a type we don't know.
bool is_typed_data(std::string_view data) {
    if (data.starts_with("dword:") || data.starts_with("hex:")) return true;
    if (!data.starts_with("hex(")) return false;
    const auto close = data.find("):");
    if (close == std::string_view::npos || close == 4) return false;
    return data.substr(4, close - 4).find_first_not_of("0123456789abcdefABCDEF") ==
           std::string_view::npos;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + '"';
}

// One lookup for values by name and keys by path, const or not.
template <typename Items, typename Field>
auto find_named(Items& items, std::string_view name, Field field) -> decltype(items.data()) {
    for (auto& item : items) {
        if (same_registry_name(item.*field, name)) return &item;
    }
    return nullptr;
}

class parser {
  public:
    parser(std::string_view text, registry_root root, const std::filesystem::path& file)
        : text_(text), root_(root), file_(file) {
        if (text_.starts_with(utf8_bom)) text_.remove_prefix(utf8_bom.size());
    }

    reg_document run() {
        bool seen_header = false;
        std::string_view raw;
        while (next_line(raw)) {
            const std::string_view line = trim(raw);
            if (!seen_header) {
                if (line.empty()) continue;
                if (line != header) fail("expected the header \"" + std::string(header) + "\"");
                seen_header = true;
            } else if (line.empty() || line.front() == ';') {
                continue;
            } else if (line.front() == '[') {
                key_line(line);
            } else if (line.front() == '"' || line.front() == '@') {
                value_line(line);
            } else {
                fail(std::string(expected_value));
            }
        }
        if (!seen_header) {
            line_number_ = 1;
            fail("expected the header \"" + std::string(header) + "\"");
        }
        return std::move(document_);
    }

  private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw registry_error("malformed registry file " + tuv::utf8_of(file_) + ", line " +
                             std::to_string(line_number_) + ": " + reason);
    }

    // The next line without its line break (LF or CRLF); false at the end.
    bool next_line(std::string_view& line) {
        if (position_ >= text_.size()) return false;
        auto end = text_.find('\n', position_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(position_, end - position_);
        if (line.ends_with('\r')) line.remove_suffix(1);
        position_ = end + 1;
        ++line_number_;
        return true;
    }

    void key_line(std::string_view line) {
        if (!line.ends_with(']')) fail("expected \"]\" at the end of the key line");
        const std::string_view full = line.substr(1, line.size() - 2);
        const std::string_view root = registry_root_name(root_);
        const bool under_root = full.size() >= root.size() &&
                                same_registry_name(full.substr(0, root.size()), root) &&
                                (full.size() == root.size() || full[root.size()] == '\\');
        if (!under_root)
            fail("key \"" + std::string(full) + "\" is not under " + std::string(root));
        const std::string_view path =
            full.size() == root.size() ? std::string_view() : full.substr(root.size() + 1);
        if (!valid_key_path(path)) fail("invalid key name \"" + std::string(full) + "\"");
        // An index, not a pointer: adding later keys may move the sections.
        current_key_ = static_cast<std::size_t>(&document_.add_key(path) - document_.keys.data());
    }

    void value_line(std::string_view line) {
        if (!current_key_) fail("value outside any key");
        std::size_t position = 0;
        std::string name;
        if (line.front() == '@') {
            position = 1;
        } else {
            name = quoted(line, position);
        }
        if (position >= line.size() || line[position] != '=') fail(std::string(expected_value));
        ++position;

        reg_value value{name, {}, true};
        if (position < line.size() && line[position] == '"') {
            value.data = quoted(line, position);
            if (position != line.size()) fail(std::string(expected_value));
        } else if (is_typed_data(line.substr(position))) {
            value.is_text = false;
            value.data = line.substr(position);
            std::string_view more;
            while (value.data.ends_with('\\')) {
                // At the end of the text the value goes on with an empty line,
                // as the blank line written after it reads back.
                if (!next_line(more)) more = {};
                value.data += '\n';
                value.data += more.substr(0, more.find_last_not_of(" \t\r") + 1);
            }
        } else {
            fail(std::string(expected_value));
        }

        auto& section = document_.keys[*current_key_];
        if (reg_value* existing = section.find_value(value.name)) {
            existing->data = std::move(value.data);
            existing->is_text = value.is_text;
        } else {
            section.values.push_back(std::move(value));
        }
    }

    // Decodes the quoted text starting at line[position] == '"' and leaves
    // position just after the closing quote.
    std::string quoted(std::string_view line, std::size_t& position) const {
        std::string out;
        for (std::size_t i = position + 1; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                position = i + 1;
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++i == line.size()) break;
            switch (line[i]) {
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                default:
                    fail("invalid escape \"\\" + std::string(1, line[i]) + "\" in quoted text");
            }
        }
        fail("unterminated quoted text");
    }

    std::string_view text_;
    registry_root root_;
    const std::filesystem::path& file_;
    std::size_t position_ = 0;
    std::size_t line_number_ = 0;
    std::optional<std::size_t> current_key_;
    reg_document document_;
};

}  // namespace

bool same_registry_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

bool valid_key_path(std::string_view path) {
    if (path.empty()) return true;
    if (path.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
    return !path.starts_with('\\') && !path.ends_with('\\') &&
           path.find("\\\\") == std::string_view::npos;
}

reg_value* reg_key_section::find_value(std::string_view name) {
    return find_named(values, name, &reg_value::name);
}

const reg_value* reg_key_section::find_value(std::string_view name) const {
    return find_named(values, name, &reg_value::name);
}

reg_key_section* reg_document::find_key(std::string_view path) {
    return find_named(keys, path, &reg_key_section::path);
}

const reg_key_section* reg_document::find_key(std::string_view path) const {
    return find_named(keys, path, &reg_key_section::path);
}

reg_key_section& reg_document::add_key(std::string_view path) {
    if (reg_key_section* existing = find_key(path)) return *existing;
    keys.push_back(reg_key_section{std::string(path), {}});
    return keys.back();
}

namespace {

// The key at `candidate` is `path` itself or lies below it.
bool at_or_below(std::string_view candidate, std::string_view path) {
    if (path.empty()) return true;
    if (candidate.size() < path.size() ||
        !same_registry_name(candidate.substr(0, path.size()), path))
        return false;
    return candidate.size() == path.size() || candidate[path.size()] == '\\';
}

}  // namespace

bool reg_document::has_key(std::string_view path) const {
    if (path.empty()) return true;
    return std::any_of(keys.begin(), keys.end(),
                       [&](const reg_key_section& key) { return at_or_below(key.path, path); });
}

bool reg_document::has_subkeys(std::string_view path) const {
    return std::any_of(keys.begin(), keys.end(), [&](const reg_key_section& key) {
        return key.path.size() != path.size() && at_or_below(key.path, path);
    });
}

std::size_t reg_document::remove_key(std::string_view path) {
    return std::erase_if(keys,
                         [&](const reg_key_section& key) { return at_or_below(key.path, path); });
}

reg_document parse_reg_file(std::string_view text, registry_root root,
                            const std::filesystem::path& file) {
    return parser(text, root, file).run();
}

std::string format_reg_file(const reg_document& document, registry_root root) {
    std::string out = std::string(header) + "\n\n";
    for (const auto& key : document.keys) {
        out += '[';
        out += registry_root_name(root);
        if (!key.path.empty()) out += '\\' + key.path;
        out += "]\n";
        for (const auto& value : key.values) {
            out += value.name.empty() ? std::string("@") : quote(value.name);
            out += '=';
            out += value.is_text ? quote(value.data) : value.data;
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

}  // namespace platform
