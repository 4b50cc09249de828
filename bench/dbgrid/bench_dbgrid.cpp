// Measures the grid table against plain ODBC in the same process, rounds of the two
// interleaved (the order alternating), printing the min and median of the per-round
// ratios: (a) a scan of every cell as text, at 100,000 and 1,000,000 rows; (b) 20,000
// random revisits of known rows against a prepared key lookup (on SQLite read to its end,
// so that it leaves no read lock behind, as the grid table does); (c) the time and heap to
// the first cell; (d) the heap per visited row key. SQLite always; PostgreSQL too when
// VQ_BENCH_PG_CONN names a server (scripts/bench-dbgrid.sh starts a private one). On
// PostgreSQL the plain scan streams through a server cursor in the batches the grid table's
// scan settles on (and is run once more on the driver's defaults, which read a result set
// whole at execute); the plain lookups run on the driver's defaults.
//
//   bench_dbgrid [--rows N,...] [--rounds R] [--only sqlite|postgres]
//   bench_dbgrid --make FILE --rows N         fills an SQLite file, for profiling
//   bench_dbgrid --profile grid|plain FILE    scans FILE once (under callgrind, say)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "vq/db.h"
#include "vq/dbgridtable.h"

#include "../bench_stats.h"

namespace {

using vqbench::Median;
using vqbench::Min;

const int kRevisits = 20000;
enum { kId, kName, kQty, kPrice, kMade, kCols };

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

size_t HeapInUse() { return mallinfo2().uordblks; }

struct Row {
    SQLINTEGER id;
    char name[48];
    SQLINTEGER qty;
    SQLDOUBLE price;
    TIMESTAMP_STRUCT made;
};

vqDbTable* OpenTable(vqDb& db, Row& r) {
    vqDbTable* t = new vqDbTable(&db, vqT("bench"), kCols);
    t->SetColDefs(kId, vqT("id"), vqDB_DATA_TYPE_INTEGER, &r.id, SQL_C_SLONG, sizeof(r.id), true,
                  false);
    t->SetColDefs(kName, vqT("name"), vqDB_DATA_TYPE_VARCHAR, r.name, SQL_C_CHAR, sizeof(r.name));
    t->SetColDefs(kQty, vqT("qty"), vqDB_DATA_TYPE_INTEGER, &r.qty, SQL_C_SLONG, sizeof(r.qty));
    t->SetColDefs(kPrice, vqT("price"), vqDB_DATA_TYPE_FLOAT, &r.price, SQL_C_DOUBLE,
                  sizeof(r.price));
    t->SetColDefs(kMade, vqT("made"), vqDB_DATA_TYPE_DATE, &r.made, SQL_C_TIMESTAMP,
                  sizeof(r.made));
    if (!t->Open()) {
        delete t;
        return nullptr;
    }
    t->SetOrderByClause(vqT("id"));
    return t;
}

bool Fill(vqDb& db, bool postgres, int rows) {
    db.ExecSql(vqT("DROP TABLE IF EXISTS bench"));
    if (!db.ExecSql(vqT("CREATE TABLE bench (id INTEGER PRIMARY KEY, name VARCHAR(47), ")
                        vqT("qty INTEGER, price DOUBLE PRECISION, made TIMESTAMP)")))
        return false;
    vqString n = vqString::Format(vqT("%d"), rows);
    if (postgres)
        return db.ExecSql(vqT("INSERT INTO bench SELECT i, 'row number ' || i, i * 7 % 1000, ")
                              vqT("i * 0.25, timestamp '2024-01-01' + i * interval '1 minute' ")
                                  vqT("FROM generate_series(1, ") +
                          n + vqT(") i")) &&
               db.ExecSql(vqT("ANALYZE bench"));
    db.ExecSql(vqT("BEGIN"));
    db.ExecSql(vqT("INSERT INTO bench WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 ")
                   vqT("FROM n WHERE i < ") +
               n +
               vqT(") SELECT i, 'row number ' || i, i * 7 % 1000, i * 0.25, ")
                   vqT("datetime('2024-01-01', '+' || i || ' minutes') FROM n"));
    return db.ExecSql(vqT("COMMIT"));
}

void BindRow(SQLHSTMT s, Row& r, SQLLEN* ind) {
    SQLBindCol(s, 1, SQL_C_SLONG, &r.id, 0, &ind[0]);
    SQLBindCol(s, 2, SQL_C_CHAR, r.name, sizeof(r.name), &ind[1]);
    SQLBindCol(s, 3, SQL_C_SLONG, &r.qty, 0, &ind[2]);
    SQLBindCol(s, 4, SQL_C_DOUBLE, &r.price, 0, &ind[3]);
    SQLBindCol(s, 5, SQL_C_TIMESTAMP, &r.made, sizeof(r.made), &ind[4]);
}

// Plain ODBC: bind the five columns and fetch every row, touching each value.
double PlainScan(SQLHDBC hdbc, long& checksum) {
    Row r;
    SQLLEN ind[kCols];
    SQLHSTMT s;
    SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &s);
    double start = Now();
    SQLExecDirect(s, (SQLCHAR*)"SELECT id,name,qty,price,made FROM bench ORDER BY id", SQL_NTS);
    BindRow(s, r, ind);
    while (SQL_SUCCEEDED(SQLFetch(s)))
        checksum += r.id + ind[1] + r.qty + static_cast<long>(r.price) + r.made.minute;
    double elapsed = Now() - start;
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    return elapsed;
}

vqDbGridColInfo* Columns() {
    vqDbGridColInfo* cols = new vqDbGridColInfo(kId, vqT("dbauto"), vqT("Id"), nullptr);
    cols->AddColInfo(kName, vqT("dbauto"), vqT("Name"));
    cols->AddColInfo(kQty, vqT("dbauto"), vqT("Qty"));
    cols->AddColInfo(kPrice, vqT("dbauto"), vqT("Price"));
    cols->AddColInfo(kMade, vqT("dbauto"), vqT("Made"));
    return cols;
}

// What the heap held during and after a scan by the grid table.
struct ScanHeap {
    size_t after = 0;  // held by the grid table after the scan: its row keys, nearly all
    size_t keys = 0;   // the row keys by their own count
    size_t peak = 0;   // the most the heap grew while scanning, sampled
};

// The grid table reads every cell of rows rows as text.
double GridScan(vqDb& db, int rows, long& checksum, ScanHeap& heap, bool samplePeak = false) {
    Row r;
    vqDbTable* t = OpenTable(db, r);
    t->Query();
    std::unique_ptr<vqDbGridColInfo> cols(Columns());
    size_t before = HeapInUse(), peak = 0;
    double start = Now();
    vqDbGridTableBase table(t, cols.get(), rows, true);
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < kCols; ++col) checksum += table.GetValue(row, col).length();
        if (samplePeak && row % 1024 == 0) peak = std::max(peak, HeapInUse() - before);
    }
    double elapsed = Now() - start;
    heap.after = HeapInUse() - before;
    heap.keys = table.GetRowKeys().GetHeapSize();
    heap.peak = std::max(peak, heap.after);
    return elapsed;
}

// Plain ODBC: a prepared WHERE id = ? lookup for each row number. On SQLite a sequential
// cursor stays open beside the lookups, as beside the grid table's: SQLite then keeps its
// read lock instead of taking it again for every lookup.
double PlainLookups(SQLHDBC hdbc, const std::vector<int>& rows, bool readToEnd, long& checksum) {
    Row r;
    SQLLEN ind[kCols], pind = 0;
    SQLINTEGER key = 0;
    SQLHSTMT s, scan;
    SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &s);
    SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &scan);
    SQLPrepare(s, (SQLCHAR*)"SELECT id,name,qty,price,made FROM bench WHERE id = ?", SQL_NTS);
    SQLBindParameter(s, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 10, 0, &key, 0, &pind);
    BindRow(s, r, ind);
    double start = Now();
    for (int row : rows) {
        key = row + 1;
        SQLFreeStmt(s, SQL_CLOSE);
        SQLExecute(s);
        if (SQL_SUCCEEDED(SQLFetch(s))) checksum += r.id + ind[1];
        // NOTE: a SQLite statement not read to its end keeps the read lock that stops
        // every other connection's writes; the grid table leaves none behind either.
        if (readToEnd) SQLFetch(s);
    }
    double elapsed = Now() - start;
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    SQLFreeHandle(SQL_HANDLE_STMT, scan);
    return elapsed;
}

// Opens the table, builds the grid table and reads cell (0, 0); returns seconds.
double FirstCell(vqDb& db, int rows, size_t& heap) {
    size_t before = HeapInUse();
    double start = Now();
    Row r;
    vqDbTable* t = OpenTable(db, r);
    t->Query();
    std::unique_ptr<vqDbGridColInfo> cols(Columns());
    vqDbGridTableBase grid(t, cols.get(), rows, true);
    vqString first = grid.GetValue(0, 0);
    double elapsed = Now() - start;
    heap = HeapInUse() - before;
    if (first != vqT("1")) fprintf(stderr, "unexpected first cell\n");
    return elapsed;
}

// Runs base and cand in alternating order for rounds rounds; keeps their times and the
// per-round ratios cand / base.
template <class Base, class Cand>
void Rounds(int rounds, Base base, Cand cand, std::vector<double>& b, std::vector<double>& c,
            std::vector<double>& ratio) {
    for (int round = 0; round < rounds; ++round) {
        double tb, tc;
        if (round % 2) {
            tc = cand();
            tb = base();
        } else {
            tb = base();
            tc = cand();
        }
        b.push_back(tb);
        c.push_back(tc);
        ratio.push_back(tc / tb);
    }
}

// Runs the plain baseline and the grid table interleaved and prints both times and the
// min and median of the per-round ratios; returns the grid table's median time.
template <class Base, class Cand>
double Pair(const char* what, int rounds, const char* target, Base base, Cand cand) {
    std::vector<double> b, c, ratio;
    Rounds(rounds, base, cand, b, c, ratio);
    printf(
        "%s: plain %.1f ms (min %.1f), grid table %.1f ms (min %.1f); ratio min %.2f, median "
        "%.2f over %d rounds (%s%s)\n",
        what, Median(b) * 1e3, Min(b) * 1e3, Median(c) * 1e3, Min(c) * 1e3, Min(ratio),
        Median(ratio), rounds, target ? "target <= " : "no target", target ? target : "");
    fflush(stdout);
    return Median(c);
}

// The connections of the plain loops: the scan's, the lookups', and on PostgreSQL one
// that reads a result set whole at execute (the driver's default), for comparison.
struct Plain {
    SQLHDBC scan, lookups, whole;
};

void Run(vqDb& db, const Plain& plain, const char* name, const std::vector<int>& sizes, int rounds,
         bool postgres) {
    printf("== %s (%s)\n", name, db.GetConnectionString().ToUTF8().c_str());
    long plainSum = 0, gridSum = 0;
    int filled = 0;
    for (int rows : sizes) {
        if (!Fill(db, postgres, rows)) {
            fprintf(stderr, "cannot fill the benchmark table with %d rows\n", rows);
            exit(1);
        }
        filled = rows;
        ScanHeap heap;
        char what[96];
        snprintf(what, sizeof what, "(a) scan of every cell as text, %d rows", rows);
        double grid = Pair(
            what, rounds, "1.3", [&] { return PlainScan(plain.scan, plainSum); },
            [&] { return GridScan(db, rows, gridSum, heap); });
        if (plain.whole != SQL_NULL_HDBC)
            Pair(
                "    the same against a plain loop reading the result whole", rounds, nullptr,
                [&] { return PlainScan(plain.whole, plainSum); },
                [&] { return GridScan(db, rows, gridSum, heap); });
        GridScan(db, rows, gridSum, heap, true);
        printf(
            "    %.0f ns per row; (d) heap held after the scan %.1f bytes per visited row (target "
            "<= 16); most while scanning %.2f MB, of which row keys %.2f MB\n",
            grid / rows * 1e9, double(heap.after) / rows, heap.peak / 1e6, heap.keys / 1e6);
    }
    if (sizes.size() > 1) {
        // The cost per row of the grid table over all rows of the largest table against
        // that over its first rows, in the same rounds.
        int few = sizes.front(), all = filled;
        ScanHeap heap;
        std::vector<double> first, whole, ratio;
        Rounds(
            rounds, [&] { return GridScan(db, few, gridSum, heap) / few; },
            [&] { return GridScan(db, all, gridSum, heap) / all; }, first, whole, ratio);
        printf(
            "    cost per row over all %d rows %.0f ns, over the first %d %.0f ns: ratio min %.2f, "
            "median %.2f over %d rounds (target <= 1.10)\n",
            all, Median(whole) * 1e9, few, Median(first) * 1e9, Min(ratio), Median(ratio), rounds);
    }

    size_t heap = 0;
    std::vector<double> first;
    for (int i = 0; i < 5; ++i) first.push_back(FirstCell(db, filled, heap));
    printf(
        "(c) first cell of %d rows: median %.2f ms, min %.2f ms, heap %zu bytes (target <= 5 ms)\n",
        filled, Median(first) * 1e3, Min(first) * 1e3, heap);

    std::mt19937 rng(42);
    std::vector<int> rows(kRevisits);
    for (int& r : rows) r = static_cast<int>(rng() % filled);
    long lookupSum = 0;
    Row r;
    vqDbTable* t = OpenTable(db, r);
    t->Query();
    std::unique_ptr<vqDbGridColInfo> cols(Columns());
    vqDbGridTableBase table(t, cols.get(), filled, true);
    table.GetValue(filled - 1, 0);  // every key known
    int wrong = 0;
    for (int i = 0; i < 100; ++i)
        wrong += table.GetValue(rows[i], 1) != vqString::Format(vqT("row number %d"), rows[i] + 1);
    if (wrong) fprintf(stderr, "%d revisits found the wrong row\n", wrong);
    char what[96];
    snprintf(what, sizeof what, "(b) %d random revisits", kRevisits);
    Pair(
        what, rounds, "1.3",
        [&] { return PlainLookups(plain.lookups, rows, !postgres, lookupSum); },
        [&] {
            double start = Now();
            for (int row : rows) lookupSum += table.GetValue(row, 1).length();
            return Now() - start;
        });
    if (postgres)
        printf("    %lu of %lu key lookups answered on the second connection\n",
               t->GetLookupsAside(), t->GetKeyQueryCount());
    if (!plainSum || !gridSum || !lookupSum) fprintf(stderr, "nothing was read\n");
}

std::vector<int> Sizes(const char* list) {
    std::vector<int> sizes;
    for (const char* p = list; *p;) {
        sizes.push_back(atoi(p));
        p = strchr(p, ',');
        if (!p) break;
        ++p;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {100000, 1000000};
    int rounds = 7;
    std::string only;
    const char* make = nullptr;
    const char* profile = nullptr;
    const char* profileFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc)
            sizes = Sizes(argv[++i]);
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(5, atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--make" && i + 1 < argc)
            make = argv[++i];
        else if (a == "--profile" && i + 2 < argc) {
            profile = argv[++i];
            profileFile = argv[++i];
        } else {
            fprintf(stderr, "usage: see the head of bench_dbgrid.cpp\n");
            return 2;
        }
    }
    if (make) {
        unlink(make);
        vqDb db(vqString::FromUTF8(std::string("Driver=SQLite3;Database=") + make));
        return db.IsOpen() && Fill(db, false, sizes.front()) ? 0 : 1;
    }
    if (profile) {
        vqDb db(vqString::FromUTF8(std::string("Driver=SQLite3;Database=") + profileFile));
        long sum = 0;
        ScanHeap heap;
        Row r;
        std::unique_ptr<vqDbTable> t(OpenTable(db, r));
        int rows = static_cast<int>(t ? t->Count() : 0);
        t.reset();
        double s = strcmp(profile, "grid") == 0 ? GridScan(db, rows, sum, heap)
                                                : PlainScan(db.GetHDBC(), sum);
        printf("%s scan of %d rows: %.1f ms\n", profile, rows, s * 1e3);
        return sum ? 0 : 1;
    }

    std::string file = "/tmp/vq_bench_dbgrid_" + std::to_string(getpid()) + ".db";
    unlink(file.c_str());
    if (only != "postgres") {
        vqDb db(vqString::FromUTF8("Driver=SQLite3;Database=" + file));
        if (!db.IsOpen()) {
            fprintf(stderr, "cannot make the benchmark database %s\n", file.c_str());
            return 1;
        }
        Run(db, Plain{db.GetHDBC(), db.GetHDBC(), SQL_NULL_HDBC}, "SQLite3 ODBC driver", sizes,
            rounds, false);
    }
    unlink(file.c_str());

    const char* pg = getenv("VQ_BENCH_PG_CONN");
    if (only == "sqlite" || !pg || !*pg) {
        printf(
            "== PostgreSQL: not run (VQ_BENCH_PG_CONN is not set; scripts/bench-dbgrid.sh "
            "starts a private server)\n");
        return 0;
    }
    vqDb db(vqString::FromUTF8(pg));
    // The plain lookups run on the driver's defaults, which read every result set whole.
    SQLHENV env;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    auto connect = [&](std::string conn) {
        SQLHDBC hdbc = SQL_NULL_HDBC;
        SQLAllocHandle(SQL_HANDLE_DBC, env, &hdbc);
        if (SQL_SUCCEEDED(SQLDriverConnect(hdbc, nullptr, (SQLCHAR*)&conn[0], SQL_NTS, nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT)))
            return hdbc;
        SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
        return SQLHDBC(SQL_NULL_HDBC);
    };
    // The plain scan streams in the batches the grid table's scan settles on.
    std::string streamingConnection = pg;
    if (streamingConnection.back() != ';') streamingConnection += ';';
    streamingConnection +=
        "UseDeclareFetch=1;Fetch=" + std::to_string(static_cast<int>(vqDb::kLaterBatchRows));
    SQLHDBC streaming = connect(streamingConnection);
    SQLHDBC whole = connect(pg);
    if (!db.IsOpen() || streaming == SQL_NULL_HDBC || whole == SQL_NULL_HDBC) {
        fprintf(stderr, "cannot connect to %s\n", pg);
        return 1;
    }
    Run(db, Plain{streaming, whole, whole}, "PostgreSQL, psqlODBC", {sizes.front()}, rounds, true);
    db.ExecSql(vqT("DROP TABLE IF EXISTS bench"));
    for (SQLHDBC hdbc : {streaming, whole}) {
        SQLDisconnect(hdbc);
        SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
