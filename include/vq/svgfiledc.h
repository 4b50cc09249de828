/// \file
/// \ingroup vectorpage
/// \brief vqSVGFileDC: a device context that writes every drawing call as SVG 1.0 text
/// into a file; bitmaps go into numbered PNG files beside it.
///
/// The application owns the surface. The file grows while drawing; the
/// destructor writes the footer and closes it. Failures never throw: Ok() turns
/// false when the file could not be created or a write did not reach it.
#ifndef VQ_SVGFILEDC_H
#define VQ_SVGFILEDC_H

#include "vq/dc.h"
#include "vq/file.h"

class vqScreenDC;

/// \cond
#ifdef VQMAKING_SVG
#define VQ_SVG_API VQ_EXPORT
#else
#define VQ_SVG_API VQ_IMPORT
#endif
/// \endcond

/// \ingroup vectorpage
/// \brief A device context that writes an SVG 1.0 document, element by element, as the
/// application draws.
///
/// The drawing calls come from vqDC (`vq/dc.h`) and each writes one element:
/// `DrawLine` and `DrawLines` paths, `DrawRectangle` and `DrawRoundedRectangle` a
/// `rect`, `DrawEllipse` an `ellipse`, `DrawPolygon` a `polygon` with its fill rule,
/// `DrawArc` and `DrawEllipticArc` a pie (the arc and two radii), `DrawPoint` a
/// zero-length line with round caps, `DrawText` and `DrawRotatedText` a `text`
/// element (behind a filled `rect` when the background mode is `vqSOLID`), and
/// `DrawBitmap`, `DrawIcon` and Blit() an `image` referencing a PNG side file. A
/// change of pen, brush or mapping starts a new style group before the next element.
///
/// Ownership: the application owns the surface and may keep it on the stack; the
/// surface owns its file stream and the screen context it measures text on. Caller
/// objects (pens, brushes, fonts, bitmaps, source contexts) are only read.
///
/// Failures never throw. Ok() turns false when the file could not be created (not
/// logged) or a write did not reach it; the destructor logs a document that did not
/// reach its file in full. A drawing call whose angle or radius, or the mapping's
/// scale or translation, is NaN or infinite writes an XML comment in place of its
/// element, so no such number reaches the document. Calls that cannot be honoured
/// (flood fill, reading a pixel, clipping) do nothing and say so where they return a
/// value.
class VQ_SVG_API vqSVGFileDC : public vqDC {
public:
    /// Creates (or empties) the file and writes the header: 320 x 240 pixels at 72 dpi.
    /// The file name is taken as it is (UTF-8 on the file system in the wide build).
    /// When the file cannot be created, Ok() is false, nothing is logged and nothing is
    /// drawn.
    vqSVGFileDC(vqString fileName);
    /// A picture of width x height pixels at 72 dpi; fails as the first form does. A
    /// negative width or height gives 320 x 240, with one logged error naming the file.
    vqSVGFileDC(vqString fileName, int width, int height);
    /// A picture of width x height pixels at the given resolution (dots per inch), which
    /// sets the document's size in centimetres and the metric map modes' scale; fails
    /// as the first form does. A resolution that is not positive and finite falls back
    /// to 72 dpi, a negative width or height to 320 x 240, each with one logged error
    /// naming the file.
    vqSVGFileDC(vqString fileName, int width, int height, float dpi);
    /// Writes the footer and closes the file. A document that did not reach the file
    /// in full (a full disk, say) is logged as an error naming the file.
    ~vqSVGFileDC() override;

    /// True while the file opened and every write so far reached it.
    bool Ok() const override { return m_isOk; }
    /// Does nothing: a document cannot be cleared.
    void Clear() override {}
    /// Returns false: the surface is one document, not a printer job.
    bool StartDoc(const vqString&) override { return false; }
    /// Does nothing: the surface has no pages.
    void EndDoc() override {}
    /// Does nothing: the surface has no pages.
    void StartPage() override {}
    /// Does nothing: the surface has no pages.
    void EndPage() override {}

    /// Sets the font of the text drawn from now on; the surface keeps a reference to the
    /// font's shared data.
    void SetFont(const vqFont& font) override;
    /// Sets the pen (stroke colour, width, cap, join and style); the next element starts
    /// a new style group. Styles other than solid and transparent are drawn solid, with
    /// an XML comment saying so.
    void SetPen(const vqPen& pen) override;
    /// Sets the brush (fill colour; solid or transparent); the next element starts a new
    /// style group.
    void SetBrush(const vqBrush& brush) override;
    /// Sets the background brush; the document itself has no background.
    void SetBackground(const vqBrush& brush) override;
    /// Sets the background mode: with `vqSOLID` text is drawn over a rectangle of the
    /// text background colour, with `vqTRANSPARENT` (the default) without one.
    void SetBackgroundMode(int mode) override;
    /// Does nothing: the document's colours are true colours.
    void SetPalette(const vqPalette&) override {}
    /// Does nothing: the surface does not clip.
    void DestroyClippingRegion() override {}

    /// The height of the current font (ascent plus descent), measured on the screen
    /// context the surface keeps (96 dpi, fonts found through fontconfig and measured
    /// with FreeType).
    int GetCharHeight() const override;
    /// The advance of "x" in the current font, measured as GetCharHeight() is.
    int GetCharWidth() const override;
    /// True: bitmaps are written as PNG side files.
    bool CanDrawBitmap() const override { return true; }
    /// True: text is measured on the screen context.
    bool CanGetTextExtent() const override { return true; }
    /// -1: the document has no colour depth.
    int GetDepth() const override { return -1; }

    /// Sets the map mode: `vqMM_LOMETRIC` (0.1 mm), `vqMM_TWIPS`, `vqMM_POINTS` and
    /// `vqMM_METRIC` (1 mm) scale logical units by the resolution given at construction;
    /// every other mode maps one unit to one pixel. Like every mapping setter, makes the
    /// next element start a new group.
    void SetMapMode(int mode) override;
    /// Stores the user scale in x and y; either may be null.
    void GetUserScale(double* x, double* y) const override;
    /// Sets the user scale, multiplied into the map mode's logical scale. While the
    /// resulting scale or translation is not finite, every element is skipped with a
    /// comment in the document in its place, as is one whose angle or radius is not.
    void SetUserScale(double x, double y) override;
    /// Sets the logical scale (what the map mode sets).
    void SetLogicalScale(double x, double y) override;
    /// Sets the logical origin; a flipped axis turns `INT_MIN` into `INT_MAX`.
    void SetLogicalOrigin(int x, int y) override;
    /// Sets the device origin, in pixels of the document.
    void SetDeviceOrigin(int x, int y) override;
    /// Recomputes the scale and translation of the style groups from the scales and
    /// origins; the mapping setters call it.
    void ComputeScaleAndOrigin() override;
    /// Sets the direction of the axes: x left to right, y down (the default) or up.
    void SetAxisOrientation(bool xLeftRight, bool yBottomUp) override;
    /// Does nothing: every element is drawn as a plain copy.
    void SetLogicalFunction(int) override {}

    /// Does nothing: elements reach the file as they are drawn.
    void BeginDrawing() {}
    /// Does nothing: elements reach the file as they are drawn.
    void EndDrawing() {}
    /// Copies a region of a memory context into a PNG side file. Refuses (false, logged)
    /// more than 2^26 pixels (8192 x 8192); false too for a rop other than vqCOPY or a mask,
    /// and when the side file or its element could not be written (logged).
    bool Blit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
              int rop = vqCOPY, bool useMask = false) {
        return DoBlit(xdest, ydest, width, height, source, xsrc, ysrc, rop, useMask, -1, -1);
    }
    /// Does nothing: the surface draws no cross hair.
    void CrossHair(int x, int y) { DoCrossHair(x, y); }
    /// Saves the bitmap as the first free `<name>_image<n>.png` beside the document,
    /// skipping every name taken by anything (file, directory, link, FIFO); the side
    /// file is created new, never through a link. The mask is ignored. A side file that
    /// cannot be created or written is logged, removed if partly written, and turns
    /// Ok() false.
    void DrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask = false) {
        DoDrawBitmap(bitmap, x, y, useMask);
    }
    /// Draws the icon into a bitmap of its size and saves that as DrawBitmap() does.
    void DrawIcon(const vqIcon& icon, int x, int y) { DoDrawIcon(icon, x, y); }
    /// Does nothing: the surface cannot flood-fill (a null colour is accepted).
    void FloodFill(int x, int y, vqColour* colour, int style = 1) {
        DoFloodFill(x, y, colour ? *colour : vqNullColour, style);
    }
    /// Returns false and leaves the colour untouched: a document cannot be read back.
    bool GetPixel(int x, int y, vqColour* colour) { return DoGetPixel(x, y, colour); }
    /// Does nothing and leaves the arguments untouched: the surface does not clip.
    void GetClippingBox(int*, int*, int*, int*) {}
    /// Does nothing: the surface does not clip.
    void SetClippingRegion(int, int, int, int) {}
    /// `vqCOPY`, the only logical function the surface draws with.
    int GetLogicalFunction() { return vqCOPY; }
    /// The map mode last set (`vqMM_TEXT` at first).
    int GetMapMode() { return m_mapMode; }

    /// Maps a logical x coordinate to pixels of the document with the current scales,
    /// origins and axis direction, saturating at the int range.
    int LogicalToDeviceX(int x) const;
    /// Maps a logical y coordinate to pixels, as LogicalToDeviceX() does.
    int LogicalToDeviceY(int y) const;
    /// Maps a logical width to pixels with the current scale, saturating at the int range.
    int LogicalToDeviceXRel(int x) const;
    /// Maps a logical height to pixels, as LogicalToDeviceXRel() does.
    int LogicalToDeviceYRel(int y) const;
    /// Maps an x coordinate in pixels back to logical units, saturating at the int
    /// range; under a zero scale every coordinate maps to the logical origin.
    int DeviceToLogicalX(int x) const;
    /// Maps a y coordinate in pixels back to logical units, as DeviceToLogicalX() does.
    int DeviceToLogicalY(int y) const;
    /// Maps a width in pixels back to logical units; 0 under a zero scale.
    int DeviceToLogicalXRel(int x) const;
    /// Maps a height in pixels back to logical units; 0 under a zero scale.
    int DeviceToLogicalYRel(int y) const;

    /// Writes a polyline as one path element per neighbouring pair of points, each point
    /// moved by the offsets; fewer than two points write nothing.
    void DoDrawLines(int n, vqPoint points[], int xoffset, int yoffset) override;

private:
    void Init(vqString fileName, int width, int height, float dpi);
    // The only ways anything reaches the file; each refreshes m_isOk. writef formats
    // like vqString::Format straight into the stream.
    void write(const vqString& text);
    void writef(const vqChar* format, ...);
    // Starts an element for the named call: false, with a comment written in its place,
    // when a, b or the mapping is not finite; else true, after any pending style group.
    bool BeginElement(const vqChar* call, double a = 0.0, double b = 0.0);
    // Writes a style group for the current pen, brush and mapping.
    void NewGraphics();
    // The kept screen context, with the surface's font selected.
    vqScreenDC& TextMeasure() const;

    int XLOG2DEV(int x) const { return LogicalToDeviceX(x); }
    int YLOG2DEV(int y) const { return LogicalToDeviceY(y); }
    int XLOG2DEVREL(int x) const { return LogicalToDeviceXRel(x); }
    int YLOG2DEVREL(int y) const { return LogicalToDeviceYRel(y); }
    int XDEV2LOG(int x) const { return DeviceToLogicalX(x); }
    int YDEV2LOG(int y) const { return DeviceToLogicalY(y); }
    int XDEV2LOGREL(int x) const { return DeviceToLogicalXRel(x); }
    int YDEV2LOGREL(int y) const { return DeviceToLogicalYRel(y); }

    bool DoFloodFill(int, int, const vqColour&, int) override { return false; }
    // The surface cannot read a pixel back: false, the colour untouched.
    bool DoGetPixel(int, int, vqColour*) const override { return false; }
    void DoDrawPoint(int x, int y) override;
    void DoDrawLine(int x1, int y1, int x2, int y2) override;
    void DoDrawArc(int x1, int y1, int x2, int y2, int xc, int yc) override;
    void DoDrawCheckMark(int x, int y, int width, int height) override;
    void DoDrawEllipticArc(int x, int y, int width, int height, double startAngle,
                           double endAngle) override;
    void DoDrawRectangle(int x, int y, int width, int height) override;
    void DoDrawRoundedRectangle(int x, int y, int width, int height, double radius) override;
    void DoDrawEllipse(int x, int y, int width, int height) override;
    void DoCrossHair(int, int) override {}
    void DoDrawIcon(const vqIcon& icon, int x, int y) override;
    void DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask) override;
    void DoDrawText(const vqString& text, int x, int y) override;
    void DoDrawRotatedText(const vqString& text, int x, int y, double angle) override;
    bool DoBlit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
                int rop, bool useMask, int xsrcMask, int ysrcMask) override;
    void DoGetSize(int* width, int* height) const override;
    void DoDrawPolygon(int n, vqPoint points[], int xoffset, int yoffset, int fillStyle) override;
    void DoSetClippingRegionAsRegion(const vqRegion&) override {}
    void DoGetTextExtent(const vqString& string, int* x, int* y, int* descent, int* externalLeading,
                         const vqFont* font) const override;

    vqFileOutputStream* m_outputStream;
    vqString m_fileName;
    int m_imageCount;
    bool m_isOk;
    bool m_styleDirty;
    int m_widthPx;
    int m_heightPx;
    double m_logicalScaleX, m_logicalScaleY;
    double m_userScaleX, m_userScaleY;
    double m_scaleX, m_scaleY;
    double m_translateX, m_translateY;
    double m_pixelsPerMmX, m_pixelsPerMmY;
    // The screen context that measures text, made on first use and kept.
    mutable vqScreenDC* m_textMeasure;
};

#endif
