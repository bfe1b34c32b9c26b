#include "tools/stats_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iomanip>
#include <string>

#include "core/vault/vault_stats.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {
namespace {

void line(std::ostream& out, const char* label, const std::string& value) {
    out << "  " << std::left << std::setw(16) << label << value << "\n";
}

std::string ratio(const std::optional<double>& r) {
    if (!r) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", *r);
    return text;
}

}  // namespace

void run_stats(repository& repo, std::ostream& out) {
    const vault_stats stats = collect_vault_stats(repo);
    line(out, "Files", std::to_string(stats.files));
    line(out, "Directories", std::to_string(stats.directories));
    line(out, "Versions", std::to_string(stats.versions));
    line(out, "Chunks", std::to_string(stats.chunks));
    line(out, "Logical bytes", std::to_string(stats.logical_bytes));
    line(out, "Chunk bytes", std::to_string(stats.chunk_bytes));
    line(out, "Stored bytes", std::to_string(stats.stored_bytes));
    line(out, "Dedup ratio", ratio(stats.dedup_ratio()));
    line(out, "Compression", ratio(stats.compression_ratio()));
    line(out, "Containers", std::to_string(stats.containers));
}

void add_stats_command(CLI::App& app, command_context& context) {
    app.add_subcommand("stats", "Show the vault's figures: versions, bytes, dedup")
        ->callback([&context] {
            run_stats(*open_vault(context.db_option, repository::access::read_only), context.out);
        });
}

}  // namespace tuv::tools
