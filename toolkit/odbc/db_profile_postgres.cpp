// PostgreSQL through psqlODBC.
#include <cstdlib>

#include "db_profile.h"

namespace {

class PostgresProfile : public vqDbProfile {
public:
    bool Serves(const std::string& lower) const override {
        return lower.find("psql") != std::string::npos ||
               lower.find("postgres") != std::string::npos;
    }
    const char* Name() const override { return "PostgreSQL"; }

    // NOTE: the driver reads the whole result set at execute unless told to use a cursor;
    // the first batch is small so that the first rows come at once.
    const char* StreamingKey() const override { return "UseDeclareFetch"; }
    const char* StreamingAttributes() const override { return "UseDeclareFetch=1;Fetch=256"; }

    // 55P03 lock_timeout, 57014 a statement (query) timeout, 40P01 a deadlock.
    bool IsLockWait(const std::string& sqlState, long) const override {
        return sqlState == "55P03" || sqlState == "57014" || sqlState == "40P01" ||
               vqDbProfile::IsLockWait(sqlState, 0);
    }

    std::string SameValue(const std::string& column, SWORD, int& markers) const override {
        markers = 1;
        return column + " IS NOT DISTINCT FROM ?";
    }

    bool UsesServerCursors(const std::string&) const override { return true; }

    // NOTE: psqlODBC's connection attribute SQL_ATTR_PGOPT_FETCH (65541) is its Fetch
    // option; a cursor reads it before each round trip.
    bool SetCursorBatch(SQLHDBC hdbc, SQLULEN rows) const override {
        const SQLINTEGER kPgOptFetch = 65541;
        SQLRETURN rc = SQLSetConnectAttr(hdbc, kPgOptFetch, reinterpret_cast<SQLPOINTER>(rows), 0);
        return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
    }

    bool PrepareLookupSession(SQLHDBC main, SQLHDBC lookup, long lockWaitMs,
                              std::string& why) const override {
        // What the application SET on the main connection, and how its transaction is
        // isolated.
        std::vector<std::vector<std::string>> settings;
        bool ok = vqDbRunText(main,
                              "SELECT name, setting, source FROM pg_catalog.pg_settings "
                              "WHERE source = 'session' OR name = 'transaction_isolation'",
                              {}, &settings, why);
        for (size_t i = 0; ok && i < settings.size(); ++i) {
            const std::vector<std::string>& row = settings[i];
            if (row.size() != 3) {
                ok = false;
            } else if (row[0] == "transaction_isolation") {
                // NOTE: a snapshot older than the lookup's would show other rows than it.
                if (row[1] != "read committed" && row[1] != "read uncommitted") {
                    why = "the transaction is isolated as " + row[1];
                    ok = false;
                }
            } else if (row[0] == "lock_timeout" && row[2] == "session") {
                long wait = atol(row[1].c_str());
                if (wait > 0 && wait < lockWaitMs) lockWaitMs = wait;
            }
        }
        // The lookup connection starts from its defaults and takes every session setting.
        ok = ok && vqDbRunText(lookup, "RESET SESSION AUTHORIZATION", {}, nullptr, why) &&
             vqDbRunText(lookup, "RESET ALL", {}, nullptr, why);
        for (size_t i = 0; ok && i < settings.size(); ++i) {
            const std::vector<std::string>& row = settings[i];
            if (row[2] != "session" || row[0].compare(0, 12, "transaction_") == 0) continue;
            ok = vqDbRunText(lookup, "SELECT pg_catalog.set_config(?, ?, false)", {row[0], row[1]},
                             nullptr, why);
        }
        return ok && vqDbRunText(lookup, "SELECT pg_catalog.set_config('lock_timeout', ?, false)",
                                 {std::to_string(lockWaitMs)}, nullptr, why);
    }

    std::string LookupRelation(SQLHDBC main, const std::string& quotedName,
                               std::string& why) const override {
        std::vector<std::vector<std::string>> rows;
        if (!vqDbRunText(main,
                         "SELECT n.nspname, c.relpersistence::text FROM pg_catalog.pg_class c "
                         "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                         "WHERE c.oid = pg_catalog.to_regclass(?)",
                         {quotedName}, &rows, why))
            return std::string();
        if (rows.size() != 1 || rows[0].size() != 2 || rows[0][1] == "t") {
            why = "a temporary or unknown relation";
            return std::string();
        }
        std::string schema = "\"";
        for (char c : rows[0][0]) schema += c == '"' ? std::string("\"\"") : std::string(1, c);
        return schema + "\"." + quotedName;
    }

    // NOTE: xmax is not 0 while a transaction changes, deletes or locks the row (or after
    // one that did so failed): then the row may not be what the main connection sees.
    const char* RowVersionColumn() const override { return "xmax::text"; }
};

}  // namespace

const vqDbProfile& vqDbPostgresProfile() {
    static const PostgresProfile profile;
    return profile;
}
