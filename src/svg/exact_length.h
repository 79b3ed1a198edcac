// Numbers and lengths as the SVG grammar writes them, for the exact reading: exponents, units and
// percentages of the viewport, all in the root's user units (1 px).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Skips blanks and at most one comma, then reads one number ([+-] digits [. digits] [e[+-]digits]).
// False, rest unchanged, when no number starts there.
bool ReadSvgNumber(std::string_view& rest, double& out);
// Where the number ReadSvgNumber would read stands in rest, without reading its value: its text
// from start to end. False when no number starts there.
bool FindSvgNumber(std::string_view rest, std::size_t& start, std::size_t& end);

// What a percentage of a length refers to.
enum class CLengthAxis
{
    X,    // the viewport's width
    Y,    // the viewport's height
    Other // the viewport's diagonal over the square root of 2
};

// What relative units are measured against.
struct CLengthContext
{
    double fontSize = 16.0;
    double viewportWidth = 0.0;
    double viewportHeight = 0.0;
};

// A length with its unit (px mm cm in pt pc em ex %) in user units; nothing for a text that is
// not one whole length (an empty text, "12abc", "auto").
std::optional<double> ResolveLength(std::string_view text, const CLengthContext& context, CLengthAxis axis);

// The user units one unit stands for; nothing for an unknown unit. "%" and the font units are the
// caller's, as they depend on the context.
std::optional<double> AbsoluteUnit(std::string_view unit);
