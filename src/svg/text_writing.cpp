#include "svg/text_writing.h"

#include "fonts/text_outlines.h"
#include "geometry/curve_writing.h"

#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

namespace
{

// The TEXT height is this share of the font size (the cap height CAD programs measure).
constexpr double kHeightPerEm = 0.8;
// Longest content outlined, in bytes, as long as the longest a TEXT entity holds: every glyph takes
// some ten kilobytes of outlines, so without a bound one long text could fill a disk.
constexpr std::size_t kMaxOutlinedBytes = 1000;

// The content cut before kMaxOutlinedBytes, at the start of a character.
std::string_view CutContent(std::string_view content)
{
    if (content.size() <= kMaxOutlinedBytes)
        return content;
    std::size_t end = kMaxOutlinedBytes;
    while (end > 0 && (static_cast<unsigned char>(content[end]) & 0xC0u) == 0x80u)
        --end;
    return content.substr(0, end);
}

class CEntityTextWriting final : public CTextWriting
{
  public:
    void Write(CPathGeometry& geometry, const CTextRun& run) override
    {
        geometry.WriteTextEntity(run.x, run.y, run.height, run.angle, run.content, run.style, run.alignment);
    }
};

class COutlineTextWriting final : public CTextWriting
{
  public:
    void Write(CPathGeometry& geometry, const CTextRun& run) override
    {
        // A text with no size shows nothing; a non-finite one has no place at all.
        const double em = run.height / kHeightPerEm;
        if (!(em > 0.0) || !std::isfinite(em) || !std::isfinite(run.angle) || !std::isfinite(run.x) ||
            !std::isfinite(run.y))
            return;
        if (!m_fonts.Outline(run.family, CutContent(run.content), m_outline, run.weight, run.italic))
        {
            // No font on the system at all: the text is kept, as the entity a CAD program can show.
            m_entities.Write(geometry, run);
            return;
        }
        const double shift = run.alignment == 1   ? -0.5 * m_outline.advance
                             : run.alignment == 2 ? -m_outline.advance
                                                  : 0.0;
        const double c = std::cos(run.angle) * em;
        const double s = std::sin(run.angle) * em;
        const auto place = [&](CContourPoint& p)
        {
            const double u = p.x + shift;
            const double v = p.y;
            p = {run.x + c * u - s * v, run.y + s * u + c * v};
        };
        for (CContour& contour : m_outline.contours)
        {
            place(contour.start);
            for (CContourSegment& segment : contour.segments)
            {
                place(segment.end);
                if (segment.kind != CContourSegment::Kind::Line)
                    place(segment.c1);
                if (segment.kind == CContourSegment::Kind::Cubic)
                    place(segment.c2);
            }
        }
        const EntityStyle style = geometry.OutlineStyle(geometry.m_lineType);
        const CCurveWriting& curves = *geometry.m_curveWriting;
        // Each glyph its own hatch: the overlaps of neighbouring glyphs (joined scripts, marks)
        // would otherwise be read as holes.
        if (run.filled)
            for (const CShapedGlyph& glyph : m_outline.glyphs)
            {
                if (glyph.contourCount == 0)
                    continue;
                m_glyph.assign(m_outline.contours.begin() + static_cast<std::ptrdiff_t>(glyph.firstContour),
                               m_outline.contours.begin() +
                                   static_cast<std::ptrdiff_t>(glyph.firstContour + glyph.contourCount));
                curves.WriteOutlines(geometry, m_glyph, nullptr, &style);
            }
        curves.WriteOutlines(geometry, m_outline.contours, &style, nullptr);
    }

  private:
    // Every face the conversion opens, kept until it ends.
    CFontLibrary m_fonts;
    CEntityTextWriting m_entities;
    CTextOutline m_outline;
    std::vector<CContour> m_glyph;
};

} // namespace

std::unique_ptr<CTextWriting> MakeTextWriting(TextForm form)
{
    if (form == TextForm::Outlines)
        return std::make_unique<COutlineTextWriting>();
    return std::make_unique<CEntityTextWriting>();
}
