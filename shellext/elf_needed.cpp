#include "shellext/elf_needed.h"

#include <elf.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

namespace tuv::shell {
namespace {

// A copy of the structure at `offset` when the file holds it whole.
template <typename T>
std::optional<T> read_at(std::string_view bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

}  // namespace

std::vector<std::string> needed_libraries(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw elf_error(path.string() + " cannot be read: " +
                        std::error_code(errno, std::generic_category()).message());
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const elf_error malformed(path.string() + " is not a 64-bit shared library");

    const auto header = read_at<Elf64_Ehdr>(bytes, 0);
    if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_ident[EI_DATA] != ELFDATA2LSB ||
        (header->e_type != ET_DYN && header->e_type != ET_EXEC) ||
        header->e_shentsize != sizeof(Elf64_Shdr)) {
        throw malformed;
    }
    const auto section = [&](std::uint64_t index) {
        if (index >= header->e_shnum) throw malformed;
        const auto found = read_at<Elf64_Shdr>(bytes, header->e_shoff + index * sizeof(Elf64_Shdr));
        if (!found || found->sh_offset > bytes.size() ||
            bytes.size() - found->sh_offset < found->sh_size) {
            throw malformed;
        }
        return *found;
    };

    std::vector<std::string> needed;
    for (std::uint64_t index = 0; index < header->e_shnum; ++index) {
        const Elf64_Shdr dynamic = section(index);
        if (dynamic.sh_type != SHT_DYNAMIC) continue;
        // The names live in the string table the dynamic section links to.
        const Elf64_Shdr strings = section(dynamic.sh_link);
        const std::string_view table(bytes.data() + strings.sh_offset, strings.sh_size);
        for (std::uint64_t at = 0; at + sizeof(Elf64_Dyn) <= dynamic.sh_size;
             at += sizeof(Elf64_Dyn)) {
            const auto entry = read_at<Elf64_Dyn>(bytes, dynamic.sh_offset + at);
            if (!entry || entry->d_tag == DT_NULL) break;
            if (entry->d_tag != DT_NEEDED) continue;
            const std::uint64_t start = entry->d_un.d_val;
            const std::size_t end = start < table.size() ? table.find('\0', start) : table.npos;
            if (end == table.npos) throw malformed;
            needed.emplace_back(table.substr(start, end - start));
        }
    }
    return needed;
}

}  // namespace tuv::shell
