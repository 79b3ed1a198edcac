// One conversion of an SVG file into a DXF file, from end to end. The window, the command line and
// the tests all run this same function.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The unit the drawing is written in. None writes the drawing's own numbers and declares no unit;
// the others scale from the drawing's user unit (a CSS pixel, or what its size in physical units
// makes of it) and declare the unit in the header.
enum class OutputUnits
{
    None,
    Millimetres,
    Centimetres,
    Inches,
    Pixels
};

// "none", "mm", "cm", "in" or "px", in any letter case: true with the units; false otherwise.
bool ParseOutputUnits(std::string_view text, OutputUnits& units);
// The name ParseOutputUnits reads for units.
const char* OutputUnitsName(OutputUnits units);

// How texts are written: as TEXT entities, which a CAD program sets in a font of its own, or as
// the outlines of their glyphs in the drawing's fonts, closed curves and, where filled, hatches.
enum class TextOutput
{
    Entities,
    Outlines
};

// "entities" or "outlines", in any letter case: true with the form; false otherwise.
bool ParseTextOutput(std::string_view text, TextOutput& output);
// The name ParseTextOutput reads for output.
const char* TextOutputName(TextOutput output);

// How curves are written. Flatten writes every curve as the points of a polyline; Native writes
// Bezier runs as splines, circular arcs as bulges or arcs and elliptical ones as ellipse arcs.
enum class CurveOutput
{
    Flatten,
    Native
};

// "flatten" or "native", in any letter case: true with the choice; false otherwise.
bool ParseCurveOutput(std::string_view text, CurveOutput& curves);
// The name ParseCurveOutput reads for curves.
const char* CurveOutputName(CurveOutput curves);

struct ConversionRequest
{
    std::string inputPath;  // kStandardStream: standard input
    std::string outputPath; // kStandardStream: standard output
    bool fillOption = true; // "Output fill entities"
    // Reads the drawing by the SVG rules (scoped styles, whole transform lists, visibility, units)
    // instead of the document-order reading; the output conventions stay the same.
    bool exactSvg = false;
    OutputUnits units = OutputUnits::None;
    TextOutput text = TextOutput::Entities;
    CurveOutput curves = CurveOutput::Flatten;
    // Set from another thread to stop the run: looked at between the stages, between elements and
    // before the file is finished. A stopped run writes no output and leaves an existing one as it was.
    const std::atomic<bool>* cancel = nullptr;
    // Progress that follows the work (the reading, the walk by the bytes of the tree, the end of the
    // writing) instead of the fixed values at the stages and after each top-level element.
    bool detailedProgress = false;
};

enum class ConversionStatus
{
    Converted,
    MissingInput,   // "Select svg file."
    MissingOutput,  // "Input dxf file."
    OutputIsInput,  // refused before anything is written
    UnreadableInput,
    UnwritableOutput,
    Cancelled       // stopped through ConversionRequest::cancel; no message
};

struct ConversionResult
{
    ConversionStatus status = ConversionStatus::Converted;
    std::string message;      // ready to show; empty on success
    std::string reason;       // the system's reason for a failure ("Permission denied"), or empty
    std::string outputFolder; // the output path cut after its last '/' or '\'
    std::size_t entities = 0; // entities written into the ENTITIES section
    // What the user should know of a conversion that succeeded all the same (a part not drawn), in
    // the order said; each also went to the MessageSink.
    std::vector<std::string> notices;
    bool ok() const { return status == ConversionStatus::Converted; }
};

// Receives 0, 5, 12, 15, the walk's values up to 95, then 100 (the bar may then be hidden). With
// detailedProgress, rising values from 0 to 100, each at most once. Called on the converting thread.
using ProgressSink = std::function<void(int percent)>;
// Receives each message for the user (the same text as ConversionResult::message).
using MessageSink = std::function<void(const std::string& message)>;

ConversionResult RunConversion(const ConversionRequest& request, const ProgressSink& progress = {},
                               const MessageSink& message = {});

// The fixed message texts.
extern const char* const kMsgSelectSvg;       // "Select svg file."
extern const char* const kMsgInputDxf;        // "Input dxf file."
extern const char* const kMsgFailedWrite;     // "Failed to write file(%s)"
extern const char* const kMsgFailedRead;      // "Failed to read file(%s)"
extern const char* const kMsgOutputIsInput;   // the output would overwrite the input
// "-", the path that names standard input or standard output.
extern const char* const kStandardStream;
