// The character content of a text or tspan element, its size, direction and place, written as one
// single-line text entity.
#include "platform/text.h"

#include "svg/converter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace
{

// Text height is 0.8 of the font size: the cap height of common fonts, which is what CAD programs
// measure as text height.
constexpr double kHeightPerFontSize = 0.8;
// The content as the reader left it may still hold the closing tag of the element; only the tag
// and the '<' before it go, whatever else the content holds.
void CutBeforeTag(std::string_view& content, std::string_view tag)
{
    const std::size_t pos = content.find(tag);
    if (pos != std::string_view::npos)
        content = content.substr(0, pos == 0 ? 0 : pos - 1);
}

// Reads the pieces of a matrix(...) text into m; pieces beyond the sixth have no place and are left.
void ReadTextMatrix(std::string_view text, CMatrix& m)
{
    std::string rest = orbelin::RemoveChar(orbelin::RemoveChar(text, '('), ')');
    const char separator = rest.find(' ') != std::string::npos ? ' ' : ',';
    rest += separator;
    double* const entries[6] = {&m.a, &m.b, &m.c, &m.d, &m.e, &m.f};
    std::size_t pos = 0;
    for (double* entry : entries)
    {
        const std::size_t end = rest.find(separator, pos);
        if (end == std::string::npos)
            break;
        *entry = orbelin::ReadDouble(std::string_view(rest).substr(pos, end - pos));
        pos = end + 1;
    }
}

} // namespace

int CConverter::WriteTextElement(const std::string& transform, const std::string& fontFamily,
                                 const std::string& fontSize, const std::string& content,
                                 const std::string& x, const std::string& y)
{
    const std::string& family = fontFamily.empty() ? m_groupFontFamily : fontFamily;
    const std::string& size = fontSize.empty() ? m_groupFontSize : fontSize;
    double px = orbelin::ReadDouble(x);
    double py = orbelin::ReadDouble(y);

    std::string style = family.empty() ? std::string() : FontStyleFor(family);
    if (style.empty())
        style = "Standard";

    if (content.empty())
        return 0;
    std::string_view visible = content;
    CutBeforeTag(visible, "/text>");
    CutBeforeTag(visible, "/tspan>");

    CMatrix local;
    double height = kHeightPerFontSize * orbelin::ReadDouble(size);
    double angle = 0.0;
    const std::string_view text = transform;
    const std::size_t matrixPos = text.find("matrix");
    if (matrixPos != std::string_view::npos)
    {
        ReadTextMatrix(text.substr(matrixPos + 6), local);
        const double scale = std::hypot(local.a, local.b);
        // A matrix that collapses the x axis has neither a size nor a direction to give the text.
        if (scale == 0.0)
        {
            height = 0.0;
        }
        else
        {
            angle = std::acos(std::clamp(local.a / scale, -1.0, 1.0));
            height *= scale;
        }
    }
    else
    {
        const std::size_t translatePos = text.find("translate");
        // Ten characters: the word and the opening parenthesis that usually follows it.
        if (translatePos != std::string_view::npos && translatePos + 10 <= text.size())
        {
            const std::string rest =
                orbelin::RemoveChar(orbelin::RemoveChar(text.substr(translatePos + 10), '('), ')');
            std::size_t separator = rest.find(',');
            if (separator == std::string::npos)
                separator = rest.find(' ');
            if (separator != std::string::npos)
            {
                local.e = orbelin::ReadDouble(std::string_view(rest).substr(0, separator));
                local.f = orbelin::ReadDouble(std::string_view(rest).substr(separator + 1));
            }
        }
    }

    ApplyMatrix(local, px, py);
    ApplyGroupMatrices(px, py);
    CTextRun run;
    run.x = px;
    run.y = m_docHeight - py;
    run.height = height;
    run.angle = angle;
    run.content = visible;
    run.style = std::move(style);
    run.family = family;
    // This reading keeps no fill of its own for a text: its colour is the fill's, drawn unless
    // the fill option is off.
    run.filled = m_fillOption != 0;
    WriteText(run);
    return 0;
}
