// A small registry layer with the Windows semantics the programs need: keys
// under three roots holding text values.
//
// On Windows it is the real registry. When QUILLMARK_REGISTRY_KEY is set and
// non-empty, the three roots are instead the keys
// HKEY_CURRENT_USER\<that key>\<root name>: a registry apart, for tests.
//
// Elsewhere it stands in for the Windows registry, stored as one ".reg" text
// file per root. Files live in registry_directory(): $QUILLMARK_REGISTRY_DIR
// when set and non-empty, else $XDG_CONFIG_HOME/quillmark/registry when that
// is set to an absolute path, else $HOME/.config/quillmark/registry. The
// folder is created on the first write. A missing file is an empty root.
//
// Semantics follow Windows where the programs rely on them:
// - key and value names compare case-insensitively (ASCII letters only);
//   sub-key paths use backslashes, "" names the root itself;
// - a key exists when its own section or any section below it is in the file;
// - the empty value name is the key's default value;
// - only text values are read and written. Values of other types (dword:,
//   hex:...) in a file are kept on rewrite, but query() reports them as
//   missing; set() replaces them with text and remove() deletes them.
//
// Every read loads the file afresh, so it sees other processes' writes. Every
// write holds an exclusive flock on "<file>.lock", re-reads the file, applies
// the change and atomically replaces the file, so concurrent writers in any
// number of threads and processes never lose each other's values.
//
// Everything here throws registry_error for a malformed file (naming the file
// and line) and for I/O failures (naming the path and the system's reason).
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class registry_error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class registry_root { current_user, local_machine, classes_root };

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or "HKEY_CLASSES_ROOT".
std::string_view registry_root_name(registry_root root);

#ifndef _WIN32
// Resolved from the environment on every call. Throws registry_error when
// none of the variables gives a folder.
std::filesystem::path registry_directory();

// registry_directory() / "<root name>.reg".
std::filesystem::path registry_file(registry_root root);
#endif

// Where a root's keys are kept, for messages: its file, or on Windows its
// key ("HKEY_CURRENT_USER").
std::string registry_location(registry_root root);

// An open key. It remembers the file it was opened in, so a later change of
// the environment does not move it. Using a closed key throws registry_error.
class registry_key {
  public:
    registry_key(registry_key&& other) noexcept;
    registry_key& operator=(registry_key&& other) noexcept;
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;
    ~registry_key() = default;

    // The text value, nullopt when the value (or by now the key) is missing
    // or is not text. An empty value is an empty string, not nullopt.
    std::optional<std::string> query(const std::string& name) const;

    // Creates or replaces the value; re-creates the key if it has been removed
    // from the file meanwhile. Names and values must not contain NUL bytes.
    void set(const std::string& name, const std::string& value);

    // True when the value existed (of any type) and has been deleted.
    bool remove(const std::string& name);

    void close() noexcept { open_ = false; }
    bool is_open() const noexcept { return open_; }

    registry_root root() const noexcept { return root_; }
    const std::string& path() const noexcept { return path_; }

  private:
    friend std::optional<registry_key> open_registry_key(registry_root, const std::string&);
    friend registry_key create_registry_key(registry_root, const std::string&);

    registry_key(registry_root root, std::string path, std::filesystem::path file);
    void check_open() const;

    registry_root root_;
    std::string path_;
    std::filesystem::path file_;  // the root's file; empty on Windows
    bool open_ = true;
};

// Opens an existing key, nullopt when it does not exist. Throws registry_error
// for a malformed sub-key path (empty component, NUL or line break).
std::optional<registry_key> open_registry_key(registry_root root, const std::string& subkey);

// Opens the key, first adding it to the file when it does not exist yet.
registry_key create_registry_key(registry_root root, const std::string& subkey);

enum class key_removal {
    with_subkeys,  // the key and every key below it, values and all
    if_empty,      // only a key that holds neither values nor keys
};

// Removes a key as `how` says; true when something was removed. A missing
// key is no error. Open registry_key objects of a removed key stay usable:
// a set() on one creates the key again. Throws registry_error for the root
// ("") and for a malformed sub-key path.
bool remove_registry_key(registry_root root, const std::string& subkey,
                         key_removal how = key_removal::with_subkeys);

}  // namespace platform
