#include "platform/draw/FontCache.h"
#include "platform/LastingObjects.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

namespace trov::platform::draw {

namespace {

// FreeType's library and faces are not safe for concurrent use: every call into it holds the lock.
struct FreeType {
    FreeType() {
        if (FT_Init_FreeType(&library) != 0)
            library = nullptr;
    }
    ~FreeType() {
        if (library != nullptr)
            FT_Done_FreeType(library);
    }
    FreeType(const FreeType&) = delete;
    FreeType& operator=(const FreeType&) = delete;

    std::mutex mutex;
    FT_Library library = nullptr;
};

FreeType& freetype() {
    static FreeType* const instance = keepToTheEnd(new FreeType);
    return *instance;
}

std::mutex& freetypeMutex() {
    return freetype().mutex;
}

FT_Library library() {
    return freetype().library;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isPixelFace(const std::string& face) {
    const std::string name = lowerCase(face);
    return name == "04b03" || name == "uni 05_53";
}

// The family installed under a face name we know, else the one every unknown face falls back to.
constexpr const char* kFallbackFamily = "DejaVu Sans";
const char* familyFor(const std::string& face) {
    return lowerCase(face) == "arial" ? "Liberation Sans" : kFallbackFamily;
}

// Fontconfig, set up once and taken down with the platform's other lasting objects (it keeps its
// configuration until told to let go). Not through atexit: a module that is unloaded must have let go by
// then, and ThreadSanitizer's atexit runs the handler at the process's exit, into the unloaded module.
struct Fontconfig {
    Fontconfig() = default;
    Fontconfig(const Fontconfig&) = delete;
    Fontconfig& operator=(const Fontconfig&) = delete;
    ~Fontconfig() { FcFini(); }
};

bool fontconfigReady() {
    static const bool ready = [] {
        if (FcInit() == FcFalse)
            return false;
        keepToTheEnd(new Fontconfig);
        return true;
    }();
    return ready;
}

// The face of family that fontconfig picks for the weight and slant; false when the family is not installed.
bool matchFamily(const char* family, int weight, bool italic, FaceChoice& choice) {
    if (!fontconfigReady())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;
    bool found = false;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (lowerCase(reinterpret_cast<const char*>(name)) == lowerCase(family)) {
            found = true;
            break;
        }
    }
    FcChar8* file = nullptr;
    if (found && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        choice.family = family;
        choice.file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch)
            choice.index = index;
        FcBool embolden = FcFalse;
        if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
            choice.embolden = embolden == FcTrue;
        int slant = FC_SLANT_ROMAN;
        if (italic && FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch)
            choice.slant = slant == FC_SLANT_ROMAN;
    } else {
        found = false;
    }
    FcPatternDestroy(match);
    return found;
}

// Windows-1252's characters 0x80-0x9F; the rest of the code page is Latin-1.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t codePoint(unsigned char c) {
    return (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : c;
}

class FreeTypeFont : public LoadedFont {
public:
    FreeTypeFont(FT_Face face, const FontSpec& spec, const FaceChoice& choice)
        : face_(face), smooth_(spec.smooth), embolden_(choice.embolden) {
        height_ = spec.height;
        // The cell height is the face's Windows ascent plus descent, so the em is scaled down by their sum.
        int above = face->ascender;
        int below = -face->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            above = os2->usWinAscent;
            below = os2->usWinDescent;
        }
        const int cell = std::max(1, above + below);
        const long em = std::max(1L, std::lround(64.0 * spec.height * face->units_per_EM / cell));
        FT_Set_Char_Size(face, 0, em, 72, 72);
        ascent_ = static_cast<int>((static_cast<long>(above) * spec.height + cell / 2) / cell);
        if (choice.slant) {
            // The shear of a synthetic oblique, about 12 degrees.
            FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
            FT_Set_Transform(face, &shear, nullptr);
        }
    }
    ~FreeTypeFont() override {
        std::lock_guard guard(freetypeMutex());
        FT_Done_Face(face_);
    }

    const Glyph& glyph(unsigned char c) override {
        std::lock_guard guard(freetypeMutex());
        auto& slot = glyphs_[c];
        if (!slot)
            slot = std::make_unique<Glyph>(render(c));
        return *slot;
    }

private:
    Glyph render(unsigned char c) {
        Glyph glyph;
        const char32_t code = codePoint(c);
        // Control characters take no room and draw nothing.
        if (code < 32 || code == 0x7F)
            return glyph;
        const FT_Int32 flags = FT_LOAD_DEFAULT | (smooth_ ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO);
        if (FT_Load_Char(face_, code, flags) != 0)
            return glyph;
        FT_GlyphSlot slot = face_->glyph;
        if (embolden_)
            FT_GlyphSlot_Embolden(slot);
        glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, smooth_ ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
            return glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.height = static_cast<int>(bitmap.rows);
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.height),
                              0);
        for (int y = 0; y < glyph.height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            std::uint8_t* out = glyph.coverage.data() + static_cast<std::size_t>(y * glyph.width);
            for (int x = 0; x < glyph.width; ++x) {
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    out[x] = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
                else
                    out[x] = row[x];
            }
        }
        return glyph;
    }

    FT_Face face_;
    bool smooth_;
    bool embolden_;
    std::array<std::unique_ptr<Glyph>, 256> glyphs_;
};

using FontKey = std::tuple<std::string, int, int, bool, bool>;

struct Cache {
    std::mutex mutex;
    std::map<std::tuple<std::string, int, bool>, FaceChoice> faces;
    std::map<FontKey, std::shared_ptr<LoadedFont>> fonts;
};

Cache& cache() {
    // Made after the library, so that its faces are done before the library is.
    static auto* const instance = (freetype(), keepToTheEnd(new Cache));
    return *instance;
}

FaceChoice resolveUncached(const std::string& face, int weight, bool italic) {
    FaceChoice choice;
    if (!isPixelFace(face)) {
        std::lock_guard guard(freetypeMutex());
        if (matchFamily(familyFor(face), weight, italic, choice) ||
            matchFamily(kFallbackFamily, weight, italic, choice))
            return choice;
    }
    choice = FaceChoice{};
    choice.family = "pixel";
    choice.pixelFont = true;
    return choice;
}

FaceChoice resolveCached(Cache& store, const FontSpec& font) {
    const auto key = std::make_tuple(lowerCase(font.face), font.weight, font.italic);
    auto it = store.faces.find(key);
    if (it == store.faces.end())
        it = store.faces.emplace(key, resolveUncached(font.face, font.weight, font.italic)).first;
    return it->second;
}

} // namespace

FaceChoice resolveFace(const FontSpec& font) {
    Cache& store = cache();
    std::lock_guard guard(store.mutex);
    return resolveCached(store, font);
}

std::shared_ptr<LoadedFont> loadFont(const FontSpec& font) {
    if (font.height < 1)
        return nullptr;
    Cache& store = cache();
    std::lock_guard guard(store.mutex);
    const FontKey key{font.face, font.height, font.weight, font.italic, font.smooth};
    if (auto it = store.fonts.find(key); it != store.fonts.end())
        return it->second;
    const FaceChoice choice = resolveCached(store, font);
    std::shared_ptr<LoadedFont> loaded;
    if (!choice.pixelFont) {
        std::lock_guard freetype(freetypeMutex());
        FT_Face face = nullptr;
        if (library() != nullptr && FT_New_Face(library(), choice.file.c_str(), choice.index, &face) == 0)
            loaded = std::make_shared<FreeTypeFont>(face, font, choice);
    }
    if (!loaded)
        loaded = makePixelFont(font.height);
    store.fonts.emplace(key, loaded);
    return loaded;
}

void clearFontCache() {
    Cache& store = cache();
    std::map<FontKey, std::shared_ptr<LoadedFont>> fonts;
    {
        std::lock_guard guard(store.mutex);
        store.faces.clear();
        fonts.swap(store.fonts);
    }
    // Faces are closed here, outside the cache's lock (closing takes FreeType's).
}

} // namespace trov::platform::draw
