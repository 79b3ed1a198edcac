#include "svg/exact_css.h"

#include "platform/text.h"

#include <algorithm>

struct CStyleSheet::CRules
{
};

void ParseCssDeclarations(std::string_view text, std::vector<CCssDeclaration>& out)
{
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view piece = text.substr(start, end - start);
        const std::size_t colon = piece.find(':');
        if (colon != std::string_view::npos)
        {
            CCssDeclaration declaration;
            const std::string_view property = orbelin::Trim(piece.substr(0, colon));
            std::string_view value = orbelin::Trim(piece.substr(colon + 1));
            const std::size_t bang = value.rfind('!');
            if (bang != std::string_view::npos &&
                orbelin::EqualsNoCase(orbelin::Trim(value.substr(bang + 1)), "important"))
            {
                declaration.important = true;
                value = orbelin::Trim(value.substr(0, bang));
            }
            declaration.property.assign(property);
            std::transform(declaration.property.begin(), declaration.property.end(),
                           declaration.property.begin(),
                           [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
            declaration.value.assign(value);
            if (!declaration.property.empty())
                out.push_back(std::move(declaration));
        }
        start = end + 1;
    }
}

CStyleSheet::CStyleSheet() = default;
CStyleSheet::~CStyleSheet() = default;
CStyleSheet::CStyleSheet(CStyleSheet&&) noexcept = default;
CStyleSheet& CStyleSheet::operator=(CStyleSheet&&) noexcept = default;

void CStyleSheet::AddText(std::string_view) {}

bool CStyleSheet::Empty() const
{
    return true;
}

void CStyleSheet::Match(const CXML&, std::vector<CCssDeclaration>&) const {}
