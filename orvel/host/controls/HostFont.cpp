// FreeType faces found through fontconfig, with their glyphs cached per face.
#include "orvel/host/controls/HostFont.h"
#include "orvel/host/controls/BitmapFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <tuple>

namespace orvel {

namespace {

FT_Library Library() {
    // One library for the process; it lives as long as the faces cached below.
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) return static_cast<FT_Library>(nullptr);
        return lib;
    }();
    return library;
}

struct TFontFile {
    std::string Path;
    int Index = 0;
    bool Bold = false;   // the file's own weight is bold
    bool Italic = false; // the file's own slant is italic or oblique
};

// Asks fontconfig for the file that best matches a family and style; empty Path when none.
TFontFile MatchFontFile(const std::string& family, TFontStyles style) {
    TFontFile found;
    static const bool ready = [] {
        if (!FcInit()) return false;
        // fontconfig's configuration and caches are released when the process ends, so leak
        // checkers see only what the program itself keeps.
        std::atexit(FcFini);
        return true;
    }();
    if (!ready) return found;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return found;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, (style & fsBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, (style & fsItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            found.Path = reinterpret_cast<const char*>(file);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
                found.Index = index;
            if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch)
                found.Bold = weight >= FC_WEIGHT_DEMIBOLD;
            if (FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch)
                found.Italic = slant != FC_SLANT_ROMAN;
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

int Round26Dot6(FT_Pos value) {
    return static_cast<int>((value + 32) >> 6);
}

} // namespace

struct THostFace::TImpl {
    FT_Face Face = nullptr;
    bool Embolden = false; // bold asked for, the file is not bold
    bool Slant = false;    // italic asked for, the file is upright
    ~TImpl() {
        if (Face) FT_Done_Face(Face);
    }
};

int FontPixelSize(int points) {
    return std::max(1, (points * 96 + 36) / 72);
}

THostFace::~THostFace() = default;

THostFace* THostFace::Find(const std::string& family, int pixelSize, TFontStyles style) {
    using TKey = std::tuple<std::string, int, int>;
    static std::map<TKey, std::unique_ptr<THostFace>> faces;
    const TFontStyles shape = style & (fsBold | fsItalic);
    // Painting asks for the same face for every text it measures and draws: the face found last
    // is answered without building a key.
    static TKey lastKey{std::string(), -1, -1};
    static THostFace* last = nullptr;
    if (std::get<1>(lastKey) == pixelSize && std::get<2>(lastKey) == shape &&
        std::get<0>(lastKey) == family)
        return last;
    TKey key{family, pixelSize, shape};
    auto it = faces.find(key);
    if (it != faces.end()) {
        lastKey = it->first;
        last = it->second.get();
        return last;
    }

    std::unique_ptr<THostFace> face;
    FT_Library library = Library();
    TFontFile file = library ? MatchFontFile(family, shape) : TFontFile{};
    FT_Face ftFace = nullptr;
    if (!file.Path.empty() && FT_New_Face(library, file.Path.c_str(), file.Index, &ftFace) == 0) {
        if (FT_Set_Pixel_Sizes(ftFace, 0, static_cast<FT_UInt>(pixelSize)) == 0) {
            face.reset(new THostFace);
            face->FImpl = std::make_unique<TImpl>();
            face->FImpl->Face = ftFace;
            face->FImpl->Embolden = (shape & fsBold) && !file.Bold;
            face->FImpl->Slant = (shape & fsItalic) && !file.Italic;
            face->FAscent = Round26Dot6(ftFace->size->metrics.ascender);
            face->FDescent = Round26Dot6(-ftFace->size->metrics.descender);
            face->FFileName = file.Path;
        } else {
            FT_Done_Face(ftFace);
        }
    }
    THostFace* result = face.get();
    lastKey = key;
    last = result;
    faces.emplace(std::move(key), std::move(face)); // a failed lookup is not repeated
    return result;
}

const THostGlyph& THostFace::Glyph(char32_t ch) {
    auto it = FGlyphs.find(ch);
    if (it != FGlyphs.end()) return it->second;
    THostGlyph glyph;
    FT_Face face = FImpl->Face;
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) == 0) {
        FT_GlyphSlot slot = face->glyph;
        if (FImpl->Embolden) FT_GlyphSlot_Embolden(slot);
        if (FImpl->Slant) FT_GlyphSlot_Oblique(slot);
        glyph.Advance = Round26Dot6(slot->advance.x);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0 &&
            slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const FT_Bitmap& bitmap = slot->bitmap;
            glyph.Left = slot->bitmap_left;
            glyph.Top = slot->bitmap_top;
            glyph.Width = static_cast<int>(bitmap.width);
            glyph.Height = static_cast<int>(bitmap.rows);
            glyph.Coverage.resize(static_cast<size_t>(glyph.Width) * glyph.Height);
            for (int row = 0; row < glyph.Height; ++row) {
                const unsigned char* src =
                    bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
                std::copy(src, src + glyph.Width, glyph.Coverage.begin() + row * glyph.Width);
            }
        }
    }
    return FGlyphs.emplace(ch, std::move(glyph)).first->second;
}

int THostFace::TextWidth(const std::string& text) {
    int64_t width = 0;
    for (std::size_t i = 0; i < text.size();)
        width += Glyph(NextCodePoint(text, i)).Advance;
    return static_cast<int>(std::min<int64_t>(width, std::numeric_limits<int>::max()));
}

} // namespace orvel
