// The database layer over ODBC: a connection (vqDb), a table with column
// buffers bound to its result sets (vqDbTable), row keys (GenericKey) and the
// logger for database errors.
//
// Every SQL statement is prepared once and reused; identifiers are quoted and
// values always travel as bound parameters, never as SQL text. Where and order
// clauses given by the application are SQL fragments and used as given.
#ifndef VQ_DB_H
#define VQ_DB_H

// NOTE: MinGW's <sql.h> needs the types of <windows.h> declared before it.
#include "vq/platform/windows_fixups.h"
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vq/string.h"
#include "vq/variant.h"

#ifdef VQMAKING_ODBC
#define VQ_ODBC_API VQ_EXPORT
#else
#define VQ_ODBC_API VQ_IMPORT
#endif

// Logical data types of column definitions.
enum {
    vqDB_DATA_TYPE_VARCHAR = 1,
    vqDB_DATA_TYPE_INTEGER = 2,
    vqDB_DATA_TYPE_FLOAT = 3,
    vqDB_DATA_TYPE_DATE = 4,
    vqDB_DATA_TYPE_BLOB = 5
};

// A row key: an opaque block of bytes owned by the key, which m_block points at. A key
// of up to kInlineSize bytes keeps them inside the object; a longer one in a block
// allocated with malloc. Every copy has bytes of its own.
class GenericKey {
public:
    enum { kInlineSize = 16 };

    GenericKey() : m_block(nullptr), m_blockSize(0) {}
    GenericKey(const void* block, size_t blockSize) : GenericKey() { Assign(block, blockSize); }
    GenericKey(const GenericKey& other) : GenericKey() { Assign(other.m_block, other.m_blockSize); }
    GenericKey& operator=(const GenericKey& other) {
        if (this != &other) Assign(other.m_block, other.m_blockSize);
        return *this;
    }
    ~GenericKey() { Release(); }

    void* GetBlk() const { return m_block; }
    size_t GetBlkSize() const { return m_blockSize; }
    // Makes the key blockSize bytes long, their content undefined, and returns them.
    unsigned char* Resize(size_t blockSize) {
        Release();
        m_block = blockSize == 0             ? nullptr
                  : blockSize <= kInlineSize ? m_inline
                                             : malloc(blockSize);
        if (blockSize && !m_block) abort();
        m_blockSize = blockSize;
        return static_cast<unsigned char*>(m_block);
    }
    bool operator==(const GenericKey& o) const {
        return m_blockSize == o.m_blockSize &&
               (m_blockSize == 0 || memcmp(m_block, o.m_block, m_blockSize) == 0);
    }

    void* m_block;
    size_t m_blockSize;

private:
    // Copies another key's bytes (never this key's own: assignment skips itself).
    void Assign(const void* block, size_t blockSize) {
        unsigned char* bytes = Resize(blockSize);
        if (blockSize) memcpy(bytes, block, blockSize);
    }
    void Release() {
        if (m_block != m_inline) free(m_block);
        m_block = nullptr;
        m_blockSize = 0;
    }

    alignas(8) unsigned char m_inline[kInlineSize];
};

class vqDbProfile;

// A database connection. The application owns it and keeps it open while tables use it.
class VQ_ODBC_API vqDb {
public:
    vqDb();
    // Connects at once; check IsOpen().
    explicit vqDb(const vqString& connectionString);
    // Closes the connection (the tables on it must be gone).
    ~vqDb();

    // Connects with an ODBC connection string, e.g. "Driver=SQLite3;Database=x.db",
    // of at most vqDB_MAX_CONNECTION_STRING bytes in UTF-8. Keys are read without
    // case and with blanks around them ignored; a value in braces may hold ';' and
    // writes '}' as "}}". The string goes to the driver manager rewritten in that
    // plain form, with the option that makes the SQLite3 and PostgreSQL drivers
    // stream result sets (StepAPI=1, UseDeclareFetch=1) added unless it is set, and for
    // SQLite3 the busy timeout that bounds lock waits to kLockWaitMs (Timeout) unless set.
    // A malformed string is a logged error and no connection is tried.
    bool Open(const vqString& connectionString);
    void Close();
    bool IsOpen() const { return m_hdbc != SQL_NULL_HDBC; }

    // The connection string as used for connecting, and the driver's file name.
    const vqString& GetConnectionString() const { return m_connectionString; }
    const vqString& GetDriverName() const { return m_driverName; }
    // What this connection's driver does differently (internal to the database layer).
    const vqDbProfile& GetProfile() const { return *m_profile; }
    // The longest an update waits for a lock that another connection holds before it gives
    // up, writing nothing (on SQLite3 every statement waits at most this long).
    enum { kLockWaitMs = 2000 };
    SQLHENV GetHENV() const { return m_henv; }
    SQLHDBC GetHDBC() const { return m_hdbc; }

    // Runs one SQL statement without parameters (DDL, transactions); logs a failure.
    bool ExecSql(const vqString& sql);

    // Records the first diagnostic record of a handle as the last error.
    void TakeDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
    // The last recorded error: SQLSTATE, native code and driver message.
    const vqString& GetLastState() const { return m_lastState; }
    long GetLastNativeError() const { return m_lastNative; }
    const vqString& GetLastMessage() const { return m_lastMessage; }

    // Key lookups of tables on a connection that turns every statement into a server
    // cursor (psqlODBC with UseDeclareFetch=1) run on a second connection without that:
    // a cursor costs each lookup extra round trips. This opens the second connection on
    // first use and gives it this connection's session settings (SET by the application
    // included) as they are now; false, and the lookups stay on this connection, for
    // other drivers, a transaction isolated beyond read committed, or any failure.
    bool PrepareLookupConnection();
    SQLHDBC GetLookupHDBC() const { return m_lookupHdbc; }
    // The quoted, schema-qualified name under which the second connection finds the
    // relation this connection finds as quotedName; empty for a temporary table (which
    // only this connection sees) or an unknown name.
    vqString LookupRelationName(const vqString& quotedName);
    // The longest the second connection waits for a lock before a lookup goes back to
    // this connection (which may be the one holding the lock).
    enum { kLookupLockWaitMs = 100 };

    // With server cursors, the rows a cursor fetches in one round trip: few for a query's
    // first rows, so that the first come at once, and many after them, so that a scan
    // takes few round trips; memory stays bounded either way. Only where the connection
    // string left the number (Fetch) and the option (UseDeclareFetch) to vqDb.
    void SetCursorBatch(bool firstRows);
    enum { kFirstBatchRows = 256, kLaterBatchRows = 4096 };

private:
    vqDb(const vqDb&) = delete;
    vqDb& operator=(const vqDb&) = delete;
    bool Connect(const vqString& connectionString);
    bool UsesServerCursors() const;

    SQLHENV m_henv;
    SQLHDBC m_hdbc;
    vqString m_connectionString;
    vqString m_driverName;
    vqString m_lastState;
    long m_lastNative;
    vqString m_lastMessage;
    SQLHDBC m_lookupHdbc;
    bool m_lookupRefused;  // the second connection could not be opened: not tried again
    bool m_batchTunable;
    SQLULEN m_batchRows;
    const vqDbProfile* m_profile;
};

// Logs a database error with vqLogError: the caller's text, the last SQLSTATE,
// native code and driver message recorded on db (if any), and the caller's source
// file and line.
VQ_ODBC_API void vqDbLogExtendedErrorMsg(const vqChar* userText, vqDb* db, const char* errFile,
                                         int errLine);

// The longest connection string vqDb::Open accepts, in bytes of UTF-8.
enum { vqDB_MAX_CONNECTION_STRING = 4096 };

// Value of a key in an ODBC connection string (keys compare without case, the first
// of repeated keys counts); empty when absent or when the string is malformed.
VQ_ODBC_API vqString vqDbConnectionValue(const vqString& connectionString, const vqString& key);
// The connection string with the streaming option that the named driver needs added,
// unless the string sets it already; unchanged for other drivers.
VQ_ODBC_API vqString vqDbAddStreamingOption(const vqString& connectionString,
                                            const vqString& driver);
// Quotes an identifier for SQL, doubling embedded double quotes.
VQ_ODBC_API vqString vqDbQuoteName(const vqString& name);

// One column of a table: its name, logical type, bound buffer and flags.
struct VQ_ODBC_API vqDbColDef {
    vqString ColName;
    int DbDataType = 0;
    SWORD SqlCtype = 0;  // SQL_C_ code of the buffer
    void* PtrDataObj = nullptr;
    long SzDataObj = 0;  // buffer size in bytes
    bool KeyField = false;
    bool Updateable = true;
    bool InsertAllowed = true;
    bool DerivedCol = false;
    SQLLEN CbValue = SQL_NULL_DATA;  // length indicator after a fetch; SQL_NULL_DATA for null

    // Whether an update may write this column: updatable, and neither key nor derived.
    bool CanUpdate() const { return Updateable && !KeyField && !DerivedCol; }
};

class vqDbGridTableBase;

// A table of a database with one buffer per column. The application owns it.
// Access mode 0 fetches the rows of Query() in order; mode 1 fetches the row that
// QueryOnKeyFields() selected, on a second statement, so the sequential cursor
// keeps its position.
class VQ_ODBC_API vqDbTable {
    friend class vqDbGridTableBase;

public:
    vqDbTable(vqDb* db, const vqString& tableName, unsigned short numColumns);
    virtual ~vqDbTable();

    // Defines column index. A null buffer makes the table allocate (and own) one of
    // size bytes (or the C type's size for fixed-size types). False for a bad index.
    bool SetColDefs(unsigned short index, const vqString& name, int dataType, void* buffer,
                    SWORD sqlCType, long size, bool keyField = false, bool updateable = true,
                    bool insertAllowed = true, bool derivedColumn = false);
    // Binds the buffers and prepares the statements; false (logged) when the table
    // or a column does not exist or the connection is closed.
    bool Open();
    bool IsOpen() const { return m_isOpen; }

    void SetWhereClause(const vqString& where) { m_where = where; }
    void SetOrderByClause(const vqString& orderBy) { m_orderBy = orderBy; }
    // Starts the sequential cursor over the rows the where clause selects; the cursor
    // closes when a fetch finds no further row.
    bool Query();
    // Fetches the next row of the sequential cursor into the buffers (access mode 0).
    bool GetNext();
    // Fetches the next row of the current access mode's statement (mode 1: the key lookup).
    bool Fetch() { return getRec(SQL_FETCH_NEXT); }
    // True when the last fetch failed because there was no further row, rather than
    // because of an error.
    bool IsAtEnd() const { return m_atEnd; }
    // Number of rows the where clause selects ("*", or a column name for its non-null
    // values); 0 on failure (logged).
    unsigned long Count(const vqString& args = vqT("*"));

    virtual void SetAccessMode(int mode) { m_accessMode = mode; }
    int GetAccessMode() const { return m_accessMode; }

    // The key of the current row: the key columns' values as read (text zero-filled after
    // its end, binary with its length, dates and times as the text the database holds).
    // Empty when the row has no usable key: no key columns, or a key value that is null,
    // was cut to its buffer, or holds a NUL where the driver's reading stopped.
    virtual GenericKey GetRowKey();
    // Writes key bytes back into the key columns' buffers.
    virtual void SetRowKey(const GenericKey& key);
    // Zeroes every buffer; marks every column null when setToNull is true.
    void ClearMemberVars(bool setToNull = false);
    // Selects the row whose key the key columns' buffers hold; getRec in mode 1 loads it
    // and closes the lookup, so a second fetch finds no further row. False (logged) when
    // the buffers hold no usable key.
    //
    // Where the connection makes a server cursor of every statement, the lookup runs on
    // the connection's second one (vqDb::PrepareLookupConnection), against the relation
    // this connection sees, and loads the row at once. That connection cannot see what
    // this one changed and has not committed: a row it does not find, or finds being
    // changed, deleted or locked by any transaction, is looked up here again; so is every
    // row once the second connection fails (until the next Query), and the next few
    // hundred after it waited for a lock in vain.
    bool QueryOnKeyFields(bool forUpdate = false, bool distinct = false);

    // The value of column col in the buffers; a null variant for a null value or a bad column.
    // An integer is a Long variant, or (on Windows, where a long has 32 bits) a String
    // variant of its digits when a long cannot hold it.
    virtual vqVariant GetColumnValue(unsigned short col) const;
    // The text of that value, as GetColumnValue(col).GetString() gives it, made without a
    // variant. A derived table gets the text of its own GetColumnValue, unless it
    // overrides this as well.
    virtual vqString GetColumnText(unsigned short col) const;
    // Stores a value into column col's buffer, converted to the column's type; a null
    // variant makes the column null. False (logged), with the buffer unchanged, when it
    // does not convert or fit: text longer than the buffer, a number out of the type's
    // range or not finite, text that is not a number for a number column, a date or
    // time without the part the column holds or with a year outside 1-9999.
    virtual bool SetColumnValue(unsigned short col, const vqVariant value);
    bool IsColNull(unsigned short col) const;
    // Whether the text or binary value in column col's buffer was cut to the buffer
    // when it was fetched: the buffer then holds only its beginning.
    bool IsColTruncated(unsigned short col) const;
    void SetColNull(unsigned short col, bool isNull = true);

    // Inserts a row from the buffers of the insertable columns. False (logged) when a
    // buffer holds a value only in part (IsColTruncated).
    bool Insert();

    // How the last UpdateOnKey ended.
    enum UpdateResult {
        kUpdateWritten,       // exactly the one row changed
        kUpdateRefused,       // nothing was sent: a bad column, a cut value, an unfit key
        kUpdateRowGone,       // no row has the key any more
        kUpdateRowChanged,    // another writer changed a column since it was read
        kUpdateKeyNotUnique,  // the key finds more than one row
        kUpdateLocked,        // another connection held a lock longer than vqDb::kLockWaitMs
        kUpdateFailed         // the driver reported another error
    };
    // Updates every column that CanUpdate() of the row with this key from the buffers.
    bool UpdateOnKey(const GenericKey& key);
    // Updates only the given columns (each must CanUpdate()) of the row with this key;
    // true at once for an empty list. The update changes exactly one row or nothing: it
    // writes only where the key finds one row and, for each column given a value through
    // SetColumnValue or SetColNull since the row was fetched, only where the column still
    // holds the value read then (a value read only in part never compares equal). It
    // waits at most vqDb::kLockWaitMs for another connection's lock. False, logged once
    // with rowName (e.g. "Row 3") and GetUpdateResult() telling why, when nothing was
    // written. The statement for each set of columns is prepared on first use and kept
    // (the last few sets).
    bool UpdateOnKey(const GenericKey& key, const std::vector<unsigned short>& columns,
                     const vqChar* rowName = nullptr);
    UpdateResult GetUpdateResult() const { return m_updateResult; }

    // Whether the rows' keys find their rows exactly. False when a key column holds
    // floating-point values, which do not survive reading and writing unchanged: such
    // rows have no key (GetRowKey is empty), so they are never looked up or written.
    bool AreKeysExact() const { return m_keysExact; }
    // Whether the last key lookup found a row other than the one asked for: one whose
    // key reads differently, or a second row with the same key. It then loads no row.
    bool LookupFoundOther() const { return m_lookupOther; }

    unsigned short GetNumberOfColumns() const { return m_numColumns; }
    vqDbColDef* GetColDefs() const { return m_colDefs; }
    vqDb* GetDb() const { return m_db; }
    const vqString& GetTableName() const { return m_tableName; }

    // Rows fetched so far (both modes) and key lookups executed, for tests and tuning.
    unsigned long GetFetchCount() const { return m_fetchCount; }
    unsigned long GetKeyQueryCount() const { return m_keyQueryCount; }
    // Key lookups answered on the connection's second connection.
    unsigned long GetLookupsAside() const { return m_lookupsAside; }

private:
    vqDbTable(const vqDbTable&) = delete;
    vqDbTable& operator=(const vqDbTable&) = delete;

    // Fetches with fetchType (SQL_FETCH_NEXT) on the current access mode's statement.
    bool getRec(UWORD fetchType);

    // A prepared UPDATE of one set of columns.
    struct UpdateStatement {
        std::vector<unsigned short> columns;
        std::vector<bool> checked;  // the columns whose value read is compared
        SQLHSTMT stmt;
    };
    // One key column's part of a key block.
    struct KeyPart {
        enum Kind { kFixed, kText, kBinary, kDateText } kind;
        unsigned short col;
        size_t offset, size;  // within the key block
        int hidden;           // the extra column read for it, or -1
        SQLSMALLINT sqlType;  // kDateText: the type its text is bound as
        SQLBIGINT shadow;
        SQLLEN ind;
    };
    // A column read beside the table's own: a date or time key column as text, or the
    // stored length of a text key column.
    struct Hidden {
        std::string sql;
        SWORD cType;
        std::vector<unsigned char> buffer;
        SQLLEN ind;
    };
    // A column's value as fetched, kept once it is first changed, for the update's check.
    struct Before {
        std::vector<unsigned char> bytes;
        SQLLEN ind = 0;
        SQLBIGINT shadow = 0;
        bool saved = false, cut = false;
    };

    bool Check(SQLRETURN rc, SQLHSTMT stmt, const vqChar* what, int line);
    bool BindParam(SQLHSTMT stmt, SQLUSMALLINT number, unsigned short col, void* buffer,
                   SQLLEN* indicator, SQLBIGINT* shadow);
    bool BindKeyParams(SQLHSTMT stmt, SQLUSMALLINT& number);
    void LoadKeyParams(const GenericKey& key);
    bool PrepareKeyedStatements();
    SQLHSTMT PrepareUpdate(const std::vector<unsigned short>& columns,
                           const std::vector<bool>& checked);
    bool BindUpdate(SQLHSTMT stmt, const std::vector<unsigned short>& columns,
                    const std::vector<bool>& checked);
    bool WholeValues(const std::vector<unsigned short>& columns, const vqChar* what);
    bool CheckColumnsExist();
    bool BindRow(SQLHSTMT stmt);
    void PlanKey();
    void SaveBefore(unsigned short col);
    void ForgetBefore();
    bool FoundRowIsAsked(SQLHSTMT stmt);
    UpdateResult WhyNotUpdated();
    void LogUpdate(UpdateResult result, const vqChar* rowName, const vqChar* detail);
    bool FetchBatch();
    bool NextFromBatch();
    void PrepareLookupAside();
    bool LookupAside();
    void FillShadows();
    size_t KeySize() const;
    vqString ColumnList(bool (*wanted)(const vqDbColDef&)) const;
    vqString SelectList() const;

    vqDb* m_db;
    vqString m_tableName;
    unsigned short m_numColumns;
    vqDbColDef* m_colDefs;
    std::vector<void*> m_ownedBuffers;
    // NOTE: SQL_C_ULONG and tiny integer parameters go through these as 64-bit values.
    std::vector<SQLBIGINT> m_shadows;
    std::vector<unsigned char> m_keyParams;  // the key block lookups and updates bind
    std::vector<unsigned short> m_keyColumns;
    std::vector<KeyPart> m_keyParts;
    std::vector<Hidden> m_hidden;
    std::vector<Before> m_before;
    GenericKey m_askedKey;  // the key of the last lookup
    bool m_keysExact, m_lookupOther, m_nulKeyLogged;
    bool m_rebindKeys;  // a key part's length changes from lookup to lookup
    UpdateResult m_updateResult;
    bool m_isOpen;
    bool m_insertPrepared;
    bool m_atEnd;
    bool m_seqDone, m_keyDone;  // the cursor is closed: its rows were all read
    bool m_seqFetched;          // the sequential cursor gave its first row
    int m_accessMode;
    vqString m_where, m_orderBy, m_preparedCount, m_keyWhere;
    SQLHSTMT m_hstmtSeq, m_hstmtKey, m_hstmtCount, m_hstmtInsert, m_hstmtKeyCount;
    std::vector<UpdateStatement> m_updates;  // most recently used first
    unsigned long m_fetchCount, m_keyQueryCount;
    // A scan that reads forward in batches, each read to its end and kept here, so that
    // no statement stays open between the grid's requests (where the driver needs it).
    bool m_batchScan;
    SQLBIGINT m_batchRowid, m_batchAfter, m_batchLimit, m_batchOffset;
    SQLLEN m_batchRowidInd;
    std::vector<unsigned char> m_batchRows;
    size_t m_batchStride, m_batchCount, m_batchNext, m_batchesRead, m_batchRowsSeen;
    bool m_batchLast;
    bool m_batchByOffset;  // the application orders the rows: batches go on by OFFSET
    // The key lookup on the connection's second connection, with the row's version.
    enum AsideState { kAsideUnprepared, kAsideReady, kAsideOff };
    AsideState m_asideState;
    SQLHSTMT m_hstmtAside;
    char m_asideXmax[24];
    SQLLEN m_asideXmaxInd;
    bool m_asideRowLoaded;  // the buffers hold the row the lookup aside found
    int m_asideRest;        // lookups that stay on this connection after a lock wait
    enum { kAsideRestAfterLock = 256 };
    unsigned long m_lookupsAside;
};

#endif
