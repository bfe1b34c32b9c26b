// Loads a Nautilus extension as Nautilus does (dlopen, every symbol bound
// now) and looks up its three module functions. Exit 0 when all are there;
// otherwise 1 with the loader's reason.
//
//   load_extension LIBRARY
#include <dlfcn.h>

#include <cstdio>
#include <initializer_list>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: load_extension LIBRARY\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    int status = 0;
    for (const char* name :
         {"nautilus_module_initialize", "nautilus_module_shutdown", "nautilus_module_list_types"}) {
        if (dlsym(library, name) == nullptr) {
            std::fprintf(stderr, "%s has no %s\n", argv[1], name);
            status = 1;
        }
    }
    dlclose(library);
    return status;
}
