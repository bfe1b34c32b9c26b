#include "explorer/view_commands.h"

#include "core/base/errors.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/export_runner.h"
#include "explorer/hview_model.h"
#include "explorer/temp_folder.h"
#include "export/export_engine.h"
#include "gui/captions.h"
#include "gui/prompter.h"
#include "platform/CRegistry.h"
#include "platform/quillmark_registry.h"

namespace tuv::explorer {
namespace {

using gui::prompt_icon;

void say(CVellum_ExplorerDoc& doc, const QString& text, const char* caption, prompt_icon icon) {
    doc.prompts().message(nullptr, text.toStdString(), caption, icon);
}

// Nothing on this computer opens the version: say which file, and offer
// the checkout's save dialog instead.
void offer_to_save(CVellum_ExplorerDoc& doc, const version_target& target,
                   const std::filesystem::path& written) {
    const QString text =
        QString("No program on this computer opens %1 (the version of %2, written to %3).\n"
                "Do you want to save this version somewhere else instead?")
            .arg(target.vault_path, target.time_text, QString::fromStdString(written.string()));
    if (doc.prompts().message(nullptr, text.toStdString(), gui::caption_explorer,
                              prompt_icon::question,
                              gui::prompt_buttons::yes_no) != gui::prompt_answer::yes) {
        return;
    }
    gui::checkout_to_local_file(*doc.repository(), doc.prompts(), nullptr,
                                {{target.vault_path.toStdString(), target.time_text.toStdString()}},
                                gui::explorer_policy, {});
}

}  // namespace

version_target target_of(const hview_model& model, int row) {
    const list_row& at = model.row_at(row);
    return {at.vault_path, at.last_time};
}

std::filesystem::path temporary_name(const std::filesystem::path& temp_dir, std::int64_t file_id,
                                     const QString& name, const QString& time_text) {
    QString stamp = time_text;
    stamp.replace(':', '.');
    return temp_dir / std::to_string(file_id) / (stamp + "_" + name).toStdString();
}

void open_versions(CVellum_ExplorerDoc& doc, const hview_model& model, const std::vector<int>& rows,
                   const file_opener& open) {
    repository* repo = doc.repository();
    if (repo == nullptr) return;
    std::string temp_dir;
    const CRegistry user(platform::registry_root::current_user, platform::quillmark_key);
    if (!user.is_open()) {
        say(doc, "Unable to open registry", gui::caption_explorer, prompt_icon::error);
        return;
    }
    user.query(platform::temp_dir_value, temp_dir);
    for (const int row : rows) {
        const version_target target = target_of(model, row);
        std::filesystem::path local;
        try {
            const auto entry = repo->catalogue().resolve(target.vault_path.toStdString());
            local = temporary_name(view_folder(temp_dir), entry->file_id(),
                                   QString::fromStdString(entry->name()), target.time_text);
            std::filesystem::create_directories(local.parent_path());
            checkout(*repo, *entry, local, date(target.time_text.toStdString()));
        } catch (const tuv_error& error) {
            // A damaged or missing container: the vault's own words say which.
            say(doc, QString::fromUtf8(error.what()), gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::filesystem::filesystem_error& error) {
            // The folder View writes to: say which and why, not "an error".
            say(doc, QString::fromUtf8(error.what()), gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::runtime_error&) {
            say(doc, gui::support_error_text, gui::caption_explorer, prompt_icon::error);
            continue;
        } catch (const std::exception& error) {
            say(doc, QString::fromUtf8(error.what()), gui::caption_explorer, prompt_icon::error);
            continue;
        }
        if (!open(local)) offer_to_save(doc, target, local);
    }
}

gui::checkout_summary check_out(CVellum_ExplorerDoc& doc, const hview_model& model,
                                const std::vector<int>& rows,
                                const gui::date_chooser& choose_date) {
    std::vector<gui::checkout_row> checkouts;
    for (const int row : rows) {
        const list_row& at = model.row_at(row);
        if (at.kind == row_version) {
            checkouts.push_back({at.vault_path.toStdString(), at.last_time.toStdString()});
        } else if (at.kind == row_file) {
            checkouts.push_back({at.vault_path.toStdString(), std::nullopt});
        }
    }
    if (doc.repository() == nullptr || checkouts.empty()) return {};
    return gui::checkout_to_local_file(*doc.repository(), doc.prompts(), nullptr, checkouts,
                                       gui::explorer_policy, choose_date);
}

std::optional<property_texts> properties_of(CVellum_ExplorerDoc& doc, const hview_model& model,
                                            const std::vector<int>& rows) {
    if (rows.empty() || model.row_at(rows.front()).kind == row_up || doc.repository() == nullptr) {
        say(doc, no_selection_text, caption_search, prompt_icon::exclamation);
        return std::nullopt;
    }
    const version_target target = target_of(model, rows.front());
    const auto entry = doc.repository()->catalogue().resolve(target.vault_path.toStdString());
    const std::uint64_t size = entry->is_directory()
                                   ? entry->size()
                                   : entry->version_size(date(target.time_text.toStdString()));
    return property_texts{QString::fromStdString(entry->name()), target.vault_path,
                          QString::fromStdString(entry->mime_type()),
                          QString::asprintf("%ld Bytes", static_cast<long>(size)),
                          entry->is_directory()};
}

void properties_check_out(CVellum_ExplorerDoc& doc, const hview_model& model, int row,
                          const gui::date_chooser& choose_date) {
    if (model.row_at(row).kind == row_folder) {
        say(doc, "Cannot extract directory", gui::caption_explorer, prompt_icon::information);
        return;
    }
    check_out(doc, model, {row}, choose_date);
}

std::optional<int> check_out_folder(CVellum_ExplorerDoc& doc, const hview_model& model, int row) {
    const list_row& at = model.row_at(row);
    if (at.kind == row_up) {
        say(doc, up_checkout_text, gui::caption_explorer, prompt_icon::exclamation);
        return std::nullopt;
    }
    if (doc.repository() == nullptr) return std::nullopt;
    const auto destination = doc.prompts().browse_folder(nullptr, "Browse for Folder", {});
    if (!destination) return std::nullopt;
    return run_export(*doc.repository(), at.vault_path.toStdString(),
                      QString::fromStdString(*destination), version_mode::latest, doc.prompts());
}

}  // namespace tuv::explorer
