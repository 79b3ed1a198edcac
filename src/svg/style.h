// Colour texts to packed RGB, RGB to the nearest AutoCAD Colour Index, and style declaration lists.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Packed RGB: red in bits 0-7, green in 8-15, blue in 16-23.
constexpr int PackRgb(int r, int g, int b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// The 256-entry palette, entry n the RGB taken for colour index n.
extern const std::array<std::array<std::uint8_t, 3>, 256> kAciPalette;

// Colour text to packed RGB: #hex, the six known names, else the functional form rgb(r,g,b).
// Callers test for "none" before calling.
int ParseColor(std::string_view text);
int ParseHexNumber(std::string_view digits);
int ParseColorComponent(std::string_view text);
// Nearest of palette entries 0..254 by the sum of channel differences; ties take the lower index.
int NearestAci(int rgb);

// Calls visit(property, value) for each "property:value" declaration of a style text split at ';',
// in order; declarations without ':' are skipped. Nothing is trimmed.
void ForEachDeclaration(std::string_view style, const std::function<void(std::string_view, std::string_view)>& visit);

// The value after the first occurrence of key (such as "fill:") up to the next ';' or the end;
// false when the key does not occur.
bool FindStyleValue(std::string_view style, std::string_view key, std::string& value);
