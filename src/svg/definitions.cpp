#include "platform/text.h"
#include "svg/converter.h"
#include "xml/xml.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace
{

constexpr std::string_view kDashKey = "stroke-dasharray:";
constexpr std::string_view kFontKey = "font-family:";
// The longest pattern and family texts taken from the raw file; longer ones are cut there.
constexpr std::size_t kMaxDashText = 361;
constexpr std::size_t kMaxFontText = 129;

bool IsDashCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == ' ' || c == ',' || c == '-' || c == '.';
}

// The family ends at the next list separator, declaration end, tag end or quoted value; the zero
// byte ends it too, as it ends the file text for every other reader.
bool EndsFontFamily(char c)
{
    return c == ',' || c == ';' || c == '>' || c == '"' || c == '\0';
}

} // namespace

int CConverter::PrescanStyles(std::string_view fileText)
{
    // A plain text scan rather than a look at the tree: declarations count wherever they stand, in
    // style attributes, style sheets and even comments, so every line type exists before it is used.
    for (std::size_t at = fileText.find(kDashKey); at != std::string_view::npos;
         at = fileText.find(kDashKey, at + kDashKey.size()))
    {
        const std::size_t start = at + kDashKey.size();
        std::size_t end = start;
        while (end < fileText.size() && end - start < kMaxDashText && IsDashCharacter(fileText[end]))
            ++end;
        const std::string_view pattern = orbelin::Trim(fileText.substr(start, end - start));
        if (!pattern.empty())
            AddDashPattern(std::string(pattern));
    }

    for (std::size_t at = fileText.find(kFontKey); at != std::string_view::npos;
         at = fileText.find(kFontKey, at + kFontKey.size()))
    {
        const std::size_t start = at + kFontKey.size();
        std::size_t end = start;
        while (end < fileText.size() && end - start < kMaxFontText && !EndsFontFamily(fileText[end]))
            ++end;
        AddFont(std::string(orbelin::TrimRight(fileText.substr(start, end - start))));
    }
    return 0;
}

void CConverter::CollectLayerNames(const CXML& node)
{
    // Document order, parents before children; an explicit stack keeps hand-built deep trees safe.
    std::vector<const CXML*> pending{&node};
    while (!pending.empty())
    {
        const CXML* current = pending.back();
        pending.pop_back();
        if (current->m_strTag == "g")
        {
            for (const CAttribute& attribute : current->m_attributes)
            {
                if (attribute.GetName() != "id")
                    continue;
                const std::string_view id = orbelin::Trim(attribute.GetValue());
                if (!id.empty())
                    m_layerNames.emplace_back(id);
            }
        }
        for (auto child = current->m_children.rbegin(); child != current->m_children.rend(); ++child)
            if (*child)
                pending.push_back(child->get());
    }
}

void CConverter::CollectDefinition(const CXML& node)
{
    const bool isMarker = orbelin::EqualsNoCase(node.m_strTag, "marker");
    const bool isSymbol = orbelin::EqualsNoCase(node.m_strTag, "symbol");
    if (!isMarker && !isSymbol)
        return;

    std::string id;
    std::string refX;
    std::string refY;
    for (const CAttribute& attribute : node.m_attributes)
    {
        if (attribute.GetName() == "id")
            id = attribute.GetValue();
        else if (isMarker && attribute.GetName() == "refX")
            refX = attribute.GetValue();
        else if (isMarker && attribute.GetName() == "refY")
            refY = attribute.GetValue();
    }

    // Only direct path children count; a later path overwrites each attribute it has on its own.
    std::string pathData;
    std::string pathTransform;
    for (const auto& child : node.m_children)
    {
        if (!child || child->m_strTag != "path")
            continue;
        for (const CAttribute& attribute : child->m_attributes)
        {
            if (attribute.GetName() == "d")
                pathData = attribute.GetValue();
            else if (attribute.GetName() == "transform")
                pathTransform = attribute.GetValue();
        }
    }

    if (pathData.empty() || id.empty())
        return;
    if (isMarker)
        AddMarker(pathData, pathTransform, id, refX, refY);
    else
        AddSymbol(pathData, id);
}

void CConverter::AddMarker(const std::string& pathData, const std::string& pathTransform,
                           const std::string& id, const std::string& refX, const std::string& refY)
{
    CMarkdata marker;
    marker.id = id;
    marker.refX = refX;
    marker.refY = refY;
    marker.pathData = pathData;
    marker.pathTransform = pathTransform;
    m_markers.push_back(std::move(marker));
}

void CConverter::AddSymbol(const std::string& pathData, const std::string& id)
{
    CSymble symbol;
    symbol.id = id;
    symbol.pathData = pathData;
    m_symbols.push_back(std::move(symbol));
}
