// The records behind the line types and text styles: dash patterns and font families, each kept
// once by its exact text, in the order met.
#include "dxf/conventions.h"
#include "dxf/document.h"
#include "platform/text.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace
{

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

int CDxfDocument::AddDashPattern(const std::string& pattern)
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

int CDxfDocument::AddFont(const std::string& family)
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

std::string CDxfDocument::DashNameFor(const std::string& pattern) const
{
    const std::string_view trimmed = orbelin::Trim(pattern);
    if (IsNone(trimmed))
        return std::string();
    const CDashData* dash = FindRecord(m_dashIndex, m_dashes, trimmed);
    return dash ? dash->name : std::string();
}

std::string CDxfDocument::FontStyleFor(const std::string& family) const
{
    const std::string_view trimmed = orbelin::Trim(family);
    if (IsNone(trimmed))
        return std::string();
    const CFontData* font = FindRecord(m_fontIndex, m_fonts, trimmed);
    return font ? font->styleName : std::string();
}
