// The database layer against a real database.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "dbgrid_fixture.h"

namespace {

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.reset(new vqDb(vqString::FromUTF8(TestConnection("db"))));
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        ASSERT_TRUE(CreateItems(*db, 20));
        log.Clear();
    }
    CaptureLog log;
    std::unique_ptr<vqDb> db;
    ItemRow buf;
};

TEST(DbConnection, StreamingOptionIsAddedOnlyWhenMissing) {
    EXPECT_EQ(vqDbAddStreamingOption(vqT("Driver=SQLite3;Database=a.db"), vqT("SQLite3")),
              vqT("Driver=SQLite3;Database=a.db;StepAPI=1"));
    EXPECT_EQ(vqDbAddStreamingOption(vqT("Driver=SQLite3;stepapi=0"), vqT("libsqlite3odbc.so")),
              vqT("Driver=SQLite3;stepapi=0"));
    EXPECT_EQ(vqDbAddStreamingOption(vqT("DSN=pg;"), vqT("psqlodbcw.so")),
              vqT("DSN=pg;UseDeclareFetch=1;Fetch=256"));
    EXPECT_EQ(vqDbAddStreamingOption(vqT("DSN=x"), vqT("other")), vqT("DSN=x"));
    EXPECT_EQ(vqDbConnectionValue(vqT("a=1; Driver ={b;c};x=2"), vqT("driver")), vqT("b;c"));
    EXPECT_EQ(vqDbQuoteName(vqT("we\"ird")), vqT("\"we\"\"ird\""));
}

TEST(DbConnection, KeysAndValuesAreReadAsOdbcReadsThem) {
    const vqString s = vqT(" Driver =\t{SQLite3} ;DATABASE= a b.db ;Pwd={x;}}y};Empty=;;");
    EXPECT_EQ(vqDbConnectionValue(s, vqT("driver")), vqT("SQLite3"));
    EXPECT_EQ(vqDbConnectionValue(s, vqT("Database")), vqT("a b.db"));
    EXPECT_EQ(vqDbConnectionValue(s, vqT("pwd")), vqT("x;}y"));
    EXPECT_EQ(vqDbConnectionValue(s, vqT("empty")), vqT(""));
    EXPECT_EQ(vqDbConnectionValue(vqT("a=1;A=2"), vqT("a")), vqT("1"));  // the first one counts
    for (const vqChar* bad : {vqT("Driver={SQLite3;Database=x.db"), vqT("Driver={a}b;x=1"),
                              vqT("Driver=SQLite3;garbage;x=1"), vqT("=SQLite3")})
        EXPECT_EQ(vqDbConnectionValue(bad, vqT("driver")), vqT("")) << vqString(bad).ToUTF8();
}

TEST(DbConnection, BlanksAroundTheEqualsSignConnect) {
    if (UsingPostgres()) GTEST_SKIP() << "connection strings are checked on SQLite runs";
    CaptureLog log;
    std::string file = TestConnection("blanks").substr(std::string("Driver=SQLite3;").size());
    vqDb db(vqString::FromUTF8("Driver =SQLite3;" + file));
    EXPECT_TRUE(db.IsOpen());
    vqDb tab(vqString::FromUTF8("driver\t= {SQLite3} ; " + file));
    EXPECT_TRUE(tab.IsOpen());
    EXPECT_EQ(log.Errors(), 0);
}

TEST(DbConnection, MalformedStringsAreLoggedErrors) {
    for (const vqChar* bad : {vqT("Driver ={SQLite3;Database=x.db"), vqT("Driver=SQLite3;x.db"),
                              vqT("=SQLite3"), vqT("Driver={SQLite3}x;Database=y.db")}) {
        CaptureLog log;
        vqDb db(bad);
        EXPECT_FALSE(db.IsOpen()) << vqString(bad).ToUTF8();
        EXPECT_EQ(log.Errors(), 1) << vqString(bad).ToUTF8();
        EXPECT_TRUE(log.Contains("malformed")) << vqString(bad).ToUTF8();
    }
}

TEST(DbConnection, PostgresRunUsesPsqlOdbc) {
    if (!UsingPostgres())
        GTEST_SKIP() << "VQ_TEST_PG_CONN is not set: the suite ran on SQLite only "
                        "(scripts/ci-dbgrid.sh starts PostgreSQL and runs it there too)";
    vqDb db(vqString::FromUTF8(TestConnection("pg")));
    ASSERT_TRUE(db.IsOpen());
    EXPECT_NE(db.GetDriverName().ToUTF8().find("psql"), std::string::npos);
    EXPECT_FALSE(vqDbConnectionValue(db.GetConnectionString(), vqT("UseDeclareFetch")).empty());
}

// Connects with an empty driver registry, as on a fresh machine where the SQLite3
// driver is installed but not registered; exits 0 when the driver was found by path.
void ConnectWithoutRegistry(const std::string& driver) {
    CaptureLog log;
    std::string file = TestConnection("fallback").substr(std::string("Driver=SQLite3;").size());
    vqDb db(vqString::FromUTF8(driver + ";" + file));
    bool byPath = db.GetConnectionString().ToUTF8().find("libsqlite3odbc") != std::string::npos;
    exit(db.IsOpen() && byPath && log.Errors() == 0 ? 0 : 1);
}

TEST(DbConnectionDeathTest, UnregisteredSqliteDriverIsFoundByPath) {
    if (UsingPostgres()) GTEST_SKIP() << "the SQLite driver's fallback is checked on SQLite runs";
#ifdef _WIN32
    GTEST_SKIP() << "the driver registry cannot be emptied for a Windows program: under Wine "
                    "the driver manager reads the host's environment, which Windows' does not "
                    "reach (SqliteDriverOfAnUnknownNameIsFoundByPath checks the fallback)";
#endif
    // NOTE: the driver manager caches drivers per process: check in a freshly started one,
    // which takes the registry from this process's environment.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const std::string dir = TestFilePath("empty-odbc");
    std::error_code error;
    std::filesystem::create_directory(std::filesystem::u8path(dir), error);
    for (const char* f : {"/odbcinst.ini", "/odbc.ini"})
        ASSERT_TRUE(std::ofstream(dir + f).good()) << "cannot write " << dir << f;
    ScopedEnv registry("ODBCSYSINI", DriverFilePath(dir));
    EXPECT_EXIT(ConnectWithoutRegistry("Driver=SQLite3"), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(ConnectWithoutRegistry("DRIVER = {SQLite3} "), ::testing::ExitedWithCode(0), "");
}

TEST(DbConnection, SqliteDriverOfAnUnknownNameIsFoundByPath) {
    if (UsingPostgres()) GTEST_SKIP() << "the SQLite driver's fallback is checked on SQLite runs";
    CaptureLog log;
    std::string file = TestConnection("unknown").substr(std::string("Driver=SQLite3;").size());
    vqDb db(vqString::FromUTF8("Driver=SQLite3 unregistered;" + file));
    ASSERT_TRUE(db.IsOpen()) << log.ErrorText();
    EXPECT_NE(db.GetConnectionString().ToUTF8().find("libsqlite3odbc"), std::string::npos)
        << db.GetConnectionString().ToUTF8();
    EXPECT_TRUE(db.ExecSql(vqT("CREATE TABLE t (x INTEGER)")));
    EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
}

TEST(DbConnection, MissingDriverFailsAndLogsSqlstate) {
    CaptureLog log;
    vqDb db(vqT("Driver=NoSuchDriver42;Database=x.db"));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.GetLastState().empty());
    EXPECT_EQ(log.Errors(), 1);
    EXPECT_TRUE(log.Contains("NoSuchDriver42"));
    EXPECT_TRUE(log.Contains("SQLSTATE = "));
    vqDbTable table(&db, vqT("items"), 1);
    table.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true);
    EXPECT_FALSE(table.Open());
    EXPECT_FALSE(table.Query());
    EXPECT_EQ(table.Count(), 0u);
}

TEST_F(DbTest, MissingTableAndColumnFailToOpen) {
    vqDbTable missing(db.get(), vqT("no_such_table"), 1);
    missing.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true);
    EXPECT_FALSE(missing.Open());
    EXPECT_TRUE(log.Contains("no_such_table"));
    EXPECT_TRUE(log.Contains("SQLSTATE = "));
    log.Clear();
    vqDbTable badColumn(db.get(), vqT("items"), 1);
    badColumn.SetColDefs(0, vqT("nope"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true);
    EXPECT_FALSE(badColumn.Open());
    EXPECT_EQ(log.Errors(), 1);
    EXPECT_FALSE(badColumn.SetColDefs(3, vqT("x"), 1, nullptr, SQL_C_CHAR, 8));
}

TEST_F(DbTest, ReadsEveryTypeAndNulls) {
    std::unique_ptr<vqDbTable> t(OpenItems(*db, buf));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Count(), 20u);
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(t->GetNext());
    // Row 6 has a null in every nullable column.
    for (int c : {kQty, kPrice, kSmall, kMade, kDay, kNote}) {
        EXPECT_TRUE(t->IsColNull(c)) << c;
        EXPECT_TRUE(t->GetColumnValue(c).IsNull()) << c;
    }
    EXPECT_EQ(t->GetColumnValue(kName).GetString(), vqT("item 6"));
    ASSERT_TRUE(t->GetNext());  // row 7
    EXPECT_EQ(t->GetColumnValue(kId).GetLong(), 8);
    EXPECT_EQ(t->GetColumnValue(kQty).GetLong(), 21);
    EXPECT_DOUBLE_EQ(t->GetColumnValue(kPrice).GetDouble(), 7.5);
    EXPECT_EQ(t->GetColumnValue(kSmall).GetLong(), -7);
    EXPECT_EQ(t->GetColumnValue(kMade).GetString(), vqT("2024-01-08 10:20:30"));
    EXPECT_EQ(t->GetColumnValue(kDay).GetString(), vqT("2023-12-08"));
    EXPECT_EQ(t->GetColumnValue(kNote).GetString(), vqT("n7"));
    EXPECT_FALSE(t->GetColumnValue(99).GetKind() != vqVariant::Null);
    t->SetWhereClause(vqT("qty IS NULL"));
    EXPECT_EQ(t->Count(), 2u);
    EXPECT_EQ(log.Errors(), 0);
}

TEST_F(DbTest, TextOfAColumnIsTheTextOfItsValue) {
    std::unique_ptr<vqDbTable> t(OpenItems(*db, buf));
    ASSERT_TRUE(t);
    int rows = 0;
    for (; t->GetNext(); ++rows)
        for (unsigned short c = 0; c < kNumCols; ++c)
            EXPECT_EQ(t->GetColumnText(c), t->GetColumnValue(c).GetString()) << rows << "," << c;
    EXPECT_EQ(rows, 20);
    EXPECT_TRUE(t->GetColumnText(kNumCols).empty());
}

// Reads the quantity doubled, as a table with values of its own making might.
class DoublingTable : public vqDbTable {
public:
    using vqDbTable::vqDbTable;
    vqVariant GetColumnValue(unsigned short col) const override {
        vqVariant value = vqDbTable::GetColumnValue(col);
        return col == kQty && !value.IsNull() ? vqVariant(value.GetLong() * 2) : value;
    }
};

TEST_F(DbTest, TextOfADerivedTableComesFromItsOwnValues) {
    DoublingTable* t = new DoublingTable(db.get(), vqT("items"), kNumCols);
    std::unique_ptr<vqDbTable> shape(OpenItems(*db, buf, false));
    ASSERT_TRUE(shape);
    for (unsigned short c = 0; c < kNumCols; ++c) {
        const vqDbColDef& d = shape->GetColDefs()[c];
        t->SetColDefs(c, d.ColName, d.DbDataType, d.PtrDataObj, d.SqlCtype, d.SzDataObj, d.KeyField,
                      d.Updateable);
    }
    ASSERT_TRUE(t->Open());
    t->SetOrderByClause(vqT("id"));
    ASSERT_TRUE(t->Query());
    std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
    vqDbGridTableBase grid(t, cols.get(), 20, true);
    EXPECT_EQ(grid.GetValue(1, kQty), vqT("6"));  // row 1 holds 3
    EXPECT_EQ(grid.GetValue(1, kName), vqT("item 1"));
}

TEST_F(DbTest, KeyLookupKeepsTheSequentialCursor) {
    std::unique_ptr<vqDbTable> t(OpenItems(*db, buf));
    ASSERT_TRUE(t);
    ASSERT_TRUE(t->GetNext());
    GenericKey first = t->GetRowKey();
    ASSERT_TRUE(t->GetNext());
    ASSERT_TRUE(t->GetNext());
    t->SetAccessMode(1);
    t->ClearMemberVars(false);
    t->SetRowKey(first);
    ASSERT_TRUE(t->QueryOnKeyFields(false, false));
    ASSERT_TRUE(t->Fetch());
    EXPECT_EQ(t->GetColumnValue(kName).GetString(), vqT("item 0"));
    ASSERT_TRUE(t->GetNext());
    EXPECT_EQ(t->GetColumnValue(kName).GetString(), vqT("item 3"));
    EXPECT_EQ(t->GetKeyQueryCount(), 1u);
}

TEST_F(DbTest, QuotesNonAsciiAndRangesRoundTrip) {
    std::unique_ptr<vqDbTable> t(OpenItems(*db, buf, false));
    ASSERT_TRUE(t);
    const vqString tricky =
        vqString::FromUTF8("O'Brien \"q\"; DROP TABLE items; -- \xC3\xBC\xE2\x82\xAC");
    const vqString wide = vqString::FromUTF8("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 '\"");
    t->ClearMemberVars(true);
    ASSERT_TRUE(t->SetColumnValue(kId, vqVariant(100L)));
    ASSERT_TRUE(t->SetColumnValue(kName, vqVariant(tricky)));
    ASSERT_TRUE(t->SetColumnValue(kNote, vqVariant(wide)));
    ASSERT_TRUE(t->SetColumnValue(kLabel, vqVariant(vqT("x"))));
    ASSERT_TRUE(t->SetColumnValue(kMade, vqVariant(vqDateTime(2025, 6, 30, 23, 59, 59))));
    ASSERT_TRUE(t->Insert());
    // Out-of-range and unconvertible values are refused and logged, the buffer kept.
    EXPECT_FALSE(t->SetColumnValue(kSmall, vqVariant(70000L)));
    EXPECT_FALSE(t->SetColumnValue(kMade, vqVariant(vqT("not a date"))));
    EXPECT_EQ(log.Errors(), 2);

    t->SetWhereClause(vqT("id = 100"));
    ASSERT_TRUE(t->Query());
    ASSERT_TRUE(t->GetNext());
    EXPECT_EQ(t->GetColumnValue(kName).GetString(), tricky);
    EXPECT_EQ(t->GetColumnValue(kNote).GetString(), wide);
    EXPECT_EQ(t->GetColumnValue(kMade).GetString(), vqT("2025-06-30 23:59:59"));
    EXPECT_TRUE(t->IsColNull(kQty));
    EXPECT_EQ(t->Count(), 1u);
    vqDbTable all(db.get(), vqT("items"), 1);
    all.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true);
    ASSERT_TRUE(all.Open());
    EXPECT_EQ(all.Count(), 21u);  // the tricky text did not reach the SQL
}

TEST_F(DbTest, UnsignedLongKeepsValuesAboveTwoToThe31) {
    db->ExecSql(vqT("DROP TABLE IF EXISTS big"));
    ASSERT_TRUE(db->ExecSql(vqT("CREATE TABLE big (id INTEGER PRIMARY KEY, v BIGINT)")));
    SQLINTEGER id = 0;
    SQLUINTEGER v = 0;
    vqDbTable t(db.get(), vqT("big"), 2);
    t.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, &id, SQL_C_SLONG, sizeof(id), true);
    t.SetColDefs(1, vqT("v"), vqDB_DATA_TYPE_INTEGER, &v, SQL_C_ULONG, sizeof(v));
    ASSERT_TRUE(t.Open());
    t.SetColumnValue(0, vqVariant(1L));
#if LONG_MAX > 0xffffffffL
    ASSERT_TRUE(t.SetColumnValue(1, vqVariant(3000000000L)));
#else
    // A long has 32 bits here: the value goes in as its text.
    ASSERT_TRUE(t.SetColumnValue(1, vqVariant(vqString(vqT("3000000000")))));
#endif
    ASSERT_TRUE(t.Insert());
    v = 0;
    ASSERT_TRUE(t.Query());
    ASSERT_TRUE(t.GetNext());
    EXPECT_EQ(v, 3000000000u);
    EXPECT_EQ(t.GetColumnText(1), vqT("3000000000"));
    EXPECT_EQ(t.GetColumnValue(1).GetString(), vqT("3000000000"));
#if LONG_MAX > 0xffffffffL
    EXPECT_EQ(t.GetColumnValue(1).GetLong(), 3000000000L);
#endif
    v = 4000000000u;
    ASSERT_TRUE(t.UpdateOnKey(t.GetRowKey()));
    ASSERT_TRUE(t.Query());
    ASSERT_TRUE(t.GetNext());
    EXPECT_EQ(v, 4000000000u);
}

TEST_F(DbTest, BigIntegersKeepEveryDigitWhereverALongIsShort) {
    db->ExecSql(vqT("DROP TABLE IF EXISTS big"));
    ASSERT_TRUE(db->ExecSql(vqT("CREATE TABLE big (id INTEGER PRIMARY KEY, v BIGINT)")));
    SQLINTEGER id = 0;
    SQLBIGINT v = 0;
    vqDbTable t(db.get(), vqT("big"), 2);
    t.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, &id, SQL_C_SLONG, sizeof(id), true);
    t.SetColDefs(1, vqT("v"), vqDB_DATA_TYPE_INTEGER, &v, SQL_C_SBIGINT, sizeof(v));
    ASSERT_TRUE(t.Open());
    // Beyond 32 bits, and beyond 2^53 where a double is no longer exact.
    const long long values[] = {1099511627776LL, -1099511627777LL, 9007199254740993LL,
                                LLONG_MAX - 1000};
    for (int i = 0; i < 4; ++i) {
        std::string digits = std::to_string(values[i]);
        ASSERT_TRUE(t.SetColumnValue(0, vqVariant(long(i + 1))));
        ASSERT_TRUE(t.SetColumnValue(1, vqVariant(vqString::FromUTF8(digits)))) << digits;
        EXPECT_EQ(v, values[i]);
        ASSERT_TRUE(t.Insert());
    }
    t.SetOrderByClause(vqT("id"));
    ASSERT_TRUE(t.Query());
    for (long long expected : values) {
        ASSERT_TRUE(t.GetNext());
        EXPECT_EQ(v, expected);
        vqString digits = vqString::FromUTF8(std::to_string(expected));
        EXPECT_EQ(t.GetColumnText(1), digits);
        EXPECT_EQ(t.GetColumnValue(1).GetString(), digits);
    }
    StoredRows stored = ReadStored(*db, "big", {"v"});
    const std::string type = IsPostgres(*db) ? "" : "integer:";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(stored[i + 1], std::vector<std::string>{type + std::to_string(values[i])});
    EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
}

}  // namespace
