// The attribute provider: read-only cells for non-updatable columns.
#include <memory>

#include "dbgrid_fixture.h"

namespace {

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.reset(new vqDb(vqString::FromUTF8(TestConnection("attr"))));
        ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
        ASSERT_TRUE(CreateItems(*db, 3));
        table.reset(OpenItems(*db, buf));
        ASSERT_TRUE(table);
        for (int i = 0; i < kNumCols; ++i)
            records[i] = vqDbGridColInfoBase(i, vqT("dbauto"), vqT(""));
        provider.reset(new vqDbGridCellAttrProvider(table.get(), records, kNumCols));
    }
    CaptureLog log;
    std::unique_ptr<vqDb> db;
    ItemRow buf;
    std::unique_ptr<vqDbTable> table;
    vqDbGridColInfoBase records[kNumCols];
    std::unique_ptr<vqDbGridCellAttrProvider> provider;
};

TEST_F(ProviderTest, UpdatableColumnsGetTheBaseResultUnchanged) {
    vqGridCellAttr* cell = new vqGridCellAttr;
    provider->SetAttr(cell, 1, kName);
    for (auto kind : {vqGridCellAttr::Any, vqGridCellAttr::Cell, vqGridCellAttr::Col}) {
        vqGridCellAttr* got = provider->GetAttr(1, kName, kind);
        if (kind == vqGridCellAttr::Col) {
            EXPECT_EQ(got, nullptr);
            continue;
        }
        EXPECT_EQ(got, cell);
        EXPECT_EQ(cell->GetRefCount(), 2);
        EXPECT_FALSE(got->IsReadOnly());
        got->DecRef();
    }
}

TEST_F(ProviderTest, NonUpdatableColumnWithoutAttributeGetsAnInstalledReadOnlyOne) {
    vqGridCellAttr* any = provider->GetAttr(0, kLabel, vqGridCellAttr::Any);
    ASSERT_NE(any, nullptr);
    EXPECT_TRUE(any->IsReadOnly());
    vqGridCellAttr* col = provider->GetAttr(2, kLabel, vqGridCellAttr::Col);
    EXPECT_EQ(col, any);
    EXPECT_TRUE(col->IsReadOnly());
    col->DecRef();
    any->DecRef();
    // The key column is not updatable either.
    vqGridCellAttr* key = provider->GetAttr(0, kId, vqGridCellAttr::Col);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->IsReadOnly());
    key->DecRef();
}

TEST_F(ProviderTest, CellAndRowAttributesAreMergedNotMarked) {
    vqGridCellAttr* cell = new vqGridCellAttr;
    cell->SetTextColour(vqColour(1, 2, 3));
    provider->SetAttr(cell, 1, kLabel);
    vqGridCellAttr* merged = provider->GetAttr(1, kLabel, vqGridCellAttr::Any);
    ASSERT_NE(merged, cell);
    EXPECT_EQ(merged->GetKind(), vqGridCellAttr::Merged);
    EXPECT_TRUE(merged->IsReadOnly());
    EXPECT_EQ(merged->GetTextColour(), vqColour(1, 2, 3));
    EXPECT_FALSE(cell->IsReadOnly());
    EXPECT_EQ(cell->GetRefCount(), 1);  // the caller's reference was released
    merged->DecRef();

    // A row attribute serves every cell of the row: it must stay editable for the others.
    vqGridCellAttr* row = new vqGridCellAttr;
    provider->SetRowAttr(row, 2);
    vqGridCellAttr* got = provider->GetAttr(2, kLabel, vqGridCellAttr::Any);
    EXPECT_NE(got, row);
    EXPECT_TRUE(got->IsReadOnly());
    got->DecRef();
    EXPECT_FALSE(row->IsReadOnly());
    vqGridCellAttr* other = provider->GetAttr(2, kName, vqGridCellAttr::Any);
    EXPECT_EQ(other, row);
    EXPECT_FALSE(other->IsReadOnly());
    other->DecRef();

    // Requests for the cell's or row's own attribute come back unchanged.
    vqGridCellAttr* own = provider->GetAttr(1, kLabel, vqGridCellAttr::Cell);
    EXPECT_EQ(own, cell);
    EXPECT_FALSE(own->IsReadOnly());
    own->DecRef();
}

TEST_F(ProviderTest, UnboundOrOutOfRangeGivesTheBaseResult) {
    EXPECT_EQ(provider->GetAttr(0, kNumCols + 5, vqGridCellAttr::Any), nullptr);
    EXPECT_EQ(provider->GetAttr(0, -1, vqGridCellAttr::Any), nullptr);
    provider->AssignDbTable(nullptr);
    EXPECT_EQ(provider->GetAttr(0, kLabel, vqGridCellAttr::Any), nullptr);
    records[0].m_dbColumn = 99;
    provider->AssignDbTable(table.get());
    EXPECT_EQ(provider->GetAttr(0, 0, vqGridCellAttr::Any), nullptr);
}

TEST_F(ProviderTest, GridSeesReadOnlyCellsThroughTheTable) {
    std::unique_ptr<vqDbGridColInfo> all(AllColumns());
    vqDbGridTableBase* gridTable = new vqDbGridTableBase(table.get(), all.get(), -1, false);
    vqGrid grid;
    grid.SetTable(gridTable, true);
    EXPECT_TRUE(grid.IsReadOnly(0, kLabel));
    EXPECT_TRUE(grid.IsReadOnly(1, kId));
    EXPECT_FALSE(grid.IsReadOnly(0, kName));
    EXPECT_NE(dynamic_cast<vqDbGridCellAttrProvider*>(gridTable->GetAttrProvider()), nullptr);
}

}  // namespace
