// The parts of the DXF document that do not depend on the drawing: header, tables, the layout
// blocks and the section frame around the entities.
#include "dxf/conventions.h"
#include "dxf/dxf_writer.h"
#include "dxf/handle_seed.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dl_dxf.h>
#include <string_view>
#include <utility>
#include <vector>

namespace
{

// The seed a reader takes for the next free handle. Kept at FFFF while the drawing stays below it
// because that is what every file of this program has always carried.
constexpr unsigned long kDefaultHandleSeed = 0xFFFF;
// Handles are written as ints.
constexpr unsigned long kMaxHandleSeed = 0x7FFFFFFF;

const char* const kDashDescription = "Dash - - - - - - - - - - ";

// The entry count of a table header is a 16-bit group; readers take it as a hint only, but one
// beyond 32767 makes the whole file unreadable to them.
int TableCount(std::size_t entries)
{
    return static_cast<int>(std::min<std::size_t>(entries, 32767));
}

// The handle seed as the writer formats a handle: upper-case hexadecimal without leading zeros.
std::string HexHandle(unsigned long value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lX", value);
    return buffer;
}

} // namespace

CDxfDocument::CDxfDocument() : m_dxf(std::make_unique<DL_Dxf>()) {}

// Out of line, where DL_Dxf and CDxfWriter are complete types.
CDxfDocument::~CDxfDocument() = default;

void CDxfDocument::DropWriter()
{
    m_writer.reset();
}

void CDxfDocument::ParseDashPattern(const CDashData& dash, std::vector<double>& values, double& sum)
{
    sum = 0.0;
    values.clear();
    std::string_view rest = dash.pattern;
    // Only a single space separates: two in a row leave an empty piece, which counts as a zero
    // gap, and a trailing space adds nothing. Drawings with such patterns keep their look.
    for (;;)
    {
        const std::size_t blank = rest.find(' ');
        if (blank == std::string_view::npos)
            break;
        const double value = orbelin::ReadDouble(rest.substr(0, blank));
        sum += value;
        values.push_back(value);
        rest.remove_prefix(blank + 1);
    }
    if (!rest.empty())
    {
        const double value = orbelin::ReadDouble(rest);
        sum += value;
        values.push_back(value);
    }
}

int CDxfDocument::BeginDxfDocument(const std::string& path, unsigned long expectedHandles)
{
    m_writer.reset();
    // Our writer rather than DL_Dxf::out's, which flushes after every number. The document object
    // keeps the version it was built with, AC1015, which every write call checks.
    m_outputPath = path;
    return StartDxfDocument(std::make_unique<CDxfWriter>(path.c_str(), DL_Codes::AC1015, m_shortestReals), expectedHandles);
}

int CDxfDocument::BeginDxfDocument(int fd, unsigned long expectedHandles)
{
    m_writer.reset();
    // Nothing to read back: the seed stays as the header first gave it.
    m_outputPath.clear();
    return StartDxfDocument(std::make_unique<CDxfWriter>(fd, DL_Codes::AC1015, m_shortestReals), expectedHandles);
}

int CDxfDocument::StartDxfDocument(std::unique_ptr<CDxfWriter> writer, unsigned long expectedHandles)
{
    m_outputError = 0;
    if (!m_dxf)
        m_dxf = std::make_unique<DL_Dxf>();
    if (writer->openFailed())
    {
        m_outputError = writer->ErrorNumber();
        return -1;
    }
    m_writer = std::move(writer);
    DL_Dxf& dxf = *m_dxf;
    DL_WriterA& dw = *m_writer;

    // The header by hand: the library's own header writer would stamp its banner into the file.
    dw.dxfString(999, "Orbelin ");
    dw.sectionHeader();
    dw.dxfString(9, "$ACADVER");
    dw.dxfString(1, "AC1015");
    dw.dxfString(9, "$HANDSEED");
    // A drawing expected to outgrow the fixed seed gets a placeholder of the expected length, so
    // that the true seed later replaces it without moving the rest of the file.
    m_seedPlaceholder = std::max(kDefaultHandleSeed, std::min(expectedHandles, kMaxHandleSeed));
    dw.dxfHex(5, static_cast<int>(m_seedPlaceholder));
    WriteUnitVariables();
    dw.sectionEnd();

    dw.sectionTables();
    dxf.writeVPort(dw);

    // The count is taken before unusable patterns are dropped; readers take it as a hint only.
    dw.tableLinetypes(TableCount(m_dashes.size() + 1));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Continuous", 0, 0, 0.0));
    std::vector<double> values;
    // Usable records move up over the dropped ones in one pass: erasing each dropped record on its
    // own would make a file of many one-number patterns quadratic.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_dashes.size(); ++i)
    {
        double sum = 0.0;
        ParseDashPattern(m_dashes[i], values, sum);
        // Dash lengths are lengths of the drawing and follow its unit.
        for (double& value : values)
            ToOutputLength(value);
        ToOutputLength(sum);
        bool usable = values.size() >= 2 && IsWritable(sum);
        for (double value : values)
            usable = usable && IsWritable(value);
        // Dropped from the array too, so that no entity can name a line type the table lacks.
        if (!usable)
            continue;
        // Dashes at even places, gaps (negative) at odd ones; 0.0 - v keeps a zero gap from
        // printing as "-0.0".
        std::vector<double> elements(values.size());
        for (std::size_t k = 0; k < values.size(); ++k)
            elements[k] = k % 2 == 0 ? values[k] : 0.0 - values[k];
        dxf.writeLinetype(dw, DL_LinetypeData(m_dashes[i].name, kDashDescription, 0,
                                              static_cast<int>(elements.size()), sum, elements.data()));
        if (kept != i)
            m_dashes[kept] = std::move(m_dashes[i]);
        ++kept;
    }
    m_dashes.resize(kept);
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dw.tableEnd();

    bool hasLayerZero = false;
    for (const std::string& name : m_layerNames)
        hasLayerZero = hasLayerZero || name == "0";
    dw.tableLayers(TableCount(m_layerNames.size() + (hasLayerZero ? 0 : 1)));
    // Colour 2 without a true colour: a 420 group would override the index in most CAD programs.
    const DL_Attributes layerAttributes("", 2, 100, "CONTINUOUS", 1.0);
    if (!hasLayerZero)
        dxf.writeLayer(dw, DL_LayerData("0", 0), layerAttributes);
    bool zeroWritten = !hasLayerZero;
    for (const std::string& name : m_layerNames)
    {
        // dxflib gives layer "0" a fixed handle, so a second "0" would share it: only the first is written.
        if (name == "0" && std::exchange(zeroWritten, true))
            continue;
        dxf.writeLayer(dw, DL_LayerData(SafeTableName(name), 0), layerAttributes);
    }
    dw.tableEnd();

    dw.tableStyle(TableCount(m_fonts.size() + 1));
    // "Standard" comes first: the dimension style refers to its handle.
    dxf.writeStyle(dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 2.5, "txt", ""));
    for (const CFontData& font : m_fonts)
        dxf.writeStyle(dw, DL_StyleData(SafeTableName(font.styleName), 0, 0.0, 1.0, 0.0, 0, 2.5,
                                        SafeGroupValue(font.family), ""));
    dw.tableEnd();

    dxf.writeView(dw);
    dxf.writeUcs(dw);

    // The styles and hatches carry ACAD extended data, which needs this application id.
    dw.tableAppid(1);
    dxf.writeAppid(dw, "ACAD");
    dw.tableEnd();

    dxf.writeDimStyle(dw, 2.5, 0.625, 0.625, 0.625, 2.5);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
    dw.sectionEnd();

    // Markers and symbols are drawn in place, so only the three layout blocks exist, all empty.
    dw.sectionBlocks();
    for (const char* name : {"*Model_Space", "*Paper_Space", "*Paper_Space0"})
    {
        dxf.writeBlock(dw, DL_BlockData(name, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, name);
    }
    dw.sectionEnd();

    dw.sectionEntities();
    return 0;
}

unsigned long CDxfDocument::NextHandle() const
{
    return m_writer ? m_writer->getNextHandle() : 0;
}

int CDxfDocument::EndDxfDocument()
{
    if (!m_writer || !m_dxf)
        return -1;
    // A stopped run leaves no file worth finishing: the blocks still queued are dropped unwritten.
    if (Cancelled())
    {
        m_writer->Abandon();
        m_writer.reset();
        return -1;
    }
    CDxfWriter& dw = *m_writer;
    dw.sectionEnd();
    // The named entry in the root dictionary needs its dictionary object, or a handle would point
    // at nothing.
    m_dxf->writeObjects(dw, "MY_OBJECTS");
    m_dxf->writeAppDictionary(dw);
    dw.sectionEnd();
    dw.dxfEOF();
    const unsigned long nextHandle = dw.getNextHandle();
    // Write errors (a full disk) surface only once the stream is flushed and closed.
    dw.close();
    const bool failed = dw.openFailed();
    m_outputError = dw.ErrorNumber();
    m_writer.reset();
    // The seed's patch may move the whole file; not for a run that was stopped meanwhile.
    if (failed || Cancelled())
        return -1;
    const std::string placeholder = HexHandle(m_seedPlaceholder);
    const std::string seed = HexHandle(std::max(nextHandle, kDefaultHandleSeed));
    if (seed != placeholder && !m_outputPath.empty())
    {
        errno = 0;
        if (!PatchHandleSeed(m_outputPath, placeholder, seed))
        {
            m_outputError = errno != 0 ? errno : EIO;
            return -1;
        }
    }
    return 0;
}
