// vqDbGridTableBase: a grid table that shows the rows of a database table
// (vqDbTable) in a vqGrid, with the column layout the application gives as a
// list of vqDbGridColInfo nodes. Rows are fetched lazily and revisited by key;
// cells of non-updatable columns come out read-only.
//
// A row the cursor cannot reach (past the last row, deleted, or not readable just
// now, e.g. while another process locks the database) is not current: its cells
// read empty and edits to it are refused with a logged error. With writeback on,
// only the columns the application changed are written, and only for a row that was
// read in full and has a usable key.
//
// Ownership: the application owns the column list (the table copies it), the
// grid table owns its column records and row keys, and the database table only
// when told so; the grid table base owns the attribute provider.
#ifndef VQ_DBGRIDTABLE_H
#define VQ_DBGRIDTABLE_H

#include <map>
#include <vector>

#include "vq/array.h"
#include "vq/db.h"
#include "vq/grid.h"

#ifdef VQMAKING_DBGRID
#define VQ_DBGRID_API VQ_EXPORT
#else
#define VQ_DBGRID_API VQ_IMPORT
#endif

// One grid column: the database column it shows, its grid type name ("dbauto"
// derives it from the database column) and its title.
class VQ_DBGRID_API vqDbGridColInfoBase {
public:
    vqDbGridColInfoBase() : m_dbColumn(0) {}
    vqDbGridColInfoBase(int dbColumn, vqString typeName, vqString title);

    int m_dbColumn;
    vqString m_typeName;
    vqString m_title;
};

// A node of the application's column list; a node owns its successor.
class VQ_DBGRID_API vqDbGridColInfo {
public:
    // Takes ownership of next and everything behind it.
    vqDbGridColInfo(int dbColumn, vqString typeName, vqString title, vqDbGridColInfo* next);
    // Copies the record and the whole chain behind it: both lists own their nodes.
    vqDbGridColInfo(const vqDbGridColInfo& other);
    vqDbGridColInfo& operator=(const vqDbGridColInfo& other);
    // Frees the chain behind this node.
    ~vqDbGridColInfo();

    // Appends a node at the tail of the chain that starts here.
    void AddColInfo(int dbColumn, vqString typeName, vqString title);
    // Nodes from here to the tail, this one included.
    int Length();
    vqDbGridColInfo* GetLast();

    vqDbGridColInfoBase m_record;
    vqDbGridColInfo* m_nextColumn;
};

// An owning array of row keys: every slot holds a key of its own.
class VQ_DBGRID_API keyarray : public vqArrayPtrVoid {
public:
    keyarray() {}
    keyarray(const keyarray& other);
    ~keyarray();
    keyarray& operator=(const keyarray& other);

    void Alloc(size_t n);
    size_t GetCount() const { return m_nCount; }
    size_t size() const { return m_nCount; }
    size_t Count() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    bool empty() const { return m_nCount == 0; }
    void Shrink() { vqArrayPtrVoid::Shrink(); }

    GenericKey& operator[](size_t index) const {
        return *static_cast<GenericKey*>(m_pItems[index]);
    }
    GenericKey& Item(size_t index) const { return *static_cast<GenericKey*>(m_pItems[index]); }
    GenericKey& Last() const { return Item(m_nCount - 1); }

    // The pointer forms take ownership of the object itself.
    void Add(const GenericKey* key) { vqArrayPtrVoid::Add(const_cast<GenericKey*>(key), 1); }
    void push_back(const GenericKey* key) { Add(key); }
    void Insert(const GenericKey* key, size_t index) {
        vqArrayPtrVoid::Insert(const_cast<GenericKey*>(key), index, 1);
    }
    // The reference forms store n independent copies.
    void push_back(const GenericKey& key) { Add(key, 1); }
    void Add(const GenericKey& key, size_t n);
    void Insert(const GenericKey& key, size_t index, size_t n);

    // Frees the keys of slots index .. index + n - 1 and removes them; nothing when
    // index is past the end.
    void RemoveAt(size_t index, size_t n);
    // Removes a slot without freeing its key, which the caller then owns.
    GenericKey* Detach(size_t index);
    void Empty();
    void Clear();
    void Sort(int (*compare)(GenericKey** first, GenericKey** second));
    // Slot holding this very object (compared by address); -1 when none.
    int Index(const GenericKey& key, bool fromEnd = false) const;

private:
    void DoEmpty();
    void DoCopy(const keyarray& other);
};

// The grid table's row keys, slot n holding the key of grid row n. The keys of one table
// have one size, so they are stored back to back without an object or a block of their
// own; a key of another size (an empty one: a row without a usable key) is kept apart.
class VQ_DBGRID_API vqDbGridRowKeys {
public:
    vqDbGridRowKeys() : m_count(0), m_width(0) {}

    size_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    // A copy of the key in slot index (below the count).
    GenericKey Item(size_t index) const;
    GenericKey operator[](size_t index) const { return Item(index); }
    size_t GetBlkSize(size_t index) const;
    // Whether slot index holds a key with the same bytes as key.
    bool Matches(size_t index, const GenericKey& key) const;

    // Appends a copy of key.
    void Add(const GenericKey& key);
    // Replaces the key in slot index (below the count) with a copy of key.
    void Set(size_t index, const GenericKey& key);
    void Clear();
    // Bytes of heap the keys take.
    size_t GetHeapSize() const;

private:
    const unsigned char* Bytes(size_t index) const { return m_bytes.data() + index * m_width; }

    size_t m_count;
    size_t m_width;                        // size of the keys stored back to back
    std::vector<unsigned char> m_bytes;    // m_count keys of m_width bytes
    std::map<size_t, GenericKey> m_apart;  // slots whose key has another size
};

// The attribute provider of a vqDbGridTableBase: cells of non-updatable database
// columns come out read-only.
class VQ_DBGRID_API vqDbGridCellAttrProvider : public vqGridCellAttrProvider {
public:
    vqDbGridCellAttrProvider();
    // Neither the table nor the records are owned; numRecords bounds the grid
    // columns looked up (-1: the caller only asks for columns it has records for).
    vqDbGridCellAttrProvider(vqDbTable* table, vqDbGridColInfoBase* colRecords,
                             int numRecords = -1);
    ~vqDbGridCellAttrProvider() override;

    vqGridCellAttr* GetAttr(int row, int col, vqGridCellAttr::vqAttrKind kind) const override;
    // Replaces the table whose column definitions decide (null unbinds).
    virtual void AssignDbTable(vqDbTable* table);

private:
    vqDbTable* m_dbTable;
    vqDbGridColInfoBase* m_colRecords;
    int m_numRecords;
};

class VQ_DBGRID_API vqDbGridTableBase : public vqGridTableBase {
public:
    // rowCount -1 asks the table for its row count. The column list is copied.
    vqDbGridTableBase(vqDbTable* table, vqDbGridColInfo* columns, int rowCount = -1,
                      bool takeOwnership = true);
    ~vqDbGridTableBase() override;

    int GetNumberRows() override;
    int GetNumberCols() override;
    bool IsEmptyCell(int row, int col) override;
    vqString GetValue(int row, int col) override;
    void SetValue(int row, int col, const vqString& value) override;
    vqString GetTypeName(int row, int col) override;
    bool CanGetValueAs(int row, int col, const vqString& typeName) override;
    bool CanSetValueAs(int row, int col, const vqString& typeName) override;
    long GetValueAsLong(int row, int col) override;
    double GetValueAsDouble(int row, int col) override;
    bool GetValueAsBool(int row, int col) override;
    void SetValueAsLong(int row, int col, long value) override;
    void SetValueAsDouble(int row, int col, double value) override;
    void SetValueAsBool(int row, int col, bool value) override;
    // A new vqDateTime for a "datetime" request on a date or time column; the caller deletes it.
    void* GetValueAsCustom(int row, int col, const vqString& typeName) override;
    // Stores the vqDateTime that value points to (the caller keeps it).
    void SetValueAsCustom(int row, int col, const vqString& typeName, void* value) override;
    vqString GetColLabelValue(int col) override;
    bool CanHaveAttributes() override;

    // Re-binds to another table with the same column layout; the grid is told that
    // the old rows went and the new ones came. Always true.
    virtual bool AssignDbTable(vqDbTable* table, int rowCount = -1, bool takeOwnership = true);
    // Makes a grid row the database table's current row. When the row cannot be read
    // (past the end of the rows, gone, or the fetch or key lookup failed) no row is
    // current afterwards and the buffers are null; a failed read is tried again on the
    // next visit, the end of the rows and a gone row are remembered.
    virtual void ValidateRow(int row);
    // Writes back the current row if it is row and changed. False (logged once, with the
    // row and why) when nothing was written: the key no longer finds exactly one row,
    // another writer changed a changed column since it was read, a lock was held longer
    // than vqDb::kLockWaitMs, or the driver failed. The changes are then dropped, not
    // tried again, and the row is read anew on its next visit.
    virtual bool UpdateRow(int row) const;

    // While on, leaving a changed row updates its changed columns in the database by
    // its key (see UpdateRow); edits to key, derived or non-updatable columns and to
    // rows whose key does not find them exactly are then refused.
    void EnableWriteback(bool enable) { m_writeback = enable; }
    bool IsWritebackEnabled() const { return m_writeback; }

    // The cursor state, for inspection: -1 when no row is current.
    int GetCurrentRow() const { return m_currentRow; }
    bool IsPendingUpdate() const { return m_pendingUpdate; }
    const vqDbGridRowKeys& GetRowKeys() const { return m_rowKeys; }

private:
    enum CursorState { kCursorOk, kCursorFailed, kCursorLost };

    bool Writeback();
    // The database column of a grid column, or -1 when no table is bound or it is out of range.
    int DbColumn(int col) const {
        if (!m_dbTable || col < 0 || col >= m_numCols) return -1;
        int dbcol = m_colRecords[col].m_dbColumn;
        return dbcol >= 0 && dbcol < m_dbTable->GetNumberOfColumns() ? dbcol : -1;
    }
    SWORD ColType(int dbcol) const { return m_dbTable->GetColDefs()[dbcol].SqlCtype; }
    // Makes row current; false when it cannot be read (a negative row is not tried).
    bool Reach(int row);
    void StoreValue(int row, int col, const vqVariant& value, const vqChar* operation);
    void FetchUpTo(int row);
    void RevisitRow(int row);
    bool RestartCursor();
    void NoCurrentRow();
    void ResetCursor();

    vqDbGridRowKeys m_rowKeys;
    vqDbTable* m_dbTable;
    bool m_ownsDbTable;
    int m_numRows;
    int m_numCols;
    int m_currentRow;
    vqDbGridColInfoBase* m_colRecords;
    mutable bool m_pendingUpdate;
    bool m_writeback;
    bool m_rowWritable;                   // the current row has a key to write it back by
    mutable std::vector<bool> m_changed;  // database columns changed in the current row
    size_t m_rowsInResult;                // number of rows the query gave, once known
    CursorState m_cursorState;
};

#endif
