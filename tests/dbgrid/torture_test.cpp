// Writeback under fire: random edits of every column type the grid tells apart
// (NULLs, long text, values out of range, lossy stored values), random revisits,
// rows past the end, and an exclusive lock that another process takes and drops.
// A model follows every edit the grid accepts and every writeback it reports; at
// the end the stored bytes, read by a plain query, must be what the model predicts:
// byte for byte for every cell no accepted edit reached.
//
// VQ_TORTURE_SEED and VQ_TORTURE_OPS replay or lengthen a run.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "dbgrid_fixture.h"

namespace {

enum Kind { kText, kWide, kInt, kFloat, kDouble, kDate, kTime, kStamp };

struct Column {
    const char* name;
    const char* sqliteType;
    const char* pgType;
    SWORD cType;
    long size;
    Kind kind;
    long lo, hi;  // integers: the range the buffer holds; text: bytes or units it holds
    bool updatable;
};

const Column kColumns[] = {
    {"id", "INTEGER PRIMARY KEY", "INTEGER PRIMARY KEY", SQL_C_SLONG, 4, kInt, INT32_MIN, INT32_MAX,
     false},
    {"name", "VARCHAR(200)", "VARCHAR(200)", SQL_C_CHAR, 16, kText, 0, 15, true},
    {"label", "VARCHAR(200)", "VARCHAR(200)", SQL_C_WCHAR, 32, kWide, 0, 15, true},
    {"qty", "INTEGER", "INTEGER", SQL_C_LONG, 4, kInt, INT32_MIN, INT32_MAX, true},
    {"shelf", "SMALLINT", "SMALLINT", SQL_C_SHORT, 2, kInt, -32768, 32767, true},
    {"delta", "SMALLINT", "SMALLINT", SQL_C_SSHORT, 2, kInt, -32768, 32767, true},
    {"bin", "INTEGER", "INTEGER", SQL_C_USHORT, 2, kInt, 0, 65535, true},
    {"serial", "BIGINT", "BIGINT", SQL_C_ULONG, 4, kInt, 0, 4294967295L, true},
    {"weight", "REAL", "REAL", SQL_C_FLOAT, 4, kFloat, 0, 0, true},
    {"price", "DOUBLE", "DOUBLE PRECISION", SQL_C_DOUBLE, 8, kDouble, 0, 0, true},
    {"added", "DATE", "DATE", SQL_C_DATE, 0, kDate, 0, 0, true},
    {"opens", "TIME", "TIME", SQL_C_TIME, 0, kTime, 0, 0, true},
    {"checked", "TIMESTAMP", "TIMESTAMP", SQL_C_TIMESTAMP, 0, kStamp, 0, 0, true},
    {"tiny", "SMALLINT", "SMALLINT", SQL_C_STINYINT, 1, kInt, -128, 127, true},
    {"memo", "VARCHAR(200)", "VARCHAR(200)", SQL_C_CHAR, 24, kText, 0, 23, false},
};
const int kNumColumns = sizeof(kColumns) / sizeof(kColumns[0]);
const int kRows = 24;
const int kLockWaitMs = 1;

// A value the model expects in a cell: text bytes, an integer, a number, or date and
// time fields (millis for timestamps).
struct Expected {
    std::string text;
    long integer = 0;
    double number = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
};

// One edit as the grid is asked for it, with what the model predicts.
struct Edit {
    enum Api { kString, kLong, kDouble, kBool, kCustom } api = kString;
    vqString text;
    long integer = 0;
    double number = 0;
    bool flag = false;
    vqDateTime when;
    bool custom = true;  // a SetValueAsCustom that gets past its own checks
    bool fits = false;   // the column can hold the value
    Expected expected;
    std::string Describe() const {
        std::ostringstream o;
        const char* names[] = {"SetValue", "SetValueAsLong", "SetValueAsDouble", "SetValueAsBool",
                               "SetValueAsCustom"};
        o << names[api] << "(";
        if (api == kString) o << '"' << text.ToUTF8() << '"';
        if (api == kLong) o << integer;
        if (api == kDouble) o << number;
        if (api == kBool) o << flag;
        if (api == kCustom) o << when.Format().ToUTF8();
        o << ")";
        return o.str();
    }
};

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string DateText(int y, int mo, int d) {
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d", y, mo, d);
    return text;
}

std::string TimeText(int h, int mi, int s) {
    return TwoDigits(h) + ":" + TwoDigits(mi) + ":" + TwoDigits(s);
}

size_t Utf16Units(const std::string& utf8) {
    return vqUTF8ToUTF16(utf8.data(), utf8.size()).size();
}

class Torture {
public:
    Torture(unsigned seed, bool postgres) : m_rng(seed), m_postgres(postgres) {}

    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // Random text: ASCII, SQL quotes, two- three- and four-byte characters.
    std::string RandomText(int maxLength) {
        static const std::string ascii = "abZ7 '\";%";
        static const char* const wide[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
        std::string text;
        int length = Pick(maxLength + 1);
        for (int i = 0; i < length; ++i) {
            size_t piece = static_cast<size_t>(Pick(12));
            text +=
                piece < ascii.size() ? std::string(1, ascii[piece]) : wide[piece - ascii.size()];
        }
        return text;
    }

    // A stored value for the initial rows, as an SQL literal.
    std::string InitialLiteral(const Column& c, int row) {
        if (c.kind == kInt && c.lo == INT32_MIN && !c.updatable) return std::to_string(row + 1);
        if (Chance(12)) return "NULL";
        bool lossy = !m_postgres && Chance(15);
        auto quote = [](const std::string& text) {
            std::string q = "'";
            for (char ch : text) q += ch == '\'' ? std::string("''") : std::string(1, ch);
            return q + "'";
        };
        switch (c.kind) {
            case kText:
            case kWide:
                return quote(RandomText(Chance(30) ? 40 : 12));
            case kInt:
                if (lossy) return std::to_string(c.hi + 1 + Pick(100000)) + "000";
                return std::to_string(c.lo + static_cast<long>(m_rng() % (c.hi - c.lo + 1)));
            case kFloat:
                return std::to_string((Pick(16001) - 8000) / 8.0);
            case kDouble:
                return std::to_string((Pick(160001) - 80000) / 16.0);
            case kDate:
                if (lossy) return quote(Chance(50) ? "not a date" : "2024-13-45");
                return quote(DateText(1990 + Pick(40), 1 + Pick(12), 1 + Pick(28)));
            case kTime:
                return quote(TimeText(Pick(24), Pick(60), Pick(60)));
            case kStamp:
                return quote(DateText(2000 + Pick(30), 1 + Pick(12), 1 + Pick(28)) + " " +
                             TimeText(Pick(24), Pick(60), Pick(60)));
        }
        return "NULL";
    }

    // A random edit for a column and what the model expects of it.
    Edit RandomEdit(const Column& c) {
        Edit e;
        bool date = c.kind == kDate || c.kind == kTime || c.kind == kStamp;
        bool text = c.kind == kText || c.kind == kWide;
        int api = Pick(date ? 6 : 5);
        if (text && (api == 2 || api == 3))
            api = 0;  // the text of a double or bool is the variant's
        switch (api) {
            case 0:
            case 5:
                e.api = Edit::kString;
                StringEdit(c, e);
                break;
            case 1: {
                e.api = Edit::kLong;
                long v = Chance(70) ? Pick(20001) - 10000 : OutOfRange(c);
                e.integer = v;
                if (c.kind == kInt) {
                    e.fits = v >= c.lo && v <= c.hi;
                    e.expected.integer = v;
                } else if (text) {
                    e.expected.text = std::to_string(v);
                    e.fits = Length(c, e.expected.text) <= c.hi;
                } else if (c.kind == kFloat || c.kind == kDouble) {
                    e.fits = true;
                    e.expected.number = static_cast<double>(v);
                }
                break;
            }
            case 2: {
                e.api = Edit::kDouble;
                double v = Chance(80) ? (Pick(40001) - 20000) / 8.0
                                      : (Chance(50) ? HUGE_VAL : (Chance(50) ? 1e39 : -1e12));
                e.number = v;
                if (c.kind == kInt) {
                    double r = std::round(v);
                    e.fits = std::isfinite(v) && r >= c.lo && r <= c.hi;
                    e.expected.integer = e.fits ? static_cast<long>(r) : 0;
                } else if (c.kind == kFloat) {
                    e.fits = std::isfinite(v) && std::fabs(v) < 3.4e38;
                    e.expected.number = v;
                } else if (c.kind == kDouble) {
                    e.fits = std::isfinite(v);
                    e.expected.number = v;
                }
                break;
            }
            case 3:
                e.api = Edit::kBool;
                e.flag = Chance(50);
                e.fits = c.kind == kInt || c.kind == kFloat || c.kind == kDouble;
                e.expected.integer = e.flag;
                e.expected.number = e.flag;
                break;
            case 4:
                e.api = Edit::kCustom;
                CustomEdit(c, e);
                break;
        }
        return e;
    }

    long OutOfRange(const Column& c) {
        if (c.kind != kInt) return 100000000L;
        return Chance(50) ? c.hi + 1 + Pick(3) : c.lo - 1 - Pick(3);
    }

    static long Length(const Column& c, const std::string& utf8) {
        return static_cast<long>(c.kind == kWide ? Utf16Units(utf8) : utf8.size());
    }

    void StringEdit(const Column& c, Edit& e) {
        std::string text;
        switch (c.kind) {
            case kText:
            case kWide:
                text = RandomText(Chance(25) ? 30 : 10);
                e.fits = Length(c, text) <= c.hi;
                e.expected.text = text;
                break;
            case kInt: {
                int form = Pick(10);
                long v = Chance(75) ? Pick(2001) - 1000 : OutOfRange(c);
                if (form == 0) {
                    text = "x" + std::to_string(v);  // not a number
                } else if (form == 1) {
                    text = "";  // empty text stores 0
                    v = 0;
                    e.fits = true;
                } else {
                    text = (form == 2 ? " " : "") + std::to_string(v) + (form == 3 ? " " : "");
                    e.fits = v >= c.lo && v <= c.hi;
                }
                e.expected.integer = v;
                break;
            }
            case kFloat:
            case kDouble: {
                int k = Pick(40001) - 20000;
                if (Chance(10)) {
                    text = Chance(50) ? "1e400" : "twelve";
                } else if (c.kind == kFloat && Chance(10)) {
                    text = "1e39";
                } else {
                    char buf[64];
                    snprintf(buf, sizeof buf, "%.3f", k / 8.0);
                    text = buf;
                    e.fits = true;
                    e.expected.number = k / 8.0;
                }
                break;
            }
            case kDate:
            case kTime:
            case kStamp: {
                int y = Chance(5) ? (Chance(50) ? 0 : 12000) : 1950 + Pick(100);
                int mo = 1 + Pick(12), d = 1 + Pick(28), h = Pick(24), mi = Pick(60), s = Pick(60),
                    ms = Chance(20) ? Pick(1000) : 0;
                int form = Pick(4);  // 0 date, 1 time, 2 both, 3 broken
                if (form == 3) {
                    text = Chance(50) ? DateText(2024, 2, 30) : "soon";
                    break;
                }
                bool hasDate = form != 1, hasTime = form != 0;
                if (form == 0) text = DateText(y, mo, d);
                if (form == 1) text = TimeText(h, mi, s);
                if (form == 2) text = DateText(y, mo, d) + " " + TimeText(h, mi, s);
                if (hasTime && ms) {
                    char frac[8];
                    snprintf(frac, sizeof frac, ".%03d", ms);
                    text += frac;
                }
                // A date alone with a five-digit year does not read as a date at all.
                bool parses = !(form == 0 && y >= 10000);
                SetDate(c, e, parses, hasDate, hasTime, y, mo, d, h, mi, s, ms);
                break;
            }
        }
        e.text = vqString::FromUTF8(text);
    }

    void CustomEdit(const Column& c, Edit& e) {
        int parts = 1 + Pick(3);
        int y = 1950 + Pick(100), mo = 1 + Pick(12), d = 1 + Pick(28), h = Pick(24), mi = Pick(60),
            s = Pick(60), ms = Chance(20) ? Pick(1000) : 0;
        e.when = parts == vqDateTime::TimePart
                     ? vqDateTime::Time(h, mi, s, ms)
                     : vqDateTime(y, mo, d, h, mi, s, ms, static_cast<vqDateTime::Parts>(parts));
        bool date = c.kind == kDate || c.kind == kTime || c.kind == kStamp;
        e.custom = date;
        if (!date) return;
        bool hasDate = parts & vqDateTime::DatePart, hasTime = parts & vqDateTime::TimePart;
        if (parts == vqDateTime::TimePart) y = 2000, mo = 1, d = 1;
        if (parts == vqDateTime::DatePart) h = mi = s = ms = 0;
        SetDate(c, e, true, hasDate, hasTime, y, mo, d, h, mi, s, ms);
    }

    // What a date or time column makes of a value with these parts.
    static void SetDate(const Column& c, Edit& e, bool parses, bool hasDate, bool hasTime, int y,
                        int mo, int d, int h, int mi, int s, int ms) {
        if (!hasTime) h = mi = s = ms = 0;
        bool yearOk = y >= 1 && y <= 9999;
        if (c.kind == kDate) e.fits = parses && hasDate && yearOk;
        if (c.kind == kStamp) e.fits = parses && hasDate && yearOk;
        if (c.kind == kTime) e.fits = parses && hasTime;
        Expected& x = e.expected;
        x.y = y, x.mo = mo, x.d = d, x.h = h, x.mi = mi, x.s = s, x.ms = ms;
    }

    // Whether the stored bytes of an edited cell hold the expected value.
    bool Matches(const Column& c, const Expected& x, std::string stored) const {
        if (stored == kNullCell) return false;
        if (!m_postgres) stored = stored.substr(stored.find(':') + 1);
        switch (c.kind) {
            case kText:
            case kWide:
                return stored == x.text;
            case kInt:
                return stored == std::to_string(x.integer);
            case kFloat:
            case kDouble:
                return std::fabs(std::strtod(stored.c_str(), nullptr) - x.number) <=
                       1e-6 * std::max(1.0, std::fabs(x.number));
            case kDate:
                return stored == DateText(x.y, x.mo, x.d);
            case kTime:
                return stored == TimeText(x.h, x.mi, x.s);
            case kStamp: {
                std::string whole = DateText(x.y, x.mo, x.d) + " " + TimeText(x.h, x.mi, x.s);
                if (stored.compare(0, whole.size(), whole) != 0) return false;
                std::string rest = stored.substr(whole.size());
                double fraction = rest.empty() ? 0 : std::strtod(rest.c_str(), nullptr);
                return std::fabs(fraction - x.ms / 1000.0) < 1e-9;
            }
        }
        return false;
    }

    // The text GetValue shows for a known stored or edited text, or no expectation.
    bool ExpectedText(const Column& c, long id, std::string& text) const {
        if (c.kind != kText && c.kind != kWide) return false;
        auto pending = m_pendingRow == id ? m_pending.find(&c - kColumns) : m_pending.end();
        if (pending != m_pending.end()) {
            text = pending->second.text;
        } else {
            auto edited = m_edited.find({id, static_cast<int>(&c - kColumns)});
            if (edited != m_edited.end()) {
                text = edited->second.text;
            } else {
                std::string stored = m_initial.at(id)[&c - kColumns];
                if (stored == kNullCell) return false;
                text = m_postgres ? stored : stored.substr(stored.find(':') + 1);
            }
        }
        return Length(c, text) <= c.hi;
    }

    std::mt19937 m_rng;
    bool m_postgres;
    StoredRows m_initial;
    std::map<std::pair<long, int>, Expected> m_edited;  // (id, column) -> value written
    std::map<int, Expected> m_pending;                  // column -> value of the current row
    long m_pendingRow = -1;
};

std::vector<std::string> ColumnNames() {
    std::vector<std::string> names;
    for (int c = 1; c < kNumColumns; ++c) names.push_back(kColumns[c].name);
    return names;
}

class WritebackTorture : public ::testing::TestWithParam<bool> {};

TEST_P(WritebackTorture, StoredDataMatchesTheModelOfAcceptedEdits) {
    bool postgres = GetParam();
    if (postgres && !UsingPostgres())
        GTEST_SKIP() << "VQ_TEST_PG_CONN is not set: no PostgreSQL server to run against "
                        "(scripts/ci-dbgrid.sh starts one)";
    const char* seedText = getenv("VQ_TORTURE_SEED");
    const char* opsText = getenv("VQ_TORTURE_OPS");
    unsigned seed = seedText ? static_cast<unsigned>(strtoul(seedText, nullptr, 10)) : 20240611u;
    int ops = opsText ? atoi(opsText) : 300;
    SCOPED_TRACE("seed " + std::to_string(seed) +
                 " (replay with VQ_TORTURE_SEED=" + std::to_string(seed) + ")");

    std::unique_ptr<vqDb> db = OpenTestDb("torture", kLockWaitMs, postgres);
    ASSERT_TRUE(db->IsOpen()) << "cannot open the test database";
    Torture t(seed, postgres);
    db->ExecSql(vqT("DROP TABLE IF EXISTS torture"));
    std::string ddl = "CREATE TABLE torture (";
    for (int c = 0; c < kNumColumns; ++c)
        ddl += std::string(c ? ", " : "") + kColumns[c].name + " " +
               (postgres ? kColumns[c].pgType : kColumns[c].sqliteType);
    ASSERT_TRUE(db->ExecSql(vqString::FromUTF8(ddl + ")")));
    for (int r = 0; r < kRows; ++r) {
        std::string values;
        for (int c = 0; c < kNumColumns; ++c)
            values += std::string(c ? ", " : "") + t.InitialLiteral(kColumns[c], r);
        ASSERT_TRUE(db->ExecSql(vqString::FromUTF8("INSERT INTO torture VALUES (" + values + ")")));
    }
    const std::vector<std::string> names = ColumnNames();
    t.m_initial = ReadStored(*db, "torture", names);
    ASSERT_EQ(t.m_initial.size(), static_cast<size_t>(kRows));
    for (auto& row : t.m_initial) row.second.insert(row.second.begin(), std::string());

    vqDbTable* table = new vqDbTable(db.get(), vqT("torture"), kNumColumns);
    for (int c = 0; c < kNumColumns; ++c) {
        const Column& col = kColumns[c];
        table->SetColDefs(c, vqString::FromUTF8(col.name), vqDB_DATA_TYPE_VARCHAR, nullptr,
                          col.cType, col.size, c == 0, col.updatable);
    }
    ASSERT_TRUE(table->Open());
    table->SetOrderByClause(vqT("id"));
    ASSERT_TRUE(table->Query());
    vqDbGridColInfo cols(0, vqT("dbauto"), vqT("id"), nullptr);
    for (int c = 1; c < kNumColumns; ++c)
        cols.AddColInfo(c, vqT("dbauto"), vqString::FromUTF8(kColumns[c].name));
    std::unique_ptr<vqDbGridTableBase> grid(new vqDbGridTableBase(table, &cols, -1, true));
    ASSERT_EQ(grid->GetNumberRows(), kRows);
    grid->EnableWriteback(true);

    CaptureLog log;
    LockHolder lock(*db, "torture");
    // A lock before the first fetch: the cursor fails and starts again once it is gone.
    if (lock.Acquire()) {
        EXPECT_EQ(grid->GetValue(t.Pick(kRows), 1), vqT(""));
        lock.Release();
    }
    int lockedOps = 0, accepted = 0, refused = 0, written = 0, lost = 0, locks = 0;
    for (int op = 0; op < ops && !HasFailure(); ++op) {
        int kind = t.Pick(100);
        if (kind < 6) {  // take or drop the lock
            if (lock.Held())
                lock.Release();
            else
                locks += lock.Acquire();
            continue;
        }
        if (lock.Held() && ++lockedOps % 3 == 0) lock.Release();  // keep lock spells short
        bool locked = lock.Held();
        int row = t.Pick(kRows + 6) - 2;
        if (t.Chance(3)) row = INT_MAX - t.Pick(2);
        int col = t.Pick(kNumColumns);
        const Column& c = kColumns[col];
        int current = grid->GetCurrentRow();
        bool pending = grid->IsPendingUpdate();
        log.Clear();
        std::string what;
        Edit edit;
        bool isEdit = kind >= 50;
        if (kind < 12) {
            what = "UpdateRow(" + std::to_string(row) + ")";
            bool ok = grid->UpdateRow(row);
            if (row == current && pending) {
                EXPECT_TRUE(ok || locked) << what << "\n" << log.ErrorText();
                if (ok) {
                    for (auto& p : t.m_pending) t.m_edited[{t.m_pendingRow, p.first}] = p.second;
                    t.m_pending.clear();
                    ++written;
                }
                EXPECT_EQ(grid->IsPendingUpdate(), !ok) << what;
            } else {
                EXPECT_TRUE(ok) << what;
            }
            continue;
        }
        if (!isEdit) {
            what = "GetValue(" + std::to_string(row) + ", " + c.name + ")";
            std::string shown = grid->GetValue(row, col).ToUTF8();
            if (row < 0 || grid->GetCurrentRow() != row) {
                EXPECT_EQ(shown, "") << what;
                EXPECT_TRUE(grid->IsEmptyCell(row, col)) << what;
            } else {
                std::string text;
                if (t.ExpectedText(c, row + 1, text)) {
                    EXPECT_EQ(shown, text) << what;
                }
            }
        } else {
            edit = t.RandomEdit(c);
            what = edit.Describe() + " on row " + std::to_string(row) + ", " + c.name;
            switch (edit.api) {
                case Edit::kString:
                    grid->SetValue(row, col, edit.text);
                    break;
                case Edit::kLong:
                    grid->SetValueAsLong(row, col, edit.integer);
                    break;
                case Edit::kDouble:
                    grid->SetValueAsDouble(row, col, edit.number);
                    break;
                case Edit::kBool:
                    grid->SetValueAsBool(row, col, edit.flag);
                    break;
                case Edit::kCustom:
                    grid->SetValueAsCustom(row, col, vqT("datetime"), &edit.when);
                    break;
            }
        }
        // Leaving a changed row wrote it back, or logged why not and dropped the changes.
        // A negative row is refused before the cursor moves.
        if (row >= 0 && row != current && pending) {
            bool ok = !log.Contains("ODBC error during Update()");
            EXPECT_TRUE(ok || locked) << what << "\n" << log.ErrorText();
            if (ok) {
                for (auto& p : t.m_pending) t.m_edited[{t.m_pendingRow, p.first}] = p.second;
                ++written;
            } else {
                ++lost;
            }
            t.m_pending.clear();
        }
        bool reached = row >= 0 && grid->GetCurrentRow() == row;
        bool inRange = row >= 0 && row < kRows;
        EXPECT_TRUE(reached || !inRange || locked) << what << "\n" << log.ErrorText();
        EXPECT_TRUE(!reached || inRange) << what;
        if (!isEdit) continue;
        std::string prefix = edit.Describe().substr(0, edit.Describe().find('(')) + "() on " +
                             std::to_string(row) + "," + std::to_string(col) + " refused";
        bool wasRefused = log.Contains(prefix) || log.Contains("SetColumnValue:");
        bool shouldTake = reached && c.updatable && edit.fits;
        if (!edit.custom) {  // a custom value for a column that is no date is ignored
            EXPECT_FALSE(wasRefused) << what << "\n" << log.ErrorText();
            continue;
        }
        EXPECT_EQ(!wasRefused, shouldTake) << what << "\n" << log.ErrorText();
        if (wasRefused) {
            ++refused;
            continue;
        }
        ++accepted;
        t.m_pendingRow = row + 1;
        t.m_pending[col] = edit.expected;
        EXPECT_TRUE(grid->IsPendingUpdate()) << what;
    }
    lock.Release();
    if (grid->IsPendingUpdate()) {
        ASSERT_TRUE(grid->UpdateRow(grid->GetCurrentRow())) << log.ErrorText();
        for (auto& p : t.m_pending) t.m_edited[{t.m_pendingRow, p.first}] = p.second;
        ++written;
    }
    grid.reset();

    StoredRows after = ReadStored(*db, "torture", names);
    ASSERT_EQ(after.size(), static_cast<size_t>(kRows));
    int edited = 0;
    for (auto& row : after) {
        long id = row.first;
        for (int c = 1; c < kNumColumns; ++c) {
            const std::string& stored = row.second[c - 1];
            auto e = t.m_edited.find({id, c});
            if (e == t.m_edited.end()) {
                EXPECT_EQ(stored, t.m_initial[id][c])
                    << "untouched cell changed: id " << id << ", " << kColumns[c].name;
            } else {
                ++edited;
                EXPECT_TRUE(t.Matches(kColumns[c], e->second, stored))
                    << "edited cell: id " << id << ", " << kColumns[c].name << " holds \"" << stored
                    << "\"";
            }
        }
    }
    // The run did what it is for: edits taken and refused, rows written, locks held.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
    EXPECT_GT(written, 0);
    EXPECT_GT(edited, 0);
    EXPECT_GT(locks, 0) << "no lock was ever taken (is the sqlite3 shell installed?)";
    printf(
        "  %d operations: %d edits accepted, %d refused, %d rows written, %d lost to a lock, "
        "%d locks taken, %d cells changed\n",
        ops, accepted, refused, written, lost, locks, edited);
}

INSTANTIATE_TEST_SUITE_P(Backends, WritebackTorture, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "PostgreSQL" : "SQLite");
                         });

}  // namespace
