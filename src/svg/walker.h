// The walk over the element tree: document-order state and the dispatch to the emitters.
#pragma once

#include <functional>
#include <string>

class CConverter;
class CXML;

// A guess at the handles the drawing will use: an entity for each subpath of a path (each moveto)
// and for each other drawing element. It only decides how long a placeholder the header's handle
// seed gets; a wrong guess costs one pass over the file at the end, never a wrong file.
unsigned long ExpectedHandles(const CXML& root);

class CElementWalker
{
public:
    using ProgressSink = std::function<void(int percent)>;

    // Called after each element's own work, before its children, in document order.
    using ElementSink = std::function<void(const CXML& element)>;

    CElementWalker(CConverter& converter, ProgressSink progress, ElementSink elementDone = {});

    // Visits node and its subtree; n is the number of children of the document element for the
    // top-level call (they move the progress from 15 to 95), 0 for nested calls. Stops before the
    // next element once the converter's cancel flag is set.
    void WalkElement(CXML& node, int n);

    // Walk fields: style decisions passed from one element to the next in document order.
    int m_fillSet = 0;
    int m_strokeSet = 0;
    int m_groupFillSet = 0;
    std::string m_containerTag;
    int m_inDefs = 0;
    std::string m_textTransform;
    std::string m_textFontFamily;
    std::string m_textFontSize;

private:
    CConverter& m_converter;
    ProgressSink m_progress;
    ElementSink m_elementDone;
};
