#include "svg/exact_css.h"

#include "platform/text.h"
#include "xml/xml.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace
{

constexpr std::size_t kNone = std::string_view::npos;

// What a byte can be in the text of a style sheet. Bytes of 128 and above belong to names, so a
// class named in UTF-8 reads as one name.
enum CharClass : std::uint8_t
{
    kBlank = 1,     // separates tokens: a descendant combinator between compound parts
    kNameStart = 2, // may begin a name: letters, '_', non-ASCII
    kNameChar = 4,  // may continue a name: the above, digits and '-'
    kHexDigit = 8,
};

constexpr std::array<std::uint8_t, 256> MakeCharClasses()
{
    std::array<std::uint8_t, 256> table{};
    for (const char c : {' ', '\t', '\n', '\r', '\f'})
        table[static_cast<unsigned char>(c)] |= kBlank;
    for (int c = 0; c < 256; ++c)
    {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || c == '_' || c >= 128)
            table[static_cast<std::size_t>(c)] |= kNameStart | kNameChar;
        if (digit || c == '-')
            table[static_cast<std::size_t>(c)] |= kNameChar;
        if (digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            table[static_cast<std::size_t>(c)] |= kHexDigit;
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kCharClasses = MakeCharClasses();

bool Is(char c, CharClass kind)
{
    return (kCharClasses[static_cast<unsigned char>(c)] & kind) != 0;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && Is(text.front(), kBlank))
        text.remove_prefix(1);
    while (!text.empty() && Is(text.back(), kBlank))
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view word)
{
    return text.size() - at >= word.size() && text.compare(at, word.size(), word) == 0;
}

// Just past the comment opened at at ("/*"); an unclosed comment runs to the end.
std::size_t SkipComment(std::string_view text, std::size_t at)
{
    const std::size_t close = text.find("*/", at + 2);
    return close == kNone ? text.size() : close + 2;
}

// Just past the string whose quote is at at. A line break ends it early and makes it bad (*bad set),
// as it does in a browser; the end of the text closes it.
std::size_t SkipString(std::string_view text, std::size_t at, bool* bad)
{
    const char quote = text[at];
    std::size_t i = at + 1;
    while (i < text.size())
    {
        const char c = text[i];
        if (c == quote)
            return i + 1;
        if (c == '\\')
        {
            i += 2;
            continue;
        }
        if (c == '\n' || c == '\r' || c == '\f')
        {
            if (bad)
                *bad = true;
            return i;
        }
        ++i;
    }
    return text.size();
}

// The position of the first of stops found at the top level from at on, outside comments, strings
// and brackets; nested '{', '(' and '[' are counted, not recursed into. text.size() when none.
std::size_t FindTopLevel(std::string_view text, std::size_t at, std::string_view stops)
{
    std::size_t depth = 0;
    std::size_t i = at;
    while (i < text.size())
    {
        const char c = text[i];
        if (c == '/' && StartsWith(text, i, "/*"))
        {
            i = SkipComment(text, i);
            continue;
        }
        if (c == '"' || c == '\'')
        {
            i = SkipString(text, i, nullptr);
            continue;
        }
        if (c == '\\')
        {
            i += 2;
            continue;
        }
        if (depth == 0 && stops.find(c) != kNone)
            return i;
        if (c == '{' || c == '(' || c == '[')
            ++depth;
        else if ((c == '}' || c == ')' || c == ']') && depth > 0)
            --depth;
        ++i;
    }
    return text.size();
}

// ---------------------------------------------------------------------------------------------
// Declarations

bool IsPropertyName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return Is(c, kNameChar); });
}

// One declaration, its comments already replaced by blanks: "name : value [! important]".
// colon and bang are the positions of the first top-level ':' and the last top-level '!'.
void AddDeclaration(std::string_view text, std::size_t colon, std::size_t bang,
                    std::vector<CCssDeclaration>& out)
{
    if (colon == kNone)
        return;
    const std::string_view name = TrimBlanks(text.substr(0, colon));
    if (!IsPropertyName(name))
        return;
    std::string_view value = text.substr(colon + 1);
    bool important = false;
    if (bang != kNone && bang > colon)
    {
        // Only "!important" may follow the value; any other '!' at the end makes it malformed.
        if (!orbelin::EqualsNoCase(TrimBlanks(text.substr(bang + 1)), "important"))
            return;
        important = true;
        value = text.substr(colon + 1, bang - colon - 1);
    }
    value = TrimBlanks(value);
    if (value.empty())
        return;
    CCssDeclaration& declaration = out.emplace_back();
    declaration.property.assign(name);
    for (char& c : declaration.property)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    declaration.value.assign(value);
    declaration.important = important;
}

} // namespace

void ParseCssDeclarations(std::string_view text, std::vector<CCssDeclaration>& out)
{
    // One declaration at a time into one buffer: comments become a blank, so "1/**/2" stays two
    // numbers, and the rest is copied once.
    std::string buffer;
    std::size_t i = 0;
    while (i < text.size())
    {
        buffer.clear();
        std::size_t depth = 0;
        std::size_t colon = kNone;
        std::size_t bang = kNone;
        bool bad = false;
        for (; i < text.size(); ++i)
        {
            const char c = text[i];
            if (c == '/' && StartsWith(text, i, "/*"))
            {
                i = SkipComment(text, i) - 1;
                if (!buffer.empty() && !Is(buffer.back(), kBlank))
                    buffer += ' ';
                continue;
            }
            if (c == '"' || c == '\'')
            {
                const std::size_t end = SkipString(text, i, &bad);
                buffer.append(text.substr(i, end - i));
                i = end - 1;
                continue;
            }
            if (c == '\\')
            {
                buffer.append(text.substr(i, 2));
                ++i;
                continue;
            }
            if (depth == 0 && c == ';')
                break;
            if (depth == 0 && c == ':' && colon == kNone)
                colon = buffer.size();
            if (depth == 0 && c == '!')
                bang = buffer.size();
            if (c == '{' || c == '(' || c == '[')
                ++depth;
            else if (c == '}' || c == ')' || c == ']')
            {
                if (depth == 0)
                    bad = true;
                else
                    --depth;
            }
            buffer += c;
        }
        ++i; // past the ';'
        if (!bad)
            AddDeclaration(buffer, colon, bang, out);
    }
}

// ---------------------------------------------------------------------------------------------
// Selectors

namespace
{

// The simple selectors a compound part is made of. Type and universal come first in a compound;
// a universal selector adds no test and no specificity, so it is not stored.
enum class Simple : std::uint8_t
{
    Type,
    Class,
    Id,
    AttributePresent,
    AttributeEquals,
};

enum class Combinator : std::uint8_t
{
    None, // the leftmost compound part
    Descendant,
    Child,
};

struct CSimple
{
    Simple kind;
    std::string name;
    std::string value; // AttributeEquals only
};

struct CCompound
{
    std::vector<CSimple> simples;
    Combinator towardLeft = Combinator::None; // how this part relates to the part on its left
};

struct CSelector
{
    std::vector<CCompound> compounds; // rightmost (the matched element) first
    std::uint32_t specificity = 0;
    std::uint32_t rule = 0;
};

std::string_view AttributeValue(const CXML& element, std::string_view name, bool& present)
{
    const CAttribute* attribute = element.FindAttribute(name);
    present = attribute != nullptr;
    return attribute ? attribute->GetValue() : std::string_view();
}

// Calls visit on each blank-separated word of a class attribute until it returns true.
template <class Visit> bool AnyClass(std::string_view list, Visit visit)
{
    std::size_t i = 0;
    while (i < list.size())
    {
        while (i < list.size() && Is(list[i], kBlank))
            ++i;
        const std::size_t start = i;
        while (i < list.size() && !Is(list[i], kBlank))
            ++i;
        if (i > start && visit(list.substr(start, i - start)))
            return true;
    }
    return false;
}

bool TestType(const CXML& element, const CSimple& simple)
{
    return element.m_strTag == simple.name;
}

bool TestClass(const CXML& element, const CSimple& simple)
{
    bool present = false;
    const std::string_view list = AttributeValue(element, "class", present);
    return AnyClass(list, [&](std::string_view word) { return word == simple.name; });
}

bool TestId(const CXML& element, const CSimple& simple)
{
    bool present = false;
    return AttributeValue(element, "id", present) == simple.name && present;
}

bool TestAttributePresent(const CXML& element, const CSimple& simple)
{
    return element.FindAttribute(simple.name) != nullptr;
}

bool TestAttributeEquals(const CXML& element, const CSimple& simple)
{
    bool present = false;
    return AttributeValue(element, simple.name, present) == simple.value && present;
}

// By Simple: the test, and the specificity it adds (ids, then classes and attributes, then types,
// ten bits each).
struct CSimpleRule
{
    bool (*test)(const CXML&, const CSimple&);
    std::uint32_t specificity;
};
// A selector short enough to read holds fewer than 1024 simple selectors of each kind (each takes
// two bytes at least), so the fields never carry into each other.
static_assert(kMaxCssSelectorLength / 2 < 1024);
constexpr CSimpleRule kSimpleRules[] = {
    {TestType, 1u},
    {TestClass, 1u << 10},
    {TestId, 1u << 20},
    {TestAttributePresent, 1u << 10},
    {TestAttributeEquals, 1u << 10},
};

const CSimpleRule& RuleOf(Simple kind)
{
    return kSimpleRules[static_cast<std::size_t>(kind)];
}

bool MatchCompound(const CXML& element, const CCompound& compound)
{
    return std::all_of(compound.simples.begin(), compound.simples.end(),
                       [&](const CSimple& simple) { return RuleOf(simple.kind).test(element, simple); });
}

// Matches the run of parts from first on that child combinators join, the first part on node. The
// element the run's last part matched (the run's top), or null; end receives the index past the run.
const CXML* MatchRun(const CXML* node, const std::vector<CCompound>& compounds, std::size_t first,
                     std::size_t& end)
{
    for (std::size_t k = first; node; ++k)
    {
        if (!MatchCompound(*node, compounds[k]))
            return nullptr;
        if (k + 1 == compounds.size() || compounds[k].towardLeft != Combinator::Child)
        {
            end = k + 1;
            return node;
        }
        node = node->m_pParent;
    }
    return nullptr;
}

// Right to left. The first run must match on the element itself; each run further left matches on
// the nearest ancestor above the previous run's top where it can. Taking the nearest never loses a
// match: the runs further left then have every ancestor a higher choice would leave them, and more.
// So there is no backtracking, and the cost is the element's depth per compound part.
bool MatchSelector(const CXML& element, const CSelector& selector)
{
    const std::vector<CCompound>& compounds = selector.compounds;
    std::size_t end = 0;
    const CXML* top = MatchRun(&element, compounds, 0, end);
    while (top && end < compounds.size())
    {
        const std::size_t first = end;
        const CXML* candidate = top->m_pParent;
        top = nullptr;
        for (; candidate && !top; candidate = candidate->m_pParent)
            top = MatchRun(candidate, compounds, first, end);
    }
    return top != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Selector reading

// Decodes the escape whose backslash is at at into out, in UTF-8 as the drawing's own names are
// written ("\31 " is '1', "\." is '.'); the position past it, or kNone when a line break or the
// end follows the backslash.
std::size_t ReadEscape(std::string_view text, std::size_t at, std::string& out)
{
    ++at;
    if (at >= text.size() || text[at] == '\n' || text[at] == '\r' || text[at] == '\f')
        return kNone;
    if (!Is(text[at], kHexDigit))
    {
        out += text[at];
        return at + 1;
    }
    std::uint32_t code = 0;
    for (int digits = 0; digits < 6 && at < text.size() && Is(text[at], kHexDigit); ++digits, ++at)
    {
        const char h = text[at];
        code = code * 16 + static_cast<std::uint32_t>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
    }
    if (at < text.size() && Is(text[at], kBlank))
        ++at;
    orbelin::AppendUtf8(out, code);
    return at;
}

// Reads a name (an identifier, its escapes decoded) at i; false, i unchanged, when there is none.
bool ReadName(std::string_view text, std::size_t& i, std::string& name)
{
    name.clear();
    std::size_t at = i;
    std::size_t dashes = 0;
    while (dashes < 2 && at < text.size() && text[at] == '-')
    {
        name += '-';
        ++at;
        ++dashes;
    }
    // "--" may be followed by anything a name holds; one dash or none only by what starts one.
    bool started = dashes == 2;
    while (at < text.size())
    {
        const char c = text[at];
        if (c == '\\')
        {
            at = ReadEscape(text, at, name);
            if (at == kNone)
                return false;
            started = true;
            continue;
        }
        if (!Is(c, started ? kNameChar : kNameStart))
            break;
        name += c;
        ++at;
        started = true;
    }
    if (!started)
        return false;
    i = at;
    return true;
}

void SkipBlanks(std::string_view text, std::size_t& i)
{
    while (i < text.size() && Is(text[i], kBlank))
        ++i;
}

// "[name]", "[name=value]" or "[name="value"]" at i (just past the '['). Other operators, flags and
// namespaces are not read: false.
bool ReadAttribute(std::string_view text, std::size_t& i, CSimple& simple)
{
    SkipBlanks(text, i);
    if (!ReadName(text, i, simple.name))
        return false;
    SkipBlanks(text, i);
    if (i < text.size() && text[i] == ']')
    {
        simple.kind = Simple::AttributePresent;
        ++i;
        return true;
    }
    if (i >= text.size() || text[i] != '=')
        return false;
    ++i;
    SkipBlanks(text, i);
    if (i < text.size() && (text[i] == '"' || text[i] == '\''))
    {
        bool bad = false;
        const std::size_t end = SkipString(text, i, &bad);
        if (bad || end - i < 2 || text[end - 1] != text[i])
            return false;
        simple.value.clear();
        const std::string_view inside = text.substr(0, end - 1);
        for (std::size_t k = i + 1; k < inside.size();)
        {
            if (text[k] != '\\')
                simple.value += text[k++];
            else if (k + 1 < inside.size() &&
                     (text[k + 1] == '\n' || text[k + 1] == '\r' || text[k + 1] == '\f'))
                k += 2; // an escaped line break joins the lines
            else
            {
                const std::size_t next = ReadEscape(inside, k, simple.value);
                k = next == kNone ? end - 1 : next;
            }
        }
        i = end;
    }
    else if (!ReadName(text, i, simple.value))
        return false;
    SkipBlanks(text, i);
    if (i >= text.size() || text[i] != ']')
        return false;
    ++i;
    simple.kind = Simple::AttributeEquals;
    return true;
}

// One compound part at i: an optional type or '*', then classes, ids and attribute tests.
bool ReadCompound(std::string_view text, std::size_t& i, CCompound& compound, std::uint32_t& specificity)
{
    bool any = false;
    std::string name;
    if (i < text.size() && text[i] == '*')
    {
        ++i;
        any = true;
        if (i < text.size() && text[i] == '|')
            return false; // a namespace prefix
    }
    else if (ReadName(text, i, name))
    {
        if (i < text.size() && text[i] == '|')
            return false;
        compound.simples.push_back({Simple::Type, std::move(name), {}});
        any = true;
    }
    while (i < text.size())
    {
        CSimple simple{Simple::Class, {}, {}};
        const char c = text[i];
        if (c == '.' || c == '#')
        {
            ++i;
            if (!ReadName(text, i, simple.name))
                return false;
            simple.kind = c == '.' ? Simple::Class : Simple::Id;
        }
        else if (c == '[')
        {
            ++i;
            if (!ReadAttribute(text, i, simple))
                return false;
        }
        else
            break; // a combinator, the end, or what no compound holds (':' pseudo-classes among them)
        compound.simples.push_back(std::move(simple));
        any = true;
    }
    for (const CSimple& simple : compound.simples)
        specificity += RuleOf(simple.kind).specificity;
    return any;
}

// One member of a selector list, trimmed; nullopt when it uses what this reader does not support.
std::optional<CSelector> ReadSelector(std::string_view text)
{
    if (text.size() > kMaxCssSelectorLength)
        return std::nullopt;
    CSelector selector;
    std::vector<CCompound> leftToRight;
    std::size_t i = 0;
    Combinator combinator = Combinator::None;
    for (;;)
    {
        if (leftToRight.size() == kMaxCssCompounds)
            return std::nullopt;
        CCompound compound;
        compound.towardLeft = combinator;
        if (!ReadCompound(text, i, compound, selector.specificity))
            return std::nullopt;
        leftToRight.push_back(std::move(compound));
        const std::size_t before = i;
        SkipBlanks(text, i);
        if (i == text.size())
            break;
        if (text[i] == '>')
        {
            combinator = Combinator::Child;
            ++i;
            SkipBlanks(text, i);
        }
        else if (i > before && text[i] != '+' && text[i] != '~')
            combinator = Combinator::Descendant;
        else
            return std::nullopt;
    }
    selector.compounds.assign(std::make_move_iterator(leftToRight.rbegin()),
                              std::make_move_iterator(leftToRight.rend()));
    return selector;
}

// Selectors by the key of their rightmost part, so that an element is tested only against the
// selectors that can match it: its id, each of its classes, its type, or else none.
enum class Key : std::uint8_t
{
    Id,
    Class,
    Type,
};

struct CKeyed
{
    Key key;
    std::string name;
    std::uint32_t selector;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The style sheet

struct CStyleSheet::CRules
{
    struct CRule
    {
        std::size_t first = 0; // into declarations
        std::size_t count = 0;
    };
    std::vector<CCssDeclaration> declarations;
    std::vector<CRule> rules;
    std::vector<CSelector> selectors;
    std::vector<CKeyed> keyed;          // sorted by key, name, selector
    std::vector<std::uint32_t> unkeyed; // selectors with no id, class or type on their right
};

namespace
{

bool KeyedLess(const CKeyed& a, const CKeyed& b)
{
    return a.key != b.key ? a.key < b.key : a.name < b.name;
}

// The text with the markers of XML character data sections as blanks: they are never CSS, and the
// element's text may still hold them.
std::string WithoutSectionMarkers(std::string_view css)
{
    std::string text;
    text.reserve(css.size());
    for (std::size_t i = 0; i < css.size();)
    {
        if (css[i] == '<' && StartsWith(css, i, "<![CDATA["))
        {
            text += ' ';
            i += 9;
        }
        else if (css[i] == ']' && StartsWith(css, i, "]]>"))
        {
            text += ' ';
            i += 3;
        }
        else
            text += css[i++];
    }
    return text;
}

// The selector list of a rule, its comments as blanks. Empty when the list is malformed (an empty
// member drops the whole rule, as in a browser); a member that uses what is not supported is left
// out alone.
std::vector<CSelector> ReadSelectorList(std::string_view prelude, std::uint32_t rule)
{
    std::string list;
    list.reserve(prelude.size());
    for (std::size_t i = 0; i < prelude.size();)
    {
        if (prelude[i] == '/' && StartsWith(prelude, i, "/*"))
        {
            i = SkipComment(prelude, i);
            list += ' ';
        }
        else
            list += prelude[i++];
    }
    std::vector<CSelector> selectors;
    for (std::size_t at = 0; at <= list.size();)
    {
        const std::size_t comma = FindTopLevel(list, at, ",");
        const std::string_view member = TrimBlanks(std::string_view(list).substr(at, comma - at));
        if (member.empty())
            return {};
        if (std::optional<CSelector> selector = ReadSelector(member))
        {
            selector->rule = rule;
            selectors.push_back(std::move(*selector));
        }
        at = comma + 1;
    }
    return selectors;
}

} // namespace

CStyleSheet::CStyleSheet() : m_rules(std::make_unique<CRules>()) {}
CStyleSheet::~CStyleSheet() = default;
CStyleSheet::CStyleSheet(CStyleSheet&&) noexcept = default;
CStyleSheet& CStyleSheet::operator=(CStyleSheet&&) noexcept = default;

bool CStyleSheet::Empty() const
{
    return !m_rules || m_rules->rules.empty();
}

void CStyleSheet::AddText(std::string_view css)
{
    if (!m_rules)
        m_rules = std::make_unique<CRules>();
    CRules& sheet = *m_rules;
    const std::size_t keyedBefore = sheet.keyed.size();
    const std::string text = WithoutSectionMarkers(css);
    std::size_t i = 0;
    while (i < text.size())
    {
        if (Is(text[i], kBlank))
            ++i;
        else if (StartsWith(text, i, "/*"))
            i = SkipComment(text, i);
        else if (StartsWith(text, i, "<!--"))
            i += 4;
        else if (StartsWith(text, i, "-->"))
            i += 3;
        else if (text[i] == '@')
        {
            // @media, @import, @font-face...: to their ';' or past their block.
            const std::size_t stop = FindTopLevel(text, i, ";{");
            i = stop < text.size() && text[stop] == '{' ? FindTopLevel(text, stop + 1, "}") + 1 : stop + 1;
        }
        else
        {
            const std::size_t open = FindTopLevel(text, i, "{");
            if (open == text.size())
                break; // a selector without a block is nothing
            // A block the text does not close ends with the text, as in a browser.
            const std::size_t close = FindTopLevel(text, open + 1, "}");
            const auto rule = static_cast<std::uint32_t>(sheet.rules.size());
            std::vector<CSelector> selectors =
                ReadSelectorList(std::string_view(text).substr(i, open - i), rule);
            i = close + 1;
            if (selectors.empty())
                continue;
            const std::size_t first = sheet.declarations.size();
            ParseCssDeclarations(std::string_view(text).substr(open + 1, close - open - 1),
                                 sheet.declarations);
            if (sheet.declarations.size() == first)
                continue;
            sheet.rules.push_back({first, sheet.declarations.size() - first});
            for (CSelector& selector : selectors)
            {
                const auto index = static_cast<std::uint32_t>(sheet.selectors.size());
                const std::vector<CSimple>& right = selector.compounds.front().simples;
                const CSimple* keyOf = nullptr;
                Key key = Key::Type;
                for (const auto& [kind, asKey] :
                     {std::pair{Simple::Id, Key::Id}, std::pair{Simple::Class, Key::Class},
                      std::pair{Simple::Type, Key::Type}})
                {
                    const auto found =
                        std::find_if(right.begin(), right.end(),
                                     [kind = kind](const CSimple& s) { return s.kind == kind; });
                    if (found != right.end())
                    {
                        keyOf = &*found;
                        key = asKey;
                        break;
                    }
                }
                if (keyOf)
                    sheet.keyed.push_back({key, keyOf->name, index});
                else
                    sheet.unkeyed.push_back(index);
                sheet.selectors.push_back(std::move(selector));
            }
        }
    }
    const auto middle = sheet.keyed.begin() + static_cast<std::ptrdiff_t>(keyedBefore);
    std::sort(middle, sheet.keyed.end(), KeyedLess);
    std::inplace_merge(sheet.keyed.begin(), middle, sheet.keyed.end(), KeyedLess);
}

void CStyleSheet::Match(const CXML& element, std::vector<CCssDeclaration>& out) const
{
    if (Empty())
        return;
    const CRules& sheet = *m_rules;
    // (rule, specificity) of every matching selector.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hits;
    const auto consider = [&](std::uint32_t index)
    {
        const CSelector& selector = sheet.selectors[index];
        if (MatchSelector(element, selector))
            hits.emplace_back(selector.rule, selector.specificity);
    };
    const auto lookUp = [&](Key key, std::string_view name)
    {
        auto at = std::lower_bound(sheet.keyed.begin(), sheet.keyed.end(), std::pair{key, name},
                                   [](const CKeyed& a, const std::pair<Key, std::string_view>& b)
                                   { return a.key != b.first ? a.key < b.first : a.name < b.second; });
        for (; at != sheet.keyed.end() && at->key == key && at->name == name; ++at)
            consider(at->selector);
    };

    bool present = false;
    const std::string_view id = AttributeValue(element, "id", present);
    if (present)
        lookUp(Key::Id, id);
    AnyClass(AttributeValue(element, "class", present),
             [&](std::string_view word)
             {
                 lookUp(Key::Class, word);
                 return false;
             });
    lookUp(Key::Type, element.m_strTag);
    for (const std::uint32_t index : sheet.unkeyed)
        consider(index);
    if (hits.empty())
        return;

    // A rule counts once, with the most specific of its selectors that matched (a class named twice
    // in the element's list finds its selectors twice, too).
    std::sort(hits.begin(), hits.end(),
              [](const auto& a, const auto& b)
              { return a.first != b.first ? a.first < b.first : a.second > b.second; });
    hits.erase(std::unique(hits.begin(), hits.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               hits.end());
    std::sort(hits.begin(), hits.end(),
              [](const auto& a, const auto& b)
              { return a.second != b.second ? a.second < b.second : a.first < b.first; });
    for (const bool important : {false, true})
        for (const auto& hit : hits)
        {
            const CRules::CRule& rule = sheet.rules[hit.first];
            for (std::size_t k = rule.first; k < rule.first + rule.count; ++k)
                if (sheet.declarations[k].important == important)
                    out.push_back(sheet.declarations[k]);
        }
}
