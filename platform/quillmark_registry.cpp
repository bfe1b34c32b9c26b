#include "platform/quillmark_registry.h"

#include "core/base/utf8_path.h"
#include "platform/CRegistry.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace platform {

std::optional<std::string> read_db_path() {
    const CRegistry registry(registry_root::current_user, quillmark_key);
    std::string path;
    if (!registry.query(db_path_value, path)) return std::nullopt;
    return path;
}

bool register_missing_checkin_program(const std::filesystem::path& program_dir) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = program_file(program_dir, "Quillmark_Checkin");
    if (!fs::is_regular_file(program, error)) return false;
    const auto machine = open_registry_key(registry_root::local_machine, quillmark_key);
    if (machine) {
        const std::optional<std::string> current = machine->query(checkin_program_value);
        if (current && !current->empty() &&
            fs::is_regular_file(tuv::path_from_utf8(*current), error))
            return false;
    }
    create_registry_key(registry_root::local_machine, quillmark_key)
        .set(checkin_program_value, tuv::utf8_of(program));
    return true;
}

}  // namespace platform
