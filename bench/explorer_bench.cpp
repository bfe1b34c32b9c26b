// The explorer's lists on a large vault, without a display: opening the vault
// with its top level, a folder of many files, a file of many versions and a
// refresh, each through the document, list rows and cabinet listing that both
// explorers (Qt and Win32) present. It builds on Windows too, where it runs
// under Wine. The vault is built once
// through the core (catalogue and journal rows, many per transaction, no
// content: the lists read neither) and kept for the next run.
//
//   explorer_bench [FOLDERS FILES_PER_FOLDER BIG_FOLDER_FILES VERSIONS]
//   defaults: 1000 100 10000 1000 (100,000 files in 1,000 folders, 3 versions
//   each, plus one folder of 10,000 files and one file of 1,000 versions)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/base/date.h"
#include "core/base/utf8_path.h"
#include "core/db/write_transaction.h"
#include "core/vault/installer.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "explorer/explorer_document.h"
#include "explorer/list_rows.h"
#include "explorer/pane_search.h"
#include "gui/cabinet_listing.h"
#include "tests/support/gui/quiet_presentation.h"
#include "tests/support/gui/scripted_prompter.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int versions_per_file = 3;
constexpr int cabinets = 10;

tuv::date moment(int serial) {
    return tuv::date(std::time_t{1767225600} + serial * 60);
}

std::int64_t add(tuv::repository& repo, const std::string& name, std::int64_t parent,
                 bool directory, int versions, int& serial) {
    const std::int64_t id =
        directory ? repo.catalogue().create_directory(name, parent, moment(serial))
                  : repo.catalogue().create_file(name, parent, 100, moment(serial), "text/plain");
    for (int v = 0; v < versions; ++v) {
        repo.journal().insert_change(id, v == 0 ? tuv::CHANGE_CREATED : tuv::CHANGE_MODIFIED,
                                     moment(serial++), "/bench/" + name,
                                     "version " + std::to_string(v));
    }
    return id;
}

void build(const fs::path& folder, int folders, int files, int big_files, int versions) {
    tuv::vault_options options;
    options.directory = folder;
    const tuv::vault_layout layout = tuv::install_vault(options);
    tuv::repository repo(layout.database.string());
    int serial = 0;
    tuv::write_transaction all(repo.database());
    std::int64_t cabinet_ids[cabinets];
    for (int c = 0; c < cabinets; ++c) {
        cabinet_ids[c] = add(repo, "Cabinet " + std::to_string(c), 1, true, 0, serial);
    }
    for (int f = 0; f < folders; ++f) {
        const std::int64_t id =
            add(repo, "Folder " + std::to_string(f), cabinet_ids[f % cabinets], true, 0, serial);
        for (int n = 0; n < files; ++n) {
            add(repo, "file " + std::to_string(n) + ".txt", id, false, versions_per_file, serial);
        }
    }
    const std::int64_t big = add(repo, "Big", 1, true, 0, serial);
    for (int n = 0; n < big_files; ++n) {
        add(repo, "big " + std::to_string(n) + ".txt", big, false, versions_per_file, serial);
    }
    add(repo, "many versions.txt", big, false, versions, serial);
    all.commit();
}

template <typename F>
double millis(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

long peak_mib() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<long>(counters.PeakWorkingSetSize >> 20);
#endif
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) return std::atol(line.c_str() + 6) / 1024;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int folders = argc > 4 ? std::atoi(argv[1]) : 1000;
    const int files = argc > 4 ? std::atoi(argv[2]) : 100;
    const int big_files = argc > 4 ? std::atoi(argv[3]) : 10000;
    const int versions = argc > 4 ? std::atoi(argv[4]) : 1000;
    const fs::path folder =
        fs::temp_directory_path() /
        ("quillmark-explorer-bench-" + std::to_string(folders) + "-" + std::to_string(files) + "-" +
         std::to_string(big_files) + "-" + std::to_string(versions));
    if (!fs::exists(folder / "quillmark.db")) {
        fs::remove_all(folder);
        const double ms = millis([&] { build(folder, folders, files, big_files, versions); });
        std::printf("built %s in %.1f s\n", tuv::utf8_of(folder).c_str(), ms / 1000);
    }

    tuv::gui::scripted_prompter prompts;
    tuv::explorer::quiet_presentation windows;
    std::unique_ptr<tuv::repository> repo;
    std::unique_ptr<tuv::explorer::explorer_document> doc;
    std::unique_ptr<tuv::explorer::list_rows> list;
    std::vector<tuv::gui::cabinet> tree;
    const auto shown = [&] { return static_cast<int>(list->shown()); };
    const double open_ms = millis([&] {
        repo = std::make_unique<tuv::repository>(tuv::utf8_of(folder / "quillmark.db"));
        doc = std::make_unique<tuv::explorer::explorer_document>(repo.get(), prompts, windows);
        list = std::make_unique<tuv::explorer::list_rows>(*doc);
        windows.on_reload = [&list] { list->reload(); };
        tree = tuv::gui::list_cabinets(*repo, doc->root_location());
        doc->go_to(doc->root_location());
    });
    const int top_rows = shown();
    const double big_ms = millis([&] { doc->go_to("\\Big"); });
    const int big_rows = shown();
    // What a view does when scrolled to the end: fetch the other pages.
    const double fetch_ms = millis([&] {
        while (list->has_more()) list->show_next(list->read_next_page());
    });
    const int all_rows = shown();
    const double versions_ms = millis([&] { list->navigate(all_rows - 1); });
    const int version_rows = shown();
    const double back_ms = millis([&] { list->navigate(0); });  // ".." to the folder
    const double refresh_ms = millis([&] {
        doc->refresh();
        tree = tuv::gui::list_cabinets(*repo, doc->root_location());
    });
    std::printf(
        "%d folders x %d files (%d versions each), a folder of %d files, a file of %d "
        "versions\n",
        folders, files, versions_per_file, big_files, versions);
    std::printf("%-44s %8.1f ms (%d rows, %d cabinets)\n", "open the vault and show the top level",
                open_ms, top_rows, static_cast<int>(tree.size()));
    std::printf("%-44s %8.1f ms (%d rows shown)\n", "list the folder of many files", big_ms,
                big_rows);
    std::printf("%-44s %8.1f ms (%d rows)\n", "  fetch the rest of its rows", fetch_ms, all_rows);
    std::printf("%-44s %8.1f ms (%d rows)\n", "list the versions of one file", versions_ms,
                version_rows);
    std::printf("%-44s %8.1f ms (%d rows shown)\n", "back from the versions to the folder", back_ms,
                shown());
    std::printf("%-44s %8.1f ms (%d rows shown)\n", "refresh (list and tree) in that folder",
                refresh_ms, shown());
    // The time line: a year of one cabinet's history at each unit.
    // The vault holds journal rows without content, so its span is the
    // journal's, not that of blocks it does not have.
    doc->set_time_span(moment(0).seconds(), moment(static_cast<int>(
                           (folders * files + big_files) * versions_per_file + versions)).seconds());
    doc->set_use_time_filter(true);
    const struct {
        const char* label;
        int level;
        double to;
    } units[] = {{"history of a year, day level", tuv::explorer::zoom_day, 365},
                 {"history of a year, month level", tuv::explorer::zoom_month, 11},
                 {"history of a year, year level", tuv::explorer::zoom_year, 0}};
    for (const auto& unit : units) {
        doc->set_zoom_level(unit.level);
        doc->set_selected_range(0, unit.to);
        const double ms = millis([&] { doc->go_to("\\Cabinet 0"); });
        std::printf("%-44s %8.1f ms (%d rows)\n", unit.label, ms, shown());
    }
    doc->set_use_time_filter(false);
    doc->go_to(doc->root_location());
    // The search pane over the whole vault, by name and by description.
    const struct {
        const char* label;
        const char* name;
        const char* description;
    } searches[] = {{"search by name (file 42*)", "file 42*", ""},
                    {"search by description (*version 2*)", "", "version 2"}};
    for (const auto& query : searches) {
        const double ms = millis(
            [&] { tuv::explorer::search_vault(*doc, query.name, query.description, nullptr); });
        std::printf("%-44s %8.1f ms (%zu results)\n", query.label, ms,
                    doc->search_results().size());
    }
    std::printf("%-44s %8ld MiB\n", "peak memory", peak_mib());
    return prompts.prompts().empty() ? 0 : 1;
}
