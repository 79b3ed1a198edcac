#include "conversion/conversion.h"

#include "geometry/curve_writing.h"
#include "platform/arena.h"
#include "platform/output_target.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "svg/converter.h"
#include "svg/reading_choice.h"
#include "svg/walker.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

const char* const kMsgSelectSvg = "Select svg file.";
const char* const kMsgInputDxf = "Input dxf file.";
const char* const kMsgFailedWrite = "Failed to write file(%s)";
const char* const kMsgFailedRead = "Failed to read file(%s)";
const char* const kMsgOutputIsInput = "The output file must not be the input file(%s).";
const char* const kStandardStream = "-";

namespace
{

ConversionResult Fail(ConversionResult result, ConversionStatus status, const std::string& text,
                      const MessageSink& message, int error = 0)
{
    result.status = status;
    result.message = text;
    result.reason = orbelin::ReasonText(error);
    if (message)
        message(text);
    return result;
}

// A stream cannot be read back to correct the handle seed at the end, so its header is given room:
// the seed is only the floor of the handles a CAD program hands out next, and a floor too high
// costs nothing, while one too low would repeat handles. Sixteen times the guess, in the all-F
// values a hexadecimal seed of each length can take; small drawings keep the usual seed.
unsigned long StreamHandleGuess(unsigned long expected)
{
    constexpr unsigned long kUsualSeed = 0xFFFF;
    constexpr unsigned long kLargestSeed = 0x7FFFFFFF;
    unsigned long seed = kUsualSeed;
    while (seed / 16 < expected && seed < kLargestSeed)
        seed = std::min(seed << 4 | 0xF, kLargestSeed);
    return seed;
}

// The bar's course when it follows the work. The shares are the parts of a typical run's time: the
// reading (the pre-pass and the tree), the walk, which writes beside itself, and the last of the
// writing once the walk is done.
constexpr int kReadStart = 1;
constexpr int kTreeStart = 3;
constexpr int kTreeEnd = 14;
constexpr int kWalkStart = 15; // where a failure to create the output leaves the bar, as without detail
constexpr int kWalkEnd = 95;
constexpr int kTreeGone = 97;

// Bytes an element brings to the walk: its tag, text and attributes. Path data and points are most
// of a drawing's bytes and most of its time, so counting them moves the bar as evenly as the work.
std::size_t OwnBytes(const CXML& element)
{
    std::size_t bytes = element.m_strTag.size() + element.m_strText.size() + 1;
    for (const CAttribute& attribute : element.m_attributes)
        bytes += attribute.GetName().size() + attribute.GetValue().size();
    return bytes;
}

std::size_t TreeBytes(const CXML& root)
{
    std::size_t bytes = 0;
    std::vector<const CXML*> pending{&root};
    while (!pending.empty())
    {
        const CXML* element = pending.back();
        pending.pop_back();
        bytes += OwnBytes(*element);
        for (const auto& child : element->m_children)
            pending.push_back(child.get());
    }
    return bytes;
}

// Moves the detailed progress from one value to the next as a fraction of the work is done, and
// reports each percent once.
class CProgressCourse
{
public:
    explicit CProgressCourse(const ProgressSink& progress) : m_progress(progress) {}

    void Report(int percent)
    {
        if (percent > m_last && m_progress)
        {
            m_last = percent;
            m_progress(percent);
        }
    }
    // done of total on the way from `from` to `to`.
    void Between(int from, int to, std::size_t done, std::size_t total)
    {
        const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
        Report(from + static_cast<int>(fraction * (to - from)));
    }

private:
    const ProgressSink& m_progress;
    int m_last = -1;
};

DxfUnit ToDxfUnit(OutputUnits units)
{
    switch (units)
    {
    case OutputUnits::Millimetres:
        return DxfUnit::Millimetre;
    case OutputUnits::Centimetres:
        return DxfUnit::Centimetre;
    case OutputUnits::Inches:
        return DxfUnit::Inch;
    case OutputUnits::Pixels:
        return DxfUnit::Pixel;
    case OutputUnits::None:
        break;
    }
    return DxfUnit::None;
}

constexpr std::pair<OutputUnits, const char*> kUnitNames[] = {{OutputUnits::None, "none"},
                                                              {OutputUnits::Millimetres, "mm"},
                                                              {OutputUnits::Centimetres, "cm"},
                                                              {OutputUnits::Inches, "in"},
                                                              {OutputUnits::Pixels, "px"}};

constexpr std::pair<TextOutput, const char*> kTextNames[] = {{TextOutput::Entities, "entities"},
                                                             {TextOutput::Outlines, "outlines"}};

constexpr std::pair<CurveOutput, const char*> kCurveNames[] = {{CurveOutput::Flatten, "flatten"},
                                                               {CurveOutput::Native, "native"}};

// The value an option's name stands for, in any letter case; false for no name of the table.
template <typename Value, std::size_t N>
bool ParseOptionName(const std::pair<Value, const char*> (&names)[N], std::string_view text, Value& out)
{
    for (const auto& [value, name] : names)
        if (orbelin::EqualsNoCase(text, name))
        {
            out = value;
            return true;
        }
    return false;
}

// The name of an option's value; the table's first (the default) for a value it lacks.
template <typename Value, std::size_t N>
const char* OptionName(const std::pair<Value, const char*> (&names)[N], Value value)
{
    for (const auto& [entry, name] : names)
        if (entry == value)
            return name;
    return names[0].second;
}

} // namespace

bool ParseTextOutput(std::string_view text, TextOutput& output)
{
    return ParseOptionName(kTextNames, text, output);
}

const char* TextOutputName(TextOutput output)
{
    return OptionName(kTextNames, output);
}

bool ParseCurveOutput(std::string_view text, CurveOutput& curves)
{
    return ParseOptionName(kCurveNames, text, curves);
}

const char* CurveOutputName(CurveOutput curves)
{
    return OptionName(kCurveNames, curves);
}

bool ParseOutputUnits(std::string_view text, OutputUnits& units)
{
    return ParseOptionName(kUnitNames, text, units);
}

const char* OutputUnitsName(OutputUnits units)
{
    return OptionName(kUnitNames, units);
}

ConversionResult RunConversion(const ConversionRequest& request, const ProgressSink& progress,
                               const MessageSink& message)
{
    // The fixed values at the stages (none where negative), or the detailed course: chosen once, here.
    CProgressCourse course(progress);
    const bool detailed = request.detailedProgress;
    const auto report = [&progress, &course, detailed](int percent, int detailedPercent)
    {
        if (detailed)
            course.Report(detailedPercent);
        else if (progress && percent >= 0)
            progress(percent);
    };
    const auto cancelled = [&request]
    { return request.cancel && request.cancel->load(std::memory_order_relaxed); };

    ConversionResult result;
    if (request.inputPath.empty())
        return Fail(result, ConversionStatus::MissingInput, kMsgSelectSvg, message);
    if (request.outputPath.empty())
        return Fail(result, ConversionStatus::MissingOutput, kMsgInputDxf, message);
    result.outputFolder = orbelin::FolderOf(request.outputPath);
    const bool fromStandardInput = request.inputPath == kStandardStream;
    const bool toStandardOutput = request.outputPath == kStandardStream;
    // Checked before anything is opened: the drawing the user started from must survive any mistake.
    if (!fromStandardInput && !toStandardOutput && orbelin::SameFile(request.inputPath, request.outputPath))
        return Fail(result, ConversionStatus::OutputIsInput,
                    orbelin::FormatMessage(kMsgOutputIsInput, request.outputPath), message);

    // A fresh engine each time: nothing of one drawing can reach the next.
    CConverter converter;
    converter.m_fillOption = request.fillOption ? 1 : 0;
    // The way texts are written, chosen once for the whole drawing, like the reading.
    converter.m_textWriting =
        MakeTextWriting(request.text == TextOutput::Outlines ? TextForm::Outlines : TextForm::Entities);
    converter.ResetConversion();
    // Chosen once: every path of both readings is written through it.
    converter.m_curveWriting = request.curves == CurveOutput::Native ? &NativeCurves() : &FlattenedCurves();
    converter.m_shortestReals = request.curves == CurveOutput::Native;

    // A folder opens like a file on some systems and then reports a nonsense length.
    std::error_code ec;
    const bool isFolder = !fromStandardInput && std::filesystem::is_directory(request.inputPath, ec);
    CInputFile file;
    if (isFolder || !(fromStandardInput ? file.OpenStandardInput() : file.Open(request.inputPath)))
        return Fail(result, ConversionStatus::UnreadableInput,
                    orbelin::FormatMessage(kMsgFailedRead, request.inputPath), message,
                    isFolder ? EISDIR : file.Error());
    report(0, 0);
    if (cancelled())
        return Fail(result, ConversionStatus::Cancelled, std::string(), MessageSink());
    // The tree's memory, given back at once when the conversion ends; declared before the tree,
    // which lives in it. A tree takes about as many bytes as the drawing has.
    orbelin::CArena arena(file.GetLength());
    report(-1, kReadStart);
    converter.PrescanStyles(file.Text());
    file.Seek(0);
    report(5, kTreeStart);
    CXML root(arena);
    Load(file, "", root);
    report(12, kTreeEnd);

    converter.m_layerNames.clear();
    converter.m_currentLayer = "0";
    converter.CollectLayerNames(root);
    const unsigned long expectedHandles = ExpectedHandles(root);
    // Before the frame: the line-type table already carries lengths in the chosen unit.
    converter.ChooseOutputUnit(ToDxfUnit(request.units), root);
    const std::size_t treeBytes = detailed ? TreeBytes(root) : 0;
    std::size_t walkedBytes = 0;
    CElementWalker::ElementSink elementDone;
    if (detailed)
        elementDone = [&](const CXML& element)
        {
            walkedBytes += OwnBytes(element);
            course.Between(kWalkStart, kWalkEnd, walkedBytes, treeBytes);
        };
    // The reading is chosen here, once; it may add table records before the frame is written.
    const std::unique_ptr<CSvgReading> reading = MakeSvgReading(
        request.exactSvg, converter, [&report](int percent) { report(percent, 0); }, std::move(elementDone),
        [&result, &message](const std::string& text)
        {
            result.notices.push_back(text);
            if (message)
                message(text);
        });
    reading->Prepare(root, file.Text());
    report(15, kWalkStart);
    if (cancelled())
        return Fail(result, ConversionStatus::Cancelled, std::string(), MessageSink());

    // A file is written to a temporary one and put in place only when complete, so a failed run
    // leaves an existing drawing as it was; a device or a pipe is written straight through.
    orbelin::COutputTarget output(request.outputPath);
    const std::string failedWrite = orbelin::FormatMessage(kMsgFailedWrite, request.outputPath);
    if (!output.Prepare())
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message, output.Error());
    const int begun =
        output.Kind() == orbelin::OutputKind::Stream
            ? converter.BeginDxfDocument(output.TakeStream(), StreamHandleGuess(expectedHandles))
            : converter.BeginDxfDocument(output.WorkPath(), expectedHandles);
    if (begun != 0)
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message,
                    converter.m_outputError);
    // Every entity takes one handle, and nothing but entities takes one during the walk.
    const unsigned long firstEntityHandle = converter.NextHandle();

    converter.m_cancel = request.cancel;
    reading->Walk(root, detailed ? 0 : static_cast<int>(root.m_children.size()));
    result.entities = converter.NextHandle() - firstEntityHandle;
    // The tree is taken down while the writer still formats the last groups, not after it.
    root.Clear();
    if (!cancelled())
        report(-1, kTreeGone);

    // EndDxfDocument gives the file up when the run was stopped; the temporary goes with `output`.
    const bool ended = converter.EndDxfDocument() == 0;
    if (cancelled())
        return Fail(result, ConversionStatus::Cancelled, std::string(), MessageSink());
    if (!ended)
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message,
                    converter.m_outputError);
    if (!output.Commit())
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message, output.Error());
    report(100, 100);
    return result;
}
