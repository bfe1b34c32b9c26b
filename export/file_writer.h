// Writing an export's small files on a thread of its own: creating, writing
// and renaming a file costs about as much as finding and decoding its
// version, so the export's thread reads the next file while this one writes.
// A version may also come to be decoded: the writer decodes it before it
// writes it, and the caller decodes the latest one added whenever several
// wait undecoded, so that whichever thread has time decodes.
// Each file is written as checkout() writes it (a temporary file beside it,
// renamed once complete), and its outcome is kept, in the order the files
// were given, until the caller collects it: the export's log reads as if
// every file had been written in turn. Memory is bounded: add() waits while
// the files not yet written hold more than `budget` bytes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tuv {

class file_system;

class file_writer {
  public:
    // `files` is borrowed and must outlive the writer.
    explicit file_writer(file_system& files, std::size_t budget = 8 << 20);
    // Writes what was added, then stops.
    ~file_writer();
    file_writer(const file_writer&) = delete;
    file_writer& operator=(const file_writer&) = delete;

    // Queues a version for `target`, the file writing to `destination`
    // replaces (checkout_target()). `failure`, when set, is what went wrong
    // reading the version: it is the file's outcome once the temporary file
    // could be opened, as when checkout() fails reading.
    void add(std::filesystem::path target, std::filesystem::path destination,
             std::vector<std::uint8_t> bytes, std::exception_ptr failure);

    // Fills a version's bytes; what it throws is the file's failure. It
    // must not touch the database: it runs on either thread.
    using reader = std::function<void(std::vector<std::uint8_t>&)>;
    // The same for a version of about `size` bytes that `read` decodes,
    // on the writer's thread or on the caller's.
    void add(std::filesystem::path target, std::filesystem::path destination, std::size_t size,
             reader read);

    // Waits until every file added is written, then hands each failure to
    // `report`, in the order the files were added.
    void settle(const std::function<void(const std::exception_ptr&)>& report);

  private:
    struct job {
        std::filesystem::path target;
        std::filesystem::path destination;
        std::vector<std::uint8_t> bytes;
        std::exception_ptr failure;
        std::size_t size = 0;  // what it counts against the budget
        reader read;           // set until the bytes are read
        bool reading = false;  // by the caller, outside the lock
    };
    void queue(job added);
    // Runs `work.read` outside the lock.
    void read(job& work, std::unique_lock<std::mutex>& lock);
    void work();

    file_system& files_;
    std::size_t budget_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<job> waiting_;
    std::size_t waiting_bytes_ = 0;
    bool busy_ = false;  // a job is taken and not done
    std::vector<std::exception_ptr> failures_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace tuv
