#include "explorer/temp_folder.h"

#include <system_error>

namespace tuv::explorer {
namespace {

namespace fs = std::filesystem;

void clear(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator walk(folder, error); !error && walk != fs::directory_iterator();
         walk.increment(error)) {
        const fs::path path = walk->path();
        std::error_code ignored;
        if (walk->is_directory(ignored) && !walk->is_symlink(ignored)) {
            clear(path);
        } else {
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
        }
        fs::remove(path, ignored);  // a folder goes only once it is empty
    }
}

}  // namespace

std::filesystem::path view_folder(const std::filesystem::path& temp_dir) {
    return temp_dir / "explorer-views";
}

void clear_view_folder(const std::filesystem::path& temp_dir) {
    if (temp_dir.empty()) return;
    clear(view_folder(temp_dir));
}

}  // namespace tuv::explorer
