// Quillmark_Export's command line: the fuzz data split at NULs is the
// argument list. It runs against a small vault registered in a private
// registry, in a working folder of its own; '/' is turned into '_' in every
// argument, so whatever the line asks for is written inside that folder
// (the parser gives '/' no meaning). Properties: the exit code says what
// happened; a refused line is exactly one of the five messages, then the
// usage.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "core/vault/installer.h"
#include "core/vault/repository.h"
#include "export/export_command.h"
#include "export/export_engine.h"
#include "fuzz/fuzz_check.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

// Made once per fuzzing run and removed at its end: the vault, its
// registration and the folder the exports land in, which is emptied after
// every input.
class sandbox {
  public:
    sandbox() {
        std::string pattern = (fs::temp_directory_path() / "quillmark-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        root_ = pattern;
        setenv("QUILLMARK_REGISTRY_DIR", (root_ / "registry").c_str(), 1);
        tuv::vault_options options;
        options.directory = root_ / "vault";
        const tuv::vault_layout layout = tuv::install_vault(options);
        {
            tuv::repository repo(layout.database.string());
            const fs::path source = root_ / "a.txt";
            std::ofstream(source) << "first";
            repo.checkin_file(source, "\\d", "2024-01-02 03:04:05", "text/plain", "one");
            std::ofstream(source) << "second";
            repo.checkin_file(source, "\\d", "2024-02-03 04:05:06", "text/plain", "two");
        }
        platform::create_registry_key(platform::registry_root::current_user,
                                      platform::quillmark_key)
            .set(platform::db_path_value, layout.database.string());
        fs::create_directory(out());
        fs::current_path(out());
    }
    ~sandbox() {
        std::error_code ignored;
        fs::current_path(root_.parent_path(), ignored);
        fs::remove_all(root_, ignored);
    }
    sandbox(const sandbox&) = delete;
    sandbox& operator=(const sandbox&) = delete;

    fs::path out() const { return root_ / "out"; }

    // Back to a vault and an empty output folder. ".." reaches the
    // sandbox's own folder: what an export may have put there goes too.
    void tidy() const {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(out(), ignored)) {
            fs::remove_all(entry, ignored);
        }
        fs::remove(root_ / tuv::export_log_name, ignored);
        fs::remove_all(root_ / "d", ignored);
    }

  private:
    fs::path root_;
};

bool is_refusal(const std::string& err) {
    for (const char* problem :
         {"Invalid number of arguments\n", "Invalid number of options\n", "Invalid option\n",
          "Invalid destination: the folder name is empty\n",
          "Invalid source: the vault path is empty\n"}) {
        if (err == problem + std::string(tuv::export_usage) + "\n") return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sandbox box;  // one per run: the vault takes a while to make

    std::vector<std::string> args{"Quillmark_Export", std::string()};
    for (std::size_t i = 0; i < size && args.size() <= 9; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\0') {
            args.emplace_back();
        } else {
            args.back() += c == '/' ? '_' : c;
        }
    }
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());

    std::ostringstream progress, problems;
    const int code =
        tuv::run_export_command(static_cast<int>(argv.size()), argv.data(), progress, problems);
    // 0 all exported, 1 something was not, 2 a refused line; never 3 (no
    // vault), as one is registered and sound.
    FUZZ_CHECK(code == 0 || code == 1 || code == 2);
    FUZZ_CHECK((code == 2) == is_refusal(problems.str()));

    box.tidy();
    return 0;
}
