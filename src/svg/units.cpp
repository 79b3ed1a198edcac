// The size of one user unit of the drawing, read from the document element, for the unit the
// drawing is written in.
#include "platform/text.h"
#include "svg/converter.h"
#include "xml/xml.h"

#include <cmath>
#include <optional>
#include <string_view>

namespace
{

constexpr double kPixelsPerInch = 96.0;

// A length in one of the absolute units: a bare number is in pixels. Relative lengths (a
// percentage, em, ex) and sizes that are not positive measure nothing.
std::optional<CUnitLength> ReadAbsoluteLength(std::string_view text)
{
    text = orbelin::Trim(text);
    std::size_t used = 0;
    const double value = orbelin::ReadDouble(text, &used);
    if (used == 0 || !std::isfinite(value) || value <= 0.0)
        return std::nullopt;
    const std::string_view unit = orbelin::Trim(text.substr(used));
    static const std::pair<const char*, double> kUnits[] = {{"px", 96.0}, {"mm", 25.4}, {"cm", 2.54},
                                                            {"in", 1.0},  {"pt", 72.0}, {"pc", 6.0}};
    if (unit.empty())
        return CUnitLength{value, kPixelsPerInch};
    for (const auto& [name, perInch] : kUnits)
        if (orbelin::EqualsNoCase(unit, name))
            return CUnitLength{value, perInch};
    return std::nullopt;
}

// The width and height of a viewBox whose four numbers read whole and whose size is positive.
bool ReadViewBoxSize(std::string_view text, double& width, double& height)
{
    double values[4] = {0, 0, 0, 0};
    int found = 0;
    std::size_t i = 0;
    while (i < text.size() && found < 4)
    {
        const char c = text[i];
        if (c == ',' || orbelin::IsSpace(c))
        {
            ++i;
            continue;
        }
        std::size_t used = 0;
        values[found++] = orbelin::ReadDouble(text.substr(i), &used);
        if (used == 0)
            return false;
        i += used;
    }
    width = values[2];
    height = values[3];
    return found == 4 && std::isfinite(width) && std::isfinite(height) && width > 0.0 && height > 0.0;
}

double Inches(const CUnitLength& length)
{
    return length.size / length.perInch;
}

} // namespace

CUnitLength CConverter::MeasureUserUnit(std::string_view width, std::string_view height,
                                        std::string_view viewBox, bool hasViewBox, double& yShift)
{
    yShift = 0.0;
    const std::optional<CUnitLength> w = ReadAbsoluteLength(width);
    const std::optional<CUnitLength> h = ReadAbsoluteLength(height);
    double boxWidth = 0.0;
    double boxHeight = 0.0;
    if (hasViewBox && ReadViewBoxSize(viewBox, boxWidth, boxHeight))
    {
        // The viewBox is fitted into the size as a whole: where width and height disagree, the one
        // that gives the smaller user unit decides, as it does where the drawing is shown.
        std::optional<CUnitLength> unit;
        if (w)
            unit = CUnitLength{w->size / boxWidth, w->perInch};
        if (h)
        {
            const CUnitLength byHeight{h->size / boxHeight, h->perInch};
            if (!unit || Inches(byHeight) < Inches(*unit))
                unit = byHeight;
        }
        if (unit && std::isfinite(unit->size) && unit->size > 0.0)
            return *unit;
        return CUnitLength{};
    }
    // Without a viewBox a user unit is a pixel, and the size in other units only says how many of
    // them the sheet has. The walk flips y against the number of the height alone ("297" of
    // "297mm"); the shift brings the flip line down to the sheet's lower edge. Not with a viewBox
    // that does not read, since the walk flips against what it read of that.
    if (!hasViewBox && h)
        yShift = h->size * (kPixelsPerInch / h->perInch) - orbelin::ReadDouble(height);
    return CUnitLength{};
}

void CConverter::ChooseOutputUnit(DxfUnit unit, const CXML& root)
{
    double yShift = 0.0;
    CUnitLength userUnit;
    if (unit != DxfUnit::None && orbelin::EqualsNoCase(root.m_strTag, "svg"))
    {
        std::string_view width;
        std::string_view height;
        std::string_view viewBox;
        bool hasViewBox = false;
        // Matched as the walk matches them, so that the shift answers the height the walk reads.
        for (const CAttribute& attribute : root.m_attributes)
        {
            const std::string_view name = attribute.GetName();
            if (name == "width")
                width = attribute.GetValue();
            else if (name == "height")
                height = attribute.GetValue();
            else if (name == "viewBox")
            {
                viewBox = attribute.GetValue();
                hasViewBox = true;
            }
        }
        userUnit = MeasureUserUnit(width, height, viewBox, hasViewBox, yShift);
    }
    SetOutputUnit(unit, userUnit, yShift);
}
