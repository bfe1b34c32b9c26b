#include "gui/registered_vault.h"

#include <exception>

#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/program_folder.h"
#include "platform/quillmark_registry.h"

namespace tuv::gui {
namespace {

constexpr const char* make_vault_hint = "\nTo make a vault, run: quillmark init";

// A user of an installed package may start here, before any `quillmark
// init`: the file manager's check-in then finds its program. Not being able
// to write that is no reason to say more than that there is no vault.
void register_checkin_program() {
    try {
        platform::register_missing_checkin_program(platform::program_folder());
    } catch (const std::exception&) {
    }
}

}  // namespace

repository* open_registered_vault(prompter& prompts, const char* caption, const vault_opener& open,
                                  std::string& db_path) {
    std::string reason;
    try {
        const CRegistry registry(platform::registry_root::current_user, platform::quillmark_key);
        if (!registry.query(platform::db_path_value, db_path) || db_path.empty()) {
            register_checkin_program();
            prompts.message(nullptr,
                            std::string("No Quillmark vault is set up for this user: the "
                                        "registry has no db_path.") +
                                make_vault_hint,
                            caption, prompt_icon::error);
            return nullptr;
        }
        if (repository* repo = open(db_path)) return repo;
        reason = "it could not be opened";
    } catch (const std::exception& error) {
        reason = error.what();
    }
    prompts.message(nullptr,
                    "Cannot open the Quillmark vault " + db_path + ":\n" + reason + make_vault_hint,
                    caption, prompt_icon::error);
    return nullptr;
}

}  // namespace tuv::gui
