#include "conversion/conversion.h"

#include "platform/heap.h"
#include "platform/output_target.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "svg/converter.h"
#include "svg/walker.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

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

// The heap preparation changes the C library's allocator for the whole process, so one conversion
// at a time holds it; conversions running beside it use the heap as it is.
std::atomic<bool> g_heapTaken{false};

class CHeapTurn
{
public:
    explicit CHeapTurn(std::size_t expectedBytes)
    {
        if (!g_heapTaken.exchange(true, std::memory_order_acquire))
            m_heap.emplace(expectedBytes);
    }
    ~CHeapTurn()
    {
        if (m_heap)
        {
            m_heap.reset();
            g_heapTaken.store(false, std::memory_order_release);
        }
    }
    CHeapTurn(const CHeapTurn&) = delete;
    CHeapTurn& operator=(const CHeapTurn&) = delete;

private:
    std::optional<orbelin::CLargePageHeap> m_heap;
};

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

} // namespace

ConversionResult RunConversion(const ConversionRequest& request, const ProgressSink& progress,
                               const MessageSink& message)
{
    const auto report = [&progress](int percent)
    {
        if (progress)
            progress(percent);
    };

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
    converter.ResetConversion();

    // A folder opens like a file on some systems and then reports a nonsense length.
    std::error_code ec;
    const bool isFolder = !fromStandardInput && std::filesystem::is_directory(request.inputPath, ec);
    CInputFile file;
    if (isFolder || !(fromStandardInput ? file.OpenStandardInput() : file.Open(request.inputPath)))
        return Fail(result, ConversionStatus::UnreadableInput,
                    orbelin::FormatMessage(kMsgFailedRead, request.inputPath), message,
                    isFolder ? EISDIR : file.Error());
    report(0);
    // Declared before the tree, so that the tree is gone when the heap is given back.
    const CHeapTurn heap(2 * file.GetLength());
    converter.PrescanStyles(file.Text());
    file.Seek(0);
    report(5);
    CXML root;
    Load(file, "", root);
    report(12);

    converter.m_layerNames.clear();
    converter.m_currentLayer = "0";
    converter.CollectLayerNames(root);
    report(15);

    // A file is written to a temporary one and put in place only when complete, so a failed run
    // leaves an existing drawing as it was; a device or a pipe is written straight through.
    orbelin::COutputTarget output(request.outputPath);
    const std::string failedWrite = orbelin::FormatMessage(kMsgFailedWrite, request.outputPath);
    if (!output.Prepare())
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message, output.Error());
    const unsigned long expectedHandles = ExpectedHandles(root);
    const int begun =
        output.Kind() == orbelin::OutputKind::Stream
            ? converter.BeginDxfDocument(output.TakeStream(), StreamHandleGuess(expectedHandles))
            : converter.BeginDxfDocument(output.WorkPath(), expectedHandles);
    if (begun != 0)
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message,
                    converter.m_outputError);

    CElementWalker walker(converter, [&report](int percent) { report(percent); });
    walker.WalkElement(root, static_cast<int>(root.m_children.size()));
    // The tree is taken down while the writer still formats the last groups, not after it.
    root.Clear();

    if (converter.EndDxfDocument() != 0)
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message,
                    converter.m_outputError);
    if (!output.Commit())
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message, output.Error());
    report(100);
    return result;
}
