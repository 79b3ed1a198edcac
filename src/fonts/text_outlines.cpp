#include "fonts/text_outlines.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <algorithm>
#include <cctype>
#include <hb.h>
#include <unordered_map>

namespace
{

bool IsGenericFamily(std::string_view name)
{
    static const char* const kGeneric[] = {"serif",        "sans-serif", "monospace", "cursive",
                                           "fantasy",      "system-ui",  "ui-serif",  "ui-sans-serif",
                                           "ui-monospace", "ui-rounded", "emoji",     "math"};
    for (const char* generic : kGeneric)
    {
        const std::string_view g(generic);
        if (g.size() == name.size() &&
            std::equal(g.begin(), g.end(), name.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
            return true;
    }
    return false;
}

// The fontconfig name of a CSS generic family: the user-interface ones are the plain ones here.
std::string FontconfigGeneric(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    if (name == "system-ui" || name == "ui-sans-serif" || name == "ui-rounded")
        return "sans-serif";
    if (name == "ui-serif")
        return "serif";
    if (name == "ui-monospace")
        return "monospace";
    return name;
}

struct CFace
{
    hb_blob_t* blob = nullptr;
    hb_face_t* hbFace = nullptr;
    hb_font_t* hbFont = nullptr;
    FT_Face ftFace = nullptr;
    double unitsPerEm = 0.0;
    std::string file;
    // Outlines already drawn, in font units, by glyph index.
    std::unordered_map<unsigned, std::vector<CContour>> glyphs;

    ~CFace()
    {
        if (ftFace)
            FT_Done_Face(ftFace);
        hb_font_destroy(hbFont);
        hb_face_destroy(hbFace);
        hb_blob_destroy(blob);
    }
};

struct COutlineBuilder
{
    std::vector<CContour>* contours = nullptr;

    static CContourPoint Point(const FT_Vector* v)
    {
        return CContourPoint{static_cast<double>(v->x), static_cast<double>(v->y)};
    }
    static int MoveTo(const FT_Vector* to, void* user)
    {
        auto& contours = *static_cast<COutlineBuilder*>(user)->contours;
        if (!contours.empty() && contours.back().segments.empty())
            contours.pop_back();
        CContour contour;
        contour.start = Point(to);
        contour.closed = true; // every outline contour of a font is closed
        contours.push_back(contour);
        return 0;
    }
    static int LineTo(const FT_Vector* to, void* user)
    {
        CContourSegment segment;
        segment.kind = CContourSegment::Kind::Line;
        segment.end = Point(to);
        return Add(segment, user);
    }
    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        CContourSegment segment;
        segment.kind = CContourSegment::Kind::Quadratic;
        segment.c1 = Point(control);
        segment.end = Point(to);
        return Add(segment, user);
    }
    static int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
    {
        CContourSegment segment;
        segment.kind = CContourSegment::Kind::Cubic;
        segment.c1 = Point(control1);
        segment.c2 = Point(control2);
        segment.end = Point(to);
        return Add(segment, user);
    }
    static int Add(const CContourSegment& segment, void* user)
    {
        auto& contours = *static_cast<COutlineBuilder*>(user)->contours;
        // A segment before any move is malformed data; it has nowhere to start.
        if (contours.empty())
            return 1;
        contours.back().segments.push_back(segment);
        return 0;
    }
};

// The box a font without a drawn notdef is given, so that a missing character still shows: an
// outer and an inner rectangle, in font units, the inner one a hole.
std::vector<CContour> NotdefBox(double unitsPerEm, double advance)
{
    const double width = advance > 0.2 * unitsPerEm ? advance : 0.6 * unitsPerEm;
    const auto rectangle = [](double x0, double y0, double x1, double y1, bool clockwise)
    {
        CContour contour;
        contour.closed = true;
        contour.start = {x0, y0};
        const CContourPoint corners[3] = {clockwise ? CContourPoint{x0, y1} : CContourPoint{x1, y0},
                                          {x1, y1},
                                          clockwise ? CContourPoint{x1, y0} : CContourPoint{x0, y1}};
        for (const CContourPoint& corner : corners)
        {
            CContourSegment segment;
            segment.end = corner;
            contour.segments.push_back(segment);
        }
        return contour;
    };
    const double e = unitsPerEm;
    return {rectangle(0.1 * width, 0.0, 0.9 * width, 0.7 * e, true),
            rectangle(0.1 * width + 0.07 * e, 0.07 * e, 0.9 * width - 0.07 * e, 0.63 * e, false)};
}

// One run of a single script and direction, bytes [begin, end) of the text, at its embedding level.
struct CTextItem
{
    std::size_t begin = 0;
    std::size_t end = 0;
    hb_script_t script = HB_SCRIPT_COMMON;
    bool rightToLeft = false;
    int level = 0;
};

bool IsRightToLeft(hb_script_t script)
{
    return hb_script_get_horizontal_direction(script) == HB_DIRECTION_RTL;
}

// Splits the text into runs of one script each, and puts the runs in the order they are seen in, by
// the bidirectional rules at the scale of whole runs: the paragraph takes the direction of its first
// strong letter; runs of the other direction are embedded one level deeper (digits inside right-to-
// left text deeper still, so that numbers read left to right); blanks and punctuation between runs of
// different directions take the paragraph's; then every sequence at a level or deeper is reversed,
// from the deepest level up. HarfBuzz puts the glyphs inside each run in their order.
std::vector<CTextItem> ItemizeText(hb_buffer_t* buffer, const std::string& text)
{
    // The buffer decodes the bytes (a broken sequence into U+FFFD), each character with its offset.
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    hb_unicode_funcs_t* unicode = hb_buffer_get_unicode_funcs(buffer);
    struct CChar
    {
        std::size_t offset;
        hb_script_t script; // HB_SCRIPT_COMMON for blanks, punctuation and digits
        bool digit;
        bool mark; // combining: always stays with what it follows
    };
    std::vector<CChar> chars;
    chars.reserve(count);
    bool paragraphRtl = false;
    bool paragraphKnown = false;
    for (unsigned i = 0; i < count; ++i)
    {
        const hb_codepoint_t cp = infos[i].codepoint;
        hb_script_t script = hb_unicode_script(unicode, cp);
        const bool mark = script == HB_SCRIPT_INHERITED;
        if (script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN)
            script = HB_SCRIPT_COMMON;
        const bool digit =
            hb_unicode_general_category(unicode, cp) == HB_UNICODE_GENERAL_CATEGORY_DECIMAL_NUMBER;
        if (!paragraphKnown && script != HB_SCRIPT_COMMON)
        {
            paragraphKnown = true;
            paragraphRtl = IsRightToLeft(script);
        }
        chars.push_back(CChar{infos[i].cluster, script, digit, mark});
    }
    const int base = paragraphRtl ? 1 : 0;

    std::vector<CTextItem> items;
    const auto open = [&](std::size_t offset, hb_script_t script, bool rtl)
    {
        CTextItem item;
        item.begin = offset;
        item.script = script;
        item.rightToLeft = rtl;
        item.level = rtl == paragraphRtl ? base : base + 1;
        items.push_back(item);
    };
    // Where the blanks and punctuation at the end of the current run begin; npos when none.
    std::size_t neutralFrom = std::string::npos;
    bool inNumber = false;
    for (const CChar& c : chars)
    {
        if (items.empty())
        {
            // Leading blanks belong to the first letter's run, which takes the paragraph's direction.
            const hb_script_t first = c.script;
            open(c.offset, first, first == HB_SCRIPT_COMMON ? paragraphRtl : IsRightToLeft(first));
            inNumber = c.digit;
            neutralFrom = first == HB_SCRIPT_COMMON && !c.digit ? c.offset : std::string::npos;
            continue;
        }
        CTextItem& current = items.back();
        if (c.mark)
            continue;
        if (c.digit && current.rightToLeft)
        {
            if (!inNumber)
            {
                open(c.offset, HB_SCRIPT_COMMON, false);
                items.back().level = base + (paragraphRtl ? 1 : 2);
                inNumber = true;
            }
            neutralFrom = std::string::npos;
            continue;
        }
        if (c.script == HB_SCRIPT_COMMON)
        {
            if (c.digit)
                neutralFrom = std::string::npos;
            else if (neutralFrom == std::string::npos)
                neutralFrom = c.offset;
            continue;
        }
        if (inNumber)
        {
            // A number in right-to-left text ends at its first letter; the letters go on in a run of
            // their own, after it.
            inNumber = false;
            open(neutralFrom == std::string::npos ? c.offset : neutralFrom, c.script,
                 IsRightToLeft(c.script));
            neutralFrom = std::string::npos;
            continue;
        }
        if (current.script == HB_SCRIPT_COMMON)
        {
            // Leading blanks and digits take the script of the first letter after them.
            current.script = c.script;
            current.rightToLeft = IsRightToLeft(c.script);
            current.level = current.rightToLeft == paragraphRtl ? base : base + 1;
            neutralFrom = std::string::npos;
            continue;
        }
        if (c.script == current.script)
        {
            neutralFrom = std::string::npos;
            continue;
        }
        const bool rtl = IsRightToLeft(c.script);
        // The blanks between two directions are the paragraph's; between two scripts of one
        // direction they stay with the run before.
        if (rtl != current.rightToLeft && neutralFrom != std::string::npos && neutralFrom > current.begin)
            open(neutralFrom, HB_SCRIPT_COMMON, paragraphRtl);
        open(c.offset, c.script, rtl);
        neutralFrom = std::string::npos;
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i].end = i + 1 < items.size() ? items[i + 1].begin : text.size();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const CTextItem& item) { return item.end <= item.begin; }),
                items.end());

    int deepest = 0;
    for (const CTextItem& item : items)
        deepest = std::max(deepest, item.level);
    for (int level = deepest; level >= 1; --level)
        for (std::size_t i = 0; i < items.size();)
        {
            if (items[i].level < level)
            {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < items.size() && items[j].level >= level)
                ++j;
            std::reverse(items.begin() + static_cast<std::ptrdiff_t>(i),
                         items.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
    return items;
}

} // namespace

std::vector<std::string> SplitFontFamilies(std::string_view families)
{
    std::vector<std::string> names;
    std::string current;
    char quote = 0;
    const auto finish = [&]
    {
        const std::size_t first = current.find_first_not_of(" \t\r\n");
        const std::size_t last = current.find_last_not_of(" \t\r\n");
        if (first != std::string::npos)
        {
            std::string name = current.substr(first, last - first + 1);
            if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
                name.back() == name.front())
                name = name.substr(1, name.size() - 2);
            if (!name.empty())
                names.push_back(name);
        }
        current.clear();
    };
    for (const char c : families)
    {
        if (quote != 0)
        {
            if (c == quote)
                quote = 0;
            current += c;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        if (c == ',')
        {
            finish();
            continue;
        }
        current += c;
    }
    finish();
    return names;
}

struct CFontLibrary::Impl
{
    FT_Library library = nullptr;
    // A configuration of the conversion's own, loaded on the first text: nothing is shared with
    // other conversions running beside it, and everything is given back at the end (the process-
    // wide one of FcInit never is).
    FcConfig* config = nullptr;
    bool libraryFailed = false;
    std::vector<std::unique_ptr<CFace>> faces;
    std::unordered_map<std::string, CFace*> facesByFile;     // "file#index"
    std::unordered_map<std::string, CFace*> facesByFamilies; // the CSS list as written
    hb_buffer_t* buffer = nullptr;

    ~Impl()
    {
        hb_buffer_destroy(buffer);
        faces.clear();
        if (library)
            FT_Done_FreeType(library);
        if (config)
            FcConfigDestroy(config);
    }

    CFace* Open(const std::string& file, int index)
    {
        const std::string key = file + '#' + std::to_string(index);
        if (const auto found = facesByFile.find(key); found != facesByFile.end())
            return found->second;
        CFace* opened = nullptr;
        auto face = std::make_unique<CFace>();
        face->file = file;
        face->blob = hb_blob_create_from_file_or_fail(file.c_str());
        if (face->blob)
        {
            face->hbFace = hb_face_create(face->blob, static_cast<unsigned>(index));
            unsigned length = 0;
            const char* data = hb_blob_get_data(face->blob, &length);
            // FreeType reads the same bytes HarfBuzz shapes with: the glyph indices agree.
            if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(data),
                                   static_cast<FT_Long>(length), index, &face->ftFace) == 0 &&
                FT_IS_SCALABLE(face->ftFace) && face->ftFace->units_per_EM > 0)
            {
                face->unitsPerEm = face->ftFace->units_per_EM;
                face->hbFont = hb_font_create(face->hbFace);
                hb_font_set_scale(face->hbFont, face->ftFace->units_per_EM, face->ftFace->units_per_EM);
                opened = face.get();
                faces.push_back(std::move(face));
            }
        }
        facesByFile.emplace(key, opened);
        return opened;
    }

    // The installed face fontconfig gives for name; with exactFamily only one whose family is
    // that name, not a substitute.
    CFace* Match(const std::string& name, bool exactFamily, int weight, bool italic)
    {
        FcPattern* pattern = FcPatternCreate();
        if (!pattern)
            return nullptr;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match)
            return nullptr;
        bool accepted = !exactFamily;
        FcChar8* family = nullptr;
        for (int i = 0; exactFamily && FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i)
            if (FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(name.c_str())) == 0)
                accepted = true;
        CFace* face = nullptr;
        FcChar8* file = nullptr;
        int index = 0;
        if (accepted && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        {
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch)
                index = 0;
            face = Open(reinterpret_cast<const char*>(file), index);
        }
        FcPatternDestroy(match);
        return face;
    }

    CFace* FaceFor(std::string_view families, int weight, bool italic)
    {
        const std::string key =
            std::string(families) + '\n' + std::to_string(weight) + (italic ? " italic" : "");
        if (const auto found = facesByFamilies.find(key); found != facesByFamilies.end())
            return found->second;
        CFace* face = nullptr;
        if (!libraryFailed && !library)
        {
            if (FT_Init_FreeType(&library) != 0)
                library = nullptr;
            config = library ? FcInitLoadConfigAndFonts() : nullptr;
            libraryFailed = !library || !config;
        }
        if (!libraryFailed)
        {
            const std::vector<std::string> names = SplitFontFamilies(families);
            std::string generic;
            for (const std::string& name : names)
            {
                const bool isGeneric = IsGenericFamily(name);
                if (isGeneric && generic.empty())
                    generic = FontconfigGeneric(name);
                face = Match(isGeneric ? FontconfigGeneric(name) : name, !isGeneric, weight, italic);
                if (face)
                    break;
            }
            // No family of the list is installed: fontconfig's own choice for the first one, which
            // knows the usual families' kinds (a Times is a serif), else the plain sans-serif.
            if (!face && !names.empty())
                face = Match(generic.empty() ? names.front() : generic, false, weight, italic);
            if (!face)
                face = Match("sans-serif", false, weight, italic);
        }
        facesByFamilies.emplace(key, face);
        return face;
    }

    static const std::vector<CContour>& Glyph(CFace& face, unsigned glyph)
    {
        if (const auto found = face.glyphs.find(glyph); found != face.glyphs.end())
            return found->second;
        std::vector<CContour> contours;
        if (FT_Load_Glyph(face.ftFace, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) ==
                0 &&
            face.ftFace->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
        {
            COutlineBuilder builder;
            builder.contours = &contours;
            FT_Outline_Funcs funcs = {};
            funcs.move_to = &COutlineBuilder::MoveTo;
            funcs.line_to = &COutlineBuilder::LineTo;
            funcs.conic_to = &COutlineBuilder::ConicTo;
            funcs.cubic_to = &COutlineBuilder::CubicTo;
            if (FT_Outline_Decompose(&face.ftFace->glyph->outline, &funcs, &builder) != 0)
                contours.clear();
            if (!contours.empty() && contours.back().segments.empty())
                contours.pop_back();
        }
        if (glyph == 0 && contours.empty())
            contours =
                NotdefBox(face.unitsPerEm, static_cast<double>(hb_font_get_glyph_h_advance(face.hbFont, 0)));
        return face.glyphs.emplace(glyph, std::move(contours)).first->second;
    }
};

CFontLibrary::CFontLibrary() : m_impl(std::make_unique<Impl>()) {}

CFontLibrary::~CFontLibrary() = default;

bool CFontLibrary::Outline(std::string_view families, std::string_view text, CTextOutline& out, int weight,
                           bool italic)
{
    out = CTextOutline();
    CFace* face = m_impl->FaceFor(families, std::clamp(weight, 1, 1000), italic);
    if (!face)
        return false;
    out.fontFile = face->file;
    // Line breaks and other control characters become blanks, as in a text entity.
    std::string cleaned(text);
    for (char& c : cleaned)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    if (cleaned.empty())
        return true;
    if (!m_impl->buffer)
        m_impl->buffer = hb_buffer_create();
    hb_buffer_t* buffer = m_impl->buffer;
    const std::vector<CTextItem> items = ItemizeText(buffer, cleaned);
    const double perUnit = 1.0 / face->unitsPerEm;
    double penX = 0.0;
    double penY = 0.0;
    for (const CTextItem& item : items)
    {
        hb_buffer_clear_contents(buffer);
        // The whole text goes in as context, so that letters at the ends of a run join as they would.
        hb_buffer_add_utf8(buffer, cleaned.data(), static_cast<int>(cleaned.size()),
                           static_cast<unsigned>(item.begin), static_cast<int>(item.end - item.begin));
        hb_buffer_set_direction(buffer, item.rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_set_script(buffer, item.script);
        hb_buffer_guess_segment_properties(buffer);
        hb_shape(face->hbFont, buffer, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
        for (unsigned i = 0; i < count; ++i)
        {
            CShapedGlyph glyph;
            glyph.glyph = infos[i].codepoint;
            glyph.cluster = infos[i].cluster;
            glyph.x = (penX + positions[i].x_offset) * perUnit;
            glyph.y = (penY + positions[i].y_offset) * perUnit;
            glyph.firstContour = out.contours.size();
            for (const CContour& contour : Impl::Glyph(*face, glyph.glyph))
            {
                CContour placed;
                placed.closed = contour.closed;
                placed.start = {glyph.x + contour.start.x * perUnit, glyph.y + contour.start.y * perUnit};
                placed.segments.reserve(contour.segments.size());
                for (CContourSegment segment : contour.segments)
                {
                    for (CContourPoint* p : {&segment.c1, &segment.c2, &segment.end})
                        *p = {glyph.x + p->x * perUnit, glyph.y + p->y * perUnit};
                    placed.segments.push_back(segment);
                }
                out.contours.push_back(std::move(placed));
            }
            glyph.contourCount = out.contours.size() - glyph.firstContour;
            out.glyphs.push_back(glyph);
            penX += positions[i].x_advance;
            penY += positions[i].y_advance;
        }
    }
    out.advance = penX * perUnit;
    return true;
}
