#include "core/storage/per_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tuv {
namespace {

// Counts the objects alive, and those ended.
struct counted {
    static inline std::atomic<int> alive = 0;
    static inline std::atomic<int> ended = 0;
    int uses = 0;
    counted() { ++alive; }
    ~counted() {
        --alive;
        ++ended;
    }
};

TEST(per_thread_test, each_thread_has_its_own_object_ended_with_the_thread) {
    static per_thread<counted> objects;
    counted* mine = &objects.get();
    ++mine->uses;
    EXPECT_EQ(&objects.get(), mine);  // made once, kept

    counted* theirs = nullptr;
    std::thread([&] {
        theirs = &objects.get();
        ++objects.get().uses;
    }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(counted::ended.load(), 1);  // the other thread's, as it ended
    EXPECT_EQ(counted::alive.load(), 1);
    EXPECT_EQ(objects.get().uses, 1);
}

}  // namespace
}  // namespace tuv
