// Memory for a program that does one job and ends: the command line, the
// export utility, the check-in program.
#pragma once

namespace platform {

// Asks the C library to keep memory the program frees for its next
// allocations instead of handing it back to the system, large blocks
// included. A check-in or an export allocates and frees buffers of a few
// hundred KiB for every file; each page handed back comes back as new, one
// page fault per 4 KiB, and on a virtual machine a fault costs more than
// filling the page. The program's peak stays what it was: only what it
// used before is kept. Call at the start of main(), before any thread
// starts. Does nothing where the C library has no such settings (Windows).
void keep_freed_memory();

}  // namespace platform
