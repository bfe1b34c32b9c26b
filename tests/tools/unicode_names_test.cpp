// Names beyond ASCII, end to end through both command lines: a vault in a
// folder of such a name, and files of such names checked in, listed, found,
// checked out to a folder of such a name and exported to another.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/utf8_path.h"
#include "export/export_command.h"
#include "tests/support/checks.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"
#include "tools/cli.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

constexpr const char* t1 = "2024-01-02 03:04:05";

struct result {
    int code;
    std::string out;
    std::string err;
};

// Runs one of the programs' command lines on `args` (UTF-8, as the programs
// read theirs on every system), its name first.
template <typename Program>
result run(Program program, std::vector<std::string> args) {
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int code = program(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

class unicode_names_test : public ::testing::Test {
  protected:
    result quillmark(std::vector<std::string> args) {
        args.insert(args.begin(), "quillmark");
        return run(
            [](int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
                return tools::run_cli(argc, argv, out, err, {fs::path("/opt/quillmark/bin")});
            },
            std::move(args));
    }
    result quillmark_export(std::vector<std::string> args) {
        args.insert(args.begin(), "Quillmark_Export");
        return run(run_export_command, std::move(args));
    }
    // A path below the test's folder, named in UTF-8.
    fs::path at(const std::string& name) const { return folder / path_from_utf8(name); }

    test::temp_dir folder;
    test::scoped_registry registry{folder / "registry"};
};

TEST_F(unicode_names_test, names_survive_checkin_listing_search_checkout_and_export) {
    const std::vector<std::string> names{"résumé.txt", "日本.txt", "notes 😀.txt"};
    const result init = quillmark({"init", "--vault", utf8_of(at("Tresor ü 日本"))});
    ASSERT_EQ(init.code, tools::exit_ok) << init.err;
    fs::create_directory(at("Quelle é"));
    fs::create_directory(at("Ziel 😀"));
    for (const std::string& name : names) {
        const fs::path source = at("Quelle é") / path_from_utf8(name);
        std::ofstream(source, std::ios::binary) << "content of " << name;
        const result in = quillmark({"checkin", utf8_of(source), "--to", "\\Docs", "--date", t1});
        EXPECT_EQ(in.code, tools::exit_ok) << in.err;
        EXPECT_TRUE(
            in.out.starts_with("Checked in " + utf8_of(source) + " as \\Docs\\" + name + ": "))
            << in.out;
        EXPECT_EQ(quillmark({"search", "--name", name}).out,
                  "\\Docs\\" + name + "\t1\t" + t1 + "\t" + t1 + "\n");
        const fs::path copy = at("Ziel 😀") / path_from_utf8(name);
        EXPECT_EQ(quillmark({"checkout", "\\Docs\\" + name, utf8_of(copy)}).code, tools::exit_ok);
        EXPECT_EQ(test::file_contents(copy), "content of " + name);
    }
    // In byte order, the sizes lined up after the longest name's 14 bytes.
    EXPECT_EQ(quillmark({"ls", "\\Docs"}).out,
              "notes 😀.txt  25\n"
              "résumé.txt    23\n"
              "日本.txt      21\n");

    // The export finds the vault through the registry, in its folder of such a name.
    const result exported = quillmark_export({"\\Docs", utf8_of(at("Export ü"))});
    EXPECT_EQ(exported.code, 0) << exported.out << exported.err;
    for (const std::string& name : names) {
        EXPECT_EQ(test::file_contents(at("Export ü") / "Docs" / path_from_utf8(name)),
                  "content of " + name);
    }
}

}  // namespace
}  // namespace tuv
