#include "platform/reg_file.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

const std::filesystem::path file = "/x/HKEY_CURRENT_USER.reg";
const std::string head = "Windows Registry Editor Version 5.00\n\n";

reg_document parse(const std::string& text) {
    return parse_reg_file(text, registry_root::current_user, file);
}

std::string parse_error(const std::string& text) {
    try {
        parse(text);
    } catch (const registry_error& error) {
        return error.what();
    }
    return "no error";
}

std::string error_at(int line, const std::string& reason) {
    return "malformed registry file /x/HKEY_CURRENT_USER.reg, line " + std::to_string(line) + ": " +
           reason;
}

class reg_file_test : public ::testing::Test {};

TEST_F(reg_file_test, reads_hand_written_file_with_bom_crlf_and_comments) {
    const reg_document document = parse(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; settings written by hand\r\n"
        "  [HKEY_CURRENT_USER\\SOFTWARE\\Vendor]  \r\n"
        "\"db_path\"=\"C:\\\\vault\\\\q.db\"\r\n"
        ";\"commented\"=\"out\"\r\n"
        "@=\"default\"\r\n");
    ASSERT_EQ(document.keys.size(), 1u);
    const reg_key_section& key = document.keys[0];
    EXPECT_EQ(key.path, "SOFTWARE\\Vendor");
    ASSERT_EQ(key.values.size(), 2u);
    EXPECT_EQ(key.values[0].name, "db_path");
    EXPECT_EQ(key.values[0].data, "C:\\vault\\q.db");
    EXPECT_EQ(key.values[1].name, "");
    EXPECT_EQ(key.values[1].data, "default");
}

TEST_F(reg_file_test, formats_golden_text) {
    reg_document document;
    reg_key_section& key = document.add_key("SOFTWARE\\Marrowgate Software Lab\\Quillmark");
    key.values.push_back({"db_path", "/home/me/q.db", true});
    key.values.push_back({"", "default value", true});
    key.values.push_back({"say \"hi\"", "a\\b=c\nd\re", true});
    key.values.push_back({"count", "dword:00000010", false});
    document.add_key("");
    EXPECT_EQ(format_reg_file(document, registry_root::local_machine),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marrowgate Software Lab\\Quillmark]\n"
              "\"db_path\"=\"/home/me/q.db\"\n"
              "@=\"default value\"\n"
              "\"say \\\"hi\\\"\"=\"a\\\\b=c\\nd\\re\"\n"
              "\"count\"=dword:00000010\n"
              "\n"
              "[HKEY_LOCAL_MACHINE]\n"
              "\n");
}

TEST_F(reg_file_test, keeps_other_value_types_verbatim_with_continuation_lines) {
    const std::string text = head +
                             "[HKEY_CURRENT_USER\\K]\n"
                             "\"n\"=dword:00000001\n"
                             "\"b\"=hex:01,02,\\\n"
                             "  03,04\n"
                             "\"m\"=hex(7):41,00,00,00\n"
                             "\n";
    const reg_document document = parse(text);
    ASSERT_EQ(document.keys[0].values.size(), 3u);
    EXPECT_FALSE(document.keys[0].values[1].is_text);
    EXPECT_EQ(document.keys[0].values[1].data, "hex:01,02,\\\n  03,04");
    EXPECT_EQ(format_reg_file(document, registry_root::current_user), text);
}

// Found by fuzzing: both inputs read back differently once written out.
TEST_F(reg_file_test, a_written_file_reads_back_the_same) {
    for (const std::string& text :
         {head + "[HKEY_CURRENT_USER\\K]\n\"b\"=hex:01,\\",  // continuation at the very end
          head + "[HKEY_CURRENT_USER\\K]\r\r\n\"v\"=\"x\"\r\r\n"}) {  // stray carriage returns
        const reg_document first = parse(text);
        const std::string written = format_reg_file(first, registry_root::current_user);
        EXPECT_EQ(format_reg_file(parse(written), registry_root::current_user), written);
        ASSERT_EQ(first.keys.size(), 1u);
        ASSERT_EQ(first.keys[0].values.size(), 1u);
    }
}

TEST_F(reg_file_test, repeated_keys_and_values_merge_case_insensitively) {
    const reg_document document = parse(head +
                                        "[HKEY_CURRENT_USER\\Soft\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                                        "[hkey_current_user\\SOFT\\a]\n\"X\"=\"3\"\n");
    ASSERT_EQ(document.keys.size(), 1u);
    ASSERT_EQ(document.keys[0].values.size(), 2u);
    EXPECT_EQ(document.keys[0].values[0].name, "x");
    EXPECT_EQ(document.keys[0].values[0].data, "3");
}

TEST_F(reg_file_test, header_must_be_first_non_empty_line) {
    EXPECT_EQ(parse_error("\n\nREGEDIT4\n"),
              error_at(3, "expected the header \"Windows Registry Editor Version 5.00\""));
    EXPECT_EQ(parse_error("; comment\n" + head),
              error_at(1, "expected the header \"Windows Registry Editor Version 5.00\""));
    EXPECT_EQ(parse_error(""),
              error_at(1, "expected the header \"Windows Registry Editor Version 5.00\""));
}

TEST_F(reg_file_test, garbage_line_names_its_line) {
    const std::string expected = error_at(4, "expected \"name\"=\"value\"");
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\nname=value\n"), expected);
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\" = \"b\"\n"), expected);
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\"x\n"), expected);
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=-\n"), expected);
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=qword:1\n"), expected);
}

TEST_F(reg_file_test, unterminated_quote_and_bad_escape_are_errors) {
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\n"),
              error_at(4, "unterminated quoted text"));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=\"b\\\"\n"),
              error_at(4, "unterminated quoted text"));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a=\"b\"\n"),
              error_at(4, "expected \"name\"=\"value\""));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\K]\n\"a\"=\"C:\\temp\"\n"),
              error_at(4, "invalid escape \"\\t\" in quoted text"));
}

TEST_F(reg_file_test, value_outside_any_key_is_an_error) {
    EXPECT_EQ(parse_error(head + "; no key yet\n@=\"x\"\n"), error_at(4, "value outside any key"));
}

TEST_F(reg_file_test, key_must_be_under_the_files_root) {
    EXPECT_EQ(parse_error(head + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"),
              error_at(3, "key \"HKEY_LOCAL_MACHINE\\SOFTWARE\" is not under HKEY_CURRENT_USER"));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USERS\\X]\n"),
              error_at(3, "key \"HKEY_CURRENT_USERS\\X\" is not under HKEY_CURRENT_USER"));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\A\\\\B]\n"),
              error_at(3, "invalid key name \"HKEY_CURRENT_USER\\A\\\\B\""));
    EXPECT_EQ(parse_error(head + "[HKEY_CURRENT_USER\\A\n"),
              error_at(3, "expected \"]\" at the end of the key line"));
}

}  // namespace
}  // namespace platform
