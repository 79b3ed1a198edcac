// Colours as DXF files name them: packed RGB and the AutoCAD Colour Index.
#pragma once

#include <array>
#include <cstdint>

// Packed RGB: red in bits 0-7, green in 8-15, blue in 16-23.
constexpr int PackRgb(int r, int g, int b)
{
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// The 256-entry palette, entry n the RGB taken for colour index n.
extern const std::array<std::array<std::uint8_t, 3>, 256> kAciPalette;

// Nearest of palette entries 0..254 by the sum of channel differences; ties take the lower index.
int NearestAci(int rgb);

// NearestAci, except that white stays white. Index 7 is the foreground colour, which CAD programs
// show black on a light background and plotters print black; a colour nearest it is written as
// entry 255, the palette's own white.
int NearestWhiteKeepingAci(int rgb);
