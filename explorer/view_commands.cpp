#include "explorer/view_commands.h"

#include <algorithm>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "explorer/explorer_document.h"
#include "explorer/list_rows.h"
#include "explorer/temp_folder.h"
#include "export/export_engine.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

namespace tuv::explorer {
namespace {

using gui::prompt_icon;

void say(explorer_document& doc, const std::string& text, const char* caption, prompt_icon icon) {
    doc.prompts().message(nullptr, text, caption, icon);
}

// Nothing on this computer opens the version: say which file, and offer
// the checkout's save dialog instead.
void offer_to_save(explorer_document& doc, const version_target& target,
                   const std::filesystem::path& written) {
    const std::string text = "No program on this computer opens " + target.vault_path +
                             " (the version of " + target.time_text + ", written to " +
                             utf8_of(written) +
                             ").\nDo you want to save this version somewhere else instead?";
    if (doc.prompts().message(nullptr, text, gui::caption_explorer, prompt_icon::question,
                              gui::prompt_buttons::yes_no) != gui::prompt_answer::yes) {
        return;
    }
    gui::checkout_to_local_file(*doc.vault(), doc.prompts(), nullptr,
                                {{target.vault_path, target.time_text}}, gui::explorer_policy, {});
}

}  // namespace

version_target target_of(const list_rows& list, int row) {
    const list_row& at = list.row_at(row);
    return {at.vault_path, at.last_time};
}

std::filesystem::path temporary_name(const std::filesystem::path& temp_dir, std::int64_t file_id,
                                     const std::string& name, const std::string& time_text) {
    std::string stamp = time_text;
    std::replace(stamp.begin(), stamp.end(), ':', '.');
    return temp_dir / std::to_string(file_id) / path_from_utf8(stamp + "_" + name);
}

void open_versions(explorer_document& doc, const list_rows& list, const std::vector<int>& rows,
                   const file_opener& open) {
    repository* repo = doc.vault();
    if (repo == nullptr) return;
    std::string temp_dir;
    const CRegistry user(platform::registry_root::current_user, platform::quillmark_key);
    if (!user.is_open()) {
        say(doc, "Unable to open registry", gui::caption_explorer, prompt_icon::error);
        return;
    }
    user.query(platform::temp_dir_value, temp_dir);
    for (const int row : rows) {
        const version_target target = target_of(list, row);
        std::filesystem::path local;
        try {
            const auto entry = repo->catalogue().resolve(target.vault_path);
            local = temporary_name(view_folder(path_from_utf8(temp_dir)), entry->file_id(),
                                   entry->name(), target.time_text);
            std::filesystem::create_directories(local.parent_path());
            checkout(*repo, *entry, local, date(target.time_text));
        } catch (const tuv_error& error) {
            // A damaged or missing container: the vault's own words say which.
            say(doc, error.what(), gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::filesystem::filesystem_error& error) {
            // The folder View writes to: say which and why, not "an error".
            say(doc, error.what(), gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::runtime_error&) {
            say(doc, gui::support_error_text, gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::exception& error) {
            say(doc, error.what(), gui::caption_explorer, prompt_icon::error);
            continue;
        }
        if (!open(local)) offer_to_save(doc, target, local);
    }
}

gui::checkout_summary check_out(explorer_document& doc, const list_rows& list,
                                const std::vector<int>& rows,
                                const gui::date_chooser& choose_date) {
    std::vector<gui::checkout_row> checkouts;
    for (const int row : rows) {
        const list_row& at = list.row_at(row);
        if (at.kind == row_version) {
            checkouts.push_back({at.vault_path, at.last_time});
        } else if (at.kind == row_file) {
            checkouts.push_back({at.vault_path, std::nullopt});
        }
    }
    if (doc.vault() == nullptr || checkouts.empty()) return {};
    return gui::checkout_to_local_file(*doc.vault(), doc.prompts(), nullptr, checkouts,
                                       gui::explorer_policy, choose_date);
}

std::optional<property_texts> properties_of(explorer_document& doc, const list_rows& list,
                                            const std::vector<int>& rows) {
    if (rows.empty() || list.row_at(rows.front()).kind == row_up || doc.vault() == nullptr) {
        say(doc, no_selection_text, caption_search, prompt_icon::exclamation);
        return std::nullopt;
    }
    const version_target target = target_of(list, rows.front());
    const auto entry = doc.vault()->catalogue().resolve(target.vault_path);
    const std::uint64_t size =
        entry->is_directory() ? entry->size() : entry->version_size(date(target.time_text));
    return property_texts{entry->name(), target.vault_path, entry->mime_type(),
                          std::to_string(size) + " Bytes", entry->is_directory()};
}

void properties_check_out(explorer_document& doc, const list_rows& list, int row,
                          const gui::date_chooser& choose_date) {
    if (list.row_at(row).kind == row_folder) {
        say(doc, "Cannot extract directory", gui::caption_explorer, prompt_icon::information);
        return;
    }
    check_out(doc, list, {row}, choose_date);
}

std::optional<int> check_out_folder(explorer_document& doc, const list_rows& list, int row) {
    const list_row& at = list.row_at(row);
    if (at.kind == row_up) {
        say(doc, up_checkout_text, gui::caption_explorer, prompt_icon::exclamation);
        return std::nullopt;
    }
    if (doc.vault() == nullptr) return std::nullopt;
    const auto destination = doc.prompts().browse_folder(nullptr, "Browse for Folder", {});
    if (!destination) return std::nullopt;
    return run_export(doc, at.vault_path, *destination, version_mode::latest);
}

}  // namespace tuv::explorer
