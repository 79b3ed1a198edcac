// An independent structural check of a whole DXF file as the converter writes it, used by the
// hostile-input tests and the fuzz targets. It knows nothing of how the file was produced.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support
{

// "" when the text is a sound ASCII DXF drawing, else one line per problem (at most a few dozen):
// - every group is a code line with an integer code and a value line; reals are finite numbers
//   within the range a CAD program keeps, integers and handles are well formed, no value is "nan"
//   or "inf", no text value is longer than a DXF line may be or holds control bytes;
// - the sections HEADER, TABLES, BLOCKS, ENTITIES, OBJECTS come once each in this order, every
//   TABLE ends with ENDTAB, every BLOCK with ENDBLK, and 0/EOF is the last group;
// - $HANDSEED lies above every handle, and no handle is used twice;
// - every entity names a layer, line type and text style that its table defines;
// - every LWPOLYLINE has the vertex count it declares, every HATCH the loops it declares and every
//   loop the edges it declares; circles and ellipses have usable sizes.
std::string CheckDxfStructure(std::string_view dxf);

// The same for a file; a file that cannot be read is a problem too.
std::string CheckDxfFile(const std::filesystem::path& path);

} // namespace testing_support
