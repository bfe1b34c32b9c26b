// Containers as large objects: a reader gets exactly the committed bytes
// wherever its reads start and end, and bytes committed after it first read
// the container's end.
#include "core/storage/large_object_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/db/db.h"
#include "core/db/open_database.h"
#include "core/db/write_transaction.h"
#include "tests/support/checks.h"
#include "tests/support/test_schema.h"

namespace tuv {
namespace {

class large_object_store_test : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!schema.available()) GTEST_SKIP() << "QUILLMARK_TEST_PG is not set";
        database = open_database(schema.address(), db_open_mode::existing);
        large_object_store::create_schema(*database);
        store = std::make_unique<large_object_store>(*database);
    }

    // Writes `bytes` at the container's end, committed.
    void append(const std::string& bytes) {
        write_transaction transaction(*database);
        auto file = store->open("tuv_s1", open_mode::read_write);
        file->write_at(file->size(), bytes.data(), bytes.size());
        file.reset();
        transaction.commit();
    }
    std::string read(file_handle& file, std::uint64_t offset, std::size_t size) {
        std::string out(size, '\0');
        out.resize(file.read_at(offset, out.data(), size));
        return out;
    }

    test::test_schema schema;
    std::unique_ptr<db> database;
    std::unique_ptr<large_object_store> store;
};

TEST_F(large_object_store_test, reads_give_the_committed_bytes_from_anywhere) {
    const auto random = test::random_bytes(3'000'123, 7);
    const std::string content(random.begin(), random.end());
    append(content);
    auto file = store->open("tuv_s1", open_mode::read);
    struct span {
        std::uint64_t offset;
        std::size_t size;
    };
    // Within a block, across blocks, again from the blocks kept, at the end
    // (short) and past it, and more than the blocks kept hold at once.
    for (const span s : {span{10, 100}, span{65'000, 2'000}, span{10, 200'000}, span{131'072, 1},
                         span{2'999'000, 5'000}, span{3'000'123, 10}, span{1'000, 2'500'000}}) {
        SCOPED_TRACE(std::to_string(s.offset) + " +" + std::to_string(s.size));
        EXPECT_EQ(read(*file, s.offset, s.size), content.substr(s.offset, s.size));
    }

    // Bytes added after the end was read are read too.
    append("tail");
    EXPECT_EQ(read(*file, 3'000'120, 10), content.substr(3'000'120) + "tail");
}

}  // namespace
}  // namespace tuv
