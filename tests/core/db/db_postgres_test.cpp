// What a person is told when a PostgreSQL database cannot be opened. The
// cases that need a server use the one QUILLMARK_TEST_PG names
// (tests/support/pg_cluster), whose role quillmark_password has the
// password "right".
#include "core/db/db_postgres.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <ostream>

#include "core/base/errors.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace tuv {
namespace {

struct refusal {
    const char* name;
    bool needs_server;
    // Added to the test server's address, or the whole address without one.
    const char* address;
    // A ~/.pgpass line for the connection, or none.
    const char* password_line;
    // "{}" stands for the address.
    const char* message;
};

// Shown in test names and failures.
void PrintTo(const refusal& e, std::ostream* out) {
    *out << e.name;
}

class db_postgres_open_test : public ::testing::TestWithParam<refusal> {};

TEST_P(db_postgres_open_test, says_why_it_cannot_open) {
    const refusal& c = GetParam();
    std::string address = c.address;
    if (c.needs_server) {
        const char* server = std::getenv("QUILLMARK_TEST_PG");
        if (server == nullptr || *server == '\0') GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
        address = server + address;
    }
    test::temp_dir folder;
    const auto pgpass = folder / "pgpass";
    std::ofstream(pgpass) << (c.password_line != nullptr ? c.password_line : "");
    std::filesystem::permissions(
        pgpass, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    test::scoped_env passfile("PGPASSFILE", pgpass.string());
    test::scoped_env no_password("PGPASSWORD", std::nullopt);

    std::string expected = c.message;
    if (const auto at = expected.find("{}"); at != std::string::npos) {
        // The address as shown: never with its password.
        std::string shown = address;
        if (const auto secret = shown.find(":secret"); secret != std::string::npos) {
            shown.erase(secret, 7);
        }
        expected.replace(at, 2, shown);
    }
    db_postgres database;
    try {
        database.open(address);
        FAIL() << "no exception";
    } catch (const db_exception& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }
}

std::string case_name(const ::testing::TestParamInfo<refusal>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    causes, db_postgres_open_test,
    ::testing::Values(
        refusal{"malformed_address", false, "postgresql://host/db?colour=blue", nullptr,
                "Invalid database address \"{}\": invalid URI query parameter: \"colour\""},
        refusal{"no_server", false, "postgresql://someone:secret@/db?host=/nonexistent-qm", nullptr,
                "Cannot reach the database server of {}: connection to server on socket "
                "\"/nonexistent-qm/.s.PGSQL.5432\" failed: No such file or directory"},
        refusal{"no_password", true, "&user=quillmark_password", nullptr,
                "The database server of {} asks for a password and none was found in "
                "~/.pgpass, PGPASSFILE or the service file"},
        refusal{"wrong_password", true, "&user=quillmark_password",
                "*:*:*:quillmark_password:wrong\n",
                "The database server of {} refused the user name or password"},
        refusal{"no_database", true, "&dbname=quillmark_nowhere", nullptr,
                "Cannot open the database {}: database \"quillmark_nowhere\" does not exist"}),
    case_name);

TEST(db_postgres_test, the_right_password_from_the_password_file_opens) {
    const char* server = std::getenv("QUILLMARK_TEST_PG");
    if (server == nullptr || *server == '\0') GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
    test::temp_dir folder;
    const auto pgpass = folder / "pgpass";
    std::ofstream(pgpass) << "*:*:*:quillmark_password:right\n";
    std::filesystem::permissions(
        pgpass, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    test::scoped_env passfile("PGPASSFILE", pgpass.string());
    db_postgres database;
    database.open(std::string(server) + "&user=quillmark_password");
    auto rows = database.query("SELECT current_user");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->get_string(0), "quillmark_password");
}

}  // namespace
}  // namespace tuv
