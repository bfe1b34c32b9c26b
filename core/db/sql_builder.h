// Builds a statement from fixed pieces and the values of its "?" marks, so
// that a condition and its values are always added together. Text values are
// borrowed, not copied: they must outlive the builder's last use.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/db/db.h"

namespace tuv {

// The escape character of the LIKE patterns built below; a statement that
// uses one says ESCAPE '\' in its text.
inline constexpr char like_escape = '\\';

// Appends `text` to a LIKE pattern so that it matches only itself: "%", "_"
// and the escape character lose their meaning.
inline void append_like_literal(std::string& pattern, std::string_view text) {
    for (const char c : text) {
        if (c == '%' || c == '_' || c == like_escape) pattern += like_escape;
        pattern += c;
    }
}

class sql_builder {
  public:
    explicit sql_builder(std::string_view head = {}) : sql_(head) {}

    // Appends a piece of SQL and the values of the "?" marks it contains.
    sql_builder& add(std::string_view piece, std::initializer_list<db_param> values = {}) {
        sql_ += piece;
        params_.insert(params_.end(), values);
        return *this;
    }

    // Appends another builder's SQL and values.
    sql_builder& add(const sql_builder& other) {
        sql_ += other.sql_;
        params_.insert(params_.end(), other.params_.begin(), other.params_.end());
        return *this;
    }

    const std::string& sql() const { return sql_; }
    db_params params() const { return params_; }

  private:
    std::string sql_;
    std::vector<db_param> params_;
};

}  // namespace tuv
