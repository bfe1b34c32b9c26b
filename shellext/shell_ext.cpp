#include "shellext/shell_ext.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <tuple>

#include "core/base/utf8_path.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "gui/captions.h"
#include "platform/CRegistry.h"
#include "platform/process.h"
#include "platform/quillmark_registry.h"

namespace tuv::shell {
namespace {

namespace fs = std::filesystem;

// By message_icon.
constexpr const char* icon_names[] = {"information", "exclamation", "error"};

// A message naming the files left out lists this many at most.
constexpr std::size_t named_files_limit = 20;

const shell_message registry_failure{registry_failure_text, registry_failure_caption,
                                     message_icon::information};
const shell_message process_failure{process_failure_text, process_failure_caption,
                                    message_icon::exclamation};
// What the check-in program says when its command line names no file.
const shell_message no_file{gui::no_file_text, gui::caption_checkin, message_icon::error};

bool cannot_be_passed(const std::string& path) {
    return path.find_first_of("#,") != std::string::npos;
}

shell_message refused_message(const std::vector<std::string>& refused) {
    std::string text =
        "Left out of the check-in, because the check-in program cannot be given a path that holds "
        "\"#\" or \",\":";
    for (std::size_t i = 0; i < refused.size() && i < named_files_limit; ++i) {
        text += "\n" + refused[i];
    }
    if (refused.size() > named_files_limit) {
        text += "\nand " + std::to_string(refused.size() - named_files_limit) + " more.";
    }
    return {text, process_failure_caption, message_icon::exclamation};
}

shell_message too_long_message(const selection& chosen, std::size_t bytes) {
    return {"The " + std::to_string(chosen.files.size()) +
                " selected files are too many for one check-in: their paths take " +
                std::to_string(bytes) + " bytes, and the check-in program can be given " +
                std::to_string(platform::max_argument_size) +
                " at most. Please check them in a part at a time.",
            process_failure_caption, message_icon::exclamation};
}

// The check-in program the machine's Quillmark key names; nullopt once the
// person has been told why there is none. A key that cannot be read is as
// good as a missing one; a key without the value names no program.
std::optional<fs::path> registered_checkin_program(shell_prompter& prompts) {
    std::string path;
    try {
        const CRegistry registry(platform::registry_root::local_machine, platform::quillmark_key);
        if (!registry.is_open()) {
            prompts.message(registry_failure);
            return std::nullopt;
        }
        registry.query(platform::checkin_program_value, path);
    } catch (const platform::registry_error&) {
        prompts.message(registry_failure);
        return std::nullopt;
    }
    if (path.empty()) {
        prompts.message(process_failure);
        return std::nullopt;
    }
    return path_from_utf8(path);
}

bool start(const fs::path& program, const std::string& argument, shell_prompter& prompts) {
    try {
        platform::start_detached(program, {argument});
        return true;
    } catch (const platform::process_error&) {
        prompts.message(process_failure);
        return false;
    }
}

// The order of a sorted combo box: letters without regard to case first.
std::string sort_key(const std::string& text) {
    std::string key = text;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

}  // namespace

std::vector<std::string> message_arguments(const shell_message& message) {
    return {message_option, message.caption, icon_names[static_cast<int>(message.icon)],
            message.text};
}

std::optional<shell_message> message_from_arguments(std::span<const std::string> arguments) {
    if (arguments.size() != 4 || arguments[0] != message_option) return std::nullopt;
    for (int icon = 0; icon < static_cast<int>(std::size(icon_names)); ++icon) {
        if (arguments[2] == icon_names[icon]) {
            return shell_message{arguments[3], arguments[1], static_cast<message_icon>(icon)};
        }
    }
    return std::nullopt;
}

std::string selection::text() const {
    std::string text;
    for (const std::string& file : files) {
        if (!text.empty()) text += '#';
        text += file;
    }
    return text;
}

selection select_files(std::span<const selected_item> items) {
    selection chosen;
    for (const selected_item& item : items) {
        if (item.is_directory) continue;
        (cannot_be_passed(item.path) ? chosen.refused : chosen.files).push_back(item.path);
    }
    return chosen;
}

const selected_item* single_file(std::span<const selected_item> items) {
    const selected_item* file = nullptr;
    for (const selected_item& item : items) {
        if (item.is_directory) continue;
        if (file != nullptr) return nullptr;
        file = &item;
    }
    return file;
}

std::vector<menu_command> menu_for(std::span<const selected_item> items) {
    if (items.empty()) return {};
    if (single_file(items) != nullptr) return {menu_command::checkin, menu_command::properties};
    return {menu_command::checkin};
}

bool start_checkin(const selection& chosen, shell_prompter& prompts) {
    // Folders alone: the menu is there, and the answer is the check-in's.
    if (chosen.empty()) {
        prompts.message(no_file);
        return false;
    }
    if (!chosen.refused.empty()) prompts.message(refused_message(chosen.refused));
    if (chosen.files.empty()) return false;
    const std::optional<fs::path> program = registered_checkin_program(prompts);
    if (!program) return false;
    const std::string text = chosen.text();
    if (text.size() > platform::max_argument_size) {
        prompts.message(too_long_message(chosen, text.size()));
        return false;
    }
    return start(*program, text, prompts);
}

bool start_properties(const std::string& local_path, shell_prompter& prompts) {
    const std::optional<fs::path> checkin = registered_checkin_program(prompts);
    if (!checkin) return false;
    return start(platform::program_file(checkin->parent_path(), properties_program), local_path,
                 prompts);
}

std::string page_more_text(std::size_t more) {
    return std::to_string(more) + " more vault files: " + properties_item_text + " lists them all";
}

std::optional<shell_page> page_for(repository& repo, std::span<const selected_item> items) {
    const selected_item* file = single_file(items);
    if (file == nullptr) return std::nullopt;

    std::vector<std::int64_t> inodes;
    repo.journal().inodes_for_source(file->path, inodes);
    if (inodes.empty()) return std::nullopt;

    shell_page page{file->path, utf8_of(path_from_utf8(file->path).filename()), {}, 0};
    if (inodes.size() > page_file_limit) {
        page.more = inodes.size() - page_file_limit;
        inodes.resize(page_file_limit);
    }
    const std::vector<std::string> paths = gui::vault_paths_of(repo, inodes);
    std::vector<std::tuple<std::string, std::string, std::int64_t>> rows;
    for (std::size_t i = 0; i < inodes.size(); ++i) {
        rows.emplace_back(sort_key(paths[i]), paths[i], inodes[i]);
    }
    std::sort(rows.begin(), rows.end());
    for (const auto& [key, path, inode] : rows) {
        page.files.push_back({path, gui::versions_of(repo, inode)});
    }
    return page;
}

vault_holder::vault_holder() = default;
vault_holder::~vault_holder() = default;

repository* vault_holder::vault() noexcept {
    try {
        const std::optional<std::string> db_path = platform::read_db_path();
        if (!db_path || db_path->empty()) {
            repo_.reset();
            return nullptr;
        }
        // Read every time, so that a user who removes or changes the vault
        // sees the file manager follow without restarting it.
        if (!repo_ || opened_path_ != *db_path) {
            repo_.reset();
            repo_ = std::make_unique<repository>(*db_path, repository::access::read_only);
            opened_path_ = *db_path;
        }
        return repo_.get();
    } catch (const std::exception&) {
        repo_.reset();
        return nullptr;
    }
}

}  // namespace tuv::shell
