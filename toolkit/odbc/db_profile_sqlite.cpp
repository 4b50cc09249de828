// The SQLite3 ODBC driver.
#include <cctype>

#include "db_profile.h"

namespace {

class SqliteProfile : public vqDbProfile {
public:
    bool Serves(const std::string& lower) const override {
        return lower.find("sqlite3") != std::string::npos;
    }
    const char* Name() const override { return "SQLite3"; }

    // NOTE: the driver reads the whole result set at execute unless told to step.
    const char* StreamingKey() const override { return "StepAPI"; }
    const char* StreamingAttributes() const override { return "StepAPI=1"; }

    // NOTE: the driver's busy handler waits up to about twice its Timeout (ms) for a lock.
    const char* LockWaitKey() const override { return "Timeout"; }
    std::string LockWaitAttributes(int milliseconds) const override {
        return "Timeout=" + std::to_string(milliseconds > 1 ? milliseconds / 2 : 1);
    }

    // NOTE: a fresh machine may have the driver installed but not registered. Under Wine
    // the driver manager is the host's, which loads these same files.
    std::vector<std::string> DriverPaths() const override {
        return {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                "/usr/lib/odbc/libsqlite3odbc.so", "/usr/local/lib/libsqlite3odbc.so"};
    }

    // SQLITE_BUSY (5) and SQLITE_LOCKED (6) come as native codes under HY000.
    bool IsLockWait(const std::string& sqlState, long nativeError) const override {
        return nativeError == 5 || nativeError == 6 || vqDbProfile::IsLockWait(sqlState, 0);
    }

    // Dates and times compare as the date and time they name, to the millisecond: the
    // driver writes parameters in one form ("10:00:00.000") and reads any stored form.
    std::string SameValue(const std::string& column, SWORD cType, int& markers) const override {
        markers = 1;
        const char* format = nullptr;
        switch (cType) {
            case SQL_C_DATE:
            case SQL_C_TYPE_DATE:
                format = "'%Y-%m-%d'";
                break;
            case SQL_C_TIME:
            case SQL_C_TYPE_TIME:
                format = "'%H:%M:%f'";
                break;
            case SQL_C_TIMESTAMP:
            case SQL_C_TYPE_TIMESTAMP:
                format = "'%Y-%m-%d %H:%M:%f'";
                break;
            default:
                return column + " IS ?";
        }
        // A text that names no date reads as null: it never equals a null read.
        std::string stored = std::string("strftime(") + format + "," + column + ")";
        return stored + " IS strftime(" + format + ",?) AND (" + column + " IS NULL OR " + stored +
               " IS NOT NULL)";
    }

    // NOTE: the driver reads text only up to an embedded NUL and reports that length.
    std::string StoredTextBytes(const std::string& column) const override {
        return "length(CAST(" + column + " AS BLOB))";
    }

    // NOTE: a statement that has not reached its last row keeps the database's read lock,
    // which stops every other connection's writes: scans read by rowid in batches.
    const char* BatchScanColumn() const override { return "rowid"; }

    // An INTEGER PRIMARY KEY column is the rowid under another name.
    bool OrdersAsBatchColumn(SQLHDBC hdbc, const std::string& quotedTable,
                             const std::string& orderBy) const override {
        std::string column = Trim(orderBy);
        std::string lower = Lower(column);
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, " asc") == 0)
            column = Trim(column.substr(0, column.size() - 4));
        if (column.size() > 1 && column.front() == '"' && column.back() == '"') {
            column = column.substr(1, column.size() - 2);
            if (column.find('"') != std::string::npos) return false;
        } else if (column.find_first_of(" \t,(\"") != std::string::npos) {
            return false;
        }
        if (Lower(column) == "rowid") return true;
        std::vector<std::vector<std::string>> info;
        std::string why;
        if (!vqDbRunText(hdbc, "PRAGMA table_info(" + quotedTable + ")", {}, &info, why))
            return false;
        int keys = 0;
        bool alias = false;
        for (const std::vector<std::string>& c : info) {
            if (c.size() < 6 || c[5] == "0" || c[5].empty()) continue;
            ++keys;
            alias = Lower(c[1]) == Lower(column) && Lower(c[2]) == "integer";
        }
        return keys == 1 && alias;
    }

private:
    static std::string Lower(std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    }
    static std::string Trim(const std::string& s) {
        size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
        return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    }
};

}  // namespace

const vqDbProfile& vqDbSqliteProfile() {
    static const SqliteProfile profile;
    return profile;
}
