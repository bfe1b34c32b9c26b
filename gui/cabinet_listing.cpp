#include "gui/cabinet_listing.h"

#include <algorithm>
#include <memory>

#include "core/base/errors.h"
#include "core/vault/catalogue.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"

namespace tuv::gui {
namespace {

// The lower case of the capitals of the Latin, Greek and Cyrillic blocks.
char32_t fold(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A pairs capitals and small letters, odd or even
        // first depending on the range.
        const bool odd_first = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return (c % 2 == 1) == odd_first ? c + 1 : c;
    }
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

// The length of the character a UTF-8 lead byte starts; 1 for a byte that
// starts none.
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The characters of UTF-8 `text`, folded; a byte that starts no valid
// character stands for itself.
std::u32string folded(const std::string& text) {
    std::u32string result;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = sequence_length(lead);
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        std::size_t taken = 1;
        while (taken < length && at + taken < text.size() &&
               (static_cast<unsigned char>(text[at + taken]) & 0xC0) == 0x80) {
            c = (c << 6) | (static_cast<unsigned char>(text[at + taken]) & 0x3F);
            ++taken;
        }
        if (taken != length) {
            c = lead;
            taken = 1;
        }
        result.push_back(fold(c));
        at += taken;
    }
    return result;
}

}  // namespace

std::vector<cabinet> list_cabinets(repository& repo, const std::string& path) {
    std::vector<std::unique_ptr<file_entry>> entries;
    repo.catalogue().list_directory(path, entries);
    std::vector<cabinet> cabinets;
    for (const auto& entry : entries) {
        if (!entry->is_directory()) continue;
        cabinets.push_back({entry->name(), has_subdirectories(repo, entry->file_id())});
    }
    std::stable_sort(cabinets.begin(), cabinets.end(), [](const cabinet& a, const cabinet& b) {
        return cabinet_order(a.name, b.name);
    });
    return cabinets;
}

bool holds_cabinets(repository& repo, const std::string& path) {
    try {
        const std::unique_ptr<file_entry> directory = repo.catalogue().resolve(path);
        return directory->is_directory() && has_subdirectories(repo, directory->file_id());
    } catch (const tuv_error&) {
        return false;
    }
}

std::string listing_failed_text(const std::string& path, const std::string& reason) {
    return "Cannot list the cabinet " + path + ": " + reason;
}

std::string cabinet_path(std::span<const std::string> names, const std::string& separator) {
    std::string path = separator;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) path += separator;
        path += names[i];
    }
    return path;
}

bool same_cabinet_name(const std::string& a, const std::string& b) {
    return folded(a) == folded(b);
}

bool cabinet_order(const std::string& a, const std::string& b) {
    const std::u32string fa = folded(a);
    const std::u32string fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

std::size_t cabinet_position(std::span<const std::string> names, const std::string& name) {
    return static_cast<std::size_t>(
        std::upper_bound(names.begin(), names.end(), name, cabinet_order) - names.begin());
}

}  // namespace tuv::gui
