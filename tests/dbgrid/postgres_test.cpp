// The database layer on PostgreSQL's server cursors: key lookups on the second connection
// must find what the table's own connection sees, its uncommitted changes, temporary
// tables, session settings and locks included; a scan's cursor fetches its first rows in
// a small batch and the others in large ones.
#include <initializer_list>
#include <memory>

#include "dbgrid_fixture.h"

namespace {

GenericKey KeyOf(SQLINTEGER id) { return GenericKey(&id, sizeof(id)); }

// Looks up the row with this key as the grid table does; false when there is none.
bool LookUpKey(vqDbTable& table, const GenericKey& key) {
    table.SetAccessMode(1);
    table.ClearMemberVars(false);
    table.SetRowKey(key);
    bool found = table.QueryOnKeyFields(false, false) && table.Fetch();
    table.SetAccessMode(0);
    return found;
}

// Runs statements in order; false at the first that fails.
bool Exec(vqDb& db, std::initializer_list<const vqChar*> statements) {
    for (const vqChar* sql : statements)
        if (!db.ExecSql(sql)) return false;
    return true;
}

class ServerCursors : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UsingPostgres())
            GTEST_SKIP() << "VQ_TEST_PG_CONN is not set: lookups on a second connection are "
                            "PostgreSQL's (scripts/ci-dbgrid.sh starts a server)";
        db = OpenTestDb("aside");
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        ASSERT_TRUE(CreateItems(*db, 20));
    }
    void TearDown() override {
        table.reset();
        if (db) db->ExecSql(vqT("ROLLBACK"));
    }

    // Opens "items" (or the table the session finds by that name) and reads its first row.
    void Open() {
        table.reset(OpenItems(*db, buf));
        ASSERT_TRUE(table);
        ASSERT_TRUE(table->GetNext());
    }

    bool LookUp(SQLINTEGER id) { return LookUpKey(*table, KeyOf(id)); }

    std::string Name() { return buf.name; }

    // The name of a row as another connection sees it.
    std::string CommittedName(SQLINTEGER id) {
        StoredRows rows = ReadStored(*other, "items", {"name"});
        auto row = rows.find(id);
        return row == rows.end() ? "(none)" : row->second[0];
    }

    std::unique_ptr<vqDb> db, other;
    std::unique_ptr<vqDbTable> table;
    ItemRow buf;
};

TEST_F(ServerCursors, AnswersOnTheSecondConnectionAndKeepsTheCursor) {
    Open();
    ASSERT_TRUE(LookUp(9));
    EXPECT_EQ(Name(), "item 8");
    EXPECT_EQ(buf.qty, 24);
    EXPECT_EQ(table->GetLookupsAside(), 1u);
    EXPECT_FALSE(LookUp(99));
    EXPECT_EQ(table->GetKeyQueryCount(), 2u);
    ASSERT_TRUE(table->GetNext());
    EXPECT_EQ(Name(), "item 1");
}

TEST_F(ServerCursors, FindsWhatItsConnectionChangedAndDidNotCommit) {
    ASSERT_TRUE(Exec(*db, {vqT("BEGIN"), vqT("UPDATE items SET name = 'changed' WHERE id = 3"),
                           vqT("DELETE FROM items WHERE id = 4"),
                           vqT("INSERT INTO items (id, name, label) VALUES (100, 'new', 'x')")}));
    other = OpenTestDb("aside");
    ASSERT_EQ(CommittedName(3), "item 2");  // nothing is committed yet
    Open();
    ASSERT_TRUE(LookUp(3));
    EXPECT_EQ(Name(), "changed");
    EXPECT_FALSE(LookUp(4));
    ASSERT_TRUE(LookUp(100));
    EXPECT_EQ(Name(), "new");
    EXPECT_EQ(table->GetLookupsAside(), 0u);
    ASSERT_TRUE(LookUp(2));  // untouched: the second connection answers
    EXPECT_EQ(Name(), "item 1");
    EXPECT_EQ(table->GetLookupsAside(), 1u);
}

TEST_F(ServerCursors, ReadsTheRelationItsConnectionFinds) {
    ASSERT_TRUE(Exec(*db, {vqT("CREATE SCHEMA IF NOT EXISTS aside_other"),
                           vqT("DROP TABLE IF EXISTS aside_other.items"),
                           vqT("CREATE TABLE aside_other.items AS SELECT * FROM items"),
                           vqT("ALTER TABLE aside_other.items ADD PRIMARY KEY (id)"),
                           vqT("UPDATE aside_other.items SET name = 'other ' || id"),
                           vqT("SET search_path = aside_other, public")}));
    Open();
    ASSERT_TRUE(LookUp(5));
    EXPECT_EQ(Name(), "other 5");
    EXPECT_EQ(table->GetLookupsAside(), 1u);

    // A temporary table hides the others, and only this connection sees it.
    table.reset();
    ASSERT_TRUE(Exec(*db, {vqT("CREATE TEMP TABLE items AS SELECT * FROM public.items"),
                           vqT("UPDATE items SET name = 'temp ' || id")}));
    Open();
    ASSERT_TRUE(LookUp(5));
    EXPECT_EQ(Name(), "temp 5");
    EXPECT_EQ(table->GetLookupsAside(), 0u);
    db->ExecSql(vqT("DROP TABLE aside_other.items"));
}

TEST_F(ServerCursors, TakesTheSessionSettingsOfItsConnection) {
    ASSERT_TRUE(Exec(*db, {vqT("DROP TABLE IF EXISTS zoned"),
                           vqT("CREATE TABLE zoned (id INTEGER PRIMARY KEY, at TIMESTAMPTZ)"),
                           vqT("INSERT INTO zoned VALUES (1, '2024-01-01 12:00:00+00')"),
                           vqT("SET TimeZone = 'Asia/Tokyo'")}));
    SQLINTEGER id = 0;
    TIMESTAMP_STRUCT at = {};
    vqDbTable zoned(db.get(), vqT("zoned"), 2);
    zoned.SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, &id, SQL_C_SLONG, sizeof(id), true);
    zoned.SetColDefs(1, vqT("at"), vqDB_DATA_TYPE_DATE, &at, SQL_C_TIMESTAMP, sizeof(at));
    ASSERT_TRUE(zoned.Open());
    ASSERT_TRUE(zoned.Query());
    ASSERT_TRUE(zoned.GetNext());
    vqString scanned = zoned.GetColumnText(1);
    EXPECT_EQ(scanned, vqT("2024-01-01 21:00:00"));
    ASSERT_TRUE(LookUpKey(zoned, zoned.GetRowKey()));
    EXPECT_EQ(zoned.GetColumnText(1), scanned);
    EXPECT_EQ(zoned.GetLookupsAside(), 1u);
}

TEST_F(ServerCursors, DoesNotWaitForALockItsConnectionHolds) {
    ASSERT_TRUE(Exec(*db, {vqT("BEGIN"), vqT("LOCK TABLE items IN ACCESS EXCLUSIVE MODE")}));
    Open();
    ASSERT_TRUE(LookUp(7));
    EXPECT_EQ(Name(), "item 6");
    EXPECT_EQ(table->GetLookupsAside(), 0u);
}

TEST_F(ServerCursors, StaysOnItsConnectionWhenTheSnapshotIsKept) {
    ASSERT_TRUE(db->ExecSql(
        vqT("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ")));
    Open();
    ASSERT_TRUE(LookUp(3));
    EXPECT_EQ(Name(), "item 2");
    EXPECT_EQ(table->GetLookupsAside(), 0u);
}

// The rows the connection's cursors fetch in one round trip (psqlODBC's Fetch).
SQLULEN CursorBatch(vqDb& db) {
    SQLULEN rows = 0;
    SQLGetConnectAttr(db.GetHDBC(), 65541, &rows, sizeof(rows), nullptr);
    return rows;
}

TEST_F(ServerCursors, ScanFetchesItsFirstRowsInASmallBatch) {
    Open();
    EXPECT_EQ(CursorBatch(*db), SQLULEN(vqDb::kLaterBatchRows));
    ASSERT_TRUE(table->Query());
    EXPECT_EQ(CursorBatch(*db), SQLULEN(vqDb::kFirstBatchRows));
    for (int id = 1; id <= 20; ++id) {
        ASSERT_TRUE(table->GetNext()) << id;
        EXPECT_EQ(buf.id, id);
    }
    EXPECT_FALSE(table->GetNext());

    // A batch size the application chose stays as it is.
    std::string chosen = TestConnection("aside") + ";UseDeclareFetch=1;Fetch=50";
    vqDb own(vqString::FromUTF8(chosen));
    ASSERT_TRUE(own.IsOpen());
    table.reset(OpenItems(own, buf));
    ASSERT_TRUE(table);
    ASSERT_TRUE(table->GetNext());
    EXPECT_EQ(CursorBatch(own), 50u);
    table.reset();
}

}  // namespace
