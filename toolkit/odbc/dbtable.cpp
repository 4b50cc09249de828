#include <algorithm>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <typeinfo>

#include "db_profile.h"
#include "vq/db.h"
#include "vq/log.h"

namespace {

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

bool IsDate(SWORD t) { return t == SQL_C_DATE || t == SQL_C_TYPE_DATE; }
bool IsTime(SWORD t) { return t == SQL_C_TIME || t == SQL_C_TYPE_TIME; }
bool IsStamp(SWORD t) { return t == SQL_C_TIMESTAMP || t == SQL_C_TYPE_TIMESTAMP; }

// Room for a date or time key column's text as the database holds it.
const size_t kDateTextSize = 48;
// Rows of a batched scan's first batch: few, so that the first rows come at once.
const size_t kFirstScanBatch = 32;

size_t FixedSize(SWORD cType) {
    switch (cType) {
        case SQL_C_LONG:
        case SQL_C_SLONG:
        case SQL_C_ULONG:
            return sizeof(SQLINTEGER);
        case SQL_C_SHORT:
        case SQL_C_SSHORT:
        case SQL_C_USHORT:
            return sizeof(SQLSMALLINT);
        case SQL_C_FLOAT:
            return sizeof(SQLREAL);
        case SQL_C_DOUBLE:
            return sizeof(SQLDOUBLE);
        case SQL_C_DATE:
        case SQL_C_TYPE_DATE:
            return sizeof(SQL_DATE_STRUCT);
        case SQL_C_TIME:
        case SQL_C_TYPE_TIME:
            return sizeof(SQL_TIME_STRUCT);
        case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP:
            return sizeof(SQL_TIMESTAMP_STRUCT);
        case SQL_C_BIT:
        case SQL_C_TINYINT:
        case SQL_C_STINYINT:
        case SQL_C_UTINYINT:
            return 1;
        case SQL_C_SBIGINT:
        case SQL_C_UBIGINT:
            return sizeof(SQLBIGINT);
        default:
            return 0;
    }
}

// The SQL type, column size and decimal digits a parameter of this C type is bound as.
void ParamType(SWORD cType, long bufferSize, SQLSMALLINT& sqlType, SQLULEN& size,
               SQLSMALLINT& digits) {
    digits = 0;
    switch (cType) {
        case SQL_C_CHAR:
            sqlType = SQL_VARCHAR;
            size = bufferSize > 1 ? bufferSize - 1 : 1;
            break;
        case SQL_C_WCHAR:
            sqlType = SQL_WVARCHAR;
            size = bufferSize > 2 ? bufferSize / 2 - 1 : 1;
            break;
        case SQL_C_SHORT:
        case SQL_C_SSHORT:
        case SQL_C_USHORT:
            sqlType = SQL_SMALLINT;
            size = 5;
            break;
        case SQL_C_LONG:
        case SQL_C_SLONG:
            sqlType = SQL_INTEGER;
            size = 10;
            break;
        case SQL_C_ULONG:
        case SQL_C_SBIGINT:
        case SQL_C_UBIGINT:
            sqlType = SQL_BIGINT;
            size = 19;
            break;
        case SQL_C_FLOAT:
            sqlType = SQL_REAL;
            size = 7;
            break;
        case SQL_C_DOUBLE:
            sqlType = SQL_DOUBLE;
            size = 15;
            break;
        case SQL_C_DATE:
        case SQL_C_TYPE_DATE:
            sqlType = SQL_TYPE_DATE;
            size = 10;
            break;
        case SQL_C_TIME:
        case SQL_C_TYPE_TIME:
            sqlType = SQL_TYPE_TIME;
            size = 8;
            break;
        // NOTE: the SQLite3 driver drops the seconds of a timestamp bound with size 16.
        case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP:
            sqlType = SQL_TYPE_TIMESTAMP;
            size = 23;
            digits = 3;
            break;
        case SQL_C_BIT:
            sqlType = SQL_BIT;
            size = 1;
            break;
        case SQL_C_TINYINT:
        case SQL_C_STINYINT:
        case SQL_C_UTINYINT:
            sqlType = SQL_SMALLINT;
            size = 5;
            break;
        default:
            sqlType = SQL_VARBINARY;
            size = bufferSize > 0 ? bufferSize : 1;
            break;
    }
}

// Reads UTF-16 units (SQLWCHAR is 16-bit with every driver manager) into UTF-8.
std::string UTF16ToUTF8(const SQLWCHAR* text, size_t units) {
    std::u16string copy(text, text + units);
    return vqUTF16ToUTF8(copy.data(), copy.size());
}

bool IsSelected(const vqDbColDef&) { return true; }
bool IsInsertable(const vqDbColDef& c) { return c.InsertAllowed && !c.DerivedCol; }

bool IsText(SWORD t) { return t == SQL_C_CHAR || t == SQL_C_WCHAR; }

// Whether values of this type have a length of their own (text and binary) rather than
// the fixed size of their C type.
bool IsVariable(SWORD t) { return FixedSize(t) == 0; }

// Bytes of value a buffer of this type and size holds, its terminator left out.
SQLLEN Capacity(const vqDbColDef& c) {
    if (c.SqlCtype == SQL_C_CHAR) return c.SzDataObj - 1;
    if (c.SqlCtype == SQL_C_WCHAR)
        return static_cast<SQLLEN>((c.SzDataObj / sizeof(SQLWCHAR) - 1) * sizeof(SQLWCHAR));
    return c.SzDataObj;
}

// Types whose parameters go through a 64-bit shadow, and the value the buffer holds.
// NOTE: the SQLite3 driver stores SQL_C_ULONG parameters as signed 32-bit values and
// tiny integer parameters as unsigned bytes.
bool IsShadowed(SWORD t) {
    return t == SQL_C_ULONG || t == SQL_C_TINYINT || t == SQL_C_STINYINT || t == SQL_C_UTINYINT;
}

SQLBIGINT ShadowValue(SWORD cType, const void* value) {
    switch (cType) {
        case SQL_C_ULONG: {
            SQLUINTEGER n;
            memcpy(&n, value, sizeof(n));
            return n;
        }
        case SQL_C_STINYINT:
            return *static_cast<const signed char*>(value);
        default:
            return *static_cast<const unsigned char*>(value);
    }
}

SQLBIGINT ShadowValue(const vqDbColDef& c) { return ShadowValue(c.SqlCtype, c.PtrDataObj); }

// The years a date is written with: four digits, as every driver reads them back.
bool YearInRange(int year) { return year >= 1 && year <= 9999; }

}  // namespace

vqDbTable::vqDbTable(vqDb* db, const vqString& tableName, unsigned short numColumns)
    : m_db(db),
      m_tableName(tableName),
      m_numColumns(numColumns),
      m_colDefs(new vqDbColDef[numColumns ? numColumns : 1]),
      m_shadows(numColumns),
      m_keysExact(true),
      m_lookupOther(false),
      m_nulKeyLogged(false),
      m_rebindKeys(false),
      m_updateResult(kUpdateWritten),
      m_isOpen(false),
      m_insertPrepared(false),
      m_atEnd(false),
      m_seqDone(false),
      m_keyDone(false),
      m_seqFetched(false),
      m_accessMode(0),
      m_hstmtSeq(SQL_NULL_HSTMT),
      m_hstmtKey(SQL_NULL_HSTMT),
      m_hstmtCount(SQL_NULL_HSTMT),
      m_hstmtInsert(SQL_NULL_HSTMT),
      m_hstmtKeyCount(SQL_NULL_HSTMT),
      m_fetchCount(0),
      m_keyQueryCount(0),
      m_batchScan(false),
      m_batchRowid(0),
      m_batchAfter(0),
      m_batchLimit(0),
      m_batchOffset(0),
      m_batchRowidInd(0),
      m_batchStride(0),
      m_batchCount(0),
      m_batchNext(0),
      m_batchesRead(0),
      m_batchRowsSeen(0),
      m_batchLast(false),
      m_batchByOffset(false),
      m_asideState(kAsideUnprepared),
      m_hstmtAside(SQL_NULL_HSTMT),
      m_asideXmax(),
      m_asideXmaxInd(0),
      m_asideRowLoaded(false),
      m_asideRest(0),
      m_lookupsAside(0) {}

vqDbTable::~vqDbTable() {
    for (SQLHSTMT* stmt :
         {&m_hstmtSeq, &m_hstmtKey, &m_hstmtCount, &m_hstmtInsert, &m_hstmtKeyCount, &m_hstmtAside})
        if (*stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, *stmt);
    for (UpdateStatement& u : m_updates) SQLFreeHandle(SQL_HANDLE_STMT, u.stmt);
    for (void* buffer : m_ownedBuffers) free(buffer);
    delete[] m_colDefs;
}

bool vqDbTable::Check(SQLRETURN rc, SQLHSTMT stmt, const vqChar* what, int line) {
    if (Ok(rc)) return true;
    if (m_db) m_db->TakeDiagnostics(SQL_HANDLE_STMT, stmt);
    vqDbLogExtendedErrorMsg(
        vqString::Format(vqT("%s on table \"%s\"\n"), what, m_tableName.c_str()).c_str(), m_db,
        __FILE__, line);
    return false;
}

bool vqDbTable::SetColDefs(unsigned short index, const vqString& name, int dataType, void* buffer,
                           SWORD sqlCType, long size, bool keyField, bool updateable,
                           bool insertAllowed, bool derivedColumn) {
    if (index >= m_numColumns || m_isOpen) {
        vqLogError(vqT("SetColDefs: column %d of table \"%s\" (%d columns) cannot be defined"),
                   static_cast<int>(index), m_tableName.c_str(), static_cast<int>(m_numColumns));
        return false;
    }
    vqDbColDef& c = m_colDefs[index];
    size_t fixed = FixedSize(sqlCType);
    if (fixed && size < static_cast<long>(fixed)) size = static_cast<long>(fixed);
    if (size <= 0) size = 1;
    if (!buffer) {
        buffer = calloc(1, static_cast<size_t>(size) + sizeof(SQLWCHAR));
        if (!buffer) abort();
        m_ownedBuffers.push_back(buffer);
    }
    c.ColName = name;
    c.DbDataType = dataType;
    c.SqlCtype = sqlCType;
    c.PtrDataObj = buffer;
    c.SzDataObj = size;
    c.KeyField = keyField;
    c.Updateable = updateable;
    c.InsertAllowed = insertAllowed;
    c.DerivedCol = derivedColumn;
    c.CbValue = SQL_NULL_DATA;
    return true;
}

vqString vqDbTable::ColumnList(bool (*wanted)(const vqDbColDef&)) const {
    vqString list;
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        if (!wanted(m_colDefs[i])) continue;
        if (!list.empty()) list += vqT(",");
        list += vqDbQuoteName(m_colDefs[i].ColName);
    }
    return list;
}

// Every column, then the columns read beside them for the key.
vqString vqDbTable::SelectList() const {
    vqString list = ColumnList(IsSelected);
    for (const Hidden& h : m_hidden) list += vqT(",") + vqString::FromUTF8(h.sql);
    return list;
}

size_t vqDbTable::KeySize() const {
    if (m_isOpen) return m_keyParams.size() - 1;
    size_t size = 0;
    for (unsigned short i = 0; i < m_numColumns; ++i)
        if (m_colDefs[i].KeyField) size += static_cast<size_t>(m_colDefs[i].SzDataObj);
    return size;
}

bool vqDbTable::BindParam(SQLHSTMT stmt, SQLUSMALLINT number, unsigned short col, void* buffer,
                          SQLLEN* indicator, SQLBIGINT* shadow) {
    const vqDbColDef& c = m_colDefs[col];
    SQLSMALLINT sqlType, digits;
    SQLULEN size;
    ParamType(c.SqlCtype, c.SzDataObj, sqlType, size, digits);
    SWORD cType = c.SqlCtype;
    if (IsShadowed(cType) && shadow) {
        cType = SQL_C_SBIGINT;
        buffer = shadow;
    }
    SQLRETURN rc = SQLBindParameter(stmt, number, SQL_PARAM_INPUT, cType, sqlType, size, digits,
                                    buffer, c.SzDataObj, indicator);
    return Check(rc, stmt, vqT("SQLBindParameter"), __LINE__);
}

void vqDbTable::FillShadows() {
    for (unsigned short i = 0; i < m_numColumns; ++i)
        if (IsShadowed(m_colDefs[i].SqlCtype)) m_shadows[i] = ShadowValue(m_colDefs[i]);
}

bool vqDbTable::Open() {
    if (m_isOpen) return true;
    if (!m_db || !m_db->IsOpen()) {
        vqLogError(vqT("Cannot open table \"%s\": the database is not open"), m_tableName.c_str());
        return false;
    }
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        if (m_colDefs[i].ColName.empty()) {
            vqLogError(vqT("Cannot open table \"%s\": column %d is not defined"),
                       m_tableName.c_str(), static_cast<int>(i));
            return false;
        }
    }
    SQLHDBC hdbc = m_db->GetHDBC();
    for (SQLHSTMT* stmt :
         {&m_hstmtSeq, &m_hstmtKey, &m_hstmtCount, &m_hstmtInsert, &m_hstmtKeyCount}) {
        if (*stmt == SQL_NULL_HSTMT && !Ok(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, stmt))) {
            m_db->TakeDiagnostics(SQL_HANDLE_DBC, hdbc);
            vqDbLogExtendedErrorMsg(vqT("Could not allocate a statement\n"), m_db, __FILE__,
                                    __LINE__);
            return false;
        }
    }
    // Probe the table and its columns once: a missing table or column fails here.
    std::string probe = (vqT("SELECT ") + ColumnList(IsSelected) + vqT(" FROM ") +
                         vqDbQuoteName(m_tableName) + vqT(" WHERE 1=0"))
                            .ToUTF8();
    SQLRETURN rc = SQLExecDirect(m_hstmtCount, reinterpret_cast<SQLCHAR*>(&probe[0]), SQL_NTS);
    if (!Check(rc, m_hstmtCount, vqT("Open"), __LINE__)) return false;
    SQLFreeStmt(m_hstmtCount, SQL_CLOSE);
    if (!CheckColumnsExist()) return false;
    PlanKey();
    // Bind every column's buffer on both cursors; the key lookup loads into the same buffers.
    if (!BindRow(m_hstmtSeq) || !BindRow(m_hstmtKey)) return false;
    // A scan in batches where the driver's open cursors would stop others writing.
    const char* batchColumn = m_db->GetProfile().BatchScanColumn();
    m_batchScan = false;
    if (batchColumn) {
        std::string test = "SELECT " + std::string(batchColumn) + " FROM " +
                           vqDbQuoteName(m_tableName).ToUTF8() + " WHERE 1=0";
        m_batchScan =
            Ok(SQLExecDirect(m_hstmtCount, reinterpret_cast<SQLCHAR*>(&test[0]), SQL_NTS));
        SQLFreeStmt(m_hstmtCount, SQL_CLOSE);
        if (m_batchScan)
            m_batchScan =
                Check(SQLBindCol(m_hstmtSeq,
                                 static_cast<SQLUSMALLINT>(m_numColumns + m_hidden.size() + 1),
                                 SQL_C_SBIGINT, &m_batchRowid, 0, &m_batchRowidInd),
                      m_hstmtSeq, vqT("SQLBindCol"), __LINE__);
    }
    m_before.assign(m_numColumns, Before());
    for (unsigned short i = 0; i < m_numColumns; ++i)
        m_before[i].bytes.assign(static_cast<size_t>(m_colDefs[i].SzDataObj) + sizeof(SQLWCHAR), 0);
    if (!PrepareKeyedStatements()) return false;
    m_isOpen = true;
    return true;
}

bool vqDbTable::BindRow(SQLHSTMT stmt) {
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        vqDbColDef& c = m_colDefs[i];
        if (!Check(SQLBindCol(stmt, i + 1, c.SqlCtype, c.PtrDataObj, c.SzDataObj, &c.CbValue), stmt,
                   vqT("SQLBindCol"), __LINE__))
            return false;
    }
    for (size_t h = 0; h < m_hidden.size(); ++h) {
        Hidden& hidden = m_hidden[h];
        SQLUSMALLINT number = static_cast<SQLUSMALLINT>(m_numColumns + h + 1);
        if (!Check(SQLBindCol(stmt, number, hidden.cType, hidden.buffer.data(),
                              static_cast<SQLLEN>(hidden.buffer.size()), &hidden.ind),
                   stmt, vqT("SQLBindCol"), __LINE__))
            return false;
    }
    return true;
}

bool vqDbTable::CheckColumnsExist() {
    // NOTE: SQLite reads a double-quoted name that is no column as a text literal, so the
    // probe above cannot catch a wrong column name; the catalogue can.
    // NOTE: SQLColumns reads the table name as a pattern: escape its '_' and '%'.
    std::string table = m_tableName.ToUTF8();
    SQLCHAR escape[8] = "";
    SQLSMALLINT escapeLength = 0;
    if (Ok(SQLGetInfo(m_db->GetHDBC(), SQL_SEARCH_PATTERN_ESCAPE, escape, sizeof(escape),
                      &escapeLength)) &&
        escapeLength == 1) {
        std::string escaped;
        for (char ch : table) {
            if (ch == '_' || ch == '%' || ch == static_cast<char>(escape[0]))
                escaped += static_cast<char>(escape[0]);
            escaped += ch;
        }
        table = escaped;
    }
    SQLRETURN rc = SQLColumns(m_hstmtCount, nullptr, 0, nullptr, 0,
                              reinterpret_cast<SQLCHAR*>(&table[0]), SQL_NTS, nullptr, 0);
    if (!Check(rc, m_hstmtCount, vqT("SQLColumns"), __LINE__)) return false;
    std::vector<vqString> names;
    SQLCHAR name[256];
    SQLCHAR owner[256];
    SQLLEN ind = 0, ownerInd = 0;
    while (Ok(SQLFetch(m_hstmtCount))) {
        // A catalogue that does not escape may still list other tables: keep this one's.
        if (Ok(SQLGetData(m_hstmtCount, 3, SQL_C_CHAR, owner, sizeof(owner), &ownerInd)) &&
            ownerInd > 0 &&
            vqString::FromUTF8(reinterpret_cast<char*>(owner)).Cmp(m_tableName) != 0)
            continue;
        if (Ok(SQLGetData(m_hstmtCount, 4, SQL_C_CHAR, name, sizeof(name), &ind)) && ind > 0)
            names.push_back(vqString::FromUTF8(reinterpret_cast<char*>(name)));
    }
    SQLFreeStmt(m_hstmtCount, SQL_CLOSE);
    if (names.empty()) return true;  // a catalogue that lists nothing cannot tell
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        bool found = false;
        for (const vqString& n : names) found |= n.Cmp(m_colDefs[i].ColName) == 0;
        if (!found && !m_colDefs[i].DerivedCol) {
            vqLogError(vqT("Cannot open table \"%s\": it has no column \"%s\""),
                       m_tableName.c_str(), m_colDefs[i].ColName.c_str());
            return false;
        }
    }
    return true;
}

// Lays out the key block: each key column's part, and the columns read beside the table's
// own so that a key finds its row exactly.
void vqDbTable::PlanKey() {
    m_keyParts.clear();
    m_keyColumns.clear();
    m_hidden.clear();
    m_keysExact = true;
    m_rebindKeys = false;
    const vqDbProfile& profile = m_db->GetProfile();
    size_t offset = 0;
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        const vqDbColDef& c = m_colDefs[i];
        if (!c.KeyField) continue;
        m_keyColumns.push_back(i);
        KeyPart part{KeyPart::kFixed,  i, offset, static_cast<size_t>(c.SzDataObj), -1,
                     SQL_UNKNOWN_TYPE, 0, 0};
        std::string quoted = vqDbQuoteName(c.ColName).ToUTF8();
        if (IsText(c.SqlCtype)) {
            part.kind = KeyPart::kText;
            std::string bytes = profile.StoredTextBytes(quoted);
            if (!bytes.empty()) {
                part.hidden = static_cast<int>(m_hidden.size());
                m_hidden.push_back(
                    Hidden{bytes, SQL_C_SBIGINT, std::vector<unsigned char>(sizeof(SQLBIGINT)), 0});
            }
        } else if (IsDate(c.SqlCtype) || IsTime(c.SqlCtype) || IsStamp(c.SqlCtype)) {
            // Dates and times are found by the text the database holds: their structures
            // drop fractions (times) or the driver writes them in a form of its own.
            part.kind = KeyPart::kDateText;
            part.size = kDateTextSize;
            part.sqlType = IsDate(c.SqlCtype)   ? SQL_TYPE_DATE
                           : IsTime(c.SqlCtype) ? SQL_TYPE_TIME
                                                : SQL_TYPE_TIMESTAMP;
            part.hidden = static_cast<int>(m_hidden.size());
            m_hidden.push_back(
                Hidden{quoted, SQL_C_CHAR, std::vector<unsigned char>(kDateTextSize), 0});
        } else if (IsVariable(c.SqlCtype)) {
            part.kind = KeyPart::kBinary;
            part.size += sizeof(SQLLEN);
            m_rebindKeys = true;
        } else if (c.SqlCtype == SQL_C_FLOAT || c.SqlCtype == SQL_C_DOUBLE) {
            m_keysExact = false;
            vqLogWarning(vqT("Table \"%s\": key column \"%s\" holds floating-point values, which ")
                             vqT("do not find their rows exactly: its rows are read-only and ")
                                 vqT("show only while the scan reads them"),
                         m_tableName.c_str(), c.ColName.c_str());
        }
        offset += part.size;
        m_keyParts.push_back(part);
    }
    m_keyParams.assign(offset + 1, 0);
}

bool vqDbTable::PrepareKeyedStatements() {
    m_keyWhere.Clear();
    for (const KeyPart& part : m_keyParts) {
        m_keyWhere += m_keyWhere.empty() ? vqT(" WHERE ") : vqT(" AND ");
        m_keyWhere += vqDbQuoteName(m_colDefs[part.col].ColName) + vqT("=?");
    }
    if (m_keyWhere.empty()) return true;  // no key: lookups and updates report failure when used
    std::string select =
        (vqT("SELECT ") + SelectList() + vqT(" FROM ") + vqDbQuoteName(m_tableName) + m_keyWhere)
            .ToUTF8();
    if (!Check(SQLPrepare(m_hstmtKey, reinterpret_cast<SQLCHAR*>(&select[0]), SQL_NTS), m_hstmtKey,
               vqT("Prepare key lookup"), __LINE__))
        return false;
    std::string count =
        (vqT("SELECT COUNT(*) FROM ") + vqDbQuoteName(m_tableName) + m_keyWhere).ToUTF8();
    if (!Check(SQLPrepare(m_hstmtKeyCount, reinterpret_cast<SQLCHAR*>(&count[0]), SQL_NTS),
               m_hstmtKeyCount, vqT("Prepare key count"), __LINE__))
        return false;
    SQLUSMALLINT first = 1, again = 1;
    return BindKeyParams(m_hstmtKey, first) && BindKeyParams(m_hstmtKeyCount, again);
}

// Key parameters of every keyed statement read the key block that LoadKeyParams fills.
bool vqDbTable::BindKeyParams(SQLHSTMT stmt, SQLUSMALLINT& number) {
    for (KeyPart& part : m_keyParts) {
        const vqDbColDef& c = m_colDefs[part.col];
        unsigned char* bytes = &m_keyParams[part.offset];
        bool ok = true;
        switch (part.kind) {
            case KeyPart::kDateText: {
                SQLSMALLINT digits = part.sqlType == SQL_TYPE_DATE ? 0 : 9;
                ok = Check(
                    SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_CHAR, part.sqlType,
                                     kDateTextSize - 1, digits, bytes, kDateTextSize, &part.ind),
                    stmt, vqT("SQLBindParameter"), __LINE__);
                break;
            }
            case KeyPart::kBinary:
                ok = BindParam(stmt, number, part.col, bytes + sizeof(SQLLEN), &part.ind, nullptr);
                break;
            default:
                ok = BindParam(stmt, number, part.col, bytes, &part.ind,
                               IsShadowed(c.SqlCtype) ? &part.shadow : nullptr);
                break;
        }
        if (!ok) return false;
        ++number;
    }
    return true;
}

// Copies a key into the block the key parameters read, with their lengths and 64-bit forms.
void vqDbTable::LoadKeyParams(const GenericKey& key) {
    memcpy(m_keyParams.data(), key.GetBlk(), key.GetBlkSize());
    for (KeyPart& part : m_keyParts) {
        const vqDbColDef& c = m_colDefs[part.col];
        const unsigned char* bytes = &m_keyParams[part.offset];
        switch (part.kind) {
            case KeyPart::kText:
            case KeyPart::kDateText:
                part.ind = SQL_NTS;
                break;
            case KeyPart::kBinary:
                memcpy(&part.ind, bytes, sizeof(SQLLEN));
                break;
            default:
                part.ind = c.SzDataObj;
                if (IsShadowed(c.SqlCtype)) part.shadow = ShadowValue(c.SqlCtype, bytes);
                break;
        }
    }
}

SQLHSTMT vqDbTable::PrepareUpdate(const std::vector<unsigned short>& columns,
                                  const std::vector<bool>& checked) {
    for (size_t i = 0; i < m_updates.size(); ++i) {
        if (m_updates[i].columns != columns || m_updates[i].checked != checked) continue;
        std::rotate(m_updates.begin(), m_updates.begin() + i, m_updates.begin() + i + 1);
        return m_updates.front().stmt;
    }
    const size_t kKept = 8;
    if (m_updates.size() >= kKept) {
        SQLFreeHandle(SQL_HANDLE_STMT, m_updates.back().stmt);
        m_updates.pop_back();
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, m_db->GetHDBC(), &stmt))) {
        m_db->TakeDiagnostics(SQL_HANDLE_DBC, m_db->GetHDBC());
        vqDbLogExtendedErrorMsg(vqT("Could not allocate a statement\n"), m_db, __FILE__, __LINE__);
        return SQL_NULL_HSTMT;
    }
    // The update writes only where the key finds exactly one row and every changed column
    // still holds the value read: one statement, so nothing is ever written in part.
    const vqDbProfile& profile = m_db->GetProfile();
    vqString set, same;
    for (size_t i = 0; i < columns.size(); ++i) {
        int markers = 0;
        const vqDbColDef& c = m_colDefs[columns[i]];
        vqString quoted = vqDbQuoteName(c.ColName);
        set += set.empty() ? vqT(" SET ") : vqT(",");
        set += quoted + vqT("=?");
        if (checked[i])
            same += vqT(" AND ") +
                    vqString::FromUTF8(profile.SameValue(quoted.ToUTF8(), c.SqlCtype, markers));
    }
    vqString table = vqDbQuoteName(m_tableName);
    std::string update = (vqT("UPDATE ") + table + set + m_keyWhere + same +
                          vqT(" AND (SELECT COUNT(*) FROM ") + table + m_keyWhere + vqT(")=1"))
                             .ToUTF8();
    bool ok = Check(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(&update[0]), SQL_NTS), stmt,
                    vqT("Prepare update"), __LINE__);
    // NOTE: a query timeout bounds lock waits where the driver has no lock timeout of its own.
    if (ok)
        SQLSetStmtAttr(
            stmt, SQL_ATTR_QUERY_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>((vqDb::kLockWaitMs + 999) / 1000)),
            0);
    if (!ok) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return SQL_NULL_HSTMT;
    }
    m_updates.insert(m_updates.begin(), UpdateStatement{columns, checked, stmt});
    return stmt;
}

// Binds an update's parameters: the new values, the key, the values read of the checked
// columns, the key again.
// NOTE: the SQLite3 driver keeps the length a binary parameter had at its first execution:
// bind again before every execution.
bool vqDbTable::BindUpdate(SQLHSTMT stmt, const std::vector<unsigned short>& columns,
                           const std::vector<bool>& checked) {
    const vqDbProfile& profile = m_db->GetProfile();
    SQLUSMALLINT param = 1;
    bool ok = true;
    for (size_t i = 0; ok && i < columns.size(); ++i) {
        vqDbColDef& c = m_colDefs[columns[i]];
        ok = BindParam(stmt, param++, columns[i], c.PtrDataObj, &c.CbValue, &m_shadows[columns[i]]);
    }
    ok = ok && BindKeyParams(stmt, param);
    for (size_t i = 0; ok && i < columns.size(); ++i) {
        if (!checked[i]) continue;
        int markers = 0;
        const vqDbColDef& c = m_colDefs[columns[i]];
        profile.SameValue(vqDbQuoteName(c.ColName).ToUTF8(), c.SqlCtype, markers);
        Before& b = m_before[columns[i]];
        for (int m = 0; ok && m < markers; ++m)
            ok = BindParam(stmt, param++, columns[i], b.bytes.data(), &b.ind, &b.shadow);
    }
    return ok && BindKeyParams(stmt, param);
}

// Refuses to write a buffer that holds a value only in part: the driver would read past
// the buffer, and the stored value would lose its end.
bool vqDbTable::WholeValues(const std::vector<unsigned short>& columns, const vqChar* what) {
    for (unsigned short col : columns) {
        if (!IsColTruncated(col)) continue;
        vqLogError(vqT("%s on table \"%s\" refused: column \"%s\" holds only the first %ld ")
                       vqT("bytes of its value (%ld bytes)"),
                   what, m_tableName.c_str(), m_colDefs[col].ColName.c_str(),
                   static_cast<long>(Capacity(m_colDefs[col])),
                   static_cast<long>(m_colDefs[col].CbValue));
        return false;
    }
    return true;
}

bool vqDbTable::Query() {
    if (!m_isOpen) {
        vqLogError(vqT("Query on table \"%s\", which is not open"), m_tableName.c_str());
        return false;
    }
    vqString sql = vqT("SELECT ") + SelectList();
    if (m_batchScan) sql += vqT(",") + vqString::FromUTF8(m_db->GetProfile().BatchScanColumn());
    sql += vqT(" FROM ") + vqDbQuoteName(m_tableName);
    if (m_batchScan) {
        // Batches go on from the last row read: after its row id, or past the rows read so
        // far where the application orders the rows its own way.
        vqString column = vqString::FromUTF8(m_db->GetProfile().BatchScanColumn());
        vqString where = m_where.empty() ? vqString() : vqT("(") + m_where + vqT(") AND ");
        m_batchByOffset =
            !m_orderBy.empty() &&
            !m_db->GetProfile().OrdersAsBatchColumn(
                m_db->GetHDBC(), vqDbQuoteName(m_tableName).ToUTF8(), m_orderBy.ToUTF8());
        if (!m_batchByOffset)
            sql += vqT(" WHERE ") + where + column + vqT(">? ORDER BY ") + column + vqT(" LIMIT ?");
        else
            sql += (m_where.empty() ? vqString() : vqT(" WHERE ") + m_where) + vqT(" ORDER BY ") +
                   m_orderBy + vqT(",") + column + vqT(" LIMIT ? OFFSET ?");
    } else {
        if (!m_where.empty()) sql += vqT(" WHERE ") + m_where;
        if (!m_orderBy.empty()) sql += vqT(" ORDER BY ") + m_orderBy;
    }
    SQLFreeStmt(m_hstmtSeq, SQL_CLOSE);
    SQLFreeStmt(m_hstmtSeq, SQL_RESET_PARAMS);
    m_seqDone = false;
    m_db->SetCursorBatch(true);
    m_seqFetched = false;
    ForgetBefore();
    // The relation and the session settings the lookup aside follows may have changed.
    if (m_asideState == kAsideReady) m_asideState = kAsideUnprepared;
    // NOTE: with StepAPI=1 the SQLite3 driver returns no rows from every second
    // re-execution of a prepared statement without parameters, so prepare each query.
    std::string text = sql.ToUTF8();
    if (!Check(SQLPrepare(m_hstmtSeq, reinterpret_cast<SQLCHAR*>(&text[0]), SQL_NTS), m_hstmtSeq,
               vqT("Prepare query"), __LINE__))
        return false;
    if (!m_batchScan) return Check(SQLExecute(m_hstmtSeq), m_hstmtSeq, vqT("Query"), __LINE__);
    static SQLLEN s_plain = 0;
    SQLUSMALLINT number = 1;
    bool ok = true;
    for (SQLBIGINT* value : !m_batchByOffset
                                ? std::vector<SQLBIGINT*>{&m_batchAfter, &m_batchLimit}
                                : std::vector<SQLBIGINT*>{&m_batchLimit, &m_batchOffset})
        ok = ok && Check(SQLBindParameter(m_hstmtSeq, number++, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                          SQL_BIGINT, 19, 0, value, 0, &s_plain),
                         m_hstmtSeq, vqT("SQLBindParameter"), __LINE__);
    m_batchStride = m_numColumns * sizeof(SQLLEN) + sizeof(SQLBIGINT);
    for (unsigned short i = 0; i < m_numColumns; ++i)
        m_batchStride += static_cast<size_t>(m_colDefs[i].SzDataObj);
    for (const Hidden& h : m_hidden) m_batchStride += sizeof(SQLLEN) + h.buffer.size();
    m_batchAfter = INT64_MIN;
    m_batchOffset = 0;
    m_batchRowsSeen = 0;
    m_batchCount = m_batchNext = m_batchesRead = 0;
    m_batchLast = false;
    // The first batch comes at once; nothing runs until the first row is asked for.
    return ok;
}

// Reads the next batch of the scan to its end, so the statement holds no lock afterwards.
bool vqDbTable::FetchBatch() {
    const size_t kBatchBytes = 256 << 10;  // what a batch keeps at most, however wide its rows
    size_t rows = m_batchesRead == 0 ? kFirstScanBatch : m_batchesRead == 1 ? 256 : 1024;
    size_t fit = std::max<size_t>(16, kBatchBytes / m_batchStride);
    if (rows > fit) rows = fit;
    m_batchLimit = static_cast<SQLBIGINT>(rows);
    m_batchOffset = static_cast<SQLBIGINT>(m_batchRowsSeen);
    m_batchRows.resize(rows * m_batchStride);
    m_batchCount = m_batchNext = 0;
    SQLFreeStmt(m_hstmtSeq, SQL_CLOSE);
    if (!Check(SQLExecute(m_hstmtSeq), m_hstmtSeq, vqT("Query"), __LINE__)) return false;
    ++m_batchesRead;
    SQLRETURN rc;
    while (Ok(rc = SQLFetch(m_hstmtSeq))) {
        if (m_batchCount == rows) continue;  // a row past the limit: read on to the end
        unsigned char* out = &m_batchRows[m_batchCount++ * m_batchStride];
        for (unsigned short i = 0; i < m_numColumns; ++i) {
            const vqDbColDef& c = m_colDefs[i];
            memcpy(out, &c.CbValue, sizeof(SQLLEN));
            memcpy(out + sizeof(SQLLEN), c.PtrDataObj, static_cast<size_t>(c.SzDataObj));
            out += sizeof(SQLLEN) + static_cast<size_t>(c.SzDataObj);
        }
        for (const Hidden& h : m_hidden) {
            memcpy(out, &h.ind, sizeof(SQLLEN));
            memcpy(out + sizeof(SQLLEN), h.buffer.data(), h.buffer.size());
            out += sizeof(SQLLEN) + h.buffer.size();
        }
        memcpy(out, &m_batchRowid, sizeof(SQLBIGINT));
    }
    bool ok = rc == SQL_NO_DATA || Check(rc, m_hstmtSeq, vqT("Fetch"), __LINE__);
    SQLFreeStmt(m_hstmtSeq, SQL_CLOSE);
    m_batchLast = m_batchCount < rows;
    return ok;
}

// Loads the next row of the batch into the buffers; false when the batch is used up.
bool vqDbTable::NextFromBatch() {
    if (m_batchNext >= m_batchCount) return false;
    const unsigned char* in = &m_batchRows[m_batchNext++ * m_batchStride];
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        vqDbColDef& c = m_colDefs[i];
        memcpy(&c.CbValue, in, sizeof(SQLLEN));
        memcpy(c.PtrDataObj, in + sizeof(SQLLEN), static_cast<size_t>(c.SzDataObj));
        in += sizeof(SQLLEN) + static_cast<size_t>(c.SzDataObj);
    }
    for (Hidden& h : m_hidden) {
        memcpy(&h.ind, in, sizeof(SQLLEN));
        memcpy(h.buffer.data(), in + sizeof(SQLLEN), h.buffer.size());
        in += sizeof(SQLLEN) + h.buffer.size();
    }
    memcpy(&m_batchAfter, in, sizeof(SQLBIGINT));
    ++m_batchRowsSeen;
    return true;
}

bool vqDbTable::getRec(UWORD fetchType) {
    if (!m_isOpen) return false;
    bool byKey = m_accessMode == 1;
    SQLHSTMT stmt = byKey ? m_hstmtKey : m_hstmtSeq;
    bool& done = byKey ? m_keyDone : m_seqDone;
    m_atEnd = done;
    if (done) return false;
    if (byKey && m_asideRowLoaded) {
        m_asideRowLoaded = false;
        done = true;
        ++m_fetchCount;
        ForgetBefore();
        return true;
    }
    if (!byKey && m_batchScan) {
        ++m_fetchCount;
        if (!NextFromBatch()) {
            // A batch that failed is read again on the next call; a short one was the last.
            if (m_batchLast) {
                m_atEnd = done = true;
                std::vector<unsigned char>().swap(m_batchRows);  // the scan is over
                return false;
            }
            if (!FetchBatch()) return false;
            if (!NextFromBatch()) {
                m_atEnd = done = true;
                return false;
            }
        }
        ForgetBefore();
        return true;
    }
    SQLRETURN rc = fetchType == SQL_FETCH_NEXT
                       ? SQLFetch(stmt)
                       : SQLFetchScroll(stmt, static_cast<SQLSMALLINT>(fetchType), 0);
    ++m_fetchCount;
    m_atEnd = rc == SQL_NO_DATA;
    if (byKey && Ok(rc)) {
        // The row found must carry the key asked for, and be the only one that does.
        bool asked = FoundRowIsAsked(stmt);
        SQLFreeStmt(stmt, SQL_CLOSE);
        done = true;
        if (!asked) return false;
        ForgetBefore();
        return Check(rc, stmt, vqT("Fetch"), __LINE__);
    }
    // NOTE: a cursor left open keeps the database's read lock (SQLite) or the driver's
    // transaction (psqlODBC): close it at its end.
    if (m_atEnd) {
        SQLFreeStmt(stmt, SQL_CLOSE);
        done = true;
        return false;
    }
    if (!byKey && !m_seqFetched && Ok(rc)) {
        m_seqFetched = true;  // the first rows are in: fetch the others in larger batches
        m_db->SetCursorBatch(false);
    }
    if (Ok(rc)) ForgetBefore();
    return Check(rc, stmt, vqT("Fetch"), __LINE__);
}

// Whether the row a lookup loaded is the one asked for: its key reads as the key asked
// for, and the lookup finds no second row. Reads the lookup to its end.
bool vqDbTable::FoundRowIsAsked(SQLHSTMT stmt) {
    GenericKey found = GetRowKey();
    bool same = found == m_askedKey;
    // NOTE: the second fetch overwrites the buffers when it finds a row; it is refused then.
    SQLRETURN more = stmt == SQL_NULL_HSTMT ? SQL_NO_DATA : SQLFetch(stmt);
    m_lookupOther = !same || more != SQL_NO_DATA;
    if (m_lookupOther) {
        m_atEnd = false;
        vqLogError(vqT("Key lookup on table \"%s\" found %s: the row is not loaded"),
                   m_tableName.c_str(),
                   same ? vqT("more than one row with the key") : vqT("a row with another key"));
    }
    return !m_lookupOther;
}

bool vqDbTable::GetNext() {
    SetAccessMode(0);
    return getRec(SQL_FETCH_NEXT);
}

unsigned long vqDbTable::Count(const vqString& args) {
    if (!m_isOpen) {
        vqLogError(vqT("Count on table \"%s\", which is not open"), m_tableName.c_str());
        return 0;
    }
    vqString what = args.Cmp(vqT("*")) == 0 ? vqString(vqT("*")) : vqDbQuoteName(args);
    vqString sql = vqT("SELECT COUNT(") + what + vqT(") FROM ") + vqDbQuoteName(m_tableName);
    if (!m_where.empty()) sql += vqT(" WHERE ") + m_where;
    SQLFreeStmt(m_hstmtCount, SQL_CLOSE);
    if (sql.Cmp(m_preparedCount) != 0) {
        std::string text = sql.ToUTF8();
        m_preparedCount.Clear();
        if (!Check(SQLPrepare(m_hstmtCount, reinterpret_cast<SQLCHAR*>(&text[0]), SQL_NTS),
                   m_hstmtCount, vqT("Prepare count"), __LINE__))
            return 0;
        m_preparedCount = sql;
    }
    SQLBIGINT count = 0;
    SQLLEN ind = 0;
    if (!Check(SQLExecute(m_hstmtCount), m_hstmtCount, vqT("Count"), __LINE__)) return 0;
    SQLRETURN rc = SQLFetch(m_hstmtCount);
    if (Ok(rc)) rc = SQLGetData(m_hstmtCount, 1, SQL_C_SBIGINT, &count, 0, &ind);
    bool ok = Check(rc, m_hstmtCount, vqT("Count"), __LINE__);
    // NOTE: the SQLite3 driver keeps the database's read lock after closing a prepared
    // statement that was not read to its end: read past the single row first.
    if (ok) SQLFetch(m_hstmtCount);
    SQLFreeStmt(m_hstmtCount, SQL_CLOSE);
    return ok && count > 0 ? static_cast<unsigned long>(count) : 0;
}

GenericKey vqDbTable::GetRowKey() {
    GenericKey key;
    if (!m_isOpen) {
        m_keyColumns.clear();
        for (unsigned short i = 0; i < m_numColumns; ++i)
            if (m_colDefs[i].KeyField) m_keyColumns.push_back(i);
        if (m_keyColumns.empty()) return key;
        // Before Open the key is the plain bytes of the key columns' buffers.
        for (unsigned short i : m_keyColumns)
            if (IsColNull(i) || IsColTruncated(i)) return key;
        unsigned char* block = key.Resize(KeySize());
        for (unsigned short i : m_keyColumns) {
            memcpy(block, m_colDefs[i].PtrDataObj, static_cast<size_t>(m_colDefs[i].SzDataObj));
            block += m_colDefs[i].SzDataObj;
        }
        return key;
    }
    if (m_keyParts.empty() || !m_keysExact) return key;
    for (const KeyPart& part : m_keyParts) {
        const vqDbColDef& c = m_colDefs[part.col];
        if (IsColNull(part.col) || IsColTruncated(part.col)) return key;
        if (part.kind == KeyPart::kDateText) {
            const Hidden& h = m_hidden[static_cast<size_t>(part.hidden)];
            if (h.ind == SQL_NULL_DATA || h.ind == SQL_NO_TOTAL ||
                h.ind >= static_cast<SQLLEN>(h.buffer.size()))
                return key;
        }
        if (part.kind == KeyPart::kText && part.hidden >= 0) {
            // A NUL inside the value: the driver read only what comes before it.
            const Hidden& h = m_hidden[static_cast<size_t>(part.hidden)];
            SQLBIGINT stored = 0;
            memcpy(&stored, h.buffer.data(), sizeof(stored));
            size_t read = c.SqlCtype == SQL_C_CHAR
                              ? strnlen(static_cast<const char*>(c.PtrDataObj),
                                        static_cast<size_t>(c.SzDataObj))
                              : UTF16ToUTF8(static_cast<const SQLWCHAR*>(c.PtrDataObj),
                                            static_cast<size_t>(c.CbValue) / sizeof(SQLWCHAR))
                                    .size();
            if (h.ind != SQL_NULL_DATA && stored > static_cast<SQLBIGINT>(read)) {
                if (!m_nulKeyLogged)
                    vqLogWarning(vqT("Table \"%s\": a value of key column \"%s\" holds a NUL ")
                                     vqT("character, so its row cannot be found again by its ")
                                         vqT("key; such rows are read-only"),
                                 m_tableName.c_str(), c.ColName.c_str());
                m_nulKeyLogged = true;
                return key;
            }
        }
    }
    unsigned char* block = key.Resize(KeySize());
    for (const KeyPart& part : m_keyParts) {
        const vqDbColDef& c = m_colDefs[part.col];
        unsigned char* out = block + part.offset;
        memset(out, 0, part.size);
        switch (part.kind) {
            case KeyPart::kDateText: {
                const Hidden& h = m_hidden[static_cast<size_t>(part.hidden)];
                memcpy(out, h.buffer.data(), static_cast<size_t>(h.ind));
                break;
            }
            case KeyPart::kBinary: {
                SQLLEN length = c.CbValue < c.SzDataObj ? c.CbValue : c.SzDataObj;
                memcpy(out, &length, sizeof(SQLLEN));
                memcpy(out + sizeof(SQLLEN), c.PtrDataObj, static_cast<size_t>(length));
                break;
            }
            case KeyPart::kText: {
                // Bytes after a text's end are whatever longer values left there: not the key.
                size_t used = static_cast<size_t>(c.CbValue);
                if (used > static_cast<size_t>(c.SzDataObj))
                    used = static_cast<size_t>(c.SzDataObj);
                memcpy(out, c.PtrDataObj, used);
                break;
            }
            default:
                memcpy(out, c.PtrDataObj, part.size);
                break;
        }
    }
    return key;
}

void vqDbTable::SetRowKey(const GenericKey& key) {
    if (key.GetBlkSize() != KeySize()) {
        vqLogError(vqT("SetRowKey: a key of %lu bytes does not fit table \"%s\""),
                   static_cast<unsigned long>(key.GetBlkSize()), m_tableName.c_str());
        return;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(key.GetBlk());
    if (!m_isOpen) {
        for (unsigned short i : m_keyColumns) {
            vqDbColDef& c = m_colDefs[i];
            memcpy(c.PtrDataObj, bytes, static_cast<size_t>(c.SzDataObj));
            c.CbValue = c.SzDataObj;
            bytes += c.SzDataObj;
        }
        return;
    }
    for (const KeyPart& part : m_keyParts) {
        vqDbColDef& c = m_colDefs[part.col];
        const unsigned char* in = bytes + part.offset;
        switch (part.kind) {
            case KeyPart::kDateText: {
                Hidden& h = m_hidden[static_cast<size_t>(part.hidden)];
                memcpy(h.buffer.data(), in, part.size);
                h.ind = static_cast<SQLLEN>(strnlen(reinterpret_cast<const char*>(in), part.size));
                c.CbValue = c.SzDataObj;
                break;
            }
            case KeyPart::kBinary:
                memcpy(&c.CbValue, in, sizeof(SQLLEN));
                memcpy(c.PtrDataObj, in + sizeof(SQLLEN), static_cast<size_t>(c.SzDataObj));
                break;
            default:
                memcpy(c.PtrDataObj, in, static_cast<size_t>(c.SzDataObj));
                c.CbValue = c.SzDataObj;
                break;
        }
        if (c.SqlCtype == SQL_C_CHAR) {
            c.CbValue = static_cast<SQLLEN>(
                strnlen(static_cast<const char*>(c.PtrDataObj), static_cast<size_t>(c.SzDataObj)));
        } else if (c.SqlCtype == SQL_C_WCHAR) {
            const SQLWCHAR* text = static_cast<const SQLWCHAR*>(c.PtrDataObj);
            size_t n = 0, max = static_cast<size_t>(c.SzDataObj) / sizeof(SQLWCHAR);
            while (n < max && text[n]) ++n;
            c.CbValue = static_cast<SQLLEN>(n * sizeof(SQLWCHAR));
        }
        if (part.kind == KeyPart::kText && part.hidden >= 0) {
            // The key was made from a value without a NUL: its stored length is its length.
            Hidden& h = m_hidden[static_cast<size_t>(part.hidden)];
            SQLBIGINT length = 0;
            h.ind = 0;
            memcpy(h.buffer.data(), &length, sizeof(length));
        }
    }
}

void vqDbTable::ClearMemberVars(bool setToNull) {
    for (unsigned short i = 0; i < m_numColumns; ++i) {
        vqDbColDef& c = m_colDefs[i];
        memset(c.PtrDataObj, 0, static_cast<size_t>(c.SzDataObj));
        c.CbValue = setToNull ? SQL_NULL_DATA : 0;
    }
    ForgetBefore();
}

void vqDbTable::SaveBefore(unsigned short col) {
    if (col >= m_before.size() || m_before[col].saved) return;
    Before& b = m_before[col];
    const vqDbColDef& c = m_colDefs[col];
    b.saved = true;
    b.cut = IsColTruncated(col);
    b.ind = c.CbValue;
    memcpy(b.bytes.data(), c.PtrDataObj, static_cast<size_t>(c.SzDataObj));
    if (IsShadowed(c.SqlCtype)) b.shadow = ShadowValue(c);
}

void vqDbTable::ForgetBefore() {
    for (Before& b : m_before) b.saved = false;
}

bool vqDbTable::QueryOnKeyFields(bool /*forUpdate*/, bool /*distinct*/) {
    m_lookupOther = false;
    if (!m_isOpen) {
        vqLogError(vqT("QueryOnKeyFields on table \"%s\", which is not open"), m_tableName.c_str());
        return false;
    }
    if (KeySize() == 0) {
        vqLogError(vqT("QueryOnKeyFields: table \"%s\" has no key columns"), m_tableName.c_str());
        return false;
    }
    m_askedKey = GetRowKey();
    if (m_askedKey.GetBlkSize() == 0) {
        vqLogError(vqT("QueryOnKeyFields: the key columns of table \"%s\" hold no usable key"),
                   m_tableName.c_str());
        return false;
    }
    LoadKeyParams(m_askedKey);
    SQLFreeStmt(m_hstmtKey, SQL_CLOSE);
    SQLUSMALLINT first = 1;
    if (m_rebindKeys && !BindKeyParams(m_hstmtKey, first)) return false;
    m_keyDone = false;
    ++m_keyQueryCount;
    if ((m_asideRowLoaded = LookupAside())) return true;
    return Check(SQLExecute(m_hstmtKey), m_hstmtKey, vqT("QueryOnKeyFields"), __LINE__);
}

void vqDbTable::PrepareLookupAside() {
    m_asideState = kAsideOff;
    m_asideRest = 0;
    const char* version = m_db->GetProfile().RowVersionColumn();
    if (m_keyWhere.empty() || !version || !m_db->PrepareLookupConnection()) return;
    vqString relation = m_db->LookupRelationName(vqDbQuoteName(m_tableName));
    if (relation.empty()) return;
    if (m_hstmtAside == SQL_NULL_HSTMT &&
        !Ok(SQLAllocHandle(SQL_HANDLE_STMT, m_db->GetLookupHDBC(), &m_hstmtAside))) {
        m_hstmtAside = SQL_NULL_HSTMT;
        return;
    }
    std::string select = (vqT("SELECT ") + SelectList() + vqT(",") + vqString::FromUTF8(version) +
                          vqT(" FROM ") + relation + m_keyWhere)
                             .ToUTF8();
    SQLFreeStmt(m_hstmtAside, SQL_CLOSE);
    SQLFreeStmt(m_hstmtAside, SQL_UNBIND);
    SQLFreeStmt(m_hstmtAside, SQL_RESET_PARAMS);
    SQLUSMALLINT versionColumn = static_cast<SQLUSMALLINT>(m_numColumns + m_hidden.size() + 1);
    SQLUSMALLINT first = 1;
    if (!Ok(SQLPrepare(m_hstmtAside, reinterpret_cast<SQLCHAR*>(&select[0]), SQL_NTS)) ||
        !Ok(SQLBindCol(m_hstmtAside, versionColumn, SQL_C_CHAR, m_asideXmax, sizeof(m_asideXmax),
                       &m_asideXmaxInd)))
        return;
    if (!BindRow(m_hstmtAside) || !BindKeyParams(m_hstmtAside, first)) return;
    m_asideState = kAsideReady;
}

// Looks the row up on the second connection; true when it found the row unchanged and
// loaded it into the buffers.
bool vqDbTable::LookupAside() {
    if (m_asideState == kAsideUnprepared) PrepareLookupAside();
    if (m_asideState != kAsideReady) return false;
    if (m_asideRest > 0) {
        --m_asideRest;
        return false;
    }
    SQLFreeStmt(m_hstmtAside, SQL_CLOSE);
    SQLUSMALLINT first = 1;
    if (m_rebindKeys && !BindKeyParams(m_hstmtAside, first)) return false;
    SQLRETURN rc = SQLExecute(m_hstmtAside);
    if (Ok(rc)) rc = SQLFetch(m_hstmtAside);
    if (!Ok(rc) && rc != SQL_NO_DATA) {
        SQLCHAR state[6] = "";
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(SQL_HANDLE_STMT, m_hstmtAside, 1, state, &native, nullptr, 0, &length);
        // A lock the second connection waited for in vain may be this connection's own: the
        // next lookups stay here, then the second connection is tried again. Anything else
        // stops the lookups aside until the next query.
        // NOTE: psqlODBC 13 leaks some memory in every failed execution of a statement it
        // prepared on the server; waiting once for the lock, not for every lookup, bounds it.
        if (m_db->GetProfile().IsLockWait(reinterpret_cast<char*>(state), native))
            m_asideRest = kAsideRestAfterLock;
        else
            m_asideState = kAsideOff;
        vqLogDebug(vqT("Key lookup on table \"%s\" goes back to the main connection (SQLSTATE %s)"),
                   m_tableName.c_str(), vqString::FromUTF8(reinterpret_cast<char*>(state)).c_str());
    }
    // A row that is not the one asked for, or not the only one, is looked up here again.
    bool found = Ok(rc) && m_asideXmaxInd != SQL_NULL_DATA && strcmp(m_asideXmax, "0") == 0 &&
                 GetRowKey() == m_askedKey && SQLFetch(m_hstmtAside) == SQL_NO_DATA;
    SQLFreeStmt(m_hstmtAside, SQL_CLOSE);
    if (!found) return false;
    ++m_lookupsAside;
    return true;
}

bool vqDbTable::UpdateOnKey(const GenericKey& key) {
    std::vector<unsigned short> columns;
    for (unsigned short i = 0; i < m_numColumns; ++i)
        if (m_colDefs[i].CanUpdate()) columns.push_back(i);
    return UpdateOnKey(key, columns);
}

void vqDbTable::LogUpdate(UpdateResult result, const vqChar* rowName, const vqChar* detail) {
    m_updateResult = result;
    vqString row = rowName ? vqString(rowName) : vqString(vqT("The row"));
    vqString text = vqString::Format(vqT("%s of table \"%s\" keeps its stored values: %s\n"),
                                     row.c_str(), m_tableName.c_str(), detail);
    if (result == kUpdateLocked || result == kUpdateFailed)
        vqDbLogExtendedErrorMsg(text.c_str(), m_db, __FILE__, __LINE__);
    else
        vqLogError(vqT("%s"), text.c_str());
}

// Why an update that matched no row did not: the key finds no row, or more than one, or
// the row's changed columns no longer hold what was read.
vqDbTable::UpdateResult vqDbTable::WhyNotUpdated() {
    SQLFreeStmt(m_hstmtKeyCount, SQL_CLOSE);
    SQLUSMALLINT first = 1;
    if (m_rebindKeys && !BindKeyParams(m_hstmtKeyCount, first)) return kUpdateFailed;
    SQLBIGINT count = -1;
    SQLLEN ind = 0;
    SQLRETURN rc = SQLExecute(m_hstmtKeyCount);
    if (Ok(rc)) rc = SQLFetch(m_hstmtKeyCount);
    if (Ok(rc)) rc = SQLGetData(m_hstmtKeyCount, 1, SQL_C_SBIGINT, &count, 0, &ind);
    if (Ok(rc)) SQLFetch(m_hstmtKeyCount);  // read to the end: no lock stays behind
    SQLFreeStmt(m_hstmtKeyCount, SQL_CLOSE);
    if (!Ok(rc)) return kUpdateFailed;
    return count == 0 ? kUpdateRowGone : count == 1 ? kUpdateRowChanged : kUpdateKeyNotUnique;
}

bool vqDbTable::UpdateOnKey(const GenericKey& key, const std::vector<unsigned short>& columns,
                            const vqChar* rowName) {
    m_updateResult = kUpdateRefused;
    if (!m_isOpen || key.GetBlkSize() != KeySize() || KeySize() == 0) {
        LogUpdate(kUpdateRefused, rowName, vqT("the table is not open or the key does not fit it"));
        return false;
    }
    if (!m_keysExact) {
        LogUpdate(kUpdateRefused, rowName,
                  vqT("a floating-point key does not find its row exactly"));
        return false;
    }
    std::vector<unsigned short> set(columns);
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    for (unsigned short col : set) {
        if (col < m_numColumns && m_colDefs[col].CanUpdate()) continue;
        LogUpdate(
            kUpdateRefused, rowName,
            vqString::Format(vqT("column %d cannot be updated"), static_cast<int>(col)).c_str());
        return false;
    }
    if (set.empty()) {
        m_updateResult = kUpdateWritten;
        return true;
    }
    if (!WholeValues(set, vqT("Update"))) {
        m_updateResult = kUpdateRefused;
        return false;
    }
    // A column read only in part cannot be compared with what is stored now.
    for (unsigned short col : set) {
        if (!m_before[col].saved || !m_before[col].cut) continue;
        LogUpdate(kUpdateRowChanged, rowName,
                  vqString::Format(vqT("column \"%s\" was read only in part, so whether someone ")
                                       vqT("else changed it cannot be told"),
                                   m_colDefs[col].ColName.c_str())
                      .c_str());
        return false;
    }
    // Columns whose buffers changed without SetColumnValue have no value read to check.
    std::vector<bool> checked(set.size());
    for (size_t i = 0; i < set.size(); ++i) checked[i] = m_before[set[i]].saved;
    SQLHSTMT stmt = PrepareUpdate(set, checked);
    if (stmt == SQL_NULL_HSTMT || !BindUpdate(stmt, set, checked)) {
        m_updateResult = kUpdateFailed;
        return false;
    }
    LoadKeyParams(key);
    FillShadows();
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLRETURN rc = SQLExecute(stmt);
    if (!Ok(rc) && rc != SQL_NO_DATA) {
        m_db->TakeDiagnostics(SQL_HANDLE_STMT, stmt);
        bool locked = m_db->GetProfile().IsLockWait(m_db->GetLastState().ToUTF8(),
                                                    m_db->GetLastNativeError());
        LogUpdate(locked ? kUpdateLocked : kUpdateFailed, rowName,
                  locked ? vqT("another connection held a lock on it for too long")
                         : vqT("the update failed"));
        return false;
    }
    SQLLEN rows = 0;
    if (rc != SQL_NO_DATA) SQLRowCount(stmt, &rows);
    SQLFreeStmt(stmt, SQL_CLOSE);
    if (rows == 1) {
        m_updateResult = kUpdateWritten;
        ForgetBefore();  // the buffers now hold what is stored
        return true;
    }
    if (rows > 1) {
        // NOTE: cannot happen while the statement counts the rows the key finds.
        LogUpdate(
            kUpdateFailed, rowName,
            vqString::Format(vqT("the update changed %ld rows"), static_cast<long>(rows)).c_str());
        return false;
    }
    UpdateResult why = WhyNotUpdated();
    LogUpdate(why, rowName,
              why == kUpdateRowGone      ? vqT("no row has its key any more")
              : why == kUpdateRowChanged ? vqT("someone else changed it since it was read")
              : why == kUpdateKeyNotUnique
                  ? vqT("its key finds more than one row, so none was changed")
                  : vqT("the update changed no row"));
    return false;
}

bool vqDbTable::Insert() {
    if (!m_isOpen) {
        vqLogError(vqT("Insert into table \"%s\", which is not open"), m_tableName.c_str());
        return false;
    }
    static const vqChar* kMarker = vqT("?");
    // Prepared on first use and kept.
    if (!m_insertPrepared) {
        vqString marks;
        SQLUSMALLINT param = 1;
        for (unsigned short i = 0; i < m_numColumns; ++i) {
            if (!IsInsertable(m_colDefs[i])) continue;
            if (!marks.empty()) marks += vqT(",");
            marks += kMarker;
        }
        std::string sql = (vqT("INSERT INTO ") + vqDbQuoteName(m_tableName) + vqT(" (") +
                           ColumnList(IsInsertable) + vqT(") VALUES (") + marks + vqT(")"))
                              .ToUTF8();
        if (!Check(SQLPrepare(m_hstmtInsert, reinterpret_cast<SQLCHAR*>(&sql[0]), SQL_NTS),
                   m_hstmtInsert, vqT("Prepare insert"), __LINE__))
            return false;
        for (unsigned short i = 0; i < m_numColumns; ++i)
            if (IsInsertable(m_colDefs[i]) &&
                !BindParam(m_hstmtInsert, param++, i, m_colDefs[i].PtrDataObj,
                           &m_colDefs[i].CbValue, &m_shadows[i]))
                return false;
        m_insertPrepared = true;
    }
    std::vector<unsigned short> columns;
    for (unsigned short i = 0; i < m_numColumns; ++i)
        if (IsInsertable(m_colDefs[i])) columns.push_back(i);
    if (!WholeValues(columns, vqT("Insert"))) return false;
    FillShadows();
    SQLFreeStmt(m_hstmtInsert, SQL_CLOSE);
    return Check(SQLExecute(m_hstmtInsert), m_hstmtInsert, vqT("Insert"), __LINE__);
}

bool vqDbTable::IsColNull(unsigned short col) const {
    return col < m_numColumns && m_colDefs[col].CbValue == SQL_NULL_DATA;
}

bool vqDbTable::IsColTruncated(unsigned short col) const {
    if (col >= m_numColumns) return false;
    const vqDbColDef& c = m_colDefs[col];
    if (!IsVariable(c.SqlCtype) || c.CbValue == SQL_NULL_DATA) return false;
    if (c.CbValue == SQL_NTS) {
        size_t max = static_cast<size_t>(c.SzDataObj);
        return c.SqlCtype == SQL_C_CHAR &&
               strnlen(static_cast<const char*>(c.PtrDataObj), max) == max;
    }
    return c.CbValue == SQL_NO_TOTAL || c.CbValue > Capacity(c);
}

void vqDbTable::SetColNull(unsigned short col, bool isNull) {
    if (col >= m_numColumns) return;
    SaveBefore(col);
    vqDbColDef& c = m_colDefs[col];
    if (isNull) {
        memset(c.PtrDataObj, 0, static_cast<size_t>(c.SzDataObj));
        c.CbValue = SQL_NULL_DATA;
    } else if (c.CbValue == SQL_NULL_DATA) {
        c.CbValue = IsText(c.SqlCtype) ? 0 : c.SzDataObj;
    }
}

namespace {

// Hands the value in a column's buffer to sink, as the value of the variant kind it reads
// as: String (text, and binary as hexadecimal), an integer, Double or DateTime; Null for a
// null.
template <class Sink>
void ReadValue(const vqDbColDef& c, Sink& sink) {
    if (c.CbValue == SQL_NULL_DATA) return sink.Null();
    const void* p = c.PtrDataObj;
    switch (c.SqlCtype) {
        case SQL_C_CHAR: {
            const char* text = static_cast<const char*>(p);
            return sink.String(
                vqString::FromUTF8(text, strnlen(text, static_cast<size_t>(c.SzDataObj))));
        }
        case SQL_C_WCHAR: {
            const SQLWCHAR* text = static_cast<const SQLWCHAR*>(p);
            size_t max = static_cast<size_t>(c.SzDataObj) / sizeof(SQLWCHAR), n = 0;
            while (n < max && text[n]) ++n;
            return sink.String(vqString::FromUTF8(UTF16ToUTF8(text, n)));
        }
        case SQL_C_LONG:
        case SQL_C_SLONG:
            return sink.Integer(*static_cast<const SQLINTEGER*>(p));
        case SQL_C_ULONG:
            return sink.Integer(*static_cast<const SQLUINTEGER*>(p));
        case SQL_C_SHORT:
        case SQL_C_SSHORT:
            return sink.Integer(*static_cast<const SQLSMALLINT*>(p));
        case SQL_C_USHORT:
            return sink.Integer(*static_cast<const SQLUSMALLINT*>(p));
        case SQL_C_BIT:
        case SQL_C_UTINYINT:
        case SQL_C_TINYINT:
            return sink.Integer(*static_cast<const unsigned char*>(p));
        case SQL_C_STINYINT:
            return sink.Integer(*static_cast<const signed char*>(p));
        case SQL_C_SBIGINT:
            return sink.Integer(*static_cast<const SQLBIGINT*>(p));
        case SQL_C_FLOAT:
            return sink.Double(*static_cast<const SQLREAL*>(p));
        case SQL_C_DOUBLE:
            return sink.Double(*static_cast<const SQLDOUBLE*>(p));
        case SQL_C_DATE:
        case SQL_C_TYPE_DATE: {
            const SQL_DATE_STRUCT* d = static_cast<const SQL_DATE_STRUCT*>(p);
            return sink.DateTime(
                vqDateTime(d->year, d->month, d->day, 0, 0, 0, 0, vqDateTime::DatePart));
        }
        case SQL_C_TIME:
        case SQL_C_TYPE_TIME: {
            const SQL_TIME_STRUCT* t = static_cast<const SQL_TIME_STRUCT*>(p);
            return sink.DateTime(vqDateTime::Time(t->hour, t->minute, t->second));
        }
        case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP: {
            const SQL_TIMESTAMP_STRUCT* t = static_cast<const SQL_TIMESTAMP_STRUCT*>(p);
            return sink.DateTime(vqDateTime(t->year, t->month, t->day, t->hour, t->minute,
                                            t->second, static_cast<int>(t->fraction / 1000000)));
        }
        default: {
            // Binary and other columns read as hexadecimal text.
            const unsigned char* bytes = static_cast<const unsigned char*>(p);
            size_t n = c.CbValue >= 0 && c.CbValue < c.SzDataObj ? static_cast<size_t>(c.CbValue)
                                                                 : static_cast<size_t>(c.SzDataObj);
            vqString hex;
            for (size_t i = 0; i < n; ++i) hex += vqDecToHex(bytes[i]);
            return sink.String(std::move(hex));
        }
    }
}

// Makes the variant a value reads as.
struct VariantSink {
    vqVariant value;
    void Null() {}
    void String(vqString&& text) { value = vqVariant(text); }
    // NOTE: a long has 32 bits on Windows: an integer it cannot hold is its text there.
    void Integer(long long n) {
#if LONG_MAX < LLONG_MAX
        if (n < LONG_MIN || n > LONG_MAX) {
            vqChar text[vqVariant::kTextMax];
            value = vqVariant(vqString(text, static_cast<size_t>(vqWriteInt(text, n) - text)));
            return;
        }
#endif
        value = vqVariant(static_cast<long>(n));
    }
    void Double(double d) { value = vqVariant(d); }
    void DateTime(const vqDateTime& dt) { value = vqVariant(dt); }
};

// Makes the text of the variant a value reads as, with the variant's own conversions.
struct TextSink {
    vqString text;  // a text value's
    vqChar buffer[vqVariant::kTextMax];
    vqChar* end = nullptr;  // the end of the text written into buffer
    void Null() {}
    void String(vqString&& s) { text = std::move(s); }
    void Integer(long long n) { end = vqWriteInt(buffer, n); }
    void Double(double d) { end = vqVariant::WriteText(buffer, d); }
    void DateTime(const vqDateTime& dt) { end = dt.WriteTo(buffer); }
    vqString Result() {
        return end ? vqString(buffer, static_cast<size_t>(end - buffer)) : std::move(text);
    }
};

// The integer a text variant writes (blanks around it and a '+' allowed), or the rounded
// number it reads as when it writes none exactly: a long may have too few bits for it.
long long TextInteger(const vqVariant& value, double rounded) {
    std::string text = value.GetString().ToUTF8();
    size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    long long n = 0;
    if (first == std::string::npos) return static_cast<long long>(rounded);
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    std::from_chars_result result = std::from_chars(begin, end, n);
    return result.ec == std::errc() && result.ptr == end ? n : static_cast<long long>(rounded);
}

}  // namespace

vqVariant vqDbTable::GetColumnValue(unsigned short col) const {
    VariantSink sink;
    if (col < m_numColumns) ReadValue(m_colDefs[col], sink);
    return sink.value;
}

vqString vqDbTable::GetColumnText(unsigned short col) const {
    // A derived table may read its values its own way: then take the text of those.
    if (typeid(*this) != typeid(vqDbTable)) return GetColumnValue(col).GetString();
    if (col >= m_numColumns) return vqString();
    TextSink sink;
    ReadValue(m_colDefs[col], sink);
    return sink.Result();
}

bool vqDbTable::SetColumnValue(unsigned short col, const vqVariant value) {
    if (col >= m_numColumns) {
        vqLogError(vqT("SetColumnValue: table \"%s\" has no column %d"), m_tableName.c_str(),
                   static_cast<int>(col));
        return false;
    }
    SaveBefore(col);
    vqDbColDef& c = m_colDefs[col];
    if (value.IsNull()) {
        SetColNull(col, true);
        return true;
    }
    void* p = c.PtrDataObj;
    size_t size = static_cast<size_t>(c.SzDataObj);
    auto fail = [&](const vqChar* why) {
        vqLogError(vqT("SetColumnValue: %s for column \"%s\" of table \"%s\""), why,
                   c.ColName.c_str(), m_tableName.c_str());
        return false;
    };
    // The value as a number; empty text counts as 0. Null when it is no number at all.
    double d = 0;
    const vqChar* notNumber = nullptr;
    bool blank = value.GetKind() == vqVariant::String &&
                 value.GetString().ToUTF8().find_first_not_of(" \t") == std::string::npos;
    if (!blank && !value.ToDouble(d)) notNumber = vqT("not a number");
    if (!notNumber && !std::isfinite(d)) notNumber = vqT("value not finite");
    // Integers go in only when they fit the column: a wrapped value would be a different
    // number. Fractions round to the nearest integer.
    const vqChar* why = nullptr;
    auto integer = [&](long long lo, long long hi, long long& out) {
        if (value.GetKind() == vqVariant::Long) {
            out = value.GetLong();
        } else if ((why = notNumber) != nullptr) {
            return false;
        } else {
            double r = std::round(d);
            if (r < static_cast<double>(lo) || r > static_cast<double>(hi) ||
                r >= 9223372036854775808.0) {
                why = vqT("value out of range");
                return false;
            }
            // Beyond 2^53 a double is not exact: take the integer from the text itself.
            bool exactText =
                value.GetKind() == vqVariant::String && std::fabs(r) >= 9007199254740992.0;
            out = exactText ? TextInteger(value, r) : static_cast<long long>(r);
        }
        why = vqT("value out of range");
        return out >= lo && out <= hi;
    };
    long long n = 0;
    switch (c.SqlCtype) {
        case SQL_C_CHAR: {
            std::string text = value.GetString().ToUTF8();
            if (text.size() > size - 1) return fail(vqT("text longer than the column's buffer"));
            memcpy(p, text.data(), text.size());
            static_cast<char*>(p)[text.size()] = 0;
            c.CbValue = static_cast<SQLLEN>(text.size());
            return true;
        }
        case SQL_C_WCHAR: {
            std::string text = value.GetString().ToUTF8();
            std::u16string units = vqUTF8ToUTF16(text.data(), text.size());
            if (units.size() > size / sizeof(SQLWCHAR) - 1)
                return fail(vqT("text longer than the column's buffer"));
            SQLWCHAR* out = static_cast<SQLWCHAR*>(p);
            std::copy(units.begin(), units.end(), out);
            out[units.size()] = 0;
            c.CbValue = static_cast<SQLLEN>(units.size() * sizeof(SQLWCHAR));
            return true;
        }
        case SQL_C_LONG:
        case SQL_C_SLONG:
            if (!integer(INT32_MIN, INT32_MAX, n)) return fail(why);
            *static_cast<SQLINTEGER*>(p) = static_cast<SQLINTEGER>(n);
            break;
        case SQL_C_ULONG:
            if (!integer(0, UINT32_MAX, n)) return fail(why);
            *static_cast<SQLUINTEGER*>(p) = static_cast<SQLUINTEGER>(n);
            break;
        case SQL_C_SHORT:
        case SQL_C_SSHORT:
            if (!integer(INT16_MIN, INT16_MAX, n)) return fail(why);
            *static_cast<SQLSMALLINT*>(p) = static_cast<SQLSMALLINT>(n);
            break;
        case SQL_C_USHORT:
            if (!integer(0, UINT16_MAX, n)) return fail(why);
            *static_cast<SQLUSMALLINT*>(p) = static_cast<SQLUSMALLINT>(n);
            break;
        case SQL_C_BIT:
        case SQL_C_UTINYINT:
        case SQL_C_TINYINT:
            if (!integer(0, c.SqlCtype == SQL_C_BIT ? 1 : 255, n)) return fail(why);
            *static_cast<unsigned char*>(p) = static_cast<unsigned char>(n);
            break;
        case SQL_C_STINYINT:
            if (!integer(-128, 127, n)) return fail(why);
            *static_cast<signed char*>(p) = static_cast<signed char>(n);
            break;
        case SQL_C_SBIGINT:
            if (!integer(LLONG_MIN, LLONG_MAX, n)) return fail(why);
            *static_cast<SQLBIGINT*>(p) = n;
            break;
        case SQL_C_FLOAT:
            if (notNumber) return fail(notNumber);
            if (std::fabs(d) > FLT_MAX) return fail(vqT("value out of range"));
            *static_cast<SQLREAL*>(p) = static_cast<SQLREAL>(d);
            break;
        case SQL_C_DOUBLE:
            if (notNumber) return fail(notNumber);
            *static_cast<SQLDOUBLE*>(p) = d;
            break;
        case SQL_C_DATE:
        case SQL_C_TYPE_DATE:
        case SQL_C_TIME:
        case SQL_C_TYPE_TIME:
        case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP: {
            // A pointer variant carries a vqDateTime that the caller keeps.
            vqDateTime dt =
                value.GetKind() == vqVariant::Pointer
                    ? (value.GetVoidPtr() ? *static_cast<const vqDateTime*>(value.GetVoidPtr())
                                          : vqDateTime())
                    : value.GetDateTime();
            if (!dt.IsValid()) return fail(vqT("not a date and time"));
            // A time of day alone has no date to store, a date alone no time of day.
            bool time = IsTime(c.SqlCtype);
            if (!(dt.GetParts() & (time ? vqDateTime::TimePart : vqDateTime::DatePart)))
                return fail(time ? vqT("no time of day") : vqT("no date"));
            if (!time && !YearInRange(dt.GetYear())) return fail(vqT("year out of range"));
            if (IsDate(c.SqlCtype)) {
                SQL_DATE_STRUCT* d = static_cast<SQL_DATE_STRUCT*>(p);
                d->year = static_cast<SQLSMALLINT>(dt.GetYear());
                d->month = static_cast<SQLUSMALLINT>(dt.GetMonth());
                d->day = static_cast<SQLUSMALLINT>(dt.GetDay());
            } else if (time) {
                SQL_TIME_STRUCT* t = static_cast<SQL_TIME_STRUCT*>(p);
                t->hour = static_cast<SQLUSMALLINT>(dt.GetHour());
                t->minute = static_cast<SQLUSMALLINT>(dt.GetMinute());
                t->second = static_cast<SQLUSMALLINT>(dt.GetSecond());
            } else {
                // A date alone is midnight, whatever time fields it carries.
                bool clock = dt.GetParts() & vqDateTime::TimePart;
                SQL_TIMESTAMP_STRUCT* t = static_cast<SQL_TIMESTAMP_STRUCT*>(p);
                t->year = static_cast<SQLSMALLINT>(dt.GetYear());
                t->month = static_cast<SQLUSMALLINT>(dt.GetMonth());
                t->day = static_cast<SQLUSMALLINT>(dt.GetDay());
                t->hour = static_cast<SQLUSMALLINT>(clock ? dt.GetHour() : 0);
                t->minute = static_cast<SQLUSMALLINT>(clock ? dt.GetMinute() : 0);
                t->second = static_cast<SQLUSMALLINT>(clock ? dt.GetSecond() : 0);
                t->fraction = clock ? static_cast<SQLUINTEGER>(dt.GetMillisecond()) * 1000000u : 0;
            }
            break;
        }
        default:
            return fail(vqT("values of this column type cannot be set"));
    }
    c.CbValue = static_cast<SQLLEN>(size);
    return true;
}
