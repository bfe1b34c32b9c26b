// Quillmark_Checkin_scripted: the check-in program with the script of
// QUILLMARK_CHECKIN_SCRIPT in the person's place (script_hook.h).
#include "checkin/checkin_main.h"
#include "tests/checkin/script_hook.h"

int main(int argc, char** argv) {
    return tuv::checkin_app::checkin_main(argc, argv,
                                      [] { return tuv::checkin_app::script_hook::from_environment(); });
}
