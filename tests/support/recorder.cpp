// test_recorder: see tests/support/recorder.h.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>

#include "platform/wide_text.h"
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Windows hands a program one command line, not arguments: what a Windows
// program reads is the name it was started by and the rest after one blank,
// here in UTF-8.
std::vector<std::string> arguments(int, char**) {
    const std::string line = platform::to_utf8(::GetCommandLineW());
    std::size_t name_end = line.find(' ');
    std::string name = line.substr(0, name_end);
    if (!line.empty() && line[0] == '"') {
        name_end = line.find('"', 1);
        name = line.substr(1, name_end == std::string::npos ? name_end : name_end - 1);
        if (name_end != std::string::npos) ++name_end;
    }
    std::vector<std::string> result{name};
    if (name_end < line.size() && line[name_end] == ' ') result.push_back(line.substr(name_end + 1));
    return result;
}
#else
std::vector<std::string> arguments(int argc, char** argv) {
    return {argv, argv + argc};
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("QUILLMARK_TEST_RECORD");
    if (record == nullptr) return 2;
    const std::string temp = std::string(record) + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary);
        for (const std::string& argument : arguments(argc, argv)) out << argument << '\0';
        if (!out) return 1;
    }
    return std::rename(temp.c_str(), record) == 0 ? 0 : 1;
}
