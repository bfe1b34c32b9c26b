#include "export/export_command.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/repository.h"
#include "export/export_engine.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"

namespace tuv {
namespace {

constexpr int exit_code = 0;

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
            switch (letter) {
                case 'f': filter |= 1; break;
                case 'd': filter |= 2; break;
                case 'b': filter |= 3; break;
                case 'l': mode |= 1; break;
                case 'a': mode |= 2; break;
                case 'o': mode |= 3; break;
                default:
                    problem = "Invalid option";
                    return std::nullopt;
            }
        }
        if (filter != 0) parsed.filter = static_cast<entry_filter>(filter);
        if (mode != 0) parsed.mode = static_cast<version_mode>(mode);
    }
    parsed.sources.assign(args.begin() + (has_options ? 1 : 0), args.end() - 1);
    parsed.destination = args.back();
    return parsed;
}

}  // namespace

int run_export_command(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::optional<std::string> db_path;
    try {
        db_path = platform::read_db_path();
    } catch (const platform::registry_error& error) {
        out << error.what() << '\n';
        return exit_code;
    }
    if (!db_path) return exit_code;

    std::unique_ptr<repository> repo;
    try {
        // This process's one repository: the program runs one command.
        repo = std::make_unique<repository>(*db_path);
    } catch (const tuv_error& error) {
        out << error.what() << '\n';
        return exit_code;
    }

    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string problem;
    const std::optional<export_arguments> parsed = parse(args, problem);
    if (!parsed) {
        err << problem << '\n' << export_usage << '\n';
        return exit_code;
    }

    for (const std::string& source : parsed->sources) {
        export_engine engine(*repo, source, parsed->destination, parsed->mode, parsed->filter, out,
                             err);
        engine.run();
    }
    out.flush();
    return exit_code;
}

}  // namespace tuv
