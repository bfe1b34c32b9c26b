// test_recorder: see tests/support/recorder.h.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* record = std::getenv("QUILLMARK_TEST_RECORD");
    if (record == nullptr) return 2;
    const std::string temp = std::string(record) + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary);
        for (int i = 0; i < argc; ++i) out << argv[i] << '\0';
        if (!out) return 1;
    }
    return std::rename(temp.c_str(), record) == 0 ? 0 : 1;
}
