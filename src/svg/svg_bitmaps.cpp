#include <cerrno>
#include <cstdio>
#include <cstring>

#include "svg_private.h"
#include "vq/log.h"
#include "vq/memory_dc.h"
#include "vq/pnghandler.h"
#include "vq/svgfiledc.h"

namespace {

// The SVG path without the extension of its file-name component: "out/pic.svg"
// gives "out/pic", "my.dir/picture" stays as it is.
vqString SideFileStem(const vqString& svgPath) {
    const vqString::StdString& path = svgPath.str();
    size_t separator = path.find_last_of(vqT("/\\"));
    size_t nameStart = separator == vqString::StdString::npos ? 0 : separator + 1;
    size_t dot = path.rfind(vqT('.'));
    if (dot == vqString::StdString::npos || dot < nameStart) return svgPath;
    return vqString(path.substr(0, dot));
}

// Creates the first side file from number *count on whose name nothing exists yet
// (not even a link, directory or FIFO), never following a link, and writes the
// picture into it; *count moves past every name found taken. False, with the
// failure logged, when no file could be created or the picture not written.
bool SaveSideFile(const vqBitmap& bitmap, const vqString& stem, int* count, vqString* name) {
    for (;;) {
        *name = stem + vqString::Format(vqT("_image%d.png"), *count);
        vqFileOutputStream out(*name, vqFileOutputStream::NEW_ONLY);
        if (!out.IsOk()) {
            if (out.GetLastErrno() == EEXIST && *count < INT_MAX) {
                ++*count;
                continue;
            }
            vqLogError(vqT("Cannot create PNG file '%s': %s"), name->c_str(),
                       vqErrnoText(out.GetLastErrno()).c_str());
            return false;
        }
        bool saved = bitmap.SaveFile(out, *name, vqBITMAP_TYPE_PNG);
        if (!out.Close() && saved) {
            saved = false;
            vqLogError(vqT("Cannot write PNG file '%s': %s"), name->c_str(),
                       vqErrnoText(out.GetLastErrno()).c_str());
        }
        // Leave no partial picture behind; the name is then free for the next one.
        if (!saved) SVGRemoveIfRegular(name->ToUTF8());
        return saved;
    }
}

}  // namespace

void vqSVGFileDC::DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool /*useMask*/) {
    if (!BeginElement(vqT("DoDrawBitmap"))) return;
    // The image list keeps one handler per type and deletes this one if it has one.
    vqImage::AddHandler(new vqPNGHandler);

    // Without a document there is nowhere to put a side file.
    if (m_fileName.empty()) {
        m_isOk = false;
        return;
    }

    const vqString stem = SideFileStem(m_fileName);
    vqString name;
    const bool saved = SaveSideFile(bitmap, stem, &m_imageCount, &name);

    // The side file lies beside the SVG file, so the reference is its bare name (as the
    // file system keeps it), as a URI reference a viewer resolves to that very file.
    if (m_isOk && saved)
        writef(
            vqT(" <image x=\"%d\" y=\"%d\" width=\"%dpx\" height=\"%dpx\"  xlink:href=\"%s\"> \n")
                vqT("<title>Image from vqSVG</title>  </image>\n"),
            x, y, bitmap.GetWidth(), bitmap.GetHeight(),
            vqXmlEscape(vqUriEscapePath(SVGStoredName(vqFileNameFromPath(name))), true).c_str());
    m_isOk = m_outputStream->IsOk() && saved;
}

void vqSVGFileDC::DoDrawIcon(const vqIcon& icon, int x, int y) {
    vqBitmap bitmap(icon.GetWidth(), icon.GetHeight(), -1);
    {
        vqMemoryDC memory;
        memory.SelectObject(bitmap);
        memory.DrawIcon(icon, 0, 0);
        memory.SelectObject(vqNullBitmap);
    }
    DoDrawBitmap(bitmap, x, y, false);
}

bool vqSVGFileDC::DoBlit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc,
                         int ysrc, int rop, bool useMask, int /*xsrcMask*/, int /*ysrcMask*/) {
    if (rop != vqCOPY || useMask) return false;
    if (static_cast<long long>(width) * height > kSVGMaxBlitPixels) {
        vqLogError(vqT("Blit of %d x %d pixels refused: a side file holds at most %lld pixels."),
                   width, height, kSVGMaxBlitPixels);
        return false;
    }

    vqBitmap bitmap(width, height, -1);
    {
        vqMemoryDC memory;
        memory.SelectObject(bitmap);
        memory.Blit(0, 0, width, height, source, xsrc, ysrc, vqCOPY, false, -1, -1);
        memory.SelectObject(vqNullBitmap);
    }
    // The group comes first, as the picture would write it; then a good state before
    // and after the picture means its element reached the file.
    if (!BeginElement(vqT("DoBlit"))) return false;
    const bool wasOk = m_isOk;
    DoDrawBitmap(bitmap, xdest, ydest, false);
    return wasOk && m_isOk;
}
