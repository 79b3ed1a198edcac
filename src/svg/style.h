// Colour texts to packed RGB, and style declaration lists.
#pragma once

#include "dxf/colour_index.h"

#include <functional>
#include <string>
#include <string_view>

// Colour text to packed RGB: #hex, the six known names, else the functional form rgb(r,g,b).
// Callers test for "none" before calling.
int ParseColor(std::string_view text);
int ParseHexNumber(std::string_view digits);
int ParseColorComponent(std::string_view text);

// Calls visit(property, value) for each "property:value" declaration of a style text split at ';',
// in order; declarations without ':' are skipped. Nothing is trimmed.
void ForEachDeclaration(std::string_view style, const std::function<void(std::string_view, std::string_view)>& visit);

// The value after the first occurrence of key (such as "fill:") up to the next ';' or the end;
// false when the key does not occur.
bool FindStyleValue(std::string_view style, std::string_view key, std::string& value);
