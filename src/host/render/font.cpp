// Font lookup through fontconfig, metrics through FreeType. Metrics are read
// unscaled (font units over units per em), so they do not depend on a size
// or on hinting, and the same font gives the same numbers everywhere.
#include "host/render/font.h"

#include "host/dbtext.h"
#include "host/hoststring.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <filesystem>
#include <unordered_map>

namespace render {

namespace {

// Cap height of common sans-serif fonts, for when no font is installed.
constexpr double kTypicalCapHeight = 0.72;

FontFile findCjkFont()
{
    FontFile found;
    if (FcInit()) {
        FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("WenQuanYi Micro Hei:lang=zh-cn"));
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult res = FcResultNoMatch;
        if (FcPattern* m = FcFontMatch(nullptr, pat, &res)) {
            FcChar8* file = nullptr;
            FcCharSet* cs = nullptr;
            int index = 0;
            // Only a font that really covers Chinese will do.
            if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch
                && FcPatternGetCharSet(m, FC_CHARSET, 0, &cs) == FcResultMatch && FcCharSetHasChar(cs, 0x4E2D)) {
                found.path = reinterpret_cast<const char*>(file);
                if (FcPatternGetInteger(m, FC_INDEX, 0, &index) == FcResultMatch)
                    found.index = index;
            }
            FcPatternDestroy(m);
        }
        FcPatternDestroy(pat);
    }
    if (!found.path.empty())
        return found;
    for (const char* p : {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                          "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"})
        if (std::filesystem::exists(p))
            return {p, 0};
    return {};
}

// The measuring face, loaded once; null when no font could be opened.
class Metrics {
public:
    Metrics()
    {
        const FontFile& file = cjkFontFile();
        if (file.path.empty() || FT_Init_FreeType(&m_lib) != 0)
            return;
        if (FT_New_Face(m_lib, file.path.c_str(), file.index, &m_face) != 0) {
            m_face = nullptr;
            return;
        }
        m_unitsPerEm = m_face->units_per_EM > 0 ? m_face->units_per_EM : 1000.0;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
        if (os2 && os2->version >= 2 && os2->sCapHeight > 0)
            m_capHeight = os2->sCapHeight / m_unitsPerEm;
        else if (FT_Load_Char(m_face, 'H', FT_LOAD_NO_SCALE) == 0 && m_face->glyph->metrics.height > 0)
            m_capHeight = static_cast<double>(m_face->glyph->metrics.height) / m_unitsPerEm;
    }
    ~Metrics()
    {
        if (m_face)
            FT_Done_Face(m_face);
        if (m_lib)
            FT_Done_FreeType(m_lib);
    }
    Metrics(const Metrics&) = delete;
    Metrics& operator=(const Metrics&) = delete;

    double advance(wchar_t c)
    {
        // Without a font: the host's own estimate, which is in units of the
        // cap height for Latin characters.
        if (!m_face)
            return estimateTextAdvance(wideToUtf8(std::wstring(1, c))) * (isCjkCharacter(c) ? 1.0 : kTypicalCapHeight);
        auto it = m_advances.find(c);
        if (it != m_advances.end())
            return it->second;
        FT_Fixed adv = 0;
        const FT_UInt glyph = FT_Get_Char_Index(m_face, static_cast<FT_ULong>(c));
        double a = 0.0;
        if (FT_Get_Advance(m_face, glyph, FT_LOAD_NO_SCALE, &adv) == 0)
            a = static_cast<double>(adv) / m_unitsPerEm;
        m_advances.emplace(c, a);
        return a;
    }
    double capHeight() const { return m_capHeight; }

private:
    FT_Library m_lib = nullptr;
    FT_Face m_face = nullptr;
    double m_unitsPerEm = 1000.0;
    double m_capHeight = kTypicalCapHeight;
    std::unordered_map<wchar_t, double> m_advances;
};

Metrics& metrics()
{
    static Metrics m;
    return m;
}

} // namespace

const FontFile& cjkFontFile()
{
    static const FontFile file = findCjkFont();
    return file;
}

const char* fontFamilyList()
{
    return "'WenQuanYi Micro Hei', 'Noto Sans CJK SC', sans-serif";
}

double fontAdvance(const std::wstring& text)
{
    double w = 0.0;
    for (wchar_t c : text)
        w += metrics().advance(c);
    return w;
}

double fontCapHeight()
{
    return metrics().capHeight();
}

bool isCjkCharacter(wchar_t c)
{
    return c >= 0x2E80 && c < 0xFFEF;
}

} // namespace render
