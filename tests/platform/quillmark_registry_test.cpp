// Registering the check-in program for a user who has none that exists.
#include "platform/quillmark_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "platform/registry.h"
#include "tests/support/scoped_registry.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::registry_root;

std::optional<std::string> registered() {
    const auto key = platform::open_registry_key(registry_root::local_machine,
                                                 platform::quillmark_key);
    return key ? key->query(platform::checkin_program_value) : std::nullopt;
}

TEST(quillmark_registry_test, registers_the_program_beside_unless_one_that_exists_is) {
    const tuv::test::temp_dir dir;
    const tuv::test::scoped_registry registry{dir / "registry"};
    const fs::path installed = dir / "bin";
    const fs::path other = dir / "build" / "Quillmark_Checkin";
    fs::create_directories(installed);
    fs::create_directories(other.parent_path());
    std::ofstream(installed / "Quillmark_Checkin") << "";
    const std::string program = (installed / "Quillmark_Checkin").string();

    const struct {
        std::optional<std::string> before;  // nullopt: no value
        bool other_exists;
        std::optional<std::string> after;
    } cases[] = {
        {std::nullopt, false, program},
        {"", false, program},
        {other.string(), false, program},  // a build tree since removed
        {other.string(), true, other.string()},
    };
    for (const auto& item : cases) {
        platform::remove_registry_key(registry_root::local_machine, platform::quillmark_key);
        if (item.before) {
            platform::create_registry_key(registry_root::local_machine, platform::quillmark_key)
                .set(platform::checkin_program_value, *item.before);
        }
        fs::remove(other);
        if (item.other_exists) std::ofstream(other) << "";
        EXPECT_EQ(platform::register_missing_checkin_program(installed), item.after != item.before);
        EXPECT_EQ(registered(), item.after) << item.before.value_or("(none)");
    }
    // Nothing is registered from a folder without the program.
    platform::remove_registry_key(registry_root::local_machine, platform::quillmark_key);
    EXPECT_FALSE(platform::register_missing_checkin_program(dir / "elsewhere"));
    EXPECT_EQ(registered(), std::nullopt);
}

}  // namespace
