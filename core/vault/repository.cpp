#include "core/vault/repository.h"

#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/open_database.h"
#include "core/db/schema.h"
#include "core/storage/block_reader.h"
#include "core/storage/chunk_codec.h"
#include "core/storage/file_io.h"
#include "core/storage/large_object_store.h"
#include "core/storage/vault_folder.h"
#include "core/vault/checkin_group.h"
#include "core/vault/journal.h"

namespace tuv {
namespace {

std::uint32_t read_number(settings_reader& reader, const char* key) {
    return static_cast<std::uint32_t>(parse_setting_number(key, reader.get_setting(key)));
}

}  // namespace

repository::repository(const std::string& db_path, access mode) : files_(&file_system::local()) {
    // A database on a server has no folder: its data folder's setting is
    // taken as it is, a name for its containers.
    const bool on_server = is_server_address(db_path);
    if (!on_server) {
        folder_ =
            std::filesystem::absolute(path_from_utf8(db_path)).lexically_normal().parent_path();
    }
    database_ = open_database(
        db_path, mode == access::read_only ? db_open_mode::read_only : db_open_mode::existing);
    if (on_server)
        server_containers_ =
            std::make_unique<large_object_store>(*database_, mode == access::read_only);

    settings_reader reader(*database_);
    // Read in this order so that an empty settings table reports the
    // separator first.
    path_separator_ = reader.get_setting(setting_key::path_separator);
    data_directory_ = local_path(folder_, reader.get_setting(setting_key::data_directory));
    chunks_.max_size = read_number(reader, setting_key::chunk_max_size);
    chunks_.min_size = read_number(reader, setting_key::chunk_min_size);
    chunks_.win_size = read_number(reader, setting_key::chunk_win_size);
    chunks_.anchor = read_number(reader, setting_key::chunk_anchor);
    validate_path_separator(path_separator_);
    validate(chunks_);
    try {
        const std::string disk_size = reader.get_setting(setting_key::default_disk_size);
        default_disk_size_ =
            parse_setting_number(setting_key::default_disk_size, disk_size, INT64_MAX);
    } catch (const rec_not_found_exception&) {
        default_disk_size_.reset();
    }

    const chunk_columns columns = read_chunk_columns(*database_);
    stored_form_columns_ = columns.stored_form;
    frame_offset_column_ = columns.stored_form && columns.frame_offset;
    try {
        compression_ = parse_compression(reader.get_setting(setting_key::compression),
                                         default_compression_level);
        compression_set_ = true;
    } catch (const rec_not_found_exception&) {
        // Made before compression: raw, as it always was.
    }
    try {
        const int codec = parse_compressed_codec(reader.get_setting(setting_key::compressed_codec));
        // A chunk that shares no frame is stored headerless in a vault of
        // shared frames.
        headerless_frames_ = codec >= static_cast<int>(chunk_codec::zstd_headerless);
        shared_frames_ = codec == static_cast<int>(chunk_codec::shared_frame);
    } catch (const rec_not_found_exception&) {
        // Compressed before frames lost their headers: whole frames.
    }
    if (compression_.enabled() && shared_frames_ && !frame_offset_column_) {
        throw tuv_error(
            "Invalid setting compressed_codec = \"3\": the vault's chunk table has no"
            " frame_offset column");
    }
    if (compression_.enabled() && !stored_form_columns_) {
        throw tuv_error("Invalid setting compression = \"" + to_text(compression_) +
                        "\": the vault's chunk table has no stored_size and codec columns");
    }

    journal_ = std::make_unique<tuv::journal>(database_.get());
    catalogue_ = std::make_unique<tuv::catalogue>(*this);
}

repository::~repository() {
    // The journal must never reach a closed database.
    if (journal_) journal_->detach();
    journal_.reset();
    server_containers_.reset();
    database_.reset();
}

date repository::first_version_date(std::int64_t file_id) {
    return block_reader(storage()).first_version_date(file_id);
}

date repository::last_version_date(std::int64_t file_id) {
    return block_reader(storage()).last_version_date(file_id);
}

checkin_result repository::checkin_file(const std::filesystem::path& source,
                                        const std::string& directory, const std::string& when,
                                        const std::string& mime_type,
                                        const std::string& description,
                                        progress_observer* observer) {
    // A group of one: committed as soon as the file is in.
    checkin_group::outcome done;
    checkin_group one(
        *this, [&done](const checkin_group::outcome& o) { done = o; },
        checkin_group::limits{0, 1, {}});
    one.add(source, directory, when, mime_type, description, observer);
    one.commit();
    if (done.error) std::rethrow_exception(done.error);
    return done.result;
}

repository* open_repository(const std::string& db_path) {
    struct process_repository {
        std::string db_path;
        std::unique_ptr<repository> instance;
        bool attempted = false;
    };
    static process_repository process;

    process.db_path = db_path;
    if (!process.attempted) {
        process.attempted = true;
        process.instance = std::make_unique<repository>(process.db_path);
    }
    return process.instance.get();
}

}  // namespace tuv
