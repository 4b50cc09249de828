// The grid table over a real table: shape, trace lines, the row cursor, cell
// access, the guarded paths and writeback.
#include <memory>

#include "dbgrid_fixture.h"
#include "vq/app.h"

namespace {

class GridTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.reset(new vqDb(vqString::FromUTF8(TestConnection("grid"))));
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        ASSERT_TRUE(CreateItems(*db, 30));
        table = OpenItems(*db, buf);
        ASSERT_TRUE(table);
        log.Clear();
    }
    // A grid table over the table, not owning it, with every column.
    vqDbGridTableBase* MakeGrid(int rows = -1) {
        std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
        return new vqDbGridTableBase(table, cols.get(), rows, false);
    }
    void TearDown() override { delete table; }

    CaptureLog log;
    std::unique_ptr<vqDb> db;
    ItemRow buf;
    vqDbTable* table = nullptr;
};

TEST_F(GridTableTest, ShapeLabelsAndTypeNames) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    EXPECT_EQ(grid->GetNumberRows(), 30);
    EXPECT_EQ(grid->GetNumberCols(), kNumCols);
    EXPECT_EQ(grid->GetColLabelValue(kPrice), vqT("price"));
    EXPECT_EQ(grid->GetColLabelValue(kNumCols), vqT(""));
    EXPECT_EQ(grid->GetTypeName(0, kId), vqT("long"));
    EXPECT_EQ(grid->GetTypeName(0, kQty), vqT("long"));
    EXPECT_EQ(grid->GetTypeName(0, kSmall), vqT("long"));
    EXPECT_EQ(grid->GetTypeName(0, kPrice), vqT("double"));
    EXPECT_EQ(grid->GetTypeName(0, kMade), vqT("datetime"));
    EXPECT_EQ(grid->GetTypeName(0, kDay), vqT("datetime"));
    EXPECT_EQ(grid->GetTypeName(0, kNote), vqT("string"));
    EXPECT_EQ(grid->GetTypeName(0, kNumCols), vqT(""));
    std::vector<std::string> d = log.Debug();
    ASSERT_GE(d.size(), 2u);
    EXPECT_EQ(d[0], " GetNumberRows() = 30");
    EXPECT_EQ(d[1], " GetNumberCols() = 9");

    vqDbGridColInfo cols(kPrice, vqT("DBAUTO"), vqT("p"), nullptr);
    cols.AddColInfo(kQty, vqT("custom"), vqT("q"));
    vqDbGridTableBase fixed(table, &cols, 25, false);
    EXPECT_EQ(fixed.GetNumberRows(), 25);
    EXPECT_EQ(fixed.GetTypeName(0, 0), vqT("DBAUTO"));
    EXPECT_EQ(fixed.GetTypeName(0, 1), vqT("custom"));

    vqDbGridTableBase unbound(nullptr, nullptr, -1, true);
    EXPECT_EQ(unbound.GetNumberRows(), 0);
    EXPECT_EQ(unbound.GetNumberCols(), 0);
}

TEST_F(GridTableTest, FirstCellLogsTheExactTrace) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid(30));
    log.Clear();
    EXPECT_EQ(grid->GetValue(0, 0), vqT("1"));
    std::vector<std::string> expected = {
        "GetValue() on 0,0", "ValidateRow(0) currently on row (-1). Array count = 0",
        "\trow key unknown", "Fetching row 0..",
        " ...success=(1)",   "\tReturning \"1\"\n"};
    EXPECT_EQ(log.Debug(), expected);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 1u);
}

TEST_F(GridTableTest, CursorFetchesOnceAndRevisitsByKey) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid(30));
    EXPECT_EQ(grid->GetValue(5, kName), vqT("item 5"));
    EXPECT_EQ(table->GetFetchCount(), 6u);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 6u);
    EXPECT_EQ(grid->GetValue(5, kQty), vqT("15"));  // same row: no database work
    EXPECT_EQ(table->GetFetchCount(), 6u);

    log.Clear();
    EXPECT_EQ(grid->GetValue(2, kName), vqT("item 2"));
    EXPECT_TRUE(log.Contains("\trow key known centering data"));
    EXPECT_EQ(table->GetKeyQueryCount(), 1u);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 6u);

    unsigned long fetches = table->GetFetchCount();
    EXPECT_EQ(grid->GetValue(6, kName), vqT("item 6"));
    EXPECT_EQ(table->GetFetchCount(), fetches + 1);
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 7u);
    EXPECT_EQ(grid->GetCurrentRow(), 6);
    // Past the end: the fetch that finds no row is logged with its result, no key is kept
    // for a row that is not there, and no row is current.
    log.Clear();
    EXPECT_EQ(grid->GetValue(31, kName), vqT(""));
    EXPECT_TRUE(log.Contains(" ...success=(0)"));
    EXPECT_EQ(grid->GetRowKeys().GetCount(), 30u);
    EXPECT_EQ(grid->GetCurrentRow(), -1);
}

TEST_F(GridTableTest, TypedGettersAndCompatibility) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    // SQL_C_LONG holding 42 answers 42 as long, double and bool.
    EXPECT_EQ(grid->GetValueAsLong(14, kQty), 42);
    EXPECT_DOUBLE_EQ(grid->GetValueAsDouble(14, kQty), 42.0);
    EXPECT_TRUE(grid->GetValueAsBool(14, kQty));
    EXPECT_TRUE(grid->CanGetValueAs(14, kQty, vqT("long")));
    EXPECT_TRUE(grid->CanGetValueAs(14, kQty, vqT("double")));
    EXPECT_EQ(grid->GetValueAsLong(3, kId), 4);
    EXPECT_EQ(grid->GetValueAsLong(3, kSmall), -3);
    EXPECT_DOUBLE_EQ(grid->GetValueAsDouble(3, kPrice), 3.5);
    EXPECT_EQ(grid->GetValueAsLong(3, kPrice), 0);
    EXPECT_FALSE(grid->GetValueAsBool(3, kName));
    EXPECT_FALSE(grid->CanGetValueAs(3, kPrice, vqT("long")));
    EXPECT_TRUE(grid->CanGetValueAs(3, kMade, vqT("datetime")));
    EXPECT_FALSE(grid->CanGetValueAs(3, kName, vqT("datetime")));
    // Null values: "string" is still readable, nothing else.
    EXPECT_TRUE(grid->CanGetValueAs(6, kQty, vqT("string")));
    EXPECT_FALSE(grid->CanGetValueAs(6, kQty, vqT("long")));
    EXPECT_TRUE(grid->IsEmptyCell(6, kPrice));
    EXPECT_FALSE(grid->IsEmptyCell(5, kPrice));
    EXPECT_EQ(grid->GetValue(6, kQty), vqT(""));
    // Setting is refused for the non-updatable label, allowed for updatable numbers.
    EXPECT_FALSE(grid->CanSetValueAs(0, kLabel, vqT("long")));
    EXPECT_TRUE(grid->CanSetValueAs(0, kLabel, vqT("string")));
    EXPECT_TRUE(grid->CanSetValueAs(0, kPrice, vqT("double")));
    EXPECT_FALSE(grid->CanSetValueAs(0, kPrice, vqT("long")));
    EXPECT_FALSE(grid->CanSetValueAs(0, kId, vqT("long")));
}

TEST_F(GridTableTest, CustomDateValues) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    EXPECT_EQ(grid->GetValueAsCustom(6, kMade, vqT("datetime")), nullptr);  // null
    EXPECT_EQ(grid->GetValueAsCustom(2, kName, vqT("datetime")), nullptr);
    std::unique_ptr<vqDateTime> a(
        static_cast<vqDateTime*>(grid->GetValueAsCustom(2, kMade, vqT("datetime"))));
    std::unique_ptr<vqDateTime> b(
        static_cast<vqDateTime*>(grid->GetValueAsCustom(2, kMade, vqT("datetime"))));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(*a, vqDateTime(2024, 1, 3, 10, 20, 30));

    vqDateTime when(2030, 5, 6, 7, 8, 9);
    grid->SetValueAsCustom(4, kMade, vqT("string"), &when);
    EXPECT_FALSE(grid->IsPendingUpdate());
    grid->SetValueAsCustom(4, kMade, vqT("datetime"), nullptr);
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(grid->GetCurrentRow(), 4);
    grid->SetValueAsCustom(4, kMade, vqT("datetime"), &when);
    EXPECT_TRUE(grid->IsPendingUpdate());
    EXPECT_EQ(grid->GetValue(4, kMade), vqT("2030-05-06 07:08:09"));
}

TEST_F(GridTableTest, ChangesStayInBuffersWithoutWriteback) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    log.Clear();
    grid->SetValue(3, kName, vqT("x"));
    EXPECT_EQ(log.Debug().front(), "SetValue() on 3,1");
    EXPECT_TRUE(grid->IsPendingUpdate());
    log.Clear();
    EXPECT_FALSE(grid->IsEmptyCell(3, kName));
    EXPECT_EQ(log.Debug().front(), "IsEmtpyCell on 3,1");
    EXPECT_EQ(log.Debug().back(), "ValidateRow(3) currently on row (3). Array count = 4");
    EXPECT_EQ(grid->GetValue(3, kName), vqT("x"));
    log.Clear();
    EXPECT_TRUE(grid->UpdateRow(4));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(grid->UpdateRow(3));
    EXPECT_TRUE(grid->IsPendingUpdate());
    std::vector<std::string> expected = {"\trow key unknown",
                                         "WARNING : Row writeback not implemented "};
    EXPECT_EQ(log.Debug(), expected);
    log.Clear();
    grid->GetValue(4, kName);
    EXPECT_TRUE(log.Contains("WARNING : Row writeback not implemented "));
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(grid->GetValue(3, kName), vqT("item 3"));  // re-read from the database
}

TEST_F(GridTableTest, WritebackUpdatesTheRowByKey) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    grid->EnableWriteback(true);
    const vqString text = vqString::FromUTF8("it's \xC3\xBC");
    grid->SetValue(3, kName, text);
    grid->SetValueAsLong(3, kQty, 777);
    grid->SetValueAsDouble(3, kPrice, 1.25);
    EXPECT_TRUE(grid->UpdateRow(3));
    EXPECT_FALSE(grid->IsPendingUpdate());
    grid->SetValue(5, kNote, vqT("later"));
    grid->GetValue(8, kName);  // leaving row 5 writes it
    EXPECT_EQ(log.Errors(), 0);

    ItemRow other;
    std::unique_ptr<vqDbTable> check(OpenItems(*db, other, false));
    ASSERT_TRUE(check);
    check->SetWhereClause(vqT("id = 4 OR id = 6"));
    ASSERT_TRUE(check->Query());
    ASSERT_TRUE(check->GetNext());
    EXPECT_EQ(check->GetColumnValue(kName).GetString(), text);
    EXPECT_EQ(check->GetColumnValue(kQty).GetLong(), 777);
    EXPECT_DOUBLE_EQ(check->GetColumnValue(kPrice).GetDouble(), 1.25);
    EXPECT_EQ(check->GetColumnValue(kLabel).GetString(), vqT("L3"));
    ASSERT_TRUE(check->GetNext());
    EXPECT_EQ(check->GetColumnValue(kNote).GetString(), vqT("later"));
}

TEST_F(GridTableTest, FailedWritebackDropsTheEditsOnceAndSaysWhy) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    grid->EnableWriteback(true);
    grid->GetValue(2, kName);
    ASSERT_TRUE(db->ExecSql(vqT("DELETE FROM items WHERE id = 3")));
    grid->SetValue(2, kName, vqT("gone"));
    EXPECT_FALSE(grid->UpdateRow(2));
    EXPECT_FALSE(grid->IsPendingUpdate());
    EXPECT_EQ(log.Errors(), 1) << log.ErrorText();
    EXPECT_TRUE(
        log.Contains("Row 2 of table \"items\" keeps its stored values: no row has its "
                     "key any more"))
        << log.ErrorText();
    // Leaving the row does not run the update again; the row reads empty from now on.
    grid->GetValue(5, kName);
    EXPECT_EQ(log.Errors(), 1) << log.ErrorText();
    EXPECT_EQ(grid->GetValue(2, kName), vqT(""));
}

TEST_F(GridTableTest, GuardedPathsNeverTouchTheTable) {
    vqDbGridColInfo cols(kNumCols + 3, vqT("dbauto"), vqT("past the end"), nullptr);
    cols.AddColInfo(-1, vqT("dbauto"), vqT("negative"));
    vqDbGridTableBase grid(table, &cols, 10, false);
    for (int col : {0, 1, 5}) {
        EXPECT_EQ(grid.GetValue(0, col), vqT(""));
        EXPECT_EQ(grid.GetValueAsLong(0, col), 0);
        EXPECT_EQ(grid.GetValueAsDouble(0, col), 0.0);
        EXPECT_FALSE(grid.GetValueAsBool(0, col));
        EXPECT_EQ(grid.GetValueAsCustom(0, col, vqT("datetime")), nullptr);
        EXPECT_FALSE(grid.IsEmptyCell(0, col));
        EXPECT_FALSE(grid.CanGetValueAs(0, col, vqT("long")));
        EXPECT_FALSE(grid.CanSetValueAs(0, col, vqT("long")));
        grid.SetValue(0, col, vqT("x"));
        grid.SetValueAsLong(0, col, 1);
    }
    EXPECT_EQ(grid.GetTypeName(0, 0), vqT("string"));
    EXPECT_EQ(grid.GetValue(-1, 0), vqT(""));
    EXPECT_FALSE(grid.IsPendingUpdate());
    EXPECT_EQ(table->GetFetchCount(), 0u);

    std::unique_ptr<vqDbGridColInfo> all(AllColumns());
    vqDbGridTableBase unbound(nullptr, all.get(), 5, false);
    EXPECT_EQ(unbound.GetValue(0, 0), vqT(""));
    EXPECT_EQ(unbound.GetTypeName(0, kPrice), vqT("string"));
    EXPECT_TRUE(unbound.CanGetValueAs(0, 0, vqT("string")));
    unbound.SetValueAsDouble(0, 0, 1.0);
    EXPECT_FALSE(unbound.IsPendingUpdate());
    EXPECT_EQ(log.Errors(), 0);
}

TEST_F(GridTableTest, ReassignNotifiesTheGridInOneBatch) {
    vqDbGridTableBase* gridTable = MakeGrid();
    vqGrid grid;
    ASSERT_TRUE(grid.SetTable(gridTable, true));
    EXPECT_EQ(grid.GetNumberRows(), 30);
    grid.GetCellValue(4, kName);
    grid.SelectBlock(0, 0, 2, 2);
    grid.EnableCellEditControl(true);

    ItemRow other;
    vqDbTable* second = OpenItems(*db, other);
    ASSERT_TRUE(second);
    second->SetWhereClause(vqT("id <= 10"));
    ASSERT_TRUE(second->Query());
    EXPECT_TRUE(gridTable->AssignDbTable(second, -1, true));
    EXPECT_FALSE(grid.IsCellEditControlEnabled());
    EXPECT_FALSE(grid.IsSelection());
    EXPECT_EQ(grid.GetBatchCount(), 0);
    ASSERT_EQ(grid.GetMessages().size(), 2u);
    EXPECT_EQ(grid.GetMessages()[0].id, vqGRIDTABLE_NOTIFY_ROWS_DELETED);
    EXPECT_EQ(grid.GetMessages()[0].comInt1, 0);
    EXPECT_EQ(grid.GetMessages()[0].comInt2, 30);
    EXPECT_EQ(grid.GetMessages()[1].id, vqGRIDTABLE_NOTIFY_ROWS_APPENDED);
    EXPECT_EQ(grid.GetMessages()[1].comInt1, 10);
    EXPECT_EQ(grid.GetNumberRows(), 10);
    EXPECT_EQ(gridTable->GetCurrentRow(), -1);
    EXPECT_TRUE(gridTable->GetRowKeys().IsEmpty());
    EXPECT_EQ(grid.GetCellValue(9, kName), vqT("item 9"));
    // The grid owns the grid table, which owns the second table; the first stays ours.
}

TEST_F(GridTableTest, ReassignToTheOwnedTableKeepsIt) {
    ItemRow other;
    vqDbTable* owned = OpenItems(*db, other);
    ASSERT_TRUE(owned);
    std::unique_ptr<vqDbGridColInfo> cols(AllColumns());
    vqDbGridTableBase grid(owned, cols.get(), -1, true);
    grid.GetValue(3, kName);
    ASSERT_TRUE(owned->Query());
    EXPECT_TRUE(grid.AssignDbTable(owned, -1, true));
    EXPECT_EQ(grid.GetValue(2, kName),
              vqT("item 2"));  // the sanitizer build catches a use after free
}

TEST_F(GridTableTest, PlainProviderInstalledByTheApplicationIsLeftAlone) {
    std::unique_ptr<vqDbGridTableBase> grid(MakeGrid());
    grid->SetAttrProvider(new vqGridCellAttrProvider);
    EXPECT_TRUE(grid->AssignDbTable(table, -1, false));
    EXPECT_TRUE(grid->CanHaveAttributes());
    EXPECT_EQ(grid->GetAttr(0, kLabel, vqGridCellAttr::Any), nullptr);
}

TEST(BuildCheck, MismatchIsLoggedAndNeverAborts) {
    CaptureLog log;
    EXPECT_FALSE(
        vqAppConsole::CheckBuildOptions(vqT("2.8 (debug,ANSI,none,x,y)"), vqT("vqDbGrid")));
    EXPECT_EQ(log.Errors(), 1);
    EXPECT_TRUE(vqAppConsole::CheckBuildOptions(VQ_BUILD_OPTIONS_SIGNATURE, vqT("vqDbGrid")));
}

}  // namespace
