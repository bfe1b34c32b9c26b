#include "export/export_command.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/repository.h"
#include "export/export_engine.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"

namespace tuv {
namespace {

// Exit codes (see README): a run that could not export everything says so.
constexpr int exit_ok = 0;
constexpr int exit_incomplete = 1;  // some source, file or version was not exported
constexpr int exit_usage = 2;       // the command line is wrong
constexpr int exit_no_vault = 3;    // no vault registered, or it cannot be opened

struct option_letter {
    char letter;
    bool is_filter;  // else the version mode
    int value;
};
constexpr option_letter letters[] = {{'f', true, 1},  {'d', true, 2},  {'b', true, 3},
                                     {'l', false, 1}, {'a', false, 2}, {'o', false, 3}};

struct export_arguments {
    version_mode mode = version_mode::latest;
    entry_filter filter = entry_filter::both;
    std::vector<std::string> sources;
    std::string destination;
};

// The arguments after the program's name; on a wrong command line the
// message for it.
std::optional<export_arguments> parse(const std::vector<std::string>& args, std::string& problem) {
    if (args.size() < 2) {
        problem = "Invalid number of arguments";
        return std::nullopt;
    }
    const bool has_options = args.front().starts_with("-");
    if (has_options && args.size() < 3) {
        problem = "Invalid number of arguments";
        return std::nullopt;
    }
    export_arguments parsed;
    if (has_options) {
        const std::string& word = args.front();
        if (word.size() > 3) {
            problem = "Invalid number of options";
            return std::nullopt;
        }
        // A group that gets no letter keeps its default; letters of one
        // group OR together.
        int filter = 0;
        int mode = 0;
        for (const char letter : word.substr(1)) {
            const auto found =
                std::find_if(std::begin(letters), std::end(letters),
                             [letter](const option_letter& o) { return o.letter == letter; });
            if (found == std::end(letters)) {
                problem = "Invalid option";
                return std::nullopt;
            }
            (found->is_filter ? filter : mode) |= found->value;
        }
        if (filter != 0) parsed.filter = static_cast<entry_filter>(filter);
        if (mode != 0) parsed.mode = static_cast<version_mode>(mode);
    }
    parsed.sources.assign(args.begin() + (has_options ? 1 : 0), args.end() - 1);
    parsed.destination = args.back();
    // An empty word is a slip (an unset shell variable), never a request for
    // the current folder or for every entry of that name.
    if (parsed.destination.empty()) {
        problem = "Invalid destination: the folder name is empty";
        return std::nullopt;
    }
    if (std::find(parsed.sources.begin(), parsed.sources.end(), "") != parsed.sources.end()) {
        problem = "Invalid source: the vault path is empty";
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

int run_export_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::optional<std::string> db_path;
    try {
        db_path = platform::read_db_path();
    } catch (const platform::registry_error& error) {
        out << with_control_pictures(error.what()) << '\n';
        return exit_no_vault;
    }
    if (!db_path) {
        err << "No vault is registered for this user (registry value db_path)\n";
        return exit_no_vault;
    }

    std::unique_ptr<repository> repo;
    try {
        // This process's one repository: the program runs one command, and
        // only reads the vault.
        repo = std::make_unique<repository>(*db_path, repository::access::read_only);
    } catch (const tuv_error& error) {
        out << with_control_pictures(error.what()) << '\n';
        return exit_no_vault;
    }

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string problem;
    const std::optional<export_arguments> parsed = parse(args, problem);
    if (!parsed) {
        err << problem << '\n' << export_usage << '\n';
        return exit_usage;
    }

    int failures = 0;
    for (const std::string& source : parsed->sources) {
        export_engine engine(*repo, source, path_from_utf8(parsed->destination), parsed->mode,
                             parsed->filter, out, err);
        engine.run();
        failures += engine.failures();
    }
    out.flush();
    return failures == 0 ? exit_ok : exit_incomplete;
}

}  // namespace tuv
