#include "vq/grid.h"

// ---------------------------------------------------------------- client data

vqClientData::~vqClientData() {}

vqClientDataContainer::~vqClientDataContainer() { delete m_clientObject; }

void vqClientDataContainer::DoSetClientObject(vqClientData* data) {
    if (data != m_clientObject) delete m_clientObject;
    m_clientObject = data;
}

// ---------------------------------------------------------------- attributes

vqGridCellAttr::vqGridCellAttr()
    : m_refCount(1), m_hAlign(-1), m_vAlign(-1), m_readOnly(Unset), m_kind(Cell) {}

vqGridCellAttr::~vqGridCellAttr() {}

void vqGridCellAttr::GetAlignment(int* hAlign, int* vAlign) const {
    if (hAlign) *hAlign = m_hAlign;
    if (vAlign) *vAlign = m_vAlign;
}

void vqGridCellAttr::MergeWith(vqGridCellAttr* mergefrom) {
    if (!mergefrom || mergefrom == this) return;
    if (!HasTextColour() && mergefrom->HasTextColour()) m_textColour = mergefrom->m_textColour;
    if (!HasBackgroundColour() && mergefrom->HasBackgroundColour())
        m_backColour = mergefrom->m_backColour;
    if (!HasAlignment() && mergefrom->HasAlignment()) {
        m_hAlign = mergefrom->m_hAlign;
        m_vAlign = mergefrom->m_vAlign;
    }
    if (!HasReadWriteMode() && mergefrom->HasReadWriteMode()) m_readOnly = mergefrom->m_readOnly;
}

vqGridCellAttrProvider::vqGridCellAttrProvider() {}

vqGridCellAttrProvider::~vqGridCellAttrProvider() {
    for (auto& entry : m_cells) entry.second->DecRef();
    for (auto& entry : m_rows) entry.second->DecRef();
    for (auto& entry : m_cols) entry.second->DecRef();
}

vqGridCellAttr* vqGridCellAttrProvider::GetAttr(int row, int col,
                                                vqGridCellAttr::vqAttrKind kind) const {
    vqGridCellAttr* cell = nullptr;
    vqGridCellAttr* rowAttr = nullptr;
    vqGridCellAttr* colAttr = nullptr;
    if (kind == vqGridCellAttr::Any || kind == vqGridCellAttr::Cell) {
        auto it = m_cells.find(std::make_pair(row, col));
        if (it != m_cells.end()) cell = it->second;
    }
    if (kind == vqGridCellAttr::Any || kind == vqGridCellAttr::Row) {
        auto it = m_rows.find(row);
        if (it != m_rows.end()) rowAttr = it->second;
    }
    if (kind == vqGridCellAttr::Any || kind == vqGridCellAttr::Col) {
        auto it = m_cols.find(col);
        if (it != m_cols.end()) colAttr = it->second;
    }
    int found = (cell != nullptr) + (rowAttr != nullptr) + (colAttr != nullptr);
    if (found == 0) return nullptr;
    if (found == 1) {
        vqGridCellAttr* attr = cell ? cell : rowAttr ? rowAttr : colAttr;
        attr->IncRef();
        return attr;
    }
    vqGridCellAttr* merged = new vqGridCellAttr;
    merged->SetKind(vqGridCellAttr::Merged);
    merged->MergeWith(cell);
    merged->MergeWith(rowAttr);
    merged->MergeWith(colAttr);
    return merged;
}

void vqGridCellAttrProvider::SetAttr(vqGridCellAttr* attr, int row, int col) {
    auto key = std::make_pair(row, col);
    auto it = m_cells.find(key);
    if (it != m_cells.end()) {
        if (it->second == attr) {
            attr->DecRef();  // the slot holds this attribute already, with its own reference
            return;
        }
        it->second->DecRef();
        m_cells.erase(it);
    }
    if (attr) {
        attr->SetKind(vqGridCellAttr::Cell);
        m_cells[key] = attr;
    }
}

void vqGridCellAttrProvider::Store(LineMap& map, int key, vqGridCellAttr* attr) {
    auto it = map.find(key);
    if (it != map.end()) {
        if (it->second == attr) {
            attr->DecRef();
            return;
        }
        it->second->DecRef();
        map.erase(it);
    }
    if (attr) map[key] = attr;
}

void vqGridCellAttrProvider::SetRowAttr(vqGridCellAttr* attr, int row) {
    if (attr) attr->SetKind(vqGridCellAttr::Row);
    Store(m_rows, row, attr);
}

void vqGridCellAttrProvider::SetColAttr(vqGridCellAttr* attr, int col) {
    if (attr) attr->SetKind(vqGridCellAttr::Col);
    Store(m_cols, col, attr);
}

// ---------------------------------------------------------------- table base

VQ_IMPLEMENT_ABSTRACT_CLASS(vqGridTableBase, vqObject)

vqGridTableBase::vqGridTableBase() : m_view(nullptr), m_attrProvider(nullptr) {}

vqGridTableBase::~vqGridTableBase() { delete m_attrProvider; }

vqString vqGridTableBase::GetTypeName(int, int) { return vqT("string"); }

bool vqGridTableBase::CanGetValueAs(int, int, const vqString& typeName) {
    return typeName.Cmp(vqT("string")) == 0;
}

bool vqGridTableBase::CanSetValueAs(int row, int col, const vqString& typeName) {
    return CanGetValueAs(row, col, typeName);
}

long vqGridTableBase::GetValueAsLong(int, int) { return 0; }
double vqGridTableBase::GetValueAsDouble(int, int) { return 0.0; }
bool vqGridTableBase::GetValueAsBool(int, int) { return false; }
void vqGridTableBase::SetValueAsLong(int, int, long) {}
void vqGridTableBase::SetValueAsDouble(int, int, double) {}
void vqGridTableBase::SetValueAsBool(int, int, bool) {}
void* vqGridTableBase::GetValueAsCustom(int, int, const vqString&) { return nullptr; }
void vqGridTableBase::SetValueAsCustom(int, int, const vqString&, void*) {}

bool vqGridTableBase::InsertRows(size_t, size_t) { return false; }
bool vqGridTableBase::AppendRows(size_t) { return false; }
bool vqGridTableBase::DeleteRows(size_t, size_t) { return false; }
bool vqGridTableBase::InsertCols(size_t, size_t) { return false; }
bool vqGridTableBase::AppendCols(size_t) { return false; }
bool vqGridTableBase::DeleteCols(size_t, size_t) { return false; }

vqString vqGridTableBase::GetRowLabelValue(int row) { return vqString::Format(vqT("%d"), row + 1); }

vqString vqGridTableBase::GetColLabelValue(int col) {
    vqString label;
    for (int n = col; n >= 0; n = n / 26 - 1)
        label = vqString(1, vqChar(vqT('A') + n % 26)) + label;
    return label;
}

bool vqGridTableBase::CanHaveAttributes() {
    if (!m_attrProvider) SetAttrProvider(new vqGridCellAttrProvider);
    return true;
}

vqGridCellAttr* vqGridTableBase::GetAttr(int row, int col, vqGridCellAttr::vqAttrKind kind) {
    return m_attrProvider ? m_attrProvider->GetAttr(row, col, kind) : nullptr;
}

void vqGridTableBase::SetAttr(vqGridCellAttr* attr, int row, int col) {
    if (m_attrProvider)
        m_attrProvider->SetAttr(attr, row, col);
    else if (attr)
        attr->DecRef();
}

void vqGridTableBase::SetRowAttr(vqGridCellAttr* attr, int row) {
    if (m_attrProvider)
        m_attrProvider->SetRowAttr(attr, row);
    else if (attr)
        attr->DecRef();
}

void vqGridTableBase::SetColAttr(vqGridCellAttr* attr, int col) {
    if (m_attrProvider)
        m_attrProvider->SetColAttr(attr, col);
    else if (attr)
        attr->DecRef();
}

void vqGridTableBase::SetAttrProvider(vqGridCellAttrProvider* provider) {
    if (provider == m_attrProvider) return;
    delete m_attrProvider;
    m_attrProvider = provider;
}

// ---------------------------------------------------------------- headless grid

vqGrid::vqGrid()
    : m_table(nullptr),
      m_ownTable(false),
      m_numRows(0),
      m_numCols(0),
      m_batchCount(0),
      m_refreshCount(0),
      m_hasSelection(false),
      m_editing(false),
      m_selTop(0),
      m_selLeft(0),
      m_selBottom(0),
      m_selRight(0) {}

vqGrid::~vqGrid() {
    if (m_table) m_table->SetView(nullptr);
    if (m_ownTable) delete m_table;
}

bool vqGrid::SetTable(vqGridTableBase* table, bool takeOwnership) {
    if (m_table || !table) return false;
    m_table = table;
    m_ownTable = takeOwnership;
    table->SetView(this);
    m_numRows = table->GetNumberRows();
    m_numCols = table->GetNumberCols();
    return true;
}

vqString vqGrid::GetCellValue(int row, int col) {
    if (!m_table || row < 0 || row >= m_numRows || col < 0 || col >= m_numCols) return vqString();
    return m_table->GetValue(row, col);
}

vqString vqGrid::GetColLabelValue(int col) {
    return m_table ? m_table->GetColLabelValue(col) : vqString();
}

bool vqGrid::IsReadOnly(int row, int col) {
    if (!m_table || !m_table->CanHaveAttributes()) return false;
    vqGridCellAttr* attr = m_table->GetAttr(row, col, vqGridCellAttr::Any);
    bool readOnly = attr && attr->IsReadOnly();
    if (attr) attr->DecRef();
    return readOnly;
}

void vqGrid::EndBatch() {
    if (m_batchCount > 0 && --m_batchCount == 0) ++m_refreshCount;
}

void vqGrid::SelectBlock(int topRow, int leftCol, int bottomRow, int rightCol) {
    m_hasSelection = true;
    m_selTop = topRow < bottomRow ? topRow : bottomRow;
    m_selBottom = topRow < bottomRow ? bottomRow : topRow;
    m_selLeft = leftCol < rightCol ? leftCol : rightCol;
    m_selRight = leftCol < rightCol ? rightCol : leftCol;
}

bool vqGrid::IsInSelection(int row, int col) const {
    return m_hasSelection && row >= m_selTop && row <= m_selBottom && col >= m_selLeft &&
           col <= m_selRight;
}

bool vqGrid::ProcessTableMessage(vqGridTableMessage& msg) {
    if (msg.GetTableObject() != m_table) return false;
    m_messages.push_back({msg.GetId(), msg.GetCommandInt(), msg.GetCommandInt2()});
    switch (msg.GetId()) {
        case vqGRIDTABLE_NOTIFY_ROWS_INSERTED:
            m_numRows += msg.GetCommandInt2();
            break;
        case vqGRIDTABLE_NOTIFY_ROWS_APPENDED:
            m_numRows += msg.GetCommandInt();
            break;
        case vqGRIDTABLE_NOTIFY_ROWS_DELETED:
            m_numRows -= msg.GetCommandInt2();
            break;
        case vqGRIDTABLE_NOTIFY_COLS_INSERTED:
            m_numCols += msg.GetCommandInt2();
            break;
        case vqGRIDTABLE_NOTIFY_COLS_APPENDED:
            m_numCols += msg.GetCommandInt();
            break;
        case vqGRIDTABLE_NOTIFY_COLS_DELETED:
            m_numCols -= msg.GetCommandInt2();
            break;
        default:
            return true;
    }
    if (m_numRows < 0) m_numRows = 0;
    if (m_numCols < 0) m_numCols = 0;
    if (m_batchCount == 0) ++m_refreshCount;
    return true;
}
