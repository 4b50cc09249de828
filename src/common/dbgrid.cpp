#include <climits>

#include "vq/app.h"
#include "vq/dbgridtable.h"
#include "vq/log.h"

namespace {

// Hands the library's build text to the toolkit once, at load.
[[maybe_unused]] const bool s_buildChecked =
    vqAppConsole::CheckBuildOptions(VQ_BUILD_OPTIONS_SIGNATURE, vqT("vqDbGrid"));

bool IsIntegerCode(SWORD code) {
    return code == SQL_C_LONG || code == SQL_C_SHORT || code == SQL_C_SSHORT ||
           code == SQL_C_SLONG || code == SQL_C_USHORT || code == SQL_C_ULONG;
}

bool IsFloatCode(SWORD code) { return code == SQL_C_FLOAT || code == SQL_C_DOUBLE; }

bool IsDateCode(SWORD code) {
    return code == SQL_C_DATE || code == SQL_C_TIME || code == SQL_C_TIMESTAMP;
}

// Whether a value of this type code can be read or written as the grid type typeName
// (after "string", which every column answers yes to).
bool Compatible(const vqString& typeName, SWORD code) {
    if (typeName.Cmp(vqT("datetime")) == 0) return IsDateCode(code);
    if (typeName.Cmp(vqT("long")) == 0) return IsIntegerCode(code);
    if (typeName.Cmp(vqT("double")) == 0) return IsIntegerCode(code) || IsFloatCode(code);
    return false;
}

}  // namespace

// ---------------------------------------------------------------- column layout

vqDbGridColInfoBase::vqDbGridColInfoBase(int dbColumn, vqString typeName, vqString title)
    : m_dbColumn(dbColumn), m_typeName(typeName), m_title(title) {}

vqDbGridColInfo::vqDbGridColInfo(int dbColumn, vqString typeName, vqString title,
                                 vqDbGridColInfo* next)
    : m_record(dbColumn, typeName, title), m_nextColumn(next) {}

vqDbGridColInfo::vqDbGridColInfo(const vqDbGridColInfo& other)
    : m_record(other.m_record), m_nextColumn(nullptr) {
    if (other.m_nextColumn) m_nextColumn = new vqDbGridColInfo(*other.m_nextColumn);
}

vqDbGridColInfo& vqDbGridColInfo::operator=(const vqDbGridColInfo& other) {
    if (this == &other) return *this;
    vqDbGridColInfo* copy = other.m_nextColumn ? new vqDbGridColInfo(*other.m_nextColumn) : nullptr;
    delete m_nextColumn;
    m_record = other.m_record;
    m_nextColumn = copy;
    return *this;
}

vqDbGridColInfo::~vqDbGridColInfo() { delete m_nextColumn; }

void vqDbGridColInfo::AddColInfo(int dbColumn, vqString typeName, vqString title) {
    GetLast()->m_nextColumn = new vqDbGridColInfo(dbColumn, typeName, title, nullptr);
}

int vqDbGridColInfo::Length() {
    int length = 1;
    for (vqDbGridColInfo* node = m_nextColumn; node; node = node->m_nextColumn) ++length;
    return length;
}

vqDbGridColInfo* vqDbGridColInfo::GetLast() {
    vqDbGridColInfo* node = this;
    while (node->m_nextColumn) node = node->m_nextColumn;
    return node;
}

// ---------------------------------------------------------------- row key array

keyarray::keyarray(const keyarray& other) : vqArrayPtrVoid() { DoCopy(other); }

keyarray::~keyarray() {
    DoEmpty();
    vqArrayPtrVoid::Clear();
}

keyarray& keyarray::operator=(const keyarray& other) {
    if (this == &other) return *this;
    DoEmpty();
    vqArrayPtrVoid::Clear();
    DoCopy(other);
    return *this;
}

void keyarray::Alloc(size_t n) {
    if (n > m_nSize) vqArrayPtrVoid::Alloc(n);
}

void keyarray::Add(const GenericKey& key, size_t n) { Insert(key, m_nCount, n); }

void keyarray::Insert(const GenericKey& key, size_t index, size_t n) {
    if (n == 0) return;
    vqArrayPtrVoid::Insert(new GenericKey(key), index, n);
    for (size_t i = 1; i < n; ++i) m_pItems[index + i] = new GenericKey(key);
}

void keyarray::RemoveAt(size_t index, size_t n) {
    if (index >= m_nCount) return;
    for (size_t i = index; i < index + n && i < m_nCount; ++i)
        delete static_cast<GenericKey*>(m_pItems[i]);
    vqArrayPtrVoid::RemoveAt(index, n);
}

GenericKey* keyarray::Detach(size_t index) {
    GenericKey* key = static_cast<GenericKey*>(m_pItems[index]);
    vqArrayPtrVoid::RemoveAt(index, 1);
    return key;
}

void keyarray::Empty() {
    DoEmpty();
    vqArrayPtrVoid::Clear();
}

void keyarray::Clear() {
    DoEmpty();
    vqArrayPtrVoid::Clear();
}

void keyarray::Sort(int (*compare)(GenericKey** first, GenericKey** second)) {
    vqArrayPtrVoid::Sort(reinterpret_cast<CMPFUNC>(compare));
}

int keyarray::Index(const GenericKey& key, bool fromEnd) const {
    return vqArrayPtrVoid::Index(&key, fromEnd);
}

void keyarray::DoEmpty() {
    for (size_t i = 0; i < m_nCount; ++i) delete static_cast<GenericKey*>(m_pItems[i]);
}

void keyarray::DoCopy(const keyarray& other) {
    Alloc(m_nCount + other.m_nCount);
    for (size_t i = 0; i < other.m_nCount; ++i) Add(other[i], 1);
}

// ---------------------------------------------------------------- grid row keys

GenericKey vqDbGridRowKeys::Item(size_t index) const {
    auto apart = m_apart.find(index);
    if (apart != m_apart.end()) return apart->second;
    return GenericKey(Bytes(index), m_width);
}

size_t vqDbGridRowKeys::GetBlkSize(size_t index) const {
    auto apart = m_apart.find(index);
    return apart != m_apart.end() ? apart->second.GetBlkSize() : m_width;
}

bool vqDbGridRowKeys::Matches(size_t index, const GenericKey& key) const {
    auto apart = m_apart.find(index);
    if (apart != m_apart.end()) return apart->second == key;
    return key.GetBlkSize() == m_width &&
           (m_width == 0 || memcmp(Bytes(index), key.GetBlk(), m_width) == 0);
}

void vqDbGridRowKeys::Add(const GenericKey& key) {
    if (key.GetBlkSize() == m_width && m_width) {
        const unsigned char* bytes = static_cast<const unsigned char*>(key.GetBlk());
        m_bytes.insert(m_bytes.end(), bytes, bytes + m_width);
        ++m_count;
        return;
    }
    // The first key that is not empty sets the size; the empty ones before it go apart.
    if (m_width == 0 && key.GetBlkSize() != 0) {
        for (size_t i = 0; i < m_count; ++i) m_apart.emplace(i, GenericKey());
        m_width = key.GetBlkSize();
        m_bytes.assign(m_count * m_width, 0);
    }
    m_bytes.resize(m_bytes.size() + m_width);
    ++m_count;
    Set(m_count - 1, key);
}

void vqDbGridRowKeys::Set(size_t index, const GenericKey& key) {
    if (key.GetBlkSize() != m_width) {
        m_apart[index] = key;
        return;
    }
    m_apart.erase(index);
    if (m_width) memcpy(m_bytes.data() + index * m_width, key.GetBlk(), m_width);
}

void vqDbGridRowKeys::Clear() {
    m_count = m_width = 0;
    std::vector<unsigned char>().swap(m_bytes);
    m_apart.clear();
}

size_t vqDbGridRowKeys::GetHeapSize() const {
    // A map node holds the slot number and the key beside the tree's own links.
    const size_t node = 4 * sizeof(void*) + sizeof(size_t) + sizeof(GenericKey);
    size_t heap = m_bytes.capacity() + m_apart.size() * node;
    for (const auto& apart : m_apart)
        if (apart.second.GetBlkSize() > GenericKey::kInlineSize) heap += apart.second.GetBlkSize();
    return heap;
}

// ---------------------------------------------------------------- attribute provider

vqDbGridCellAttrProvider::vqDbGridCellAttrProvider()
    : m_dbTable(nullptr), m_colRecords(nullptr), m_numRecords(-1) {}

vqDbGridCellAttrProvider::vqDbGridCellAttrProvider(vqDbTable* table,
                                                   vqDbGridColInfoBase* colRecords, int numRecords)
    : m_dbTable(table), m_colRecords(colRecords), m_numRecords(numRecords) {}

vqDbGridCellAttrProvider::~vqDbGridCellAttrProvider() {}

void vqDbGridCellAttrProvider::AssignDbTable(vqDbTable* table) { m_dbTable = table; }

vqGridCellAttr* vqDbGridCellAttrProvider::GetAttr(int row, int col,
                                                  vqGridCellAttr::vqAttrKind kind) const {
    vqGridCellAttr* attr = vqGridCellAttrProvider::GetAttr(row, col, kind);
    if (!m_dbTable || !m_colRecords || col < 0 || (m_numRecords >= 0 && col >= m_numRecords))
        return attr;
    int dbcol = m_colRecords[col].m_dbColumn;
    if (dbcol < 0 || dbcol >= m_dbTable->GetNumberOfColumns()) return attr;
    if (m_dbTable->GetColDefs()[dbcol].Updateable) return attr;

    // Installs a new read-only attribute for the whole column and hands out a reference.
    auto newColumnAttr = [&]() {
        vqGridCellAttr* fresh = new vqGridCellAttr;
        fresh->IncRef();
        const_cast<vqDbGridCellAttrProvider*>(this)->SetColAttr(fresh, col);
        fresh->SetReadOnly();
        return fresh;
    };
    // A read-only copy merged from attr, so the attribute that attr names stays as it was.
    auto mergedCopy = [&]() {
        vqGridCellAttr* merged = new vqGridCellAttr;
        merged->SetKind(vqGridCellAttr::Merged);
        merged->MergeWith(attr);
        attr->DecRef();
        merged->SetReadOnly();
        return merged;
    };
    if (kind == vqGridCellAttr::Any) {
        if (!attr) return newColumnAttr();
        switch (attr->GetKind()) {
            case vqGridCellAttr::Default:
            case vqGridCellAttr::Cell:
            case vqGridCellAttr::Row:  // a row attribute serves the updatable cells too
            case vqGridCellAttr::Col:
                return mergedCopy();
            default:
                attr->SetReadOnly();
                return attr;
        }
    }
    if (kind == vqGridCellAttr::Col) {
        if (!attr) return newColumnAttr();
        attr->SetReadOnly();
        return attr;
    }
    return attr;
}

// ---------------------------------------------------------------- grid table

vqDbGridTableBase::vqDbGridTableBase(vqDbTable* table, vqDbGridColInfo* columns, int rowCount,
                                     bool takeOwnership)
    : m_dbTable(table),
      m_ownsDbTable(takeOwnership),
      m_numRows(0),
      m_numCols(0),
      m_currentRow(-1),
      m_colRecords(nullptr),
      m_pendingUpdate(false),
      m_writeback(false) {
    ResetCursor();
    if (rowCount == -1)
        m_numRows = table ? static_cast<int>(table->Count(vqT("*"))) : 0;
    else
        m_numRows = rowCount;
    if (columns) {
        m_numCols = columns->Length();
        m_colRecords = new vqDbGridColInfoBase[m_numCols];
        vqDbGridColInfo* node = columns;
        for (int i = 0; i < m_numCols && node; ++i, node = node->m_nextColumn) {
            m_colRecords[i].m_dbColumn = node->m_record.m_dbColumn;
            m_colRecords[i].m_typeName = node->m_record.m_typeName;
            m_colRecords[i].m_title = node->m_record.m_title;
        }
    }
}

vqDbGridTableBase::~vqDbGridTableBase() {
    if (vqDbGridCellAttrProvider* provider =
            dynamic_cast<vqDbGridCellAttrProvider*>(GetAttrProvider()))
        provider->AssignDbTable(nullptr);
    delete[] m_colRecords;
    m_colRecords = nullptr;
    Writeback();
    if (m_ownsDbTable && m_dbTable) delete m_dbTable;
}

int vqDbGridTableBase::GetNumberRows() {
    vqLogDebug(vqT(" GetNumberRows() = %i"), m_numRows);
    return m_numRows;
}

int vqDbGridTableBase::GetNumberCols() {
    vqLogDebug(vqT(" GetNumberCols() = %i"), m_numCols);
    return m_numCols;
}

vqString vqDbGridTableBase::GetColLabelValue(int col) {
    if (col >= 0 && col < GetNumberCols()) return m_colRecords[col].m_title;
    return vqString();
}

vqString vqDbGridTableBase::GetTypeName(int, int col) {
    if (col < 0 || col >= GetNumberCols()) return vqString();
    const vqDbGridColInfoBase& record = m_colRecords[col];
    if (record.m_typeName.Cmp(vqT("dbauto")) != 0) return record.m_typeName;
    int dbcol = record.m_dbColumn;
    if (!m_dbTable || dbcol < 0 || dbcol >= m_dbTable->GetNumberOfColumns()) return vqT("string");
    SWORD code = ColType(dbcol);
    if (IsIntegerCode(code)) return vqT("long");
    if (IsFloatCode(code)) return vqT("double");
    if (IsDateCode(code)) return vqT("datetime");
    return vqT("string");
}

bool vqDbGridTableBase::CanHaveAttributes() {
    if (!GetAttrProvider())
        SetAttrProvider(new vqDbGridCellAttrProvider(m_dbTable, m_colRecords, m_numCols));
    return true;
}

bool vqDbGridTableBase::AssignDbTable(vqDbTable* table, int rowCount, bool takeOwnership) {
    vqGrid* grid = GetView();
    if (grid) {
        grid->BeginBatch();
        grid->ClearSelection();
        if (grid->IsCellEditControlEnabled()) grid->EnableCellEditControl(false);
        vqGridTableMessage msg(this, vqGRIDTABLE_NOTIFY_ROWS_DELETED, 0, m_numRows);
        grid->ProcessTableMessage(msg);
    }
    Writeback();
    // Re-binding to the table already bound must not delete it under the new binding.
    if (m_ownsDbTable && m_dbTable && m_dbTable != table) delete m_dbTable;
    m_rowKeys.Clear();
    m_dbTable = table;
    ResetCursor();
    if (vqDbGridCellAttrProvider* provider =
            dynamic_cast<vqDbGridCellAttrProvider*>(GetAttrProvider()))
        provider->AssignDbTable(table);
    if (rowCount == -1)
        m_numRows = table ? static_cast<int>(table->Count(vqT("*"))) : 0;
    else
        m_numRows = rowCount;
    m_currentRow = -1;
    if (grid) {
        vqGridTableMessage msg(this, vqGRIDTABLE_NOTIFY_ROWS_APPENDED, m_numRows, -1);
        grid->ProcessTableMessage(msg);
        grid->EndBatch();
    }
    m_ownsDbTable = takeOwnership;
    m_pendingUpdate = false;
    return true;
}

void vqDbGridTableBase::ResetCursor() {
    m_currentRow = -1;
    m_rowWritable = false;
    m_changed.assign(m_dbTable ? m_dbTable->GetNumberOfColumns() : 0, false);
    m_rowsInResult = SIZE_MAX;
    m_cursorState = kCursorOk;
}

bool vqDbGridTableBase::Writeback() {
    if (!m_pendingUpdate) return true;
    if (!m_writeback || !m_dbTable) {
        vqLogDebug(vqT("\trow key unknown"));
        vqLogDebug(vqT("WARNING : Row writeback not implemented "));
        return true;
    }
    int row = m_currentRow;
    bool written = false;
    if (row < 0 || static_cast<size_t>(row) >= m_rowKeys.GetCount() || !m_rowWritable) {
        vqLogError(vqT("Writeback: row %i has no key to write it by; its changes are dropped"),
                   row);
    } else {
        std::vector<unsigned short> columns;
        for (size_t col = 0; col < m_changed.size(); ++col)
            if (m_changed[col]) columns.push_back(static_cast<unsigned short>(col));
        vqString name = vqString::Format(vqT("Row %i"), row);
        written =
            m_dbTable->UpdateOnKey(m_rowKeys.Item(static_cast<size_t>(row)), columns, name.c_str());
        if (!written && m_dbTable->GetUpdateResult() == vqDbTable::kUpdateRowGone)
            m_rowKeys.Set(static_cast<size_t>(row), GenericKey());
    }
    // Either way the changes are done with: a refused one is never tried again, and the
    // row is read anew, so that it shows what is stored.
    m_changed.assign(m_changed.size(), false);
    m_pendingUpdate = false;
    if (!written) {
        m_dbTable->ClearMemberVars(true);
        m_currentRow = -1;
        m_rowWritable = false;
    }
    return written;
}

bool vqDbGridTableBase::UpdateRow(int row) const {
    if (row == m_currentRow) return const_cast<vqDbGridTableBase*>(this)->Writeback();
    return true;
}

void vqDbGridTableBase::ValidateRow(int row) {
    vqLogDebug(vqT("ValidateRow(%i) currently on row (%i). Array count = %lu"), row, m_currentRow,
               static_cast<unsigned long>(m_rowKeys.GetCount()));
    if (!m_dbTable) {
        vqLogError(vqT("ValidateRow(%i): the grid table has no database table"), row);
        return;
    }
    if (row == m_currentRow) return;
    Writeback();
    if (m_pendingUpdate) {
        // Without writeback, leaving the row drops its changes.
        m_changed.assign(m_changed.size(), false);
        m_pendingUpdate = false;
    }
    if (row == m_currentRow) return;  // a refused writeback left no row current
    if (row < 0)
        NoCurrentRow();
    else if (static_cast<size_t>(row) >= m_rowKeys.GetCount())
        FetchUpTo(row);
    else
        RevisitRow(row);
}

void vqDbGridTableBase::NoCurrentRow() {
    m_dbTable->ClearMemberVars(true);
    m_currentRow = -1;
    m_rowWritable = false;
}

// Fetches rows in order until row, keeping each one's key; stops at the last row.
void vqDbGridTableBase::FetchUpTo(int row) {
    vqLogDebug(vqT("\trow key unknown"));
    if (static_cast<size_t>(row) >= m_rowsInResult) {
        vqLogDebug(vqT("\tpast the last row (%lu rows)"),
                   static_cast<unsigned long>(m_rowsInResult));
        NoCurrentRow();
        return;
    }
    if (m_cursorState == kCursorLost || (m_cursorState == kCursorFailed && !RestartCursor())) {
        NoCurrentRow();
        return;
    }
    m_dbTable->SetAccessMode(0);
    for (size_t n = m_rowKeys.GetCount(); n <= static_cast<size_t>(row); ++n) {
        vqLogDebug(vqT("Fetching row %i.."), static_cast<int>(n));
        bool success = m_dbTable->getRec(SQL_FETCH_NEXT);
        vqLogDebug(vqT(" ...success=(%i)"), success ? 1 : 0);
        if (!success) {
            if (m_dbTable->IsAtEnd()) {
                m_rowsInResult = n;
                vqLogDebug(vqT("\tpast the last row (%lu rows)"), static_cast<unsigned long>(n));
            } else {
                // The table logged the fetch's error; the cursor starts again next time.
                m_cursorState = kCursorFailed;
            }
            NoCurrentRow();
            return;
        }
        m_rowKeys.Add(m_dbTable->GetRowKey());
    }
    m_currentRow = row;
    m_rowWritable = m_rowKeys.GetBlkSize(row) > 0 && m_dbTable->AreKeysExact();
}

// Loads a row fetched before by a lookup on its key.
void vqDbGridTableBase::RevisitRow(int row) {
    vqLogDebug(vqT("\trow key known centering data"));
    if (m_rowKeys.GetBlkSize(row) == 0) {
        vqLogDebug(vqT("\trow %i has no key to find it by"), row);
        NoCurrentRow();
        return;
    }
    GenericKey key = m_rowKeys.Item(row);
    m_dbTable->SetAccessMode(1);
    m_dbTable->ClearMemberVars(false);
    m_dbTable->SetRowKey(key);
    if (!m_dbTable->QueryOnKeyFields(false, false)) {
        vqDbLogExtendedErrorMsg(vqT("ODBC error during Query()\n\n"), m_dbTable->GetDb(), __FILE__,
                                __LINE__);
        NoCurrentRow();
        return;
    }
    if (!m_dbTable->getRec(SQL_FETCH_NEXT)) {
        if (m_dbTable->IsAtEnd()) {
            vqLogError(vqT("Row %i is no longer in table \"%s\""), row,
                       m_dbTable->GetTableName().c_str());
            m_rowKeys.Set(row, GenericKey());
        } else if (m_dbTable->LookupFoundOther()) {
            // The table logged what it found; the key cannot tell this row apart.
            m_rowKeys.Set(row, GenericKey());
        }
        NoCurrentRow();
        return;
    }
    m_currentRow = row;
    m_rowWritable = m_dbTable->AreKeysExact();
}

// Runs the query again after a failed fetch and skips the rows already known, checking
// that they come back in the same order.
bool vqDbGridTableBase::RestartCursor() {
    vqLogDebug(vqT("\tstarting the row cursor again"));
    if (!m_dbTable->Query()) return false;
    m_dbTable->SetAccessMode(0);
    for (size_t n = 0; n < m_rowKeys.GetCount(); ++n) {
        if (!m_dbTable->getRec(SQL_FETCH_NEXT)) {
            if (!m_dbTable->IsAtEnd()) return false;
            break;
        }
        if (m_rowKeys.Matches(n, m_dbTable->GetRowKey())) continue;
        vqLogError(vqT("The rows of table \"%s\" changed since they were read: rows from %lu on ")
                       vqT("cannot be shown"),
                   m_dbTable->GetTableName().c_str(),
                   static_cast<unsigned long>(m_rowKeys.GetCount()));
        m_cursorState = kCursorLost;
        return false;
    }
    m_cursorState = kCursorOk;
    return true;
}

bool vqDbGridTableBase::Reach(int row) {
    if (row < 0) return false;  // no row to move to: the cursor stays where it is
    ValidateRow(row);
    return row == m_currentRow;
}

bool vqDbGridTableBase::CanGetValueAs(int row, int col, const vqString& typeName) {
    vqLogDebug(vqT("CanGetValueAs() on %i,%i"), row, col);
    bool isString = typeName.Cmp(vqT("string")) == 0;
    int dbcol = DbColumn(col);
    if (dbcol < 0) return isString;
    if (!Reach(row)) return isString;
    if (isString) return true;
    if (m_dbTable->IsColNull(static_cast<unsigned short>(dbcol))) return false;
    return Compatible(typeName, ColType(dbcol));
}

bool vqDbGridTableBase::CanSetValueAs(int, int col, const vqString& typeName) {
    if (typeName.Cmp(vqT("string")) == 0) return true;
    int dbcol = DbColumn(col);
    if (dbcol < 0 || !m_dbTable->GetColDefs()[dbcol].Updateable) return false;
    return Compatible(typeName, ColType(dbcol));
}

vqString vqDbGridTableBase::GetValue(int row, int col) {
    vqLogDebug(vqT("GetValue() on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0) return vqString();
    vqString text =
        Reach(row) ? m_dbTable->GetColumnText(static_cast<unsigned short>(dbcol)) : vqString();
    vqLogDebug(vqT("\tReturning \"%s\"\n"), text.c_str());
    return text;
}

// Stores an edit into the current row's buffer, or refuses it (logged) when the row could
// not be read, cannot be written back, or the value does not fit the column.
void vqDbGridTableBase::StoreValue(int row, int col, const vqVariant& value,
                                   const vqChar* operation) {
    int dbcol = DbColumn(col);
    if (dbcol < 0) return;
    const vqString& table = m_dbTable->GetTableName();
    if (!Reach(row)) {
        vqLogError(vqT("%s on %i,%i refused: row %i of table \"%s\" could not be read"), operation,
                   row, col, row, table.c_str());
        return;
    }
    const vqDbColDef& def = m_dbTable->GetColDefs()[dbcol];
    if (m_writeback && !m_rowWritable) {
        vqLogError(vqT("%s on %i,%i refused: row %i of table \"%s\" has no key that finds it ")
                       vqT("exactly"),
                   operation, row, col, row, table.c_str());
        return;
    }
    if (m_writeback && !def.CanUpdate()) {
        vqLogError(vqT("%s on %i,%i refused: column \"%s\" of table \"%s\" is not updatable"),
                   operation, row, col, def.ColName.c_str(), table.c_str());
        return;
    }
    if (!m_dbTable->SetColumnValue(static_cast<unsigned short>(dbcol), value)) return;
    m_changed[dbcol] = true;
    m_pendingUpdate = true;
}

void vqDbGridTableBase::SetValue(int row, int col, const vqString& value) {
    vqLogDebug(vqT("SetValue() on %i,%i"), row, col);
    StoreValue(row, col, vqVariant(value, vqString()), vqT("SetValue()"));
}

void vqDbGridTableBase::SetValueAsLong(int row, int col, long value) {
    vqLogDebug(vqT("SetValueAsLong() on %i,%i"), row, col);
    StoreValue(row, col, vqVariant(value, vqString()), vqT("SetValueAsLong()"));
}

void vqDbGridTableBase::SetValueAsDouble(int row, int col, double value) {
    vqLogDebug(vqT("SetValueAsDouble() on %i,%i"), row, col);
    StoreValue(row, col, vqVariant(value, vqString()), vqT("SetValueAsDouble()"));
}

void vqDbGridTableBase::SetValueAsBool(int row, int col, bool value) {
    vqLogDebug(vqT("SetValueAsBool() on %i,%i"), row, col);
    StoreValue(row, col, vqVariant(value, vqString()), vqT("SetValueAsBool()"));
}

long vqDbGridTableBase::GetValueAsLong(int row, int col) {
    int dbcol = DbColumn(col);
    if (dbcol < 0 || !Reach(row)) return 0;
    if (!IsIntegerCode(ColType(dbcol))) return 0;
    vqVariant value = m_dbTable->GetColumnValue(static_cast<unsigned short>(dbcol));
#if LONG_MAX < LLONG_MAX
    // NOTE: a long has 32 bits on Windows: a value it cannot hold reads as 0 there.
    if (value.GetKind() != vqVariant::Long) {
        double d = value.GetDouble();
        if (!(d >= static_cast<double>(LONG_MIN) && d <= static_cast<double>(LONG_MAX))) return 0;
    }
#endif
    return value.GetLong();
}

double vqDbGridTableBase::GetValueAsDouble(int row, int col) {
    vqLogDebug(vqT("GetValueAsDouble() on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0 || !Reach(row)) return 0.0;
    SWORD code = ColType(dbcol);
    if (!IsIntegerCode(code) && !IsFloatCode(code)) return 0.0;
    return m_dbTable->GetColumnValue(static_cast<unsigned short>(dbcol)).GetDouble();
}

bool vqDbGridTableBase::GetValueAsBool(int row, int col) {
    vqLogDebug(vqT("GetValueAsBool() on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0 || !Reach(row)) return false;
    if (!IsIntegerCode(ColType(dbcol))) return false;
    return m_dbTable->GetColumnValue(static_cast<unsigned short>(dbcol)).GetBool();
}

void* vqDbGridTableBase::GetValueAsCustom(int row, int col, const vqString& typeName) {
    vqLogDebug(vqT("GetValueAsCustom() on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0 || !Reach(row)) return nullptr;
    if (m_dbTable->IsColNull(static_cast<unsigned short>(dbcol)) ||
        typeName.Cmp(vqT("datetime")) != 0)
        return nullptr;
    if (!IsDateCode(ColType(dbcol))) return nullptr;
    return new vqDateTime(
        m_dbTable->GetColumnValue(static_cast<unsigned short>(dbcol)).GetDateTime());
}

void vqDbGridTableBase::SetValueAsCustom(int row, int col, const vqString& typeName, void* value) {
    vqLogDebug(vqT("SetValueAsCustom() on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0) return;
    // Anything but a date-time for a date or time column is ignored; the row still becomes current.
    if (typeName.Cmp(vqT("datetime")) != 0 || !IsDateCode(ColType(dbcol)) || !value) {
        Reach(row);
        return;
    }
    StoreValue(row, col, vqVariant(value, vqString()), vqT("SetValueAsCustom()"));
}

bool vqDbGridTableBase::IsEmptyCell(int row, int col) {
    vqLogDebug(vqT("IsEmtpyCell on %i,%i"), row, col);
    int dbcol = DbColumn(col);
    if (dbcol < 0) return false;
    if (!Reach(row)) return true;
    return m_dbTable->IsColNull(static_cast<unsigned short>(dbcol));
}
