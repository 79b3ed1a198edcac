#include "svg/converter.h"

// The fill option is not touched here: whoever owns the converter (dialog, command line, tests)
// sets m_fillOption, and it outlives every reset.
CConverter::CConverter()
{
    ResetConversion();
}

int CConverter::ResetConversion()
{
    m_strokeAci = 0;
    m_elementStrokeWidth = 0.0;
    m_groupStrokeWidth = 0.0;
    m_strokeRgb = 0;
    m_fillRgb = 0;
    m_dashes.clear();
    m_fonts.clear();
    m_markers.clear();
    m_matrixStack.fill(CMatrix{});
    m_matrixDepth = 0;
    m_matrixOverflow = 0;
    m_groupTransformSeen = 0;
    DropWriter();
    m_docWidth = 0.0;
    m_docHeight = 0.0;
    m_closeSeen = 0;
    m_closeLeading = 0;
    m_lastCommand.clear();
    m_groupFontSize.clear();
    m_groupFontFamily.clear();
    m_currentLayer = "0";
    m_symbols.clear();
    m_drawingMarker = 0;

    // Nothing of one conversion may reach the next: a group style left over from an earlier drawing
    // would give the texts of this one a font they never asked for.
    m_groupStyle.clear();
    m_lineType.clear();
    m_markerStartRef.clear();
    m_markerEndRef.clear();
    m_lastControlX = 0.0;
    m_lastControlY = 0.0;
    // m_layerNames is filled from the tree after the reset, by the driver, which empties it itself.
    return 0;
}
