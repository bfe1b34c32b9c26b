// Quillmark_Property for Windows: what the vault knows about the local file
// on its command line (property/property_program.h).
#include "property/win32/win32_property_windows.h"

int main() {
    return tuv::win32::property_main();
}
