// The grid part of the showcase: makes a sample SQLite database on first run,
// shows it through the database grid table (labels, type names, the first rows,
// the read-only cells) and draws the same table into an SVG file.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "showcase.h"
#include "vq/dbgridtable.h"
#include "vq/svgfiledc.h"

namespace {

const int kSampleRows = 300;
const int kShownRows = 6;

// Every value type code the grid table tells apart, one column each.
struct Column {
    const vqChar* name;
    const char* sqlType;
    int dataType;
    SWORD cType;
    long size;
};
const Column kColumns[] = {
    {vqT("id"), "INTEGER PRIMARY KEY", vqDB_DATA_TYPE_INTEGER, SQL_C_SLONG, 4},
    {vqT("name"), "VARCHAR(31)", vqDB_DATA_TYPE_VARCHAR, SQL_C_CHAR, 32},
    {vqT("label"), "VARCHAR(31)", vqDB_DATA_TYPE_VARCHAR, SQL_C_WCHAR, 64},
    {vqT("qty"), "INTEGER", vqDB_DATA_TYPE_INTEGER, SQL_C_LONG, 4},
    {vqT("shelf"), "SMALLINT", vqDB_DATA_TYPE_INTEGER, SQL_C_SHORT, 2},
    {vqT("delta"), "SMALLINT", vqDB_DATA_TYPE_INTEGER, SQL_C_SSHORT, 2},
    {vqT("bin"), "INTEGER", vqDB_DATA_TYPE_INTEGER, SQL_C_USHORT, 2},
    {vqT("serial"), "BIGINT", vqDB_DATA_TYPE_INTEGER, SQL_C_ULONG, 4},
    {vqT("weight"), "REAL", vqDB_DATA_TYPE_FLOAT, SQL_C_FLOAT, 4},
    {vqT("price"), "DOUBLE", vqDB_DATA_TYPE_FLOAT, SQL_C_DOUBLE, 8},
    {vqT("added"), "DATE", vqDB_DATA_TYPE_DATE, SQL_C_DATE, 0},
    {vqT("opens"), "TIME", vqDB_DATA_TYPE_DATE, SQL_C_TIME, 0},
    {vqT("checked"), "TIMESTAMP", vqDB_DATA_TYPE_DATE, SQL_C_TIMESTAMP, 0},
};
const int kNumColumns = sizeof(kColumns) / sizeof(kColumns[0]);

// The table over "parts"; the key column is not updatable, so its cells are read-only.
vqDbTable* OpenParts(vqDb& db) {
    vqDbTable* table = new vqDbTable(&db, vqT("parts"), kNumColumns);
    for (int i = 0; i < kNumColumns; ++i)
        table->SetColDefs(i, kColumns[i].name, kColumns[i].dataType, nullptr, kColumns[i].cType,
                          kColumns[i].size, i == 0, i != 0);
    if (!table->Open()) {
        delete table;
        return nullptr;
    }
    return table;
}

bool MakeSample(vqDb& db) {
    std::string ddl = "CREATE TABLE parts (";
    for (int i = 0; i < kNumColumns; ++i)
        ddl += std::string(i ? ", " : "") + vqString(kColumns[i].name).ToUTF8() + " " +
               kColumns[i].sqlType;
    if (!db.ExecSql(vqString::FromUTF8(ddl + ")"))) return false;
    std::unique_ptr<vqDbTable> table(OpenParts(db));
    if (!table) return false;
    static const char* names[] = {"bolt", "nut", "washer", "hinge", "bracket", "spring"};
    static const char* labels[] = {
        "M6 \xC3\x97 20", "M6", "\xC3\x98 12", "brass", "\xE2\x80\x9CL\xE2\x80\x9D form",
        "\xCE\xBC-coil"};
    db.ExecSql(vqT("BEGIN"));
    for (int r = 0; r < kSampleRows; ++r) {
        table->ClearMemberVars(false);
        table->SetColumnValue(0, vqVariant(long(r + 1)));
        table->SetColumnValue(1, vqVariant(vqString::FromUTF8(names[r % 6])));
        table->SetColumnValue(2, vqVariant(vqString::FromUTF8(labels[r % 6])));
        table->SetColumnValue(3, vqVariant(long(r * 13 % 500)));
        table->SetColumnValue(4, vqVariant(long(r % 40)));
        table->SetColumnValue(5, vqVariant(long(r % 9 - 4)));
        table->SetColumnValue(6, vqVariant(long(60000 + r)));
        table->SetColumnValue(7, vqVariant(long(3000000000L + r)));
        table->SetColumnValue(8, vqVariant(0.125 * (r % 17)));
        table->SetColumnValue(9, vqVariant(1.99 + r * 0.5));
        table->SetColumnValue(10, vqVariant(vqDateTime(2024, 1 + r % 12, 1 + r % 28, 0, 0, 0, 0,
                                                       vqDateTime::DatePart)));
        table->SetColumnValue(11, vqVariant(vqDateTime::Time(8 + r % 10, r % 60, 0)));
        table->SetColumnValue(12, vqVariant(vqDateTime(2025, 3, 1 + r % 28, r % 24, r % 60, 30)));
        if (r % 5 == 4) table->SetColNull(9);  // some prices are unknown
        if (!table->Insert()) return false;
    }
    return db.ExecSql(vqT("COMMIT"));
}

bool ShowGrid(const std::string& outDir) {
    std::string dbFile = outDir + "/grid-sample.db";
    struct stat info;
    bool exists = stat(dbFile.c_str(), &info) == 0;
    vqDb db(vqString::FromUTF8("Driver=SQLite3;Database=" + dbFile));
    if (!db.IsOpen()) return false;
    if (!exists && !MakeSample(db)) return false;
    showcase::Say("   sample database: %s (%s)", dbFile.c_str(), exists ? "reused" : "made now");

    vqDbTable* table = OpenParts(db);
    if (!table) return false;
    table->SetOrderByClause(vqT("id"));
    if (!table->Query()) return false;
    vqDbGridColInfo columns(0, vqT("dbauto"), vqT("Id"), nullptr);
    for (int i = 1; i < kNumColumns; ++i) columns.AddColInfo(i, vqT("dbauto"), kColumns[i].name);
    vqGrid grid;
    grid.SetTable(new vqDbGridTableBase(table, &columns, -1, true), true);
    vqGridTableBase* gridTable = grid.GetTable();
    showcase::Say("   %d rows x %d columns", grid.GetNumberRows(), grid.GetNumberCols());

    const int width = 12;
    std::string header, types, rule;
    for (int c = 0; c < grid.GetNumberCols(); ++c) {
        char cell[64];
        snprintf(cell, sizeof cell, "%-*s", width, grid.GetColLabelValue(c).ToUTF8().c_str());
        header += cell;
        snprintf(cell, sizeof cell, "%-*s", width, gridTable->GetTypeName(0, c).ToUTF8().c_str());
        types += cell;
        rule += std::string(width - 1, '-') + " ";
    }
    showcase::Say("   %s", header.c_str());
    showcase::Say("   %s", types.c_str());
    showcase::Say("   %s", rule.c_str());
    for (int r = 0; r < kShownRows; ++r) {
        std::string line;
        for (int c = 0; c < grid.GetNumberCols(); ++c) {
            std::string text = grid.GetCellValue(r, c).ToUTF8();
            if (text.empty()) text = "(null)";
            // Pad by characters, not bytes, so that UTF-8 text lines up.
            size_t chars = 0;
            for (unsigned char ch : text) chars += (ch & 0xC0) != 0x80;
            line += text + std::string(chars < size_t(width) ? width - chars : 1, ' ');
        }
        showcase::Say("   %s", line.c_str());
    }
    std::string readOnly;
    for (int c = 0; c < grid.GetNumberCols(); ++c)
        if (grid.IsReadOnly(0, c)) readOnly += " " + grid.GetColLabelValue(c).ToUTF8();
    showcase::Say("   read-only columns:%s", readOnly.c_str());

    // The same rows drawn as a table.
    const int colWidth = 96, lastWidth = 136, rowHeight = 22, margin = 10;
    const int tableWidth = colWidth * (kNumColumns - 1) + lastWidth;
    const int shown = kShownRows + 1;
    std::string svgFile = outDir + "/grid.svg";
    {
        // At 96 dpi, the resolution the text is measured at, one unit is one pixel.
        vqSVGFileDC dc(vqString::FromUTF8(svgFile), margin * 2 + tableWidth,
                       margin * 2 + rowHeight * shown, 96);
        // A named face: without one each viewer picks its own default font.
        dc.SetFont(vqFont(8, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("DejaVu Sans")));
        dc.SetPen(vqPen(vqColour(160, 160, 160), 1));
        for (int r = 0; r < shown; ++r) {
            for (int c = 0; c < kNumColumns; ++c) {
                bool head = r == 0;
                bool locked = !head && grid.IsReadOnly(r - 1, c);
                dc.SetBrush(vqBrush(head     ? vqColour(220, 226, 240)
                                    : locked ? vqColour(240, 240, 240)
                                             : vqColour(255, 255, 255)));
                int x = margin + c * colWidth, y = margin + r * rowHeight;
                dc.DrawRectangle(x, y, c == kNumColumns - 1 ? lastWidth : colWidth, rowHeight);
                vqString text = head ? grid.GetColLabelValue(c) : grid.GetCellValue(r - 1, c);
                dc.SetTextForeground(locked ? vqColour(110, 110, 110) : vqColour(0, 0, 0));
                dc.DrawText(text, x + 4, y + 4);
            }
        }
        dc.SetPen(vqPen(vqColour(40, 60, 120), 2));
        dc.DrawLine(margin, margin + rowHeight, margin + tableWidth, margin + rowHeight);
        if (!dc.Ok()) return false;
    }
    showcase::Say("   grid drawn as a table: %s", svgFile.c_str());
    char caption[200];
    snprintf(caption, sizeof caption,
             "the grid drawn as a table through vqSVGFileDC: the first %d of its %d rows, all %d "
             "columns; grey cells are read-only",
             kShownRows, grid.GetNumberRows(), grid.GetNumberCols());
    showcase::Show("grid.svg", showcase::View::kDocument, caption);
    return true;
}

showcase::Registrar reg(20, "grid", "Database grid table (rowgrid)", ShowGrid);

}  // namespace
