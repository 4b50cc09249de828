#include "vq/db.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "db_profile.h"
#include "vq/log.h"

namespace {

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// One "key=value" attribute of a connection string: the key as written (blanks around it
// removed) and the value with its braces and escapes undone.
struct Attribute {
    std::string key, value;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads a connection string the way ODBC does: attributes separated by ';', keys without
// case and blanks around them, values in braces may hold ';' and write '}' as "}}".
// False for a malformed string, with what is wrong and the byte offset where.
bool ParseConnection(const std::string& s, std::vector<Attribute>& out, const char*& why,
                     size_t& where) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsBlank(s[i])) ++i;
        if (i < s.size() && s[i] == ';') {
            ++i;
            continue;
        }
        if (i == s.size()) break;
        size_t keyStart = i;
        while (i < s.size() && s[i] != '=' && s[i] != ';' && s[i] != '{' && s[i] != '}') ++i;
        where = keyStart;
        if (i == s.size() || s[i] != '=') {
            why = i < s.size() && s[i] != ';' ? "a brace in a key" : "an attribute without '='";
            return false;
        }
        Attribute a;
        size_t keyEnd = i;
        while (keyEnd > keyStart && IsBlank(s[keyEnd - 1])) --keyEnd;
        a.key = s.substr(keyStart, keyEnd - keyStart);
        if (a.key.empty()) {
            why = "an empty key";
            return false;
        }
        ++i;
        while (i < s.size() && IsBlank(s[i])) ++i;
        if (i < s.size() && s[i] == '{') {
            where = i;
            for (++i;; ++i) {
                if (i == s.size()) {
                    why = "a brace that is not closed";
                    return false;
                }
                if (s[i] != '}') {
                    a.value += s[i];
                } else if (i + 1 < s.size() && s[i + 1] == '}') {
                    a.value += '}';
                    ++i;
                } else {
                    break;
                }
            }
            for (++i; i < s.size() && IsBlank(s[i]); ++i) {
            }
            if (i < s.size() && s[i] != ';') {
                where = i;
                why = "text after a closing brace";
                return false;
            }
        } else {
            size_t valueStart = i;
            while (i < s.size() && s[i] != ';') ++i;
            size_t valueEnd = i;
            while (valueEnd > valueStart && IsBlank(s[valueEnd - 1])) --valueEnd;
            a.value = s.substr(valueStart, valueEnd - valueStart);
        }
        out.push_back(a);
    }
    return true;
}

// Writes attributes back as a connection string, in braces where a value needs them.
std::string JoinConnection(const std::vector<Attribute>& attributes) {
    std::string s;
    for (const Attribute& a : attributes) {
        if (!s.empty()) s += ';';
        s += a.key + '=';
        bool braces = a.value.find_first_of(";{}") != std::string::npos ||
                      (!a.value.empty() && (IsBlank(a.value.front()) || IsBlank(a.value.back())));
        if (!braces) {
            s += a.value;
            continue;
        }
        s += '{';
        for (char c : a.value) s += c == '}' ? std::string("}}") : std::string(1, c);
        s += '}';
    }
    return s;
}

// The connection string with key set to value (every earlier setting of it removed).
std::string WithConnectionValue(const std::string& connection, const std::string& key,
                                const std::string& value) {
    std::vector<Attribute> attributes, kept;
    const char* why = nullptr;
    size_t where = 0;
    ParseConnection(connection, attributes, why, where);
    for (const Attribute& a : attributes)
        if (Lower(a.key) != Lower(key)) kept.push_back(a);
    kept.push_back(Attribute{key, value});
    return JoinConnection(kept);
}

// Whether a driver file a profile names may be there to load.
bool DriverFileMayExist(const std::string& path) {
#ifdef _WIN32
    // NOTE: under Wine the driver manager is the host's and loads the host's drivers by
    // their Unix paths, which Windows file calls cannot check: every path is tried.
    (void)path;
    return true;
#else
    return access(path.c_str(), R_OK) == 0;
#endif
}

// The SQLSTATE and message of a handle's first diagnostic record, for debug lines.
std::string DiagnosticText(SQLSMALLINT handleType, SQLHANDLE handle) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = "";
    SQLSMALLINT length = 0;
    if (!Ok(SQLGetDiagRec(handleType, handle, 1, state, &native, message, sizeof(message),
                          &length)))
        return "no diagnostic record";
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

}  // namespace

// ---------------------------------------------------------------- helpers

bool vqDbRunText(SQLHDBC hdbc, const std::string& sql, const std::vector<std::string>& params,
                 std::vector<std::vector<std::string>>* rows, std::string& why) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &stmt))) {
        why = DiagnosticText(SQL_HANDLE_DBC, hdbc);
        return false;
    }
    std::vector<SQLLEN> lengths(params.size(), SQL_NTS);
    SQLRETURN rc = SQL_SUCCESS;
    for (size_t i = 0; i < params.size() && Ok(rc); ++i)
        rc = SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                              SQL_VARCHAR, params[i].size() + 1, 0,
                              const_cast<char*>(params[i].c_str()), 0, &lengths[i]);
    if (Ok(rc))
        rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                           SQL_NTS);
    SQLSMALLINT columns = 0;
    if (Ok(rc) && rows) rc = SQLNumResultCols(stmt, &columns);
    while (Ok(rc) && rows && Ok(rc = SQLFetch(stmt))) {
        std::vector<std::string> row(static_cast<size_t>(columns));
        for (SQLSMALLINT c = 0; c < columns && Ok(rc); ++c) {
            char piece[512];
            SQLLEN got = 0;
            // A long value comes in pieces, each but the last filling the buffer.
            while (Ok(rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, piece,
                                      sizeof(piece), &got)) &&
                   got != SQL_NULL_DATA) {
                bool whole = rc == SQL_SUCCESS;
                row[static_cast<size_t>(c)] += piece;
                if (whole) break;
            }
            if (rc == SQL_NO_DATA) rc = SQL_SUCCESS;
        }
        rows->push_back(row);
    }
    bool ok = Ok(rc) || rc == SQL_NO_DATA;
    if (!ok) why = DiagnosticText(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

vqString vqDbQuoteName(const vqString& name) {
    vqString quoted(vqT("\""));
    for (size_t i = 0; i < name.length(); ++i) {
        if (name[i] == vqT('"')) quoted += vqT('"');
        quoted += name[i];
    }
    quoted += vqT('"');
    return quoted;
}

vqString vqDbConnectionValue(const vqString& connectionString, const vqString& key) {
    std::vector<Attribute> attributes;
    const char* why = nullptr;
    size_t where = 0;
    if (!ParseConnection(connectionString.ToUTF8(), attributes, why, where)) return vqString();
    std::string wanted = Lower(key.ToUTF8());
    for (const Attribute& a : attributes)
        if (Lower(a.key) == wanted) return vqString::FromUTF8(a.value);
    return vqString();
}

namespace {

// The connection string with a profile's attributes added under key, unless it sets key.
vqString AddOption(const vqString& connectionString, const char* key, const std::string& attrs) {
    if (!key || attrs.empty() ||
        !vqDbConnectionValue(connectionString, vqString::FromUTF8(key)).empty())
        return connectionString;
    vqString result = connectionString;
    if (!result.empty() && result[result.length() - 1] != vqT(';')) result += vqT(";");
    return result + vqString::FromUTF8(attrs);
}

// The options a driver's profile adds to every connection string.
vqString AddProfileOptions(const vqString& connectionString, const vqDbProfile& profile) {
    const char* streaming = profile.StreamingAttributes();
    vqString conn = AddOption(connectionString, profile.StreamingKey(), streaming ? streaming : "");
    return AddOption(conn, profile.LockWaitKey(), profile.LockWaitAttributes(vqDb::kLockWaitMs));
}

}  // namespace

vqString vqDbAddStreamingOption(const vqString& connectionString, const vqString& driver) {
    const vqDbProfile& profile = vqDbProfile::ForDriver(driver.ToUTF8());
    const char* streaming = profile.StreamingAttributes();
    return AddOption(connectionString, profile.StreamingKey(), streaming ? streaming : "");
}

void vqDbLogExtendedErrorMsg(const vqChar* userText, vqDb* db, const char* errFile, int errLine) {
    vqString text = userText ? vqString(userText) : vqString();
    if (db && !db->GetLastState().empty())
        text += vqString::Format(
            vqT("SQLSTATE = %s\nNative error code = %ld\nError message = %s\n"),
            db->GetLastState().c_str(), db->GetLastNativeError(), db->GetLastMessage().c_str());
    vqString file = vqString::FromUTF8(errFile ? errFile : "");
    text += vqString::Format(vqT("File = %s\nLine = %d"), file.c_str(), errLine);
    vqLogError(vqT("%s"), text.c_str());
}

// ---------------------------------------------------------------- vqDb

vqDb::vqDb()
    : m_henv(SQL_NULL_HENV),
      m_hdbc(SQL_NULL_HDBC),
      m_lastNative(0),
      m_lookupHdbc(SQL_NULL_HDBC),
      m_lookupRefused(false),
      m_batchTunable(false),
      m_batchRows(0),
      m_profile(&vqDbProfile::ForDriver("")) {}

vqDb::vqDb(const vqString& connectionString) : vqDb() { Open(connectionString); }

vqDb::~vqDb() { Close(); }

void vqDb::Close() {
    if (m_lookupHdbc != SQL_NULL_HDBC) {
        SQLDisconnect(m_lookupHdbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_lookupHdbc);
        m_lookupHdbc = SQL_NULL_HDBC;
    }
    m_lookupRefused = m_batchTunable = false;
    if (m_hdbc != SQL_NULL_HDBC) {
        SQLDisconnect(m_hdbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
        m_hdbc = SQL_NULL_HDBC;
    }
    if (m_henv != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_henv);
        m_henv = SQL_NULL_HENV;
    }
}

void vqDb::TakeDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = "";
    SQLSMALLINT length = 0;
    // Skip warnings (class 01) to reach the record that says why the call failed.
    bool found = false;
    for (SQLSMALLINT record = 1; handle && !found; ++record) {
        if (!Ok(SQLGetDiagRec(handleType, handle, record, state, &native, message, sizeof(message),
                              &length)))
            break;
        found = strncmp(reinterpret_cast<char*>(state), "01", 2) != 0;
    }
    if (!found && handle)
        found = Ok(SQLGetDiagRec(handleType, handle, 1, state, &native, message, sizeof(message),
                                 &length));
    if (found) {
        m_lastState = vqString::FromUTF8(reinterpret_cast<char*>(state));
        m_lastNative = native;
        m_lastMessage = vqString::FromUTF8(reinterpret_cast<char*>(message));
    } else {
        m_lastState = vqT("HY000");
        m_lastNative = 0;
        m_lastMessage = vqT("no diagnostic record");
    }
}

bool vqDb::Connect(const vqString& connectionString) {
    std::string conn = connectionString.ToUTF8();
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnect(m_hdbc, nullptr,
                                    reinterpret_cast<SQLCHAR*>(const_cast<char*>(conn.c_str())),
                                    SQL_NTS, out, sizeof(out), &outLength, SQL_DRIVER_NOPROMPT);
    if (Ok(rc)) {
        m_connectionString = connectionString;
        return true;
    }
    TakeDiagnostics(SQL_HANDLE_DBC, m_hdbc);
    return false;
}

bool vqDb::Open(const vqString& connectionString) {
    Close();
    m_lastState.Clear();
    std::string text = connectionString.ToUTF8();
    std::vector<Attribute> attributes;
    const char* why = "a string longer than the limit";
    size_t where = vqDB_MAX_CONNECTION_STRING;
    if (text.size() > vqDB_MAX_CONNECTION_STRING ||
        !ParseConnection(text, attributes, why, where)) {
        // The string may hold a password: say where it is wrong, not what it says.
        vqLogError(vqT("Could not connect: the connection string is malformed (%s at byte %lu)"),
                   vqString::FromUTF8(why).c_str(), static_cast<unsigned long>(where));
        return false;
    }
    if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_henv)) ||
        !Ok(SQLSetEnvAttr(m_henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                          0)) ||
        !Ok(SQLAllocHandle(SQL_HANDLE_DBC, m_henv, &m_hdbc))) {
        m_hdbc = SQL_NULL_HDBC;
        Close();
        vqLogError(vqT("Could not allocate the ODBC environment"));
        return false;
    }
    vqString driver;
    for (const Attribute& a : attributes)
        if (driver.empty() && Lower(a.key) == "driver") driver = vqString::FromUTF8(a.value);
    m_profile = &vqDbProfile::ForDriver(driver.ToUTF8());
    vqString conn = AddProfileOptions(vqString::FromUTF8(JoinConnection(attributes)), *m_profile);
    bool connected = Connect(conn);
    if (!connected) {
        for (const std::string& path : m_profile->DriverPaths()) {
            if (!DriverFileMayExist(path)) continue;
            for (Attribute& a : attributes)
                if (Lower(a.key) == "driver") a.value = path;
            if ((connected = Connect(AddProfileOptions(
                     vqString::FromUTF8(JoinConnection(attributes)), *m_profile))))
                break;
        }
    }
    if (connected) {
        SQLCHAR name[256] = "";
        SQLSMALLINT length = 0;
        SQLGetInfo(m_hdbc, SQL_DRIVER_NAME, name, sizeof(name), &length);
        m_driverName = vqString::FromUTF8(reinterpret_cast<char*>(name));
        // A DSN hides the driver until connected: reconnect once with its profile's options.
        const vqDbProfile& named = vqDbProfile::ForDriver(m_driverName.ToUTF8());
        vqString withOptions = AddProfileOptions(m_connectionString, named);
        m_profile = &named;
        if (withOptions.Cmp(m_connectionString) != 0) {
            SQLDisconnect(m_hdbc);
            connected = Connect(withOptions);
        }
    }
    if (!connected) {
        vqDbLogExtendedErrorMsg(
            vqString::Format(vqT("Could not connect to the database (driver \"%s\")\n"),
                             driver.c_str())
                .c_str(),
            this, __FILE__, __LINE__);
        SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
        m_hdbc = SQL_NULL_HDBC;
        Close();
        return false;
    }
    const char* streamingKey = m_profile->StreamingKey();
    m_batchTunable =
        UsesServerCursors() && streamingKey &&
        vqDbConnectionValue(connectionString, vqString::FromUTF8(streamingKey)).empty() &&
        vqDbConnectionValue(connectionString, vqT("Fetch")).empty();
    m_batchRows = kFirstBatchRows;
    return true;
}

void vqDb::SetCursorBatch(bool firstRows) {
    SQLULEN rows = firstRows ? kFirstBatchRows : kLaterBatchRows;
    if (!m_batchTunable || rows == m_batchRows) return;
    if (m_profile->SetCursorBatch(m_hdbc, rows))
        m_batchRows = rows;
    else
        m_batchTunable = false;
}

bool vqDb::ExecSql(const vqString& sql) {
    if (!IsOpen()) {
        vqLogError(vqT("ExecSql on a closed database connection"));
        return false;
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, m_hdbc, &stmt))) {
        TakeDiagnostics(SQL_HANDLE_DBC, m_hdbc);
        vqDbLogExtendedErrorMsg(vqT("Could not allocate a statement\n"), this, __FILE__, __LINE__);
        return false;
    }
    std::string text = sql.ToUTF8();
    SQLRETURN rc =
        SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
    bool ok = Ok(rc) || rc == SQL_NO_DATA;
    if (!ok) {
        TakeDiagnostics(SQL_HANDLE_STMT, stmt);
        vqDbLogExtendedErrorMsg(
            vqString::Format(vqT("SQL statement failed: %s\n"), sql.c_str()).c_str(), this,
            __FILE__, __LINE__);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

// ---------------------------------------------------------------- lookup connection

bool vqDb::UsesServerCursors() const {
    const char* key = m_profile->StreamingKey();
    return key && m_profile->UsesServerCursors(m_connectionString.ToUTF8()) &&
           vqDbConnectionValue(m_connectionString, vqString::FromUTF8(key)).Cmp(vqT("1")) == 0;
}

bool vqDb::PrepareLookupConnection() {
    if (!IsOpen() || !UsesServerCursors()) return false;
    if (m_lookupHdbc == SQL_NULL_HDBC) {
        if (m_lookupRefused) return false;
        std::string conn =
            WithConnectionValue(m_connectionString.ToUTF8(), m_profile->StreamingKey(), "0");
        SQLHDBC hdbc = SQL_NULL_HDBC;
        if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, m_henv, &hdbc)) ||
            !Ok(SQLDriverConnect(hdbc, nullptr, reinterpret_cast<SQLCHAR*>(&conn[0]), SQL_NTS,
                                 nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
            std::string why = DiagnosticText(SQL_HANDLE_DBC, hdbc);
            if (hdbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
            m_lookupRefused = true;
            vqLogWarning(vqT("Key lookups stay on the connection's server cursors: a second ")
                             vqT("connection could not be opened (%s)"),
                         vqString::FromUTF8(why).c_str());
            return false;
        }
        m_lookupHdbc = hdbc;
    }
    std::string why;
    bool ok = m_profile->PrepareLookupSession(m_hdbc, m_lookupHdbc, kLookupLockWaitMs, why);
    if (!ok)
        vqLogDebug(vqT("Key lookups stay on the connection's server cursors: %s"),
                   vqString::FromUTF8(why).c_str());
    return ok;
}

vqString vqDb::LookupRelationName(const vqString& quotedName) {
    std::string why;
    std::string relation = m_profile->LookupRelation(m_hdbc, quotedName.ToUTF8(), why);
    if (relation.empty())
        vqLogDebug(vqT("Key lookups on %s stay on the connection's server cursors: %s"),
                   quotedName.c_str(), vqString::FromUTF8(why).c_str());
    return vqString::FromUTF8(relation);
}
