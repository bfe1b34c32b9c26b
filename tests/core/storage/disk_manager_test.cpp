#include "core/storage/disk_manager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/db/db.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

constexpr std::uint64_t gib = std::uint64_t{1} << 30;

class disk_manager_test : public ::testing::Test {
  protected:
    std::filesystem::path container(int id) {
        return v.layout().data / ("tuv_s" + std::to_string(id));
    }

    // Every disk_info row as "id path total free", once the manager has
    // recorded what it allocated.
    std::vector<std::string> rows(disk_manager& disks) {
        disks.record_free_space();
        std::vector<std::string> rows;
        auto row = v.database().query("SELECT * FROM disk_info ORDER BY disk_id");
        while (row->next()) {
            rows.push_back(row->get_string("disk_id") + " " + row->get_string("path") + " " +
                           row->get_string("total_size") + " " + row->get_string("free_size"));
        }
        return rows;
    }
    // Containers in the vault's folder are stored relative to it.
    std::string disk(int id, std::int64_t total, std::int64_t free) {
        return std::to_string(id) + " data/tuv_s" + std::to_string(id) + " " +
               std::to_string(total) + " " + std::to_string(free);
    }
    disk_manager manager(std::uint64_t container_size) {
        return disk_manager(v.database(), container_size, v.layout().data, v.layout().directory);
    }

    // Allocates and gives "disk offset" plus " new" for a new container.
    std::string place(disk_manager& disks, std::uint64_t size) {
        const chunk_location at = disks.allocate(size);
        EXPECT_EQ(at.container, container(static_cast<int>(at.disk_id)));
        return std::to_string(at.disk_id) + " " + std::to_string(at.offset) +
               (at.new_container ? " new" : "");
    }

    test::test_vault v;
};

TEST_F(disk_manager_test, first_chunk_registers_container_one_at_offset_zero) {
    disk_manager disks = manager(100);
    EXPECT_EQ(place(disks, 30), "1 0 new");
    EXPECT_EQ(rows(disks), std::vector<std::string>{disk(1, 100, 70)});
    EXPECT_EQ(disk_manager::container_path(v.layout().data, 12), v.layout().data / "tuv_s12");
}

TEST_F(disk_manager_test, chunks_go_to_the_first_container_with_room) {
    disk_manager disks = manager(100);
    ASSERT_EQ(place(disks, 30), "1 0 new");
    EXPECT_EQ(place(disks, 50), "1 30");
    // 20 bytes left in container 1: too few for 40, enough for 15 later.
    EXPECT_EQ(place(disks, 40), "2 0 new");
    EXPECT_EQ(place(disks, 15), "1 80");
    EXPECT_EQ(place(disks, 30), "2 40");
    EXPECT_EQ(rows(disks), (std::vector<std::string>{disk(1, 100, 5), disk(2, 100, 30)}));
    // Filled to exactly its capacity.
    EXPECT_EQ(place(disks, 5), "1 95");
    EXPECT_EQ(rows(disks), (std::vector<std::string>{disk(1, 100, 0), disk(2, 100, 30)}));
}

TEST_F(disk_manager_test, zero_length_chunk_takes_the_free_offset_and_no_room) {
    disk_manager disks = manager(100);
    ASSERT_EQ(place(disks, 100), "1 0 new");
    EXPECT_EQ(place(disks, 0), "1 100");
    EXPECT_EQ(rows(disks), std::vector<std::string>{disk(1, 100, 0)});
}

TEST_F(disk_manager_test, oversized_chunk_gets_a_container_that_is_never_chosen_again) {
    disk_manager disks = manager(100);
    EXPECT_EQ(place(disks, 250), "1 0 new");
    EXPECT_EQ(rows(disks), std::vector<std::string>{disk(1, 100, -150)});
    EXPECT_EQ(place(disks, 0), "2 0 new");
    EXPECT_EQ(place(disks, 10), "2 0");
    EXPECT_EQ(rows(disks), (std::vector<std::string>{disk(1, 100, -150), disk(2, 100, 90)}));
}

TEST_F(disk_manager_test, offsets_beyond_four_gib_are_kept_whole) {
    disk_manager disks = manager(5 * gib);
    ASSERT_EQ(place(disks, 4 * gib + gib / 2), "1 0 new");
    EXPECT_EQ(place(disks, 100), "1 " + std::to_string(4 * gib + gib / 2));
    EXPECT_EQ(rows(disks),
              std::vector<std::string>{disk(1, static_cast<std::int64_t>(5 * gib),
                                            static_cast<std::int64_t>(gib / 2 - 100))});
}

TEST_F(disk_manager_test, paths_outside_the_vault_folder_are_stored_and_used_as_they_are) {
    // A vault made before paths were relative, now copied elsewhere.
    test::temp_dir old_place;
    const auto old_container = old_place / "data" / "tuv_s1";
    v.database().execute("INSERT INTO disk_info(path, total_size, free_size) VALUES(?, 100, 60)",
                         {old_container.string()});
    disk_manager disks(v.database(), 100, old_place / "data", v.layout().directory);
    const chunk_location old = disks.allocate(50);
    EXPECT_EQ(old.container, old_container);
    EXPECT_EQ(old.offset, 40u);
    const chunk_location fresh = disks.allocate(70);
    EXPECT_EQ(fresh.container, old_place / "data" / "tuv_s2");
    EXPECT_EQ(rows(disks), (std::vector<std::string>{"1 " + old_container.string() + " 100 10",
                                                     "2 " + fresh.container.string() + " 100 30"}));
}

}  // namespace
}  // namespace tuv
