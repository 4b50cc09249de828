#include "dbgrid_fixture.h"

#include <unistd.h>

#include <cstdlib>

namespace {
const char* PgConn() { return getenv("VQ_TEST_PG_CONN"); }

// Removes the database files the suite made when it exits.
struct Files {
    ~Files() {
        for (auto& f : names) unlink(f.c_str());
    }
    std::vector<std::string> names;
} s_files;
}  // namespace

bool UsingPostgres() { return PgConn() && *PgConn(); }

std::string TestConnection(const std::string& name) {
    if (UsingPostgres()) return PgConn();
    std::string file =
        std::string(VQ_TEST_BINARY_DIR) + "/" + name + "_" + std::to_string(getpid()) + ".db";
    unlink(file.c_str());
    s_files.names.push_back(file);
    return "Driver=SQLite3;Database=" + file;
}

bool CreateItems(vqDb& db, int rows) {
    db.ExecSql(vqT("DROP TABLE IF EXISTS items"));
    const vqChar* ddl =
        UsingPostgres()
            ? vqT("CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(63), qty INTEGER, ")
                  vqT("price DOUBLE PRECISION, small SMALLINT, made TIMESTAMP, day DATE, ")
                      vqT("note VARCHAR(31), label VARCHAR(31))")
            : vqT("CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(63), qty INTEGER, ")
                  vqT("price DOUBLE, small SMALLINT, made TIMESTAMP, day DATE, note VARCHAR(31), ")
                      vqT("label VARCHAR(31))");
    if (!db.ExecSql(ddl)) return false;
    ItemRow buf;
    vqDbTable* t = OpenItems(db, buf, false);
    if (!t) return false;
    db.ExecSql(vqT("BEGIN"));
    bool ok = true;
    for (int i = 0; i < rows && ok; ++i) {
        t->ClearMemberVars(false);
        t->SetColumnValue(kId, vqVariant(long(i + 1)));
        t->SetColumnValue(kName, vqVariant(vqString::Format(vqT("item %d"), i)));
        t->SetColumnValue(kLabel, vqVariant(vqString::Format(vqT("L%d"), i)));
        if (i % 7 == 6) {
            for (int c : {kQty, kPrice, kSmall, kMade, kDay, kNote}) t->SetColNull(c);
        } else {
            t->SetColumnValue(kQty, vqVariant(long(i * 3)));
            t->SetColumnValue(kPrice, vqVariant(i + 0.5));
            t->SetColumnValue(kSmall, vqVariant(long(-i)));
            t->SetColumnValue(kMade, vqVariant(vqDateTime(2024, 1, 1 + i % 28, 10, 20, 30)));
            t->SetColumnValue(kDay, vqVariant(vqDateTime(2023, 12, 1 + i % 28, 0, 0, 0, 0,
                                                         vqDateTime::DatePart)));
            t->SetColumnValue(kNote, vqVariant(vqString::Format(vqT("n%d"), i)));
        }
        ok = t->Insert();
    }
    db.ExecSql(vqT("COMMIT"));
    delete t;
    return ok;
}

vqDbTable* OpenItems(vqDb& db, ItemRow& b, bool query) {
    vqDbTable* t = new vqDbTable(&db, vqT("items"), kNumCols);
    t->SetColDefs(kId, vqT("id"), vqDB_DATA_TYPE_INTEGER, &b.id, SQL_C_SLONG, sizeof(b.id), true,
                  false);
    t->SetColDefs(kName, vqT("name"), vqDB_DATA_TYPE_VARCHAR, b.name, SQL_C_CHAR, sizeof(b.name));
    t->SetColDefs(kQty, vqT("qty"), vqDB_DATA_TYPE_INTEGER, &b.qty, SQL_C_LONG, sizeof(b.qty));
    t->SetColDefs(kPrice, vqT("price"), vqDB_DATA_TYPE_FLOAT, &b.price, SQL_C_DOUBLE,
                  sizeof(b.price));
    t->SetColDefs(kSmall, vqT("small"), vqDB_DATA_TYPE_INTEGER, &b.small, SQL_C_SSHORT,
                  sizeof(b.small));
    t->SetColDefs(kMade, vqT("made"), vqDB_DATA_TYPE_DATE, &b.made, SQL_C_TIMESTAMP,
                  sizeof(b.made));
    t->SetColDefs(kDay, vqT("day"), vqDB_DATA_TYPE_DATE, &b.day, SQL_C_DATE, sizeof(b.day));
    t->SetColDefs(kNote, vqT("note"), vqDB_DATA_TYPE_VARCHAR, b.note, SQL_C_WCHAR, sizeof(b.note));
    t->SetColDefs(kLabel, vqT("label"), vqDB_DATA_TYPE_VARCHAR, b.label, SQL_C_CHAR,
                  sizeof(b.label), false, false);
    if (!t->Open()) {
        delete t;
        return nullptr;
    }
    t->SetOrderByClause(vqT("id"));
    if (query && !t->Query()) {
        delete t;
        return nullptr;
    }
    return t;
}

vqDbGridColInfo* AllColumns() {
    static const vqChar* names[] = {vqT("id"),    vqT("name"),  vqT("qty"),
                                    vqT("price"), vqT("small"), vqT("made"),
                                    vqT("day"),   vqT("note"),  vqT("label")};
    vqDbGridColInfo* head = new vqDbGridColInfo(0, vqT("dbauto"), names[0], nullptr);
    for (int i = 1; i < kNumCols; ++i) head->AddColInfo(i, vqT("dbauto"), names[i]);
    return head;
}
