// Style sheets and style attributes as a browser reads them: declarations, the selectors drawings
// use (Illustrator's ".st0" classes, ids, types, combinators) and the cascade between rules.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CXML;

// One property declaration of a style sheet rule or of a style attribute.
struct CCssDeclaration
{
    std::string property; // lower case, trimmed
    std::string value;    // trimmed, without "!important"
    bool important = false;
};

// Parses "a: b; c: d !important" (a style attribute's text, or a rule's body) into declarations, in
// order; malformed declarations are skipped, never reported.
void ParseCssDeclarations(std::string_view text, std::vector<CCssDeclaration>& out);

// The rules of the drawing's <style> elements, in source order.
class CStyleSheet
{
  public:
    CStyleSheet();
    ~CStyleSheet();
    CStyleSheet(CStyleSheet&&) noexcept;
    CStyleSheet& operator=(CStyleSheet&&) noexcept;
    // Appends the rules of one <style> element's text (CDATA markers, comments, @-rules skipped).
    void AddText(std::string_view css);
    bool Empty() const;
    // Appends to out the declarations of every rule whose selector matches element, in cascade order
    // (later entries win): normal declarations by specificity then source order, then the important
    // ones by specificity then source order.
    void Match(const CXML& element, std::vector<CCssDeclaration>& out) const;

  private:
    struct CRules;
    std::unique_ptr<CRules> m_rules;
};

// A selector longer than this many bytes, or of more compound parts than kMaxCssCompounds, matches
// nothing: matching walks the element's ancestors once per compound part.
constexpr std::size_t kMaxCssSelectorLength = 1024;
constexpr std::size_t kMaxCssCompounds = 32;
