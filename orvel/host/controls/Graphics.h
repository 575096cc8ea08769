// Pictures and drawing: the host colours (with the system colours), fonts, brushes and pens,
// TBitmap with real pixels, and TCanvas, which draws into a bitmap's pixels with a built-in
// fixed-pitch bitmap font. Nothing here depends on a control: a control paints through a canvas
// that targets an offscreen bitmap of its size.
#pragma once

#include "orvel/host/core/Events.h"
#include "orvel/host/core/Messages.h"
#include "orvel/host/core/Object.h"
#include "orvel/host/core/Types.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvel {

class TStream;

// A colour: 0x00BBGGRR for a plain colour; with the top bit set, a system colour whose low byte is
// the index of the system colour table; clNone and clDefault are special values.
using TColor = int32_t;

constexpr TColor ColorValue(uint32_t v) {
    return static_cast<TColor>(v);
}

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours: the top bit and the index of the entry in the system colour table.
inline constexpr uint32_t clSystemColor = 0x80000000u;
inline constexpr TColor clScrollBar = ColorValue(clSystemColor | 0);
inline constexpr TColor clBackground = ColorValue(clSystemColor | 1);
inline constexpr TColor clActiveCaption = ColorValue(clSystemColor | 2);
inline constexpr TColor clInactiveCaption = ColorValue(clSystemColor | 3);
inline constexpr TColor clMenu = ColorValue(clSystemColor | 4);
inline constexpr TColor clWindow = ColorValue(clSystemColor | 5);
inline constexpr TColor clWindowFrame = ColorValue(clSystemColor | 6);
inline constexpr TColor clMenuText = ColorValue(clSystemColor | 7);
inline constexpr TColor clWindowText = ColorValue(clSystemColor | 8);
inline constexpr TColor clCaptionText = ColorValue(clSystemColor | 9);
inline constexpr TColor clActiveBorder = ColorValue(clSystemColor | 10);
inline constexpr TColor clInactiveBorder = ColorValue(clSystemColor | 11);
inline constexpr TColor clAppWorkSpace = ColorValue(clSystemColor | 12);
inline constexpr TColor clHighlight = ColorValue(clSystemColor | 13);
inline constexpr TColor clHighlightText = ColorValue(clSystemColor | 14);
inline constexpr TColor clBtnFace = ColorValue(clSystemColor | 15);
inline constexpr TColor clBtnShadow = ColorValue(clSystemColor | 16);
inline constexpr TColor clGrayText = ColorValue(clSystemColor | 17);
inline constexpr TColor clBtnText = ColorValue(clSystemColor | 18);
inline constexpr TColor clInactiveCaptionText = ColorValue(clSystemColor | 19);
inline constexpr TColor clBtnHighlight = ColorValue(clSystemColor | 20);
inline constexpr TColor cl3DDkShadow = ColorValue(clSystemColor | 21);
inline constexpr TColor cl3DLight = ColorValue(clSystemColor | 22);
inline constexpr TColor clInfoText = ColorValue(clSystemColor | 23);
inline constexpr TColor clInfoBk = ColorValue(clSystemColor | 24);

constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}
constexpr uint8_t GetRValue(TColor c) {
    return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GetGValue(TColor c) {
    return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t GetBValue(TColor c) {
    return static_cast<uint8_t>((c >> 16) & 0xFF);
}

// The plain colour of a system colour table entry (a fixed, machine-independent scheme); black
// for an index outside the table.
TColor GetSysColor(int index);
// Switching the system colour table (a theme): SetSysColor sets one entry (an index outside the
// table raises EInvalidGraphic), ResetSysColors restores the classic scheme, UseDarkSysColors
// puts a coherent dark scheme in place. Controls paint their themeable parts only in system
// colours, so one table change repaints every control in the new scheme.
void SetSysColor(int index, TColor color);
void ResetSysColors();
void UseDarkSysColors();
inline constexpr int SysColorCount = 25;
// The plain 0x00BBGGRR value of any colour: system colours through the system colour table;
// other values (clNone and clDefault too) keep their low 24 bits.
TColor ColorToRGB(TColor color);

enum TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
enum TTransparentMode { tmAuto, tmFixed };
enum TBrushStyle { bsSolid, bsClear };

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

// Base of fonts, brushes and pens: tells its owner (a canvas) about changes.
class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

// The name of the built-in fixed-pitch bitmap font: glyph cells of TextCellWidth by
// TextCellHeight pixels at Size 8, scaled by whole multiples for larger sizes. Tests that need
// fixed text measures use it.
inline constexpr const char* BitmapFontName = "Fixed";
// The name new fonts start with: the bitmap font unless a front end chooses the real font
// (for example "DejaVu Sans") for what people see.
const std::string& DefaultFontName();
void SetDefaultFontName(const std::string& name);

// The canvas's font. A font named BitmapFontName draws with the built-in bitmap font; any other
// name draws anti-aliased proportional text with the host font of that family (the bitmap font
// when the machine has no font at all). Size is in points on a 96-dots-per-inch screen.
class TFont : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Size() const { return FSize; }
    void SetSize(int value); // values below 1 are taken as 1
    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    // The character height in pixels, negative as the host gives it.
    int Height() const;
    // Whether text is drawn with the built-in bitmap font.
    bool IsBitmapFont() const;
    // Whole-multiple scaling of the bitmap font for the size (1 up to size 15, 2 up to 23, ...,
    // at most MaxFontScale).
    int Scale() const;
    static constexpr int MaxFontScale = 64;
    // The width in pixels of UTF-8 text drawn in this font, measured without a canvas.
    int TextWidth(const std::string& text) const;
    void Assign(TPersistent* source) override;

private:
    TColor FColor = clWindowText;
    int FSize = 8;
    std::string FName = DefaultFontName();
    TFontStyles FStyle = 0;
};

class TBrush : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    void Assign(TPersistent* source) override;

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};

class TPen : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Width() const { return FWidth; }
    void SetWidth(int value); // values below 1 are taken as 1
    void Assign(TPersistent* source) override;

private:
    TColor FColor = clBlack;
    int FWidth = 1;
};

// The size of a character cell of the built-in font at scale 1.
inline constexpr int TextCellWidth = 6;
inline constexpr int TextCellHeight = 11;

class TCanvas;
class THostFace;
class TMixTable;
struct TPngImage;

// A picture held as real pixels in memory, each a plain colour 0x00BBGGRR, rows top first.
// The alpha channel of 32-bit pictures is not kept. A new or enlarged area is black.
class TBitmap : public TPersistent {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetWidth(int value) { SetSize(value, FHeight); }
    void SetHeight(int value) { SetSize(FWidth, value); }
    // Keeps the pixels of the common part. Negative sizes and sizes above MaxPixels raise
    // EInvalidGraphic and leave the bitmap as it was.
    void SetSize(int width, int height);
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    // The canvas that draws on this bitmap, created on first use and owned by the bitmap.
    TCanvas* Canvas();

    // The pixel at (x, y); clNone outside the bitmap.
    TColor Pixel(int x, int y) const;
    // Sets a pixel to a colour (system colours are resolved); ignored outside the bitmap.
    void SetPixel(int x, int y, TColor color);
    // Row y (0 at the top) as Width plain colours; EInvalidGraphic outside 0..Height-1.
    uint32_t* ScanLine(int y);
    const uint32_t* ScanLine(int y) const;
    // Fills the whole bitmap with one colour.
    void Fill(TColor color);

    // The bit depth the picture was read with (pf24bit for a bitmap made in memory); pictures are
    // always written with 24 bits per pixel.
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat value) { FPixelFormat = value; }

    // The colour treated as see-through when the bitmap is drawn transparently. In automatic
    // mode it is the colour of the bottom-left pixel (clNone for an empty bitmap); setting a
    // colour fixes it, setting clDefault returns to automatic mode.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value);
    // Drawn with pixels of TransparentColor left out.
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    // Reads a Windows bitmap file image at the stream's position. A damaged picture raises
    // EInvalidGraphic and leaves the bitmap unchanged.
    void LoadFromStream(TStream& stream);
    // Writes the bitmap as a Windows bitmap file image (24 bits per pixel).
    void SaveToStream(TStream& stream) const;
    // Reads a Windows bitmap file or a PNG file (told apart by the file's first bytes). A PNG
    // picture's see-through pixels (alpha below half) make the bitmap transparent with a colour
    // no other pixel has.
    void LoadFromFile(const std::string& fileName);
    // Writes a PNG file when the name ends in ".png" (any case), else a Windows bitmap file.
    void SaveToFile(const std::string& fileName) const;

    void Assign(TPersistent* source) override;
    // Same size and same pixels.
    bool SamePixels(const TBitmap& other) const;

    // The largest number of pixels a bitmap may hold (64 Mi).
    static constexpr int64_t MaxPixels = int64_t{1} << 26;

    TNotifyEvent OnChange;
    void Changed();

private:
    friend class TCanvas;
    void LoadPng(TStream& stream);
    void MarkSeeThrough(TPngImage& image);
    void RelayoutPixels(int width, int height, int commonW, int commonH);
    // What the bitmap knows of its own pixels, so that filling it with the colour it mostly
    // holds rewrites only what was drawn since: with FSolidKnown, every pixel of row y outside
    // the columns [FDirty[y].first, FDirty[y].second) holds FSolidRgb. Writes of another colour
    // widen their row's span; a write through a scan line forgets the knowledge.
    void KnowSolid(uint32_t rgb);
    void ForgetSolid();
    void NoteWritten(int y, int left, int right, uint32_t rgb) {
        if (!FSolidKnown || rgb == FSolidRgb) return;
        NoteDrawn(y, left, right);
    }
    void NoteDrawn(int y, int left, int right) {
        if (!FSolidKnown) return;
        if (FDirtyTop >= FDirtyBottom) {
            FDirtyTop = y;
            FDirtyBottom = y + 1;
        } else {
            FDirtyTop = std::min(FDirtyTop, y);
            FDirtyBottom = std::max(FDirtyBottom, y + 1);
        }
        auto& span = FDirty[static_cast<size_t>(y)];
        span.first = std::min(span.first, left);
        span.second = std::max(span.second, right);
    }
    // NoteDrawn for every row of a non-empty area inside the bitmap (target pixels).
    void NoteDrawnArea(const TRect& area);
    // A row nothing was drawn on: any span joined to it is the other span.
    static constexpr std::pair<int, int> NoSpan{std::numeric_limits<int>::max(),
                                                std::numeric_limits<int>::min()};
    // Fills columns [left, right) of row y with the known solid colour, writing only the pixels
    // that may differ from it.
    void FillSolidSpan(int y, int left, int right);
    // Fills the whole bitmap with the known solid colour: only the rows drawn on are written.
    void FillSolidWhole();
    void KeepSolidThroughResize(int width, int height, int commonW);
    int FWidth = 0;
    int FHeight = 0;
    std::vector<uint32_t> FPixels;
    bool FSolidKnown = false;
    uint32_t FSolidRgb = 0;
    std::vector<std::pair<int, int>> FDirty;
    int FDirtyTop = 0; // rows outside [FDirtyTop, FDirtyBottom) have no span
    int FDirtyBottom = 0;
    std::unique_ptr<TCanvas> FCanvas;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
    bool FTransparent = false;
    TPixelFormat FPixelFormat = pf24bit;
};

// One call of DrawFrameControl, as a canvas records it.
struct TFrameControlCall {
    TRect Rect;
    UINT Type = 0;
    UINT State = 0;
};

// Draws into the pixels of a target bitmap (none: every drawing operation does nothing and text
// is still measured). Drawing is clipped to the bitmap, to the clip rectangle and outside every
// excluded rectangle.
class TCanvas : public TPersistent {
public:
    explicit TCanvas(TBitmap* target = nullptr);
    ~TCanvas() override;

    TBitmap* Bitmap() const { return FBitmap; }
    // Retargets the canvas; the clip is reset. The target is not owned and must outlive its use.
    void SetBitmap(TBitmap* target);

    TFont* Font() { return &FFont; }
    TBrush* Brush() { return &FBrush; }
    TPen* Pen() { return &FPen; }

    // A device-context handle standing for this canvas (see CanvasFromHandle).
    HDC Handle() const;

    // The window origin: the logical point drawn at the target's pixel (0, 0). Every drawing
    // and clipping coordinate is logical; the origin is (0, 0) unless set.
    TPoint WindowOrg() const { return FWindowOrg; }
    void SetWindowOrg(const TPoint& origin) { FWindowOrg = origin; }

    // Clipping: the clip rectangle (the whole target unless narrowed) minus excluded rectangles.
    TRect ClipRect() const;
    void IntersectClipRect(const TRect& r);
    void ExcludeClipRect(const TRect& r);
    void ResetClip();

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color); // clipped

    // A one-pixel line of every other pixel: the points whose logical x + y is even, from x1 up
    // to (not including) x2 on row y, or from y1 up to y2 in column x (either end may come
    // first). The pixels SetPixel would plot at each of those points, written a row at a time.
    void DottedHLine(int x1, int x2, int y, TColor color);
    void DottedVLine(int x, int y1, int y2, TColor color);

    // Fills r with the brush colour (nothing with a clear brush).
    void FillRect(const TRect& r);
    // Draws a one-pixel frame along the inside of r in the brush colour.
    void FrameRect(const TRect& r);
    // Frame in the pen colour, inside filled with the brush.
    void Rectangle(const TRect& r);
    TPoint PenPos() const { return FPenPos; }
    void MoveTo(int x, int y) { FPenPos = {x, y}; }
    // A line in the pen colour from the pen position up to (not including) (x, y).
    void LineTo(int x, int y);

    // Copies a bitmap at (x, y); a transparent bitmap leaves out its transparent colour.
    void Draw(int x, int y, const TBitmap* graphic);
    // Scales a bitmap into r by nearest-neighbour sampling: destination pixel (dx, dy) takes the
    // source pixel under its centre, source x = ((2 * (dx - r.Left) + 1) * sourceWidth) div
    // (2 * r.Width()), the same for y. An empty or inverted r draws nothing. A transparent bitmap
    // leaves out its transparent colour.
    void StretchDraw(const TRect& r, const TBitmap* graphic);

    // Writes text with its top-left corner at (x, y); with a solid brush the text's cells are
    // filled with the brush colour first.
    void TextOut(int x, int y, const std::string& text);
    // Writes text at (x, y) clipped to r; with a solid brush the whole of r is filled first.
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    // Text measures with the current font (UTF-8 text): for the bitmap font, characters (code
    // points) times the cell size; for a real font, the glyphs' advances and its line height.
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;
    TSize TextExtent(const std::string& text) const;

    // Draws a standard frame control (DFC_SCROLL arrows including DFCS_SCROLLCOMBOBOX, DFC_BUTTON
    // boxes) into r and records the call: a face in clBtnFace, a raised edge (a flat dark frame
    // when DFCS_PUSHED or DFCS_FLAT), and a filled arrow in clBtnText (clGrayText when
    // DFCS_INACTIVE) centred in r, moved one pixel right and down while pushed.
    void DrawFrameControl(const TRect& r, UINT type, UINT state);
    const std::vector<TFrameControlCall>& FrameControlLog() const { return FFrameControlLog; }
    void ClearFrameControlLog() { FFrameControlLog.clear(); }

private:
    bool Visible(int x, int y) const;
    void Plot(int x, int y, uint32_t rgb);
    // Notes on the bitmap that the visible part of a logical rectangle may be drawn on.
    void NoteArea(const TRect& logical);
    void FillPlain(const TRect& r, uint32_t rgb);
    void FillAroundHoles(const TRect& area, uint32_t rgb, bool solid);
    void DrawBitmapPixels(const TRect& dest, const TBitmap& source, bool stretch);
    void CopyRows(const TRect& area, const uint32_t* from, size_t stride);
    // DrawText and DrawFaceText answer the text's width, as TextWidth measures it.
    int DrawText(int x, int y, const std::string& text);
    int DrawFaceText(THostFace& face, int x, int y, const std::string& text);
    // Mixes a colour into the pixel at (x, y) by coverage (255: the colour itself); clipped.
    void Blend(int x, int y, uint32_t rgb, uint8_t coverage);
    void DrawArrow(const TRect& r, UINT kind, bool pushed, uint32_t rgb);

    TBitmap* FBitmap = nullptr;
    TFont FFont;
    TBrush FBrush;
    TPen FPen;
    TPoint FPenPos;
    TPoint FWindowOrg;
    bool FClipped = false; // FClipRect narrows the target (target pixels)
    TRect FClipRect;
    std::vector<TRect> FExcluded; // target pixels
    // Set while a drawing that noted its whole area on the bitmap beforehand plots its points.
    bool FAreaNoted = false;
    // The text colour's mixes over the background, kept from one text to the next.
    std::unique_ptr<TMixTable> FMixes;
    std::vector<TFrameControlCall> FFrameControlLog;
};

// The canvas a device-context handle stands for; nullptr for a handle of no living canvas.
TCanvas* CanvasFromHandle(HDC dc);
// The host routine: draws a frame control on the canvas of dc; false for an unknown handle.
bool DrawFrameControl(HDC dc, const TRect& r, UINT type, UINT state);
// The host's device-context routines over the canvas of dc; false (or nothing) for an unknown
// handle. The clip routines take logical coordinates.
bool GetWindowOrgEx(HDC dc, TPoint* point);
bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* previous);
bool IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
bool ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);

// Further arrow kinds of DFC_SCROLL (DFCS_SCROLLCOMBOBOX is in Messages.h).
enum : UINT {
    DFCS_SCROLLUP = 0x0000,
    DFCS_SCROLLDOWN = 0x0001,
    DFCS_SCROLLLEFT = 0x0002,
    DFCS_SCROLLRIGHT = 0x0003,
    DFC_CAPTION = 1,
    DFC_MENU = 2,
};

} // namespace orvel
