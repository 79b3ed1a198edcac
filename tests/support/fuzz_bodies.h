// The bodies of the fuzz targets. The fuzzers call them on generated inputs; the regression test
// replays the saved findings and the seed corpora through the very same code under GoogleTest.
// Each returns "" when the input was handled safely, else what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbelin_fuzz
{

// The XML reader: Load over an in-memory file, then the shape of the tree it built.
std::string FuzzXml(std::string_view input);
// Path data with the path driver, filled paths and markers, written to a scratch DXF document.
// The input is "d", "transform\nd" or "transform\ndash\nd".
std::string FuzzPath(std::string_view input);
// Colour, style and transform readers. The input is "colour\nstyle\ntransform", fields optional.
std::string FuzzStyle(std::string_view input);
// Style sheet text: its declarations read as a style attribute, then its rules matched against every
// element of a small fixed drawing, checking the shape and the cascade order of what comes back.
std::string FuzzCss(std::string_view input);
// The whole conversion of the input as an SVG file to a scratch DXF file, with and without fills and
// in an output unit.
std::string FuzzConversion(std::string_view input);

// Runs a body by the name of its target ("xml", "path", "style", "css", "conversion"); unknown names fail.
std::string FuzzByName(std::string_view target, std::string_view input);

// Calls abort() with the problem on stderr when it is not empty, so the fuzzer records the input.
void AbortOnProblem(const std::string& problem);

} // namespace orbelin_fuzz
