// Shared helpers of the grid suite: a log target that keeps every line, and a
// sample table in a real database (a fresh SQLite file, or PostgreSQL when
// VQ_TEST_PG_CONN names one).
#ifndef DBGRID_FIXTURE_H
#define DBGRID_FIXTURE_H

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vq/db.h"
#include "vq/dbgridtable.h"
#include "vq/log.h"

// Collects every log line while installed.
class CaptureLog : public vqLog {
public:
    CaptureLog() { m_previous = vqLog::SetActiveTarget(this); }
    ~CaptureLog() override { vqLog::SetActiveTarget(m_previous); }
    void DoLog(vqLogLevel level, const vqString& text) override {
        lines.push_back({level, text.ToUTF8()});
    }
    std::vector<std::string> Debug() const {
        std::vector<std::string> out;
        for (auto& l : lines)
            if (l.first == vqLOG_Debug) out.push_back(l.second);
        return out;
    }
    int Errors() const {
        int n = 0;
        for (auto& l : lines) n += l.first == vqLOG_Error;
        return n;
    }
    bool Contains(const std::string& text) const {
        for (auto& l : lines)
            if (l.second.find(text) != std::string::npos) return true;
        return false;
    }
    void Clear() { lines.clear(); }
    // Every error line, for failure messages.
    std::string ErrorText() const {
        std::string text;
        for (auto& l : lines)
            if (l.first == vqLOG_Error) text += l.second + "\n";
        return text;
    }
    std::vector<std::pair<vqLogLevel, std::string>> lines;

private:
    vqLog* m_previous;
};

// Column numbers of the sample table "items".
enum { kId, kName, kQty, kPrice, kSmall, kMade, kDay, kNote, kLabel, kNumCols };

// Buffers of one row of "items".
struct ItemRow {
    SQLINTEGER id;
    char name[64];
    SQLINTEGER qty;
    SQLDOUBLE price;
    SQLSMALLINT small;
    TIMESTAMP_STRUCT made;
    DATE_STRUCT day;
    SQLWCHAR note[32];
    char label[32];
};

// The connection string of the database the suite runs against, made fresh.
std::string TestConnection(const std::string& name);
// A file of the suite's build directory, named as this system names it.
std::string TestFilePath(const std::string& name);
// The name under which the driver finds a file or directory the test names: under Wine the
// driver is the host's and needs the host's (Unix) path; elsewhere the name itself.
std::string DriverFilePath(const std::string& file);
// Sets an environment variable (an empty value removes it) until destroyed, then puts back
// what it was.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name, m_old;
    bool m_had;
};
// Whether the suite runs against PostgreSQL (VQ_TEST_PG_CONN set), and whether a
// connection is one to PostgreSQL.
bool UsingPostgres();
bool IsPostgres(vqDb& db);
// A connection to a fresh test database whose statements give up after waiting
// lockWaitMs for a lock another connection holds (0: the driver's default); a fresh
// SQLite file when postgres is false.
std::unique_ptr<vqDb> OpenTestDb(const std::string& name, int lockWaitMs = 0,
                                 bool postgres = UsingPostgres());

// Every row of a table read through a plain ODBC statement, not through the
// database layer: id -> the stored bytes of each column in the order given. On
// SQLite each value is prefixed with its storage class ("integer:", "text:", ...), and a
// real is written with 17 significant digits, enough to tell any two doubles apart.
// A null value is kNullCell.
typedef std::map<long, std::vector<std::string>> StoredRows;
extern const std::string kNullCell;
StoredRows ReadStored(vqDb& db, const std::string& table, const std::vector<std::string>& columns);

// Holds an exclusive lock on the test database from another process: the sqlite3
// shell on the same file, or a second PostgreSQL connection (its own server
// process) that locks a table. Acquire() is false when the lock is not free.
// NOTE: a Windows program cannot run the host's sqlite3 shell: there a second SQLite
// connection of this process holds the lock, which SQLite keeps between connections as
// it does between processes.
class LockHolder {
public:
    LockHolder(vqDb& db, const std::string& table);
    ~LockHolder();
    bool Acquire();
    void Release();
    bool Held() const { return m_held; }

private:
    bool Send(const std::string& commands, const std::string& until);
    void Stop();

    std::string m_file, m_table;
    std::unique_ptr<vqDb> m_other;
#ifndef _WIN32
    pid_t m_child = -1;
    int m_in = -1, m_out = -1;
#endif
    bool m_held = false;
};
// Creates "items" with rows rows (row i: id i+1, name "item <i>", qty i*3, ...);
// every 7th row has nulls in every nullable column.
bool CreateItems(vqDb& db, int rows);
// A table over "items" bound to buf, opened and queried (ordered by id).
vqDbTable* OpenItems(vqDb& db, ItemRow& buf, bool query = true);
// The default column list: every column as "dbauto" titled by its name.
vqDbGridColInfo* AllColumns();

#endif
