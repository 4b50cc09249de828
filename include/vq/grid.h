// The grid: cell attributes and their provider, the grid table base that feeds a
// grid, the messages a table sends to its grid, and vqGrid, a headless grid view
// that asks its table for shape, values and attributes and records the messages
// it receives.
#ifndef VQ_GRID_H
#define VQ_GRID_H

#include <map>
#include <utility>
#include <vector>

#include "vq/gdi.h"
#include "vq/object.h"

#ifdef VQMAKING_GRID
#define VQ_GRID_API VQ_EXPORT
#else
#define VQ_GRID_API VQ_IMPORT
#endif

// Notifications a grid table sends to its grid (vqGridTableMessage ids).
enum {
    vqGRIDTABLE_REQUEST_VIEW_GET_VALUES = 2000,
    vqGRIDTABLE_REQUEST_VIEW_SEND_VALUES = 2001,
    vqGRIDTABLE_NOTIFY_ROWS_INSERTED = 2002,
    vqGRIDTABLE_NOTIFY_ROWS_APPENDED = 2003,
    vqGRIDTABLE_NOTIFY_ROWS_DELETED = 2004,
    vqGRIDTABLE_NOTIFY_COLS_INSERTED = 2005,
    vqGRIDTABLE_NOTIFY_COLS_APPENDED = 2006,
    vqGRIDTABLE_NOTIFY_COLS_DELETED = 2007
};

// Data an application hangs on an object; deleted by the container that holds it.
class VQ_GRID_API vqClientData {
public:
    virtual ~vqClientData();
};

// Holds either an owned vqClientData object or an untyped pointer (not owned).
class VQ_GRID_API vqClientDataContainer {
public:
    vqClientDataContainer() : m_clientObject(nullptr), m_clientData(nullptr) {}
    virtual ~vqClientDataContainer();

    void SetClientObject(vqClientData* data) { DoSetClientObject(data); }
    vqClientData* GetClientObject() const { return DoGetClientObject(); }
    void SetClientData(void* data) { DoSetClientData(data); }
    void* GetClientData() const { return DoGetClientData(); }

protected:
    virtual void DoSetClientObject(vqClientData* data);
    virtual vqClientData* DoGetClientObject() const { return m_clientObject; }
    virtual void DoSetClientData(void* data) { m_clientData = data; }
    virtual void* DoGetClientData() const { return m_clientData; }

private:
    vqClientDataContainer(const vqClientDataContainer&) = delete;
    vqClientDataContainer& operator=(const vqClientDataContainer&) = delete;
    vqClientData* m_clientObject;
    void* m_clientData;
};

// A cell's look and read mode. Reference counted: a new attribute has one
// reference; DecRef on the last one deletes it.
class VQ_GRID_API vqGridCellAttr {
public:
    enum vqAttrKind { Any = 0, Default = 1, Cell = 2, Row = 3, Col = 4, Merged = 5 };

    vqGridCellAttr();

    void IncRef() { ++m_refCount; }
    void DecRef() {
        if (--m_refCount == 0) delete this;
    }
    int GetRefCount() const { return m_refCount; }

    void SetTextColour(const vqColour& colour) { m_textColour = colour; }
    void SetBackgroundColour(const vqColour& colour) { m_backColour = colour; }
    void SetAlignment(int hAlign, int vAlign) {
        m_hAlign = hAlign;
        m_vAlign = vAlign;
    }
    void SetReadOnly(bool readOnly = true) { m_readOnly = readOnly ? ReadOnly : ReadWrite; }
    void SetKind(vqAttrKind kind) { m_kind = kind; }

    bool HasTextColour() const { return m_textColour.Ok(); }
    bool HasBackgroundColour() const { return m_backColour.Ok(); }
    bool HasAlignment() const { return m_hAlign != -1 || m_vAlign != -1; }
    bool HasReadWriteMode() const { return m_readOnly != Unset; }
    const vqColour& GetTextColour() const { return m_textColour; }
    const vqColour& GetBackgroundColour() const { return m_backColour; }
    void GetAlignment(int* hAlign, int* vAlign) const;
    bool IsReadOnly() const { return m_readOnly == ReadOnly; }
    vqAttrKind GetKind() const { return m_kind; }

    // Takes every property that this attribute leaves unset from mergefrom.
    void MergeWith(vqGridCellAttr* mergefrom);

protected:
    virtual ~vqGridCellAttr();

private:
    vqGridCellAttr(const vqGridCellAttr&) = delete;
    vqGridCellAttr& operator=(const vqGridCellAttr&) = delete;
    enum ReadMode { Unset = -1, ReadWrite = 0, ReadOnly = 1 };

    int m_refCount;
    vqColour m_textColour, m_backColour;
    int m_hAlign, m_vAlign;
    ReadMode m_readOnly;
    vqAttrKind m_kind;
};

// Keeps attributes per cell, row and column. Each stored attribute holds one
// reference that the provider releases when the slot is replaced or it is destroyed.
class VQ_GRID_API vqGridCellAttrProvider : public vqClientDataContainer {
public:
    vqGridCellAttrProvider();
    ~vqGridCellAttrProvider() override;

    // The attribute of a cell for a kind; the caller gets a reference (DecRef it) or
    // null. Any: the single one that applies, or a new Merged attribute of the cell's,
    // row's and column's (in that order of precedence).
    virtual vqGridCellAttr* GetAttr(int row, int col, vqGridCellAttr::vqAttrKind kind) const;
    // Store attr (taking over the caller's reference; null removes the slot's attribute).
    virtual void SetAttr(vqGridCellAttr* attr, int row, int col);
    virtual void SetRowAttr(vqGridCellAttr* attr, int row);
    virtual void SetColAttr(vqGridCellAttr* attr, int col);

private:
    typedef std::map<std::pair<int, int>, vqGridCellAttr*> CellMap;
    typedef std::map<int, vqGridCellAttr*> LineMap;
    static void Store(LineMap& map, int key, vqGridCellAttr* attr);

    CellMap m_cells;
    LineMap m_rows, m_cols;
};

class vqGrid;
class vqGridTableBase;

// A notification from a table to its grid: id, and two numbers whose meaning the id gives
// (for rows appended: count, unused; for rows deleted or inserted: position, count).
class VQ_GRID_API vqGridTableMessage {
public:
    vqGridTableMessage(vqGridTableBase* table, int id, int comInt1 = -1, int comInt2 = -1)
        : m_table(table), m_id(id), m_comInt1(comInt1), m_comInt2(comInt2) {}
    vqGridTableBase* GetTableObject() const { return m_table; }
    int GetId() const { return m_id; }
    int GetCommandInt() const { return m_comInt1; }
    int GetCommandInt2() const { return m_comInt2; }

private:
    vqGridTableBase* m_table;
    int m_id, m_comInt1, m_comInt2;
};

// The data source of a grid. Subclasses override the value operations; the base
// answers for a table of strings. The base owns the attribute provider once set.
class VQ_GRID_API vqGridTableBase : public vqObject, public vqClientDataContainer {
    VQ_DECLARE_ABSTRACT_CLASS(vqGridTableBase)
public:
    vqGridTableBase();
    ~vqGridTableBase() override;

    virtual int GetNumberRows() = 0;
    virtual int GetNumberCols() = 0;
    virtual bool IsEmptyCell(int row, int col) = 0;
    virtual vqString GetValue(int row, int col) = 0;
    virtual void SetValue(int row, int col, const vqString& value) = 0;
    // "string" unless a subclass knows better.
    virtual vqString GetTypeName(int row, int col);
    virtual bool CanGetValueAs(int row, int col, const vqString& typeName);
    virtual bool CanSetValueAs(int row, int col, const vqString& typeName);
    virtual long GetValueAsLong(int row, int col);
    virtual double GetValueAsDouble(int row, int col);
    virtual bool GetValueAsBool(int row, int col);
    virtual void SetValueAsLong(int row, int col, long value);
    virtual void SetValueAsDouble(int row, int col, double value);
    virtual void SetValueAsBool(int row, int col, bool value);
    // A new object the caller deletes, or null.
    virtual void* GetValueAsCustom(int row, int col, const vqString& typeName);
    virtual void SetValueAsCustom(int row, int col, const vqString& typeName, void* value);

    virtual void SetView(vqGrid* grid) { m_view = grid; }
    virtual vqGrid* GetView() const { return m_view; }

    // Shape changes; the base table cannot change shape and answers false.
    virtual void Clear() {}
    virtual bool InsertRows(size_t pos = 0, size_t numRows = 1);
    virtual bool AppendRows(size_t numRows = 1);
    virtual bool DeleteRows(size_t pos = 0, size_t numRows = 1);
    virtual bool InsertCols(size_t pos = 0, size_t numCols = 1);
    virtual bool AppendCols(size_t numCols = 1);
    virtual bool DeleteCols(size_t pos = 0, size_t numCols = 1);

    // Row labels are 1, 2, 3...; column labels A, B, ..., Z, AA, AB...
    virtual vqString GetRowLabelValue(int row);
    virtual vqString GetColLabelValue(int col);
    virtual void SetRowLabelValue(int, const vqString&) {}
    virtual void SetColLabelValue(int, const vqString&) {}

    // Makes sure a provider exists (the base creates a plain one); true when attributes work.
    virtual bool CanHaveAttributes();
    virtual vqGridCellAttr* GetAttr(int row, int col, vqGridCellAttr::vqAttrKind kind);
    virtual void SetAttr(vqGridCellAttr* attr, int row, int col);
    virtual void SetRowAttr(vqGridCellAttr* attr, int row);
    virtual void SetColAttr(vqGridCellAttr* attr, int col);

    // Installs a provider (owned from now on), deleting the previous one.
    void SetAttrProvider(vqGridCellAttrProvider* provider);
    vqGridCellAttrProvider* GetAttrProvider() const { return m_attrProvider; }

private:
    vqGrid* m_view;
    vqGridCellAttrProvider* m_attrProvider;
};

// A grid view without a window: it keeps the table, the batch count, a selection
// and the edit-control state, and records every table message it processes.
class VQ_GRID_API vqGrid {
public:
    vqGrid();
    ~vqGrid();

    // Shows table (owned when takeOwnership); false when a table is already set.
    bool SetTable(vqGridTableBase* table, bool takeOwnership = false);
    vqGridTableBase* GetTable() const { return m_table; }

    int GetNumberRows() const { return m_numRows; }
    int GetNumberCols() const { return m_numCols; }
    vqString GetCellValue(int row, int col);
    vqString GetColLabelValue(int col);
    // True when the cell's attribute (from the table) says read-only.
    bool IsReadOnly(int row, int col);

    void BeginBatch() { ++m_batchCount; }
    // Closes one batch; the grid refreshes when the last one closes.
    void EndBatch();
    int GetBatchCount() const { return m_batchCount; }
    int GetRefreshCount() const { return m_refreshCount; }

    void SelectBlock(int topRow, int leftCol, int bottomRow, int rightCol);
    bool IsInSelection(int row, int col) const;
    bool IsSelection() const { return m_hasSelection; }
    void ClearSelection() { m_hasSelection = false; }

    void EnableCellEditControl(bool enable = true) { m_editing = enable; }
    bool IsCellEditControlEnabled() const { return m_editing; }

    // Applies a table's notification to the row and column counts and records it.
    bool ProcessTableMessage(vqGridTableMessage& msg);

    struct Message {
        int id, comInt1, comInt2;
    };
    const std::vector<Message>& GetMessages() const { return m_messages; }
    void ClearMessages() { m_messages.clear(); }

private:
    vqGrid(const vqGrid&) = delete;
    vqGrid& operator=(const vqGrid&) = delete;

    vqGridTableBase* m_table;
    bool m_ownTable;
    int m_numRows, m_numCols;
    int m_batchCount, m_refreshCount;
    bool m_hasSelection, m_editing;
    int m_selTop, m_selLeft, m_selBottom, m_selRight;
    std::vector<Message> m_messages;
};

#endif
