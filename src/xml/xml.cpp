#include "xml/xml.h"

#include <algorithm>

CXML::~CXML()
{
    // An element listed in a parent is owned by that parent's slot, so it can only be destroyed
    // through that slot: there is nothing left to unlink here.
    Clear();
}

void CXML::Clear()
{
    m_attributes.clear();
    m_textOwner.reset();

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
        for (std::unique_ptr<CXML>& grandChild : node->m_children)
            doomed.push_back(std::move(grandChild));
        node->m_children.clear();
    }
    doomed.clear();

    m_strText.clear();
}

void CXML::AddChild(std::unique_ptr<CXML> child)
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

void CXML::AddAttribute(const std::string& name, const std::string& value)
{
    // std::string compares through char_traits<char>, i.e. as unsigned bytes: "Fill" sorts before
    // "fill" and bytes of 128 and above after every ASCII letter.
    const auto at =
        std::lower_bound(m_attributes.begin(), m_attributes.end(), name,
                         [](const CAttribute& a, const std::string& n) { return a.m_strName < n; });
    if (at != m_attributes.end() && at->m_strName == name)
    {
        at->SetValue(value);
        return;
    }
    m_attributes.insert(at, CAttribute(name, value));
}
