// Quillmark_Property: shows what the vault knows about the local file named
// on its command line, and checks out any of its versions.
#include "property/property_main.h"

int main(int argc, char** argv) {
    return tuv::property::property_main(argc, argv);
}
