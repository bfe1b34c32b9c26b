#include "core/base/errors.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <type_traits>

namespace tuv {
namespace {

class errors_test : public ::testing::Test {
  protected:
    // What handlers for tuv_error and for std::runtime_error see of an error
    // thrown by value; both must see the same text.
    template <typename Error>
    static std::string caught(const Error& error) {
        std::string as_tuv;
        std::string as_runtime;
        try {
            throw error;
        } catch (const tuv_error& e) {
            as_tuv = e.what();
        }
        try {
            throw error;
        } catch (const std::runtime_error& e) {
            as_runtime = e.what();
        }
        EXPECT_EQ(as_tuv, as_runtime);
        return as_tuv;
    }
};

TEST_F(errors_test, code_gives_table_text) {
    const db_exception e(db_exception::connection_lost);
    EXPECT_EQ(e.code(), 4);
    EXPECT_STREQ(e.what(), "Database connection lost");
}

TEST_F(errors_test, message_has_no_code) {
    const tuv_error e(std::string("disk full"));
    EXPECT_EQ(e.code(), -1);
    EXPECT_STREQ(e.what(), "disk full");
}

TEST_F(errors_test, record_not_found_prefixes_detail) {
    EXPECT_STREQ(rec_not_found_exception("").what(), "Record Not Found : ");
    EXPECT_STREQ(rec_not_found_exception("x").what(), "Record Not Found : x");
}

TEST_F(errors_test, file_not_found_keeps_path_and_parent) {
    try {
        throw file_not_found_exception("a\\b", 7);
    } catch (const tuv_error& e) {
        EXPECT_STREQ(e.what(), "No such file or directory: a\\b");
        const auto* missing = dynamic_cast<const file_not_found_exception*>(&e);
        ASSERT_NE(missing, nullptr);
        EXPECT_EQ(missing->missing_path(), "a\\b");
        EXPECT_EQ(missing->parent_inode(), 7);
    }
}

TEST_F(errors_test, invalid_date_text) {
    EXPECT_STREQ(invalid_date_exception().what(), "Invalid date format");
}

TEST_F(errors_test, message_for_known_codes) {
    const char* const texts[] = {"Success",
                                 "General Failure",
                                 "General DB Exception",
                                 "Could not find database",
                                 "Database connection lost",
                                 "Unable to open database connection",
                                 "Database is busy",
                                 "Database is locked"};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(tuv_error::message_for(code), texts[code]) << "code " << code;
    }
}

TEST_F(errors_test, message_for_unknown_code_throws) {
    for (const int code : {9, 8, -1}) {
        try {
            tuv_error::message_for(code);
            ADD_FAILURE() << "no exception for code " << code;
        } catch (const tuv_error& e) {
            EXPECT_STREQ(e.what(), "Couldn't find error code");
        }
    }
}

TEST_F(errors_test, every_class_is_caught_as_tuv_error_and_runtime_error) {
    EXPECT_EQ(caught(tuv_error(std::string("m"))), "m");
    EXPECT_EQ(caught(db_exception(4)), "Database connection lost");
    EXPECT_EQ(caught(rec_not_found_exception("r")), "Record Not Found : r");
    EXPECT_EQ(caught(file_not_found_exception("f", 1)), "No such file or directory: f");
    EXPECT_EQ(caught(invalid_date_exception()), "Invalid date format");
    // A record that is missing is a database failure.
    static_assert(std::is_base_of_v<db_exception, rec_not_found_exception>);
}

TEST_F(errors_test, copies_keep_text_and_code) {
    const db_exception coded(4);
    const db_exception coded_copy(coded);
    EXPECT_STREQ(coded_copy.what(), "Database connection lost");
    EXPECT_EQ(coded_copy.code(), 4);

    const file_not_found_exception missing("dir\\name", 12);
    file_not_found_exception assigned("other", 1);
    assigned = missing;
    EXPECT_STREQ(assigned.what(), "No such file or directory: dir\\name");
    EXPECT_EQ(assigned.missing_path(), "dir\\name");
    EXPECT_EQ(assigned.parent_inode(), 12);
}

}  // namespace
}  // namespace tuv
