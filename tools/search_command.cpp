#include "tools/search_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/parse_time.h"
#include "core/vault/entry_paths.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/search.h"
#include "core/vault/search_form.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {
namespace {

// Local midnight of a "YYYY-MM-DD" day. A day the calendar does not have
// (2024-02-30) is refused rather than carried into the next month.
std::int64_t day_start(const std::string& text, const char* option) {
    std::tm tm{};
    const char* end = parse_time(text.c_str(), "%Y-%m-%d", tm);
    if (end != nullptr && *end == '\0' && text.size() == 10) {
        if (const std::optional<std::time_t> seconds = local_day_start(tm)) return *seconds;
    }
    throw tuv_error("Invalid date \"" + text + "\" for " + option + ": expected YYYY-MM-DD");
}

}  // namespace

void run_search(repository& repo, const search_options& options, std::ostream& out) {
    const std::string& separator = repo.path_separator();
    search_form form;
    form.name = options.name;
    form.description = options.description;
    if (options.from.empty() != options.to.empty()) {
        throw tuv_error(std::string("--from and --to must be given together"));
    }
    if (!options.from.empty()) {
        form.period_start = day_start(options.from, "--from");
        form.period_end = day_start(options.to, "--to");
    }

    const std::string under = options.under.empty() ? separator : options.under;
    if (!under.starts_with(separator)) {
        throw tuv_error("\"" + under + "\" is not a full vault path: it must begin with \"" +
                        separator + "\"");
    }
    const std::unique_ptr<file_entry> directory = repo.catalogue().resolve(under);
    if (!directory->is_directory()) throw tuv_error(under + " not a directory");
    form.directory = directory->full_path();

    const search_request request = build_search_request(form);
    std::vector<std::unique_ptr<file_entry>> results;
    search(repo, results, request.format, request.arguments);
    filter_search_results(results, form.directory, separator);

    entry_paths paths(separator);
    for (const auto& entry : results) {
        std::vector<std::tm> versions;
        repo.journal().get_change_range(entry->file_id(), 0, 0, LEVEL_ALL, 0, versions);
        out << with_control_pictures(paths.of(*entry)) << '\t' << versions.size() << '\t'
            << journal_moment_text(versions.front()) << '\t'
            << journal_moment_text(versions.back()) << '\n';
    }
}

void add_search_command(CLI::App& app, command_context& context) {
    auto options = std::make_shared<search_options>();
    auto* command = app.add_subcommand("search", "Find files by name, description and date");
    command->add_option("--name", options->name, "File name pattern; * matches any text")
        ->type_name("PATTERN");
    command
        ->add_option("--description", options->description,
                     "Description pattern; * matches any text")
        ->type_name("PATTERN");
    command->add_option("--from", options->from, "First day of the period (with --to)")
        ->type_name("YYYY-MM-DD");
    command->add_option("--to", options->to, "Last day of the period (with --from)")
        ->type_name("YYYY-MM-DD");
    command->add_option("--under", options->under, "Only files below this vault directory")
        ->type_name("VAULT_DIR");
    note_control_pictures(*command);
    command->callback([&context, options] {
        run_search(*open_vault(context.db_option, repository::access::read_only), *options,
                   context.out);
    });
}

}  // namespace tuv::tools
