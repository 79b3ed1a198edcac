#include "geometry/transform.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

// How much a matrix scales a stroke width.
double StrokeScaleFactor(const CMatrix& m)
{
    return std::sqrt(std::fabs(m.c * m.b) + std::fabs(m.d * m.a));
}

constexpr std::string_view kMatrixWord = "matrix";
constexpr std::string_view kTranslateWord = "translate";
constexpr std::string_view kScaleWord = "scale";

std::string WithoutParentheses(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text)
        if (c != '(' && c != ')')
            result.push_back(c);
    return result;
}

// The pieces before each blank (or, with no blank, each comma) go into a..f in turn. Blanks win even
// when commas are present: "1, 0, 0" splits into "1," "0," "0", and the reader stops at the comma.
void ParseMatrixNumbers(std::string_view rest, CMatrix& m)
{
    const std::string text = WithoutParentheses(rest);
    const char separator = text.find(' ') != std::string::npos ? ' ' : ',';
    if (text.find(separator) == std::string::npos)
        return;
    double* const slots[6] = {&m.a, &m.b, &m.c, &m.d, &m.e, &m.f};
    std::string_view remaining = text;
    // The text is read as if one separator were appended, so the piece after the last one counts.
    for (double* slot : slots)
    {
        const std::size_t at = remaining.find(separator);
        *slot = orbelin::ReadDouble(remaining.substr(0, at));
        if (at == std::string_view::npos)
            break;
        remaining.remove_prefix(at + 1);
    }
}

// The separator of a number pair: the first comma, or else the first blank.
std::size_t FindPairSeparator(std::string_view text)
{
    const std::size_t comma = text.find(',');
    return comma != std::string_view::npos ? comma : text.find(' ');
}

} // namespace

void ParseTransformText(std::string_view text, CMatrix& m, bool groupForm)
{
    const std::size_t matrixAt = text.find(kMatrixWord);
    if (matrixAt != std::string_view::npos)
    {
        ParseMatrixNumbers(text.substr(matrixAt + kMatrixWord.size()), m);
        return;
    }

    // The translation and the scale are looked for in one shrinking text: whatever lies before
    // "translate" (a scale written first, say) is cut off before the scale is searched for.
    std::string current(text);
    const std::size_t translateAt = text.find(kTranslateWord);
    if (translateAt != std::string_view::npos)
    {
        std::string_view rest = text.substr(translateAt + kTranslateWord.size());
        if (groupForm && !rest.empty())
            rest.remove_prefix(1);
        current = WithoutParentheses(rest);
        const std::size_t separator = FindPairSeparator(current);
        if (separator != std::string::npos)
        {
            const std::string_view view = current;
            m.e = orbelin::ReadDouble(view.substr(0, separator));
            m.f = orbelin::ReadDouble(view.substr(separator + 1));
            current.erase(0, separator + 1);
        }
    }

    const std::size_t scaleAt = current.find(kScaleWord);
    if (scaleAt != std::string::npos)
    {
        const std::string_view afterWord = std::string_view(current).substr(scaleAt + kScaleWord.size());
        const std::string rest = WithoutParentheses(afterWord);
        const std::size_t separator = FindPairSeparator(rest);
        if (separator != std::string::npos)
        {
            const std::string_view view = rest;
            m.a = orbelin::ReadDouble(view.substr(0, separator));
            m.d = orbelin::ReadDouble(view.substr(separator + 1));
        }
    }
}

int ParseTransform(std::string_view text, CMatrix& m)
{
    m = CMatrix{};
    if (text.empty())
        return 0;
    ParseTransformText(text, m, false);
    return 1;
}

void ApplyMatrix(const CMatrix& m, double& x, double& y)
{
    const double mappedX = m.a * x + m.c * y + m.e;
    const double mappedY = m.b * x + m.d * y + m.f;
    x = mappedX;
    y = mappedY;
}

void CGroupMatrices::PushGroupMatrix()
{
    // Groups nested beyond the stack are only counted, so that pushes and pops stay balanced and the
    // outer groups keep their matrices; the transforms of those deep groups are not applied.
    if (m_matrixOverflow > 0 || m_matrixDepth >= kMatrixStackSize)
    {
        ++m_matrixOverflow;
        return;
    }
    m_matrixStack[static_cast<std::size_t>(m_matrixDepth)] = CMatrix{};
    ++m_matrixDepth;
}

void CGroupMatrices::PopGroupMatrix()
{
    if (m_matrixOverflow > 0)
    {
        --m_matrixOverflow;
        return;
    }
    if (m_matrixDepth > 0)
        --m_matrixDepth;
}

void CGroupMatrices::ParseGroupTransform(std::string_view text)
{
    if (text.empty())
        return;
    m_groupTransformSeen = 1;
    if (m_matrixOverflow > 0 || m_matrixDepth <= 0)
        return;
    ParseTransformText(text, m_matrixStack[static_cast<std::size_t>(m_matrixDepth - 1)], true);
}

double CGroupMatrices::ScaleStrokeWidth(double width, const CMatrix& m) const
{
    double scaled = width * StrokeScaleFactor(m);
    const int depth = std::clamp(m_matrixDepth, 0, kMatrixStackSize);
    for (int i = depth - 1; i >= 0; --i)
    {
        scaled *= StrokeScaleFactor(m_matrixStack[static_cast<std::size_t>(i)]);
    }
    return scaled;
}
