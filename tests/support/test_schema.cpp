#include "tests/support/test_schema.h"

#include <unistd.h>

#include <cstdlib>

#include "core/db/open_database.h"

namespace tuv::test {

test_schema::test_schema() {
#ifdef QUILLMARK_HAS_POSTGRES
    const char* server = std::getenv("QUILLMARK_TEST_PG");
    if (server == nullptr || *server == '\0') return;
    static int made = 0;
    name_ = "t" + std::to_string(getpid()) + "_" + std::to_string(++made);
    admin_ = open_database(server, db_open_mode::existing);
    admin_->execute("CREATE SCHEMA " + name_);
    const std::string base(server);
    address_ = base + (base.find('?') == std::string::npos ? "?" : "&") +
               "options=-csearch_path%3D" + name_;
#endif
}

test_schema::~test_schema() {
    if (!admin_) return;
    try {
        admin_->execute("DROP SCHEMA " + name_ + " CASCADE");
    } catch (...) {
        // The cluster goes at the end of the run anyway.
    }
}

}  // namespace tuv::test
