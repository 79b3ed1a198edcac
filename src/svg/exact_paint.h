// Colours in every CSS form and paints (none, colours, paint-server references), for the exact
// reading. Colours come back packed as the DXF layer takes them: red in bits 0-7, green 8-15,
// blue 16-23.
#pragma once

#include <functional>
#include <string_view>

class CXML;

// A colour and its alpha (0 to 1).
struct CExactColor
{
    int rgb = 0;
    double alpha = 1.0;
};

// #rgb, #rgba, #rrggbb, #rrggbbaa, rgb()/rgba() with numbers or percentages, hsl()/hsla(), the
// CSS keywords (any letter case), transparent and currentColor (which takes currentColor). False
// when the text is no colour.
bool ParseCssColor(std::string_view text, int currentColor, CExactColor& out);

// How an element's fill or stroke is drawn.
struct CPaint
{
    bool drawn = false;
    int rgb = 0;
};

// Finds an element by its id; nullptr when there is none.
using CIdLookup = std::function<const CXML*(std::string_view id)>;

// none, a colour, or url(#id) [fallback]: the fallback when given, else the first stop colour of
// the gradient the id names (a hatch holds one colour), else not drawn. False for a text that is
// no paint at all (the property then keeps its inherited value).
bool ParsePaint(std::string_view text, int currentColor, const CIdLookup& lookup, CPaint& out);
