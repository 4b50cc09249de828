// Keys that must find their own row again: every key type the drivers read lossily or
// bind in a form of their own. Each row carries its id beside the key; after a scan, a
// revisit of every row and an edit of every row, each row must show its own id (or
// nothing) and hold its own edit (or its old value), never another row's.
#include <chrono>

#include "dbgrid_fixture.h"

namespace {

struct KeyCase {
    const char* name;
    const char* sqliteType;
    const char* pgType;  // null: the case cannot exist on PostgreSQL
    SWORD cType;
    long size;
    std::vector<std::string> sqliteKeys, pgKeys;  // SQL literals, one per row
    std::vector<bool> writable;                   // per row: whether its key finds it exactly
    const char* refusal;                          // what the log says about read-only rows
};

std::vector<KeyCase> Cases() {
    const std::vector<std::string> stamps = {
        "'2024-01-01 10:00:00'",      "'2024-01-01 10:00:00.1'",      "'2024-01-01 10:00:00.123'",
        "'2024-01-01 10:00:00.1234'", "'2024-01-01 10:00:00.123456'", "'2024-01-01 10:00:00.5'"};
    const std::vector<std::string> times = {"'10:00:00'", "'10:00:00.5'", "'10:00:00.25'",
                                            "'10:00:01'"};
    std::vector<KeyCase> cases = {
        {"Timestamp", "TIMESTAMP", "TIMESTAMP", SQL_C_TIMESTAMP, 0, stamps, stamps,
         std::vector<bool>(stamps.size(), true), nullptr},
        {"Time", "TIME", "TIME", SQL_C_TIME, 0, times, times, std::vector<bool>(times.size(), true),
         nullptr},
        {"ShortBinary",
         "BLOB",
         "BYTEA",
         SQL_C_BINARY,
         8,
         {"x'01'", "x'0102'", "x'010203'", "x'0102030405'", "x'00'"},
         {"'\\x01'::bytea", "'\\x0102'::bytea", "'\\x010203'::bytea", "'\\x0102030405'::bytea",
          "'\\x00'::bytea"},
         std::vector<bool>(5, true),
         nullptr},
        {"UnsignedLong",
         "BIGINT",
         "BIGINT",
         SQL_C_ULONG,
         0,
         {"1", "2147483648", "4294967295", "3000000000"},
         {"1", "2147483648", "4294967295", "3000000000"},
         std::vector<bool>(4, true),
         nullptr},
        {"SignedTiny",
         "SMALLINT",
         "SMALLINT",
         SQL_C_STINYINT,
         0,
         {"-5", "-128", "7", "127"},
         {"-5", "-128", "7", "127"},
         std::vector<bool>(4, true),
         nullptr},
        {"TextWithNul",
         "TEXT",
         nullptr,
         SQL_C_CHAR,
         16,
         {"'a'", "'a'||char(0)||'b'", "'b'"},
         {},
         {true, false, true},
         "holds a NUL"},
        {"Double",
         "DOUBLE",
         "DOUBLE PRECISION",
         SQL_C_DOUBLE,
         0,
         {"0.3", "0.30000000000000004", "1.5"},
         {"0.3", "0.30000000000000004", "1.5"},
         {false, false, false},
         "floating-point"},
        {"Float",
         "REAL",
         "REAL",
         SQL_C_FLOAT,
         0,
         {"0.1", "0.2", "2.5"},
         {"0.1", "0.2", "2.5"},
         {false, false, false},
         "floating-point"},
    };
    return cases;
}

class KeyTypes : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTypes, EveryRowIsFoundAndWrittenAsItselfOrNotAtAll) {
    const KeyCase& kc = GetParam();
    bool pg = UsingPostgres();
    if (pg && !kc.pgType) GTEST_SKIP() << "PostgreSQL text cannot hold a NUL character";
    CaptureLog log;
    std::unique_ptr<vqDb> db = OpenTestDb("keys");
    ASSERT_TRUE(db->IsOpen());
    db->ExecSql(vqT("DROP TABLE IF EXISTS keyed"));
    ASSERT_TRUE(db->ExecSql(vqString::FromUTF8(std::string("CREATE TABLE keyed (k ") +
                                               (pg ? kc.pgType : kc.sqliteType) +
                                               ", v INTEGER, id INTEGER)")));
    const std::vector<std::string>& keys = pg ? kc.pgKeys : kc.sqliteKeys;
    const int rows = static_cast<int>(keys.size());
    for (int i = 0; i < rows; ++i)
        ASSERT_TRUE(db->ExecSql(vqString::FromUTF8("INSERT INTO keyed VALUES (" + keys[i] + ", " +
                                                   std::to_string(i * 10) + ", " +
                                                   std::to_string(i) + ")")));
    StoredRows before = ReadStored(*db, "keyed", {"k", "v"});
    ASSERT_EQ(before.size(), keys.size());

    vqDbTable* table = new vqDbTable(db.get(), vqT("keyed"), 3);
    table->SetColDefs(0, vqT("k"), vqDB_DATA_TYPE_VARCHAR, nullptr, kc.cType, kc.size, true, false);
    table->SetColDefs(1, vqT("v"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0);
    table->SetColDefs(2, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, false, false);
    ASSERT_TRUE(table->Open());
    table->SetOrderByClause(vqT("id"));
    ASSERT_TRUE(table->Query());
    vqDbGridColInfo cols(0, vqT("string"), vqT("k"), nullptr);
    cols.AddColInfo(1, vqT("long"), vqT("v"));
    cols.AddColInfo(2, vqT("long"), vqT("id"));
    std::unique_ptr<vqDbGridTableBase> grid(new vqDbGridTableBase(table, &cols, -1, true));
    grid->EnableWriteback(true);

    // Forward, then back: every row shows its own id, or nothing where it cannot be found.
    for (int r = 0; r < rows; ++r)
        EXPECT_EQ(grid->GetValueAsLong(r, 2), r) << kc.name << " row " << r;
    for (int r = rows - 1; r >= 0; --r) {
        vqString shown = grid->GetValue(r, 2);
        EXPECT_TRUE(shown == vqString::Format(vqT("%d"), r) || (shown.empty() && !kc.writable[r]))
            << kc.name << " revisit of row " << r << " shows id " << shown.ToUTF8();
    }
    // Edit every row, each left at once, in an order that revisits.
    for (int r = rows - 1; r >= 0; --r) {
        grid->SetValueAsLong(r, 1, r * 10 + 1);
        grid->UpdateRow(r);
    }
    grid.reset();
    StoredRows after = ReadStored(*db, "keyed", {"k", "v"});
    ASSERT_EQ(after.size(), before.size());
    std::string prefix = pg ? "" : "integer:";
    for (int r = 0; r < rows; ++r) {
        EXPECT_EQ(after[r][0], before[r][0]) << kc.name << ": the key of row " << r << " changed";
        std::string expected = prefix + std::to_string(kc.writable[r] ? r * 10 + 1 : r * 10);
        EXPECT_EQ(after[r][1], expected) << kc.name << " row " << r << "\n" << log.ErrorText();
    }
    if (kc.refusal) {
        EXPECT_TRUE(log.Contains(kc.refusal)) << log.ErrorText();
    } else {
        EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTypes, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<KeyCase>& info) {
                             return std::string(info.param.name);
                         });

// An application's key that is not unique: an update that would change two rows changes
// none, says so once and is not run again.
TEST(KeyTypesTest, AKeyOfTwoRowsWritesNeither) {
    CaptureLog log;
    std::unique_ptr<vqDb> db = OpenTestDb("twin");
    ASSERT_TRUE(db->IsOpen());
    db->ExecSql(vqT("DROP TABLE IF EXISTS twins"));
    ASSERT_TRUE(db->ExecSql(vqT("CREATE TABLE twins (k INTEGER, name VARCHAR(20), id INTEGER)")));
    ASSERT_TRUE(db->ExecSql(vqT("INSERT INTO twins VALUES (1, 'a', 1), (1, 'b', 2), (2, 'c', 3)")));
    StoredRows before = ReadStored(*db, "twins", {"name"});
    vqDbTable* table = new vqDbTable(db.get(), vqT("twins"), 2);
    table->SetColDefs(0, vqT("k"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true, false);
    table->SetColDefs(1, vqT("name"), vqDB_DATA_TYPE_VARCHAR, nullptr, SQL_C_CHAR, 21);
    ASSERT_TRUE(table->Open());
    table->SetOrderByClause(vqT("name"));
    ASSERT_TRUE(table->Query());
    vqDbGridColInfo cols(0, vqT("dbauto"), vqT("id"), nullptr);
    cols.AddColInfo(1, vqT("dbauto"), vqT("name"));
    std::unique_ptr<vqDbGridTableBase> grid(new vqDbGridTableBase(table, &cols, -1, true));
    grid->EnableWriteback(true);
    grid->SetValue(0, 1, vqT("x"));
    EXPECT_FALSE(grid->UpdateRow(0));
    EXPECT_EQ(table->GetUpdateResult(), vqDbTable::kUpdateKeyNotUnique);
    EXPECT_TRUE(
        log.Contains("Row 0 of table \"twins\" keeps its stored values: its key finds "
                     "more than one row"))
        << log.ErrorText();
    EXPECT_EQ(log.Errors(), 1) << log.ErrorText();
    grid->GetValue(2, 1);  // leaving the row runs nothing again
    EXPECT_EQ(log.Errors(), 1) << log.ErrorText();
    // A revisit finds two rows: neither is shown as the one asked for.
    EXPECT_EQ(grid->GetValue(1, 1), vqT(""));
    EXPECT_TRUE(table->LookupFoundOther());
    grid->SetValue(2, 1, vqT("z"));
    EXPECT_TRUE(grid->UpdateRow(2)) << log.ErrorText();
    grid.reset();
    StoredRows after = ReadStored(*db, "twins", {"name"});
    std::string prefix = UsingPostgres() ? "" : "text:";
    EXPECT_EQ(after[1][0], before[1][0]);
    EXPECT_EQ(after[2][0], before[2][0]);
    EXPECT_EQ(after[3][0], prefix + "z");
}

}  // namespace
