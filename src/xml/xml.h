// The element tree of the SVG file: elements and attributes as the 8-bit texts found in the file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CInputFile;

// One attribute of an element.
class CAttribute
{
public:
    CAttribute() = default;
    // The value is kept by the attribute.
    CAttribute(std::string name, std::string value) : m_strName(std::move(name)) { SetValue(std::move(value)); }
    // The value stays where it is: in the text of the file the element was read from, which the
    // element keeps alive. A drawing's path data is most of its bytes.
    static CAttribute InText(std::string name, std::string_view text)
    {
        CAttribute attribute;
        attribute.m_strName = std::move(name);
        attribute.m_value = text;
        return attribute;
    }
    CAttribute(const CAttribute& other) : m_strName(other.m_strName) { CopyValue(other); }
    CAttribute& operator=(const CAttribute& other)
    {
        if (this != &other)
        {
            m_strName = other.m_strName;
            CopyValue(other);
        }
        return *this;
    }
    // A kept value lives on the heap, so a moved attribute's view still points at it.
    CAttribute(CAttribute&&) noexcept = default;
    CAttribute& operator=(CAttribute&&) noexcept = default;

    const std::string& GetName() const { return m_strName; }
    // Between the quotes, exactly as written.
    std::string_view GetValue() const { return m_value; }
    void SetValue(std::string value)
    {
        m_kept = std::make_unique<std::string>(std::move(value));
        m_value = *m_kept;
    }

    std::string m_strName; // as written in the tag, trimmed

private:
    void CopyValue(const CAttribute& other)
    {
        if (other.m_kept)
        {
            SetValue(*other.m_kept);
            return;
        }
        m_kept.reset();
        m_value = other.m_value;
    }

    std::string_view m_value;
    // The value when the attribute keeps it; empty when it views the file's text.
    std::unique_ptr<std::string> m_kept;
};

class CXML;
// Children in document order; owned.
using CXMLList = std::vector<std::unique_ptr<CXML>>;
// Attributes kept in ascending byte-wise order of their names.
using CAttributeList = std::vector<CAttribute>;

// One element.
class CXML
{
public:
    CXML() = default;
    ~CXML();
    CXML(const CXML&) = delete;
    CXML& operator=(const CXML&) = delete;

    // Deletes attributes and children (the whole subtree) and empties the text; keeps the tag,
    // the parent and the end-of-input flag.
    void Clear();
    // Appends the child, taking it from its former parent if it had one.
    void AddChild(std::unique_ptr<CXML> child);
    // Inserts in name order; an existing name takes the new value (the last one wins).
    void AddAttribute(const std::string& name, const std::string& value);

    // Builds the element from the text of its start tag and, unless it is self-closing, reads its
    // content up to the matching end tag from the file. depth is the nesting level of this element.
    void Parse(const std::string& tag, CInputFile& file, int depth = 0);
    // The same for a tag the reader took from the file at tagAt: the attribute values are then
    // left in the file's text rather than copied.
    void Parse(const std::string& tag, std::size_t tagAt, CInputFile& file, int depth);

    CXMLList m_children;
    std::string m_strTag;
    CXML* m_pParent = nullptr;
    std::string m_strText;
    int m_bEndOfInput = 0;
    CAttributeList m_attributes;
    // The file's text, while attribute values of this element are views into it.
    std::shared_ptr<const void> m_textOwner;
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
