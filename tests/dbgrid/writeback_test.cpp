// What the grid table writes back: only rows it read in full, only the columns
// the application changed, never past a column's buffer, never a row the cursor
// could not reach. Each case compares the stored bytes, read by a plain query,
// before and after.
#include <climits>
#include <cmath>
#include <memory>

#include "dbgrid_fixture.h"

namespace {

const std::vector<std::string> kItemColumns = {"name", "qty", "price", "small",
                                               "made", "day", "note",  "label"};

class WritebackTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = OpenTestDb("wb", 50);
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        ASSERT_TRUE(CreateItems(*db, 3));
        table.reset(OpenItems(*db, buf));
        ASSERT_TRUE(table);
        std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
        grid.reset(new vqDbGridTableBase(table.get(), cols.get(), -1, false));
        grid->EnableWriteback(true);
        before = ReadStored(*db, "items", kItemColumns);
        ASSERT_EQ(before.size(), 3u);
        log.Clear();
    }
    void TearDown() override {
        grid.reset();
        table.reset();
    }
    // Lets the grid table go (a last writeback included) and compares the stored rows.
    void ExpectNothingWritten() {
        grid.reset();
        EXPECT_EQ(ReadStored(*db, "items", kItemColumns), before);
    }
    // Reads every row and one past the last, so the cursor has finished with the table.
    void ReadAll() {
        for (int row = 0; row <= 3; ++row) grid->GetValue(row, kName);
    }

    CaptureLog log;
    std::unique_ptr<vqDb> db;
    ItemRow buf;
    std::unique_ptr<vqDbTable> table;
    std::unique_ptr<vqDbGridTableBase> grid;
    StoredRows before;
};

TEST_F(WritebackTest, FailedRevisitIsEmptyAndNeverWritten) {
    ReadAll();
    LockHolder lock(*db, "items");
    ASSERT_TRUE(lock.Acquire()) << "another process could not lock the test database";
    log.Clear();
    EXPECT_EQ(grid->GetValue(0, kName), vqT(""));
    EXPECT_EQ(grid->GetCurrentRow(), -1);
    EXPECT_TRUE(grid->IsEmptyCell(0, kQty));
    EXPECT_EQ(grid->GetValueAsLong(0, kId), 0);
    EXPECT_GT(log.Errors(), 0);  // the lookup's failure

    int errors = log.Errors();
    grid->SetValueAsLong(0, kQty, 11);
    grid->SetValue(0, kName, vqT("edited while unreadable"));
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_GT(log.Errors(), errors);
    EXPECT_TRUE(log.Contains("could not be read"));

    lock.Release();
    EXPECT_EQ(grid->GetValue(1, kName), vqT("item 1"));
    EXPECT_EQ(grid->GetValue(0, kName), vqT("item 0"));  // read again once the lock is gone
    ExpectNothingWritten();
}

TEST_F(WritebackTest, FailedFetchStartsTheCursorAgain) {
    LockHolder lock(*db, "items");
    if (!lock.Acquire())
        GTEST_SKIP() << "the driver holds a lock from the query on, so no other process can "
                        "lock the table before the first fetch";
    EXPECT_EQ(grid->GetValue(1, kName), vqT(""));
    EXPECT_EQ(grid->GetCurrentRow(), -1);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 0u);
    grid->SetValue(0, kName, vqT("refused"));
    EXPECT_FALSE(grid->IsPendingUpdate());
    lock.Release();
    log.Clear();
    EXPECT_EQ(grid->GetValue(1, kName), vqT("item 1"));
    EXPECT_EQ(grid->GetValue(0, kName), vqT("item 0"));
    EXPECT_EQ(grid->GetValue(2, kName), vqT("item 2"));
    EXPECT_EQ(grid->GetValue(3, kName), vqT(""));
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 3u);
    EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
    ExpectNothingWritten();
}

TEST_F(WritebackTest, RowsPastTheEndAreEmptyAndRefused) {
    EXPECT_EQ(grid->GetValue(5, kName), vqT(""));
    EXPECT_TRUE(grid->IsEmptyCell(5, kName));
    EXPECT_EQ(grid->GetCurrentRow(), -1);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 3u);
    EXPECT_EQ(log.Errors(), 0);  // the end of the rows is no error
    grid->SetValue(5, kName, vqT("lands nowhere"));
    grid->SetValueAsLong(4, kQty, 99);
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(log.Errors(), 2);
    EXPECT_EQ(grid->GetValue(2, kName), vqT("item 2"));
    ExpectNothingWritten();
}

TEST_F(WritebackTest, RowsDeletedAfterCountingAreEmptyAndRefused) {
    // Five rows counted, two of them deleted by another client before the query runs.
    grid.reset();
    table.reset();
    ASSERT_TRUE(CreateItems(*db, 5));
    table.reset(OpenItems(*db, buf, false));
    ASSERT_TRUE(table);
    std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
    grid.reset(new vqDbGridTableBase(table.get(), cols.get(), -1, false));
    grid->EnableWriteback(true);
    ASSERT_EQ(grid->GetNumberRows(), 5);
    vqDb other(db->GetConnectionString());
    ASSERT_TRUE(other.ExecSql(vqT("DELETE FROM items WHERE id > 3"))) << log.ErrorText();
    before = ReadStored(*db, "items", kItemColumns);
    ASSERT_TRUE(table->Query());
    log.Clear();
    EXPECT_EQ(grid->GetValue(4, kName), vqT(""));
    grid->SetValue(4, kName, vqT("was row 4"));
    grid->SetValue(3, kName, vqT("was row 3"));
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(log.Errors(), 2);
    EXPECT_EQ(grid->GetValue(2, kName), vqT("item 2"));
    ExpectNothingWritten();
}

TEST_F(WritebackTest, HugeRowNumberStopsAtTheEnd) {
    EXPECT_EQ(grid->GetValue(INT_MAX, kName), vqT(""));
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 3u);
    unsigned long fetches = table->GetFetchCount();
    EXPECT_LE(fetches, 4u);
    // Past the known end a row is answered without asking the database.
    EXPECT_TRUE(grid->IsEmptyCell(INT_MAX - 1, kName));
    EXPECT_EQ(grid->GetValue(3, kName), vqT(""));
    EXPECT_EQ(table->GetFetchCount(), fetches);
    EXPECT_EQ(grid->GetValue(-7, kName), vqT(""));
    EXPECT_EQ(grid->GetValue(1, kName), vqT("item 1"));
    EXPECT_EQ(log.Errors(), 0);
}

TEST_F(WritebackTest, OnlyChangedColumnsAreWritten) {
    grid->SetValue(1, kName, vqT("renamed"));
    grid->SetValueAsLong(1, kSmall, -12);
    EXPECT_TRUE(grid->UpdateRow(1));
    EXPECT_EQ(log.Errors(), 0);
    StoredRows after = ReadStored(*db, "items", kItemColumns);
    ASSERT_EQ(after.size(), before.size());
    for (size_t c = 0; c < kItemColumns.size(); ++c) {
        if (kItemColumns[c] == "name" || kItemColumns[c] == "small") continue;
        EXPECT_EQ(after[2][c], before[2][c]) << kItemColumns[c];
    }
    EXPECT_EQ(grid->GetValue(0, kName), vqT("item 0"));
    EXPECT_EQ(grid->GetValue(1, kName), vqT("renamed"));
    EXPECT_EQ(grid->GetValueAsLong(1, kSmall), -12);
}

TEST_F(WritebackTest, EditsThatCannotBeKeptAreRefused) {
    grid->GetValue(1, kName);
    log.Clear();
    grid->SetValue(1, kQty, vqT("twelve"));            // not a number
    grid->SetValueAsDouble(1, kPrice, HUGE_VAL);       // not finite
    grid->SetValue(1, kName, vqString(70, vqT('n')));  // longer than the buffer
    grid->SetValue(1, kDay, vqT("10:20:30"));          // a time for a date
    grid->SetValue(1, kLabel, vqT("label is not updatable"));
    EXPECT_EQ(log.Errors(), 5);
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(grid->GetValue(1, kName), vqT("item 1"));  // the buffer kept its value
    grid->SetValue(1, kQty, vqT(" 12 "));
    EXPECT_TRUE(grid->IsPendingUpdate());
    EXPECT_TRUE(grid->UpdateRow(1));
    EXPECT_EQ(log.Errors(), 5);
    StoredRows after = ReadStored(*db, "items", kItemColumns);
    after[2][1] = before[2][1];
    EXPECT_EQ(after, before);
}

TEST(WritebackUnbound, ValidateRowWithoutATableDoesNothing) {
    CaptureLog log;
    std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
    vqDbGridTableBase grid(nullptr, cols.get(), 3, false);
    grid.ValidateRow(0);
    EXPECT_EQ(grid.GetCurrentRow(), -1);
    EXPECT_EQ(log.Errors(), 1);
    EXPECT_TRUE(grid.UpdateRow(0));
}

// A table whose stored values the column buffers cannot hold as they are.
class LossyTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = OpenTestDb("lossy");
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        db->ExecSql(vqT("DROP TABLE IF EXISTS lossy"));
        bool pg = UsingPostgres();
        // NOTE: PostgreSQL keeps every value in range of its column type, so only
        // the buffers are narrow there; SQLite keeps whatever it is given.
        ASSERT_TRUE(db->ExecSql(vqString::FromUTF8(
            std::string("CREATE TABLE lossy (id INTEGER PRIMARY KEY, name VARCHAR(300), ") +
            (pg ? "big BIGINT, small INTEGER, day DATE, "
                : "big INTEGER, small SMALLINT, day DATE, ") +
            "made TIMESTAMP, tiny SMALLINT, serial BIGINT, note VARCHAR(300))")));
        std::string longName(200, 'x');
        for (size_t i = 0; i < longName.size(); i += 10) longName[i] = char('0' + i / 10 % 10);
        std::string longNote = "\xC3\xA9t\xC3\xA9 " + std::string(40, 'w');
        ASSERT_TRUE(db->ExecSql(vqString::FromUTF8(
            "INSERT INTO lossy VALUES (1, '" + longName + "', 5000000000, -99999, " +
            (pg ? "'2024-02-29'" : "'not a date'") + ", '2024-01-01 10:20:30', -7, 3000000000, '" +
            longNote + "'), (2, 'short', 7, 7, '2024-03-01', '2024-01-02 03:04:05', 7, 7, 'n')")));
        stored = ReadStored(*db, "lossy", kColumns);
        ASSERT_EQ(stored.size(), 2u);
        table.reset(new vqDbTable(db.get(), vqT("lossy"), 9));
        table->SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true,
                          false);
        table->SetColDefs(1, vqT("name"), vqDB_DATA_TYPE_VARCHAR, nullptr, SQL_C_CHAR, 64);
        table->SetColDefs(2, vqT("big"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_LONG, 0);
        table->SetColDefs(3, vqT("small"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SSHORT, 0);
        table->SetColDefs(4, vqT("day"), vqDB_DATA_TYPE_DATE, nullptr, SQL_C_DATE, 0);
        table->SetColDefs(5, vqT("made"), vqDB_DATA_TYPE_DATE, nullptr, SQL_C_TIMESTAMP, 0);
        table->SetColDefs(6, vqT("tiny"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_STINYINT, 0);
        table->SetColDefs(7, vqT("serial"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_ULONG, 0);
        table->SetColDefs(8, vqT("note"), vqDB_DATA_TYPE_VARCHAR, nullptr, SQL_C_WCHAR, 32);
        ASSERT_TRUE(table->Open());
        table->SetOrderByClause(vqT("id"));
        ASSERT_TRUE(table->Query());
        vqDbGridColInfo cols(0, vqT("dbauto"), vqT("id"), nullptr);
        for (int i = 1; i < 9; ++i) cols.AddColInfo(i, vqT("dbauto"), vqT(""));
        grid.reset(new vqDbGridTableBase(table.get(), &cols, -1, false));
        grid->EnableWriteback(true);
        log.Clear();
    }
    void TearDown() override {
        grid.reset();
        table.reset();
    }

    const std::vector<std::string> kColumns = {"name", "big",  "small",  "day",
                                               "made", "tiny", "serial", "note"};
    CaptureLog log;
    std::unique_ptr<vqDb> db;
    std::unique_ptr<vqDbTable> table;
    std::unique_ptr<vqDbGridTableBase> grid;
    StoredRows stored;
};

TEST_F(LossyTest, UntouchedColumnsKeepTheirStoredBytes) {
    grid->GetValue(1, 1);
    grid->SetValue(1, 1, vqT("renamed"));
    EXPECT_TRUE(grid->UpdateRow(1));
    grid->GetValue(0, 1);
    grid->SetValueAsLong(0, 6, 5);  // tiny: the row's other columns stay as stored
    EXPECT_TRUE(grid->UpdateRow(0));
    EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
    if (!UsingPostgres()) {
        // small holds -99999, which its 2-byte buffer cannot: a value read wrong is never
        // written over, as if someone else had changed it.
        grid->SetValueAsLong(0, 3, 5);
        EXPECT_FALSE(grid->UpdateRow(0));
        EXPECT_TRUE(log.Contains("someone else changed it")) << log.ErrorText();
        log.Clear();
    }
    grid.reset();
    StoredRows after = ReadStored(*db, "lossy", kColumns);
    ASSERT_EQ(after.size(), 2u);
    for (size_t c = 0; c < kColumns.size(); ++c) {
        if (kColumns[c] != "tiny") {
            EXPECT_EQ(after[1][c], stored[1][c]) << kColumns[c];
        }
        if (kColumns[c] != "name") {
            EXPECT_EQ(after[2][c], stored[2][c]) << kColumns[c];
        }
    }
    EXPECT_EQ(log.Errors(), 0);
}

TEST_F(LossyTest, EditedSignedTinyIntegerKeepsItsSign) {
    grid->SetValueAsLong(1, 6, -5);
#if LONG_MAX > 0xffffffffL
    grid->SetValueAsLong(1, 7, 4000000000L);
#else
    grid->SetValue(1, 7, vqT("4000000000"));   // a long has 32 bits here
#endif
    EXPECT_TRUE(grid->UpdateRow(1));
    EXPECT_EQ(log.Errors(), 0);
    StoredRows after = ReadStored(*db, "lossy", kColumns);
    std::string prefix = UsingPostgres() ? "" : "integer:";
    EXPECT_EQ(after[2][5], prefix + "-5");
    EXPECT_EQ(after[2][6], prefix + "4000000000");
    EXPECT_EQ(grid->GetValue(0, 6), vqT("-7"));
    EXPECT_EQ(grid->GetValue(1, 6), vqT("-5"));
    EXPECT_EQ(grid->GetValue(1, 7), vqT("4000000000"));
#if LONG_MAX > 0xffffffffL
    EXPECT_EQ(grid->GetValueAsLong(1, 7), 4000000000L);
#else
    EXPECT_EQ(grid->GetValueAsLong(1, 7), 0);  // a value a long cannot hold
#endif
    EXPECT_EQ(grid->GetValueAsLong(1, 3), 7);
}

TEST_F(LossyTest, TextLongerThanItsBufferIsNeverCut) {
    EXPECT_EQ(grid->GetValue(0, 1).length(), 63u);
    EXPECT_TRUE(table->IsColTruncated(1));
    EXPECT_TRUE(table->IsColTruncated(8));
    EXPECT_FALSE(table->IsColTruncated(2));
    grid->SetValueAsLong(0, 6, 8);  // another column of the same row
    EXPECT_TRUE(grid->UpdateRow(0));
    EXPECT_EQ(log.Errors(), 0) << log.ErrorText();
    // An edit that does not fit is refused; one that fits is refused at writeback, since
    // the cut value read cannot be compared with what is stored.
    grid->SetValue(0, 1, vqString(100, vqT('y')));
    EXPECT_EQ(log.Errors(), 1);
    EXPECT_FALSE(grid->IsPendingUpdate());
    grid->SetValue(0, 8, vqString(15, vqT('z')));
    EXPECT_FALSE(grid->UpdateRow(0));
    EXPECT_EQ(log.Errors(), 2);
    EXPECT_TRUE(log.Contains("column \"note\" was read only in part")) << log.ErrorText();
    StoredRows after = ReadStored(*db, "lossy", kColumns);
    EXPECT_EQ(after[1][0], stored[1][0]);
    EXPECT_EQ(after[1][7], stored[1][7]);
    // The table refuses to write a value it holds only in part.
    GenericKey key = table->GetRowKey();
    grid->GetValue(0, 1);
    EXPECT_FALSE(table->UpdateOnKey(key));
    EXPECT_EQ(log.Errors(), 3);
    EXPECT_EQ(ReadStored(*db, "lossy", kColumns)[1][0], stored[1][0]);
}

}  // namespace
