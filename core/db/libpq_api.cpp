#include "core/db/libpq_api.h"

#include <dlfcn.h>

#include <string>

#include "core/base/errors.h"

namespace tuv {
namespace {

// The name the linker would have recorded: the library's ABI, not whichever
// libpq.so a development package happens to point at.
constexpr const char* library_name = "libpq.so.5";

[[noreturn]] void not_loaded(const char* reason) {
    throw db_exception(
        std::string("Cannot open a PostgreSQL database: libpq could not be loaded (") +
        (reason != nullptr ? reason : "unknown reason") + ")");
}

libpq_api load() {
    // Never closed: connections and results may live until the program ends.
    void* library = dlopen(library_name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) not_loaded(dlerror());
    libpq_api api{};
#define TUV_LIBPQ_LOAD(name)                                                \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(library, #name)); \
    if (api.name == nullptr) not_loaded(dlerror());
    TUV_LIBPQ_FUNCTIONS(TUV_LIBPQ_LOAD)
#undef TUV_LIBPQ_LOAD
    return api;
}

}  // namespace

const libpq_api& libpq() {
    // A throwing initialiser leaves the static unset, so a later call tries
    // again (after the package is installed, say).
    static const libpq_api api = load();
    return api;
}

}  // namespace tuv
