// One program over all four libraries, built against the installed tree: draws an
// SVG, reads a cell of a SQLite table through the grid table, renders a GL frame
// through the canvas and loads a picture from an XML resource file.
// <GL/gl.h> needs <windows.h> before it on Windows; vq/platform/win32.h brings it.
#include "vq/platform/win32.h"

#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vq/dbgridtable.h"
#include "vq/frame.h"
#include "vq/glcanvas.h"
#include "vq/image.h"
#include "vq/panel.h"
#include "vq/picturehandler.h"
#include "vq/pnghandler.h"
#include "vq/static_picture.h"
#include "vq/svgfiledc.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Fail(const char* part, const std::string& why) {
    std::printf("%s: %s\n", part, why.c_str());
    return false;
}

bool DrawSvg(const std::string& dir) {
    const std::string path = dir + "/all.svg";
    {
        vqSVGFileDC dc(vqString::FromUTF8(path), 100, 50);
        if (!dc.Ok()) return Fail("svg", "cannot create " + path);
        dc.SetBrush(vqBrush(vqColour(0, 128, 255)));
        dc.DrawRectangle(5, 5, 40, 20);
    }
    std::string text = ReadFile(path);
    if (text.find("fill:#0080FF;") == std::string::npos || text.find("</svg>") == std::string::npos)
        return Fail("svg", "unexpected document " + path);
    std::printf("svg: %s\n", path.c_str());
    return true;
}

bool ReadGridCell(const std::string& dir) {
    const std::string path = dir + "/all.db";
    std::remove(path.c_str());
    vqDb db(vqString::FromUTF8("Driver=SQLite3;Database=" + path));
    if (!db.IsOpen() ||
        !db.ExecSql(vqT("CREATE TABLE parts (id INTEGER PRIMARY KEY, name VARCHAR(20))")) ||
        !db.ExecSql(vqT("INSERT INTO parts VALUES (1, 'bolt'), (2, 'nut')")))
        return Fail("grid", "cannot make " + path);
    vqDbTable* table = new vqDbTable(&db, vqT("parts"), 2);
    table->SetColDefs(0, vqT("id"), vqDB_DATA_TYPE_INTEGER, nullptr, SQL_C_SLONG, 0, true, false);
    table->SetColDefs(1, vqT("name"), vqDB_DATA_TYPE_VARCHAR, nullptr, SQL_C_CHAR, 21);
    table->SetOrderByClause(vqT("id"));
    if (!table->Open() || !table->Query()) {
        delete table;
        return Fail("grid", "cannot query parts");
    }
    vqDbGridColInfo columns(0, vqT("dbauto"), vqT("Id"), nullptr);
    columns.AddColInfo(1, vqT("string"), vqT("Name"));
    vqGrid grid;
    grid.SetTable(new vqDbGridTableBase(table, &columns, -1, true), true);
    std::string cell = grid.GetCellValue(1, 1).ToUTF8();
    if (cell != "nut") return Fail("grid", "row 1, column 1 reads \"" + cell + "\"");
    std::printf("grid: %s row 1 name = %s\n", path.c_str(), cell.c_str());
    return true;
}

bool RenderGlFrame() {
#ifndef _WIN32
    if (!vqPlatformHasGL()) return Fail("gl", std::string("no OpenGL: ") + vqPlatformGLStatus());
#endif
    vqFrame frame(nullptr, vqID_ANY, vqT("all four"), vqDefaultPosition, vqSize(32, 32));
    int attribs[] = {VQ_GL_ATTR_RGBA, VQ_GL_ATTR_DOUBLE_BUFFER, 0};
    vqGLCanvas canvas(&frame, vqID_ANY, vqPoint(0, 0), vqSize(32, 32), 0, vqT("GLCanvas"), attribs);
    if (!canvas.GetContext() || !canvas.GetContext()->GetGLRC())
        return Fail("gl", "no rendering context");
    canvas.SetCurrent();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
#ifdef _WIN32
    // Windows keeps no copy of a presented frame: read the back buffer before the swap.
    int w = 32, h = 32;
    std::vector<unsigned char> rgba(4 * w * h);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    canvas.SwapBuffers();
    if (glGetError() != GL_NO_ERROR || rgba[0] != 255 || rgba[1] != 0)
        return Fail("gl", "the rendered frame is not the cleared colour");
#else
    canvas.SwapBuffers();
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    if (!vqPlatformReadPresentedPixels(static_cast<HWND>(canvas.GetHWND()), &w, &h, &rgba) ||
        rgba.size() < 4 || rgba[0] != 255 || rgba[1] != 0)
        return Fail("gl", "the presented frame is not the cleared colour");
#endif
    std::printf("gl: %d x %d frame presented\n", w, h);
    return true;
}

bool LoadPicture(const std::string& dir) {
    vqImage::AddHandler(new vqPNGHandler);
    vqBitmap dot(8, 6, 24);
    if (!dot.SaveFile(vqString::FromUTF8(dir + "/dot.png"), vqBITMAP_TYPE_PNG))
        return Fail("picture", "cannot write dot.png");
    const std::string path = dir + "/all.xml";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<resource>\n"
                           "<object class=\"vqStaticPicture\" name=\"dot\">"
                           "<bitmap>dot.png</bitmap><pos>3,4</pos></object>\n</resource>\n";
    vqXmlResource res;
    res.AddHandler(new vqStaticPictureXmlHandler);
    if (!res.Load(vqString::FromUTF8(path))) return Fail("picture", "cannot load " + path);
    vqPanel parent(nullptr, vqID_ANY, vqPoint(0, 0), vqSize(64, 64));
    auto* picture =
        vqDynamicCast<vqStaticPicture>(res.LoadObject(&parent, vqT("dot"), vqT("vqStaticPicture")));
    if (!picture || picture->GetBitmap().GetWidth() != 8 ||
        !(picture->GetPosition() == vqPoint(3, 4)))
        return Fail("picture", "the picture did not load as written");
    std::printf("picture: %s loaded an 8 x 6 picture at (3, 4)\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = DrawSvg(dir);
    ok = ReadGridCell(dir) && ok;
    ok = RenderGlFrame() && ok;
    ok = LoadPicture(dir) && ok;
    return ok ? 0 : 1;
}
