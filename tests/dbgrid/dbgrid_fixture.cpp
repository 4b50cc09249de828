#include "dbgrid_fixture.h"

#ifdef _WIN32
#include <process.h>

#include "vq/platform/windows_fixups.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {
const char* PgConn() { return getenv("VQ_TEST_PG_CONN"); }

// Removes the database files the suite made when it exits.
struct Files {
    ~Files() {
        for (auto& f : names) std::remove(f.c_str());
    }
    std::vector<std::string> names;
} s_files;
}  // namespace

bool UsingPostgres() { return PgConn() && *PgConn(); }

const std::string kNullCell("\0null", 5);

bool IsPostgres(vqDb& db) { return db.GetDriverName().ToUTF8().find("psql") != std::string::npos; }

namespace {
std::string SqliteConnection(const std::string& name) {
    std::string file = TestFilePath(name + "_" + std::to_string(getpid()) + ".db");
    std::remove(file.c_str());
    s_files.names.push_back(file);
    return "Driver=SQLite3;Database=" + DriverFilePath(file);
}
}  // namespace

std::string TestFilePath(const std::string& name) {
    std::string file = std::string(VQ_TEST_BINARY_DIR) + "/" + name;
#ifdef _WIN32
    file = std::filesystem::absolute(std::filesystem::u8path(file)).u8string();
#endif
    return file;
}

std::string DriverFilePath(const std::string& file) {
#ifdef _WIN32
    // NOTE: Wine names the host's path of a Windows one through a call of its own, which
    // Windows lacks; the result is allocated on the process heap.
    typedef char*(CDECL * UnixName)(const WCHAR*);
    static UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return file;
    std::wstring wide = std::filesystem::u8path(file).wstring();
    char* name = unixName(wide.c_str());
    if (!name) return file;
    std::string host(name);
    HeapFree(GetProcessHeap(), 0, name);
    return host;
#else
    return file;
#endif
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : m_name(name) {
    const char* old = getenv(name.c_str());
    m_had = old != nullptr;
    if (old) m_old = old;
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
#endif
}

ScopedEnv::~ScopedEnv() {
#ifdef _WIN32
    _putenv_s(m_name.c_str(), m_had ? m_old.c_str() : "");
#else
    if (m_had)
        setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        unsetenv(m_name.c_str());
#endif
}

std::string TestConnection(const std::string& name) {
    return UsingPostgres() ? PgConn() : SqliteConnection(name);
}

bool CreateItems(vqDb& db, int rows) {
    db.ExecSql(vqT("DROP TABLE IF EXISTS items"));
    const vqChar* ddl =
        UsingPostgres()
            ? vqT("CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(63), qty INTEGER, ")
                  vqT("price DOUBLE PRECISION, small SMALLINT, made TIMESTAMP, day DATE, ")
                      vqT("note VARCHAR(31), label VARCHAR(31))")
            : vqT("CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(63), qty INTEGER, ")
                  vqT("price DOUBLE, small SMALLINT, made TIMESTAMP, day DATE, note VARCHAR(31), ")
                      vqT("label VARCHAR(31))");
    if (!db.ExecSql(ddl)) return false;
    ItemRow buf;
    vqDbTable* t = OpenItems(db, buf, false);
    if (!t) return false;
    db.ExecSql(vqT("BEGIN"));
    bool ok = true;
    for (int i = 0; i < rows && ok; ++i) {
        t->ClearMemberVars(false);
        t->SetColumnValue(kId, vqVariant(long(i + 1)));
        t->SetColumnValue(kName, vqVariant(vqString::Format(vqT("item %d"), i)));
        t->SetColumnValue(kLabel, vqVariant(vqString::Format(vqT("L%d"), i)));
        if (i % 7 == 6) {
            for (int c : {kQty, kPrice, kSmall, kMade, kDay, kNote}) t->SetColNull(c);
        } else {
            t->SetColumnValue(kQty, vqVariant(long(i * 3)));
            t->SetColumnValue(kPrice, vqVariant(i + 0.5));
            t->SetColumnValue(kSmall, vqVariant(long(-i)));
            t->SetColumnValue(kMade, vqVariant(vqDateTime(2024, 1, 1 + i % 28, 10, 20, 30)));
            t->SetColumnValue(kDay, vqVariant(vqDateTime(2023, 12, 1 + i % 28, 0, 0, 0, 0,
                                                         vqDateTime::DatePart)));
            t->SetColumnValue(kNote, vqVariant(vqString::Format(vqT("n%d"), i)));
        }
        ok = t->Insert();
    }
    db.ExecSql(vqT("COMMIT"));
    delete t;
    return ok;
}

vqDbTable* OpenItems(vqDb& db, ItemRow& b, bool query) {
    vqDbTable* t = new vqDbTable(&db, vqT("items"), kNumCols);
    t->SetColDefs(kId, vqT("id"), vqDB_DATA_TYPE_INTEGER, &b.id, SQL_C_SLONG, sizeof(b.id), true,
                  false);
    t->SetColDefs(kName, vqT("name"), vqDB_DATA_TYPE_VARCHAR, b.name, SQL_C_CHAR, sizeof(b.name));
    t->SetColDefs(kQty, vqT("qty"), vqDB_DATA_TYPE_INTEGER, &b.qty, SQL_C_LONG, sizeof(b.qty));
    t->SetColDefs(kPrice, vqT("price"), vqDB_DATA_TYPE_FLOAT, &b.price, SQL_C_DOUBLE,
                  sizeof(b.price));
    t->SetColDefs(kSmall, vqT("small"), vqDB_DATA_TYPE_INTEGER, &b.small, SQL_C_SSHORT,
                  sizeof(b.small));
    t->SetColDefs(kMade, vqT("made"), vqDB_DATA_TYPE_DATE, &b.made, SQL_C_TIMESTAMP,
                  sizeof(b.made));
    t->SetColDefs(kDay, vqT("day"), vqDB_DATA_TYPE_DATE, &b.day, SQL_C_DATE, sizeof(b.day));
    t->SetColDefs(kNote, vqT("note"), vqDB_DATA_TYPE_VARCHAR, b.note, SQL_C_WCHAR, sizeof(b.note));
    t->SetColDefs(kLabel, vqT("label"), vqDB_DATA_TYPE_VARCHAR, b.label, SQL_C_CHAR,
                  sizeof(b.label), false, false);
    if (!t->Open()) {
        delete t;
        return nullptr;
    }
    t->SetOrderByClause(vqT("id"));
    if (query && !t->Query()) {
        delete t;
        return nullptr;
    }
    return t;
}

vqDbGridColInfo* AllColumns() {
    static const vqChar* names[] = {vqT("id"),    vqT("name"),  vqT("qty"),
                                    vqT("price"), vqT("small"), vqT("made"),
                                    vqT("day"),   vqT("note"),  vqT("label")};
    vqDbGridColInfo* head = new vqDbGridColInfo(0, vqT("dbauto"), names[0], nullptr);
    for (int i = 1; i < kNumCols; ++i) head->AddColInfo(i, vqT("dbauto"), names[i]);
    return head;
}

std::unique_ptr<vqDb> OpenTestDb(const std::string& name, int lockWaitMs, bool postgres) {
    std::string conn = postgres && PgConn() ? PgConn() : SqliteConnection(name);
    if (lockWaitMs > 0 && !postgres) conn += ";Timeout=" + std::to_string(lockWaitMs);
    std::unique_ptr<vqDb> db(new vqDb(vqString::FromUTF8(conn)));
    if (lockWaitMs > 0 && postgres && db->IsOpen())
        db->ExecSql(vqString::Format(vqT("SET lock_timeout = %d"), lockWaitMs));
    return db;
}

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The whole text of one result column, read in pieces; false for a null value.
bool ReadText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& text) {
    text.clear();
    char piece[256];
    SQLLEN ind = 0;
    SQLRETURN rc;
    while ((rc = SQLGetData(stmt, column, SQL_C_CHAR, piece, sizeof(piece), &ind)) != SQL_NO_DATA) {
        if (!SQL_SUCCEEDED(rc)) {
            ADD_FAILURE() << "SQLGetData failed on column " << column;
            return false;
        }
        if (ind == SQL_NULL_DATA) return false;
        text += piece;
        if (rc == SQL_SUCCESS) break;
    }
    return true;
}

}  // namespace

StoredRows ReadStored(vqDb& db, const std::string& table, const std::vector<std::string>& columns) {
    StoredRows rows;
    bool postgres = IsPostgres(db);
    std::string sql = "SELECT id";
    for (const std::string& c : columns)
        sql += postgres ? ", encode(convert_to(CAST(" + c + " AS TEXT), 'UTF8'), 'hex')"
                        : ", typeof(" + c + ") || ':' || hex(CASE typeof(" + c +
                              ") WHEN 'real' THEN printf('%!.17g', " + c + ") ELSE " + c + " END)";
    sql += " FROM " + table + " ORDER BY id";
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, db.GetHDBC(), &stmt))) {
        ADD_FAILURE() << "cannot allocate a statement";
        return rows;
    }
    if (!SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(&sql[0]), SQL_NTS))) {
        ADD_FAILURE() << "plain query failed: " << sql;
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return rows;
    }
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        SQLBIGINT id = 0;
        SQLLEN ind = 0;
        SQLGetData(stmt, 1, SQL_C_SBIGINT, &id, 0, &ind);
        std::vector<std::string>& cells = rows[static_cast<long>(id)];
        for (size_t i = 0; i < columns.size(); ++i) {
            std::string text;
            if (!ReadText(stmt, static_cast<SQLUSMALLINT>(i + 2), text)) {
                cells.push_back(kNullCell);
                continue;
            }
            size_t colon = postgres ? std::string::npos : text.find(':');
            if (colon == std::string::npos)
                cells.push_back(FromHex(text));
            else if (text.compare(0, colon, "null") == 0)
                cells.push_back(kNullCell);
            else
                cells.push_back(text.substr(0, colon + 1) + FromHex(text.substr(colon + 1)));
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rows;
}

LockHolder::LockHolder(vqDb& db, const std::string& table) : m_table(table) {
#ifdef _WIN32
    m_other.reset(new vqDb(db.GetConnectionString()));
#else
    if (IsPostgres(db))
        m_other.reset(new vqDb(db.GetConnectionString()));
    else
        m_file = vqDbConnectionValue(db.GetConnectionString(), vqT("Database")).ToUTF8();
#endif
}

LockHolder::~LockHolder() {
    Release();
    Stop();
}

bool LockHolder::Acquire() {
    if (m_held) return true;
    CaptureLog quiet;  // a lock that is not free is an expected outcome here
    if (m_other && !IsPostgres(*m_other)) {
        m_held = m_other->ExecSql(vqT("BEGIN EXCLUSIVE"));
        return m_held;
    }
    if (m_other) {
        m_held = m_other->ExecSql(vqT("BEGIN")) &&
                 m_other->ExecSql(vqString::FromUTF8("LOCK TABLE " + m_table +
                                                     " IN ACCESS EXCLUSIVE MODE NOWAIT"));
        if (!m_held) m_other->ExecSql(vqT("ROLLBACK"));
        return m_held;
    }
#ifdef _WIN32
    return false;
#else
    int in[2], out[2];
    if (pipe(in) != 0) return false;
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        return false;
    }
    m_child = fork();
    if (m_child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        for (int fd : {in[0], in[1], out[0], out[1], null}) close(fd);
        // -bail: the shell quits when BEGIN EXCLUSIVE fails, which ends its output.
        execlp("sqlite3", "sqlite3", "-batch", "-bail", m_file.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
    if (m_child < 0) {
        Stop();
        return false;
    }
    m_held = Send("BEGIN EXCLUSIVE;\nSELECT 'vq-locked';\n", "vq-locked");
    if (!m_held) Stop();
    return m_held;
#endif
}

void LockHolder::Release() {
    if (!m_held) return;
    m_held = false;
    if (m_other) {
        CaptureLog quiet;
        m_other->ExecSql(vqT("COMMIT"));
        return;
    }
#ifndef _WIN32
    Send("COMMIT;\nSELECT 'vq-released';\n", "vq-released");
    Stop();
#endif
}

#ifndef _WIN32
bool LockHolder::Send(const std::string& commands, const std::string& until) {
    signal(SIGPIPE, SIG_IGN);  // a shell that quit must not take the test with it
    if (write(m_in, commands.data(), commands.size()) != static_cast<ssize_t>(commands.size()))
        return false;
    std::string seen;
    char piece[256];
    ssize_t n;
    while (seen.find(until) == std::string::npos && (n = read(m_out, piece, sizeof(piece))) > 0)
        seen.append(piece, static_cast<size_t>(n));
    return seen.find(until) != std::string::npos;
}

void LockHolder::Stop() {
    if (m_in >= 0) close(m_in);
    if (m_out >= 0) close(m_out);
    m_in = m_out = -1;
    if (m_child > 0) waitpid(m_child, nullptr, 0);
    m_child = -1;
}
#else
void LockHolder::Stop() {}
#endif
