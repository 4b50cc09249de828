#include "svg_private.h"
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

}  // namespace

void vqSVGFileDC::DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool /*useMask*/) {
    if (m_styleDirty) NewGraphics();
    // The image list keeps one handler per type and deletes this one if it has one.
    vqImage::AddHandler(new vqPNGHandler);

    // Without a document there is nowhere to put a side file.
    if (m_fileName.empty()) {
        m_isOk = false;
        return;
    }

    const vqString stem = SideFileStem(m_fileName);
    vqString name = stem + vqString::Format(vqT("_image%d.png"), m_imageCount);
    // Never overwrite: pictures left by an earlier document push the number on.
    while (vqFile::Exists(name))
        name = stem + vqString::Format(vqT("_image%d.png"), ++m_imageCount);

    const vqBitmap copy = bitmap;
    const bool saved = copy.SaveFile(name, vqBITMAP_TYPE_PNG);

    // The side file lies beside the SVG file, so the reference is its bare name.
    vqString s = vqString::Format(vqT(" <image x=\"%d\" y=\"%d\" width=\"%dpx\" height=\"%dpx\" "),
                                  x, y, copy.GetWidth(), copy.GetHeight());
    s += vqT(" xlink:href=\"") + vqXmlEscape(vqFileNameFromPath(name), true) + vqT("\"> \n");
    s += vqT("<title>Image from vqSVG</title>  </image>");
    s += vqT("\n");
    if (m_isOk && saved) write(s);
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

    vqBitmap bitmap(width, height, -1);
    {
        vqMemoryDC memory;
        memory.SelectObject(bitmap);
        memory.Blit(0, 0, width, height, source, xsrc, ysrc, vqCOPY, false, -1, -1);
        memory.SelectObject(vqNullBitmap);
    }
    // The group comes first, as the picture would write it; then a good state before
    // and after the picture means its element reached the file.
    if (m_styleDirty) NewGraphics();
    const bool wasOk = m_isOk;
    DoDrawBitmap(bitmap, xdest, ydest, false);
    return wasOk && m_isOk;
}
