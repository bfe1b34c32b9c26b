#include "platform/CRegistry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/scoped_env.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::registry_root;

const std::string app_key = "SOFTWARE\\Marrowgate Software Lab\\Quillmark";

class CRegistry_test : public ::testing::Test {
  protected:
    void write_user_file(const std::string& text) const {
        std::ofstream(dir_ / "HKEY_CURRENT_USER.reg", std::ios::binary) << text;
    }

    tuv::test::temp_dir dir_;
    tuv::test::scoped_registry env_{dir_.path()};
};

TEST_F(CRegistry_test, missing_key_is_not_open_and_queries_fail) {
    const CRegistry registry(registry_root::current_user, app_key);
    EXPECT_FALSE(registry.is_open());
    std::string out = "stale";
    EXPECT_FALSE(registry.query("db_path", out));
    EXPECT_EQ(out, "");
}

TEST_F(CRegistry_test, present_key_answers_values_missing_and_empty) {
    write_user_file(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Marrowgate Software Lab\\Quillmark]\n"
        "\"db_path\"=\"/v/q.db\"\n\"blank\"=\"\"\n\"flag\"=dword:00000001\n");
    const CRegistry registry(registry_root::current_user, app_key);
    ASSERT_TRUE(registry.is_open());
    std::string out = "stale";
    EXPECT_TRUE(registry.query("db_path", out));
    EXPECT_EQ(out, "/v/q.db");
    EXPECT_TRUE(registry.query("blank", out));
    EXPECT_EQ(out, "");
    out = "stale";
    EXPECT_FALSE(registry.query("missing", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(registry.query("flag", out));
}

TEST_F(CRegistry_test, malformed_file_throws_instead_of_looking_missing) {
    const std::string file = (dir_ / "HKEY_CURRENT_USER.reg").string();
    write_user_file("Windows Registry Editor Version 5.00\n\n\"db_path\"=\"/v/q.db\"\n");
    try {
        CRegistry registry(registry_root::current_user, app_key);
        FAIL() << "no error";
    } catch (const platform::registry_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "malformed registry file " + file + ", line 3: value outside any key");
    }

    write_user_file("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n");
    const CRegistry registry(registry_root::current_user, "software");
    ASSERT_TRUE(registry.is_open());
    write_user_file(
        "Windows Registry Editor Version "
        "5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\"db_path\"=\"/v/q.db\n");
    std::string out;
    try {
        registry.query("db_path", out);
        FAIL() << "no error";
    } catch (const platform::registry_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "malformed registry file " + file + ", line 4: unterminated quoted text");
    }
}

}  // namespace
