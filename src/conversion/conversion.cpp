#include "conversion/conversion.h"

#include "platform/atomic_file.h"
#include "platform/arena.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "svg/converter.h"
#include "svg/walker.h"
#include "xml/input_file.h"
#include "xml/xml.h"

#include <filesystem>
#include <system_error>

const char* const kMsgSelectSvg = "Select svg file.";
const char* const kMsgInputDxf = "Input dxf file.";
const char* const kMsgFailedWrite = "Failed to write file(%s)";
const char* const kMsgFailedRead = "Failed to read file(%s)";
const char* const kMsgOutputIsInput = "The output file must not be the input file(%s).";

namespace
{

ConversionResult Fail(ConversionResult result, ConversionStatus status, const std::string& text,
                      const MessageSink& message)
{
    result.status = status;
    result.message = text;
    if (message)
        message(text);
    return result;
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
    // Checked before anything is opened: the drawing the user started from must survive any mistake.
    if (orbelin::SameFile(request.inputPath, request.outputPath))
        return Fail(result, ConversionStatus::OutputIsInput,
                    orbelin::FormatMessage(kMsgOutputIsInput, request.outputPath), message);

    // A fresh engine each time: nothing of one drawing can reach the next.
    CConverter converter;
    converter.m_fillOption = request.fillOption ? 1 : 0;
    converter.ResetConversion();

    // A folder opens like a file on some systems and then reports a nonsense length.
    std::error_code ec;
    const bool isFolder = std::filesystem::is_directory(request.inputPath, ec);
    CInputFile file;
    if (isFolder || !file.Open(request.inputPath))
        return Fail(result, ConversionStatus::UnreadableInput,
                    orbelin::FormatMessage(kMsgFailedRead, request.inputPath), message);
    report(0);
    // The tree's memory, given back at once when the conversion ends; declared before the tree,
    // which lives in it. A tree takes about as many bytes as the drawing has.
    orbelin::CArena arena(file.GetLength());
    converter.PrescanStyles(file.Text());
    file.Seek(0);
    report(5);
    CXML root(arena);
    Load(file, "", root);
    report(12);

    converter.m_layerNames.clear();
    converter.m_currentLayer = "0";
    converter.CollectLayerNames(root);
    report(15);

    // Written beside the target and renamed over it only when complete, so a failed run leaves
    // an existing drawing as it was.
    orbelin::CAtomicFile output(request.outputPath);
    const std::string failedWrite = orbelin::FormatMessage(kMsgFailedWrite, request.outputPath);
    if (!output.Create() || converter.BeginDxfDocument(output.TempPath(), ExpectedHandles(root)) != 0)
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message);

    CElementWalker walker(converter, [&report](int percent) { report(percent); });
    walker.WalkElement(root, static_cast<int>(root.m_children.size()));
    // The tree is taken down while the writer still formats the last groups, not after it.
    root.Clear();

    if (converter.EndDxfDocument() != 0 || !output.Commit())
        return Fail(result, ConversionStatus::UnwritableOutput, failedWrite, message);
    report(100);
    return result;
}
