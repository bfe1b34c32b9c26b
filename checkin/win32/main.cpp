// Quillmark_Checkin for Windows: checks the files on its command line into
// the vault (checkin/checkin_program.h).
#include "checkin/win32/win32_checkin_windows.h"

int main() {
    return tuv::win32::checkin_main();
}
