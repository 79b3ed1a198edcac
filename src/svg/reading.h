// How a drawing is read: the walk that resolves each element's style and placement and hands it to
// the emitters. Two readings exist, chosen once at the start of a conversion: the default one, by
// document-order state, and the exact one, by the SVG rules. Both write through the same emitters
// and conventions; only what they hand them differs.
#pragma once

#include "svg/walker.h"

#include <functional>
#include <string>
#include <string_view>

class CXML;

class CSvgReading
{
  public:
    virtual ~CSvgReading() = default;
    // Receives what the user should know of a conversion that still succeeds (a part not drawn).
    using NoticeSink = std::function<void(const std::string& text)>;
    // Runs before the document frame is written: whatever the tables must hold (line types, text
    // styles) that the reading finds beyond the raw-text scan. fileText is the whole input, for what
    // the tolerant tree does not keep.
    virtual void Prepare(const CXML& root, std::string_view fileText) = 0;
    // The walk over the tree, writing the entities; n as for CElementWalker::WalkElement.
    virtual void Walk(CXML& root, int n) = 0;
};
