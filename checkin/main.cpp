// Quillmark_Checkin: checks the local files named on its command line into
// the vault, after asking where, when and why.
#include "checkin/checkin_main.h"
#include "platform/batch_memory.h"

int main(int argc, char** argv) {
    platform::keep_freed_memory();
    return tuv::checkin_app::checkin_main(argc, argv);
}
