// What Tuv_ShellExt does for the selected files of a file manager, written
// once for all of them: which items a check-in takes, the menu's entries,
// starting the check-in or properties program named by the registry without
// waiting for it, and the "Quillmark" page of one file.
//
// No toolkit here: the Nautilus extension runs this inside the file manager,
// which must not be made to load Qt; Quillmark_Shell runs it for Dolphin.
// Messages go to a shell_prompter, which shows them as message boxes.
//
// Everything runs on the caller's one thread. The repository is borrowed for
// each call.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gui/version_rows.h"

namespace tuv {
class repository;
}

namespace tuv::shell {

inline constexpr const char* checkin_item_text = "Quillmark Checkin";
inline constexpr const char* checkin_help_text = "This will check-in the file to Quillmark";
inline constexpr const char* properties_item_text = "Quillmark Properties";
inline constexpr const char* properties_help_text =
    "Show the versions Quillmark holds of the file and check one out";
inline constexpr const char* page_title = "Quillmark";
// The page's rows as the file manager shows them, name and value: each vault
// file's path, then its versions (moment, description).
inline constexpr const char* page_vault_path_label = "Quillmark Path";
inline constexpr const char* page_more_label = "More";

inline constexpr const char* registry_failure_text = "Unable to open registry";
inline constexpr const char* registry_failure_caption = "Quillmark :Error";
inline constexpr const char* process_failure_text = "Unable to create Quillmark process";
inline constexpr const char* process_failure_caption = "Quillmark";

// The properties program, found beside the check-in program.
inline constexpr const char* properties_program = "Quillmark_Property";

// One item the person selected, as the file manager reports it.
struct selected_item {
    std::string path;  // local, absolute, in UTF-8
    bool is_directory = false;
};

enum class message_icon { information, exclamation, error };

struct shell_message {
    std::string text;
    std::string caption;
    message_icon icon = message_icon::information;
};

// How a message travels to the Quillmark_Shell program, which shows it:
// "--message", the caption, the icon ("information", "exclamation" or
// "error") and the text, each one argument.
inline constexpr const char* message_option = "--message";
std::vector<std::string> message_arguments(const shell_message& message);
// The message of such arguments (the option included); nullopt for others.
std::optional<shell_message> message_from_arguments(std::span<const std::string> arguments);

// Shows messages to the person, each as a message box.
class shell_prompter {
  public:
    virtual ~shell_prompter() = default;
    virtual void message(const shell_message& message) = 0;
};

// The selected files, folders left out, in the order selected.
struct selection {
    std::vector<std::string> files;  // what the check-in program is given
    // Files whose path holds "#" or ",": the check-in program's command line
    // would cut them into wrong paths, so they are left out.
    std::vector<std::string> refused;

    bool empty() const { return files.empty() && refused.empty(); }
    // The files joined by "#": the check-in program's command line (form A).
    std::string text() const;
};

selection select_files(std::span<const selected_item> items);

// The one file among the items (folders do not count); null when there are
// none or several.
const selected_item* single_file(std::span<const selected_item> items);

// What the context menu offers for the selected items: the check-in for any
// selection, folders alone included (start_checkin then tells the person to
// select a file), the properties program too when exactly one file is selected.
enum class menu_command { checkin, properties };
std::vector<menu_command> menu_for(std::span<const selected_item> items);

// Starts the check-in program (the registry's "QuillmarkPath", under the
// machine's Quillmark key) on the selection's files, without waiting for it.
// Tells the person first which files were left out, then why nothing could
// be started: "Unable to open registry" (no key), "Unable to create
// Quillmark process" (no such program, or no value), or that the files are
// too many for one command line. Returns whether the program was started.
// A selection of folders alone starts nothing and gets the check-in
// program's own answer to a command line without a file: gui::no_file_text,
// caption "Quillmark", error icon.
bool start_checkin(const selection& chosen, shell_prompter& prompts);

// Starts the properties program (properties_program in the check-in
// program's folder) on one local file, without waiting; the same messages
// when it cannot be.
bool start_properties(const std::string& local_path, shell_prompter& prompts);

// One vault file on the page.
struct page_file {
    std::string vault_path;
    std::vector<gui::version_row> versions;  // oldest first
};

// A page never lists more vault files than this, so that it costs a bounded
// number of queries however many source paths contain the file's.
inline constexpr std::size_t page_file_limit = 16;

// The "Quillmark" page of one file: the vault files checked in from a source
// path containing its path (matched as written: "%" and "_" are ordinary
// characters), sorted by vault path, each with its versions.
struct shell_page {
    std::string local_path;
    std::string file_name;  // after the last "/"
    std::vector<page_file> files;
    std::size_t more = 0;  // matching vault files beyond page_file_limit
};

// What the page says about the vault files it leaves out.
std::string page_more_text(std::size_t more);

// The page for the selected items: only when exactly one file is selected
// (folders do not count) and the vault knows it. Throws what the core throws.
std::optional<shell_page> page_for(repository& repo, std::span<const selected_item> items);

// The extension's hold on the current user's vault in the file manager's
// process: opened read-only at first need and kept while the process runs,
// as the Windows module keeps its repository from load to unload.
class vault_holder {
  public:
    vault_holder();
    ~vault_holder();
    vault_holder(const vault_holder&) = delete;
    vault_holder& operator=(const vault_holder&) = delete;

    // Null when the current user has no vault (no "db_path") or it cannot
    // be opened; the extension then offers nothing. "db_path" is read at
    // every call: a vault that is removed or changed is followed, and a
    // failed open is tried again. Nothing here throws.
    repository* vault() noexcept;

  private:
    std::unique_ptr<repository> repo_;
    std::string opened_path_;
};

}  // namespace tuv::shell
