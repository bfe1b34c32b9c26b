// The crash test's victim: checks in crash_step(n) for n = first, first + 1,
// ... until it is killed, in groups of a few files that share a
// transaction and a sync (checkin_group), and says on standard output
// where it is:
//   "ready"     the vault is open
//   "begin <n>" step n is added to the group (its moment may now be taken)
//   "done <n>"  step n has been reported checked in: its group is committed
// Lines are written with one write() each, unbuffered, so whatever the
// test reads after the kill was really said before it.
//
//   crash_checkin_child <vault database> <work folder> <first step>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "core/base/date.h"
#include "core/vault/checkin_group.h"
#include "core/vault/repository.h"
#include "tests/crash/crash_content.h"

namespace {

void say(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(STDOUT_FILENO, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::_Exit(3);  // the test is gone
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: crash_checkin_child <database> <work folder> <first step>\n");
        return 2;
    }
    try {
        tuv::repository repo(argv[1]);
        const std::filesystem::path work = argv[2];
        say("ready");
        // A bound, so a child the test failed to kill ends by itself.
        const long long first = std::stoll(argv[3]);
        // Groups of four: most kills land while a group holds files that
        // went in and are not committed yet. Steps take turns over five
        // names, each written into one of 64 folders in turn, so a source
        // is rewritten only long after its check-in (the group reads at
        // most 16 files ahead).
        long long reported = first;
        tuv::checkin_group group(
            repo,
            [&reported](const tuv::checkin_group::outcome& done) {
                if (done.error) std::rethrow_exception(done.error);
                say("done " + std::to_string(reported++));
            },
            tuv::checkin_group::limits{1 << 20, 4, std::chrono::seconds(10)});
        for (long long step = first; step < first + 100000; ++step) {
            const tuv::test::crash_version version = tuv::test::crash_step(step);
            const std::filesystem::path folder = work / std::to_string(step % 64);
            std::filesystem::create_directories(folder);
            const std::filesystem::path source = folder / version.name;
            std::ofstream(source, std::ios::binary | std::ios::trunc) << version.content;
            say("begin " + std::to_string(step));
            group.add(source, version.folder, tuv::date(version.moment).to_text(),
                      "application/octet-stream", "step " + std::to_string(step));
        }
        group.commit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crash_checkin_child: %s\n", e.what());
        return 1;
    }
    return 0;
}
