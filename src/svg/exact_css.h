// CSS declarations and style sheets, for the exact reading.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CXML;

// One declaration; property in lower case, property and value trimmed.
struct CCssDeclaration
{
    std::string property;
    std::string value;
    bool important = false;
};

// Appends the declarations of a style attribute's text, in order.
void ParseCssDeclarations(std::string_view text, std::vector<CCssDeclaration>& out);

// The rules of a drawing's style elements.
class CStyleSheet
{
  public:
    CStyleSheet();
    ~CStyleSheet();
    CStyleSheet(CStyleSheet&&) noexcept;
    CStyleSheet& operator=(CStyleSheet&&) noexcept;

    // Adds one style element's text.
    void AddText(std::string_view css);
    bool Empty() const;
    // Appends the declarations of every matching rule in cascade order (later entries win).
    void Match(const CXML& element, std::vector<CCssDeclaration>& out) const;

  private:
    struct CRules;
    std::unique_ptr<CRules> m_rules;
};
