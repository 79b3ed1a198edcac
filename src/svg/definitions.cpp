#include "dxf/conventions.h"
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

bool IsNone(std::string_view text)
{
    return orbelin::EqualsNoCase(text, "none");
}

const std::string& KeyOf(const CDashData& dash)
{
    return dash.pattern;
}

const std::string& KeyOf(const CFontData& font)
{
    return font.family;
}

template <class Record> void Rebuild(CRecordIndex& index, const std::vector<Record>& records)
{
    index.positions.clear();
    index.positions.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        index.positions.emplace(KeyOf(records[i]), i); // the first record of a text wins
    index.builtFor = records.size();
}

// The first record whose text equals key exactly, or null. A file can name tens of thousands of
// patterns and families; a scan per look-up would make the pre-pass and the walk quadratic in them.
template <class Record>
const Record* FindRecord(CRecordIndex& index, const std::vector<Record>& records, std::string_view key)
{
    if (index.builtFor != records.size())
        Rebuild(index, records);
    auto found = index.positions.find(std::string(key));
    if (found != index.positions.end() &&
        (found->second >= records.size() || KeyOf(records[found->second]) != key))
    {
        // Records were replaced behind the index's back: build it afresh once.
        Rebuild(index, records);
        found = index.positions.find(std::string(key));
    }
    return found == index.positions.end() ? nullptr : &records[found->second];
}

// Keeps an index that was in step with the array in step after one record was appended.
template <class Record> void NoteAppended(CRecordIndex& index, const std::vector<Record>& records)
{
    if (!records.empty() && index.builtFor == records.size() - 1)
    {
        index.positions.emplace(KeyOf(records.back()), records.size() - 1);
        index.builtFor = records.size();
    }
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

int CConverter::AddDashPattern(const std::string& pattern)
{
    const std::string_view trimmed = orbelin::Trim(pattern);
    if (trimmed.empty() || IsNone(trimmed))
        return 0;
    // Exact text, not numeric equality: "5,3" and "5, 3" become two line types.
    if (FindRecord(m_dashIndex, m_dashes, trimmed))
        return 0;
    CDashData dash;
    dash.name = "Dash" + std::to_string(m_dashes.size() + 1);
    dash.pattern = std::string(trimmed);
    m_dashes.push_back(std::move(dash));
    NoteAppended(m_dashIndex, m_dashes);
    return 1;
}

int CConverter::AddFont(const std::string& family)
{
    // A blank family would only give a style named "Style-" that no text can ask for.
    const std::string_view trimmed = orbelin::Trim(family);
    if (trimmed.empty() || IsNone(trimmed))
        return 0;
    if (FindRecord(m_fontIndex, m_fonts, trimmed))
        return 0;
    CFontData font;
    font.family = std::string(trimmed);
    font.styleName = SafeTableName("Style-" + font.family);
    m_fonts.push_back(std::move(font));
    NoteAppended(m_fontIndex, m_fonts);
    return 1;
}

std::string CConverter::DashNameFor(const std::string& pattern) const
{
    const std::string_view trimmed = orbelin::Trim(pattern);
    if (IsNone(trimmed))
        return std::string();
    const CDashData* dash = FindRecord(m_dashIndex, m_dashes, trimmed);
    return dash ? dash->name : std::string();
}

std::string CConverter::FontStyleFor(const std::string& family) const
{
    const std::string_view trimmed = orbelin::Trim(family);
    if (IsNone(trimmed))
        return std::string();
    const CFontData* font = FindRecord(m_fontIndex, m_fonts, trimmed);
    return font ? font->styleName : std::string();
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
