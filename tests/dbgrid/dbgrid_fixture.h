// Shared helpers of the grid suite: a log target that keeps every line, and a
// sample table in a real database (a fresh SQLite file, or PostgreSQL when
// VQ_TEST_PG_CONN names one).
#ifndef DBGRID_FIXTURE_H
#define DBGRID_FIXTURE_H

#include <gtest/gtest.h>

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
bool UsingPostgres();
// Creates "items" with rows rows (row i: id i+1, name "item <i>", qty i*3, ...);
// every 7th row has nulls in every nullable column.
bool CreateItems(vqDb& db, int rows);
// A table over "items" bound to buf, opened and queried (ordered by id).
vqDbTable* OpenItems(vqDb& db, ItemRow& buf, bool query = true);
// The default column list: every column as "dbauto" titled by its name.
vqDbGridColInfo* AllColumns();

#endif
