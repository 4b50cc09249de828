/// \file
/// \ingroup rowgrid
/// \brief vqDbGridTableBase: a grid table that shows the rows of a database table
/// (vqDbTable) in a vqGrid, with the column layout the application gives as a
/// list of vqDbGridColInfo nodes. Rows are fetched lazily and revisited by key;
/// cells of non-updatable columns come out read-only.
///
/// A row the cursor cannot reach (past the last row, deleted, or not readable just
/// now, for instance while another process locks the database) is not current: its
/// cells read empty and edits to it are refused with a logged error. With writeback
/// on, only the columns the application changed are written, and only for a row that
/// was read in full and has a usable key.
///
/// Ownership: the application owns the column list (the table copies it), the
/// grid table owns its column records and row keys, and the database table only
/// when told so; the grid table base owns the attribute provider.
#ifndef VQ_DBGRIDTABLE_H
#define VQ_DBGRIDTABLE_H

#include <map>
#include <vector>

#include "vq/array.h"
#include "vq/db.h"
#include "vq/grid.h"

/// \cond
#ifdef VQMAKING_DBGRID
#define VQ_DBGRID_API VQ_EXPORT
#else
#define VQ_DBGRID_API VQ_IMPORT
#endif
/// \endcond

/// \ingroup rowgrid
/// \brief One grid column: the database column it shows, its grid type name ("dbauto"
/// derives it from the database column) and its title.
class VQ_DBGRID_API vqDbGridColInfoBase {
public:
    /// A record of database column 0 without type name or title.
    vqDbGridColInfoBase() : m_dbColumn(0) {}
    /// A record of the given database column, grid type name and title.
    vqDbGridColInfoBase(int dbColumn, vqString typeName, vqString title);

    /// The database column shown: an index into the table's column definitions. A
    /// column out of their range shows empty cells and takes no edits.
    int m_dbColumn;
    /// The grid type name ("string", "long", "double", "datetime"); "dbauto" derives it
    /// from the database column's C type.
    vqString m_typeName;
    /// The column's label.
    vqString m_title;
};

/// \ingroup rowgrid
/// \brief A node of the application's column list; a node owns its successor.
///
/// The application owns the first node (it may live on the stack); a grid table copies
/// the list when it is made, so the list may go once the table exists.
class VQ_DBGRID_API vqDbGridColInfo {
public:
    /// A node of the given column (see vqDbGridColInfoBase). Takes ownership of next
    /// and everything behind it.
    vqDbGridColInfo(int dbColumn, vqString typeName, vqString title, vqDbGridColInfo* next);
    /// Copies the record and the whole chain behind it: both lists own their nodes.
    vqDbGridColInfo(const vqDbGridColInfo& other);
    /// Replaces the record and the chain behind this node with copies of other's; the
    /// old chain is freed.
    vqDbGridColInfo& operator=(const vqDbGridColInfo& other);
    /// Frees the chain behind this node.
    ~vqDbGridColInfo();

    /// Appends a node at the tail of the chain that starts here.
    void AddColInfo(int dbColumn, vqString typeName, vqString title);
    /// Nodes from here to the tail, this one included.
    int Length();
    /// The tail of the chain that starts here (this node when it has no successor).
    vqDbGridColInfo* GetLast();

    /// The column this node describes.
    vqDbGridColInfoBase m_record;
    /// The next node, owned by this one; null at the tail.
    vqDbGridColInfo* m_nextColumn;
};

/// \ingroup rowgrid
/// \brief An owning array of row keys (GenericKey, `vq/db.h`): every slot holds a key of
/// its own.
///
/// The array frees the keys it holds. Indexes are not checked: an index must be below
/// the count, as with the toolkit's other arrays. The grid table itself keeps its keys
/// in a vqDbGridRowKeys.
class VQ_DBGRID_API keyarray : public vqArrayPtrVoid {
public:
    /// An empty array.
    keyarray() {}
    /// Copies every key of other into a slot of its own.
    keyarray(const keyarray& other);
    /// Frees every key.
    ~keyarray();
    /// Frees the keys held, then copies every key of other.
    keyarray& operator=(const keyarray& other);

    /// Reserves room for n slots; never shrinks.
    void Alloc(size_t n);
    /// The number of slots.
    size_t GetCount() const { return m_nCount; }
    /// The number of slots, as GetCount() gives.
    size_t size() const { return m_nCount; }
    /// The number of slots, as GetCount() gives.
    size_t Count() const { return m_nCount; }
    /// Whether there are no slots.
    bool IsEmpty() const { return m_nCount == 0; }
    /// Whether there are no slots, as IsEmpty() tells.
    bool empty() const { return m_nCount == 0; }
    /// Frees the room reserved beyond the slots in use.
    void Shrink() { vqArrayPtrVoid::Shrink(); }

    /// The key in slot index, owned by the array.
    GenericKey& operator[](size_t index) const {
        return *static_cast<GenericKey*>(m_pItems[index]);
    }
    /// The key in slot index, owned by the array.
    GenericKey& Item(size_t index) const { return *static_cast<GenericKey*>(m_pItems[index]); }
    /// The key in the last slot, owned by the array; the array must not be empty.
    GenericKey& Last() const { return Item(m_nCount - 1); }

    /// Appends the key itself: the pointer forms take ownership of the object.
    void Add(const GenericKey* key) { vqArrayPtrVoid::Add(const_cast<GenericKey*>(key), 1); }
    /// Appends the key itself, taking ownership of it, as Add(const GenericKey*) does.
    void push_back(const GenericKey* key) { Add(key); }
    /// Inserts the key itself before slot index, taking ownership of it.
    void Insert(const GenericKey* key, size_t index) {
        vqArrayPtrVoid::Insert(const_cast<GenericKey*>(key), index, 1);
    }
    /// Appends a copy of key: the reference forms store independent copies.
    void push_back(const GenericKey& key) { Add(key, 1); }
    /// Appends n independent copies of key.
    void Add(const GenericKey& key, size_t n);
    /// Inserts n independent copies of key before slot index; nothing for n 0.
    void Insert(const GenericKey& key, size_t index, size_t n);

    /// Frees the keys of slots index .. index + n - 1 and removes them; nothing when
    /// index is past the end.
    void RemoveAt(size_t index, size_t n);
    /// Removes a slot without freeing its key, which the caller then owns.
    GenericKey* Detach(size_t index);
    /// Frees every key and removes every slot.
    void Empty();
    /// Frees every key and removes every slot, as Empty() does.
    void Clear();
    /// Sorts the slots; compare gets the addresses of two slots and returns a negative
    /// number, 0 or a positive number, as for qsort.
    void Sort(int (*compare)(GenericKey** first, GenericKey** second));
    /// Slot holding this very object (compared by address); -1 when none.
    int Index(const GenericKey& key, bool fromEnd = false) const;

private:
    void DoEmpty();
    void DoCopy(const keyarray& other);
};

/// \ingroup rowgrid
/// \brief The grid table's row keys, slot n holding the key of grid row n.
///
/// The keys of one table have one size, so they are stored back to back without an
/// object or a block of their own; a key of another size (an empty one: a row without
/// a usable key) is kept apart. The object owns copies of the keys it is given. An
/// index must be below the count (not checked).
class VQ_DBGRID_API vqDbGridRowKeys {
public:
    /// No keys.
    vqDbGridRowKeys() : m_count(0), m_width(0) {}

    /// The number of slots: the grid rows fetched so far.
    size_t GetCount() const { return m_count; }
    /// Whether there are no slots.
    bool IsEmpty() const { return m_count == 0; }
    /// A copy of the key in slot index (below the count).
    GenericKey Item(size_t index) const;
    /// A copy of the key in slot index, as Item() gives.
    GenericKey operator[](size_t index) const { return Item(index); }
    /// The size in bytes of the key in slot index; 0 for a row without a usable key.
    size_t GetBlkSize(size_t index) const;
    /// Whether slot index holds a key with the same bytes as key.
    bool Matches(size_t index, const GenericKey& key) const;

    /// Appends a copy of key.
    void Add(const GenericKey& key);
    /// Replaces the key in slot index (below the count) with a copy of key.
    void Set(size_t index, const GenericKey& key);
    /// Removes every key and frees the memory they took.
    void Clear();
    /// Bytes of heap the keys take.
    size_t GetHeapSize() const;

private:
    const unsigned char* Bytes(size_t index) const { return m_bytes.data() + index * m_width; }

    size_t m_count;
    size_t m_width;                        // size of the keys stored back to back
    std::vector<unsigned char> m_bytes;    // m_count keys of m_width bytes
    std::map<size_t, GenericKey> m_apart;  // slots whose key has another size
};

/// \ingroup rowgrid
/// \brief The attribute provider of a vqDbGridTableBase: cells of non-updatable database
/// columns come out read-only.
///
/// The grid table makes one when the grid first asks for attributes
/// (vqDbGridTableBase::CanHaveAttributes); the grid table base owns it then.
class VQ_DBGRID_API vqDbGridCellAttrProvider : public vqGridCellAttrProvider {
public:
    /// A provider bound to no table: it gives the attributes set on it unchanged.
    vqDbGridCellAttrProvider();
    /// Neither the table nor the records are owned; numRecords bounds the grid
    /// columns looked up (-1: the caller only asks for columns it has records for).
    vqDbGridCellAttrProvider(vqDbTable* table, vqDbGridColInfoBase* colRecords,
                             int numRecords = -1);
    /// Destroys the provider and the attributes set on it, not the table or records.
    ~vqDbGridCellAttrProvider() override;

    /// The attribute of a cell as the base provider gives it, read-only in a column
    /// whose database column is not updatable. There, for the kinds Any and Col, a
    /// read-only column attribute is made and kept when none is set, and an attribute
    /// set on the cell, row or column is merged into a read-only copy, which leaves it
    /// as it was. The caller gets a reference (DecRef it); null when there is none.
    vqGridCellAttr* GetAttr(int row, int col, vqGridCellAttr::vqAttrKind kind) const override;
    /// Replaces the table whose column definitions decide (null unbinds).
    virtual void AssignDbTable(vqDbTable* table);

private:
    vqDbTable* m_dbTable;
    vqDbGridColInfoBase* m_colRecords;
    int m_numRecords;
};

/// \ingroup rowgrid
/// \brief A grid table (vqGridTableBase, `vq/grid.h`) that shows the rows of a database
/// table (vqDbTable, `vq/db.h`) in a vqGrid.
///
/// Rows are fetched forward only when the grid first reaches them, each leaving its key
/// behind; going back to a row is one lookup by that key, so the sequential cursor
/// keeps its place. Reading or writing a cell makes its row the database table's
/// current row. Changes stay in the table's buffers unless EnableWriteback() is on.
///
/// Ownership: hand the grid table to the grid (vqGrid::SetTable with ownership, which
/// then deletes it). The grid table copies the column list; it owns the database table
/// when made with takeOwnership, its row keys and, through the table base, its
/// attribute provider.
///
/// Failures never throw. A row that cannot be read (past the last row, deleted, or
/// locked by another process) reads as empty cells, and edits to it are refused with
/// a logged error; so are values that do not fit their column. A grid column outside
/// the column list, or one whose database column is out of range, reads empty and
/// takes no edits.
class VQ_DBGRID_API vqDbGridTableBase : public vqGridTableBase {
public:
    /// rowCount -1 asks the table for its row count. The column list is copied. With
    /// takeOwnership the grid table deletes the database table when it is destroyed or
    /// bound to another. The table should be open and queried; a null table gives no
    /// rows.
    vqDbGridTableBase(vqDbTable* table, vqDbGridColInfo* columns, int rowCount = -1,
                      bool takeOwnership = true);
    /// Writes back a pending change of the current row (with writeback on; a refused one
    /// is logged), unbinds the attribute provider and deletes the database table when it
    /// owns it.
    ~vqDbGridTableBase() override;

    /// The number of rows given, or counted, at construction or by AssignDbTable().
    int GetNumberRows() override;
    /// The number of grid columns: the length of the column list.
    int GetNumberCols() override;
    /// Whether the cell's value is NULL; true for a row that cannot be read, false for a
    /// column out of range.
    bool IsEmptyCell(int row, int col) override;
    /// The cell's value as text, as the database table formats it; empty for a row
    /// that cannot be read or a column out of range.
    vqString GetValue(int row, int col) override;
    /// Stores text into the cell's buffer, converted to the column's type; the change
    /// waits for the row to be left (see EnableWriteback()). Refused, with a logged
    /// error, for a row that cannot be read, a value that does not fit the column, and
    /// with writeback on a row whose key does not find it exactly or a column that is
    /// not updatable.
    void SetValue(int row, int col, const vqString& value) override;
    /// The grid type of a column: its record's type name, or for "dbauto" the one the
    /// database column's C type gives ("long", "double", "datetime", else "string");
    /// empty for a grid column out of range.
    vqString GetTypeName(int row, int col) override;
    /// True for "string" always; for "long", "double" and "datetime" when the row can
    /// be read, the value is not NULL and the column's C type converts (integers to
    /// long and double, floating point to double, dates and times to datetime).
    bool CanGetValueAs(int row, int col, const vqString& typeName) override;
    /// True for "string" always; for "long", "double" and "datetime" when the column is
    /// updatable and its C type converts, as for CanGetValueAs().
    bool CanSetValueAs(int row, int col, const vqString& typeName) override;
    /// The value of an integer column; 0 for other columns, a row that cannot be read,
    /// a column out of range, or (on Windows, where a long has 32 bits) a value a long
    /// cannot hold, whose digits GetValue() gives.
    long GetValueAsLong(int row, int col) override;
    /// The value of an integer or floating-point column; 0.0 otherwise.
    double GetValueAsDouble(int row, int col) override;
    /// Whether the value of an integer column is not 0; false otherwise.
    bool GetValueAsBool(int row, int col) override;
    /// Stores a number as SetValue() stores text, refused the same ways.
    void SetValueAsLong(int row, int col, long value) override;
    /// Stores a number as SetValue() stores text, refused the same ways.
    void SetValueAsDouble(int row, int col, double value) override;
    /// Stores a truth value (1 or 0) as SetValue() stores text, refused the same ways.
    void SetValueAsBool(int row, int col, bool value) override;
    /// A new vqDateTime for a "datetime" request on a date or time column; the caller deletes it.
    /// Null for a NULL value, another request or column type, a row that cannot be read
    /// or a column out of range.
    void* GetValueAsCustom(int row, int col, const vqString& typeName) override;
    /// Stores the vqDateTime that value points to (the caller keeps it), refused as
    /// SetValue() is. Anything but a "datetime" request with a value on a date or time
    /// column is ignored; the row still becomes current.
    void SetValueAsCustom(int row, int col, const vqString& typeName, void* value) override;
    /// The column's title from the column list; empty for a column out of range.
    vqString GetColLabelValue(int col) override;
    /// True. Makes the attribute provider on the first call (a vqDbGridCellAttrProvider,
    /// owned by the table base), which makes cells of non-updatable columns read-only.
    bool CanHaveAttributes() override;

    /// Re-binds to another table with the same column layout; the grid is told that
    /// the old rows went and the new ones came. Always true. A pending change is written
    /// back first (with writeback on), the old table deleted when owned (unless it is
    /// the new one), and takeOwnership applies to the new table; rowCount as for the
    /// constructor.
    virtual bool AssignDbTable(vqDbTable* table, int rowCount = -1, bool takeOwnership = true);
    /// Makes a grid row the database table's current row. When the row cannot be read
    /// (past the end of the rows, gone, or the fetch or key lookup failed) no row is
    /// current afterwards and the buffers are null; a failed read is tried again on the
    /// next visit, the end of the rows and a gone row are remembered. Leaving a changed
    /// row writes it back first (with writeback on) or drops its changes. Without a
    /// database table it logs an error and does nothing.
    virtual void ValidateRow(int row);
    /// Writes back the current row if it is row and changed. False (logged once, with the
    /// row and why) when nothing was written: the key no longer finds exactly one row,
    /// another writer changed a changed column since it was read, a lock was held longer
    /// than vqDb::kLockWaitMs, or the driver failed. The changes are then dropped, not
    /// tried again, and the row is read anew on its next visit. True when there was
    /// nothing to write, or writeback is off.
    virtual bool UpdateRow(int row) const;

    /// While on, leaving a changed row updates its changed columns in the database by
    /// its key (see UpdateRow); edits to key, derived or non-updatable columns and to
    /// rows whose key does not find them exactly are then refused. Off at first.
    void EnableWriteback(bool enable) { m_writeback = enable; }
    /// Whether writeback is on.
    bool IsWritebackEnabled() const { return m_writeback; }

    /// The cursor state, for inspection: -1 when no row is current.
    int GetCurrentRow() const { return m_currentRow; }
    /// Whether the current row holds changes not yet written back or dropped.
    bool IsPendingUpdate() const { return m_pendingUpdate; }
    /// The keys of the rows fetched so far, owned by the grid table.
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
