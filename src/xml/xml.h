// The element tree of the SVG file: elements and attributes as the 8-bit texts found in the file.
#pragma once

#include "platform/arena.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class CInputFile;
class CXML;

// One attribute of an element: two views, its name and its value between the quotes. A large
// drawing has millions, so it takes 16 bytes: the value follows the name at a fixed distance, as
// in name="value" in the file, whose text it views; an attribute written otherwise is copied into
// that form in the arena of its element's tree.
class CAttribute
{
public:
    // As written in the tag, trimmed.
    std::string_view GetName() const { return {m_text, m_nameSize}; }
    // Between the quotes, exactly as written.
    std::string_view GetValue() const
    {
        if (m_valueSize == kLongValue)
        {
            // The length did not fit 32 bits: it is stored just before the name.
            std::size_t size = 0;
            std::memcpy(&size, m_text - sizeof size, sizeof size);
            return {m_text + m_nameSize + kGap, size};
        }
        return {m_text + m_nameSize + kGap, m_valueSize};
    }

private:
    friend class CXML;
    // The distance from the end of the name to the value: the '=' and the quote.
    static constexpr std::size_t kGap = 2;
    static constexpr std::uint32_t kLongValue = UINT32_MAX;

    const char* m_text = "";
    std::uint32_t m_nameSize = 0;
    std::uint32_t m_valueSize = 0;
};

// Attributes kept in ascending byte-wise order of their names. The list views memory of the
// element's arena; it is read like a vector and changed only through the element.
class CAttributeList
{
public:
    const CAttribute* begin() const { return m_data; }
    const CAttribute* end() const { return m_data + m_size; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const CAttribute& operator[](std::size_t i) const { return m_data[i]; }
    // Throws std::out_of_range past the end, as a vector does.
    const CAttribute& at(std::size_t i) const;
    const CAttribute& front() const { return m_data[0]; }
    const CAttribute& back() const { return m_data[m_size - 1]; }

private:
    friend class CXML;
    CAttribute* m_data = nullptr;
    std::uint32_t m_size = 0;
};

// The character data of an element. Most elements have none, so an empty text takes one pointer.
class CElementText
{
public:
    CElementText() = default;
    CElementText(const CElementText& other) { *this = other.str(); }
    CElementText& operator=(const CElementText& other)
    {
        if (this != &other)
            *this = other.str();
        return *this;
    }
    CElementText& operator=(std::string text)
    {
        if (text.empty())
            m_text.reset();
        else
            m_text = std::make_unique<std::string>(std::move(text));
        return *this;
    }

    const std::string& str() const { return m_text ? *m_text : Empty(); }
    operator const std::string&() const { return str(); }
    bool empty() const { return !m_text || m_text->empty(); }
    std::size_t size() const { return m_text ? m_text->size() : 0; }
    // Only for a text that is not empty.
    char& back() { return m_text->back(); }
    std::string::const_iterator begin() const { return str().begin(); }
    std::string::const_iterator end() const { return str().end(); }
    void clear() { m_text.reset(); }
    void append(std::string_view piece)
    {
        if (piece.empty())
            return;
        if (!m_text)
            m_text = std::make_unique<std::string>();
        m_text->append(piece);
    }

    friend bool operator==(const CElementText& a, std::string_view b)
    {
        return std::string_view(a.str()) == b;
    }
    friend bool operator!=(const CElementText& a, std::string_view b) { return !(a == b); }
    friend std::ostream& operator<<(std::ostream& out, const CElementText& text) { return out << text.str(); }

private:
    static const std::string& Empty();
    std::unique_ptr<std::string> m_text;
};

// The name of an element. Names of up to 15 bytes (every SVG element's) are held in place, so a
// name takes 16 bytes and no allocation; a longer one lives on the heap.
class CXmlName
{
public:
    CXmlName() = default;
    explicit CXmlName(std::string_view name) { assign(name); }
    CXmlName(const CXmlName& other) { assign(other.view()); }
    CXmlName& operator=(const CXmlName& other)
    {
        if (this != &other)
            assign(other.view());
        return *this;
    }
    CXmlName& operator=(std::string_view name)
    {
        assign(name);
        return *this;
    }
    ~CXmlName() { Release(); }

    void assign(std::string_view name);
    std::string_view view() const
    {
        if (m_bytes[kLengthAt] != kOnHeap)
            return {m_bytes, static_cast<std::size_t>(m_bytes[kLengthAt])};
        const char* heap = Heap();
        std::size_t size = 0;
        std::memcpy(&size, heap, sizeof size);
        return {heap + sizeof size, size};
    }
    operator std::string_view() const { return view(); }
    operator std::string() const { return std::string(view()); }
    bool empty() const { return view().empty(); }
    std::size_t size() const { return view().size(); }

    friend bool operator==(const CXmlName& a, std::string_view b) { return a.view() == b; }
    friend bool operator!=(const CXmlName& a, std::string_view b) { return a.view() != b; }
    friend std::ostream& operator<<(std::ostream& out, const CXmlName& name) { return out << name.view(); }

private:
    static constexpr std::size_t kLengthAt = 15;
    static constexpr char kOnHeap = 16;
    const char* Heap() const
    {
        const char* heap = nullptr;
        std::memcpy(&heap, m_bytes, sizeof heap);
        return heap;
    }
    void Release();

    // The name in place and its length in the last byte, or a heap block (its length, then the
    // bytes) and kOnHeap there.
    char m_bytes[16] = {};
};

// Deletes an element built by hand; an element read into a tree's arena is only destroyed, its
// memory going with the arena.
struct CXMLDeleter
{
    CXMLDeleter() = default;
    CXMLDeleter(std::default_delete<CXML>) {}
    void operator()(CXML* element) const;
};

// Children in document order; owned.
using CXMLList = std::vector<std::unique_ptr<CXML, CXMLDeleter>>;

// One element.
class CXML
{
public:
    // An element built by hand: the memory of its attributes comes from an arena of its own, made
    // when first needed.
    CXML() = default;
    // The root of a tree read into arena: every element below it, with its attributes, lives
    // there, so the arena must outlive the tree.
    explicit CXML(orbelin::CArena& arena) : m_arena(&arena) {}
    ~CXML();
    CXML(const CXML&) = delete;
    CXML& operator=(const CXML&) = delete;

    // Deletes attributes and children (the whole subtree) and empties the text; keeps the tag,
    // the parent and the end-of-input flag.
    void Clear();
    // Appends the child, taking it from its former parent if it had one. A child read into another
    // tree's arena stays there: that arena must outlive this tree too.
    void AddChild(std::unique_ptr<CXML> child);
    void AddChild(CXMLList::value_type child);
    // Inserts in name order; an existing name takes the new value (the last one wins).
    void AddAttribute(std::string_view name, std::string_view value);
    // The first attribute of that name (the list is in name order), or nullptr.
    const CAttribute* FindAttribute(std::string_view name) const;

    // Builds the element from the text of its start tag and, unless it is self-closing, reads its
    // content up to the matching end tag from the file. depth is the nesting level of this element.
    void Parse(const std::string& tag, CInputFile& file, int depth = 0);
    // The same for a tag the reader took from the file at tagAt: the attribute values are then
    // left in the file's text rather than copied.
    void Parse(const std::string& tag, std::size_t tagAt, CInputFile& file, int depth);

    CXMLList m_children;
    CXmlName m_strTag;
    CXML* m_pParent = nullptr;
    CElementText m_strText;
    CAttributeList m_attributes;
    int m_bEndOfInput = 0;

private:
    friend struct CXMLDeleter;
    // The arena of this element's tree, made for an element built by hand on first need.
    orbelin::CArena& Memory();
    // An attribute viewing name and value where they stand when they are laid out as name="value",
    // otherwise copied into that form in the arena.
    CAttribute MakeAttribute(std::string_view name, std::string_view value, bool inPlace);

    // m_arena is this element's own (built by hand), deleted with it. Beside m_bEndOfInput, in
    // what would otherwise be padding.
    bool m_ownsArena = false;
    // The element itself lives in m_arena.
    bool m_inArena = false;
    orbelin::CArena* m_arena = nullptr;
};

// Elements nested deeper than this are read past without being kept, so that a hostile file cannot
// exhaust the stack of the reader, the walker or the tree's own destruction.
constexpr int kMaxXmlDepth = 256;

// Reads the document element into root. rootName empty: the first element. 1 when an element was
// read, 0 when the file ended first.
int Load(CInputFile& file, const std::string& rootName, CXML& root);

// The reader's steps, exposed for the tests.
std::string ReadMarkup(CInputFile& file, CXML& element);
int IsStartOf(const std::string& tag, const std::string& name);
void AppendText(CXML& element, std::string_view piece);
void AppendTextBeforeTag(CXML& element, std::string_view piece);
std::string DecodeEntities(const std::string& text);
