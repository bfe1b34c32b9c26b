#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/storage/file_io.h"
#include "core/storage/md5.h"
#include "core/storage/vault_folder.h"
#include "core/vault/file_entry.h"
#include "core/vault/progress_observer.h"
#include "core/vault/repository.h"
#include "tests/support/checks.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;

constexpr const char* t1 = "2024-05-06 07:08:09";
constexpr const char* t2 = "2024-06-07 08:09:10";
constexpr std::int64_t root_id = 1;

// Fixed 100-byte chunks, so a test knows where every chunk ends.
vault_options fixed_chunks(std::uint64_t container_size = default_container_size) {
    vault_options options;
    options.chunks = {100, 100, 16, 1};
    options.container_size = container_size;
    return options;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using test::failure;

struct progress_log : progress_observer {
    void update(int percent) override { seen.push_back(percent); }
    std::vector<int> seen;
};

class checkin_test : public ::testing::Test {
  protected:
    explicit checkin_test(vault_options options = fixed_chunks()) : v(std::move(options)) {}

    fs::path local(const std::string& name, const std::string& content) {
        // Written with "/" here, named with the system's own separator.
        const fs::path path = folder / path_from_utf8(name).make_preferred();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void checkin(const fs::path& source, const std::string& directory = "\\",
                 const std::string& when = t1, const std::string& description = "") {
        v.repo().checkin_file(source, directory, when, "text/plain", description, observer);
    }
    progress_observer* observer = nullptr;  // hears the check-ins of checkin()
    std::int64_t id_of(const std::string& vault_path) {
        return v.repo().catalogue().resolve(vault_path)->file_id();
    }

    std::vector<std::string> rows(const std::string& sql) {
        return test::query_rows(v.database(), sql);
    }
    std::string count(const std::string& table) {
        return rows("SELECT COUNT(*) FROM " + table).at(0);
    }
    // Everything the vault's tables hold.
    std::vector<std::string> dump() {
        std::vector<std::string> all;
        for (const char* table :
             {"file_info", "journal", "chunk", "bmap", "disk_info", "settings"}) {
            for (auto& row : rows(std::string("SELECT * FROM ") + table + " ORDER BY rowid")) {
                all.push_back(table + (" " + row));
            }
        }
        return all;
    }
    // The current version's blocks as "offset size", in file order.
    std::vector<std::string> live(std::int64_t file_id) {
        return rows(
            "SELECT virtual_offset, size FROM bmap JOIN chunk USING(chunk_id) WHERE file_id = " +
            std::to_string(file_id) + " AND deletion_date = 0 ORDER BY virtual_offset, block_id");
    }
    std::vector<std::string> journal_after(std::int64_t id) {
        return rows("SELECT inode, changetype, src_path, attributes FROM journal WHERE id > " +
                    std::to_string(id) + " ORDER BY id");
    }
    std::int64_t last_journal_id() { return std::stoll(rows("SELECT MAX(id) FROM journal").at(0)); }

    test::temp_dir folder;
    test::test_vault v;
};

TEST_F(checkin_test, creates_missing_directories_from_the_top_and_journals_the_whole_path) {
    const std::int64_t a = v.repo().catalogue().create_directory("A", root_id, t1);
    const fs::path source = local("f.txt", "hello");
    std::int64_t mark = last_journal_id();
    checkin(source, "\\A\\B", t1, "first");

    const std::int64_t b = id_of("\\A\\B");
    const std::int64_t f = id_of("\\A\\B\\f.txt");
    const auto row = [](std::int64_t inode, int kind, const std::string& source_path = "",
                        const std::string& description = "") {
        return std::to_string(inode) + " " + std::to_string(kind) + " " + source_path + " " +
               description;
    };
    EXPECT_EQ(journal_after(mark),
              (std::vector<std::string>{row(b, 1), row(a, 4), row(root_id, 4), row(a, 4), row(b, 4),
                                        row(f, 1, source.string(), "first")}));
    EXPECT_TRUE(v.repo().catalogue().resolve("\\A\\B")->is_directory());
    EXPECT_EQ(
        rows("SELECT DISTINCT year, month, day, hour, minute, second FROM journal WHERE id > " +
             std::to_string(mark)),
        std::vector<std::string>{"2024 5 6 7 8 9"});

    mark = last_journal_id();
    checkin(source, "\\A\\B", t2, "second");
    EXPECT_EQ(journal_after(mark),
              (std::vector<std::string>{row(root_id, 4), row(a, 4), row(b, 4),
                                        row(f, 4, source.string(), "second")}));
}

TEST_F(checkin_test, a_copied_vault_stores_into_its_own_folder_only) {
    checkin(local("x.txt", std::string(100, 'a')));
    const fs::path copy = folder / "copy";
    fs::copy(v.layout().directory, copy, fs::copy_options::recursive);
    const std::string original = contents(v.layout().data / "tuv_s1");

    repository moved((copy / "quillmark.db").string());
    moved.checkin_file(local("x.txt", std::string(100, 'b')), "\\", t2, "text/plain", "");
    test::checkout_path(moved, "\\x.txt", folder / "out", t2);
    EXPECT_EQ(contents(folder / "out"), std::string(100, 'b'));
    EXPECT_EQ(contents(v.layout().data / "tuv_s1"), original);
    EXPECT_EQ(test::query_rows(moved.database(),
                               "SELECT path FROM disk_info UNION ALL"
                               " SELECT value FROM settings WHERE key = 'data_directory'"),
              (std::vector<std::string>{"data/tuv_s1", "data"}));
}

TEST_F(checkin_test, unchanged_file_adds_no_chunks_or_blocks_but_new_dates) {
    const fs::path source = local("f.txt", std::string(250, 'q'));
    checkin(source);
    const std::vector<std::string> chunks = rows("SELECT * FROM chunk");
    const std::vector<std::string> blocks = rows("SELECT * FROM bmap");
    v.database().execute("UPDATE file_info SET size = 1 WHERE path = 'f.txt'");

    checkin(source, "\\", t2);
    EXPECT_EQ(rows("SELECT * FROM chunk"), chunks);
    EXPECT_EQ(rows("SELECT * FROM bmap"), blocks);
    EXPECT_EQ(rows("SELECT modification_time, size FROM file_info WHERE path = 'f.txt'"),
              std::vector<std::string>{std::to_string(date(t2).seconds()) + " 250"});
}

TEST_F(checkin_test, empty_file_is_one_empty_chunk_with_full_progress) {
    const fs::path source = local("empty", "");
    progress_log progress;
    observer = &progress;
    checkin(source);
    const std::int64_t f = id_of("\\empty");
    EXPECT_EQ(progress.seen, std::vector<int>{100});
    EXPECT_EQ(rows("SELECT checksum, size FROM chunk"),
              std::vector<std::string>{md5_hex("") + " 0"});
    EXPECT_EQ(live(f), std::vector<std::string>{"0 0"});
    EXPECT_EQ(v.repo().catalogue().resolve("\\empty")->size(), 0u);

    const std::string chunks = count("chunk"), blocks = count("bmap");
    checkin(source, "\\", t2);
    EXPECT_EQ(count("chunk"), chunks);
    EXPECT_EQ(count("bmap"), blocks);
}

TEST_F(checkin_test, progress_rises_to_exactly_one_hundred) {
    progress_log progress;
    observer = &progress;
    checkin(local("f", std::string(250, 'p')));
    EXPECT_EQ(progress.seen, (std::vector<int>{40, 80, 100}));
    progress.seen.clear();
    // Ending on a chunk boundary: the empty last chunk reports 100 again.
    checkin(local("g", std::string(200, 'p')));
    EXPECT_EQ(progress.seen, (std::vector<int>{50, 100, 100}));
}

TEST_F(checkin_test, file_ending_on_a_chunk_boundary_ends_with_an_empty_block) {
    const fs::path source = local("f", std::string(100, 'a') + std::string(100, 'b'));
    checkin(source);
    const std::int64_t f = id_of("\\f");
    EXPECT_EQ(live(f), (std::vector<std::string>{"0 100", "100 100", "200 0"}));
    const std::string blocks = count("bmap");
    checkin(source, "\\", t2);
    EXPECT_EQ(count("bmap"), blocks);
}

TEST_F(checkin_test, shorter_version_leaves_nothing_live_beyond_its_end) {
    std::string content;
    for (char c : {'a', 'b', 'c'}) content += std::string(100, c);
    content += std::string(50, 'd');
    const fs::path source = local("f", content);
    checkin(source);
    const std::int64_t f = id_of("\\f");

    std::ofstream(source, std::ios::binary) << content.substr(0, 150);
    checkin(source, "\\", t2);
    EXPECT_EQ(live(f), (std::vector<std::string>{"0 100", "100 50"}));

    std::ofstream(source, std::ios::binary) << content.substr(0, 100);
    checkin(source, "\\", "2024-07-01 00:00:00");
    EXPECT_EQ(live(f), (std::vector<std::string>{"0 100", "100 0"}));

    std::ofstream(source, std::ios::binary) << "";
    checkin(source, "\\", "2024-08-01 00:00:00");
    EXPECT_EQ(live(f), std::vector<std::string>{"0 0"});
    EXPECT_EQ(v.repo().catalogue().resolve("\\f")->size(), 0u);
}

TEST_F(checkin_test, longer_version_extends_the_live_blocks) {
    const fs::path source = local("f", std::string(150, 'a'));
    checkin(source);
    std::ofstream(source, std::ios::binary) << std::string(150, 'a') << std::string(100, 'b');
    checkin(source, "\\", t2);
    EXPECT_EQ(live(id_of("\\f")), (std::vector<std::string>{"0 100", "100 100", "200 50"}));
}

// The empty block that ended the old version must not stay live next to
// the content that now continues at its offset.
TEST_F(checkin_test, longer_version_closes_the_empty_block_that_ended_the_old_one) {
    const fs::path source = local("f", std::string(100, 'a'));
    checkin(source);
    std::ofstream(source, std::ios::binary) << std::string(150, 'a');
    checkin(source, "\\", t2);
    EXPECT_EQ(live(id_of("\\f")), (std::vector<std::string>{"0 100", "100 50"}));
}

TEST_F(checkin_test, odd_source_paths_and_descriptions_are_stored_verbatim) {
    fs::create_directory(folder / "it's a dir");
    const fs::path source = local("it's a dir/Zoë's été 'n' co.txt", "content");
    const std::string description = "it's \"quoted\" 'twice'";
    checkin(source, "", t1, description);
    const std::int64_t f = id_of("\\Zoë's été 'n' co.txt");
    EXPECT_EQ(rows("SELECT src_path FROM journal WHERE inode = " + std::to_string(f)),
              std::vector<std::string>{utf8_of(source)});
    EXPECT_EQ(rows("SELECT attributes FROM journal WHERE inode = " + std::to_string(f)),
              std::vector<std::string>{description});
}

TEST_F(checkin_test, a_relative_source_is_recorded_as_its_full_path) {
    local("notes.txt", "content");
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    checkin("./notes.txt");
    fs::current_path(previous);
    EXPECT_EQ(rows("SELECT src_path FROM journal WHERE inode = " + std::to_string(id_of("\\notes.txt"))),
              std::vector<std::string>{(folder.path() / "notes.txt").string()});
}

TEST_F(checkin_test, missing_source_writes_nothing) {
    const std::vector<std::string> before = dump();
    const fs::path gone = folder / "gone.txt";
    EXPECT_EQ(failure<tuv_error>([&] { checkin(gone, "\\New"); }),
              "Couldn't open file: " + gone.string());
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(v.database().transactional());
}

TEST_F(checkin_test, vault_path_through_or_at_a_wrong_kind_of_entry_fails_and_writes_nothing) {
    v.repo().catalogue().create_directory("report.txt", root_id, t1);
    checkin(local("notes", "n"));
    const std::vector<std::string> before = dump();
    const fs::path source = local("report.txt", "x");
    EXPECT_EQ(failure<tuv_error>([&] { checkin(source); }),
              "Cannot check in " + source.string() + ": \\report.txt is a directory");
    EXPECT_EQ(failure<tuv_error>([&] { checkin(source, "\\notes\\sub"); }),
              "Cannot check in " + source.string() + ": \\notes is not a directory");
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(v.database().transactional());
}

TEST_F(checkin_test, version_not_later_than_the_latest_is_refused_and_writes_nothing) {
    checkin(local("q.txt", std::string(300, 'q')), "\\", t2);
    const std::vector<std::string> before = dump();
    const fs::path source = local("q.txt", "shorter");
    for (const char* when : {t2, t1}) {
        EXPECT_EQ(failure<tuv_error>([&] { checkin(source, "\\", when); }),
                  "Cannot check in " + source.string() +
                      " as \\q.txt: its latest version is dated " + t2 +
                      ", and a new version must be later (asked for " + when + ")");
        EXPECT_EQ(dump(), before);
    }
}

TEST_F(checkin_test, now_at_or_before_the_latest_version_takes_the_second_after_it) {
    const std::string latest = "2099-01-01 00:00:00";
    checkin(local("q.txt", "first"), "\\", latest);
    const checkin_result result =
        v.repo().checkin_file(local("q.txt", "second!"), "\\", "now", "text/plain", "");
    EXPECT_TRUE(result.moved);
    EXPECT_EQ(date(result.moment).to_text(), "2099-01-01 00:00:01");
    const auto entry = v.repo().catalogue().resolve("\\q.txt");
    EXPECT_EQ(entry->read(date(latest)), "first");
    EXPECT_EQ(entry->read(date(result.moment)), "second!");
}

TEST_F(checkin_test, special_files_and_the_vaults_own_files_are_refused_unread) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs or /dev/null";
#else
    const fs::path fifo = folder / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> before = dump();
    for (const fs::path& source : {fifo, fs::path("/dev/null")}) {
        EXPECT_EQ(failure<tuv_error>([&] { checkin(source); }),
                  "Cannot check in " + source.string() + ": it is not a regular file");
    }
    EXPECT_EQ(dump(), before);
    checkin(local("a.txt", "a"));
    const std::vector<std::string> after_a = dump();
    for (const fs::path& source : {v.layout().database, v.layout().data / "tuv_s1"}) {
        EXPECT_EQ(failure<tuv_error>([&] { checkin(source); }),
                  "Cannot check in " + source.string() + ": it is one of the vault's own files");
    }
    EXPECT_EQ(dump(), after_a);
#endif
}

// The file grows after its first chunk is stored: the version holds what was
// read, and the result says the file changed meanwhile. A small file is read
// whole at once; a large one is read on while it grows, and its row takes
// the size stored, not the size it had when it was opened.
TEST_F(checkin_test, file_that_grows_while_read_is_stored_as_read) {
    for (const std::size_t size : {std::size_t{450}, std::size_t{512} << 10}) {
        SCOPED_TRACE(size);
        const std::string name = "g" + std::to_string(size);
        const fs::path source = local(name, std::string(size, 'g'));
        struct appender : progress_observer {
            fs::path path;
            void update(int) override {
                if (!done) std::ofstream(path, std::ios::app) << std::string(100, 'h');
                done = true;
            }
            bool done = false;
        } grow;
        grow.path = source;
        const checkin_result result =
            v.repo().checkin_file(source, "\\", t1, "text/plain", "", &grow);
        EXPECT_TRUE(result.changed_while_read());
        EXPECT_EQ(result.size_at_end, size + 100);
        EXPECT_EQ(result.size, size > 450 ? size + 100 : size);
        const auto entry = v.repo().catalogue().resolve("\\" + name);
        EXPECT_EQ(entry->size(), result.size);
        EXPECT_EQ(entry->read(date(std::string(t1))), contents(source).substr(0, result.size));
    }
}

TEST_F(checkin_test, empty_destination_and_separator_both_mean_the_root) {
    checkin(local("a", "1"), "");
    checkin(local("b", "2"), "\\");
    EXPECT_EQ(v.repo().catalogue().resolve("\\a")->parent_id(), root_id);
    EXPECT_EQ(v.repo().catalogue().resolve("\\b")->parent_id(), root_id);
}

// --- Failures half-way -----------------------------------------------------
//
// Containers of 300 bytes. first.txt (150 bytes) fills half of container 1;
// big.txt (450 bytes, five new chunks) then places, in order: chunk 1 at 150
// of tuv_s1, chunks 2-4 into a new tuv_s2, chunk 5 at 250 of tuv_s1. Bytes
// that follow each other in a container are written in one go before the
// sync: tuv_s1 from 150 (chunks 1 and 5), then tuv_s2 from 0. The files
// opened are big.txt, tuv_s1, tuv_s2; synced: tuv_s1, tuv_s2, data.

class checkin_fault_test : public checkin_test {
  protected:
    // Raw: the layout above is of the chunks' own bytes (fault_test runs
    // these faults on compressed chunks).
    checkin_fault_test() : checkin_test(raw(fixed_chunks(300))) {}
    static vault_options raw(vault_options options) {
        options.compression = {};
        return options;
    }

    void SetUp() override {
        v.repo().set_file_system(files);
        checkin(local("first.txt", std::string(100, 'F') + std::string(50, 'G')));
        std::string content;
        for (char c : {'a', 'b', 'c', 'd'}) content += std::string(100, c);
        big = local("big.txt", content + std::string(50, 'e'));
        before = dump();
        first_container = contents(container(1));
    }

    fs::path container(int id) { return v.layout().data / ("tuv_s" + std::to_string(id)); }

    // After a failure: the tables and containers as they were, and a retry
    // that succeeds.
    void expect_untouched_and_recoverable() {
        EXPECT_EQ(dump(), before);
        EXPECT_TRUE(v.database().transactional());
        // The failed bytes are given back: the old container ends where its
        // committed chunks do, and the new one is gone.
        EXPECT_EQ(contents(container(1)), first_container);
        EXPECT_FALSE(fs::exists(container(2)));

        checkin(big, "\\", t2);
        EXPECT_EQ(v.repo().catalogue().resolve("\\big.txt")->size(), 450u);
        EXPECT_EQ(files.unsynced(), std::set<fs::path>{});
        expect_every_chunk_intact();
    }

    // Every chunk row's bytes, read back from its container, match its checksum.
    void expect_every_chunk_intact() {
        auto row = v.database().query(
            "SELECT path, physical_offset, size, checksum FROM chunk JOIN disk_info"
            " USING(disk_id)");
        while (row->next()) {
            std::string bytes(static_cast<std::size_t>(row->get_int64("size")), '\0');
            std::ifstream in(local_path(v.repo().folder(), row->get_string("path")),
                             std::ios::binary);
            in.seekg(row->get_int64("physical_offset"));
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            EXPECT_EQ(md5_hex(bytes), row->get_string("checksum")) << row->get_string("path");
        }
    }

    test::faulty_file_system files;
    fs::path big;
    std::vector<std::string> before;
    std::string first_container;
};

struct fault_case {
    const char* name;
    test::fs_operation operation;
    int nth;
    int error;
    const char* message;  // <s1>, <s2> and <data> stand for the paths
};

void PrintTo(const fault_case& c, std::ostream* out) {
    *out << c.name;
}

class checkin_fault_case_test : public checkin_fault_test,
                                public ::testing::WithParamInterface<fault_case> {
  protected:
    std::string expected_message() {
        std::string text = GetParam().message;
        for (const auto& [mark, path] : {std::pair{std::string("<s1>"), container(1)},
                                         std::pair{std::string("<s2>"), container(2)},
                                         std::pair{std::string("<data>"), v.layout().data}}) {
            if (const auto at = text.find(mark); at != std::string::npos) {
                text.replace(at, mark.size(), path.string());
            }
        }
        return text;
    }
};

TEST_P(checkin_fault_case_test, fails_with_the_system_reason_and_changes_nothing) {
    files.fail(GetParam().operation, GetParam().nth, GetParam().error);
    EXPECT_EQ(failure<io_error>([&] { checkin(big); }), expected_message());
    expect_untouched_and_recoverable();
}

using test::fs_operation;
INSTANTIATE_TEST_SUITE_P(
    faults, checkin_fault_case_test,
    ::testing::Values(fault_case{"first_write_no_space", fs_operation::write_at, 1, ENOSPC,
                                 "Cannot write <s1>: No space left on device"},
                      fault_case{"first_write_io_error", fs_operation::write_at, 1, EIO,
                                 "Cannot write <s1>: Input/output error"},
                      fault_case{"second_write_io_error", fs_operation::write_at, 2, EIO,
                                 "Cannot write <s2>: Input/output error"},
                      fault_case{"second_write_no_space", fs_operation::write_at, 2, ENOSPC,
                                 "Cannot write <s2>: No space left on device"},
                      fault_case{"new_container_open_no_space", fs_operation::open, 3, ENOSPC,
                                 "Cannot open <s2>: No space left on device"},
                      fault_case{"container_sync", fs_operation::sync, 2, EIO,
                                 "Cannot sync <s2>: Input/output error"},
                      fault_case{"folder_sync", fs_operation::sync_directory, 1, EIO,
                                 "Cannot sync the folder <data>: Input/output error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(checkin_fault_test, source_that_cannot_be_opened_changes_nothing) {
    files.fail(fs_operation::open, 1, EIO);
    EXPECT_EQ(failure<tuv_error>([&] { checkin(big); }), "Couldn't open file: " + big.string());
    expect_untouched_and_recoverable();
}

TEST_F(checkin_fault_test, database_error_half_way_changes_nothing) {
    // first.txt made two blocks: the second block of big.txt is refused.
    v.database().execute(
        "CREATE TRIGGER refuse BEFORE INSERT ON bmap WHEN (SELECT COUNT(*) FROM bmap) >= 3"
        " BEGIN SELECT RAISE(ABORT, 'injected'); END");
    EXPECT_EQ(failure<db_exception>([&] { checkin(big); }), "injected");
    v.database().execute("DROP TRIGGER refuse");
    expect_untouched_and_recoverable();
}

TEST_F(checkin_fault_test, every_container_written_is_synced_and_a_new_one_syncs_the_folder) {
    const fs::path data = v.layout().data;
    ASSERT_EQ(files.syncs(data), 1);  // first.txt created tuv_s1
    checkin(big);
    EXPECT_EQ(files.written(), (std::set<fs::path>{container(1), container(2)}));
    EXPECT_EQ(files.unsynced(), std::set<fs::path>{});
    EXPECT_EQ(files.syncs(data), 2);
    expect_every_chunk_intact();
}

}  // namespace
}  // namespace tuv
