// The rows of one PostgreSQL query, fetched whole. Values arrive as text and
// are read as SQLite's would be: NULL as 0 or "", a boolean as 1 or 0, a
// BYTEA as its bytes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/db/db.h"

struct pg_result;

namespace tuv {

class db_postgres_recordset : public db_recordset {
  public:
    // Takes the result over.
    explicit db_postgres_recordset(pg_result* result);
    ~db_postgres_recordset() override;

    bool next() override;
    bool prev() override;
    int column_count() override;
    std::string column_name(int index) override;

    std::int32_t get_int(int index) override;
    std::int32_t get_int(const std::string& name) override { return get_int(find(name)); }
    std::int64_t get_int64(int index) override;
    std::int64_t get_int64(const std::string& name) override { return get_int64(find(name)); }
    std::string get_string(int index) override;
    std::string get_string(const std::string& name) override { return get_string(find(name)); }
    bool is_null(const std::string& name) override;

  private:
    int find(const std::string& name);
    void require_row(int index) const;

    pg_result* result_;
    int rows_;
    int row_ = -1;
    std::vector<std::string> names_;
};

}  // namespace tuv
