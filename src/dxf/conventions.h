// What every entity has in common, for the code that talks to dxflib directly.
#pragma once

#include "dxf/document.h"

#include <dl_attributes.h>
#include <string>
#include <string_view>

// Layer and text-style names come from ids and font families: line breaks would end a group value
// and CAD programs refuse < > / \ " : ; ? * | = ` in table names. Each such byte becomes '_'.
std::string SafeTableName(std::string_view name);

// Control bytes (line breaks included) become '_', for texts that are not names (font files).
std::string SafeGroupValue(std::string_view value);

// dxflib attributes for the current layer and the given style.
DL_Attributes MakeAttributes(const CDxfDocument& document, const EntityStyle& style);
