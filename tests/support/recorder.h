// A program that stands in for another one in tests (the check-in program,
// Quillmark_Shell): test_recorder writes the arguments it was started with
// to the file that QUILLMARK_TEST_RECORD names, whole or not at all, and
// ends. On Windows, which passes a command line, it records the name it was
// started by and the rest of the line after one blank, in UTF-8. Its path is
// the macro QUILLMARK_TEST_RECORDER in the tests that link
// quillmark_test_recorder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/checks.h"

namespace tuv::test {

inline constexpr const char* record_variable = "QUILLMARK_TEST_RECORD";

// The arguments the recorder got (its own name first) once `record` holds
// them; empty when they have not appeared within five seconds. A record is
// never empty, so an empty read is one the system has not finished showing:
// under Wine the file may show its size and still read as nothing, or not
// open, for a moment after the recorder renamed it into place.
inline std::vector<std::string> recorded_arguments(const std::filesystem::path& record) {
    std::string text = file_contents(record);
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        text = file_contents(record);
    }
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\0', start);
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

}  // namespace tuv::test
