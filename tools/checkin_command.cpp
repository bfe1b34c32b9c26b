#include "tools/checkin_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <functional>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/base/vault_path.h"
#include "core/vault/checkin_group.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"
#include "core/vault/writer_lock.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {
namespace {

using clock = std::chrono::steady_clock;

constexpr const char* not_regular = "not a regular file; not checked in";

// A file that was not checked in, in one line: "quillmark: <path>: <why>".
void report_failure(std::ostream& err, const std::filesystem::path& path, const std::string& why) {
    err << "quillmark: " << with_control_pictures(utf8_of(path)) << ": "
        << with_control_pictures(why) << "\n";
}

double seconds_since(clock::time_point start) {
    return std::chrono::duration<double>(clock::now() - start).count();
}

std::string megabytes(double bytes) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << bytes / 1e6 << " MB";
    return text.str();
}

std::string rate(double bytes, double seconds) {
    return seconds > 0 ? megabytes(bytes / seconds) + "/s" : std::string("-");
}

// One line, redrawn in place whenever the percentage moves:
//   report.pdf [##########          ]  50 %  12.5 MB / 25.0 MB  210.3 MB/s
class progress_bar : public progress_observer {
  public:
    progress_bar(std::ostream& out, std::string name, std::uintmax_t size)
        : out_(out), name_(with_control_pictures(name)), size_(static_cast<double>(size)) {}

    void update(int percent) override {
        if (percent == last_) return;
        last_ = percent;
        const double done = size_ * percent / 100.0;
        const int filled = percent / 5;
        out_ << "\r" << name_ << " [" << std::string(filled, '#') << std::string(20 - filled, ' ')
             << "] " << std::setw(3) << percent << " %  " << megabytes(done) << " / "
             << megabytes(size_) << "  " << rate(done, seconds_since(start_)) << std::flush;
    }

    // Clears the bar, so the file's final line takes its place.
    void clear() {
        if (last_ >= 0) out_ << "\r\033[K" << std::flush;
        last_ = -1;
    }

  private:
    std::ostream& out_;
    std::string name_;
    double size_;
    clock::time_point start_ = clock::now();
    int last_ = -1;
};

// A local file and the vault directory it goes to.
struct checkin_item {
    std::filesystem::path file;
    std::string directory;
};

using report_fn = std::function<void(const std::filesystem::path&, const std::string&)>;

// Gathers the regular files below `folder` in path order; symbolic links
// to files count, links to folders are not followed (they could loop).
void gather(const std::filesystem::path& folder, std::vector<std::filesystem::path>& files,
            const report_fn& report) {
    namespace fs = std::filesystem;
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator walk(folder, error); !error && walk != fs::directory_iterator();
         walk.increment(error)) {
        entries.push_back(*walk);
    }
    if (error) report(folder, "cannot list the folder: " + error.message());
    std::sort(entries.begin(), entries.end());
    for (const fs::directory_entry& entry : entries) {
        std::error_code ignored;
        if (entry.is_directory(ignored)) {
            if (entry.is_symlink(ignored)) {
                report(entry.path(), "a link to a folder; not followed");
            } else {
                gather(entry.path(), files, report);
            }
        } else if (entry.is_regular_file(ignored)) {
            files.push_back(entry.path());
        } else {
            report(entry.path(), not_regular);
        }
    }
}

// The files below `folder`, in path order, each placed below `directory` in
// a vault directory of the folder's name. Problems are reported on `err`
// and counted in `failed`.
void add_folder(const std::filesystem::path& folder, const std::string& directory,
                const std::string& separator, std::vector<checkin_item>& items, std::ostream& err,
                int& failed) {
    namespace fs = std::filesystem;
    fs::path name = folder.lexically_normal().filename();
    if (name.empty() || name == "." || name == "..") {
        std::error_code ignored;
        name = fs::weakly_canonical(folder, ignored).filename();
    }
    if (name.empty()) {
        report_failure(err, folder, "a folder without a name; check in what is below it");
        ++failed;
        return;
    }
    std::vector<fs::path> files;
    gather(folder, files, [&](const fs::path& path, const std::string& what) {
        report_failure(err, path, what);
        ++failed;
    });
    const std::string root = join_vault_path(directory, utf8_of(name), separator);
    for (fs::path& file : files) {
        std::string vault = root;
        for (const fs::path& part : file.lexically_relative(folder).parent_path()) {
            vault = join_vault_path(vault, utf8_of(part), separator);
        }
        items.push_back({std::move(file), std::move(vault)});
    }
}

// A version dated far ahead locks the check-in program, whose dates stop at
// today, out of the file until that day: taken only when it is meant. A
// date that does not parse is left to the check-in, which says why.
void refuse_far_future(const std::string& when) {
    if (when == "now") return;
    std::optional<date> moment;
    try {
        moment.emplace(when);
    } catch (const tuv_error&) {
        return;
    }
    if (moment->seconds() <= std::time(nullptr) + 24 * 60 * 60) return;
    throw CLI::ValidationError(
        "--date", moment->to_text() +
                      " is more than a day after now, and until then the check-in program "
                      "cannot add a version of these files; add --future if it is meant");
}

}  // namespace

int run_checkin(repository& repo, const checkin_request& request, std::ostream& out,
                std::ostream& err, bool terminal) {
    int failed = 0;
    const std::string& separator = repo.path_separator();
    const std::string directory = request.directory.empty() ? separator : request.directory;
    std::vector<checkin_item> items;
    for (const auto& path : request.files) {
        std::error_code ignored;
        const auto status = std::filesystem::status(path, ignored);
        if (std::filesystem::is_directory(status)) {
            add_folder(path, directory, separator, items, err, failed);
        } else if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
            // A device or a FIFO could be read for ever, holding the writer lock.
            report_failure(err, path, not_regular);
            ++failed;
        } else {
            items.push_back({path, directory});
        }
    }
    // Files go in by groups, one sync and one commit each, and are reported
    // once their group is committed (core/vault/checkin_group.h). A file's
    // bar lives until then, as the file is written while the next one is
    // added.
    std::deque<progress_bar> bars;
    checkin_group group(repo, [&](const checkin_group::outcome& done) {
        if (!bars.empty()) {
            bars.front().clear();
            bars.pop_front();
        }
        if (done.error) {
            try {
                std::rethrow_exception(done.error);
            } catch (const std::exception& e) {
                report_failure(err, done.source, e.what());
            }
            ++failed;
            return;
        }
        // Names and paths may hold any character; each report stays one line.
        const std::string file = with_control_pictures(utf8_of(done.source));
        const checkin_result& result = done.result;
        const std::string vault_path = with_control_pictures(result.vault_path);
        const double elapsed = done.time.count();
        out << "Checked in " << file << " as " << vault_path << ": " << result.size << " bytes in "
            << std::fixed << std::setprecision(2) << elapsed << " s ("
            << rate(static_cast<double>(result.size), elapsed) << ")\n";
        if (result.moved) {
            out << "Note: the time now is not later than the latest version of " << vault_path
                << ", so this version is dated a second after it: " << date(result.moment).to_text()
                << "\n";
        }
        if (result.changed_while_read()) {
            err << "quillmark: warning: " << file
                << " changed while it was read; the version holds the " << result.size
                << " bytes read (it had " << result.size_at_open
                << " bytes when the check-in began and has " << result.size_at_end << " now)\n";
        }
    });
    for (const auto& [file, folder] : items) {
        progress_bar* bar = nullptr;
        if (terminal) {
            std::error_code ignored;
            const std::uintmax_t size = std::filesystem::file_size(file, ignored);
            bar = &bars.emplace_back(out, utf8_of(file.filename()),
                                     size == std::uintmax_t(-1) ? 0 : size);
        }
        group.add(file, folder, request.date, "text/plain", request.description, bar);
    }
    group.commit();
    return failed;
}

void add_checkin_command(CLI::App& app, command_context& context) {
    struct arguments {
        checkin_request request;
        std::vector<std::string> files;
        bool future = false;
    };
    auto args = std::make_shared<arguments>();
    checkin_request& request = args->request;
    auto* command = app.add_subcommand("checkin", "Check local files in as new versions");
    command
        ->add_option("FILE", args->files,
                     "Local files or folders (with every file below them), checked in in this "
                     "order")
        ->required();
    command->add_option("--to", request.directory, "Vault directory (default: the root)")
        ->type_name("VAULT_DIR");
    command->add_option("--date", request.date, "Date of the new versions (default: now)")
        ->type_name("\"YYYY-MM-DD HH:MM:SS\"");
    command
        ->add_option("--description", request.description, "Description stored with each version")
        ->type_name("TEXT");
    command->add_flag("--future", args->future,
                      "Allow a --date more than a day after now (such a version cannot be "
                      "followed from the check-in program until that date)");
    note_control_pictures(*command);
    command->callback([&context, args] {
        // The vault opens first, so that a wrong one is reported as such;
        // then one writer at a time, whether this command or the check-in
        // program.
        if (!args->future) refuse_far_future(args->request.date);
        const std::string database = locate_vault(context.db_option);
        const auto repo = open_vault(database, repository::access::read_write);
        const auto writer =
            try_lock_writer(path_from_utf8(database), std::chrono::milliseconds(500));
        if (!writer) {
            context.err << "quillmark: another check-in is running; try again when it has "
                           "finished\n";
            context.exit_code = exit_failed;
            return;
        }
        for (const std::string& file : args->files) {
            args->request.files.push_back(path_from_utf8(file));
        }
        const int failed =
            run_checkin(*repo, args->request, context.out, context.err, context.env.terminal);
        context.exit_code = failed == 0 ? exit_ok : exit_failed;
    });
}

}  // namespace tuv::tools
