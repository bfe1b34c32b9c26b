// Chunks stored compressed: what is stored in which form, that every form
// reads back, that old vaults stay raw, and that damage to a compressed
// chunk is found by reading and by verify, named by file, offset and
// container.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/base/errors.h"
#include "core/db/db.h"
#include "core/db/schema.h"
#include "core/vault/repository.h"
#include "core/vault/verify.h"
#include "tests/support/checks.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_vault.h"

namespace tuv {
namespace {

namespace fs = std::filesystem;
using lines = std::vector<std::string>;

constexpr const char* t1 = "2024-05-06 07:08:09";
constexpr const char* t2 = "2024-06-07 08:09:10";

// Every chunk exactly 1000 bytes.
vault_options fixed_chunks(compression_setting compression) {
    vault_options options;
    options.chunks = {1000, 1000, 16, 1};
    options.compression = compression;
    return options;
}

// Text-like bytes (compress to about half) or uniformly random ones (do not).
std::string text(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + random() % 16);
    return bytes;
}
std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

class compression_test : public ::testing::Test {
  protected:
    // Each chunk compressed on its own (codec 2) unless `codec` says else.
    explicit compression_test(compression_setting compression = {3}, int codec = 2)
        : v(fixed_chunks(compression)) {
        if (codec == newest_compressed_codec) return;
        v.database().execute("UPDATE settings SET value = ? WHERE key = 'compressed_codec'",
                             {std::to_string(codec)});
        v.reopen();
    }

    void checkin(const std::string& name, const std::string& content, const char* when = t1) {
        std::ofstream(local / name, std::ios::binary) << content;
        v.repo().checkin_file(local / name, "\\", when, "text/plain", "");
    }
    std::string read(const std::string& name, const char* when = t1) {
        test::checkout_path(v.repo(), "\\" + name, local / "out", when);
        std::ifstream in(local / "out", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // chunk_id: "size stored_size codec", NULL as "-".
    lines chunk_forms() {
        lines forms;
        auto rows = v.database().query(
            "SELECT size, COALESCE(stored_size, '-'), COALESCE(codec, '-') FROM chunk"
            " ORDER BY chunk_id");
        while (rows->next()) {
            forms.push_back(rows->get_string(0) + " " + rows->get_string(1) + " " +
                            rows->get_string(2));
        }
        return forms;
    }
    std::int64_t value(const std::string& sql) {
        auto row = v.database().query(sql);
        return row->next() ? row->get_int64(0) : -1;
    }
    lines problems() { return verify_vault(v.repo(), {true}).problems; }

    test::temp_dir local;
    test::test_vault v;
};

TEST_F(compression_test, compressible_chunks_are_stored_compressed_and_noise_raw) {
    const std::string content = text(2000, 1) + noise(1000, 2) + text(500, 3);
    checkin("a.txt", content);
    const lines forms = chunk_forms();
    ASSERT_EQ(forms.size(), 4u);  // 1000, 1000, 1000 and 500 bytes
    for (std::size_t i : {0u, 1u, 3u}) {
        EXPECT_TRUE(forms[i].ends_with(" 2")) << forms[i];
    }
    EXPECT_EQ(forms[2], "1000 - -");
    // The container holds each chunk in its stored form, end to end.
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(v.layout().data / "tuv_s1")),
              value("SELECT SUM(COALESCE(stored_size, size)) FROM chunk"));
    EXPECT_LT(fs::file_size(v.layout().data / "tuv_s1"), 1000u + 1500u);
    EXPECT_EQ(read("a.txt"), content);
    EXPECT_EQ(problems(), lines{});
}

// A vault made before compression: no setting, no columns. It is never
// altered and goes on storing raw chunks.
TEST_F(compression_test, old_vault_checks_in_raw_and_reads_back) {
    v.database().execute("ALTER TABLE chunk DROP COLUMN codec");
    v.database().execute("ALTER TABLE chunk DROP COLUMN stored_size");
    v.database().execute("DELETE FROM settings WHERE key = 'compression'");
    repository old(v.db_path());
    EXPECT_FALSE(old.compression_set());
    const std::string content = text(2500, 4);
    std::ofstream(local / "a.txt", std::ios::binary) << content;
    old.checkin_file(local / "a.txt", "\\", t1, "text/plain", "");

    EXPECT_FALSE(read_chunk_columns(old.database()).stored_form);
    EXPECT_EQ(fs::file_size(v.layout().data / "tuv_s1"), content.size());
    test::checkout_path(old, "\\a.txt", local / "out", t1);
    EXPECT_EQ(fs::file_size(local / "out"), content.size());
    EXPECT_EQ(verify_vault(old, {true}).problems, lines{});
}

// Raw chunks stored before compression was turned on are found again by
// their checksum: only the new content is stored, compressed.
TEST_F(compression_test, raw_chunk_is_shared_with_compressed_content) {
    v.database().execute("UPDATE settings SET value = 'none' WHERE key = 'compression'");
    const std::string shared = text(2000, 5);
    {
        repository raw(v.db_path());
        std::ofstream(local / "a.txt", std::ios::binary) << shared;
        raw.checkin_file(local / "a.txt", "\\", t1, "text/plain", "");
    }
    v.database().execute("UPDATE settings SET value = 'zstd:3' WHERE key = 'compression'");
    repository compressing(v.db_path());
    std::ofstream(local / "b.txt", std::ios::binary) << shared + text(1000, 6);
    compressing.checkin_file(local / "b.txt", "\\", t2, "text/plain", "");

    // a.txt: two chunks and the empty one a file ending on a chunk boundary
    // has; b.txt adds one chunk only.
    const lines forms = chunk_forms();
    ASSERT_EQ(forms.size(), 4u);
    EXPECT_EQ(lines(forms.begin(), forms.begin() + 3), (lines{"1000 - -", "1000 - -", "0 - -"}));
    EXPECT_TRUE(forms[3].starts_with("1000 ") && forms[3].ends_with(" 2")) << forms[3];
    EXPECT_EQ(value("SELECT refcount FROM chunk WHERE chunk_id = 1"), 3);
    EXPECT_EQ(read("a.txt"), shared);
    EXPECT_EQ(read("b.txt", t2), shared + text(1000, 6));
    EXPECT_EQ(problems(), lines{});
}

// A vault compressed before frames were stored without their header has no
// compressed_codec setting: it goes on storing whole frames, and reads both.
TEST_F(compression_test, vault_without_compressed_codec_stores_whole_frames) {
    checkin("a.txt", text(1000, 8));
    v.database().execute("DELETE FROM settings WHERE key = 'compressed_codec'");
    {
        repository before(v.db_path());
        std::ofstream(local / "b.txt", std::ios::binary) << text(1000, 9);
        before.checkin_file(local / "b.txt", "\\", t2, "text/plain", "");
    }
    EXPECT_EQ(test::query_rows(v.database(), "SELECT codec FROM chunk WHERE size > 0"),
              (lines{"2", "1"}));
    EXPECT_EQ(read("a.txt"), text(1000, 8));
    EXPECT_EQ(read("b.txt", t2), text(1000, 9));
    EXPECT_EQ(problems(), lines{});

    v.database().execute("INSERT INTO settings(key, value) VALUES('compressed_codec', '4')");
    EXPECT_EQ(test::failure<tuv_error>([&] { repository broken(v.db_path()); }),
              "Invalid setting compressed_codec = \"4\": it must be 1, 2 or 3");
}

// Each kind of damage to the second (compressed) chunk of a.txt, as a read
// and as verify --read-data report it.
TEST_F(compression_test, damaged_compressed_chunk_is_named_by_reading_and_by_verify) {
    checkin("a.txt", text(2000, 7));
    const std::int64_t at = value("SELECT physical_offset FROM chunk WHERE chunk_id = 2");
    const std::int64_t stored = value("SELECT stored_size FROM chunk WHERE chunk_id = 2");
    ASSERT_GT(stored, 0);
    const fs::path container = v.layout().data / "tuv_s1";
    const std::string where = container.string() + " at " + std::to_string(at);
    const auto flip = [&](std::int64_t offset) {
        std::fstream f(container, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(offset);
        const char c = static_cast<char>(f.get());
        f.seekp(offset);
        f.put(static_cast<char>(c ^ 0x5a));
    };
    const struct {
        const char* name;
        std::function<void()> damage;
        std::string read_error;  // after "The vault is damaged: \a.txt, offset 1000: "
        std::string verify_problem;
    } cases[] = {
        {"a byte of the block header", [&] { flip(at); },
         "the bytes in container " + where + " do not decompress",
         "chunk 2 (\\a.txt, offset 1000): the bytes in container 1 (" + container.string() +
             ") at " + std::to_string(at) + " do not decompress"},
        {"a byte of the compressed data", [&] { flip(at + stored / 2); },
         "the bytes in container " + where + " do not match their checksum",
         "chunk 2 (\\a.txt, offset 1000): the bytes in container 1 (" + container.string() +
             ") at " + std::to_string(at) + " do not match their checksum"},
        {"a stored length past the container's end",
         [&] {
             v.database().execute("UPDATE chunk SET stored_size = stored_size + 5000"
                                  " WHERE chunk_id = 2");
         },
         "container " + container.string() + " ends before the block's " +
             std::to_string(stored + 5000) + " bytes at " + std::to_string(at),
         "container 1 (" + container.string() + ") is " + std::to_string(fs::file_size(container)) +
             " bytes long, but its chunks reach " + std::to_string(at + stored + 5000)},
        {"a codec of a newer version",
         [&] { v.database().execute("UPDATE chunk SET codec = 7 WHERE chunk_id = 2"); },
         "the bytes in container " + where +
             " are stored with codec 7, which this version of Quillmark cannot read",
         "chunk 2 (\\a.txt, offset 1000): the bytes in container 1 (" + container.string() +
             ") at " + std::to_string(at) +
             " are stored with codec 7, which this version of Quillmark cannot read"},
    };
    const std::string bytes = [&] {
        std::ifstream in(container, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        std::string error = "<no exception>";
        try {
            read("a.txt");
        } catch (const vault_damaged_error& e) {
            error = e.what();
        }
        EXPECT_EQ(error, "The vault is damaged: \\a.txt, offset 1000: " + c.read_error);
        EXPECT_FALSE(fs::exists(local / "out"));  // no wrong byte written
        EXPECT_EQ(problems(), lines{c.verify_problem});
        // Undone for the next case.
        std::ofstream(container, std::ios::binary | std::ios::trunc) << bytes;
        v.database().execute("UPDATE chunk SET stored_size = ?, codec = 2 WHERE chunk_id = 2",
                             {stored});
        ASSERT_EQ(problems(), lines{});
    }
}

// A vault made now: consecutive new chunks of a file share frames.
class shared_frame_test : public compression_test {
  protected:
    shared_frame_test() : compression_test({3}, 3) {}
    // The chunks in shared frames: "chunk_id physical_offset frame_offset".
    lines framed() {
        return test::query_rows(v.database(),
                                "SELECT chunk_id || ' ' || physical_offset || ' ' || frame_offset"
                                " FROM chunk WHERE codec = 3 ORDER BY chunk_id");
    }
};

TEST_F(shared_frame_test, versions_read_back_whole_through_frames_shared_with_a_later_file) {
    const std::string first = text(150000, 11);
    checkin("a.txt", first);
    // Frames of consecutive chunks, none holding more than 64 KiB, stored
    // end to end: the container holds each frame once.
    const lines frames = test::query_rows(
        v.database(), "SELECT DISTINCT physical_offset FROM chunk WHERE codec = 3");
    EXPECT_GT(frames.size(), 2u);
    EXPECT_EQ(value("SELECT MAX(frame_offset + size) <= 65536 FROM chunk WHERE codec = 3"), 1);
    EXPECT_EQ(
        value("SELECT COUNT(*) FROM chunk WHERE COALESCE(codec, 0) <> 3 OR frame_offset IS NULL"),
        1);  // the empty chunk that ends a file ending on a chunk boundary
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(v.layout().data / "tuv_s1")),
              value("SELECT SUM(stored_size) FROM (SELECT DISTINCT physical_offset, stored_size"
                    " FROM chunk WHERE stored_size IS NOT NULL)"));

    // b.txt takes chunks out of the middle of a.txt's frames; a.txt changes.
    const std::string second = first.substr(0, 40000) + text(3000, 12) + first.substr(43000);
    const std::string b = text(2000, 13) + first.substr(30000, 50000) + text(2500, 14);
    checkin("a.txt", second, t2);
    checkin("b.txt", b, t2);
    EXPECT_EQ(read("a.txt"), first);
    EXPECT_EQ(read("a.txt", t2), second);
    EXPECT_EQ(read("b.txt", t2), b);
    // b.txt's 50 chunks of a.txt are a.txt's rows, in their frames.
    EXPECT_EQ(value("SELECT COUNT(*) FROM chunk WHERE codec = 3 AND refcount >= 3"), 50);
    EXPECT_EQ(problems(), lines{});
}

// A file whose one chunk lies in the middle of another file's frame: that
// chunk alone is read out of the frame.
TEST_F(shared_frame_test, chunk_is_read_alone_from_the_middle_of_a_frame) {
    const std::string content = text(20000, 15);
    checkin("a.txt", content);
    checkin("one.txt", content.substr(7000, 1000));
    const std::int64_t chunk = value(
        "SELECT chunk_id FROM bmap JOIN file_info"
        " ON file_info.file_id = bmap.file_id"
        " WHERE path = 'one.txt' AND virtual_offset = 0");
    EXPECT_EQ(value("SELECT frame_offset FROM chunk WHERE codec = 3 AND chunk_id = " +
                    std::to_string(chunk)),
              7000);
    EXPECT_EQ(read("one.txt"), content.substr(7000, 1000));
}

// Chunks of two frames (chunks 0 to 31 and 64 to 95 of a.txt), each many
// times over and back and forth, read back whole.
TEST_F(shared_frame_test, chunks_of_frames_repeated_out_of_order_read_back) {
    const std::string content = text(100000, 17);
    checkin("a.txt", content);
    const auto chunk = [&](std::size_t n) { return content.substr(n * 1000, 1000); };
    std::string repeats;
    for (int i = 0; i < 300; ++i) repeats += chunk(5) + chunk(5) + chunk(70) + chunk(2) + chunk(80);
    checkin("b.txt", repeats);
    EXPECT_EQ(read("b.txt"), repeats);
}

// A frame's damage is reported for every chunk in it, in the words of any
// damaged chunk; the read names the first chunk of the file it spoils.
TEST_F(shared_frame_test, damaged_frame_is_named_by_reading_and_by_verify) {
    checkin("a.txt", text(3000, 16));
    ASSERT_EQ(framed(), (lines{"1 0 0", "2 0 1000", "3 0 2000"}));
    const fs::path container = v.layout().data / "tuv_s1";
    {
        std::fstream f(container, std::ios::in | std::ios::out | std::ios::binary);
        f.put('\x5a');
    }
    std::string error = "<no exception>";
    try {
        read("a.txt");
    } catch (const vault_damaged_error& e) {
        error = e.what();
    }
    const std::string where = container.string() + ") at 0 do not decompress";
    EXPECT_EQ(error, "The vault is damaged: \\a.txt, offset 0: the bytes in container " +
                         container.string() + " at 0 do not decompress");
    EXPECT_EQ(problems(),
              (lines{"chunk 1 (\\a.txt, offset 0): the bytes in container 1 (" + where,
                     "chunk 2 (\\a.txt, offset 1000): the bytes in container 1 (" + where,
                     "chunk 3 (\\a.txt, offset 2000): the bytes in container 1 (" + where}));
}

// A chunk that repeats one a few chunks back, about a batch of rows back
// or several batches back is stored once, whether its version is new or
// replaces blocks; its refcount counts every block (verify checks).
TEST_F(shared_frame_test, repeated_chunks_are_stored_once_at_any_distance) {
    const auto content = [](unsigned seed) {
        std::vector<unsigned> piece(400);
        for (unsigned i = 0; i < piece.size(); ++i) piece[i] = seed + i;
        const std::pair<unsigned, unsigned> repeats[] = {{10, 1},   {80, 63},   {150, 64},
                                                         {220, 65}, {300, 129}, {399, 250}};
        for (const auto& [at, back] : repeats) piece[at] = piece[at - back];
        std::string bytes;
        for (const unsigned p : piece) bytes += text(1000, p);
        return bytes;
    };
    const std::string first = content(1000);
    const std::string second = content(5000);
    checkin("a.txt", first);
    checkin("a.txt", second, t2);
    EXPECT_EQ(value("SELECT COUNT(*) - COUNT(DISTINCT checksum) FROM chunk"), 0);
    EXPECT_EQ(read("a.txt"), first);
    EXPECT_EQ(read("a.txt", t2), second);
    EXPECT_EQ(problems(), lines{});
}

// A vault made before frames were shared keeps its schema and its codec;
// it goes on storing each chunk on its own.
TEST_F(compression_test, vault_without_frame_offset_stores_chunks_alone) {
    v.database().execute("ALTER TABLE chunk DROP COLUMN frame_offset");
    v.reopen();
    const std::string content = text(3000, 17);
    checkin("a.txt", content);
    EXPECT_EQ(test::query_rows(v.database(), "SELECT codec FROM chunk WHERE size > 0"),
              (lines{"2", "2", "2"}));
    EXPECT_EQ(read("a.txt"), content);
    EXPECT_EQ(problems(), lines{});
}

}  // namespace
}  // namespace tuv
