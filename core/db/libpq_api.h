// libpq, loaded the first time a vault on a database server is opened.
// Linked in, libpq and what it needs (TLS, Kerberos, LDAP) cost every start
// of every program about 3 ms, two thirds of a short command's time, though
// most vaults are local and never call it.
#pragma once

#include <libpq-fe.h>

namespace tuv {

// The functions of libpq that the database layer calls, each once by name
// in this list: the table's members and their loading both come from it.
// clang-format off
#define TUV_LIBPQ_FUNCTIONS(F)                                                           \
    F(PQclear) F(PQconnectdb) F(PQconnectionNeedsPassword) F(PQconnectionUsedPassword)   \
    F(PQconninfoFree) F(PQconninfoParse) F(PQdescribePrepared) F(PQenterPipelineMode)    \
    F(PQerrorMessage) F(PQexec) F(PQexecParams) F(PQexecPrepared) F(PQexitPipelineMode)  \
    F(PQfformat) F(PQfinish) F(PQfname) F(PQfreemem) F(PQftype) F(PQgetResult)           \
    F(PQgetisnull) F(PQgetlength) F(PQgetvalue) F(PQnfields) F(PQntuples) F(PQping)      \
    F(PQpipelineSync) F(PQprepare) F(PQresultErrorField) F(PQresultStatus)               \
    F(PQsendQueryPrepared) F(PQsetNoticeProcessor) F(PQstatus) F(PQtransactionStatus)    \
    F(PQunescapeBytea)
// clang-format on

struct libpq_api {
#define TUV_LIBPQ_MEMBER(name) decltype(&::name) name;
    TUV_LIBPQ_FUNCTIONS(TUV_LIBPQ_MEMBER)
#undef TUV_LIBPQ_MEMBER
};

// libpq's functions, loaded on the first call (from any thread) and kept.
// Throws db_exception "Cannot open a PostgreSQL database: libpq could not
// be loaded (<the loader's reason>)" when the library or one of its
// functions is missing; the next call tries again.
const libpq_api& libpq();

}  // namespace tuv
