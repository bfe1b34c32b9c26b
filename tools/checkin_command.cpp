#include "tools/checkin_command.h"

#include <chrono>
#include <iomanip>
#include <sstream>

#include "core/progress_observer.h"
#include "core/repository.h"
#include "core/vault_path.h"

namespace tuv::tools {
namespace {

using clock = std::chrono::steady_clock;

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
        : out_(out), name_(std::move(name)), size_(static_cast<double>(size)) {}

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
    }

  private:
    std::ostream& out_;
    std::string name_;
    double size_;
    clock::time_point start_ = clock::now();
    int last_ = -1;
};

}  // namespace

int run_checkin(repository& repo, const checkin_request& request, std::ostream& out,
                std::ostream& err, bool terminal) {
    int failed = 0;
    const std::string& separator = repo.path_separator();
    const std::string directory = request.directory.empty() ? separator : request.directory;
    for (const auto& file : request.files) {
        std::error_code ignored;
        const std::uintmax_t size = std::filesystem::file_size(file, ignored);
        progress_bar bar(out, file.filename().string(), size == std::uintmax_t(-1) ? 0 : size);
        if (terminal) repo.set_observer(&bar);
        const auto start = clock::now();
        try {
            repo.checkin_file(file, directory, request.date, "text/plain", request.description);
            bar.clear();
            const double elapsed = seconds_since(start);
            out << "Checked in " << file.string() << " as "
                << join_vault_path(directory, file.filename().string(), separator) << ": " << size
                << " bytes in " << std::fixed << std::setprecision(2) << elapsed << " s ("
                << rate(static_cast<double>(size), elapsed) << ")\n";
        } catch (const std::exception& e) {
            bar.clear();
            err << "quillmark: " << file.string() << ": " << e.what() << "\n";
            ++failed;
        }
        repo.set_observer(nullptr);
    }
    return failed;
}

}  // namespace tuv::tools
