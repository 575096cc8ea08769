// Colours, fonts, brushes and pens, TBitmap and TCanvas.
#include "orvel/host/controls/Graphics.h"

#include "orvel/host/controls/BitmapFont.h"
#include "orvel/host/controls/BmpCodec.h"
#include "orvel/host/controls/HostFont.h"
#include "orvel/host/controls/PngCodec.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/FlagGuard.h"
#include "orvel/host/core/Streams.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace orvel {

// ---- colours ----

namespace {

using TSysColorTable = std::array<TColor, 25>;

// A fixed classic scheme, so that pictures and tests look the same on every machine.
constexpr TSysColorTable ClassicSysColors = {
    0xC8C8C8, // scroll bar
    0x808000, // desktop
    0x800000, // active caption
    0x808080, // inactive caption
    0xC0C0C0, // menu
    0xFFFFFF, // window
    0x000000, // window frame
    0x000000, // menu text
    0x000000, // window text
    0xFFFFFF, // caption text
    0xC0C0C0, // active border
    0xC0C0C0, // inactive border
    0x808080, // application work space
    0x800000, // highlight
    0xFFFFFF, // highlight text
    0xC0C0C0, // button face
    0x808080, // button shadow
    0x808080, // grey text
    0x000000, // button text
    0xC0C0C0, // inactive caption text
    0xFFFFFF, // button highlight
    0x000000, // 3D dark shadow
    0xDFDFDF, // 3D light
    0x000000, // tooltip text
    0xE1FFFF, // tooltip background
};

// A dark scheme with the same relations between entries: light text on dark faces, a highlight
// that light text reads on, edges lighter above and darker below a face.
constexpr TSysColorTable DarkSysColors = {
    0x2B2B2B, // scroll bar
    0x202020, // desktop
    0x794E1F, // active caption
    0x3C3C3C, // inactive caption
    0x2B2B2B, // menu
    0x1E1E1E, // window
    0x6A6A6A, // window frame
    0xE6E6E6, // menu text
    0xE6E6E6, // window text
    0xFFFFFF, // caption text
    0x3C3C3C, // active border
    0x3C3C3C, // inactive border
    0x252525, // application work space
    0x8A5A26, // highlight
    0xFFFFFF, // highlight text
    0x383838, // button face
    0x202020, // button shadow
    0x8C8C8C, // grey text
    0xE6E6E6, // button text
    0xA0A0A0, // inactive caption text
    0x5A5A5A, // button highlight
    0x0A0A0A, // 3D dark shadow
    0x484848, // 3D light
    0xE6E6E6, // tooltip text
    0x2D2D2D, // tooltip background
};

TSysColorTable& SysColorTable() {
    static TSysColorTable table = ClassicSysColors;
    return table;
}

} // namespace

TColor GetSysColor(int index) {
    const TSysColorTable& table = SysColorTable();
    if (index < 0 || index >= static_cast<int>(table.size())) return clBlack;
    return table[static_cast<size_t>(index)];
}

void SetSysColor(int index, TColor color) {
    TSysColorTable& table = SysColorTable();
    if (index < 0 || index >= static_cast<int>(table.size()))
        throw EInvalidGraphic("System colour index " + std::to_string(index) + " out of range");
    // An entry holds a plain colour: a system colour is resolved as the table stands now.
    table[static_cast<size_t>(index)] = ColorToRGB(color);
}

void ResetSysColors() {
    SysColorTable() = ClassicSysColors;
}

void UseDarkSysColors() {
    SysColorTable() = DarkSysColors;
}

TColor ColorToRGB(TColor color) {
    if (static_cast<uint32_t>(color) & clSystemColor) return GetSysColor(color & 0xFF);
    return color & 0xFFFFFF;
}

namespace {

uint32_t Rgb(TColor color) {
    return static_cast<uint32_t>(ColorToRGB(color));
}

// A colour mixed over another by coverage (255: the colour itself), each channel rounded.
uint32_t Mix(uint32_t rgb, uint32_t back, uint8_t coverage) {
    if (coverage == 255) return rgb;
    uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t f = (rgb >> shift) & 0xFF, b = (back >> shift) & 0xFF;
        uint32_t v = (f * coverage + b * (255u - coverage) + 127u) / 255u;
        mixed |= v << shift;
    }
    return mixed;
}

} // namespace

// The mixes of one colour over one background by each coverage, worked out as they are first
// needed: text is mostly drawn over a single background, and a look-up costs a fraction of a
// mix. The background is the first one asked for; others are mixed each time. A canvas keeps
// its table from text to text while the colour stays.
class TMixTable {
public:
    explicit TMixTable(uint32_t rgb) { Reset(rgb); }

    uint32_t Colour() const { return FRgb; }
    void Reset(uint32_t rgb) {
        FRgb = rgb;
        FHasBack = false;
        FMixed.fill(Unknown);
    }

    uint32_t Over(uint32_t back, uint8_t coverage) {
        if (!FHasBack) {
            FBack = back;
            FHasBack = true;
        } else if (back != FBack) {
            return Mix(FRgb, back, coverage);
        }
        uint32_t& mixed = FMixed[coverage];
        if (mixed == Unknown) mixed = Mix(FRgb, back, coverage);
        return mixed;
    }

private:
    static constexpr uint32_t Unknown = 0xFFFFFFFFu; // no mix has the top byte set
    uint32_t FRgb;
    uint32_t FBack = 0;
    bool FHasBack = false;
    std::array<uint32_t, 256> FMixed;
};

namespace {

// Mixes a glyph's coverage into pixels (rows of width) at (left, top) inside clip, which lies
// inside the pixels, a row at a time.
void BlendGlyph(uint32_t* pixels, size_t width, const THostGlyph& glyph, int left, int top,
                const TRect& clip, TMixTable& mix) {
    const int fromX = std::max(left, clip.Left), toX = std::min(left + glyph.Width, clip.Right);
    const int fromY = std::max(top, clip.Top), toY = std::min(top + glyph.Height, clip.Bottom);
    if (fromX >= toX) return;
    const auto count = static_cast<size_t>(toX - fromX);
    for (int y = fromY; y < toY; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width + fromX;
        const uint8_t* coverage =
            glyph.Coverage.data() + static_cast<size_t>(y - top) * glyph.Width + (fromX - left);
        for (size_t i = 0; i < count; ++i)
            if (coverage[i]) row[i] = mix.Over(row[i], coverage[i]);
    }
}

// 1 when a + b is odd, 0 when it is even (without overflow for any two ints).
int OddSum(int a, int b) {
    return static_cast<int>((static_cast<unsigned>(a) + static_cast<unsigned>(b)) & 1u);
}

// Live canvases, so that a device-context handle can be checked before it is used.
std::vector<TCanvas*>& LiveCanvases() {
    static std::vector<TCanvas*> canvases;
    return canvases;
}

bool EndsWithPng(const std::string& fileName) {
    return fileName.size() >= 4 && SameText(fileName.substr(fileName.size() - 4), ".png");
}

} // namespace

// ---- fonts, brushes, pens ----

namespace {

std::string& DefaultFontNameStore() {
    static std::string name = BitmapFontName;
    return name;
}

// The host face a font draws with; nullptr for the bitmap font.
THostFace* FaceOf(const TFont& font) {
    if (font.Name() == BitmapFontName) return nullptr;
    return THostFace::Find(font.Name(), FontPixelSize(font.Size()), font.Style());
}

} // namespace

const std::string& DefaultFontName() {
    return DefaultFontNameStore();
}

void SetDefaultFontName(const std::string& name) {
    DefaultFontNameStore() = name.empty() ? std::string(BitmapFontName) : name;
}

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

void TFont::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TFont::SetSize(int value) {
    value = std::max(value, 1);
    if (value == FSize) return;
    FSize = value;
    Changed();
}

void TFont::SetName(const std::string& value) {
    if (value == FName) return;
    FName = value;
    Changed();
}

void TFont::SetStyle(TFontStyles value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

int TFont::Scale() const {
    return std::clamp(FSize / 8, 1, MaxFontScale);
}

int TFont::Height() const {
    if (IsBitmapFont()) return -TextCellHeight * Scale();
    return -FontPixelSize(FSize);
}

bool TFont::IsBitmapFont() const {
    return FaceOf(*this) == nullptr;
}

int TFont::TextWidth(const std::string& text) const {
    if (THostFace* face = FaceOf(*this)) return face->TextWidth(text);
    int64_t width = static_cast<int64_t>(CodePointCount(text)) * TextCellWidth * Scale();
    return static_cast<int>(std::min<int64_t>(width, std::numeric_limits<int>::max()));
}

void TFont::Assign(TPersistent* source) {
    if (auto* font = dynamic_cast<TFont*>(source)) {
        FColor = font->FColor;
        FSize = font->FSize;
        FName = font->FName;
        FStyle = font->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TBrush::SetColor(TColor value) {
    if (value == FColor && FStyle == bsSolid) return;
    FColor = value;
    FStyle = bsSolid; // choosing a colour makes the brush solid, as the host's brush does
    Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

void TBrush::Assign(TPersistent* source) {
    if (auto* brush = dynamic_cast<TBrush*>(source)) {
        FColor = brush->FColor;
        FStyle = brush->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

void TPen::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TPen::SetWidth(int value) {
    value = std::max(value, 1);
    if (value == FWidth) return;
    FWidth = value;
    Changed();
}

void TPen::Assign(TPersistent* source) {
    if (auto* pen = dynamic_cast<TPen*>(source)) {
        FColor = pen->FColor;
        FWidth = pen->FWidth;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

// ---- TBitmap ----

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) {
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0 || int64_t{width} * height > MaxPixels)
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("invalid bitmap size")});
    if (width == FWidth && height == FHeight) return;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    int commonW = std::min(width, FWidth);
    int commonH = std::min(height, FHeight);
    // A size that fits in the memory held (a control's surface losing a scroll bar's width, say)
    // is laid out in place: a fresh block would cost zeroing and first-touch page faults.
    if (count <= FPixels.capacity() && count * 2 >= FPixels.capacity()) {
        RelayoutPixels(width, height, commonW, commonH);
    } else {
        std::vector<uint32_t> pixels(count, 0);
        for (int y = 0; y < commonH; ++y)
            std::copy_n(FPixels.begin() + static_cast<ptrdiff_t>(y) * FWidth, commonW,
                        pixels.begin() + static_cast<ptrdiff_t>(y) * width);
        FPixels = std::move(pixels);
    }
    // A bitmap made from nothing is all black; one that kept a part of its pixels keeps what was
    // known of them.
    if (commonW > 0 && commonH > 0) {
        KeepSolidThroughResize(width, height, commonW);
    } else {
        FWidth = width;
        FHeight = height;
        KnowSolid(0);
    }
    if (FCanvas) FCanvas->ResetClip();
    Changed();
}

// After a resize that kept the top left commonW columns of the rows that remain: a kept pixel
// outside its row's span still holds the known colour, and every new pixel is black. A surface
// that gains or loses a scroll bar's width so goes on rewriting only what was drawn on it.
void TBitmap::KeepSolidThroughResize(int width, int height, int commonW) {
    const int oldHeight = FHeight;
    FWidth = width;
    FHeight = height;
    if (!FSolidKnown) return;
    std::vector<std::pair<int, int>> kept(static_cast<size_t>(height), NoSpan);
    std::swap(kept, FDirty);
    const int top = FDirtyTop, bottom = FDirtyBottom;
    FDirtyTop = FDirtyBottom = 0;
    const bool blackIsSolid = FSolidRgb == 0;
    for (int y = 0; y < height; ++y) {
        if (y < oldHeight) {
            const auto& span = kept[static_cast<size_t>(y)];
            const int right = std::min(span.second, commonW);
            if (y >= top && y < bottom && span.first < right) NoteDrawn(y, span.first, right);
            if (!blackIsSolid && commonW < width) NoteDrawn(y, commonW, width);
        } else if (!blackIsSolid) {
            NoteDrawn(y, 0, width);
        }
    }
}

// The common area's rows moved to their places for width (rows that move towards the start are
// moved first to last, those that move towards the end last to first, so no row is overwritten
// before it has moved); everything else becomes 0, as in a fresh block.
void TBitmap::RelayoutPixels(int width, int height, int commonW, int commonH) {
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (count > FPixels.size()) FPixels.resize(count);
    uint32_t* data = FPixels.data();
    auto moveRow = [&](int y) {
        uint32_t* to = data + static_cast<size_t>(y) * static_cast<size_t>(width);
        std::memmove(to, data + static_cast<size_t>(y) * static_cast<size_t>(FWidth),
                     static_cast<size_t>(commonW) * sizeof(uint32_t));
        std::fill(to + commonW, to + width, 0U);
    };
    if (width <= FWidth) {
        for (int y = 0; y < commonH; ++y)
            moveRow(y);
    } else {
        for (int y = commonH - 1; y >= 0; --y)
            moveRow(y);
    }
    std::fill(data + static_cast<size_t>(commonH) * static_cast<size_t>(width), data + count, 0U);
    FPixels.resize(count);
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>(this);
    return FCanvas.get();
}

TColor TBitmap::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
    return static_cast<TColor>(FPixels[static_cast<size_t>(y) * FWidth + x]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    const uint32_t rgb = Rgb(color);
    FPixels[static_cast<size_t>(y) * FWidth + x] = rgb;
    NoteWritten(y, x, x + 1, rgb);
}

uint32_t* TBitmap::ScanLine(int y) {
    if (y < 0 || y >= FHeight)
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("scan line index out of range")});
    // Whoever holds the row may write anything anywhere in the pixels.
    ForgetSolid();
    return FPixels.data() + static_cast<size_t>(y) * FWidth;
}

const uint32_t* TBitmap::ScanLine(int y) const {
    if (y < 0 || y >= FHeight)
        RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("scan line index out of range")});
    return FPixels.data() + static_cast<size_t>(y) * FWidth;
}

void TBitmap::Fill(TColor color) {
    const uint32_t rgb = Rgb(color);
    std::fill(FPixels.begin(), FPixels.end(), rgb);
    KnowSolid(rgb);
    Changed();
}

void TBitmap::KnowSolid(uint32_t rgb) {
    FSolidKnown = true;
    FSolidRgb = rgb;
    FDirty.assign(static_cast<size_t>(FHeight), NoSpan);
    FDirtyTop = FDirtyBottom = 0;
}

void TBitmap::ForgetSolid() {
    FSolidKnown = false;
    FDirty.clear();
}

void TBitmap::NoteDrawnArea(const TRect& area) {
    if (!FSolidKnown || area.IsEmpty()) return;
    NoteDrawn(area.Top, area.Left, area.Right);
    for (int y = area.Top + 1; y < area.Bottom; ++y) {
        auto& span = FDirty[static_cast<size_t>(y)];
        span.first = std::min(span.first, area.Left);
        span.second = std::max(span.second, area.Right);
    }
    FDirtyBottom = std::max(FDirtyBottom, area.Bottom);
}

void TBitmap::FillSolidWhole() {
    for (int y = FDirtyTop; y < FDirtyBottom; ++y) {
        auto& span = FDirty[static_cast<size_t>(y)];
        if (span.first >= span.second) continue;
        uint32_t* row = FPixels.data() + static_cast<size_t>(y) * FWidth;
        std::fill(row + span.first, row + span.second, FSolidRgb);
        span = NoSpan;
    }
    FDirtyTop = FDirtyBottom = 0;
}

void TBitmap::FillSolidSpan(int y, int left, int right) {
    auto& span = FDirty[static_cast<size_t>(y)];
    const int from = std::max(left, span.first), to = std::min(right, span.second);
    if (from >= to) return; // every pixel of [left, right) holds the colour already
    uint32_t* row = FPixels.data() + static_cast<size_t>(y) * FWidth;
    std::fill(row + from, row + to, FSolidRgb);
    // What stays to be written over is the part of the span the fill did not reach; a fill
    // inside the span leaves it as it was.
    if (left <= span.first && right >= span.second)
        span = NoSpan;
    else if (left <= span.first)
        span.first = right;
    else if (right >= span.second)
        span.second = left;
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (Empty()) return clNone;
    return Pixel(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor value) {
    if (value == clDefault) {
        SetTransparentMode(tmAuto);
        return;
    }
    FTransparentColor = value;
    FTransparentMode = tmFixed;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
    if (value == FTransparentMode) return;
    FTransparentMode = value;
    // Fixing the colour without naming one fixes the current automatic colour.
    FTransparentColor = value == tmAuto ? clDefault : Empty() ? clNone : Pixel(0, FHeight - 1);
    Changed();
}

void TBitmap::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Changed();
}

void TBitmap::LoadFromStream(TStream& stream) {
    int64_t available = std::max<int64_t>(stream.Size() - stream.Position(), 0);
    // The headers tell how many bytes the picture needs; no more than the stream holds are read,
    // so a damaged header cannot make the reader allocate more than the stream's size.
    std::vector<uint8_t> data(static_cast<size_t>(std::min<int64_t>(available, BmpHeadSize)));
    stream.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    size_t needed = BmpImageSize(data.data(), data.size());
    size_t total = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(needed), available));
    if (total > data.size()) {
        size_t head = data.size();
        data.resize(total);
        stream.ReadBuffer(data.data() + head, static_cast<int64_t>(total - head));
    } else if (total < data.size()) {
        // Bytes after the picture belong to whoever wrote them: leave them unread.
        stream.Seek(static_cast<int64_t>(total) - static_cast<int64_t>(data.size()),
                    TSeekOrigin::soCurrent);
        data.resize(total);
    }
    TDecodedImage image = ReadBmp(data.data(), data.size());
    FPixels = std::move(image.Pixels);
    FWidth = image.Width;
    FHeight = image.Height;
    ForgetSolid();
    FPixelFormat = image.PixelFormat;
    if (FCanvas) FCanvas->ResetClip();
    Changed();
}

void TBitmap::SaveToStream(TStream& stream) const {
    // An empty bitmap has no file image: nothing is written, and reading nothing back raises.
    if (Empty()) return;
    std::vector<uint8_t> bytes = WriteBmp(FWidth, FHeight, FPixels.data());
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    uint8_t signature[8] = {};
    int64_t got = file.Read(signature, sizeof signature);
    file.Seek(0, TSeekOrigin::soBeginning);
    if (got == static_cast<int64_t>(sizeof signature) && IsPng(signature, sizeof signature)) {
        LoadPng(file);
        return;
    }
    LoadFromStream(file);
}

void TBitmap::LoadPng(TStream& stream) {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(stream.Size(), 0)));
    stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    TPngImage image = ReadPng(bytes.data(), bytes.size());
    // See-through pixels are kept as the transparent colour of a transparent bitmap: the first
    // colour no opaque pixel has, looked for from magenta, so drawing leaves exactly them out.
    if (image.HasAlpha) MarkSeeThrough(image);
    FPixels = std::move(image.Pixels);
    FWidth = image.Width;
    FHeight = image.Height;
    ForgetSolid();
    FPixelFormat = image.HasAlpha ? pf32bit : pf24bit;
    if (FCanvas) FCanvas->ResetClip();
    Changed();
}

void TBitmap::MarkSeeThrough(TPngImage& image) {
    bool any = false;
    for (uint8_t a : image.Alpha)
        any = any || a < 128;
    if (!any) return;
    std::vector<uint32_t> opaque;
    for (size_t i = 0; i < image.Pixels.size(); ++i)
        if (image.Alpha[i] >= 128) opaque.push_back(image.Pixels[i]);
    std::sort(opaque.begin(), opaque.end());
    uint32_t key = 0xFF00FF;
    while (std::binary_search(opaque.begin(), opaque.end(), key))
        key = (key + 1) & 0xFFFFFF;
    for (size_t i = 0; i < image.Pixels.size(); ++i)
        if (image.Alpha[i] < 128) image.Pixels[i] = key;
    FTransparentColor = static_cast<TColor>(key);
    FTransparentMode = tmFixed;
    FTransparent = true;
}

void TBitmap::SaveToFile(const std::string& fileName) const {
    std::vector<uint8_t> bytes;
    if (EndsWithPng(fileName)) {
        std::vector<uint8_t> alpha;
        TColor transparent = TransparentColor();
        if (FTransparent && transparent != clNone) {
            uint32_t key = Rgb(transparent);
            alpha.reserve(FPixels.size());
            for (uint32_t p : FPixels)
                alpha.push_back(p == key ? 0 : 255);
        }
        bytes = WritePng(FWidth, FHeight, FPixels.data(), alpha.empty() ? nullptr : alpha.data());
    } else {
        if (Empty())
            RaiseRes<EInvalidGraphic>(SInvalidImage, {std::string("an empty bitmap has no file")});
        bytes = WriteBmp(FWidth, FHeight, FPixels.data());
    }
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::Assign(TPersistent* source) {
    if (!source) {
        SetSize(0, 0);
        return;
    }
    auto* other = dynamic_cast<TBitmap*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    FPixels = other->FPixels;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FSolidKnown = other->FSolidKnown;
    FSolidRgb = other->FSolidRgb;
    FDirty = other->FDirty;
    FDirtyTop = other->FDirtyTop;
    FDirtyBottom = other->FDirtyBottom;
    FTransparentColor = other->FTransparentColor;
    FTransparentMode = other->FTransparentMode;
    FTransparent = other->FTransparent;
    FPixelFormat = other->FPixelFormat;
    if (FCanvas) FCanvas->ResetClip();
    Changed();
}

bool TBitmap::SamePixels(const TBitmap& other) const {
    return FWidth == other.FWidth && FHeight == other.FHeight && FPixels == other.FPixels;
}

void TBitmap::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TCanvas: target and clipping ----

TCanvas::TCanvas(TBitmap* target) : FBitmap(target) {
    LiveCanvases().push_back(this);
}

TCanvas::~TCanvas() {
    auto& live = LiveCanvases();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void TCanvas::SetBitmap(TBitmap* target) {
    FBitmap = target;
    ResetClip();
}

HDC TCanvas::Handle() const {
    return reinterpret_cast<HDC>(this);
}

TCanvas* CanvasFromHandle(HDC dc) {
    for (TCanvas* c : LiveCanvases())
        if (c->Handle() == dc) return c;
    return nullptr;
}

bool DrawFrameControl(HDC dc, const TRect& r, UINT type, UINT state) {
    TCanvas* canvas = CanvasFromHandle(dc);
    if (!canvas) return false;
    canvas->DrawFrameControl(r, type, state);
    return true;
}

bool GetWindowOrgEx(HDC dc, TPoint* point) {
    TCanvas* canvas = CanvasFromHandle(dc);
    if (!canvas) return false;
    if (point) *point = canvas->WindowOrg();
    return true;
}

bool SetWindowOrgEx(HDC dc, int x, int y, TPoint* previous) {
    TCanvas* canvas = CanvasFromHandle(dc);
    if (!canvas) return false;
    if (previous) *previous = canvas->WindowOrg();
    canvas->SetWindowOrg({x, y});
    return true;
}

bool IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    TCanvas* canvas = CanvasFromHandle(dc);
    if (!canvas) return false;
    canvas->IntersectClipRect(Rect(left, top, right, bottom));
    return true;
}

bool ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    TCanvas* canvas = CanvasFromHandle(dc);
    if (!canvas) return false;
    canvas->ExcludeClipRect(Rect(left, top, right, bottom));
    return true;
}

TRect TCanvas::ClipRect() const {
    if (!FBitmap) return TRect{};
    TRect r = Rect(0, 0, FBitmap->Width(), FBitmap->Height());
    if (FClipped) IntersectRect(r, r, FClipRect);
    OffsetRect(r, FWindowOrg.X, FWindowOrg.Y);
    return r;
}

void TCanvas::IntersectClipRect(const TRect& logical) {
    TRect r = logical;
    OffsetRect(r, -FWindowOrg.X, -FWindowOrg.Y);
    if (FClipped) {
        TRect common;
        IntersectRect(common, FClipRect, r);
        FClipRect = common;
    } else {
        FClipRect = r;
    }
    FClipped = true;
}

void TCanvas::ExcludeClipRect(const TRect& logical) {
    TRect r = logical;
    OffsetRect(r, -FWindowOrg.X, -FWindowOrg.Y);
    if (!r.IsEmpty()) FExcluded.push_back(r);
}

void TCanvas::ResetClip() {
    FClipped = false;
    FClipRect = TRect{};
    FExcluded.clear();
}

bool TCanvas::Visible(int x, int y) const {
    if (!FBitmap || x < 0 || y < 0 || x >= FBitmap->Width() || y >= FBitmap->Height()) return false;
    TPoint p{x, y};
    if (FClipped && !FClipRect.Contains(p)) return false;
    for (const TRect& r : FExcluded)
        if (r.Contains(p)) return false;
    return true;
}

// Plots a logical point: the pixel of the target it lands on after the window origin.
void TCanvas::Plot(int x, int y, uint32_t rgb) {
    x -= FWindowOrg.X;
    y -= FWindowOrg.Y;
    if (!Visible(x, y)) return;
    FBitmap->FPixels[static_cast<size_t>(y) * FBitmap->Width() + x] = rgb;
    if (!FAreaNoted) FBitmap->NoteWritten(y, x, x + 1, rgb);
}

void TCanvas::NoteArea(const TRect& logical) {
    TRect area;
    if (!FBitmap || !IntersectRect(area, logical, ClipRect())) return;
    OffsetRect(area, -FWindowOrg.X, -FWindowOrg.Y);
    FBitmap->NoteDrawnArea(area);
}

// Fills the visible part of r a row at a time: the part inside the clip rectangle, less the
// excluded rectangles. Filling is most of what painting does, so it writes whole spans rather
// than testing each pixel. A fill of the whole bitmap is one block, and a fill in the colour the
// bitmap is known to hold writes only over what was drawn since.
void TCanvas::FillPlain(const TRect& r, uint32_t rgb) {
    TRect area;
    if (!IntersectRect(area, r, ClipRect())) return;
    // Target pixels from here on; ClipRect keeps the area inside the bitmap.
    OffsetRect(area, -FWindowOrg.X, -FWindowOrg.Y);
    TBitmap& bitmap = *FBitmap;
    const bool solid = bitmap.FSolidKnown && rgb == bitmap.FSolidRgb;
    if (!FExcluded.empty()) {
        FillAroundHoles(area, rgb, solid);
        return;
    }
    if (area == Rect(0, 0, bitmap.Width(), bitmap.Height())) {
        if (solid) {
            bitmap.FillSolidWhole();
            return;
        }
        std::fill(bitmap.FPixels.begin(), bitmap.FPixels.end(), rgb);
        bitmap.KnowSolid(rgb);
        return;
    }
    if (solid) {
        for (int y = area.Top; y < area.Bottom; ++y)
            bitmap.FillSolidSpan(y, area.Left, area.Right);
        return;
    }
    // A wide row is a block copy of the first one (it writes wider than a fill loop does); a
    // narrow one is filled in place.
    constexpr size_t CopyFrom = 64;
    const auto width = static_cast<size_t>(bitmap.Width());
    const auto span = static_cast<size_t>(area.Right - area.Left);
    uint32_t* first = bitmap.FPixels.data() + static_cast<size_t>(area.Top) * width + area.Left;
    std::fill(first, first + span, rgb);
    for (int y = area.Top + 1; y < area.Bottom; ++y) {
        uint32_t* to = bitmap.FPixels.data() + static_cast<size_t>(y) * width + area.Left;
        if (span >= CopyFrom)
            std::memcpy(to, first, span * sizeof(uint32_t));
        else
            std::fill(to, to + span, rgb);
    }
    if (bitmap.FSolidKnown)
        for (int y = area.Top; y < area.Bottom; ++y)
            bitmap.NoteWritten(y, area.Left, area.Right, rgb);
}

// FillPlain's area (target pixels) with the excluded rectangles left out.
void TCanvas::FillAroundHoles(const TRect& area, uint32_t rgb, bool solid) {
    TBitmap& bitmap = *FBitmap;
    const auto width = static_cast<size_t>(bitmap.Width());
    std::vector<std::pair<int, int>> holes;
    for (int y = area.Top; y < area.Bottom; ++y) {
        uint32_t* row = bitmap.FPixels.data() + static_cast<size_t>(y) * width;
        holes.clear();
        for (const TRect& e : FExcluded)
            if (y >= e.Top && y < e.Bottom && e.Left < area.Right && e.Right > area.Left)
                holes.emplace_back(std::max(e.Left, area.Left), std::min(e.Right, area.Right));
        if (holes.empty() && solid) {
            bitmap.FillSolidSpan(y, area.Left, area.Right);
            continue;
        }
        std::sort(holes.begin(), holes.end());
        int x = area.Left;
        for (const auto& [from, to] : holes) {
            if (from > x) std::fill(row + x, row + from, rgb);
            x = std::max(x, to);
        }
        if (x < area.Right) std::fill(row + x, row + area.Right, rgb);
        bitmap.NoteWritten(y, area.Left, area.Right, rgb);
    }
}

TColor TCanvas::Pixel(int x, int y) const {
    return FBitmap ? FBitmap->Pixel(x - FWindowOrg.X, y - FWindowOrg.Y) : clNone;
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    Plot(x, y, Rgb(color));
}

// The tree's lines are thousands of dots a paint: the visible part of the line is found once and
// its dots written straight into the row, then noted as one span. Excluded rectangles take the
// general way, point by point.
void TCanvas::DottedHLine(int x1, int x2, int y, TColor color) {
    const uint32_t rgb = Rgb(color);
    const int from = std::min(x1, x2), to = std::max(x1, x2);
    if (!FExcluded.empty()) {
        for (int x = from; x < to; ++x)
            if (!OddSum(x, y)) Plot(x, y, rgb);
        return;
    }
    TRect area;
    if (!IntersectRect(area, Rect(from, y, to, y + 1), ClipRect())) return;
    // The first visible dot is the first logical point of even x + y.
    const int first = area.Left + OddSum(area.Left, y) - FWindowOrg.X;
    OffsetRect(area, -FWindowOrg.X, -FWindowOrg.Y); // target pixels
    if (first >= area.Right) return;
    uint32_t* row = FBitmap->FPixels.data() + static_cast<size_t>(area.Top) * FBitmap->Width();
    int last = first;
    for (int x = first; x < area.Right; x += 2) {
        row[x] = rgb;
        last = x;
    }
    FBitmap->NoteWritten(area.Top, first, last + 1, rgb);
}

void TCanvas::DottedVLine(int x, int y1, int y2, TColor color) {
    const uint32_t rgb = Rgb(color);
    const int from = std::min(y1, y2), to = std::max(y1, y2);
    if (!FExcluded.empty()) {
        for (int y = from; y < to; ++y)
            if (!OddSum(x, y)) Plot(x, y, rgb);
        return;
    }
    TRect area;
    if (!IntersectRect(area, Rect(x, from, x + 1, to), ClipRect())) return;
    const int first = area.Top + OddSum(x, area.Top) - FWindowOrg.Y;
    OffsetRect(area, -FWindowOrg.X, -FWindowOrg.Y); // target pixels
    if (first >= area.Bottom) return;
    const auto width = static_cast<size_t>(FBitmap->Width());
    uint32_t* column = FBitmap->FPixels.data() + static_cast<size_t>(area.Left);
    int last = first;
    for (int y = first; y < area.Bottom; y += 2) {
        column[static_cast<size_t>(y) * width] = rgb;
        last = y;
    }
    // The rows between the dots are noted too: one area costs less than a note per dot, and a
    // pixel noted needlessly is only written once more by the next fill.
    if (FBitmap->FSolidKnown && rgb != FBitmap->FSolidRgb)
        FBitmap->NoteDrawnArea(Rect(area.Left, first, area.Left + 1, last + 1));
}

// ---- TCanvas: shapes ----

void TCanvas::FillRect(const TRect& r) {
    if (FBrush.Style() == bsClear) return;
    FillPlain(r, Rgb(FBrush.Color()));
}

void TCanvas::FrameRect(const TRect& r) {
    if (r.IsEmpty()) return;
    uint32_t c = Rgb(FBrush.Color());
    FillPlain(Rect(r.Left, r.Top, r.Right, r.Top + 1), c);
    FillPlain(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), c);
    FillPlain(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), c);
    FillPlain(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), c);
}

void TCanvas::Rectangle(const TRect& r) {
    if (r.IsEmpty()) return;
    int w = FPen.Width();
    TRect inner = r;
    InflateRect(inner, -w, -w);
    FillRect(inner);
    uint32_t c = Rgb(FPen.Color());
    FillPlain(Rect(r.Left, r.Top, r.Right, r.Top + w), c);
    FillPlain(Rect(r.Left, r.Bottom - w, r.Right, r.Bottom), c);
    FillPlain(Rect(r.Left, r.Top, r.Left + w, r.Bottom), c);
    FillPlain(Rect(r.Right - w, r.Top, r.Right, r.Bottom), c);
}

void TCanvas::LineTo(int x, int y) {
    // Bresenham's line from the pen position, without its end point, in squares of the pen width.
    uint32_t c = Rgb(FPen.Color());
    int w = FPen.Width();
    int x0 = FPenPos.X, y0 = FPenPos.Y;
    // A level or upright line's squares make one rectangle, filled at once (the same pixels).
    if (x0 == x || y0 == y) {
        int half = (w - 1) / 2;
        int left = std::min(x0, x == x0 ? x0 : x + 1), right = std::max(x0, x == x0 ? x0 : x - 1);
        int top = std::min(y0, y == y0 ? y0 : y + 1), bottom = std::max(y0, y == y0 ? y0 : y - 1);
        if (x0 != x || y0 != y)
            FillPlain(Rect(left - half, top - half, right - half + w, bottom - half + w), c);
        FPenPos = {x, y};
        return;
    }
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    while (x0 != x || y0 != y) {
        FillPlain(Bounds(x0 - (w - 1) / 2, y0 - (w - 1) / 2, w, w), c);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    FPenPos = {x, y};
}

// ---- TCanvas: bitmaps ----

void TCanvas::Draw(int x, int y, const TBitmap* graphic) {
    if (!graphic || graphic->Empty()) return;
    DrawBitmapPixels(Bounds(x, y, graphic->Width(), graphic->Height()), *graphic, false);
}

void TCanvas::StretchDraw(const TRect& r, const TBitmap* graphic) {
    if (!graphic || graphic->Empty() || r.IsEmpty()) return;
    DrawBitmapPixels(r, *graphic, true);
}

void TCanvas::DrawBitmapPixels(const TRect& dest, const TBitmap& source, bool stretch) {
    TRect area;
    if (!IntersectRect(area, dest, ClipRect())) return;
    // Drawing a bitmap onto itself reads from a copy, so no pixel is read after it was written.
    std::vector<uint32_t> copy;
    const uint32_t* src = source.FPixels.data();
    if (&source == FBitmap) {
        copy = source.FPixels;
        src = copy.data();
    }
    const int64_t sw = source.Width(), sh = source.Height();
    const int64_t dw = dest.Width(), dh = dest.Height();
    const bool transparent = source.Transparent() && source.TransparentColor() != clNone;
    const uint32_t key = transparent ? Rgb(source.TransparentColor()) : 0;
    NoteArea(area);
    if (!stretch && !transparent && FExcluded.empty()) {
        CopyRows(area, src + (area.Top - dest.Top) * sw + (area.Left - dest.Left),
                 static_cast<size_t>(sw));
        return;
    }
    TFlagGuard noted(FAreaNoted); // plots of an area noted beforehand
    for (int y = area.Top; y < area.Bottom; ++y) {
        int64_t sy = stretch ? (2 * (y - dest.Top) + 1) * sh / (2 * dh) : y - dest.Top;
        for (int x = area.Left; x < area.Right; ++x) {
            int64_t sx = stretch ? (2 * (x - dest.Left) + 1) * sw / (2 * dw) : x - dest.Left;
            uint32_t c = src[sy * sw + sx];
            if (transparent && c == key) continue;
            Plot(x, y, c);
        }
    }
}

// Copies rows of pixels, the first starting at from and each the next stride along, onto the
// visible area (logical, inside the clip rectangle, with no rectangle excluded): what plotting
// each pixel would write, a row at a time.
void TCanvas::CopyRows(const TRect& area, const uint32_t* from, size_t stride) {
    const auto width = static_cast<size_t>(FBitmap->Width());
    const auto span = static_cast<size_t>(area.Right - area.Left);
    uint32_t* to = FBitmap->FPixels.data() + static_cast<size_t>(area.Top - FWindowOrg.Y) * width +
                   static_cast<size_t>(area.Left - FWindowOrg.X);
    for (int y = area.Top; y < area.Bottom; ++y, from += stride, to += width)
        std::copy(from, from + span, to);
}

// ---- TCanvas: text ----

int TCanvas::TextWidth(const std::string& text) const {
    return FFont.TextWidth(text);
}

int TCanvas::TextHeight(const std::string&) const {
    if (THostFace* face = FaceOf(FFont)) return face->LineHeight();
    return TextCellHeight * FFont.Scale();
}

TSize TCanvas::TextExtent(const std::string& text) const {
    return {TextWidth(text), TextHeight(text)};
}

int TCanvas::DrawText(int x, int y, const std::string& text) {
    if (THostFace* face = FaceOf(FFont)) return DrawFaceText(*face, x, y, text);
    const int s = FFont.Scale();
    const uint32_t c = Rgb(FFont.Color());
    const TFontStyles style = FFont.Style();
    const int cellW = TextCellWidth * s;
    const int dotW = s * ((style & fsBold) ? 2 : 1);
    // A glyph is dozens of tiny squares: without excluded rectangles each is clipped here and
    // written directly, the pixels FillPlain would write.
    TRect clip = ClipRect();
    OffsetRect(clip, -FWindowOrg.X, -FWindowOrg.Y); // target pixels
    const bool direct = FExcluded.empty();
    auto dot = [&](int px, int py) {
        if (!direct) {
            FillPlain(Bounds(px, py, dotW, s), c);
            return;
        }
        px -= FWindowOrg.X;
        py -= FWindowOrg.Y;
        const int left = std::max(px, clip.Left), right = std::min(px + dotW, clip.Right);
        const int top = std::max(py, clip.Top), bottom = std::min(py + s, clip.Bottom);
        for (int ty = top; ty < bottom; ++ty) {
            uint32_t* row = FBitmap->FPixels.data() + static_cast<size_t>(ty) * FBitmap->Width();
            for (int tx = left; tx < right; ++tx)
                row[tx] = c;
            FBitmap->NoteWritten(ty, left, right, c);
        }
    };
    int cx = x;
    int directLeft = std::numeric_limits<int>::max(), directRight = 0, directTop = 0;
    int64_t count = 0;
    // A canvas without a bitmap draws nothing: its clip rectangle is empty, so no glyph is direct.
    const size_t stride = FBitmap ? static_cast<size_t>(FBitmap->Width()) : 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const char32_t ch = NextCodePoint(text, i);
        // The glyph starts one row below the top of its cell; bold doubles each column. A glyph
        // of single-pixel dots wholly inside the clip rectangle is written without clipping.
        const int gx = cx - FWindowOrg.X, gy = y + s - FWindowOrg.Y;
        if (direct && s == 1 && dotW == 1 && gx >= clip.Left && gy >= clip.Top &&
            gx + GlyphWidth <= clip.Right && gy + GlyphRows <= clip.Bottom) {
            const TGlyphDots& dots = GlyphDotsOf(ch);
            uint32_t* cell = FBitmap->FPixels.data() + static_cast<size_t>(gy) * stride + gx;
            for (int k = 0; k < dots.Count; ++k)
                cell[(dots.Dots[k] >> 3) * stride + (dots.Dots[k] & 7)] = c;
            // The glyphs written directly are noted once for the whole text.
            if (gx < directLeft) {
                directLeft = gx;
                directTop = gy;
            }
            directRight = gx + GlyphWidth;
        } else {
            const uint8_t* rows = GlyphOf(ch);
            for (int row = 0; row < GlyphRows; ++row)
                for (int col = 0; col < GlyphWidth; ++col)
                    if (rows[row] & (0x10 >> col)) dot(cx + col * s, y + (row + 1) * s);
        }
        if (style & fsUnderline) FillPlain(Bounds(cx, y + (GlyphRows - 1) * s, cellW, s), c);
        if (style & fsStrikeOut) FillPlain(Bounds(cx, y + 4 * s, cellW, s), c);
        cx += cellW;
    }
    if (directLeft < directRight)
        for (int row = 0; row < GlyphRows; ++row)
            FBitmap->NoteWritten(directTop + row, directLeft, directRight, c);
    const int64_t width = count * cellW;
    return static_cast<int>(std::min<int64_t>(width, std::numeric_limits<int>::max()));
}

// Without excluded rectangles each glyph is clipped once and mixed in a row at a time; with them
// every point takes the general way. Either way the glyphs' boxes are noted on the bitmap once,
// as one area around the whole text, before the lines that a fill may skip over are drawn.
int TCanvas::DrawFaceText(THostFace& face, int x, int y, const std::string& text) {
    const uint32_t c = Rgb(FFont.Color());
    const int baseline = y + face.Ascent();
    const bool direct = FBitmap && FExcluded.empty();
    if (!FMixes)
        FMixes = std::make_unique<TMixTable>(c);
    else if (FMixes->Colour() != c)
        FMixes->Reset(c);
    TRect clip = ClipRect();
    OffsetRect(clip, -FWindowOrg.X, -FWindowOrg.Y); // target pixels
    TRect inked{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};
    int pen = x;
    int64_t width = 0;
    {
        TFlagGuard noted(FAreaNoted); // plots of an area noted once at the end
        for (std::size_t i = 0; i < text.size();) {
            const THostGlyph& glyph = face.Glyph(NextCodePoint(text, i));
            const int left = pen + glyph.Left, top = baseline - glyph.Top;
            if (glyph.Width > 0 && glyph.Height > 0) {
                inked.Left = std::min(inked.Left, left);
                inked.Top = std::min(inked.Top, top);
                inked.Right = std::max(inked.Right, left + glyph.Width);
                inked.Bottom = std::max(inked.Bottom, top + glyph.Height);
                if (direct) {
                    BlendGlyph(FBitmap->FPixels.data(), static_cast<size_t>(FBitmap->Width()),
                               glyph, left - FWindowOrg.X, top - FWindowOrg.Y, clip, *FMixes);
                } else {
                    for (int row = 0; row < glyph.Height; ++row) {
                        const uint8_t* coverage = glyph.Coverage.data() + row * glyph.Width;
                        for (int col = 0; col < glyph.Width; ++col)
                            if (coverage[col]) Blend(left + col, top + row, c, coverage[col]);
                    }
                }
            }
            pen += glyph.Advance;
            width += glyph.Advance;
        }
    }
    if (!inked.IsEmpty()) NoteArea(inked);
    // Lines are as thick as a twelfth of the line, at least one pixel.
    const int thickness = std::max(1, face.LineHeight() / 12);
    const TFontStyles style = FFont.Style();
    if (style & fsUnderline) FillPlain(Bounds(x, baseline + 1, pen - x, thickness), c);
    if (style & fsStrikeOut)
        FillPlain(Bounds(x, baseline - face.Ascent() / 3, pen - x, thickness), c);
    return static_cast<int>(std::min<int64_t>(width, std::numeric_limits<int>::max()));
}

void TCanvas::Blend(int x, int y, uint32_t rgb, uint8_t coverage) {
    if (coverage == 255) {
        Plot(x, y, rgb);
        return;
    }
    TColor under = Pixel(x, y);
    if (under == clNone) return; // outside the target
    Plot(x, y, Mix(rgb, static_cast<uint32_t>(under), coverage));
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    if (FBrush.Style() != bsClear) FillRect(Bounds(x, y, TextWidth(text), TextHeight(text)));
    const int width = DrawText(x, y, text);
    FPenPos = {x + width, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    FillRect(r);
    bool clipped = FClipped;
    TRect clip = FClipRect;
    IntersectClipRect(r);
    DrawText(x, y, text);
    FClipped = clipped;
    FClipRect = clip;
}

// ---- TCanvas: frame controls ----

void TCanvas::DrawArrow(const TRect& r, UINT kind, bool pushed, uint32_t rgb) {
    // A filled triangle whose height is a quarter of the smaller side (at least 1 pixel).
    int size = std::max(1, (std::min(r.Width(), r.Height()) + 1) / 4);
    int cx = r.Left + r.Width() / 2 + (pushed ? 1 : 0);
    int cy = r.Top + r.Height() / 2 + (pushed ? 1 : 0);
    for (int i = 0; i < size; ++i) {
        int half = size - 1 - i; // half width of the row i steps from the base
        switch (kind) {
        case DFCS_SCROLLUP:
            FillPlain(Rect(cx - i, cy - size / 2 + i, cx + i + 1, cy - size / 2 + i + 1), rgb);
            break;
        case DFCS_SCROLLLEFT:
            FillPlain(Rect(cx - size / 2 + i, cy - i, cx - size / 2 + i + 1, cy + i + 1), rgb);
            break;
        case DFCS_SCROLLRIGHT:
            FillPlain(Rect(cx - size / 2 + i, cy - half, cx - size / 2 + i + 1, cy + half + 1),
                      rgb);
            break;
        default: // down, and the combo box button
            FillPlain(Rect(cx - half, cy - size / 2 + i, cx + half + 1, cy - size / 2 + i + 1),
                      rgb);
            break;
        }
    }
}

void TCanvas::DrawFrameControl(const TRect& r, UINT type, UINT state) {
    FFrameControlLog.push_back({r, type, state});
    if (r.IsEmpty()) return;
    const bool pushed = (state & DFCS_PUSHED) != 0;
    const bool flat = pushed || (state & DFCS_FLAT) != 0;
    const UINT kind = state & 0xFF;

    if (type == DFC_BUTTON && (kind == DFCS_BUTTONCHECK || kind == DFCS_BUTTON3STATE)) {
        // A check box: a white box with a dark frame and, when checked, a check mark; the third
        // (grayed) state of a three-state box shows the mark on the face colour.
        bool grayed = kind == DFCS_BUTTON3STATE && (state & DFCS_CHECKED);
        FillPlain(r, Rgb(pushed || grayed ? clBtnFace : clWindow));
        uint32_t frame = Rgb(clBtnShadow);
        FillPlain(Rect(r.Left, r.Top, r.Right, r.Top + 1), frame);
        FillPlain(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), frame);
        FillPlain(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), frame);
        FillPlain(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), frame);
        if (state & DFCS_CHECKED) {
            uint32_t mark = Rgb((state & DFCS_INACTIVE) ? clGrayText : clWindowText);
            int x0 = r.Left + r.Width() / 4, y0 = r.Top + r.Height() / 2;
            int n = std::max(1, r.Width() / 4);
            for (int i = 0; i < n; ++i)
                FillPlain(Bounds(x0 + i, y0 + i, 1, 2), mark);
            for (int i = 0; i < 2 * n && x0 + n + i < r.Right - 1; ++i)
                FillPlain(Bounds(x0 + n + i, y0 + n - 1 - i, 1, 2), mark);
        }
        return;
    }

    FillPlain(r, Rgb(clBtnFace));
    if (flat) {
        uint32_t c = Rgb(clBtnShadow);
        FillPlain(Rect(r.Left, r.Top, r.Right, r.Top + 1), c);
        FillPlain(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), c);
        FillPlain(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), c);
        FillPlain(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), c);
    } else {
        uint32_t light = Rgb(clBtnHighlight), dark = Rgb(cl3DDkShadow), shadow = Rgb(clBtnShadow);
        FillPlain(Rect(r.Left, r.Top, r.Right, r.Top + 1), light);
        FillPlain(Rect(r.Left, r.Top, r.Left + 1, r.Bottom), light);
        FillPlain(Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), dark);
        FillPlain(Rect(r.Right - 1, r.Top, r.Right, r.Bottom), dark);
        FillPlain(Rect(r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1), shadow);
        FillPlain(Rect(r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1), shadow);
    }
    if (type == DFC_SCROLL)
        DrawArrow(r, kind, pushed, Rgb((state & DFCS_INACTIVE) ? clGrayText : clBtnText));
}

} // namespace orvel
