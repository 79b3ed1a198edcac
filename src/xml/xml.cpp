#include "xml/xml.h"

#include <algorithm>
#include <new>
#include <stdexcept>

const CAttribute& CAttributeList::at(std::size_t i) const
{
    if (i >= m_size)
        throw std::out_of_range("attribute index");
    return m_data[i];
}

void CXmlName::assign(std::string_view name)
{
    // name may view this very name.
    char bytes[sizeof m_bytes] = {};
    if (name.size() <= kLengthAt)
    {
        std::memcpy(bytes, name.data(), name.size());
        bytes[kLengthAt] = static_cast<char>(name.size());
    }
    else
    {
        const std::size_t size = name.size();
        char* const heap = new char[sizeof size + size];
        std::memcpy(heap, &size, sizeof size);
        std::memcpy(heap + sizeof size, name.data(), size);
        std::memcpy(bytes, &heap, sizeof heap);
        bytes[kLengthAt] = kOnHeap;
    }
    Release();
    std::memcpy(m_bytes, bytes, sizeof m_bytes);
}

void CXmlName::Release()
{
    if (m_bytes[kLengthAt] == kOnHeap)
        delete[] Heap();
    m_bytes[kLengthAt] = 0;
}

const std::string& CElementText::Empty()
{
    static const std::string empty;
    return empty;
}

void CXMLDeleter::operator()(CXML* element) const
{
    if (element->m_inArena)
        element->~CXML();
    else
        delete element;
}

CXML::~CXML()
{
    // An element listed in a parent is owned by that parent's slot, so it can only be destroyed
    // through that slot: there is nothing left to unlink here. The children may live in this
    // element's own arena, so they go first.
    Clear();
    if (m_ownsArena)
        delete m_arena;
}

orbelin::CArena& CXML::Memory()
{
    if (m_arena == nullptr)
    {
        m_arena = new orbelin::CArena();
        m_ownsArena = true;
    }
    return *m_arena;
}

void CXML::Clear()
{
    // The attributes' memory stays in the arena until the arena goes.
    m_attributes = CAttributeList();

    // The subtree is flattened into one list before anything is destroyed, so every element dies
    // childless: a destructor that recursed once per level would let a deeply nested tree (built by
    // hand, or by a future reader) exhaust the stack.
    CXMLList doomed;
    doomed.swap(m_children);
    for (std::size_t i = 0; i < doomed.size(); ++i)
    {
        CXML* node = doomed[i].get();
        if (!node)
            continue;
        node->m_pParent = nullptr;
        for (auto& grandChild : node->m_children)
            doomed.push_back(std::move(grandChild));
        node->m_children.clear();
    }
    doomed.clear();

    m_strText.clear();
}

void CXML::AddChild(std::unique_ptr<CXML> child)
{
    AddChild(CXMLList::value_type(child.release()));
}

void CXML::AddChild(CXMLList::value_type child)
{
    if (!child)
        return;
    // The caller has moved the child out of its former parent's list (that parent is still alive,
    // as it held the child until now); drop the empty slot the move left there, so a walker never
    // meets a null child.
    if (CXML* former = child->m_pParent)
    {
        CXMLList& siblings = former->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), nullptr), siblings.end());
    }
    child->m_pParent = this;
    m_children.push_back(std::move(child));
}

CAttribute CXML::MakeAttribute(std::string_view name, std::string_view value, bool inPlace)
{
    CAttribute attribute;
    const bool longValue = value.size() >= CAttribute::kLongValue;
    attribute.m_nameSize = static_cast<std::uint32_t>(name.size());
    attribute.m_valueSize = longValue ? CAttribute::kLongValue : static_cast<std::uint32_t>(value.size());
    if (inPlace && !longValue && value.data() == name.data() + name.size() + CAttribute::kGap)
    {
        attribute.m_text = name.data();
        return attribute;
    }
    const std::size_t prefix = longValue ? sizeof(std::size_t) : 0;
    char* const text = static_cast<char*>(
        Memory().allocate(prefix + name.size() + CAttribute::kGap + value.size(), alignof(std::size_t)));
    if (longValue)
    {
        const std::size_t size = value.size();
        std::memcpy(text, &size, sizeof size);
    }
    char* out = text + prefix;
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '=';
    out[name.size() + 1] = '"';
    std::memcpy(out + name.size() + CAttribute::kGap, value.data(), value.size());
    attribute.m_text = out;
    return attribute;
}

const CAttribute* CXML::FindAttribute(std::string_view name) const
{
    const CAttribute* const begin = m_attributes.m_data;
    const CAttribute* const end = begin + m_attributes.m_size;
    const CAttribute* const at = std::lower_bound(
        begin, end, name, [](const CAttribute& a, std::string_view n) { return a.GetName() < n; });
    return at != end && at->GetName() == name ? at : nullptr;
}

void CXML::AddAttribute(std::string_view name, std::string_view value)
{
    // Byte-wise order, as std::string compares through char_traits<char> (unsigned bytes): "Fill"
    // sorts before "fill" and bytes of 128 and above after every ASCII letter.
    CAttribute* const begin = m_attributes.m_data;
    CAttribute* const end = begin + m_attributes.m_size;
    CAttribute* const at = std::lower_bound(
        begin, end, name, [](const CAttribute& a, std::string_view n) { return a.GetName() < n; });
    if (at != end && at->GetName() == name)
    {
        *at = MakeAttribute(name, value, false);
        return;
    }
    // A new list each time: elements built by hand have few attributes, the reader lays out its
    // lists at once.
    const std::size_t size = m_attributes.m_size;
    const auto position = static_cast<std::size_t>(at - begin);
    auto* const list =
        static_cast<CAttribute*>(Memory().allocate((size + 1) * sizeof(CAttribute), alignof(CAttribute)));
    std::uninitialized_copy(begin, at, list);
    new (list + position) CAttribute(MakeAttribute(name, value, false));
    std::uninitialized_copy(at, end, list + position + 1);
    m_attributes.m_data = list;
    m_attributes.m_size = static_cast<std::uint32_t>(size + 1);
}
