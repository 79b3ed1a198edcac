// The tolerant reader: one tag at a time through 8192-byte windows of the in-memory file, character
// data collected into the enclosing element, elements built depth first from their start tags.
// Window boundaries are part of the behaviour (which byte a piece starts with decides its trimming),
// so the window rules are kept even though the whole file is in memory.

#include "platform/text.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace
{

constexpr std::size_t kNone = std::string_view::npos;
// From this length on, a tag being read gets room for the rest of the file at once.
constexpr std::size_t kHugeTag = std::size_t{1} << 20;

// Bytes of 128 and above count as visible, so a text written in UTF-8 (or any 8-bit code page)
// is never taken for blank space and dropped.
bool IsVisible(char c)
{
    return static_cast<unsigned char>(c) > 32;
}

// The first occurrence of c in the window, searching no further than the first NUL byte. When it
// is absent, span receives how much of the window the caller consumes as "the whole window": up to
// and including that NUL, or all of it. Ending the window at the NUL (rather than skipping the rest
// of the window, whose markup the search never saw) keeps a stray NUL from swallowing the tags
// behind it, and moves the reader forward by at least one byte so it cannot stall on it.
std::size_t FindBeforeNul(std::string_view window, char c, std::size_t& span)
{
    span = window.size();
    // Two block searches rather than one loop over the bytes: quoted values (path data) are long.
    const void* const found = std::memchr(window.data(), c, window.size());
    const std::size_t at =
        found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - window.data()) : kNone;
    const void* const nul = std::memchr(window.data(), '\0', at == kNone ? window.size() : at);
    if (nul != nullptr)
    {
        span = static_cast<std::size_t>(static_cast<const char*>(nul) - window.data()) + 1;
        return kNone;
    }
    return at;
}

bool IsDeclaration(std::string_view tag)
{
    return tag.size() > 1 && (tag[1] == '!' || tag[1] == '?');
}

// What a start tag says about the element's frame: its name and whether it closes itself.
struct CTagShape
{
    std::string_view name;
    bool selfClosing = false;
};

// tag begins with '<'.
CTagShape ReadTagShape(std::string_view tag)
{
    CTagShape shape;
    // Only character 32 ends a name: a line break after the name stays in it and is cut below,
    // a tab does not end it at all.
    const std::size_t space = tag.find(' ');
    if (space != kNone)
    {
        shape.name = tag.substr(1, space - 1);
    }
    else if (tag.size() >= 2)
    {
        shape.name = tag.substr(1, tag.size() - 2);
        if (!shape.name.empty() && shape.name.back() == '/')
            shape.name.remove_suffix(1);
    }
    if (!shape.name.empty() && shape.name.back() == '\n')
        shape.name.remove_suffix(1);
    if (!shape.name.empty() && shape.name.back() == '\r')
        shape.name.remove_suffix(1);
    if (!shape.name.empty() && shape.name.front() == '/')
        shape.name.remove_prefix(1);
    shape.selfClosing = tag.size() >= 2 && tag[tag.size() - 2] == '/';
    return shape;
}

using CAttributeViews = std::vector<std::pair<std::string_view, std::string_view>>;

// The attributes of a start tag in the order written, into found. The final character of the tag
// (and the slash of a self-closing one) is not part of the attribute text.
void ReadTagAttributes(std::string_view tag, const CTagShape& shape, CAttributeViews& found)
{
    found.clear();
    const std::size_t begin = 1 + shape.name.size();
    const std::size_t end = tag.size() - (shape.selfClosing ? 2 : 1);
    std::string_view rest = begin < end ? orbelin::Trim(tag.substr(begin, end - begin)) : std::string_view();
    while (rest.size() > 1)
    {
        const std::size_t equals = rest.find('=');
        if (equals == kNone || equals == 0)
            break;
        // The value must be the double-quoted text right after the '=' (blanks allowed between).
        // An unquoted value (width=10) would otherwise take the next attribute's quoted value under
        // its own name and shift every pair after it, so the scan ends there and keeps what it
        // has; a quote inside the name is just as unreadable.
        const std::size_t open = rest.find('"');
        if (open == kNone || open < equals ||
            !orbelin::Trim(rest.substr(equals + 1, open - equals - 1)).empty())
            break;
        const std::size_t close = rest.find('"', open + 1);
        if (close == kNone)
            break;
        found.emplace_back(orbelin::Trim(rest.substr(0, equals)), rest.substr(open + 1, close - open - 1));
        rest = orbelin::TrimLeft(rest.substr(close + 1));
    }
}

// Stable: of a repeated name, the last one written stays last.
void SortByName(CAttributeViews& found)
{
    const auto byName = [](const auto& a, const auto& b) { return a.first < b.first; };
    // The few attributes of an ordinary tag are sorted in place; std::stable_sort would take a
    // buffer from the heap for each element.
    constexpr std::size_t kSortedInPlace = 16;
    if (found.size() > kSortedInPlace)
    {
        std::stable_sort(found.begin(), found.end(), byName);
        return;
    }
    for (std::size_t i = 1; i < found.size(); ++i)
    {
        const auto moving = found[i];
        std::size_t j = i;
        for (; j > 0 && byName(moving, found[j - 1]); --j)
            found[j] = found[j - 1];
        found[j] = moving;
    }
}

// The end tag an element of this name waits for, compared without building it.
bool IsEndTagOf(std::string_view tag, std::string_view name)
{
    return tag.size() == name.size() + 3 && tag[0] == '<' && tag[1] == '/' && tag.back() == '>' &&
           tag.substr(2, name.size()) == name;
}

// ReadMarkup into `tag`, whose memory serves tag after tag, with the choice of dropping the character
// data instead of collecting it: used where the text would be thrown away anyway (before the
// document element, inside skipped elements), so a huge text there costs no memory.
// tagAt receives the position of the tag's '<' in the file (kNone when there is no tag). Each byte
// of the tag is the file's byte at the same distance from there: only quote characters are
// replaced, one for one. So a value between two quotes of the tag is also that text of the file.
void ReadMarkupInto(CInputFile& file, CXML& element, bool keepText, std::string& tag, std::size_t& tagAt)
{
    tag.clear();
    tagAt = kNone;
    // Phase 1: character data up to the '<' of the next tag. A double quote starts a run in which
    // '<' is not markup, so a quoted "a<b" in a text stays text.
    bool quotedRun = false;
    for (;;)
    {
        const std::size_t start = file.GetPosition();
        const std::string_view window = file.Window();
        if (window.empty())
        {
            element.m_bEndOfInput = 1;
            return;
        }
        std::size_t span = window.size();
        if (quotedRun)
        {
            const std::size_t dq = FindBeforeNul(window, '"', span);
            const std::size_t used = dq == kNone ? span : dq + 1;
            if (keepText)
                AppendText(element, window.substr(0, used));
            file.Seek(start + used);
            quotedRun = dq == kNone;
            continue;
        }

        // The first '<' and the first double quote. A quote at index 0 does not open a run, and it
        // is the first quote, so no later one in this window does either. Scanning stops at
        // whichever decides the step, so the scan never outruns what the step consumes.
        std::size_t lt = kNone;
        std::size_t dq = kNone;
        for (std::size_t i = 0; i < window.size(); ++i)
        {
            const char c = window[i];
            if (c == '\0')
            {
                span = i + 1;
                break;
            }
            if (c == '<')
            {
                lt = i;
                break;
            }
            if (c == '"' && dq == kNone)
            {
                dq = i;
                if (i > 0)
                    break;
            }
        }

        if (lt == 0)
        {
            file.Seek(start + 1);
            break;
        }
        if (lt == 1 && !IsVisible(window[0]))
        {
            file.Seek(start + 2);
            break;
        }
        if (dq != kNone && dq > 0)
        {
            // Only reached with no '<' before the quote.
            if (keepText)
                AppendText(element, window.substr(0, dq + 1));
            file.Seek(start + dq + 1);
            quotedRun = true;
            continue;
        }
        if (lt != kNone)
        {
            if (keepText)
                AppendTextBeforeTag(element, window.substr(0, lt));
            file.Seek(start + lt);
            continue;
        }
        std::string_view piece = window.substr(0, span);
        if (piece.front() == '\n')
            piece.remove_prefix(1);
        if (keepText)
            AppendText(element, piece);
        file.Seek(start + span);
    }

    // Phase 2: the tag, from just after its '<'. Quoted values may hold '>' and '<'; a single-quoted
    // value comes back in double quotes so that Parse has one kind of quote to read.
    enum class CQuote
    {
        None,
        Double,
        Single
    };
    tag += '<';
    tagAt = file.GetPosition() - 1;

    // Comments and CDATA sections run to their own terminator. Read by the quote rules, an apostrophe
    // in a comment ("the drawing's frame") would open a value that no later quote closes and swallow
    // the rest of the file; a '>' in them would end them early.
    {
        const std::size_t start = file.GetPosition();
        const std::string_view rest = file.Text().substr(start);
        for (const auto& [opener, closer] : {std::pair<std::string_view, std::string_view>{"!--", "-->"},
                                             std::pair<std::string_view, std::string_view>{"![CDATA[", "]]>"}})
        {
            if (rest.substr(0, opener.size()) != opener)
                continue;
            const std::size_t end = rest.find(closer, opener.size());
            if (end == std::string_view::npos)
            {
                tag.append(rest);
                file.Seek(start + rest.size());
                element.m_bEndOfInput = 1;
                return;
            }
            tag.append(rest.substr(0, end + closer.size()));
            file.Seek(start + end + closer.size());
            return;
        }
    }

    // Room for a whole window at once, rather than growing the tag piece by piece: most tags fit,
    // and the memory is taken again by the next tag.
    tag.reserve(CInputFile::kWindowSize + 2);

    CQuote quote = CQuote::None;
    for (;;)
    {
        const std::size_t start = file.GetPosition();
        const std::string_view window = file.Window();
        if (window.empty())
        {
            element.m_bEndOfInput = 1;
            return;
        }
        // A huge tag (a whole drawing in one path's data) would otherwise grow by doubling, holding
        // the old and the new copy at each step. Being the file's bytes one for one, it cannot
        // outgrow the rest of the file: that much room, once, is enough.
        if (tag.size() >= kHugeTag && tag.capacity() - tag.size() <= window.size())
            tag.reserve(file.GetLength() - tagAt + 1);
        std::size_t span = window.size();
        if (quote == CQuote::Double)
        {
            const std::size_t dq = FindBeforeNul(window, '"', span);
            const std::size_t used = dq == kNone ? span : dq + 1;
            tag.append(window.substr(0, used));
            file.Seek(start + used);
            if (dq != kNone)
                quote = CQuote::None;
            continue;
        }
        if (quote == CQuote::Single)
        {
            const std::size_t sq = FindBeforeNul(window, '\'', span);
            if (sq == kNone)
            {
                tag.append(window.substr(0, span));
                file.Seek(start + span);
                continue;
            }
            tag.append(window.substr(0, sq));
            tag += '"';
            file.Seek(start + sq + 1);
            quote = CQuote::None;
            continue;
        }

        // Outside quotes: the first '>' against the first quote of either kind, where a quote at
        // index 0 does not count (and, being the first of its kind, silences that kind for this
        // window).
        std::size_t gt = kNone;
        std::size_t opening = kNone;
        bool doubleCounts = true;
        bool singleCounts = true;
        for (std::size_t i = 0; i < window.size(); ++i)
        {
            const char c = window[i];
            if (c == '\0')
            {
                span = i + 1;
                break;
            }
            if (c == '>')
            {
                gt = i;
                break;
            }
            if (c == '"' || c == '\'')
            {
                bool& counts = c == '"' ? doubleCounts : singleCounts;
                if (i == 0)
                {
                    counts = false;
                }
                else if (counts)
                {
                    opening = i;
                    break;
                }
            }
        }
        if (gt != kNone)
        {
            tag.append(window.substr(0, gt + 1));
            file.Seek(start + gt + 1);
            return;
        }
        if (opening != kNone)
        {
            tag.append(window.substr(0, opening));
            tag += '"';
            file.Seek(start + opening + 1);
            quote = window[opening] == '"' ? CQuote::Double : CQuote::Single;
            continue;
        }
        tag.append(window.substr(0, span));
        file.Seek(start + span);
    }
}

// Consumes the content of an element that is not kept, up to its matching end tag, pairing the
// tags inside exactly as the recursive reader would (every start tag that does not close itself
// waits for "</name>" of its own name), but with an explicit stack so that no nesting depth can
// exhaust the call stack. The open names are packed into one buffer: a file of nothing but
// "<a>" costs a few bytes per level, not a string object each.
void SkipContent(CInputFile& file, CXML& element)
{
    std::string openNames(element.m_strTag.view());
    std::vector<std::size_t> nameStarts{0};
    std::string markup;
    std::size_t markupAt = kNone;
    while (!nameStarts.empty())
    {
        ReadMarkupInto(file, element, false, markup, markupAt);
        if (IsEndTagOf(markup, std::string_view(openNames).substr(nameStarts.back())))
        {
            openNames.resize(nameStarts.back());
            nameStarts.pop_back();
            continue;
        }
        if (element.m_bEndOfInput)
            return;
        if (IsDeclaration(markup) || markup.size() < 2)
            continue;
        const CTagShape shape = ReadTagShape(markup);
        if (!shape.selfClosing)
        {
            nameStarts.push_back(openNames.size());
            openNames.append(shape.name);
        }
    }
}

} // namespace

int IsStartOf(const std::string& tag, const std::string& name)
{
    if (tag.empty() || tag[0] != '<')
        return 0;
    if (name.empty())
        return 1;
    std::string_view tagName;
    const std::size_t space = tag.find(' ');
    if (space != kNone)
    {
        tagName = std::string_view(tag).substr(1, space - 1);
    }
    else
    {
        if (tag.size() < 2 || tag.back() != '>')
            return 0;
        tagName = std::string_view(tag).substr(1, tag.size() - 2);
        if (!tagName.empty() && tagName.back() == '/')
            tagName.remove_suffix(1);
    }
    return tagName == name ? 1 : 0;
}

void AppendText(CXML& element, std::string_view piece)
{
    if (piece.empty())
        return;
    if (piece.size() <= 2)
    {
        if (piece[0] != '\r' && piece[0] != '\n')
            element.m_strText.append(piece);
        return;
    }
    // A longer piece that opens with a line break loses that line break only. Cutting a fixed two
    // characters instead would eat the first visible character after a lone LF or CR.
    if (piece[0] == '\r' && piece[1] == '\n')
        piece.remove_prefix(2);
    else if (piece[0] == '\n' || piece[0] == '\r')
        piece.remove_prefix(1);
    element.m_strText.append(piece);
}

void AppendTextBeforeTag(CXML& element, std::string_view piece)
{
    if (piece.empty())
        return;
    const std::size_t lastLf = piece.rfind('\n');
    const std::size_t lineStart = lastLf == kNone ? 0 : lastLf + 1;
    const bool lastLineVisible = std::any_of(piece.begin() + static_cast<std::ptrdiff_t>(lineStart),
                                             piece.end(), [](char c) { return IsVisible(c); });
    if (lastLineVisible)
    {
        element.m_strText.append(piece);
        return;
    }
    // The blank line that only indents the next tag goes; what stood before it is ordinary text.
    if (lastLf != kNone && lastLf > 0)
        AppendText(element, piece.substr(0, lastLf));
}

std::string DecodeEntities(const std::string& text)
{
    // One replacement after the other, so "&amp;lt;" ends up as '<'; files written by programs
    // that escape twice rely on it.
    std::string out = orbelin::ReplaceAll(text, "&amp;", "&");
    out = orbelin::ReplaceAll(out, "&lt;", "<");
    out = orbelin::ReplaceAll(out, "&gt;", ">");
    out = orbelin::ReplaceAll(out, "&apos;", "'");
    return orbelin::ReplaceAll(out, "&quot;", "\"");
}

std::string ReadMarkup(CInputFile& file, CXML& element)
{
    std::string tag;
    std::size_t tagAt = kNone;
    ReadMarkupInto(file, element, true, tag, tagAt);
    return tag;
}

void CXML::Parse(const std::string& tag, CInputFile& file, int depth)
{
    Parse(tag, kNone, file, depth);
}

void CXML::Parse(const std::string& tag, std::size_t tagAt, CInputFile& file, int depth)
{
    Clear();
    const std::string_view text = tag.empty() ? std::string_view(" ") : std::string_view(tag);
    if (text[0] != '<')
        return;

    const CTagShape shape = ReadTagShape(text);
    m_strTag.assign(shape.name);

    if (depth > kMaxXmlDepth)
    {
        // Too deep to keep: the caller drops this element, but its content is consumed so that the
        // elements after it land where they belong.
        if (!shape.selfClosing)
            SkipContent(file, *this);
        m_strText.clear();
        return;
    }

    // Sorted once rather than inserted one by one: equal to AddAttribute in turn (the last value
    // of a repeated name wins), without the quadratic cost on a tag with very many attributes.
    // Read in full before any child is parsed, so one list serves every element of the thread.
    thread_local CAttributeViews found;
    ReadTagAttributes(text, shape, found);
    SortByName(found);
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < found.size(); ++i)
        distinct += i + 1 < found.size() && found[i + 1].first == found[i].first ? 0 : 1;
    const std::string_view fileText = file.Text();
    const bool inFile = tagAt != kNone && tagAt <= fileText.size() && text.size() <= fileText.size() - tagAt;
    orbelin::CArena& memory = Memory();
    if (inFile)
        memory.Keep(file.TextOwner());
    auto* const list =
        distinct == 0
            ? nullptr
            : static_cast<CAttribute*>(memory.allocate(distinct * sizeof(CAttribute), alignof(CAttribute)));
    std::size_t kept = 0;
    // The views of the tag's buffer are moved to the same bytes of the file's text, which the
    // arena keeps alive.
    const auto inText = [&](std::string_view piece)
    {
        const auto offset = static_cast<std::size_t>(piece.data() - text.data());
        const std::string_view same = fileText.substr(tagAt + offset, piece.size());
        assert(same == piece);
        return same;
    };
    for (std::size_t i = 0; i < found.size(); ++i)
    {
        if (i + 1 < found.size() && found[i + 1].first == found[i].first)
            continue;
        const auto [name, value] = found[i];
        new (list + kept++) CAttribute(inFile ? MakeAttribute(inText(name), inText(value), true)
                                              : MakeAttribute(name, value, false));
    }
    m_attributes.m_data = list;
    m_attributes.m_size = static_cast<std::uint32_t>(kept);
    // A tag of a great many attributes does not keep its list's memory for the thread's lifetime.
    constexpr std::size_t kListKept = 1024;
    if (found.capacity() > kListKept)
        CAttributeViews().swap(found);

    if (shape.selfClosing)
        return;

    // One buffer for the tags of this element's children: each is read in full before the next.
    std::string markup;
    std::size_t markupAt = kNone;
    ReadMarkupInto(file, *this, true, markup, markupAt);
    if (!IsEndTagOf(markup, m_strTag))
    {
        while (!m_bEndOfInput)
        {
            // A lone "<" only comes back at the end of the file, which ends the loop anyway.
            if (!IsDeclaration(markup) && markup.size() > 1)
            {
                // The tree's elements live in its arena, beside their attributes.
                CXMLList::value_type child(new (memory.allocate(sizeof(CXML), alignof(CXML))) CXML(memory));
                child->m_inArena = true;
                child->Parse(markup, markupAt, file, depth + 1);
                // An element without a name is dropped with its content; so is one too deep to keep.
                if (!child->m_strTag.empty() && depth + 1 <= kMaxXmlDepth)
                    AddChild(std::move(child));
            }
            ReadMarkupInto(file, *this, true, markup, markupAt);
            if (IsEndTagOf(markup, m_strTag))
                break;
        }
    }
    if (!m_strText.empty() && m_strText.back() == '\n')
        m_strText.back() = ' ';
}

int Load(CInputFile& file, const std::string& rootName, CXML& root)
{
    root.m_strTag = rootName;
    root.m_bEndOfInput = 0;
    // Character data before the document element is dropped, so it is not even collected.
    std::string tag;
    std::size_t tagAt = kNone;
    ReadMarkupInto(file, root, false, tag, tagAt);
    while (IsDeclaration(tag))
        ReadMarkupInto(file, root, false, tag, tagAt);
    while (!root.m_bEndOfInput)
    {
        if (IsStartOf(tag, rootName))
            break;
        ReadMarkupInto(file, root, false, tag, tagAt);
    }
    root.m_strText.clear();
    if (root.m_bEndOfInput)
        return 0;
    root.Parse(tag, tagAt, file, 0);
    // Only the document element's own text: attribute values and nested texts keep their
    // references as written.
    root.m_strText = DecodeEntities(root.m_strText);
    return 1;
}
