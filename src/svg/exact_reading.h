// The exact reading: the tree walked by the SVG rules. Each element's style is computed from its
// parent's (exact_style), its placement is one accumulated matrix (exact_transform), hidden and
// non-rendered elements are left out, and what is drawn reaches the same emitters as in the
// default reading, with that matrix as the only group matrix and the element's own transform
// already in it.
#pragma once

#include "geometry/records.h"
#include "geometry/transform.h"
#include "svg/exact_css.h"
#include "svg/exact_markers.h"
#include "svg/exact_style.h"
#include "svg/reading.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CExactReading final : public CSvgReading
{
  public:
    CExactReading(CConverter& converter, CElementWalker::ProgressSink progress,
                  CElementWalker::ElementSink elementDone, NoticeSink notice = {});
    void Prepare(const CXML& root, std::string_view fileText) override;
    void Walk(CXML& root, int n) override;

    // What an element's children inherit.
    struct CFrame
    {
        CMatrix ctm;
        CExactStyle style;
        double viewportWidth = 0.0;
        double viewportHeight = 0.0;
        std::string_view layer = "0"; // a group's id, in the tree
    };

  private:
    // The frame the root gives its children; false when the root draws nothing.
    bool RootFrame(const CXML& root, double documentWidth, double documentHeight, CFrame& frame);
    void Visit(const CXML& node, const CFrame& parent, int depth, int n);
    void VisitChildren(const CXML& node, const CFrame& frame, int depth, int n);
    void VisitUse(const CXML& node, const CFrame& frame, int depth);
    // Tells the user once that the use of target is not drawn, and why.
    void ReportUse(const CXML& target, std::string_view href, const char* why);
    void DrawShape(const CXML& node, std::string_view tag, const CFrame& frame);
    void DrawPathData(std::string_view d, const CFrame& frame);
    // A polygon (closed) or polyline by its points in user units.
    void DrawPoints(const CPointList& points, bool closed, const CFrame& frame);
    // Fill, then stroke, as the frame's style draws them; where fills are not written a filled
    // shape is still shown, as its outline in the fill colour.
    template <class Fill, class Stroke>
    void PaintShape(const CFrame& frame, const Fill& fill, const Stroke& stroke);
    // The markers the frame's style names, on the vertices of d (in the frame's user space).
    void DrawMarkers(std::string_view d, const CFrame& frame);
    void DrawMarker(std::string_view reference, const CMarkerVertex& vertex, bool isStart,
                    const CFrame& frame);
    // The computed style of a node from the root down, as markers inherit from where they stand.
    const CExactStyle& StyleInTree(const CXML& node);
    void DrawRoundedRect(double x, double y, double w, double h, double rx, double ry, const CFrame& frame);
    void DrawEllipse(double cx, double cy, double rx, double ry, const CFrame& frame);
    void DrawText(const CXML& node, std::string_view tag, const CFrame& frame);
    // The node's computed style under parent.
    CExactStyle StyleOf(const CXML& node, const CFrame& parent);
    // Puts the frame's paint, stroke width, layer and matrix where the emitters read them.
    void HandOver(const CFrame& frame);
    const CXML* FindId(std::string_view id) const;
    double Length(const CXML& node, std::string_view name, const CFrame& frame, CLengthAxis axis,
                  double otherwise = 0.0) const;
    double Length(std::string_view text, const CFrame& frame, CLengthAxis axis, double otherwise = 0.0) const;
    // The rx and ry of a rect or an ellipse: either alone stands for both; negative when neither is set.
    void Radii(std::string_view rxText, std::string_view ryText, const CFrame& frame, double& rx,
               double& ry) const;

    CConverter& m_converter;
    CElementWalker::ProgressSink m_progress;
    CElementWalker::ElementSink m_elementDone;
    NoticeSink m_notice;
    // The use targets already reported as not drawn: one notice each, however often they are used.
    std::unordered_set<const CXML*> m_reportedUses;
    std::size_t m_useCopies = 0;
    CStyleSheet m_sheet;
    CStyleEnvironment m_environment;
    std::unordered_map<std::string_view, const CXML*> m_ids;
    // The elements the open use elements name, outermost first.
    std::vector<const CXML*> m_openUses;
    // The markers whose contents are being drawn, so that a marker never draws itself again.
    std::vector<const CXML*> m_openMarkers;
    std::unordered_map<const CXML*, CExactStyle> m_treeStyles;
    // Set while the walk is made beforehand for the dash patterns of relative lengths: nothing is
    // drawn, and each pattern is declared as a line type.
    bool m_collectingDashes = false;
    double m_rootViewportWidth = 0.0;
    double m_rootViewportHeight = 0.0;
    // Where the next text run starts when it names no x or y, in the text's user units.
    double m_penX = 0.0;
    double m_penY = 0.0;
};

// The texts of the file's style elements in document order, CDATA sections unwrapped: read from the
// file's bytes, as the tree keeps no CDATA.
std::vector<std::string> StyleElementTexts(std::string_view fileText);

// The element's tag without an "svg:" prefix.
std::string_view ExactTag(const CXML& node);

// Character and entity references decoded to UTF-8 (the five XML names and &#...; forms), and the
// white space of a text run handled as xml:space says.
std::string DecodeTextContent(std::string_view text, bool preserveSpace);
