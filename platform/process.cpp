#include "platform/process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace platform {
namespace {

[[noreturn]] void fail(const std::filesystem::path& program, int error) {
    throw process_error("cannot start " + program.string() + ": " +
                        std::generic_category().message(error));
}

// Between fork and exec only async-signal-safe calls are allowed: the caller
// may be a file manager with many threads.
[[noreturn]] void report_and_exit(int pipe, int error) {
    while (::write(pipe, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

[[noreturn]] void run_grandchild(const char* path, char* const* argv, int pipe) {
    ::setsid();
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaults, nullptr);
    // Nothing of the caller's but the standard files reaches the program;
    // the pipe closes at exec too, which tells the caller it ran.
    ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(path, argv, environ);
    report_and_exit(pipe, errno);
}

}  // namespace

void start_detached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments) {
    // Everything the children need is made before the fork.
    const std::string name = program.filename().string();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(name.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) fail(program, errno);
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipe[0]);
        ::close(pipe[1]);
        fail(program, error);
    }
    if (child == 0) {
        // The intermediate: it ends at once, so the program is nobody's child
        // here and leaves no zombie in the caller.
        const pid_t grandchild = ::fork();
        if (grandchild < 0) report_and_exit(pipe[1], errno);
        if (grandchild == 0) run_grandchild(program.c_str(), argv.data(), pipe[1]);
        ::_exit(0);
    }
    ::close(pipe[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    // Either the program's exec closed the pipe (nothing to read) or a child
    // wrote why it could not go on.
    int error = 0;
    ssize_t count;
    while ((count = ::read(pipe[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(pipe[0]);
    if (count == static_cast<ssize_t>(sizeof error)) fail(program, error);
}

}  // namespace platform
